"""Vantix USB3 cameras from Python, as numpy arrays.

    import vantix
    with vantix.Camera() as cam:
        cam.exposure_s = 0.01
        picture = cam.snap()          # H x W x 3, B, G, R, uint8

The package calls the SDK's shared library through ctypes; see
load_library for where it is looked for."""
from __future__ import annotations

from . import settings, virtual
from ._images import BITS_PER_PIXEL, to_rgb
from ._library import LibraryNotFoundError, load_library
from ._stream import Frame
from .camera import MODEL_ID, Camera
from .discovery import CameraDescription, list_cameras
from .errors import (ArgumentError, CameraLostError, CameraNotFoundError, CameraRefusedError, CaptureWindowError,
                     FileError, FrameError, FrameTimeoutError, ImageMemoryError, MaskFileError, NotSupportedError,
                     PreviewWindowError, SettingsError, ThreadError, VantixError, WrongStateError, explain)

__version__ = "1.0.0"


def library_version() -> int:
    """The SDK's version constant (Vantix_GetDllVersion), 0x01F50520."""
    return int(load_library().Vantix_GetDllVersion())


__all__ = [
    "ArgumentError", "BITS_PER_PIXEL", "Camera", "CameraDescription", "CameraLostError", "CameraNotFoundError",
    "CameraRefusedError", "CaptureWindowError", "FileError", "Frame", "FrameError", "FrameTimeoutError",
    "ImageMemoryError", "LibraryNotFoundError", "MODEL_ID", "MaskFileError", "NotSupportedError",
    "PreviewWindowError", "SettingsError", "ThreadError", "VantixError", "WrongStateError", "explain",
    "library_version", "list_cameras", "load_library", "settings", "to_rgb", "virtual",
]
