#!/usr/bin/env python3
"""Damaged show data: every data file of the show folder, one at a time, missing, cut to half its
length, or replaced by random bytes of the same length, run through the capture tool and (for
the rows marked so) the real program under Xvfb.

  faults.py --show DIR --capture BIN [--ostravel BIN] [--long-fps N] [--only TEXT]

prints the outcome table and exits non-zero when any row differs from what is expected. Each
case runs in its own copy of the show folder (links to the untouched files). The expected outcome
of a row is either the message box the show's loaders promise (caption and text; the process
then ends with status 0), or "runs": the show goes on with what it has, to the end of the capture
run, with no message. A crash, a hang (a run past its time limit) or a sanitizer report (when
the programs are built with OSTRAVEL_SANITIZE) fails the row.

The capture tool runs with the music off (as always), so music faults do not reach it. Captures
stop at 2 s of show time, except the video and the camera tracks, which play the whole show
(at --long-fps frames per second) since their damage shows only over time. The real program runs
windowed with OpenAL's null driver; a row that runs is left playing for a few seconds (past the
end of the music for a cut music file) and ended with Escape, which must give status 0.
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

FAULTS = ("missing", "half", "random")
MUSIC = "music/[Bexil] Sorvain.ogg"
NO_SOUND_FILE = ("KVR Ostravel  ", "Problem initializing FMod. \nNo sound file.")
BOX_CAPTIONS = ("Jpg", "Jpg !", "KVR Ostravel  ", "Project effect 3. Festrum !  ", "ERROR", "SHUTDOWN ERROR")

# The JPEG files the show loads, with the path its message names and the caption it uses when
# the file cannot be opened (a picture that cannot be decoded always says "Jpg !").
JPEGS = {
    "textures/blob41b.jpg": ("textures/blob41b.jpg", "Jpg"),
    "textures/cir.jpg": ("textures/cir.jpg", "Jpg !"),
    "textures/ciralpha.jpg": ("textures/cir.jpg", "Jpg !"),  # the alpha companion names its colour picture
    "textures/circle.jpg": ("textures/circle.jpg", "Jpg"),
    "meshes/SKIN.JPG": ("meshes/SKIN.JPG", "Jpg"),
    "meshes/SKINBUMP.JPG": ("meshes/SKINBUMP.JPG", "Jpg !"),
    "meshes/EYEBLEND.JPG": ("meshes/EYEBLEND.JPG", "Jpg !"),
    "meshes/alphaEYEBLEND.JPG": ("meshes/EYEBLEND.JPG", "Jpg !"),
}
for _n in range(1, 6):
    JPEGS[f"textures/z{_n}.jpg"] = (f"textures/z{_n}.jpg", "Jpg")

LONG_FILES = ("textures/try1.avi", "rec1.rcc", "rec2.rcc")
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "SUMMARY: UndefinedBehaviorSanitizer")

# The rows of the short run (ctest e2e.faults): each kind of damage on the music, a texture, an
# alpha companion, the video, a track, the model and a shader program.
SUBSET = (MUSIC, "textures/blob41b.jpg", "textures/ciralpha.jpg", "textures/try1.avi", "rec2.rcc",
          "meshes/head.3ds", "cgeffects/fragment_Blur256.cpp")
# Files whose rows also run the real program under Xvfb.
PROGRAM_FILES = (MUSIC, "textures/blob41b.jpg", "textures/ciralpha.jpg", "meshes/SKIN.JPG")


def expected(show, rel, fault, program):
    """(caption, text) of the message box that must end the run, or None: the show runs."""
    if rel == MUSIC:
        # A cut Ogg still decodes up to the cut; random bytes are no Ogg at all.
        return NO_SOUND_FILE if program and fault != "half" else None
    if rel in JPEGS:
        path, open_caption = JPEGS[rel]
        if fault == "missing":
            return (open_caption, path)
        if fault == "random":
            return ("Jpg !", path)
        # The header survives the cut and the decoder pads the missing data with end markers,
        # which decode as a flat picture; but with a restart interval the next restart marker is
        # missing, a decoding failure, which ends the show like a header failure.
        return ("Jpg !", path) if has_restart_interval(os.path.join(show, rel)) else None
    return None


def has_restart_interval(path):
    """Whether the JPEG's header (up to its first scan) defines a restart interval (DRI)."""
    with open(path, "rb") as f:
        data = f.read()
    at = 2
    while at + 4 <= len(data) and data[at] == 0xFF:
        marker = data[at + 1]
        if marker == 0xDD:
            return True
        if marker == 0xDA:
            return False
        at += 2 + (data[at + 2] << 8 | data[at + 3])
    return False


