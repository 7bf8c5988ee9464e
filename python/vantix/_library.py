"""Finding and loading the SDK's shared library."""
from __future__ import annotations

import ctypes
import ctypes.util
import os
import threading
from pathlib import Path
from typing import List, Optional

from ._declarations import declare

LIBRARY_NAME = "libVantixSdk_Q720LX_USB3_K9.so"
SONAME = LIBRARY_NAME + ".1"

_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None


class LibraryNotFoundError(OSError):
    """The shared library could not be found or loaded."""


def _build_tree_candidates() -> List[Path]:
    # A package used from the source tree (python/vantix) finds the library
    # of the most recently built configuration in build/<preset>/src.
    source_root = Path(__file__).resolve().parent.parent.parent
    found = [p for p in source_root.glob("build/*/src/" + LIBRARY_NAME) if p.is_file()]
    return sorted(found, key=lambda p: p.stat().st_mtime, reverse=True)


def _prefix_candidates() -> List[Path]:
    # An installed package (<prefix>/lib/python3/dist-packages/vantix) finds
    # the library of the same prefix (<prefix>/lib) even without ldconfig.
    here = Path(__file__).resolve().parent
    return [parent / SONAME for parent in here.parents if (parent / SONAME).is_file()][:1]


def candidates(path: Optional[str] = None) -> List[str]:
    """The places tried, in order: `path`, $VANTIX_LIBRARY, the build tree,
    the installation prefix of this package, the system's library path."""
    if path:
        return [str(path)]
    if os.environ.get("VANTIX_LIBRARY"):
        return [os.environ["VANTIX_LIBRARY"]]
    found = [str(p) for p in _build_tree_candidates() + _prefix_candidates()]
    system = ctypes.util.find_library("VantixSdk_Q720LX_USB3_K9")
    found.append(system if system else SONAME)
    return found


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """Loads the library once per process and returns it with every function
    declared. An explicit `path` or $VANTIX_LIBRARY is the only place tried;
    otherwise the build tree, this package's installation prefix and the
    system's library path are tried in turn. Calling it again returns the
    library already loaded (a different `path` then raises)."""
    global _library
    with _lock:
        if _library is not None:
            if path and Path(path).resolve() != Path(_library._name).resolve():
                raise LibraryNotFoundError(f"the Vantix library is already loaded from {_library._name}")
            return _library
        errors = []
        for candidate in candidates(path):
            try:
                library = ctypes.CDLL(candidate)
            except OSError as error:
                errors.append(f"{candidate}: {error}")
                continue
            declare(library)
            _library = library
            return library
        raise LibraryNotFoundError(
            "the Vantix library was not found (set VANTIX_LIBRARY to the path of "
            f"{SONAME}); tried: " + "; ".join(errors))
