"""A program that ends with cameras still open: no hang, settings saved."""
import os
import subprocess
import sys
import textwrap
from pathlib import Path

import vantix

PROGRAM = textwrap.dedent("""
    import vantix
    first = vantix.Camera(0)
    first.gain = 77
    first.roi = (0, 0, 320, 240)
    first.exposure_s = 0.005
    first.itself = first            # a reference cycle
    stream = first.stream(timeout_s=5)
    next(stream), next(stream)      # the stream stays suspended
    second = vantix.Camera(1)
    second.gain = 55
    print("open", flush=True)
""")


def test_exit_with_open_cameras_saves_their_settings(tmp_path):
    registry = tmp_path / "registry.reg"
    env = dict(os.environ, VANTIX_REGISTRY=str(registry), VANTIX_DEVICE_TABLE=f"/U3K9-MemMap-pytest-exit-{os.getpid()}",
               VANTIX_EMULATE="3040:2", PYTHONPATH=str(Path(vantix.__file__).resolve().parent.parent))
    try:
        done = subprocess.run([sys.executable, "-c", PROGRAM], env=env, capture_output=True, text=True, timeout=60)
    finally:
        for suffix in ("", ".lock"):
            Path("/dev/shm" + env["VANTIX_DEVICE_TABLE"] + suffix).unlink(missing_ok=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "open\n"
    assert done.stderr == ""  # nothing failed on the way out
    text = registry.read_text(encoding="utf-8")
    sections = {block.split("]")[0]: block for block in text.split("\n[")}
    assert '"Global"=dword:0000004d' in sections["HKEY_CURRENT_USER\\Software\\Morvek\\VantixQ720LXK9Sdk\\Camera_00\\Gain"]
    assert '"Global"=dword:00000037' in sections["HKEY_CURRENT_USER\\Software\\Morvek\\VantixQ720LXK9Sdk\\Camera_01\\Gain"]
