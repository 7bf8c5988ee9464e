"""A camera session: settings as properties, pictures as numpy arrays."""
from __future__ import annotations

import ctypes
import os
import struct
import time
import weakref
from pathlib import Path
from typing import Iterator, Optional, Tuple, Union

import numpy as np

from ._declarations import CameraInfo, DeviceDetails
from ._images import BITS_PER_PIXEL, layout_for
from ._session import Session, close
from ._stream import Frame, frames
from .errors import CaptureWindowError, FileError, NotSupportedError, VantixError, WrongStateError

MODEL_ID = 0x3040
"""The model this library drives."""

PathLike = Union[str, "os.PathLike[str]"]

# Still formats of Vantix_SaveImage by file name extension.
_FORMATS = {".bmp": 0, ".raw": 1, ".png": 5, ".tif": 6, ".tiff": 6}
_JPEG = {"high": 2, "medium": 3, "low": 4}

# Filter ids of Vantix_SetFilterValue / Vantix_GetFilterValue.
FILTER_BRIGHTNESS = 1
FILTER_CONTRAST = 2
FILTER_HUE = 3
FILTER_SATURATION = 4
FILTER_SHARPNESS = 5
FILTER_GAMMA = 11
FILTER_BAYER_MODE = 12
FILTER_GRAY_MODE = 19
FILTER_BLACK_LEVEL = 106

_AVI_TOTAL_FRAMES_OFFSET = 48


def _filter_property(filter_id: int, doc: str) -> property:
    def getter(self: "Camera") -> int:
        return self.get_filter(filter_id)

    def setter(self: "Camera", value: int) -> None:
        self.set_filter(filter_id, value)

    return property(getter, setter, doc=doc)


def _name(path: PathLike) -> bytes:
    return os.fsencode(os.fspath(path))


