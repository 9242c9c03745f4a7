#!/usr/bin/env python3
"""End-to-end checks of the real programs.

  run_e2e.py SCENARIO --show DIR --ostravel BIN --capture BIN --music-tool BIN [--prefix DIR]

The show runs under its own Xvfb server, with OpenAL's null driver, in a temporary copy of the
show folder (the music replaced by a short test tune made here). It is driven with xdotool as a
person would drive it: keys into the focused window, clicks on the dialog's buttons. Message
boxes are found by their captions and answered with Return.

The script is a child subreaper: whatever the programs leave behind becomes its child. Any
process below it still alive 2 s after the scenario's X server has stopped fails the scenario
(and is then ended by its PID).
"""
import argparse
import ctypes
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

DIALOG = "  Ostravel  by KVR 2006"
SHOW_WINDOW = " = Ostravel KVR 2006 = "
FULLSCREEN_QUESTION = "KVR GL ;-)"
NO_MUSIC_BOX = "KVR Ostravel  "


class Failure(Exception):
    pass


def start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            raise Failure("Xvfb did not start")
        number += chunk
    os.close(read_end)
    return server, ":" + number.decode().strip()


def become_subreaper():
    """Orphans of the programs run here (a detached helper, a forgotten child) become children of
    this script instead of init's, where stop_xvfb can find them."""
    pr_set_child_subreaper = 36
    if ctypes.CDLL(None, use_errno=True).prctl(pr_set_child_subreaper, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def descendants():
    """{pid: command line} of the live processes below this one; finished children are reaped."""
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as f:
                state, parent = f.read().rsplit(")", 1)[1].split()[:2]
        except OSError:
            continue
        children.setdefault(int(parent), []).append((int(entry), state))
    found, below = {}, [os.getpid()]
    while below:
        for pid, state in children.get(below.pop(), []):
            if state == "Z":
                try:
                    os.waitpid(pid, os.WNOHANG)
                except ChildProcessError:
                    pass  # a grandchild: its own parent reaps it
                continue
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    found[pid] = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
            except OSError:
                continue
            below.append(pid)
    return found


def stop_xvfb(server, grace=2.0):
    """Stops the X server. Returns {pid: command line} of what was still alive below this script
    `grace` seconds later; those are then ended by their PID."""
    server.terminate()
    server.wait()
    deadline = time.time() + grace
    while (left := descendants()) and time.time() < deadline:
        time.sleep(0.1)
    for pid in left:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass  # it made it after all
    time.sleep(0.1)
    descendants()  # reaps them
    return left


def keeper_pid():
    """The PID of the one clipboard keeper the show left behind."""
    below = descendants()
    keepers = [pid for pid, command in below.items() if command.split(" ")[0].endswith("ostravel-clipboard")]
    if len(keepers) != 1:
        raise Failure(f"{len(keepers)} clipboard keepers after the exit, one expected: {below}")
    return keepers[0]


def wait_gone(pid, what, timeout=2.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if pid not in descendants():
            return
        time.sleep(0.05)
    raise Failure(f"the clipboard keeper {pid} still runs {timeout} s after {what}")


def windows(display):
    out = subprocess.run(["xwininfo", "-root", "-tree"], env={**os.environ, "DISPLAY": display},
                         capture_output=True, text=True).stdout
    found = {}
    for line in out.splitlines():
        m = re.match(r'\s*(0x[0-9a-f]+) "(.*)":', line)
        if m:
            found.setdefault(m.group(2), m.group(1))
    return found


def wait_for_window(display, name, process, timeout=60.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        wid = windows(display).get(name)
        if wid:
            time.sleep(0.5)  # let it draw and map
            return wid
        if process.poll() is not None:
            raise Failure(f"the program ended (status {process.returncode}) before {name!r} appeared")
        time.sleep(0.2)
    raise Failure(f"no window {name!r} within {timeout} s")


def xdo(display, *args):
    subprocess.run(["xdotool", *args], env={**os.environ, "DISPLAY": display}, check=True)


def press(display, wid, *keys):
    xdo(display, "windowfocus", "--sync", wid)
    for key in keys:
        xdo(display, "key", key)


def tap_like_a_person(display, wid, key):
    # A person holds a key for a tenth of a second or so: several frames see it down.
    xdo(display, "windowfocus", "--sync", wid)
    xdo(display, "keydown", key)
    time.sleep(0.15)
    xdo(display, "keyup", key)


def click(display, wid, x, y):
    xdo(display, "mousemove", "--window", wid, str(x), str(y))
    xdo(display, "click", "1")


def wait_exit(process, timeout):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        raise Failure(f"the program did not end within {timeout} s")


def prepare_show(args, with_music=True):
    folder = tempfile.mkdtemp(prefix="ostravel-e2e-")
    for entry in os.listdir(args.show):
        if entry != "music":
            os.symlink(os.path.join(args.show, entry), os.path.join(folder, entry))
    if with_music:
        os.makedirs(os.path.join(folder, "music"))
        subprocess.run([args.music_tool, os.path.join(folder, "music", "[Bexil] Sorvain.ogg"), "20"], check=True)
    return folder


def launch(args, display, folder, sound_driver="null", pass_fds=()):
    env = {**os.environ, "DISPLAY": display, "ALSOFT_DRIVERS": sound_driver}
    env.pop("SDL_VIDEODRIVER", None)
    return subprocess.Popen([args.ostravel], cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            pass_fds=pass_fds)


# Dialog buttons in pixels (dialog units of 1.75 x 1.875 pixels): centres of the controls.
QUIT_BUTTON = (int((89 + 12) * 1.75), int((32 + 10.5) * 1.875))
WINDOWED_TOGGLE = (int((33 + 40) * 1.75), int((55 + 7.5) * 1.875))


def scenario_run_and_escape(args, display):
    folder = prepare_show(args)
    # Started, as by a careless parent, with a descriptor open on a file of the show folder.
    inherited = os.open(os.path.join(folder, "music", "[Bexil] Sorvain.ogg"), os.O_RDONLY)
    process = launch(args, display, folder, pass_fds=(inherited,))
    os.close(inherited)
    dialog = wait_for_window(display, DIALOG, process)
    press(display, dialog, "Return")
    question = wait_for_window(display, FULLSCREEN_QUESTION, process)  # no 800 x 600 mode on Xvfb
    press(display, question, "Return")  # Yes: windowed
    show = wait_for_window(display, SHOW_WINDOW, process)
    time.sleep(3.0)
    if process.poll() is not None:
        raise Failure(f"the show ended by itself (status {process.returncode})")
    # Two middle clicks write the debug camera lines; Escape fades out and puts them on the clipboard.
    for _ in range(2):
        xdo(display, "mousemove", "--window", show, "400", "300")
        xdo(display, "click", "2")
        time.sleep(0.3)
    pressed = time.time()
    xdo(display, "windowfocus", "--sync", show)
    xdo(display, "keydown", "Escape")
    status = wait_exit(process, 60)
    took = time.time() - pressed
    if status != 0:
        raise Failure(f"exit status {status} after Escape: {process.stderr.read().decode()}")
    if SHOW_WINDOW in windows(display):
        raise Failure("the window outlived the program")
    pasted = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env={**os.environ, "DISPLAY": display},
                            capture_output=True, text=True, timeout=10).stdout
    lines = re.findall(r"Cam :[-0-9.e+]+,[-0-9.e+]+,[-0-9.e+]+  \nPnt :0\.,0\.,0\.  \n \n", pasted)
    if len(lines) != 2 or "".join(lines) != pasted:
        raise Failure(f"the clipboard does not hold the two camera entries after the program ended: {pasted!r}")
    print(f"Escape ended the show with status 0 after {took:.2f} s (fade of 1.25 s of show time)")
    print(f"the clipboard holds, after the exit: {pasted!r}")

    # The keeper of that text holds nothing of the show (no file of the show folder, not even the
    # inherited one; no socket of the show's) and stays small, and it goes with its X server.
    keeper = keeper_pid()
    held = {int(fd): os.readlink(f"/proc/{keeper}/fd/{fd}") for fd in os.listdir(f"/proc/{keeper}/fd")}
    with open(f"/proc/{keeper}/status") as f:
        resident = int(re.search(r"VmRSS:\s+(\d+) kB", f.read()).group(1))
    print(f"the clipboard keeper {keeper}: descriptors {held}, resident {resident} kB")
    others = [target for fd, target in held.items() if fd > 2]
    if [held.get(fd) for fd in (0, 1, 2)] != ["/dev/null"] * 3 or len(others) != 1 or not others[0].startswith("socket:"):
        raise Failure(f"the clipboard keeper holds more than /dev/null and its X connection: {held}")
    if resident >= 4096:
        raise Failure(f"the clipboard keeper is {resident} kB resident (under 4096 kB expected)")
    args.xserver.terminate()
    args.xserver.wait()
    wait_gone(keeper, "its X server stopped")
    print(f"the clipboard keeper {keeper} ended with its X server")


def scenario_quit(args, display):
    folder = prepare_show(args)
    for how in ("Escape", "click"):
        process = launch(args, display, folder)
        dialog = wait_for_window(display, DIALOG, process)
        if how == "Escape":
            press(display, dialog, "Escape")
        else:
            click(display, dialog, *QUIT_BUTTON)
        status = wait_exit(process, 20)
        if status != 0:
            raise Failure(f"Quit by {how}: exit status {status}")
        if SHOW_WINDOW in windows(display):
            raise Failure(f"Quit by {how}: a show window appeared")
        print(f"Quit by {how}: status 0, no window")


def scenario_windowed(args, display):
    folder = prepare_show(args)
    process = launch(args, display, folder)
    dialog = wait_for_window(display, DIALOG, process)
    click(display, dialog, *WINDOWED_TOGGLE)
    time.sleep(0.3)
    press(display, dialog, "Return")
    show = wait_for_window(display, SHOW_WINDOW, process)
    if FULLSCREEN_QUESTION in windows(display):
        raise Failure("windowed mode still asked about fullscreen")
    geometry = subprocess.run(["xwininfo", "-id", show], env={**os.environ, "DISPLAY": display},
                              capture_output=True, text=True).stdout
    if "Width: 800" not in geometry or "Height: 600" not in geometry:
        raise Failure(f"window is not 800 x 600:\n{geometry}")
    tap_like_a_person(display, show, "Escape")
    status = wait_exit(process, 60)
    if status != 0:
        raise Failure(f"exit status {status}")
    print("Windowed: an 800 x 600 window, no fullscreen question, status 0")
    # The (empty) camera log went to the clipboard: its keeper gives way to the next copy.
    keeper = keeper_pid()
    subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=b"copied later", env={**os.environ, "DISPLAY": display},
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=10)
    wait_gone(keeper, "another client took the clipboard")
    print(f"the clipboard keeper {keeper} ended when another client took the clipboard")


def run_to_message_box(args, display, folder, caption, sound_driver="null"):
    """Windowed run from the dialog until the message box with that caption; answers it and
    returns the exit status."""
    process = launch(args, display, folder, sound_driver)
    dialog = wait_for_window(display, DIALOG, process)
    click(display, dialog, *WINDOWED_TOGGLE)
    time.sleep(0.3)
    press(display, dialog, "Return")
    box = wait_for_window(display, caption, process)
    press(display, box, "Return")
    return wait_exit(process, 20)


def scenario_missing_music(args, display):
    folder = prepare_show(args, with_music=False)
    status = run_to_message_box(args, display, folder, NO_MUSIC_BOX)
    if status != 0:
        raise Failure(f"exit status {status} after the missing-music message")
    print("Missing music: the message box, then status 0")


def scenario_no_display(args, display):
    folder = prepare_show(args)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    result = subprocess.run([args.ostravel], cwd=folder, env=env, capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise Failure(f"exit status {result.returncode} without a display")
    if "Failed To Register The Window Class." not in result.stderr:
        raise Failure(f"no message on standard error: {result.stderr!r}")
    print(f"No display: status 0, standard error says {result.stderr.strip()!r}")


def scenario_no_sound_device(args, display):
    folder = prepare_show(args)
    status = run_to_message_box(args, display, folder, "Project effect 3. Festrum !  ", "no-such-backend")
    if status != 1:
        raise Failure(f"exit status {status} without a sound device (1 expected)")
    print("No sound device: the message box, then status 1")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        raise Failure(f"{path} is not a PNG")
    return struct.unpack(">II", head[16:24])


def scenario_capture(args, display):
    folder = prepare_show(args)
    out = tempfile.mkdtemp(prefix="ostravel-capture-")
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}  # needs no X server at all
    result = subprocess.run([args.capture, "--at", "0.5,2", "--out", out, "--show", folder], env=env,
                            capture_output=True, text=True, timeout=300)
    if result.returncode != 0:
        raise Failure(f"capture failed ({result.returncode}): {result.stderr}")
    frames = sorted(os.listdir(out))
    if len(frames) != 2:
        raise Failure(f"expected 2 frames, got {frames}")
    for name in frames:
        if png_size(os.path.join(out, name)) != (800, 600):
            raise Failure(f"{name} is not 800 x 600")
    if "median" not in result.stdout:
        raise Failure("no frame-time figures printed")
    bad = subprocess.run([args.capture, "--at", "nonsense"], env=env, capture_output=True)
    if bad.returncode == 0:
        raise Failure("bad arguments were accepted")
    print(result.stdout)


def edge_density_and_mean(path):
    """Share of pixels on an edge (line geometry, letters, sprites) and the mean colour."""
    from PIL import Image, ImageFilter, ImageStat
    image = Image.open(path).convert("RGB")
    edges = image.convert("L").filter(ImageFilter.FIND_EDGES).histogram()
    return sum(edges[40:]) / sum(edges), ImageStat.Stat(image).mean


# What the show's timetable puts on screen at these times. The glow-only picture (composite and
# glow sprites, no scenes) has no edges at all; each of these must show line geometry.
TIMETABLE = [
    # time, least edge density, what must be visible
    (2, 0.005, "point quadtrees and the triangulation in blue"),
    (30, 0.05, "the graph paper, the credits and the picture cards"),
    (75, 0.003, "contour fans and outlines over the playing video"),
    (100, 0.02, "ribbons, shimmer strips and quadtrees"),
    (150, 0.005, "the triangulation at full strength"),
    (170, 0.03, "the video pixel mosaic"),
]


def scenario_timetable(args, display):
    out = tempfile.mkdtemp(prefix="ostravel-timetable-")
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    times = ",".join(str(t) for t, _, _ in TIMETABLE)
    result = subprocess.run([args.capture, "--fps", "10", "--at", times, "--out", out, "--show", args.show],
                            env=env, capture_output=True, text=True, timeout=600)
    if result.returncode != 0:
        raise Failure(f"capture failed ({result.returncode}): {result.stderr}")
    for t, least, what in TIMETABLE:
        density, mean = edge_density_and_mean(os.path.join(out, f"frame-{t:07.2f}.png"))
        print(f"{t:5.1f} s  edges {density:.4f}  mean colour {[round(c, 1) for c in mean]}  ({what})")
        if density < least:
            raise Failure(f"at {t} s {what} should be visible: edge density {density:.4f} < {least}")
        if t in (2, 150) and not mean[2] > mean[0]:
            raise Failure(f"at {t} s the picture should be blue: mean colour {mean}")
    shutil.rmtree(out)

def decode(*args):
    """Raw output of an ffmpeg decode (numpy arrays are made by the caller)."""
    return subprocess.run(["ffmpeg", "-v", "error", *args], capture_output=True, check=True, timeout=120).stdout


def mirror_show(show, missing):
    """A copy of the show folder made of links to its files, without the file `missing`."""
    folder = tempfile.mkdtemp(prefix="ostravel-incomplete-")
    for root, _, files in os.walk(show):
        target = os.path.join(folder, os.path.relpath(root, show))
        os.makedirs(target, exist_ok=True)
        for name in files:
            if os.path.relpath(os.path.join(root, name), show) != missing:
                os.symlink(os.path.join(root, name), os.path.join(target, name))
    return folder


def scenario_video(args, display):
    import numpy as np
    out = tempfile.mkdtemp(prefix="ostravel-video-")
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    fps, start, end = 30, 1.0, 4.0
    frames = round((end - start) * fps)
    movie = os.path.join(out, "show.mp4")
    result = subprocess.run([args.capture, "--video", movie, "--fps", str(fps), "--from", str(start), "--until",
                             str(end), "--show", args.show], env=env, capture_output=True, timeout=300)
    log = result.stderr.decode()  # as written: the progress line is rewritten with \r
    if result.returncode != 0:
        raise Failure(f"video capture failed ({result.returncode}): {log}")
    if os.listdir(out) != ["show.mp4"]:
        raise Failure(f"the output folder holds {os.listdir(out)}")
    if f"\rframe {frames}/{frames} " not in log:
        raise Failure(f"no progress line ending at {frames}/{frames}: {log[-300:]!r}")

    probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                            "stream=codec_type,width,height,nb_read_frames:format=duration", "-of", "json", movie],
                           capture_output=True, text=True, check=True)
    info = json.loads(probe.stdout)
    picture = [s for s in info["streams"] if s["codec_type"] == "video"]
    sound = [s for s in info["streams"] if s["codec_type"] == "audio"]
    duration = float(info["format"]["duration"])
    if len(picture) != 1 or len(sound) != 1:
        raise Failure(f"streams: {info['streams']}")
    if (picture[0]["width"], picture[0]["height"], int(picture[0]["nb_read_frames"])) != (800, 600, frames):
        raise Failure(f"picture stream {picture[0]}, {frames} frames of 800 x 600 planned")
    if abs(duration - frames / fps) > 0.5 / fps:
        raise Failure(f"duration {duration} s, {frames / fps} s planned")

    # The sound is the music from `start` on: the correlation peaks at lag 0, within one frame.
    rate = 44100
    pcm = ["-ac", "1", "-ar", str(rate), "-f", "s16le", "-"]
    heard = np.frombuffer(decode("-i", movie, "-vn", *pcm), np.int16).astype(float)
    music = np.frombuffer(decode("-i", os.path.join(args.show, "music", "[Bexil] Sorvain.ogg"), "-t", str(end + 1),
                                 *pcm), np.int16).astype(float)
    reach = rate // 5
    reference = music[int(start * rate) - reach:int(end * rate) + reach]
    size = 1 << (len(reference) + len(heard)).bit_length()
    correlation = np.fft.irfft(np.fft.rfft(reference, size) * np.conj(np.fft.rfft(heard, size)), size)[:2 * reach + 1]
    lag = int(np.argmax(correlation)) - reach
    aligned = music[int(start * rate) + lag:][:len(heard)]
    similarity = np.dot(aligned, heard[:len(aligned)]) / (np.linalg.norm(aligned) * np.linalg.norm(heard) + 1e-9)
    print(f"sound: {len(heard) / rate:.3f} s, lag {lag} samples, similarity {similarity:.3f}")
    if abs(lag) > rate / fps or similarity < 0.9:
        raise Failure(f"the sound is not the music from {start} s: lag {lag} samples, similarity {similarity:.3f}")

    # Frames equal what --at writes for the same times (H.264 is lossy: PSNR), and not the neighbours.
    picks = [0, 45, frames - 1]
    stills = tempfile.mkdtemp(prefix="ostravel-stills-")
    times = [start + n / fps for n in picks]
    subprocess.run([args.capture, "--fps", str(fps), "--at", ",".join(f"{t:.6f}" for t in times), "--out", stills,
                    "--show", args.show], env=env, capture_output=True, check=True, timeout=300)
    wanted = sorted({m for n in picks for m in (n - 1, n, n + 1) if 0 <= m < frames})
    select = "+".join(f"eq(n\\,{m})" for m in wanted)
    decoded = np.frombuffer(decode("-i", movie, "-vf", f"select={select}", "-vsync", "0", "-f", "rawvideo",
                                   "-pix_fmt", "rgb24", "-"), np.uint8).reshape(len(wanted), 600, 800, 3)
    for n, t in zip(picks, times):
        # Through the video's own 4:2:0 colour sampling first, so that only the encoder's loss counts.
        still = np.frombuffer(decode("-i", os.path.join(stills, f"frame-{t:07.2f}.png"), "-vf", "format=yuv420p",
                                     "-f", "rawvideo", "-pix_fmt", "rgb24", "-"), np.uint8).reshape(600, 800, 3)
        psnr = {m: 10 * np.log10(255.0 ** 2 / max(np.mean((decoded[wanted.index(m)].astype(float) - still) ** 2), 1e-9))
                for m in wanted if abs(m - n) <= 1}
        print(f"frame {n} ({t:.3f} s): PSNR against the still " + ", ".join(f"#{m} {p:.1f} dB" for m, p in psnr.items()))
        # 30 dB: the encoder spends fewer bits on the stream's last frames; the frame must still match
        # its own time better than its neighbours'.
        if psnr[n] < 30 or max(psnr, key=psnr.get) != n:
            raise Failure(f"frame {n} does not show the show at {t:.3f} s: {psnr}")
    shutil.rmtree(stills)

    # WebM from the very start: VP9 and Opus, 15 frames for half a second.
    web = os.path.join(out, "start.webm")
    subprocess.run([args.capture, "--video", web, "--fps", str(fps), "--until", "0.5", "--show", args.show], env=env,
                   capture_output=True, check=True, timeout=300)
    probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                            "stream=codec_name,nb_read_frames", "-of", "csv=p=0", web],
                           capture_output=True, text=True, check=True).stdout.split()
    streams = dict(line.split(",")[:2] for line in probe)
    if set(streams) != {"vp9", "opus"} or streams["vp9"] != "15":
        raise Failure(f"start.webm holds {probe}: VP9 with 15 frames and Opus expected")
    shutil.rmtree(out)

    # Failures: a message naming the cause before any frame is rendered, the status, and nothing
    # left in the folder.
    import faults
    no_tools = tempfile.mkdtemp(prefix="ostravel-empty-path-")
    cases = [
        # what, file, environment, show folder, words in the message, exit status
        ("no ffmpeg on PATH", "v.mp4", {**env, "PATH": no_tools}, args.show, "ffmpeg", 3),
        ("unwritable file", "no-such-folder/v.mp4", env, args.show, "cannot write", 3),
        ("unknown extension", "v.avi", env, args.show, "unknown video format", 1),
        ("no music", "v.webm", env, mirror_show(args.show, "music/[Bexil] Sorvain.ogg"), "Sorvain.ogg", 2),
        ("music not Ogg Vorbis", "v.mp4", env, faults.faulted_copy(args.show, faults.MUSIC, "random"),
         "Sorvain.ogg: it is not Ogg Vorbis", 3),
        ("no texture", "v.mp4", env, mirror_show(args.show, "textures/z3.jpg"), "z3.jpg", 2),
    ]
    for what, name, case_env, show, words, status in cases:
        out = tempfile.mkdtemp(prefix="ostravel-video-")
        result = subprocess.run([args.capture, "--video", os.path.join(out, name), "--until", "1", "--show", show],
                                env=case_env, capture_output=True, text=True, timeout=120)
        left = os.listdir(out)
        if result.returncode != status or words not in result.stderr or "\rframe" in result.stderr or left:
            raise Failure(f"{what}: status {result.returncode}, files {left}, message {result.stderr!r}")
        print(f"{what}: status {result.returncode}, {result.stderr.strip().splitlines()[-1]!r}")
        shutil.rmtree(out)
        if show != args.show:
            shutil.rmtree(show)
    os.rmdir(no_tools)


