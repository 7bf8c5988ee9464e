#!/usr/bin/env python3
"""Runs the vantix tool's subcommands against virtual cameras and checks what
they report with --json, that what they write reads back, and that bad input
is refused with a message and a non-zero exit status.

usage: tool_subcommands_test.py VANTIX_BINARY GROUP
GROUP is registers, settings, stream, capture, mask or input. Each run has a
settings file and device table of its own, so groups may run in parallel.
"""
import glob
import json
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MASK_FILE_BYTES = 63947944


class Run:
    def __init__(self, tool, work):
        self.tool = tool
        self.work = work
        self.passed = 0
        self.failed = 0
        self.env = dict(os.environ)
        self.env.setdefault("VANTIX_EMULATE", "3040:2")
        self.env["VANTIX_REGISTRY"] = os.path.join(work, "registry.reg")
        self.table = "/U3K9-MemMap-tool-%d" % os.getpid()
        self.env["VANTIX_DEVICE_TABLE"] = self.table

    def path(self, name):
        return os.path.join(self.work, name)

    def check(self, condition, what):
        if condition:
            self.passed += 1
        else:
            self.failed += 1
            print("FAILED: " + what)

    def tool_run(self, *args, timeout=120, env=None, preexec_fn=None, cwd=None):
        result = subprocess.run([self.tool, *args], env=env or self.env, capture_output=True, text=True,
                                timeout=timeout, preexec_fn=preexec_fn, cwd=cwd)
        # A negative status is a signal: a crash, whatever the arguments.
        self.check(result.returncode >= 0, "vantix %s ended by signal %d: %s" % (" ".join(args), -result.returncode,
                                                                                  result.stderr))
        return result

    def json_of(self, *args):
        """Runs a command that must succeed and returns its parsed --json output."""
        result = self.tool_run(*args, "--json")
        self.check(result.returncode == 0, "vantix %s exited %d: %s" % (" ".join(args), result.returncode,
                                                                          result.stderr))
        try:
            return json.loads(result.stdout)
        except ValueError:
            self.check(False, "vantix %s printed no JSON: %r" % (" ".join(args), result.stdout))
            return {}

    def refused(self, *args, status=2, mentions=""):
        """A command that must fail with `status` and an error message."""
        result = self.tool_run(*args)
        line = "vantix " + " ".join(args)
        self.check(result.returncode == status, "%s exited %d, expected %d" % (line, result.returncode, status))
        self.check("error" in result.stderr and mentions in result.stderr,
                   "%s: message %r lacks %r" % (line, result.stderr, mentions))
        return result

    def cleanup(self):
        for suffix in ("", ".lock"):
            try:
                os.unlink("/dev/shm" + self.table + suffix)
            except OSError:
                pass


