#include "imaging/dib_image.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace vantix {

namespace {

// Blocks at least this large are mapped straight from the kernel. Anonymous
// mappings are zero-filled on first touch, so a buffer that is never written
// (most of a session's frame buffers) stays out of the resident set. calloc
// would do the same only while glibc happens to serve the request by mmap; its
// adaptive threshold moves up after large frees, and a block recycled from the
// heap is cleared with memset, touching every page.
constexpr size_t kMapThreshold = 256 * 1024;

bool IsSupportedDepth(int32_t bitsPerPixel) {
    switch (bitsPerPixel) {
    case 8:
    case 16:
    case 24:
    case 32:
    case 48:
    case 64:
        return true;
    default:
        return false;
    }
}

// A rectangle in 64-bit coordinates, so that offsets added to caller-supplied
// int32 edges cannot overflow.
struct Box {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;

    int64_t Width() const { return right - left; }
    int64_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool MissesImage(int64_t width, int64_t height) const {
        return right <= 0 || bottom <= 0 || left >= width || top >= height;
    }
    Box ClippedTo(int64_t width, int64_t height) const {
        return {std::max<int64_t>(left, 0), std::max<int64_t>(top, 0), std::min(right, width),
                std::min(bottom, height)};
    }
};

struct Transfer {
    Box source;       // clipped, picture coordinates of the source image
    Box destination;  // same size, picture coordinates of the destination image
};

// Places the source rectangle s0 at (dstX, dstY) of the destination and clips
// the pair to both images. The destination is clipped first and the source
// rectangle moved with it; then every edge the source loses to its own image
// is taken off the destination as well, so the two rectangles stay the same
// size and pixel (i, j) of one always lands on pixel (i, j) of the other.
// False when nothing is left.
bool ClipTransfer(const Box& s0, int64_t dstX, int64_t dstY, int64_t srcWidth, int64_t srcHeight,
                  int64_t dstWidth, int64_t dstHeight, Transfer& out) {
    if (s0.IsEmpty()) {
        return false;
    }
    const Box d{dstX, dstY, dstX + s0.Width(), dstY + s0.Height()};
    if (d.MissesImage(dstWidth, dstHeight)) {
        return false;
    }
    const Box dc = d.ClippedTo(dstWidth, dstHeight);
    const Box s{s0.left + (dc.left - d.left), s0.top + (dc.top - d.top),
                s0.left + (dc.left - d.left) + dc.Width(), s0.top + (dc.top - d.top) + dc.Height()};
    if (s.MissesImage(srcWidth, srcHeight)) {
        return false;
    }
    const Box sc = s.ClippedTo(srcWidth, srcHeight);
    // All four edges follow the source: a source cut at the bottom moves the
    // destination's bottom edge, which fixes where the first memory row lands.
    const Box df{dc.left + (sc.left - s.left), dc.top + (sc.top - s.top), dc.right + (sc.right - s.right),
                 dc.bottom + (sc.bottom - s.bottom)};
    if (df.IsEmpty() || sc.IsEmpty() || df.MissesImage(dstWidth, dstHeight)) {
        return false;
    }
    out = {sc, df};
    return true;
}

Box WholeOr(const Rect* rect, int32_t width, int32_t height) {
    if (rect == nullptr) {
        return {0, 0, width, height};
    }
    return {rect->left, rect->top, rect->right, rect->bottom};
}

bool IsGrayRamp(const RgbQuad* table) {
    for (int i = 0; i < kColorTableEntries; ++i) {
        const RgbQuad& q = table[i];
        if (q.blue != i || q.green != i || q.red != i) {
            return false;
        }
    }
    return true;
}

// Gray index v becomes (v, v, v). Four pixels at a time take one 32-bit load
// and three 32-bit stores instead of twelve byte stores (little-endian: the
// low byte of each word is the first in memory).
void ExpandGrayRow(uint8_t* __restrict dst, const uint8_t* __restrict src, int64_t count) {
    int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
        uint32_t quad;
        std::memcpy(&quad, src + i, sizeof(quad));
        const uint32_t a = quad & 0xFFu;
        const uint32_t b = (quad >> 8) & 0xFFu;
        const uint32_t c = (quad >> 16) & 0xFFu;
        const uint32_t d = quad >> 24;
        const uint32_t words[3] = {a * 0x010101u | b << 24, b * 0x0101u | c * 0x01010000u, c | d * 0x01010100u};
        std::memcpy(dst + 3 * i, words, sizeof(words));
    }
    for (; i < count; ++i) {
        const uint8_t v = src[i];
        dst[3 * i] = v;
        dst[3 * i + 1] = v;
        dst[3 * i + 2] = v;
    }
}

void ExpandIndexedRow(uint8_t* __restrict dst, const uint8_t* __restrict src, int64_t count,
                      const RgbQuad* __restrict table) {
    for (int64_t i = 0; i < count; ++i) {
        const RgbQuad q = table[src[i]];
        dst[3 * i] = q.blue;
        dst[3 * i + 1] = q.green;
        dst[3 * i + 2] = q.red;
    }
}

}  // namespace