class Camera:
    """An open camera; use it as a context manager, or call close().

    Camera(index=0, model=None): opens attached camera number `index` (the
    `index` of list_cameras()). `model` may be None or 0x3040, the one model
    this library drives; other models raise NotSupportedError until the SDK
    can select models. `library` is an explicit path of the shared library
    (see load_library).

    The camera's settings are saved when it is closed, also when the program
    ends with the camera still open. Every failing call raises a VantixError
    subclass with the SDK's code."""

    def __init__(self, index: int = 0, model: Optional[int] = None, library: Optional[str] = None):
        if model is not None and model != MODEL_ID:
            raise NotSupportedError("Camera", 11, detail=f"model 0x{model:04x}: this library drives model "
                                    f"0x{MODEL_ID:04x} only (model=None or 0x{MODEL_ID:04x})")
        self._session = Session(library)
        lib = self._session.lib
        self._frame_window = lib.VantixExt_CreatePollableWindow()
        self._stream: Optional["weakref.ref"] = None
        self._finalizer = weakref.finalize(self, close, self._session, self._frame_window)
        try:
            if not self._frame_window:
                raise VantixError("VantixExt_CreatePollableWindow", None, detail="no message window could be made")
            self._call("Vantix_SetDeviceNumber", index)
            # Frames are handed over in memory; no window of the SDK's own.
            self._call("Vantix_SetPreviewWindow", None, 0, 0, 0, 0)
            details = DeviceDetails()
            self._call("VantixExt_GetDeviceDetails", index, ctypes.byref(details))
        except BaseException:
            self.close()
            raise
        self.index = index
        self.model = int(details.productId)
        self.is_virtual = bool(details.isVirtual)
        self.device_path = details.path.decode(errors="replace")
        name = ctypes.create_string_buffer(256)
        self._call("Vantix_GetDeviceName", index, name, len(name))
        self.name = name.value.decode(errors="replace")

    # ---- life cycle ----------------------------------------------------

    def close(self) -> None:
        """Stops acquisition, saves the camera's settings and ends the session.
        Calling it again does nothing."""
        with self._session.lock:  # no call of another thread is still inside the SDK
            self._finalizer()

    @property
    def closed(self) -> bool:
        return not self._finalizer.alive

    def __enter__(self) -> "Camera":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __repr__(self) -> str:
        state = "closed" if self.closed else f"index {self.index}"
        return f"<vantix.Camera {getattr(self, 'name', '?')} ({state})>"

    def _call(self, name: str, *args, **kwargs):
        if self.closed:
            raise WrongStateError(name, 1, detail="the camera is closed")
        return self._session.call(name, *args, **kwargs)

    def _get(self, name: str, *args, **kwargs):
        if self.closed:
            raise WrongStateError(name, 1, detail="the camera is closed")
        return self._session.get(name, *args, **kwargs)

    @property
    def library(self) -> ctypes.CDLL:
        """The shared library with every C function declared, for calls
        this class does not wrap (pass `handle` first)."""
        return self._session.lib

    @property
    def handle(self) -> int:
        """The SDK session handle (0 once closed)."""
        return self._session.handle

    @property
    def settings_key(self) -> str:
        """The settings-store key of this camera's settings (see vantix.settings)."""
        return f"Camera_{self.index:02d}"

    # ---- camera information --------------------------------------------

    def _info(self) -> CameraInfo:
        info = CameraInfo()
        info.size = ctypes.sizeof(CameraInfo)
        self._call("Vantix_GetCameraInfo", ctypes.byref(info))
        return info

    @property
    def sensor_size(self) -> Tuple[int, int]:
        """(width, height) of the sensor array in pixels."""
        info = self._info()
        return info.totalWidth, info.totalHeight

    @property
    def exposure_range_s(self) -> Tuple[float, float]:
        """(shortest, longest) exposure in seconds."""
        info = self._info()
        if info.exposureSecondsMax > 0:
            return info.exposureSecondsMin, info.exposureSecondsMax
        return info.exposureMin / 1e4, info.exposureMax / 1e4  # units of 0.1 ms

    @property
    def gain_range(self) -> Tuple[int, int]:
        """(lowest, highest) global gain."""
        info = self._info()
        return info.gainMin, info.gainMax

    @property
    def color_gain_range(self) -> Tuple[int, int]:
        """(lowest, highest) colour gain."""
        info = self._info()
        return info.colorGainMin, info.colorGainMax

    @property
    def temperature_c(self) -> float:
        """Sensor temperature in degrees Celsius."""
        return float(self._get("Vantix_GetTemperatureEx"))

    # ---- image format and geometry ----------------------------------------

    def _capture_window(self) -> Tuple[int, ...]:
        values = [ctypes.c_int32() for _ in range(6)]
        self._call("Vantix_GetCaptureWindowEx", *[ctypes.byref(v) for v in values])
        return tuple(v.value for v in values)

    @property
    def roi(self) -> Tuple[int, int, int, int]:
        """Capture window (x, y, width, height) in sensor pixels. A window
        set while streaming applies from the next stream. A window that does
        not fit the sensor raises CaptureWindowError and leaves the previous
        one in place."""
        _, x, width, _, y, height = self._capture_window()
        return x, y, width, height

    @roi.setter
    def roi(self, window: Tuple[int, int, int, int]) -> None:
        x, y, width, height = (int(v) for v in window)
        total_width, total_height = self.sensor_size
        previous = self._capture_window()
        try:
            self._call("Vantix_SetCaptureWindowEx", total_width, x, width, total_height, y, height)
        except CaptureWindowError:
            # The SDK keeps a refused window until the next capture fails.
            self._call("Vantix_SetCaptureWindowEx", *previous)
            raise

    @property
    def color_mode(self) -> int:
        """Bits per pixel of the pictures: 8 or 16 (gray), 24, 32, 48 or 64 (colour)."""
        return int(self._call("Vantix_GetColorMode", failed=lambda r: r < 0))

    @color_mode.setter
    def color_mode(self, bits_per_pixel: int) -> None:
        self._call("Vantix_SetColorMode", int(bits_per_pixel))

    @property
    def subsample(self) -> int:
        """Sub-sampling: 0 none, 1 half, 2 quarter size."""
        return int(self._call("Vantix_GetSubSample", failed=lambda r: r < 0))

    @subsample.setter
    def subsample(self, mode: int) -> None:
        self._call("Vantix_SetSubSample", int(mode))

    @property
    def wait_time_ms(self) -> int:
        """Pause of the SDK's preview worker before each frame, in milliseconds."""
        return int(self._call("Vantix_GetWaitTime", failed=lambda r: r < 0))

    @wait_time_ms.setter
    def wait_time_ms(self, milliseconds: int) -> None:
        self._call("Vantix_SetWaitTime", int(milliseconds))

    @property
    def mirror(self) -> Tuple[bool, bool]:
        """(horizontal, vertical) mirroring in the camera."""
        return (bool(self._call("Vantix_GetMirrorH", failed=lambda r: False)),
                bool(self._call("Vantix_GetMirrorV", failed=lambda r: False)))

    @mirror.setter
    def mirror(self, flags: Tuple[bool, bool]) -> None:
        horizontal, vertical = flags
        self._call("Vantix_SetMirrorH", 1 if horizontal else 0)
        self._call("Vantix_SetMirrorV", 1 if vertical else 0)

    @property
    def image_shape(self) -> Tuple[int, ...]:
        """Shape of the arrays snap() and stream() return with the current settings."""
        return self._layout().shape

    def _layout(self):
        shift = {0: 0, 1: 1, 2: 2}.get(self.subsample, 0)
        width = int(self._call("Vantix_Width", failed=lambda r: False)) >> shift
        height = int(self._call("Vantix_Height", failed=lambda r: False)) >> shift
        return layout_for(width, height, self.color_mode)

    # ---- exposure and gains -------------------------------------------------

    @property
    def exposure_s(self) -> float:
        """Exposure time in seconds (within exposure_range_s). Cameras that
        take no exposure in seconds get it in microseconds, applied in steps
        of 0.1 ms."""
        try:
            return float(self._get("Vantix_GetExposureTimeEx"))
        except NotSupportedError:
            return int(self._get("Vantix_GetRealExposureTime")) / 1e6

    @exposure_s.setter
    def exposure_s(self, seconds: float) -> None:
        try:
            self._call("Vantix_SetExposureTimeEx", float(seconds))
        except NotSupportedError:
            self._call("Vantix_SetRealExposureTime", int(round(float(seconds) * 1e6)))

    @property
    def gain(self) -> int:
        """Global gain, within gain_range."""
        return int(self._get("Vantix_GetGlobalGain"))

    @gain.setter
    def gain(self, value: int) -> None:
        self._call("Vantix_SetGlobalGain", int(value))

    _COLOR_GAINS = ("Red", "Green1", "Green2", "Blue")

    @property
    def color_gains(self) -> Tuple[int, int, int, int]:
        """Colour gains in the camera (red, green1, green2, blue), within color_gain_range."""
        r, g1, g2, b = (int(self._get(f"Vantix_GetColorGain{c}")) for c in self._COLOR_GAINS)
        return r, g1, g2, b

    @color_gains.setter
    def color_gains(self, gains: Tuple[int, int, int, int]) -> None:
        values = tuple(int(v) for v in gains)
        if len(values) != 4:
            raise ValueError("color_gains takes four values: red, green1, green2, blue")
        for channel, value in zip(self._COLOR_GAINS, values):
            self._call(f"Vantix_SetColorGain{channel}", value)

    _BAYER_GAINS = ("Red", "Green", "Blue")

    @property
    def white_balance(self) -> Tuple[int, int, int]:
        """Software white balance of the colour conversion (red, green, blue), 0..400 each."""
        r, g, b = (int(self._get(f"Vantix_GetBayerGain{c}")) for c in self._BAYER_GAINS)
        return r, g, b

    @white_balance.setter
    def white_balance(self, gains: Tuple[int, int, int]) -> None:
        values = tuple(int(v) for v in gains)
        if len(values) != 3:
            raise ValueError("white_balance takes three values: red, green, blue")
        for channel, value in zip(self._BAYER_GAINS, values):
            self._call(f"Vantix_SetBayerGain{channel}", value)

    # ---- filter values ---------------------------------------------------------

    def get_filter(self, filter_id: int) -> int:
        """A setting by its filter id (Vantix_GetFilterValue)."""
        return int(self._get("Vantix_GetFilterValue", int(filter_id)))

    def set_filter(self, filter_id: int, value: int) -> None:
        """Sets a setting by its filter id (Vantix_SetFilterValue)."""
        self._call("Vantix_SetFilterValue", int(filter_id), int(value))

    black_level = _filter_property(FILTER_BLACK_LEVEL, "Black level of the sensor (filter id 106).")
    brightness = _filter_property(FILTER_BRIGHTNESS, "Picture brightness, -255..255.")
    contrast = _filter_property(FILTER_CONTRAST, "Picture contrast, -127..127.")
    hue = _filter_property(FILTER_HUE, "Hue rotation in degrees, -360..360.")
    saturation = _filter_property(FILTER_SATURATION, "Saturation, -255..255.")
    sharpness = _filter_property(FILTER_SHARPNESS, "Sharpening, 0..30.")
    gamma = _filter_property(FILTER_GAMMA, "Gamma in hundredths, 0..200 (100: none).")
    bayer_mode = _filter_property(FILTER_BAYER_MODE, "Bayer pattern of the sensor, 0..3.")
    gray_mode = _filter_property(FILTER_GRAY_MODE, "Gray conversion mode, 0..2.")

    # ---- pictures ---------------------------------------------------------------

    def snap(self) -> np.ndarray:
        """Takes one picture and returns it as a new array.

        Gray modes (8, 16 bits per pixel): H x W. Colour modes: H x W x 3 with
        the channels in B, G, R order (vantix.to_rgb gives an R, G, B view);
        32 and 64 bits per pixel drop their unused fourth sample by striding,
        so those arrays are not C-contiguous. dtype uint8 for 8, 24, 32 bits
        per pixel, uint16 for 16, 48, 64. Row 0 is the camera's first row (the
        top of the picture). The picture also becomes the current image that
        save() writes."""
        layout = self._layout()
        buffer = layout.allocate()
        self._call("Vantix_SnapShot", buffer.ctypes.data, layout.nbytes, 1)
        return layout.view(buffer)

    def save(self, path: PathLike, quality: str = "high") -> None:
        """Saves the current image (the latest snap() or streamed frame) as a
        still file whose type follows the extension: .bmp, .raw (the image
        bytes), .jpg/.jpeg (`quality` "high", "medium" or "low"), .png,
        .tif/.tiff."""
        suffix = Path(path).suffix.lower()
        if suffix in (".jpg", ".jpeg"):
            if quality not in _JPEG:
                raise ValueError(f"JPEG quality is 'high', 'medium' or 'low', not {quality!r}")
            file_format = _JPEG[quality]
        elif suffix in _FORMATS:
            file_format = _FORMATS[suffix]
        else:
            raise ValueError(f"cannot tell the file type of {os.fspath(path)!r}: "
                             "use .bmp, .raw, .jpg, .jpeg, .png, .tif or .tiff")
        self._call("Vantix_SaveImage", _name(path), file_format)

    def record(self, path: PathLike, seconds: float) -> int:
        """Records an uncompressed AVI of about `seconds` and returns the
        number of frames in it. Blocks until the file is finished."""
        milliseconds = int(round(seconds * 1000))
        if milliseconds <= 0:
            raise ValueError("record needs a duration above 0 s")
        # The session's lock is held throughout: a write failure during the
        # recording is only posted (code 12), and another thread's call would
        # otherwise take that code for its own.
        with self._session.lock:
            self._call("Vantix_Record", _name(path), milliseconds, 0)
            # The recording's clock starts at its first frame; stopping the
            # preview finishes the file.
            time.sleep(milliseconds / 1000 + 0.5)
            posted = self._session.codes()
            self._call("Vantix_StopPreview")
            posted += self._session.codes()
        if 12 in posted:
            raise FileError("Vantix_Record", 12,
                            detail=f"writing {os.fspath(path)!r} failed during the recording (disk full or a size limit?)")
        try:
            with open(path, "rb") as avi:
                header = avi.read(_AVI_TOTAL_FRAMES_OFFSET + 4)
        except OSError as error:
            raise FileError("Vantix_Record", 12, detail=f"the recording cannot be read: {error}") from error
        if len(header) < _AVI_TOTAL_FRAMES_OFFSET + 4 or header[:4] != b"RIFF":
            raise FileError("Vantix_Record", 12, detail=f"{os.fspath(path)!r} is not a finished AVI file")
        return int(struct.unpack_from("<I", header, _AVI_TOTAL_FRAMES_OFFSET)[0])

    def stream(self, count: Optional[int] = None, timeout_s: float = 5.0) -> Iterator[Frame]:
        """Streams frames: `for frame in cam.stream(100): ...`.

        Yields `count` frames (None: until the loop ends), each a Frame with
        its own array (as snap() describes) and the frame information. The
        SDK writes each frame into a buffer of this package and is then
        handed another one, so a frame's array is never written again; a
        buffer is reused only after every reference to it was dropped. A
        consumer slower than the camera gets the newest frames and a gap in
        the counters (Frame.skipped). Raises FrameTimeoutError when no frame
        comes within `timeout_s`, CameraLostError when the camera is lost.
        Leaving the loop stops the preview. One stream at a time per camera;
        settings changed during a stream apply to its next frames, a new
        capture window or colour mode to the next stream."""
        if self.closed:
            raise WrongStateError("Vantix_CallBackPreview", 1, detail="the camera is closed")
        if count is not None and count < 0:
            raise ValueError("count must be None or at least 0")
        running = self._stream() if self._stream is not None else None
        if running is not None and running.gi_frame is not None:
            raise WrongStateError("Vantix_CallBackPreview", 1,
                                  detail="a stream of this camera is still open: end its loop or close() it first")
        stream = frames(self._session, self._frame_window, self._layout(), count, timeout_s)
        self._stream = weakref.ref(stream)
        return stream

    # ---- registers, FPGA, serial ROM, I/O port ------------------------------------

    def read_register(self, reg: int, extended: bool = False) -> int:
        """A sensor register: 8-bit number and 16-bit value, or all 32 bits
        of both with `extended`."""
        name = "Vantix_ReadRegisterEx" if extended else "Vantix_ReadRegister"
        return int(self._get(name, int(reg)))

    def write_register(self, reg: int, value: int, extended: bool = False) -> None:
        """Writes a sensor register (see read_register)."""
        name = "Vantix_WriteRegisterEx" if extended else "Vantix_WriteRegister"
        self._call(name, int(reg), int(value))

    def read_fpga(self, reg: int) -> int:
        """An FPGA register (8-bit number, 16-bit value)."""
        # This getter only clears ok on failure.
        return int(self._get("Vantix_Fpga_ReadRegister", int(reg), ok_preset=1))

    def write_fpga(self, reg: int, value: int) -> None:
        """Writes an FPGA register."""
        self._call("Vantix_Fpga_WriteRegister", int(reg), int(value))

    def read_rom(self, address: int) -> int:
        """One byte of the camera's serial ROM (address 0..0xFFF)."""
        return int(self._get("Vantix_ReadSromID", int(address)))

    def write_rom(self, address: int, value: int) -> None:
        """Writes one byte of the serial ROM and reads it back: the SDK
        reports a write as done when the first write was accepted."""
        self._call("Vantix_WriteSromID", int(address), int(value))
        stored = self.read_rom(address)
        if stored != int(value):
            raise WrongStateError("Vantix_WriteSromID", 1,
                                  detail=f"address 0x{address:03x} reads back 0x{stored:02x}, not 0x{value:02x}")

    @property
    def io_port(self) -> int:
        """The camera's general-purpose I/O port byte."""
        value = ctypes.c_uint8()
        self._call("Vantix_GetIOPort", ctypes.byref(value))
        return value.value

    @io_port.setter
    def io_port(self, value: int) -> None:
        if not 0 <= int(value) <= 0xFF:
            raise ValueError(f"the I/O port takes a byte, 0..255, not {value}")
        self._call("Vantix_SetIOPort", int(value))


__all__ = ["Camera", "Frame", "MODEL_ID", "BITS_PER_PIXEL"]