def scenario_installed(args, display):
    """The tree cmake --install made under --prefix, used from elsewhere: the capture tool finds
    the show folder beside itself, writes into the directory it was started in and renders what
    the build tree renders; the launcher, reached through a symlink from yet another directory,
    starts the installed program in the data folder, and Escape ends the show with status 0."""
    prefix = os.path.realpath(args.prefix)
    elsewhere = tempfile.mkdtemp(prefix="ostravel-elsewhere-")
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    result = subprocess.run([os.path.join(prefix, "bin", "ostravel-capture"), "--at", "2"], cwd=elsewhere, env=env,
                            capture_output=True, text=True, timeout=300)
    if result.returncode != 0 or os.listdir(elsewhere) != ["frame-0002.00.png"]:
        raise Failure(f"installed capture: status {result.returncode}, files {os.listdir(elsewhere)}: {result.stderr}")
    built = tempfile.mkdtemp(prefix="ostravel-built-")
    subprocess.run([args.capture, "--at", "2", "--show", args.show, "--out", built], env=env, capture_output=True,
                   check=True, timeout=300)
    frames = [os.path.join(folder, "frame-0002.00.png") for folder in (elsewhere, built)]
    with open(frames[0], "rb") as a, open(frames[1], "rb") as b:
        if a.read() != b.read():
            raise Failure("the installed capture tool's frame at 2 s differs from the build tree's")
    shutil.rmtree(built)
    print("installed capture tool: frame-0002.00.png in the starting directory, equal to the build tree's")

    links = tempfile.mkdtemp(prefix="ostravel-link-")
    os.symlink(os.path.join(prefix, "bin", "ostravel"), os.path.join(links, "ostravel"))
    process = subprocess.Popen([os.path.join(links, "ostravel")], cwd=elsewhere,
                               env={**env, "DISPLAY": display, "ALSOFT_DRIVERS": "null"},
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    dialog = wait_for_window(display, DIALOG, process)
    ran = {what: os.readlink(f"/proc/{process.pid}/{what}") for what in ("cwd", "exe")}
    wanted = {"cwd": os.path.join(prefix, "share", "ostravel"),
              "exe": os.path.join(prefix, "libexec", "ostravel", "ostravel")}
    if ran != wanted:
        process.kill()
        raise Failure(f"the launcher started {ran}, {wanted} expected")
    press(display, dialog, "Return")
    press(display, wait_for_window(display, FULLSCREEN_QUESTION, process), "Return")
    show = wait_for_window(display, SHOW_WINDOW, process)
    time.sleep(2.0)
    if process.poll() is not None:
        raise Failure(f"the show ended by itself (status {process.returncode}): {process.stderr.read().decode()}")
    xdo(display, "windowfocus", "--sync", show)
    xdo(display, "keydown", "Escape")
    status = wait_exit(process, 60)
    if status != 0:
        raise Failure(f"exit status {status} after Escape: {process.stderr.read().decode()}")
    keeper_pid()  # the show found its clipboard keeper beside the installed binary
    print(f"launcher through a symlink: the show ran in {ran['cwd']} and ended with status 0 after Escape")
    shutil.rmtree(links)
    shutil.rmtree(elsewhere)


def scenario_upload(args, display):
    """A video for upload: the 800 x 600 picture fitted into 1920 x 1080 (1440 x 1080 between two
    black bars of 240), Lanczos-scaled, in BT.709 limited range and tagged so."""
    import numpy as np
    out = tempfile.mkdtemp(prefix="ostravel-upload-")
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    movie = os.path.join(out, "upload.mp4")
    result = subprocess.run([args.capture, "--video", movie, "--fps", "30", "--from", "20", "--until", "22",
                             "--size", "1920x1080", "--quality", "upload", "--show", args.show],
                            env=env, capture_output=True, text=True, timeout=300)
    if result.returncode != 0:
        raise Failure(f"upload capture failed ({result.returncode}): {result.stderr}")
    probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=codec_type,width,height,color_space,"
                            "color_transfer,color_primaries,color_range,sample_rate", "-of", "json", movie],
                           capture_output=True, text=True, check=True)
    streams = {s.pop("codec_type"): s for s in json.loads(probe.stdout)["streams"]}
    picture = {"width": 1920, "height": 1080, "color_range": "tv", "color_space": "bt709",
               "color_transfer": "bt709", "color_primaries": "bt709"}
    if streams.get("video") != picture or streams.get("audio", {}).get("sample_rate") != "48000":
        raise Failure(f"streams {streams}: {picture} and 48 kHz sound expected")
    print(f"ffprobe: {streams}")

    # Decoded as BT.709 limited range: the bars black, the picture the --at frames scaled the same way.
    picks = [0, 30]
    stills = tempfile.mkdtemp(prefix="ostravel-stills-")
    subprocess.run([args.capture, "--fps", "30", "--at", ",".join(f"{20 + n / 30:.6f}" for n in picks), "--out",
                    stills, "--show", args.show], env=env, capture_output=True, check=True, timeout=300)
    select = "+".join(f"eq(n\\,{n})" for n in picks)
    decoded = {matrix: np.frombuffer(decode("-i", movie, "-vf", f"select={select},scale=in_color_matrix={matrix}:"
                                            "in_range=tv", "-vsync", "0", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"),
                                     np.uint8).reshape(len(picks), 1080, 1920, 3) for matrix in ("bt709", "bt601")}
    for frame, other, n in zip(decoded["bt709"], decoded["bt601"], picks):
        # H.264's deblocking reaches three pixels over a block edge, and 4:2:0 colour one more: the
        # four columns beside the picture carry its smear.
        bars = max(int(frame[:, :236].max()), int(frame[:, 1684:].max()))
        still = np.frombuffer(decode("-i", os.path.join(stills, f"frame-{20 + n / 30:07.2f}.png"), "-vf",
                                     "scale=1440:1080:flags=lanczos", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"),
                              np.uint8).reshape(1080, 1440, 3)
        # The picture lies at 240 exactly: there it matches better than a pixel or two aside.
        psnr = {dx: 10 * np.log10(255.0 ** 2 / max(np.mean((frame[:, 240 + dx:1680 + dx].astype(float) - still) ** 2),
                                                   1e-9)) for dx in (-2, -1, 0, 1, 2)}
        print(f"frame {n}: bars at most {bars}; PSNR against the scaled still at x = 240 + dx: "
              + ", ".join(f"{dx:+d}: {p:.1f} dB" for dx, p in psnr.items()))
        if bars > 2 or psnr[0] < 35 or max(psnr, key=psnr.get) != 0:
            raise Failure(f"frame {n}: bars up to {bars} (at most 2), PSNR {psnr} (at least 35 at dx = 0)")
        # The tags alone do not make the colours BT.709: read with the SD matrix, they must match worse.
        sd = 10 * np.log10(255.0 ** 2 / max(np.mean((other[:, 240:1680].astype(float) - still) ** 2), 1e-9))
        print(f"frame {n}: read as BT.601 instead, {sd:.1f} dB")
        if sd >= psnr[0]:
            raise Failure(f"frame {n} matches its still better read as BT.601 ({sd:.1f} dB) than as BT.709")
    shutil.rmtree(stills)
    shutil.rmtree(out)


def scenario_faults(args, display):
    """Damaged show data (faults.py): each kind of damage on a representative file of each kind,
    with the short test tune as the music. faults.py run by itself gives the whole table."""
    import faults
    tune = os.path.join(tempfile.mkdtemp(prefix="ostravel-tune-"), "tune.ogg")
    subprocess.run([args.music_tool, tune, "20"], check=True)
    args.long_fps = 2
    rows = [row for row in faults.cases(faults.SUBSET, (faults.MUSIC, "textures/blob41b.jpg"), ())
            if not (row[0] == faults.MUSIC and row[2] == "capture")]  # the capture plays no music
    rows += [("textures/try1.avi", "half", "capture", True), ("rec2.rcc", "half", "capture", True)]
    failed = faults.campaign(args, display, rows, music=tune)
    if failed:
        raise Failure(f"{failed} row(s) of the fault table differ from what is expected")


SCENARIOS = {
    "run-and-escape": scenario_run_and_escape,
    "quit": scenario_quit,
    "windowed": scenario_windowed,
    "missing-music": scenario_missing_music,
    "capture": scenario_capture,
    "timetable": scenario_timetable,
    "video": scenario_video,
    "no-display": scenario_no_display,
    "no-sound-device": scenario_no_sound_device,
    "faults": scenario_faults,
    "installed": scenario_installed,
    "upload": scenario_upload,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--show", required=True)
    parser.add_argument("--ostravel", required=True)
    parser.add_argument("--capture", required=True)
    parser.add_argument("--music-tool", required=True)
    parser.add_argument("--prefix", help="the tree cmake --install made (installed)")
    args = parser.parse_args()
    become_subreaper()
    server, display = start_xvfb()
    args.xserver = server  # for the scenarios that watch what happens when it goes
    status = 0
    try:
        SCENARIOS[args.scenario](args, display)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        status = 1
    finally:
        left = stop_xvfb(server)
    if left:
        print(f"FAILED: still running 2 s after the X server stopped (ended now): {left}", file=sys.stderr)
        status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