CDibImage::CDibImage() {
    ResetHeader();
    std::memset(deviceColors_, 0, sizeof(deviceColors_));
}

CDibImage::~CDibImage() {
    Release();
}

CDibImage::CDibImage(CDibImage&& other) noexcept : CDibImage() {
    Adopt(other);
}

CDibImage& CDibImage::operator=(CDibImage&& other) noexcept {
    if (this != &other) {
        Release();
        Adopt(other);
    }
    return *this;
}

void CDibImage::Adopt(CDibImage& other) noexcept {
    header_ = other.header_;
    std::memcpy(deviceColors_, other.deviceColors_, sizeof(deviceColors_));
    bits_ = other.bits_;
    bitsMapped_ = other.bitsMapped_;
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    bitsPerPixel_ = other.bitsPerPixel_;
    // Leave other constructed-empty without freeing what it handed over.
    other.bits_ = nullptr;
    other.Release();
}

void CDibImage::ResetHeader() {
    std::memset(&header_, 0, sizeof(header_));
    header_.header.biSize = sizeof(BitmapInfoHeader);
}

int64_t CDibImage::StrideFor(int32_t width, int32_t bitsPerPixel) {
    if (width < 0 || bitsPerPixel < 0) {
        return -1;
    }
    const int64_t stride = (int64_t{width} * (bitsPerPixel / 8) + 3) & ~int64_t{3};
    return stride <= std::numeric_limits<int32_t>::max() ? stride : -1;
}

int CDibImage::Create(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (width <= 0 || height <= 0 || !IsSupportedDepth(bitsPerPixel)) {
        return 0;
    }
    const int64_t stride = StrideFor(width, bitsPerPixel);
    if (stride <= 0 || static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > kMaxImageBytes) {
        return 0;
    }

    Release();
    width_ = width;
    height_ = height;
    stride_ = static_cast<int32_t>(stride);
    bitsPerPixel_ = static_cast<uint16_t>(bitsPerPixel);
    BitmapInfoHeader& h = header_.header;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(bitsPerPixel);
    if (bitsPerPixel == 8) {
        SetPalette(kPaletteGrayRamp, nullptr, 0, kColorTableEntries);
    }
    if (!AllocatePixels()) {
        Release();
        return 0;
    }
    return 1;
}

int CDibImage::CopyFormat(const CDibImage* other) {
    if (other == nullptr || other->width_ <= 0 || other->height_ <= 0 || other->bitsPerPixel_ == 0) {
        return 0;
    }
    // Take copies first: other may be this object, which Release clears.
    const BitmapInfo header = other->header_;
    RgbQuad deviceColors[kColorTableEntries];
    std::memcpy(deviceColors, other->deviceColors_, sizeof(deviceColors));
    const int32_t width = other->width_;
    const int32_t height = other->height_;
    const int32_t stride = other->stride_;
    const uint16_t bitsPerPixel = other->bitsPerPixel_;

    Release();
    header_ = header;
    std::memcpy(deviceColors_, deviceColors, sizeof(deviceColors_));
    width_ = width;
    height_ = height;
    stride_ = stride;
    bitsPerPixel_ = bitsPerPixel;
    if (!AllocatePixels()) {
        Release();
        return 0;
    }
    return 1;
}

bool CDibImage::AllocatePixels() {
    const size_t bytes = ImageBytes();
    if (bytes >= kMapThreshold) {
        void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED) {
            return false;
        }
        bits_ = static_cast<uint8_t*>(block);
        bitsMapped_ = true;
    } else {
        bits_ = static_cast<uint8_t*>(std::calloc(bytes, 1));
        bitsMapped_ = false;
    }
    return bits_ != nullptr;
}

void CDibImage::Release() {
    if (bits_ != nullptr) {
        if (bitsMapped_) {
            munmap(bits_, ImageBytes());
        } else {
            std::free(bits_);
        }
    }
    bits_ = nullptr;
    bitsMapped_ = false;
    width_ = 0;
    height_ = 0;
    stride_ = 0;
    bitsPerPixel_ = 0;
    ResetHeader();
    std::memset(deviceColors_, 0, sizeof(deviceColors_));
}

int CDibImage::SetPalette(int mode, const RgbQuad* entries, int start, int count) {
    if (mode == kPaletteGrayRamp) {
        for (int i = 0; i < kColorTableEntries; ++i) {
            const auto v = static_cast<uint8_t>(i);
            header_.colors[i] = RgbQuad{v, v, v, 0};
        }
    } else if (mode == kPaletteDevice && entries != nullptr && count > 0) {
        // Entry k of the caller's array belongs at index start + k; keep only
        // the part that lands inside the table.
        const int64_t first = std::max<int64_t>(start, 0);
        const int64_t end = std::min<int64_t>(int64_t{start} + count, kColorTableEntries);
        for (int64_t index = first; index < end; ++index) {
            deviceColors_[index] = entries[index - start];
        }
    }
    return 1;
}

