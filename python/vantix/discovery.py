"""Listing the attached cameras."""
from __future__ import annotations

import ctypes
from typing import List, NamedTuple, Optional

from ._declarations import DeviceDetails
from ._session import Session, release

_MAX_CAMERAS = 32


class CameraDescription(NamedTuple):
    """An attached camera: `index` is what Camera(index=...) takes."""
    index: int
    name: str
    model: int
    vendor_id: int
    is_virtual: bool
    path: str


def list_cameras(library: Optional[str] = None) -> List[CameraDescription]:
    """The attached cameras of the model this library drives, virtual ones
    (VANTIX_EMULATE) first. A camera unplugged earlier leaves a gap in the
    indexes."""
    session = Session(library)
    lib = session.lib
    try:
        names = ctypes.create_string_buffer(10 * 256)
        count = session.call("Vantix_EnumDevice", names, failed=lambda r: r < 0)
        found: List[CameraDescription] = []
        for index in range(_MAX_CAMERAS):
            if len(found) >= count:
                break
            details = DeviceDetails()
            # A gap (code 2) is no failure here.
            if lib.VantixExt_GetDeviceDetails(session.handle, index, ctypes.byref(details)) != 1:
                continue
            name = ctypes.create_string_buffer(256)
            session.call("Vantix_GetDeviceName", index, name, len(name))
            found.append(CameraDescription(index, name.value.decode(errors="replace"), int(details.productId),
                                           int(details.vendorId), bool(details.isVirtual),
                                           details.path.decode(errors="replace")))
        return found
    finally:
        release(lib, session.handle, session.window)
