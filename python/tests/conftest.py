"""Virtual cameras for the tests: two of model 0x3040, a settings file and a
device table of this run's own, unless the caller chose them."""
import atexit
import os
import shutil
import tempfile

_RUN = tempfile.mkdtemp(prefix="vantix-pytest-")
atexit.register(shutil.rmtree, _RUN, True)
os.environ.setdefault("VANTIX_EMULATE", "3040:2")
os.environ.setdefault("VANTIX_REGISTRY", os.path.join(_RUN, "registry.reg"))
if "VANTIX_DEVICE_TABLE" not in os.environ:
    os.environ["VANTIX_DEVICE_TABLE"] = f"/U3K9-MemMap-pytest-{os.getpid()}"
    for _suffix in ("", ".lock"):
        atexit.register(lambda name: os.path.exists(name) and os.remove(name),
                        "/dev/shm" + os.environ["VANTIX_DEVICE_TABLE"] + _suffix)

import pytest  # noqa: E402

import vantix  # noqa: E402

SMALL = (0, 0, 320, 240)


@pytest.fixture
def cam():
    """Camera 0 with a small capture window, 24-bit colour and a short exposure."""
    with vantix.Camera(0) as camera:
        camera.roi = SMALL
        camera.color_mode = 24
        camera.exposure_s = 0.005  # frames come quickly
        yield camera


@pytest.fixture
def cam1():
    """Camera 1, set up as `cam`."""
    with vantix.Camera(1) as camera:
        camera.roi = SMALL
        camera.color_mode = 24
        camera.exposure_s = 0.005  # frames come quickly
        yield camera
