#!/usr/bin/env python3
"""Recordings that survive their program: `vantix record` is killed with
SIGKILL at random moments while it records; the file it leaves must play (to
the last frame its headers count, at least), and `vantix avi repair` must make
it whole (index, sizes and counts of every complete frame), as it must for a
finished recording cut off at random bytes.

usage: recording_sigkill_test.py VANTIX FFPROBE [TRIALS]"""
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

HEADER_BYTES = 232  # everything up to and including "movi"


def ffprobe_frames(ffprobe, path):
    out = subprocess.run([ffprobe, "-v", "error", "-count_frames", "-select_streams", "v:0",
                          "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", path],
                         capture_output=True, text=True, timeout=120)
    text = out.stdout.strip()
    return int(text) if out.returncode == 0 and text.isdigit() else -1


def whole_chunks(data):
    """Frame chunks that are complete, walking the "movi" list from its start."""
    at, frames = HEADER_BYTES, 0
    while at + 8 <= len(data) and data[at:at + 4] == b"00db":
        size = struct.unpack_from("<I", data, at + 4)[0]
        if at + 8 + size > len(data):
            break
        frames, at = frames + 1, at + 8 + size
    return frames, at


def check_whole(data, frames, name):
    """A repaired file: sizes, counts and an index of `frames` entries."""
    problems = []
    counted, end = whole_chunks(data)
    if counted != frames:
        problems.append(f"{name}: {counted} frame chunks, repair said {frames}")
    if struct.unpack_from("<I", data, 4)[0] != len(data) - 8:
        problems.append(f"{name}: RIFF size is not the file size")
    if struct.unpack_from("<I", data, 224)[0] != end - 228:
        problems.append(f"{name}: movi size does not end at the last frame")
    if struct.unpack_from("<I", data, 48)[0] != frames or struct.unpack_from("<I", data, 140)[0] != frames:
        problems.append(f"{name}: headers do not count {frames} frames")
    if data[end:end + 4] != b"idx1" or struct.unpack_from("<I", data, end + 4)[0] != 16 * frames:
        problems.append(f"{name}: no index of {frames} entries after the frames")
    else:
        for n in range(frames):
            ckid, flags, offset, length = struct.unpack_from("<4sIII", data, end + 8 + 16 * n)
            if ckid != b"00db" or flags != 0x10 or data[228 + offset:228 + offset + 4] != b"00db":
                problems.append(f"{name}: index entry {n} does not point at a frame")
                break
    return problems


def repair(vantix, path):
    out = subprocess.run([vantix, "avi", "repair", path, "--json"], capture_output=True, text=True, timeout=120)
    if out.returncode != 0:
        return None, out.stderr.strip()
    return int(out.stdout.split('"frames":')[1].split(",")[0]), ""


def killed_recording(vantix, ffprobe, folder, trial, rng):
    path = os.path.join(folder, f"killed-{trial}.avi")
    child = subprocess.Popen([vantix, "record", path, "--seconds", "60", "--width", "320", "--height", "240",
                              "--bits", "24"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The file takes its name at the first whole frame; kill at a random
    # moment after that (the session may take a while on a busy machine).
    deadline = time.monotonic() + 60
    while not os.path.exists(path) and time.monotonic() < deadline and child.poll() is None:
        time.sleep(0.01)
    time.sleep(rng.uniform(0.0, 1.5))
    child.send_signal(signal.SIGKILL)
    child.wait()
    if not os.path.exists(path):
        return [f"trial {trial}: no recording appeared"]
    with open(path, "rb") as f:
        data = f.read()
    problems = []
    counted = struct.unpack_from("<I", data, 48)[0]
    whole, _ = whole_chunks(data)
    playable = ffprobe_frames(ffprobe, path)
    print(f"trial {trial}: {len(data)} bytes, headers count {counted}, {whole} whole frames, ffprobe plays {playable}")
    if counted < 1 or whole < counted:
        problems.append(f"trial {trial}: headers count {counted} frames of {whole} whole ones")
    if playable < counted:
        problems.append(f"trial {trial}: ffprobe plays {playable} of the {counted} frames the headers count")
    frames, error = repair(vantix, path)
    if frames is None:
        return problems + [f"trial {trial}: repair failed: {error}"]
    with open(path, "rb") as f:
        problems += check_whole(f.read(), frames, f"trial {trial}")
    if frames != whole:
        problems.append(f"trial {trial}: repair kept {frames} of {whole} whole frames")
    if ffprobe_frames(ffprobe, path) != frames:
        problems.append(f"trial {trial}: ffprobe does not play the {frames} repaired frames")
    os.remove(path)
    return problems


def cut_recordings(vantix, ffprobe, folder, rng):
    path = os.path.join(folder, "whole.avi")
    out = subprocess.run([vantix, "record", path, "--seconds", "1", "--width", "320", "--height", "240",
                          "--bits", "8"], capture_output=True, text=True, timeout=120)
    if out.returncode != 0:
        return [f"recording failed: {out.stderr.strip()}"]
    with open(path, "rb") as f:
        whole = f.read()
    frames_total, _ = whole_chunks(whole)
    problems = []
    cuts = [HEADER_BYTES, HEADER_BYTES + 3, len(whole)] + [rng.randrange(HEADER_BYTES, len(whole)) for _ in range(6)]
    for cut in cuts:
        piece = os.path.join(folder, "cut.avi")
        with open(piece, "wb") as f:
            f.write(whole[:cut])
        expected = min(whole_chunks(whole[:cut])[0], frames_total)
        frames, error = repair(vantix, piece)
        if frames is None:
            problems.append(f"cut at {cut}: repair failed: {error}")
            continue
        with open(piece, "rb") as f:
            problems += check_whole(f.read(), frames, f"cut at {cut}")
        if frames != expected:
            problems.append(f"cut at {cut}: {frames} frames kept, {expected} were whole")
        if frames > 0 and ffprobe_frames(ffprobe, piece) != frames:
            problems.append(f"cut at {cut}: ffprobe does not play the {frames} frames")
    # Not an AVI at all: refused, and left alone.
    junk = os.path.join(folder, "junk.avi")
    with open(junk, "wb") as f:
        f.write(b"not a recording" * 20)
    if repair(vantix, junk)[0] is not None or open(junk, "rb").read() != b"not a recording" * 20:
        problems.append("a file that is no AVI was not refused as it is")
    print(f"cut recordings: {len(cuts)} cuts of a {frames_total}-frame file")
    return problems


def main():
    vantix, ffprobe = sys.argv[1], sys.argv[2]
    trials = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    seed = int(os.environ.get("VANTIX_TEST_SEED", str(int(time.time()))))
    print(f"seed {seed} (VANTIX_TEST_SEED repeats a run)")
    rng = random.Random(seed)
    folder = tempfile.mkdtemp(prefix="vantix-sigkill-")
    try:
        problems = cut_recordings(vantix, ffprobe, folder, rng)
        for trial in range(trials):
            problems += killed_recording(vantix, ffprobe, folder, trial, rng)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
