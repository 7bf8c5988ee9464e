#pragma once
// CDibImage: the one image container of the SDK. Every buffer - raw sensor
// frames, converted RGB frames, preview and file images - keeps the layout of a
// Windows device-independent bitmap: a BITMAPINFO block (40-byte header plus a
// full 256-entry colour table) and a block of bottom-up rows, each padded to a
// multiple of 4 bytes. The first row in memory is the bottom row of the
// picture. Keeping that layout on Linux lets the header be written to BMP files
// as it is and lets pixel routines use the same row arithmetic everywhere.
//
// Pixel formats by depth:
//    8: one byte, an index into the colour table (a gray ramp)
//   16: uint16 gray
//   24: B, G, R
//   32: B, G, R, 0
//   48: uint16 B, G, R
//   64: uint16 B, G, R, 0
#include <bit>
#include <cstddef>
#include <cstdint>

namespace vantix {

// The header and colour table are stored exactly as they appear in a BMP file,
// which is little-endian; the SDK only runs on little-endian hosts.
static_assert(std::endian::native == std::endian::little, "DIB headers are stored little-endian");

#pragma pack(push, 1)
struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;  // positive: rows are stored bottom-up
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct RgbQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};

inline constexpr int kColorTableEntries = 256;

struct BitmapInfo {
    BitmapInfoHeader header;
    RgbQuad colors[kColorTableEntries];
};
#pragma pack(pop)

static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(offsetof(BitmapInfoHeader, biWidth) == 4);
static_assert(offsetof(BitmapInfoHeader, biBitCount) == 14);
static_assert(offsetof(BitmapInfoHeader, biSizeImage) == 20);
static_assert(offsetof(BitmapInfoHeader, biClrImportant) == 36);
static_assert(sizeof(RgbQuad) == 4);
static_assert(sizeof(BitmapInfo) == 40 + 1024);
static_assert(offsetof(BitmapInfo, colors) == 40);

// A rectangle; right and bottom are exclusive.
struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// A routine run by CDibImage::Apply over a clipped rectangle. srcRect is in
// memory order (row 0 is the first row in memory, i.e. the bottom row of the
// picture; top < bottom), (dstX, dstY) is the matching destination pixel in
// memory order, and row r of either image starts at bits + r * stride.
// src is handed out writable so that a routine applied with the destination as
// its own source can use either pointer; a routine must not write through src
// when the two images differ. Returns the routine's own result.
using PixelRoutine = int (*)(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                             uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                             int32_t srcStride, void* param1, void* param2);

// A routine run by CDibImage::ApplyStretched. Both rectangles are in picture
// order (top-down) and unclipped; the routine checks them against the image
// sizes it is given.
using StretchRoutine = int (*)(uint8_t* dst, uint8_t* src, const Rect* dstRect, const Rect* srcRect,
                               int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight,
                               uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                               int32_t srcStride, void* param1, void* param2);

// SetPalette modes.
inline constexpr int kPaletteGrayRamp = 0;  // header colour table := gray ramp
inline constexpr int kPaletteDevice = 2;    // caller entries -> device colour table

// Largest pixel block Create accepts. Well above any sensor at 64 bits per
// pixel, and small enough that every byte offset into the block, and every
// row * stride product a routine computes, fits in an int32.
inline constexpr size_t kMaxImageBytes = size_t{1} << 30;

class CDibImage {
public:
    CDibImage();
    ~CDibImage();
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;
    CDibImage(CDibImage&& other) noexcept;
    CDibImage& operator=(CDibImage&& other) noexcept;

    // Allocates a zeroed width x height image of the given depth (8, 16, 24,
    // 32, 48 or 64). Returns 1, or 0 - leaving the object as it was - for a
    // non-positive size, another depth, or a block over kMaxImageBytes. If the
    // memory cannot be had the object is released and 0 returned. Large blocks
    // are mapped lazily: pages cost no memory until first written.
    int Create(int32_t width, int32_t height, int32_t bitsPerPixel);
    // Takes the header, colour tables and geometry of other and allocates a
    // zeroed pixel block of that format; the pixels are not copied. Returns 0,
    // leaving this object as it was, when other is null or holds no image.
    int CopyFormat(const CDibImage* other);
    // Frees the pixels and returns to the freshly constructed state.
    void Release();

    // kPaletteGrayRamp: writes entry i = (i, i, i, 0) into the header's table.
    // kPaletteDevice: copies count entries into the device colour table from
    // index start, dropping whatever falls outside 0..255; null entries is
    // ignored. Other modes do nothing. Always returns 1.
    int SetPalette(int mode, const RgbQuad* entries, int start, int count);

    // Copies sourceRect of source (picture coordinates; null: all of it) to
    // (x, y) of this image, clipped to both. Depths 8 -> 8, 24 -> 24 and
    // 8 -> 24 (expanded through the source's colour table) are converted;
    // other pairs leave this image untouched. source may be this image.
    void BlitFrom(const CDibImage& source, const Rect* sourceRect, int32_t x, int32_t y);

    // Runs routine over sourceRect of source (picture coordinates; null: all
    // of it) placed at (dstX, dstY) of this image, after clipping both to their
    // images. A null source means this image. Returns the routine's result, or
    // 0 without calling it when routine is null, either image is empty or
    // nothing is left after clipping.
    int Apply(PixelRoutine routine, const CDibImage* source, const Rect* sourceRect, int32_t dstX, int32_t dstY,
              void* param1, void* param2);
    // Runs routine with both rectangles as given (picture coordinates; null:
    // the whole image) and no clipping. A null source means this image.
    // Returns the routine's result, or 0 when routine is null or either image
    // is empty.
    int ApplyStretched(StretchRoutine routine, const CDibImage* source, const Rect* sourceRect,
                       const Rect* destRect, void* param1, void* param2);

    uint8_t* Bits() { return bits_; }
    const uint8_t* Bits() const { return bits_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t Stride() const { return stride_; }
    uint16_t BitsPerPixel() const { return bitsPerPixel_; }
    uint16_t BytesPerPixel() const { return static_cast<uint16_t>(bitsPerPixel_ / 8); }
    // The BITMAPINFO block: header and colour table, as written to a BMP file.
    const BitmapInfo& Header() const { return header_; }
    const RgbQuad* DeviceColorTable() const { return deviceColors_; }
    size_t ImageBytes() const { return static_cast<size_t>(height_) * static_cast<size_t>(stride_); }
    // Start of a row in memory order (0: the bottom row of the picture), or
    // null when the row does not exist.
    uint8_t* Row(int32_t memoryRow);
    const uint8_t* Row(int32_t memoryRow) const;
    bool IsEmpty() const { return bits_ == nullptr; }

    // Bytes per row for a width and depth, padded to a multiple of 4, or -1
    // when it does not fit in an int32.
    static int64_t StrideFor(int32_t width, int32_t bitsPerPixel);

private:
    void Adopt(CDibImage& other) noexcept;
    // Allocates a zeroed block of ImageBytes(); false on failure.
    bool AllocatePixels();
    void ResetHeader();

    BitmapInfo header_;
    RgbQuad deviceColors_[kColorTableEntries];
    uint8_t* bits_ = nullptr;
    bool bitsMapped_ = false;  // bits_ came from mmap rather than calloc
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t stride_ = 0;
    uint16_t bitsPerPixel_ = 0;
};

}  // namespace vantix
