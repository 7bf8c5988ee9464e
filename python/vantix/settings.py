"""The settings store: every camera's settings in one file of the registry
editor's export format ($VANTIX_REGISTRY, else ~/.config/vantix/registry.reg).

Keys are named relative to the SDK's own key with backslashes between
levels; camera N's settings are "Camera_NN" (Camera.settings_key). An open
camera saves its settings when it is closed, which undoes changes made to
its key in the meantime: import settings for a camera while it is closed."""
from __future__ import annotations

import ctypes
import os
from typing import Callable, Optional, Union

from ._library import load_library
from .errors import SettingsError

PathLike = Union[str, "os.PathLike[str]"]


def _key(key: Optional[str]) -> Optional[bytes]:
    return key.encode() if key else None


def _checked(function: str, result: int, detail: str = "") -> int:
    if result < 0:
        raise SettingsError(function, result, detail)
    return result


def _read_text(function: str, fill: Callable[[Optional[ctypes.Array], int], int], detail: str) -> str:
    # The call reports the bytes it needs; it writes only when they fit.
    while True:
        needed = _checked(function, fill(None, 0), detail)
        if needed == 0:
            raise SettingsError(function, -3, "no location for the settings file can be determined")
        buffer = ctypes.create_string_buffer(needed)
        if _checked(function, fill(buffer, needed), detail) <= needed:
            return buffer.value.decode("utf-8", errors="replace")


def path() -> str:
    """The settings file's path."""
    lib = load_library()
    return _read_text("VantixExt_GetSettingsPath", lambda b, n: lib.VantixExt_GetSettingsPath(b, n), "")


def text(key: Optional[str] = None) -> str:
    """The stored key (None: all of the SDK's keys) with its subkeys, as the
    text of a settings file."""
    lib = load_library()
    k = _key(key)
    return _read_text("VantixExt_GetSettingsText", lambda b, n: lib.VantixExt_GetSettingsText(k, b, n),
                      f"key {key!r}")


def export_to(file: PathLike, key: Optional[str] = None) -> None:
    """Writes the stored key (None: all) to `file`, replaced whole or not at all."""
    lib = load_library()
    _checked("VantixExt_ExportSettings", lib.VantixExt_ExportSettings(_key(key), os.fsencode(file)),
             f"key {key!r} to {os.fspath(file)!r}")


def import_from(file: PathLike) -> None:
    """Merges a file written by export_to into the store; a damaged file
    changes nothing and raises SettingsError."""
    lib = load_library()
    _checked("VantixExt_ImportSettings", lib.VantixExt_ImportSettings(os.fsencode(file)),
             f"from {os.fspath(file)!r}")


def delete_key(key: str) -> bool:
    """Removes a stored key with its subkeys so that defaults apply next time;
    False when it was not stored."""
    lib = load_library()
    return _checked("VantixExt_DeleteSettingsKey", lib.VantixExt_DeleteSettingsKey(_key(key)),
                    f"key {key!r}") == 1
