"""One SDK session: its handle, the window that receives its error
notifications, and calls that raise on failure with the codes they posted."""
from __future__ import annotations

import ctypes
import threading
from typing import Any, Callable, List, Optional

from ._declarations import VANTIX_MSG_ERROR, Message
from ._library import load_library
from .errors import VantixError, WrongStateError, error_for


def drain(library: ctypes.CDLL, window: int) -> List[Message]:
    """Takes every message queued on a pollable window without waiting."""
    taken = []
    while True:
        message = Message()
        if library.VantixExt_GetMessage(window, ctypes.byref(message), 0) != 1:
            return taken
        taken.append(message)


class Session:
    """A Vantix_Initialize handle whose failures become exceptions.

    Every failure the SDK records is also posted to the notification window
    (and a few are only posted), so the codes of a call are the error
    messages queued between its start and its return. The lock keeps calls of
    several threads on one session from taking each other's codes."""

    def __init__(self, library_path: Optional[str] = None):
        self.lib = load_library(library_path)
        self.lock = threading.RLock()
        self.window = self.lib.VantixExt_CreatePollableWindow()
        if not self.window:
            raise VantixError("VantixExt_CreatePollableWindow", None, detail="no message window could be made")
        self.handle = self.lib.Vantix_Initialize(self.window)
        if self.handle == 0:
            self.lib.VantixExt_DestroyWindow(self.window)
            self.window = None
            raise VantixError("Vantix_Initialize", None, detail="no SDK session could be made")

    def codes(self) -> List[int]:
        """The error codes posted since the last call, oldest first (code 0,
        which a few calls record on success, left out)."""
        return [int(m.lParam) for m in drain(self.lib, self.window)
                if m.message == VANTIX_MSG_ERROR and m.lParam != 0]

    def _require_open(self, name: str) -> None:
        if self.handle == 0:
            raise WrongStateError(name, 1, detail="the camera is closed")

    def call(self, name: str, *args: Any, failed: Callable[[Any], bool] = lambda r: r == 0,
             detail: str = "") -> Any:
        """Calls `name`(handle, *args); raises when `failed`(result)."""
        with self.lock:
            self._require_open(name)
            self.codes()
            result = getattr(self.lib, name)(self.handle, *args)
            if failed(result):
                raise error_for(name, self.codes(), detail)
            return result

    def get(self, name: str, *args: Any, ok_preset: int = 0, detail: str = "") -> Any:
        """Calls a getter `name`(handle, *args, &ok); raises when ok is 0."""
        ok = ctypes.c_int32(ok_preset)
        with self.lock:
            self._require_open(name)
            self.codes()
            result = getattr(self.lib, name)(self.handle, *args, ctypes.byref(ok))
            if ok.value == 0:
                raise error_for(name, self.codes(), detail)
            return result


def release(library: ctypes.CDLL, handle: int, window: Optional[int], *other_windows: Optional[int]) -> None:
    """Destroys the windows that receive the session's messages, then
    releases the session, which saves its settings. Also the finalizer of a
    camera that was never closed, so it takes no object of its own."""
    for w in other_windows:
        if w:
            library.VantixExt_DestroyWindow(w)
    if handle:
        library.Vantix_Release(handle)
    if window:
        library.VantixExt_DestroyWindow(window)


def close(session: Session, *other_windows: Optional[int]) -> None:
    """Ends a session once: later calls on it raise WrongStateError. The
    finalizer of a camera, so it takes no lock (at exit another thread may
    hold one forever)."""
    handle, window = session.handle, session.window
    session.handle = 0
    session.window = None
    release(session.lib, handle, window, *other_windows)