def data_files(show):
    found = []
    for root, _, files in os.walk(show):
        for name in files:
            found.append(os.path.relpath(os.path.join(root, name), show))
    return sorted(found)


def faulted_copy(show, rel, fault, music=None):
    """A folder of links to the show's files in which rel is damaged (music: a replacement)."""
    folder = tempfile.mkdtemp(prefix="ostravel-fault-")
    real_dirs = set(_parents(rel)) | (set(_parents(MUSIC)) if music else set())
    for root, dirs, files in os.walk(show):
        here = os.path.relpath(root, show)
        here = "" if here == "." else here
        if here and here not in real_dirs:
            continue
        for name in dirs + files:
            entry = os.path.join(here, name)
            if entry in real_dirs:
                os.makedirs(os.path.join(folder, entry), exist_ok=True)
            elif entry != rel and not (music and entry == MUSIC):
                os.symlink(os.path.join(show, entry), os.path.join(folder, entry))
    if music:
        shutil.copyfile(music, os.path.join(folder, MUSIC))
    source = music if music and rel == MUSIC else os.path.join(show, rel)
    target = os.path.join(folder, rel)
    if os.path.realpath(os.path.dirname(target)) != os.path.realpath(os.path.join(folder, os.path.dirname(rel))):
        raise RuntimeError(f"{target} would reach into the show folder")  # never damage the show folder itself
    if fault == "half":
        with open(source, "rb") as f:
            data = f.read(os.path.getsize(source) // 2)
        with open(target, "wb") as f:
            f.write(data)
    elif fault == "random":
        size = os.path.getsize(source)
        with open(target, "wb") as f:
            f.write(random.Random(zlib.crc32(rel.encode())).randbytes(size))
    elif os.path.exists(target):
        os.remove(target)
    return folder


def _parents(path):
    parts = path.split("/")[:-1]
    return ["/".join(parts[:i + 1]) for i in range(len(parts))]


def sanitizer_report(text):
    return next((line for line in text.splitlines() if any(m in line for m in SANITIZER_MARKS)), None)


def run_capture(capture, show, folder, rel, fault, whole, long_fps):
    """Returns (outcome text, failure or None)."""
    box = expected(show, rel, fault, program=False)
    command = [capture, "--show", folder] + (["--fps", str(long_fps)] if whole else ["--until", "2"])
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    limit = 1800 if whole else 300
    try:
        result = subprocess.run(command, env=env, capture_output=True, text=True, timeout=limit,
                                errors="replace")
    except subprocess.TimeoutExpired:
        return "hang", f"no end within {limit} s"
    report = sanitizer_report(result.stderr)
    if report:
        return "sanitizer report", report
    messages = [line for line in result.stderr.splitlines() if line.startswith("message ")]
    if result.returncode < 0 or result.returncode > 2:
        return f"crash ({result.returncode})", result.stderr[-2000:]
    if box is None:
        outcome = "runs to the end" if whole else "runs"
        if result.returncode != 0 or messages:
            return f"status {result.returncode}", "; ".join(messages) or result.stderr[-2000:]
        return outcome, None
    want = f'message "{box[0]}": {box[1]}'
    outcome = f'box "{box[0]}": {box[1]}'
    if messages != [want] or "the show ended early (status 0)" not in result.stderr:
        return "; ".join(messages) or f"status {result.returncode}", f"expected {want!r}, then status 0"
    return outcome, None


def ogg_seconds(path):
    """Length of an Ogg Vorbis file: the last page's granule position over the sample rate."""
    with open(path, "rb") as f:
        data = f.read()
    ident = data.find(b"\x01vorbis")
    rate = struct.unpack_from("<I", data, ident + 12)[0]
    last = data.rfind(b"OggS")
    return struct.unpack_from("<q", data, last + 6)[0] / rate


def run_program(e2e, args, display, folder, rel, fault):
    """The real program, windowed, from its dialog. Returns (outcome text, failure or None)."""
    process = e2e.launch(args, display, folder)
    try:
        outcome, failure = drive_program(e2e, args, display, folder, rel, fault, process)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    report = sanitizer_report(process.stderr.read().decode(errors="replace"))
    return ("sanitizer report", report) if report else (outcome, failure)


def drive_program(e2e, args, display, folder, rel, fault, process):
    box = expected(args.show, rel, fault, program=True)
    try:
        dialog = e2e.wait_for_window(display, e2e.DIALOG, process)
        e2e.click(display, dialog, *e2e.WINDOWED_TOGGLE)
        time.sleep(0.3)
        e2e.press(display, dialog, "Return")
        if box is not None:
            wid = e2e.wait_for_window(display, box[0], process)
            e2e.press(display, wid, "Return")
            status = e2e.wait_exit(process, 30)
            outcome = f'box "{box[0]}", status {status}'
            return outcome, None if status == 0 else "status 0 expected"
        show = e2e.wait_for_window(display, e2e.SHOW_WINDOW, process)
        # Past the end of a cut music file the show must go on by the clock alone.
        music = os.path.join(folder, MUSIC)
        play = 8.0 + (ogg_seconds(music) if rel == MUSIC and fault == "half" else 0.0)
        deadline = time.time() + play
        while time.time() < deadline:
            boxes = [c for c in e2e.windows(display) if c in BOX_CAPTIONS]
            if boxes:
                return f'box "{boxes[0]}"', "the show should go on"
            if process.poll() is not None:
                return f"ended ({process.returncode})", "the show should go on"
            time.sleep(0.5)
        e2e.xdo(display, "windowfocus", "--sync", show)
        e2e.xdo(display, "keydown", "Escape")
        try:
            status = e2e.wait_exit(process, 60)
        finally:
            e2e.xdo(display, "keyup", "Escape")  # else the next run's dialog sees it held: Quit
        return (f"runs {play:.0f} s, Escape: status {status}", None if status == 0 else "status 0 expected")
    except e2e.Failure as failure:
        return "failed", str(failure)


def cases(files, program_files, long_files):
    """(file, fault, program, whole show) for every row: each file with each fault in the
    capture tool, and in the real program for program_files."""
    rows = []
    for rel in files:
        for fault in FAULTS:
            rows.append((rel, fault, "capture", rel in long_files))
            if rel in program_files:
                rows.append((rel, fault, "ostravel", False))
    return rows


def campaign(args, display, rows, music=None):
    """Runs the rows; prints the table; returns the number of failed rows. music: a replacement
    for the show's music file (a short tune) or None."""
    import run_e2e as e2e

    failed = 0
    print(f"{'file':46} {'fault':8} {'program':9} outcome")
    for rel, fault, program, whole in rows:
        folder = faulted_copy(args.show, rel, fault, music)
        try:
            if program == "capture":
                outcome, failure = run_capture(args.capture, args.show, folder, rel, fault, whole, args.long_fps)
            else:
                outcome, failure = run_program(e2e, args, display, folder, rel, fault)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        mark = "ok" if failure is None else "FAILED: " + failure
        print(f"{rel:46} {fault:8} {program:9} {outcome}  [{mark}]", flush=True)
        failed += failure is not None
    return failed


def main():
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import run_e2e as e2e

    parser = argparse.ArgumentParser()
    parser.add_argument("--show", required=True)
    parser.add_argument("--capture", required=True)
    parser.add_argument("--ostravel", help="also run the real program under Xvfb for the music and some textures")
    parser.add_argument("--long-fps", type=int, default=10, help="frame rate of the whole-show captures")
    parser.add_argument("--only", help="only the files whose path contains this text")
    args = parser.parse_args()
    args.show = os.path.abspath(args.show)
    files = [f for f in data_files(args.show) if not args.only or args.only in f]
    e2e.become_subreaper()
    server, display = e2e.start_xvfb() if args.ostravel else (None, None)
    try:
        rows = cases(files, PROGRAM_FILES if args.ostravel else (), LONG_FILES)
        failed = campaign(args, display, rows)
    finally:
        left = e2e.stop_xvfb(server) if server else {}
    if left:
        print(f"still running 2 s after the X server stopped (ended now): {left}")
        failed += 1
    print(f"{failed} row(s) failed" if failed else "every row as expected")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
