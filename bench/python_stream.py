"""Frames per second of vantix.Camera.stream() at full size into numpy,
against the C callback example (examples/callback_preview.c) in the same run.

    /usr/bin/python3 bench/python_stream.py BUILD_DIR [FRAMES] [ROUNDS]

Both stream the whole sensor in 24-bit colour from a virtual camera, first
at the emulated sensor's frame rate (can the application keep up with the
camera?), then with frames delivered as fast as they are read
(VANTIX_EMULATE_UNTHROTTLED=1: the host side's limit, where the virtual
camera's own copying competes for the processor). The two programs
alternate for ROUNDS rounds per mode; the medians are compared. Machines
shared with other work give noisy single runs: use several rounds."""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

build = Path(sys.argv[1] if len(sys.argv) > 1 else "build/release").resolve()
frames = int(sys.argv[2]) if len(sys.argv) > 2 else 40
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
source = Path(__file__).resolve().parent.parent
work = tempfile.mkdtemp(prefix="vantix-bench-")
env = dict(os.environ, VANTIX_EMULATE="3040",
           VANTIX_REGISTRY=os.path.join(work, "registry.reg"), VANTIX_DEVICE_TABLE=f"/U3K9-MemMap-bench-{os.getpid()}",
           VANTIX_LIBRARY=str(build / "src" / "libVantixSdk_Q720LX_USB3_K9.so"),
           PYTHONPATH=str(source / "python"))

PYTHON_STREAM = f"""
import vantix
with vantix.Camera() as cam:
    width, height = cam.sensor_size
    cam.roi = (0, 0, width, height)
    cam.color_mode = 24
    cam.exposure_s = 0.01
    stamps = [f.timestamp for f in cam.stream(count={frames}, timeout_s=10)]
    print(f"{{({frames} - 1) / (stamps[-1] - stamps[0]):.2f}} fps, {{width}} x {{height}}")
"""


def c_fps() -> float:
    out = subprocess.run([str(build / "examples" / "callback_preview"), str(frames), "60", "full"], env=env,
                         capture_output=True, text=True, check=True).stdout
    return float(re.search(r"frames: \d+ in [\d.]+ s, ([\d.]+) fps", out).group(1))


def python_fps() -> float:
    out = subprocess.run([sys.executable, "-c", PYTHON_STREAM], env=env, capture_output=True, text=True,
                         check=True).stdout
    return float(out.split()[0])


for mode, unthrottled in (("camera rate", "0"), ("unthrottled", "1")):
    env["VANTIX_EMULATE_UNTHROTTLED"] = unthrottled
    c_runs, python_runs = [], []
    for _ in range(rounds):
        c_runs.append(c_fps())
        python_runs.append(python_fps())
    c_median, python_median = statistics.median(c_runs), statistics.median(python_runs)
    print(f"{mode}, 3856 x 2764, 24 bits per pixel, {frames} frames a run:")
    print(f"  C callback example : {' '.join(f'{v:6.2f}' for v in c_runs)}   median {c_median:6.2f} fps")
    print(f"  Python stream()    : {' '.join(f'{v:6.2f}' for v in python_runs)}   median {python_median:6.2f} fps")
    print(f"  ratio Python / C   : {python_median / c_median:.2f}")

shutil.rmtree(work, ignore_errors=True)
for suffix in ("", ".lock"):
    name = "/dev/shm" + env["VANTIX_DEVICE_TABLE"] + suffix
    if os.path.exists(name):
        os.remove(name)
