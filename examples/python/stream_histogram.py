"""stream_histogram: stream gray frames and print a live histogram of each.

    python3 stream_histogram.py [FRAMES]       default: 30

Each frame is an array of its own: keep it, hand it to another thread, the
SDK never writes into it."""
import sys

import numpy as np

import vantix

BARS = 16
WIDTH = 40

count = int(sys.argv[1]) if len(sys.argv) > 1 else 30
with vantix.Camera() as cam:
    cam.color_mode = 8
    cam.roi = (0, 0, 1280, 960)
    cam.exposure_s = 0.01
    for frame in cam.stream(count=count, timeout_s=5):
        counts = np.bincount(frame.array.ravel(), minlength=256).reshape(BARS, -1).sum(axis=1)
        scale = WIDTH / max(counts.max(), 1)
        bars = "".join(" ▁▂▃▄▅▆▇█"[min(8, int(c * scale * 8 / WIDTH))] for c in counts)
        print(f"frame {frame.counter:4d}  {frame.rate_fps:5.1f} fps  mean {frame.array.mean():6.1f}  |{bars}|"
              + (f"  ({frame.skipped} skipped)" if frame.skipped else ""))
