"""record: an uncompressed AVI of a few seconds.

    python3 record.py [FILE [SECONDS]]         default: recording.avi, 2 s"""
import os
import sys

import vantix

path = sys.argv[1] if len(sys.argv) > 1 else "recording.avi"
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 2.0
with vantix.Camera() as cam:
    cam.color_mode = 24
    cam.roi = (0, 0, 640, 480)
    cam.exposure_s = 0.01
    frames = cam.record(path, seconds)
    print(f"{path}: {frames} frames of 640 x 480 in {seconds:g} s, {os.path.getsize(path)} bytes")
