"""snapshot: one picture from the first camera, saved as PNG and summarised.

    python3 snapshot.py [FILE]        default: snapshot.png

Without a camera: VANTIX_EMULATE=3040 python3 snapshot.py"""
import sys

import vantix

path = sys.argv[1] if len(sys.argv) > 1 else "snapshot.png"
with vantix.Camera() as cam:
    cam.color_mode = 24
    picture = cam.snap()  # H x W x 3, channels B, G, R
    cam.save(path)
    blue, green, red = (picture[..., c].mean() for c in range(3))
    print(f"{cam.name}: {picture.shape[1]} x {picture.shape[0]}, mean R {red:.1f} G {green:.1f} B {blue:.1f}, saved {path}")
