"""exposure_sweep: mean brightness of a picture over a range of exposures.

    python3 exposure_sweep.py [STEPS]          default: 6"""
import sys

import numpy as np

import vantix

steps = int(sys.argv[1]) if len(sys.argv) > 1 else 6
with vantix.Camera() as cam:
    cam.color_mode = 16
    cam.roi = (0, 0, 640, 480)
    shortest, longest = cam.exposure_range_s
    for seconds in np.geomspace(max(shortest, 1e-4), min(longest, 0.2), steps):
        cam.exposure_s = float(seconds)
        picture = cam.snap()  # H x W, uint16
        print(f"exposure {cam.exposure_s * 1000:8.2f} ms   mean {picture.mean():8.1f}   max {picture.max():6d}")
