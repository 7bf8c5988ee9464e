"""Frames of a running callback preview as numpy arrays.

The SDK announces each converted frame with a VANTIX_MSG_FRAME message on a
pollable window. The preview runs without a client buffer (which the SDK
would overwrite at any time); each frame is copied out with Vantix_GetImage,
which holds the SDK's image lock, into memory that belongs to the array
handed out. A frame message that arrives while a copy is made may announce
the frame just copied, so it is not copied again: when the consumer is
slower than the camera, frames are skipped, never repeated or torn."""
from __future__ import annotations

import ctypes
import sys
import time
from dataclasses import dataclass
from typing import Iterator, List, Optional

import numpy as np

from ._declarations import VANTIX_MSG_FRAME, FrameInfoRecord, Message
from ._images import ImageLayout, layout_for
from ._session import Session, drain
from .errors import CameraLostError, FrameTimeoutError, error_for

_LOST = 13


@dataclass(frozen=True)
class Frame:
    """One streamed frame.

    array: the image (see Camera.snap for shape, dtype and channel order),
        owned by this frame: the SDK never writes into it.
    counter: frames the SDK announced in this stream up to this one (1 for
        the first); a gap to the previous frame's counter is `skipped`.
    skipped: frames announced since the previous frame but not delivered
        (the consumer was slower than the camera); counter - previous counter - 1.
    lost: frames the SDK reported as failed (code 8) since the previous frame.
    rate_fps: the SDK's frame rate, measured about once a second (0.0 at
        first).
    timestamp: time.monotonic() when the frame was copied."""
    array: np.ndarray
    width: int
    height: int
    bits_per_pixel: int
    counter: int
    skipped: int
    lost: int
    rate_fps: float
    timestamp: float

    def __array__(self, dtype=None, copy=None):
        return self.array if dtype is None else self.array.astype(dtype)


class _BufferPool:
    """Image buffers for the SDK to copy into, reused once nothing but the
    pool refers to them (the user dropped the frame and every view of it),
    so that steady streaming does not touch fresh memory for every frame."""

    def __init__(self, layout: ImageLayout, keep: int = 3):
        self.layout = layout
        self.keep = keep
        self.buffers: List[np.ndarray] = []

    def take(self) -> np.ndarray:
        for i in range(len(self.buffers)):
            # 2: the pool's list and getrefcount's own argument.
            if sys.getrefcount(self.buffers[i]) == 2:
                return self.buffers[i]
        buffer = self.layout.allocate()
        if len(self.buffers) < self.keep:
            self.buffers.append(buffer)
        return buffer


class _Announcements:
    """What the frame messages taken so far said."""

    def __init__(self, lib: ctypes.CDLL):
        self.lib = lib
        self.frames = 0
        self.lost = 0
        self.record = 0  # address of the newest frame information record

    def take(self, messages: List[Message]) -> None:
        for message in messages:
            if message.message != VANTIX_MSG_FRAME:
                continue
            if message.wParam:
                self.frames += 1
                self.record = message.wParam
            elif message.lParam == _LOST:
                raise CameraLostError("Vantix_CallBackPreview", _LOST,
                                      detail="the preview ended after the camera was lost")
            else:
                self.lost += 1


def frames(session: Session, window: int, count: Optional[int], timeout_s: float) -> Iterator[Frame]:
    """Runs a callback preview on `window` and yields `count` frames (None:
    until the consumer stops). Stops the preview when done, on an error, or
    when the generator is closed."""
    lib = session.lib
    timeout_ms = max(0, int(timeout_s * 1000))
    drain(lib, window)
    session.call("Vantix_CallBackPreview", window, None, 0, 1)
    try:
        heard = _Announcements(lib)
        pool: Optional[_BufferPool] = None
        delivered = 0
        lost_before = 0
        last_counter = 0
        message = Message()
        while count is None or delivered < count:
            if lib.VantixExt_GetMessage(window, ctypes.byref(message), timeout_ms) != 1:
                raise FrameTimeoutError("Vantix_CallBackPreview", 8,
                                        detail=f"no frame arrived within {timeout_s:g} s")
            heard.take([message])
            heard.take(drain(lib, window))
            if heard.record == 0:
                continue  # only lost-frame reports so far
            record = FrameInfoRecord.from_address(heard.record)
            width, height, bits, rate = record.width, record.height, record.bitsPerPixel, record.rateTenths
            counter = heard.frames
            layout = layout_for(width, height, bits)
            if pool is None or pool.layout != layout:
                pool = _BufferPool(layout)
            buffer = pool.take()
            session.call("Vantix_GetImage", buffer.ctypes.data, layout.nbytes, 1)
            stamp = time.monotonic()
            # Announced while the copy was made: maybe the frame just copied.
            heard.take(drain(lib, window))
            frame = Frame(layout.view(buffer), width, height, bits, counter, counter - last_counter - 1,
                          heard.lost - lost_before, rate / 10.0, stamp)
            del buffer  # the frame alone keeps it from being reused
            lost_before = heard.lost
            last_counter = counter
            delivered += 1
            yield frame
            del frame
    finally:
        if session.handle:
            with session.lock:
                session.codes()
                if session.lib.Vantix_StopPreview(session.handle) == 0:
                    stop_error = error_for("Vantix_StopPreview", session.codes())
                    if sys.exc_info()[0] is None:
                        raise stop_error
