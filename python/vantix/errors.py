"""Exceptions: one class per SDK error code, each carrying the code and its
meaning (the texts of the user guide's error table)."""
from __future__ import annotations

from typing import Dict, Optional, Sequence, Tuple, Type

EXPLANATIONS: Dict[int, str] = {
    1: "No camera engine, wrong acquisition state, or nothing to save",
    2: "The camera is not attached or cannot be opened",
    3: "A worker thread could not be started",
    4: "No preview window can be made, or no stored capture size matches",
    5: "Out of memory, buffer too small, or no image",
    6: "The camera refused the request",
    7: "The capture window does not fit the sensor",
    8: "A frame could not be taken",
    9: "An argument is out of range or NULL",
    11: "Not supported by this camera or not available in this build",
    12: "A file or string could not be handled",
    13: "The camera stopped delivering frames",
    14: "Mask file error",
}


def explain(code: int) -> str:
    """The meaning of an SDK error code."""
    return EXPLANATIONS.get(code, f"unknown error code {code}")


class VantixError(Exception):
    """A failed SDK call.

    `code` is the SDK's error code (the cause, when the call recorded more
    than one), `codes` every code the call recorded, oldest first,
    `explanation` the code's meaning and `function` the C function."""

    def __init__(self, function: str, code: Optional[int], codes: Sequence[int] = (), detail: str = ""):
        self.function = function
        self.code = code
        self.codes: Tuple[int, ...] = tuple(codes) if codes else ((code,) if code is not None else ())
        self.explanation = explain(code) if code is not None else "the call failed without an error code"
        self.detail = detail
        text = f"{function} failed"
        if code is not None:
            text += f": SDK error {code} ({self.explanation})"
            later = [c for c in self.codes[1:]]
            if later:
                text += ", then " + ", ".join(f"{c} ({explain(c)})" for c in later)
        else:
            text += f": {self.explanation}"
        if detail:
            text += f"; {detail}"
        super().__init__(text)


class WrongStateError(VantixError):
    """Code 1: no camera engine, wrong acquisition state, nothing to save, or a serial-ROM failure."""


class CameraNotFoundError(VantixError):
    """Code 2: the camera is not attached or cannot be opened."""


class ThreadError(VantixError):
    """Code 3: a worker thread could not be started."""


class PreviewWindowError(VantixError):
    """Code 4: no preview window can be made, or no stored capture size matches."""


class ImageMemoryError(VantixError):
    """Code 5: out of memory, buffer too small, or no image yet."""


class CameraRefusedError(VantixError):
    """Code 6: the camera refused a register access or setting."""


class CaptureWindowError(VantixError, ValueError):
    """Code 7: the capture window does not fit the sensor."""


class FrameError(VantixError):
    """Code 8: a frame could not be taken."""


class FrameTimeoutError(FrameError, TimeoutError):
    """No frame arrived within the time given to Camera.stream (code 8)."""


class ArgumentError(VantixError, ValueError):
    """Code 9: an argument is out of range or NULL."""


class NotSupportedError(VantixError):
    """Code 11: not supported by this camera or not available in this build."""


class FileError(VantixError):
    """Code 12: a file or string could not be handled."""


class CameraLostError(VantixError):
    """Code 13: the camera stopped delivering frames (unplugged or failed)."""


class MaskFileError(VantixError):
    """Code 14: a mask file could not be read or written."""


class SettingsError(VantixError):
    """A settings-store call failed; `code` is its negative result."""

    TEXTS = {
        -1: "NULL or empty name, invalid key name, or negative size",
        -2: "the key is not stored",
        -3: "the file is missing, not a regular file, or unreadable",
        -4: "not a whole settings file of the SDK's keys",
        -5: "could not be written; nothing was changed",
    }

    def __init__(self, function: str, code: int, detail: str = ""):
        super().__init__(function, None, (), detail)
        self.code = code
        self.codes = (code,)
        self.explanation = self.TEXTS.get(code, f"unknown result {code}")
        self.args = (f"{function} failed: {self.explanation}" + (f"; {detail}" if detail else ""),)


CLASSES: Dict[int, Type[VantixError]] = {
    1: WrongStateError,
    2: CameraNotFoundError,
    3: ThreadError,
    4: PreviewWindowError,
    5: ImageMemoryError,
    6: CameraRefusedError,
    7: CaptureWindowError,
    8: FrameError,
    9: ArgumentError,
    11: NotSupportedError,
    12: FileError,
    13: CameraLostError,
    14: MaskFileError,
}


def error_for(function: str, codes: Sequence[int], detail: str = "") -> VantixError:
    """The exception for a failed call that recorded `codes` (oldest first):
    its class follows the first code, the cause."""
    codes = [c for c in codes if c != 0]
    if not codes:
        return VantixError(function, None, (), detail)
    cls = CLASSES.get(codes[0], VantixError)
    return cls(function, codes[0], codes, detail)
