#!/usr/bin/env python3
"""Checks that includes follow the floor plan of the source tree.

Folders sit on floors; a file may include its own folder, any folder on a lower floor, and a
folder on its own floor as long as the folders of that floor do not include each other in a
circle. SDL's headers belong to the platform layer (and the GL test windows of tests/support):
everywhere else the program goes through platform/.

    check_includes.py [ROOT]

Prints one line per offending include, "file:line: #include ...: why", and exits 1 when there
is any; exits 0 silently on a clean tree.
"""
import os
import re
import sys

# Lowest floor first. tools/ stands beside app/. bench/ stands with tests/ on the top floor: the
# benchmarks borrow the suites' GL test window and reference triangulation, and nothing of the
# program may include either.
FLOORS = [
    ["math", "platform"],
    ["render", "analysis", "assets", "models"],
    ["scenes"],
    ["production"],
    ["app", "tools"],
    ["bench", "tests"],
]
FLOOR_OF = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}

# Where SDL's headers may appear (paths relative to the root, with a trailing slash).
SDL_HOMES = ("platform/", "tests/support/")
SDL_HEADER = re.compile(r"^(SDL2/|SDL[A-Za-z0-9_]*\.h$)|imgui_impl_sdl")

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = (".h", ".hpp", ".inl", ".c", ".cc", ".cpp")


def sources(root):
    for folder in sorted(FLOOR_OF):
        top = os.path.join(root, folder)
        for directory, subdirectories, files in os.walk(top):
            subdirectories.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(directory, name), root)


def included_folder(root, source, quoted_path):
    """The top folder a quoted include lands in, or None for a header outside the tree."""
    beside = os.path.normpath(os.path.join(os.path.dirname(source), quoted_path))
    for candidate in (beside, os.path.normpath(quoted_path)):
        if not candidate.startswith("..") and os.path.isfile(os.path.join(root, candidate)):
            return candidate.split(os.sep)[0]
    return None


def check(root):
    problems = []
    edges = {}  # (from folder, to folder) on one floor -> first place it happens
    for source in sources(root):
        folder = source.split(os.sep)[0]
        with open(os.path.join(root, source), encoding="utf-8", errors="replace") as text:
            for number, line in enumerate(text, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                bracket, path = match.groups()
                where = f"{source}:{number}: #include {bracket}{path}{'>' if bracket == '<' else bracket}"
                if SDL_HEADER.search(path) and not source.startswith(SDL_HOMES):
                    problems.append(f"{where}: SDL outside platform/")
                    continue
                if bracket != '"':
                    continue
                target = included_folder(root, source, path)
                if target is None or target == folder:
                    continue
                if target not in FLOOR_OF:
                    problems.append(f"{where}: {target}/ is no source folder")
                elif FLOOR_OF[target] > FLOOR_OF[folder]:
                    problems.append(f"{where}: {folder}/ may not include {target}/ (a higher floor)")
                elif FLOOR_OF[target] == FLOOR_OF[folder]:
                    edges.setdefault((folder, target), where)
    for (a, b), where in sorted(edges.items()):
        if reaches(edges, b, a):
            problems.append(f"{where}: {a}/ -> {b}/ lies on a circle of folders of one floor")
    return problems


def reaches(edges, start, goal):
    seen, stack = set(), [start]
    while stack:
        folder = stack.pop()
        if folder == goal:
            return True
        if folder not in seen:
            seen.add(folder)
            stack.extend(b for (a, b) in edges if a == folder)
    return False


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))
    problems = check(root)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the floor plan")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