def registers(t):
    # Each run of the tool has a new virtual camera, so a write is checked
    # through the value the tool reads back.
    w = t.json_of("reg", "write", "0x10", "0x1234")
    t.check(w.get("written") == 0x1234 and w.get("readBack") == 0x1234, "reg write reads back: %r" % w)
    w = t.json_of("reg", "write", "--ex", "0x3040", "65")
    t.check(w.get("address") == 0x3040 and w.get("readBack") == 65, "reg write --ex reads back: %r" % w)
    r = t.json_of("reg", "read", "0")
    t.check(r.get("value") == 0x2C01 and r.get("hex") == "0x2C01", "sensor chip version: %r" % r)
    r = t.json_of("fpga", "read", "8")
    t.check(r.get("space") == "fpga" and 0 <= r.get("value", -1) <= 0xFF, "fpga read: %r" % r)
    w = t.json_of("fpga", "write", "0x50", "0xA5")
    t.check(w.get("readBack") == 0xA5, "fpga write reads back: %r" % w)
    w = t.json_of("srom", "write", "4095", "0x5a", "--camera", "1")
    t.check(w.get("address") == 4095 and w.get("readBack") == 0x5A, "srom write reads back: %r" % w)
    r = t.json_of("srom", "read", "0xFFE", "--count", "2")
    t.check([x.get("address") for x in r] == [0xFFE, 0xFFF], "srom read --count: %r" % r)
    # Out of range is refused before the SDK would cut it to its low bits.
    t.refused("reg", "read", "0x100", mentions="0xFF")
    t.refused("reg", "write", "0x10", "0x10000", mentions="0xFFFF")
    # --ex passes the whole 32-bit address on; the sensor refuses what it
    # cannot address, and with --json the error is JSON on stdout.
    t.refused("reg", "read", "--ex", "0x100000000", mentions="0xFFFFFFFF")
    e = t.tool_run("reg", "read", "--ex", "0x10000", "--json")
    try:
        error = json.loads(e.stdout).get("error", {})
    except ValueError:
        error = {}
    t.check(e.returncode == 1 and error.get("code") == 6 and "refused" in error.get("text", ""),
            "reg read --ex beyond the sensor's addresses: %r" % e.stdout)
    # Several serial-ROM bytes print as a hex dump, 16 to a line, aligned.
    d = t.tool_run("srom", "read", "0xFD4", "--count", "30")
    rows = d.stdout.splitlines()
    t.check(d.returncode == 0 and [r.split(":")[0] for r in rows] == ["fd0", "fe0", "ff0"] and
            len(rows[1].split()) == 17 and rows[0].index(" ff") == len("fd0:") + 4 * 3,
            "srom hex dump: %r" % rows)
    t.refused("fpga", "write", "0x50", "256", mentions="0xFF")
    t.refused("srom", "read", "0x1000", mentions="0xFFF")
    t.refused("srom", "read", "0xFFE", "--count", "3")
    t.refused("srom", "write", "0", "-1")
    t.refused("fpga", "read", "8", "--ex", mentions="--ex")
    trace(t)


def settings(t):
    # One-off options and read-only commands leave the stored settings alone:
    # a long exposure for one picture does not slow every later recording.
    t.json_of("snap", t.path("long.bmp"), "--exposure-ms", "1000", "--gain", "90", "--width", "320", "--height", "240")
    t.json_of("list")
    t.json_of("info")
    untouched = t.json_of("info")
    t.check(untouched.get("gain", {}).get("current") != 90 and
            abs(untouched.get("exposureSeconds", {}).get("current", 1.0) - 1.0) > 0.01,
            "snap without --save kept nothing: %r" % untouched)
    t.check(t.json_of("settings", "dump").get("keys", {}).get("Camera_00\\Gain", {}).get("Global") != 90,
            "nothing stored by a one-off snap")
    # With --save the camera's settings are stored when the session ends.
    t.json_of("snap", t.path("gain.bmp"), "--gain", "77", "--width", "320", "--height", "240", "--save")
    before = t.json_of("settings", "dump")
    gain = before.get("keys", {}).get("Camera_00\\Gain", {})
    t.check(before.get("stored") is True and gain.get("Global") == 77, "dump after snap --gain 77: %r" % before)
    t.check(before.get("file") == t.path("registry.reg"), "dump names VANTIX_REGISTRY: %r" % before.get("file"))

    exported = t.path("camera0.reg")
    e = t.json_of("settings", "export", exported)
    t.check(e.get("bytes", 0) > 0 and os.path.getsize(exported) == e.get("bytes"), "export: %r" % e)
    r = t.json_of("settings", "reset")
    t.check(r.get("removed") is True, "reset removes: %r" % r)
    t.check(t.json_of("settings", "dump").get("stored") is False, "nothing stored after reset")
    t.check(t.json_of("settings", "reset").get("removed") is False, "second reset finds nothing")
    t.json_of("settings", "import", exported)
    after = t.json_of("settings", "dump")
    t.check(after.get("keys") == before.get("keys"), "import restores every value: %r" % after)

    # A file cut short is refused whole and changes nothing.
    with open(exported, "rb") as f:
        text = f.read()
    cut = t.path("cut.reg")
    with open(cut, "wb") as f:
        f.write(text.replace(b"dword:0000004d", b"dword:00000001")[: len(text) - 10])
    t.refused("settings", "import", cut, status=1, mentions="not a whole settings file")
    t.check(t.json_of("settings", "dump").get("keys") == before.get("keys"), "refused import changed nothing")
    # A damaged line is named by its file, number and text.
    lines = text.decode().split("\r\n")
    lines.insert(3, "Global=64")
    bad = t.path("bad.reg")
    with open(bad, "wb") as f:
        f.write("\r\n".join(lines).encode())
    t.refused("settings", "import", bad, status=1, mentions=bad + ':4: "Global=64": not a whole settings file')
    t.refused("settings", "import", t.path("missing.reg"), status=1, mentions="missing")
    t.refused("settings", "export", t.path("no/such/folder/x.reg"), mentions="does not exist")
    t.refused("settings", "reset", "--all")
    t.check(t.json_of("settings", "path").get("file") == t.path("registry.reg"), "settings path")