uint8_t* CDibImage::Row(int32_t memoryRow) {
    if (bits_ == nullptr || memoryRow < 0 || memoryRow >= height_) {
        return nullptr;
    }
    return bits_ + static_cast<size_t>(memoryRow) * static_cast<size_t>(stride_);
}

const uint8_t* CDibImage::Row(int32_t memoryRow) const {
    return const_cast<CDibImage*>(this)->Row(memoryRow);
}

void CDibImage::BlitFrom(const CDibImage& source, const Rect* sourceRect, int32_t x, int32_t y) {
    if (IsEmpty() || source.IsEmpty()) {
        return;
    }
    const uint16_t from = source.bitsPerPixel_;
    const uint16_t to = bitsPerPixel_;
    const bool sameDepth = from == to && (to == 8 || to == 24);
    const bool expand = from == 8 && to == 24;
    if (!sameDepth && !expand) {
        return;
    }
    Transfer t{};
    if (!ClipTransfer(WholeOr(sourceRect, source.width_, source.height_), x, y, source.width_, source.height_,
                      width_, height_, t)) {
        return;
    }

    const int64_t columns = t.source.Width();
    const int64_t rows = t.source.Height();
    // Picture row r is memory row height - 1 - r in both images.
    const auto srcRowAt = [&](int64_t i) {
        return source.bits_ + (source.height_ - 1 - (t.source.top + i)) * int64_t{source.stride_} +
               t.source.left * (from / 8);
    };
    const auto dstRowAt = [&](int64_t i) {
        return bits_ + (height_ - 1 - (t.destination.top + i)) * int64_t{stride_} + t.destination.left * (to / 8);
    };

    if (sameDepth) {
        const size_t rowBytes = static_cast<size_t>(columns) * (to / 8);
        // A copy within one image may overlap: walk the rows so that no source
        // row is overwritten before it is read. Row i = 0 is the highest in
        // memory, so a destination above its source in memory goes from i = 0.
        if (dstRowAt(0) > srcRowAt(0)) {
            for (int64_t i = 0; i < rows; ++i) {
                std::memmove(dstRowAt(i), srcRowAt(i), rowBytes);
            }
        } else {
            for (int64_t i = rows - 1; i >= 0; --i) {
                std::memmove(dstRowAt(i), srcRowAt(i), rowBytes);
            }
        }
        return;
    }

    // 8 -> 24 bits: the source's colour table gives each index its colour.
    // Images of this SDK carry the gray ramp, for which the lookup reduces to
    // copying the byte into all three channels.
    const RgbQuad* table = source.header_.colors;
    const bool gray = IsGrayRamp(table);
    for (int64_t i = 0; i < rows; ++i) {
        if (gray) {
            ExpandGrayRow(dstRowAt(i), srcRowAt(i), columns);
        } else {
            ExpandIndexedRow(dstRowAt(i), srcRowAt(i), columns, table);
        }
    }
}

int CDibImage::Apply(PixelRoutine routine, const CDibImage* source, const Rect* sourceRect, int32_t dstX,
                     int32_t dstY, void* param1, void* param2) {
    if (routine == nullptr) {
        return 0;
    }
    // The routine may write through src when the source is this image, so the
    // source's pixels are handed out writable.
    CDibImage* src = source != nullptr ? const_cast<CDibImage*>(source) : this;
    if (IsEmpty() || src->IsEmpty()) {
        return 0;
    }
    Transfer t{};
    if (!ClipTransfer(WholeOr(sourceRect, src->width_, src->height_), dstX, dstY, src->width_, src->height_,
                      width_, height_, t)) {
        return 0;
    }
    // Hand over both positions in memory order (bottom-up rows). Every value
    // lies within the image sizes, so the narrowing is exact.
    const Rect memoryRect{static_cast<int32_t>(t.source.left), static_cast<int32_t>(src->height_ - t.source.bottom),
                          static_cast<int32_t>(t.source.right), static_cast<int32_t>(src->height_ - t.source.top)};
    const auto memoryX = static_cast<int32_t>(t.destination.left);
    const auto memoryY = static_cast<int32_t>(height_ - t.destination.bottom);
    return routine(bits_, src->bits_, &memoryRect, memoryX, memoryY, BytesPerPixel(), src->BytesPerPixel(), stride_,
                   src->stride_, param1, param2);
}

int CDibImage::ApplyStretched(StretchRoutine routine, const CDibImage* source, const Rect* sourceRect,
                              const Rect* destRect, void* param1, void* param2) {
    if (routine == nullptr) {
        return 0;
    }
    CDibImage* src = source != nullptr ? const_cast<CDibImage*>(source) : this;
    if (IsEmpty() || src->IsEmpty()) {
        return 0;
    }
    const Rect wholeSource{0, 0, src->width_, src->height_};
    const Rect wholeDestination{0, 0, width_, height_};
    return routine(bits_, src->bits_, destRect != nullptr ? destRect : &wholeDestination,
                   sourceRect != nullptr ? sourceRect : &wholeSource, width_, height_, src->width_, src->height_,
                   BytesPerPixel(), src->BytesPerPixel(), stride_, src->stride_, param1, param2);
}

}  // namespace vantix
