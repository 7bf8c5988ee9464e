"""The SDK's image layout as numpy arrays.

The SDK writes rows padded to a multiple of 4 bytes, the camera's first row
first (orientation flag 1). Gray modes (8, 16 bits per pixel) become H x W
arrays, colour modes H x W x 3 in the SDK's channel order B, G, R; in the
32- and 64-bit modes the fourth, unused sample of each pixel is stepped
over, so those arrays are not C-contiguous. 16, 48 and 64 bits per pixel
give uint16 samples, the others uint8."""
from __future__ import annotations

from typing import NamedTuple, Tuple

import numpy as np

# bits per pixel -> (sample type, samples stored per pixel, samples shown)
_MODES = {
    8: (np.uint8, 1, 1),
    16: (np.uint16, 1, 1),
    24: (np.uint8, 3, 3),
    32: (np.uint8, 4, 3),
    48: (np.uint16, 3, 3),
    64: (np.uint16, 4, 3),
}

BITS_PER_PIXEL = tuple(_MODES)


class ImageLayout(NamedTuple):
    """Where the pixels of one image lie in the SDK's copy of it."""
    width: int
    height: int
    bits_per_pixel: int

    @property
    def stride(self) -> int:
        """Bytes per row, padded to 4."""
        return (self.width * self.bits_per_pixel // 8 + 3) & ~3

    @property
    def nbytes(self) -> int:
        return self.stride * self.height

    @property
    def dtype(self) -> np.dtype:
        return np.dtype(_MODES[self.bits_per_pixel][0])

    @property
    def shape(self) -> Tuple[int, ...]:
        shown = _MODES[self.bits_per_pixel][2]
        return (self.height, self.width) if shown == 1 else (self.height, self.width, shown)

    def allocate(self) -> np.ndarray:
        """A buffer of nbytes for the SDK to copy an image into."""
        return np.empty(self.nbytes, dtype=np.uint8)

    def view(self, buffer: np.ndarray) -> np.ndarray:
        """The image inside a buffer from allocate(), without copying; the
        result keeps the buffer alive."""
        sample_type, stored, shown = _MODES[self.bits_per_pixel]
        item = np.dtype(sample_type).itemsize
        strides: Tuple[int, ...] = (self.stride, stored * item)
        if shown > 1:
            strides += (item,)
        return np.ndarray(self.shape, dtype=sample_type, buffer=buffer, strides=strides)


def layout_for(width: int, height: int, bits_per_pixel: int) -> ImageLayout:
    if bits_per_pixel not in _MODES:
        raise ValueError(f"no image layout for {bits_per_pixel} bits per pixel")
    return ImageLayout(width, height, bits_per_pixel)


def to_rgb(image: np.ndarray) -> np.ndarray:
    """A view of a colour image with the channels in R, G, B order."""
    if image.ndim != 3:
        raise ValueError("to_rgb needs an H x W x 3 colour image")
    return image[..., ::-1]