def stream(t):
    s = t.json_of("stream", "--frames", "5", "--width", "640", "--height", "480")
    t.check(s.get("frames") == 5, "stream --frames 5 delivers 5: %r" % s)
    t.check(s.get("width") == 640 and s.get("height") == 480 and isinstance(s.get("dropped"), int),
            "stream reports the frame size and drops: %r" % s)
    t.check(sum(i["frames"] for i in s.get("intervals", [])) == 5, "intervals add up: %r" % s)
    # A worker that waits 400 ms per frame falls behind the camera's ~5.7
    # frames per second: the camera's counter shows the frames it skipped.
    s = t.json_of("stream", "--seconds", "2", "--wait-ms", "400", "--width", "320", "--height", "240")
    t.check(s.get("frames", 0) >= 1 and s.get("dropped", 0) >= 2, "slow worker shows drops: %r" % s)
    t.check(sum(i["dropped"] for i in s.get("intervals", [])) == s.get("dropped"), "drops add up: %r" % s)
    # Fractions of a second: the stream stops after about that time.
    s = t.json_of("stream", "--seconds", "0.5", "--width", "320", "--height", "240")
    t.check(0.4 <= s.get("seconds", 0) < 30, "stream --seconds 0.5 report: %r" % s)
    # Ctrl-C ends the stream with its totals and status 0.
    p = subprocess.Popen([t.tool, "stream", "--seconds", "0", "--width", "320", "--height", "240", "--json"],
                         env=t.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    time.sleep(2.0)
    p.send_signal(signal.SIGINT)
    out, err = p.communicate(timeout=60)
    t.check(p.returncode == 0, "stream after Ctrl-C exited %d: %s" % (p.returncode, err))
    try:
        s = json.loads(out)
    except ValueError:
        s = {}
    t.check(s.get("interrupted") is True and s.get("frames", 0) >= 1, "stream totals after Ctrl-C: %r" % out)


def capture(t):
    png = t.path("snap.png")
    s = t.json_of("snap", png, "--width", "320", "--height", "240", "--bits", "24")
    t.check(s.get("file") == png and s.get("bytes") == os.path.getsize(png), "snap file and bytes: %r" % s)
    t.check(s.get("width") == 320 and s.get("height") == 240 and s.get("bitsPerPixel") == 24, "snap size: %r" % s)
    avi = t.path("clip.avi")
    r = t.json_of("record", avi, "--seconds", "1", "--width", "320", "--height", "240")
    with open(avi, "rb") as f:
        head = f.read(12)
    t.check(head[:4] == b"RIFF" and head[8:12] == b"AVI ", "record writes an AVI")
    t.check(r.get("bytes") == os.path.getsize(avi) and r.get("width") == 320 and r.get("interrupted") is False,
            "record report: %r" % r)
    # Without a terminal: one progress line per second, whose frame counts
    # (read from the growing file) never exceed what the finished file holds.
    plain = t.tool_run("record", avi, "--seconds", "2", "--width", "320", "--height", "240")
    lines = plain.stdout.splitlines()
    progress = [line.split() for line in lines if line.startswith("recording")]
    counts = [int(words[3]) for words in progress if len(words) > 4 and words[4] == "frames"]
    with open(avi, "rb") as f:
        header = f.read(52)
    total = int.from_bytes(header[48:52], "little")
    t.check(plain.returncode == 0 and len(counts) >= 2 and counts == sorted(counts) and 0 < counts[-1] <= total,
            "record progress %r against %d frames in the file" % (lines, total))
    t.check(lines and lines[-1].startswith(avi + "  %d frames" % total), "record summary: %r" % lines[-1:])

    # A disk that fills up ends the recording early with a finished file of
    # the frames that fit, and the tool says so: three 320 x 240 frames fit,
    # the fourth breaks off halfway, leaving room for the index.
    frame = 320 * 240 * 3
    limit = 232 + 3 * (8 + frame) + 8 + frame // 2

    def small_disk():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, resource.RLIM_INFINITY))

    full = t.path("full.avi")
    result = t.tool_run("record", full, "--seconds", "30", "--width", "320", "--height", "240", "--json",
                        preexec_fn=small_disk)
    try:
        r = json.loads(result.stdout)
    except ValueError:
        r = {}
    t.check(result.returncode == 1, "record on a full disk exits %d: %r" % (result.returncode, result.stderr))
    t.check(r.get("error") == 12 and r.get("frames") == 3 and r.get("bytes") == 232 + 3 * (8 + frame) + 8 + 48,
            "record on a full disk reports: %r" % r)
    with open(full, "rb") as f:
        header = f.read(52)
    t.check(int.from_bytes(header[48:52], "little") == 3, "the full disk's file counts its 3 frames")
    plain = t.tool_run("record", full, "--seconds", "30", "--width", "320", "--height", "240", preexec_fn=small_disk)
    t.check(plain.returncode == 1 and "SDK error 12" in plain.stderr and "3 frames" in plain.stderr,
            "record on a full disk says so: %r" % plain.stderr)

    # Fractional seconds, and the frame count and rate in the report.
    r = t.json_of("record", avi, "--seconds", "0.5", "--width", "320", "--height", "240")
    t.check(0.3 < r.get("seconds", 0) <= 0.5 and r.get("frames", 0) >= 1 and r.get("sizeLimitReached") is False and
            abs(r.get("framesPerSecond", -1) - r.get("frames", 0) / r.get("seconds", 1)) < 0.05,
            "record --seconds 0.5 report: %r" % r)
    # A sub-sampled recording reports the size of the pictures it holds.
    r = t.json_of("record", avi, "--seconds", "0.5", "--width", "320", "--height", "240", "--subsample", "1")
    t.check(r.get("width") == 160 and r.get("height") == 120, "record --subsample 1 report: %r" % r)
    window_options(t)
    t.refused("snap", t.path("bad.bmp"), "--x", "3857", mentions="window")
    t.refused("snap", t.path("bad.bmp"), "--mirror", "x", mentions="--mirror")
    t.refused("snap", t.path("bad.bmp"), "--subsample", "3", mentions="--subsample")
    # The tour takes --json and lists what it wrote where it was told to.
    out = t.path("tour")
    d = t.json_of("demo", "--out", out)
    files = [f.get("file", "") for f in d.get("files", [])]
    t.check(len(files) == 13 and all(f.startswith(out + "/") and os.path.getsize(f) == b.get("bytes")
                                     for f, b in zip(files, d.get("files", []))), "demo --json: %r" % d)
    # Its closing line names the folder once: an absolute --out as given, a
    # relative one below the current folder.
    for given, shown in ((out, out), ("tour", os.path.join(os.path.realpath(t.work), "tour"))):
        d = t.tool_run("demo", "--out", given, cwd=t.work)
        last = d.stdout.rstrip("\n").splitlines()[-1:]
        t.check(d.returncode == 0 and last == ["files are in " + shown], "demo --out %s ends with %r" % (given, last))
    # A program that streamed from its virtual camera leaves no claim object
    # of that camera behind when it exits.
    left = glob.glob("/dev/shm/vantix-stream-*" + re.sub(r"[^a-z0-9]", "_", t.table.lower()) + "*")
    t.check(not left, "claim objects left behind: %r" % left)


