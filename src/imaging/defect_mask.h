#pragma once
// Defect mask: the four full-sensor reference images (a dark and a bright
// frame at 8 and at 16 bits per sample), the mask file that stores them, the
// defect maps derived from them, and the flat-field correction they drive.
//
// Everything here works on CDibImage buffers handed in by the caller and keeps
// no state; the session owns the buffers and the locks around them.
#include <cstddef>
#include <cstdint>

#include "imaging/cpu_dispatch.h"
#include "catalog/library_model.h"
#include "imaging/dib_image.h"

namespace vantix {

// The references are always full-sensor images: of the library's sensor
// unless a session drives another model.
inline constexpr int32_t kMaskWidth = kLibrarySensorWidth;
inline constexpr int32_t kMaskHeight = kLibrarySensorHeight;
struct MaskSize {
    int32_t width = kMaskWidth;
    int32_t height = kMaskHeight;
};

// Mask file layout (little-endian): a 16-byte magic, width, height and the
// byte sizes of the four planes as uint32, then the planes dark8, bright8,
// dark16, bright16, each as its buffer's rows in memory order.
inline constexpr char kMaskFileMagic[16] = "MORVEK MASK1000";
inline constexpr size_t kMaskFileHeaderBytes = 40;
inline constexpr uint32_t kMaskPlane8Bytes = uint32_t{kMaskWidth} * kMaskHeight;
inline constexpr uint32_t kMaskPlane16Bytes = 2 * kMaskPlane8Bytes;
inline constexpr size_t kMaskFileBytes =
    kMaskFileHeaderBytes + 2 * size_t{kMaskPlane8Bytes} + 2 * size_t{kMaskPlane16Bytes};
static_assert(kMaskFileBytes == 63947944);

// The four references, in file order.
struct MaskReferences {
    CDibImage dark8;
    CDibImage bright8;
    CDibImage dark16;
    CDibImage bright16;
};

// Reads a mask file into `out`. The header must carry the magic and exactly
// the full-sensor width, height and plane sizes of `size`, and all four planes must be
// present in full; bytes after the last plane are ignored. The planes are read
// into images of this function's own, so `out` is replaced only when the whole
// file was read and is left exactly as it was on any failure (missing file,
// rejected header, short file, read error). Returns true on success.
bool ReadMaskFile(const char* path, MaskReferences* out, MaskSize size = {});

// Writes the four references as a mask file. The width and height in the
// header are those of dark8 and each plane size is its buffer's stride x
// height. Refuses (false, nothing written) references that are not images of
// dark8's size at their depth with unpadded rows, since such a file could not be read back, and a
// `path` that exists but is not a regular file (a device, a FIFO, a socket or
// a folder; a symbolic link counts as what it points at), which is left as it is.
// The data go to a temporary file beside `path`, which is flushed to disk and
// then renamed over `path`: a failed save (no space, I/O error) leaves any
// existing file at `path` as it was and no temporary behind. Returns true only
// when every byte was written and the file is in place.
bool WriteMaskFile(const char* path, const CDibImage& dark8, const CDibImage& bright8, const CDibImage& dark16,
                   const CDibImage& bright16);

// Which reference a defect map is built from.
enum class DefectSource {
    kDark,    // hot samples: dark sample > 192 (8 bits) or > 12288 (16 bits)
    kBright,  // dead samples: bright sample < 64 (8 bits) or < 4096 (16 bits)
};

// Rebuilds a defect map from a reference of the same depth (8 or 16 bits):
// for every sample at least two samples away from each edge the map gets 1
// when the reference sample is defective and 0 otherwise. The two-sample
// border of the map is not written. Works on the area both images share.
// Returns false, leaving the map alone, when either image is empty or the
// depths differ or are not 8 or 16.
bool BuildDefectMap(const CDibImage& reference, CDibImage* map, DefectSource source);

// The capture window a raw frame came from: its origin on the sensor, its size
// on the sensor, and the sub-sampling divisor (1, 2, 4 or 8) that shrank it
// into the raw image.
struct FlatFieldWindow {
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t width = kMaskWidth;
    int32_t height = kMaskHeight;
    int32_t divisor = 1;
};

// Flat-field correction of a raw frame, in place. `dark` and `bright` are the
// references of the raw frame's depth (slots dark8/bright8 for an 8-bit raw
// image, dark16/bright16 for a 16-bit one).
//
// The image covers the window's width and height divided by the divisor; a
// margin of two samples is left alone when the window spans the full sensor
// width or height. Raw sample (x, y), in memory order, is corrected with the
// reference samples D (dark) and B (bright) at (x + originX, y + originY):
//    8 bits: if B != D, v = clamp(((v - D) * 256) / (B - D), 0, 255)
//   16 bits: if B > D,  v = clamp(((v - D) * 65536) / (B - D), 0, 65535), 64-bit
// with the quotient truncated toward zero; otherwise v stays. The initial
// references (dark 0, bright full scale) leave every sample as it was.
//
// Samples whose reference position falls outside the references, or which lie
// outside the raw image, are left alone. Returns false without touching the
// image when the depths differ, are not 8 or 16, an image is empty, or the
// divisor is not positive.
bool FlatFieldCorrection(CDibImage* raw, const CDibImage& dark, const CDibImage& bright,
                         const FlatFieldWindow& window);
// The same on the raw memory rows [rowBegin, rowEnd) only, with the kernels
// of a level (every level gives the same samples); each sample's correction
// depends on that sample alone, so row bands may run at once.
bool FlatFieldCorrection(CDibImage* raw, const CDibImage& dark, const CDibImage& bright, const FlatFieldWindow& window,
                         int32_t rowBegin, int32_t rowEnd, KernelLevel level);

}  // namespace vantix
