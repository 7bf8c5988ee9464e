"""Control of the virtual cameras of VANTIX_EMULATE, for rehearsing a lost
camera in tests. Real cameras are never affected."""
from __future__ import annotations

from ._library import load_library
from .errors import VantixError


def set_plugged(device_path: str, plugged: bool) -> None:
    """Unplugs (False) or plugs back in (True) the virtual camera at
    `device_path` (Camera.device_path or CameraDescription.path). A stream
    of an unplugged camera ends with CameraLostError."""
    lib = load_library()
    if lib.VantixExt_SetVirtualCameraPlugged(device_path.encode(), 1 if plugged else 0) != 1:
        raise VantixError("VantixExt_SetVirtualCameraPlugged", None,
                          detail=f"{device_path!r} is no virtual camera of this process")