def raw_snap(t, name, *options):
    """Takes an 8-bit raw picture of a 640 x 480 window; returns the --json
    report and the picture's rows (one byte per sample, no header)."""
    path = t.path(name)
    s = t.json_of("snap", path, "--bits", "8", "--width", "640", "--height", "480", *options)
    width = s.get("width", 0)
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        data = b""
    rows = [data[y * width:(y + 1) * width] for y in range(len(data) // width)] if width else []
    return s, rows


def window_options(t):
    """The window's offsets, sub-sampling, mirroring and gray mode, seen in the
    pictures of the virtual camera's test chart: a grid and colour ramps fixed
    to the sensor, a dark box with an "F" in the window's first corner (rows
    below 56, columns below 40) and a moving square in rows 224 to 255."""
    base_report, base = raw_snap(t, "base.raw", "--x", "0", "--y", "0")
    t.check(len(base) == 480 and base_report.get("window") == {"x": 0, "y": 0, "width": 640, "height": 480},
            "snap of a 640 x 480 window: %r" % base_report)
    if len(base) != 480:
        return
    # Offsets: the chart moves by them. Rows 64 to 199 are clear of the
    # corner box and of the moving square in both pictures.
    s, shifted = raw_snap(t, "shifted.raw", "--x", "16", "--y", "8")
    t.check(s.get("window", {}).get("x") == 16 and s.get("window", {}).get("y") == 8, "snap --x/--y report: %r" % s)
    band = range(64, 200)
    t.check(len(shifted) == 480 and all(shifted[y][16:600] == base[y + 8][32:616] for y in band) and
            any(shifted[y][16:600] != base[y][16:600] for y in band),
            "the picture at --x 16 --y 8 is the chart moved by 16 columns and 8 rows")
    # Sub-sampling: the picture, and the file, shrink; the window stays.
    for mode, width, height in (("1", 320, 240), ("2", 160, 120)):
        s, rows = raw_snap(t, "sub%s.raw" % mode, "--subsample", mode)
        t.check(s.get("width") == width and s.get("height") == height and s.get("bytes") == width * height and
                s.get("subSample") == int(mode) and s.get("window", {}).get("width") == 640 and
                len(rows) == height, "snap --subsample %s: %r" % (mode, s))

    # Mirroring moves the corner box to the corner it is mirrored to: the
    # darkest 4 x 4 corner of the picture.
    def box_corner(rows):
        if len(rows) != 480:
            return None
        corners = {"top left": (0, 0), "top right": (0, 636), "bottom left": (476, 0), "bottom right": (476, 636)}
        level = {name: sum(sum(rows[y][x:x + 4]) for y in range(y0, y0 + 4)) for name, (y0, x) in corners.items()}
        return min(level, key=level.get)

    t.check(box_corner(base) == "top left", "the unmirrored chart has its box top left")
    for mirror, corner in (("none", "top left"), ("h", "top right"), ("v", "bottom left"), ("hv", "bottom right")):
        _, rows = raw_snap(t, "mirror-%s.raw" % mirror, "--mirror", mirror)
        t.check(box_corner(rows) == corner, "snap --mirror %s puts the box %s, not %s" % (mirror, corner,
                                                                                         box_corner(rows)))

    # Gray mode 0 delivers the Bayer mosaic: neighbouring samples of a row
    # are of different colours. Gray mode 2 converts to gray: they match
    # within the chart's smooth ramps.
    def neighbour_step(rows):
        pairs = [(row[x], row[x + 1]) for row in rows[64:200] for x in range(100, 600)]
        return sum(abs(a - b) for a, b in pairs) / max(1, len(pairs))

    _, mosaic = raw_snap(t, "gray0.raw", "--gray-mode", "0")
    _, gray = raw_snap(t, "gray2.raw", "--gray-mode", "2")
    t.check(mosaic == base and neighbour_step(mosaic) > 20, "gray mode 0 is the raw mosaic")
    t.check(len(gray) == 480 and neighbour_step(gray) < 5, "gray mode 2 is gray: step %.1f" % neighbour_step(gray))
    # Gray mode 1 applies the stored gray gains; at 64 (x0.5) the samples
    # they reach are halved and none grows. A snap with --save stores the
    # camera's settings, the gray gains at 128 (x1) among them.
    raw_snap(t, "stored.raw", "--save")
    exported = t.path("gray-gains.reg")
    t.json_of("settings", "export", exported)
    with open(exported, "rb") as f:
        text = f.read()
    for gain in (b"GainR1", b"GainG1", b"GainG2", b"GainB1"):
        t.check(b'"%s"=dword:00000080' % gain in text, "the stored settings hold %s at 128" % gain.decode())
        text = text.replace(b'"%s"=dword:00000080' % gain, b'"%s"=dword:00000040' % gain)
    with open(exported, "wb") as f:
        f.write(text)
    t.json_of("settings", "import", exported)
    _, leveled = raw_snap(t, "gray1.raw", "--gray-mode", "1")
    _, unleveled = raw_snap(t, "gray0-gains.raw", "--gray-mode", "0")
    t.check(unleveled == base and len(leveled) == 480 and
            all(a <= b for row, base_row in zip(leveled, base) for a, b in zip(row, base_row)) and
            sum(map(sum, leveled)) < 0.9 * sum(map(sum, base)), "gray mode 1 applies the stored gray gains")
    t.json_of("settings", "reset")


def trace(t):
    """Runs with the registers group."""
    # A FIFO named as the wire trace must not hold up the first camera
    # request; the trace is off and the debug output says why.
    fifo = t.path("trace.fifo")
    os.mkfifo(fifo)
    env = dict(t.env, VANTIX_USB_TRACE=fifo, VANTIX_DEBUG="1")
    try:
        result = t.tool_run("reg", "read", "0", "--json", timeout=30, env=env)
    except subprocess.TimeoutExpired:
        t.check(False, "vantix reg read waited for a reader of the VANTIX_USB_TRACE FIFO")
        return
    try:
        value = json.loads(result.stdout).get("value")
    except ValueError:
        value = None
    t.check(result.returncode == 0 and value == 0x2C01, "reg read with a FIFO trace: %r" % result.stdout)
    t.check("VANTIX_USB_TRACE: %s is not a regular file" % fifo in result.stderr,
            "the debug output names the refused trace: %r" % result.stderr[-500:])
    # A regular file gets the requests.
    log = t.path("trace.txt")
    t.tool_run("reg", "read", "0", env=dict(t.env, VANTIX_USB_TRACE=log))
    with open(log) as f:
        t.check("ep0 in req=" in f.read(), "the trace file holds the requests")


def mask(t):
    # A file that is not a mask file is never replaced.
    other = t.path("notes.mask")
    with open(other, "w") as f:
        f.write("not a mask")
    t.refused("mask", "dark", other, status=1, mentions="not replacing")
    with open(other) as f:
        t.check(f.read() == "not a mask", "mask dark left the other file alone")
    m = t.path("camera.mask")
    d = t.json_of("mask", "dark", m, "--depth", "8")
    t.check(d.get("bytes") == MASK_FILE_BYTES and d.get("depths") == [8] and d.get("kept") is False,
            "mask dark writes a whole mask file: %r" % d)
    t.check(t.json_of("mask", "load", m).get("valid") is True, "the written mask loads")
    t.refused("mask", "load", other, status=1, mentions="SDK error 14")


def bad_input(t):
    # Every subcommand explains itself.
    for command in ("stream", "reg", "fpga", "srom", "settings", "mask", "snap", "record"):
        r = t.tool_run(command, "--help")
        t.check(r.returncode == 0 and "usage: vantix " + command in r.stdout, "%s --help" % command)
    r = t.tool_run("--help")
    t.check(all(c in r.stdout for c in ("stream", "settings", "mask", "srom")), "top-level usage lists commands")
    h = t.tool_run("-h")
    t.check(h.returncode == 0 and h.stdout == r.stdout, "-h is --help")
    h = t.tool_run("snap", "-h")
    t.check(h.returncode == 0 and "usage: vantix snap" in h.stdout, "snap -h")
    v = t.tool_run("--version")
    t.check(v.returncode == 0 and "library version 0x01F50520" in v.stdout, "--version: %r" % v.stdout)
    t.refused("info", "extra", mentions="extra")
    t.refused("list", "extra", mentions="extra")
    t.refused("snap", t.path("x.png"), "--format", "gif", mentions="format gif")
    t.refused("snap", t.path("x.png"), "--width", "640", mentions="--height")
    # With --json an error is one JSON object on stdout, with a code and a
    # text, and nothing on stderr: the command-line, SDK, usage and file
    # errors alike.
    not_avi = t.path("notes.avi")
    with open(not_avi, "w") as f:
        f.write("not a recording")
    for args, status, mentions in ((("snap", t.path("x.gif"), "--json"), 2, "x.gif"),
                                   (("frobnicate", "--json"), 2, "frobnicate"),
                                   (("info", "--camera", "7", "--json"), 1, ""),
                                   (("snap", "--json"), 2, "file name"),
                                   (("info", "--json", "--model"), 2, "--model needs a value"),
                                   (("avi", "repair", t.path("missing.avi"), "--json"), 1, "missing.avi"),
                                   (("avi", "repair", not_avi, "--json"), 1, "notes.avi"),
                                   (("avi", "repair", "--json"), 2, "file name"),
                                   (("avi", "frob", "x.avi", "--json"), 2, "frob")):
        e = t.tool_run(*args)
        try:
            error = json.loads(e.stdout).get("error")
        except ValueError:
            error = None
        t.check(e.returncode == status and isinstance(error, dict) and isinstance(error.get("code"), int) and
                mentions in error.get("text", "") and error.get("text") and e.stderr == "",
                "vantix %s: exit %d, stdout %r, stderr %r" % (" ".join(args), e.returncode, e.stdout, e.stderr))
    # Without --json the same errors go to stderr.
    t.refused("info", "--model", mentions="--model needs a value")
    t.refused("avi", "repair", t.path("missing.avi"), status=1, mentions="missing.avi")
    t.refused("avi", "repair", not_avi, status=1, mentions="notes.avi")
    i = t.json_of("info")
    t.check(0 < i.get("exposureSeconds", {}).get("current", 0) < 3 and "exposure" not in i,
            "info gives the exposure in seconds: %r" % i)
    rules = i.get("windowRules") or {}
    t.check(rules.get("maxWidth") == 3856 and [m.get("mode") for m in rules.get("subSample", [])] == [0, 1, 2] and
            all(m.get("widthStep", 0) > 0 for m in rules.get("subSample", [])), "info window rules: %r" % rules)
    plain = t.tool_run("info")
    t.check("mode 1      width a multiple of" in plain.stdout, "info prints the window rules: %r" % plain.stdout)
    t.refused("frobnicate")
    t.refused("reg", "frob", "1", mentions="frob")
    t.refused("settings", "frob", mentions="frob")
    t.refused("mask", "frob", "x", mentions="frob")
    t.refused("stream", "--fps", "3", mentions="--fps")
    t.refused("stream", "--frames", "abc", mentions="--frames")
    t.refused("stream", "--frames", "-2", mentions="--frames")
    t.refused("stream", "--seconds")
    t.refused("snap", t.path("x.png"), "--exposure-ms", "-5", mentions="--exposure-ms")
    t.refused("snap", t.path("x.png"), "--exposure-ms", "5ms", mentions="--exposure-ms")
    t.refused("snap", "/no/such/folder/x.png", mentions="does not exist")
    t.refused("record", t.work, mentions="folder")
    t.refused("mask", "save", "/no/such/folder/x.mask", mentions="does not exist")
    t.refused("stream", "--camera", "40", mentions="--camera")
    t.check(not os.path.exists(t.path("x.png")), "refused snap wrote nothing")


GROUPS = {"registers": registers, "settings": settings, "stream": stream, "capture": capture, "mask": mask,
          "input": bad_input}


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in GROUPS:
        print(__doc__)
        return 2
    work = tempfile.mkdtemp(prefix="vantix-tool-test-")
    t = Run(os.path.abspath(sys.argv[1]), work)
    try:
        GROUPS[sys.argv[2]](t)
    finally:
        t.cleanup()
        shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (t.passed, t.failed))
    return 1 if t.failed else 0


if __name__ == "__main__":
    sys.exit(main())
