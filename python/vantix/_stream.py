"""Frames of a running callback preview as numpy arrays, handed over
without copying.

The SDK copies each converted frame into the client buffer of
Vantix_CallBackPreview and announces it with a VANTIX_MSG_FRAME message
whose record names that buffer. Swapping the client buffer (calling
Vantix_CallBackPreview again while the preview runs) takes the SDK's image
lock, so once the swap returns the SDK never writes into the previous
buffer again: that buffer, holding the newest frame the SDK announced for
it, becomes the array handed out. The buffers belong to this module and are
reused only when nothing but the pool refers to them any more.

A swap that meets the SDK converting a frame waits for that frame; a swap
while the SDK is between frames takes back an empty buffer and is tried
again a moment later or at the next frame message. So a consumer that keeps
up gets every frame, without waking up on time for each, and a slower one
gets the newest frames with gaps in the counters (Frame.skipped), never a
frame twice or torn."""
from __future__ import annotations

import ctypes
import sys
import time
from dataclasses import dataclass
from typing import Dict, Iterator, List, NamedTuple, Optional

import numpy as np

from ._declarations import VANTIX_MSG_FRAME, FrameInfoRecord, Message
from ._images import ImageLayout, layout_for
from ._session import Session, drain
from .errors import CameraLostError, FrameTimeoutError, error_for

_BUFFER_TOO_SMALL = 5
_LOST = 13
# How long to wait for a frame message before swapping again while the SDK
# is between frames: shorter than converting a large frame takes.
_POLL_MS = 2


@dataclass(frozen=True)
class Frame:
    """One streamed frame.

    array: the image (see Camera.snap for shape, dtype and channel order),
        owned by this frame: the SDK never writes into it.
    counter: frames the SDK announced in this stream up to this one (1 for
        the first).
    skipped: frames announced since the previous frame but not delivered
        (the consumer was slower than the camera): counter - previous counter - 1.
    lost: frames the SDK reported as failed (code 8) since the previous frame.
    rate_fps: the SDK's frame rate, measured about once a second (0.0 at
        first).
    timestamp: time.monotonic() when the frame was handed over."""
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
    """Client buffers, reused once nothing outside the pool refers to them
    (the user dropped the frame and every view of it), so that steady
    streaming does not fault in fresh memory for every frame."""

    def __init__(self, layout: ImageLayout, keep: int = 4):
        self.layout = layout
        self.keep = keep
        self.buffers: List[np.ndarray] = []

    def take(self, busy: Optional[np.ndarray]) -> np.ndarray:
        """A buffer nobody uses, other than `busy`."""
        for i in range(len(self.buffers)):
            # 2: the pool's list and getrefcount's own argument.
            if self.buffers[i] is not busy and sys.getrefcount(self.buffers[i]) == 2:
                return self.buffers[i]
        buffer = self.layout.allocate()
        if len(self.buffers) < self.keep:
            self.buffers.append(buffer)
        return buffer


class _Announced(NamedTuple):
    counter: int
    width: int
    height: int
    bits_per_pixel: int
    rate_tenths: int


class _Announcements:
    """What the frame messages taken so far said, by client buffer."""

    def __init__(self) -> None:
        self.frames = 0
        self.lost = 0
        self.too_small = False
        self.newest: Dict[int, _Announced] = {}

    def take(self, messages: List[Message]) -> None:
        for message in messages:
            if message.message != VANTIX_MSG_FRAME:
                continue
            if message.wParam:
                self.frames += 1
                # Read at once: the SDK reuses a record three frames later.
                record = FrameInfoRecord.from_address(message.wParam)
                self.newest[record.clientBuffer or 0] = _Announced(
                    self.frames, record.width, record.height, record.bitsPerPixel, record.rateTenths)
            elif message.lParam == _LOST:
                raise CameraLostError("Vantix_CallBackPreview", _LOST,
                                      detail="the preview ended after the camera was lost")
            else:
                self.lost += 1
                self.too_small = self.too_small or message.lParam == _BUFFER_TOO_SMALL


def frames(session: Session, window: int, layout: ImageLayout, count: Optional[int],
           timeout_s: float) -> Iterator[Frame]:
    """Runs a callback preview on `window` and yields `count` frames (None:
    until the consumer stops). Stops the preview when done, on an error, or
    when the generator is closed."""
    lib = session.lib
    pool = _BufferPool(layout)
    target = pool.take(None)
    heard = _Announcements()
    drain(lib, window)
    session.call("Vantix_CallBackPreview", window, target.ctypes.data, layout.nbytes, 1)
    try:
        delivered = lost_before = last_counter = 0
        message = Message()
        while count is None or delivered < count:
            deadline = time.monotonic() + timeout_s
            written: Optional[_Announced] = None
            while written is None:
                if heard.too_small:
                    # The frames outgrew the buffers (the colour mode changed).
                    raise error_for("Vantix_CallBackPreview", [_BUFFER_TOO_SMALL],
                                    "the frames no longer fit the stream's buffers; start a new stream")
                fresh = pool.take(target)
                session.call("Vantix_CallBackPreview", window, fresh.ctypes.data, layout.nbytes, 1)
                heard.take(drain(lib, window))
                written = heard.newest.pop(target.ctypes.data, None)
                taken, target = target, fresh
                del fresh
                if written is None:
                    # The SDK was between frames and wrote nothing into the
                    # buffer taken back. Swap again soon: a swap that meets
                    # the SDK converting a frame returns when it is written.
                    del taken
                    if time.monotonic() > deadline:
                        raise FrameTimeoutError("Vantix_CallBackPreview", 8,
                                                detail=f"no frame arrived within {timeout_s:g} s")
                    if lib.VantixExt_GetMessage(window, ctypes.byref(message), _POLL_MS) == 1:
                        heard.take([message])
                        heard.take(drain(lib, window))
            shown = layout_for(written.width, written.height, written.bits_per_pixel)
            frame = Frame(shown.view(taken), written.width, written.height, written.bits_per_pixel, written.counter,
                          written.counter - last_counter - 1, heard.lost - lost_before, written.rate_tenths / 10.0,
                          time.monotonic())
            del taken  # the frame alone keeps it from being reused
            lost_before = heard.lost
            last_counter = written.counter
            delivered += 1
            yield frame
            del frame
    finally:
        # Stopping joins the SDK's worker: no buffer of the pool is written
        # after this, and the pool may be freed.
        if session.handle:
            with session.lock:
                session.codes()
                if session.lib.Vantix_StopPreview(session.handle) == 0:
                    stop_error = error_for("Vantix_StopPreview", session.codes())
                    if sys.exc_info()[0] is None:
                        raise stop_error
