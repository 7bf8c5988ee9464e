// The frame is mirrored in place through one row of scratch memory: rows are
// swapped pairwise from both ends, reversed on the way when mirroring
// horizontally, and the middle row of an odd height is reversed on its own.
#include "imaging/mirror.h"

#include <cstring>
#include <vector>

namespace vantix {

namespace {

template <typename T>
VANTIX_KERNEL_INLINE void ReverseCopyBody(T* dst, const T* src, int32_t count) {
    const T* last = src + count - 1;
    for (int32_t i = 0; i < count; ++i) {
        dst[i] = last[-i];
    }
}

using ReverseCopy8 = void (*)(uint8_t*, const uint8_t*, int32_t);
using ReverseCopy16 = void (*)(uint16_t*, const uint16_t*, int32_t);

void ReverseCopy8Baseline(uint8_t* d, const uint8_t* s, int32_t n) { ReverseCopyBody(d, s, n); }
void ReverseCopy16Baseline(uint16_t* d, const uint16_t* s, int32_t n) { ReverseCopyBody(d, s, n); }
#if VANTIX_HAVE_AVX2_KERNELS
VANTIX_KERNEL_AVX2 void ReverseCopy8Avx2(uint8_t* d, const uint8_t* s, int32_t n) { ReverseCopyBody(d, s, n); }
VANTIX_KERNEL_AVX2 void ReverseCopy16Avx2(uint16_t* d, const uint16_t* s, int32_t n) { ReverseCopyBody(d, s, n); }
#endif

template <typename T, typename Kernel>
void Mirror(CDibImage& image, bool horizontal, bool vertical, Kernel reverseCopy) {
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const size_t rowBytes = static_cast<size_t>(width) * sizeof(T);
    std::vector<T> scratch(static_cast<size_t>(width));
    T* tmp = scratch.data();
    auto row = [&image](int32_t y) { return reinterpret_cast<T*>(image.Row(y)); };
    if (!vertical) {
        for (int32_t y = 0; y < height; ++y) {
            std::memcpy(tmp, row(y), rowBytes);
            reverseCopy(row(y), tmp, width);
        }
        return;
    }
    for (int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(tmp, row(top), rowBytes);
        if (horizontal) {
            reverseCopy(row(top), row(bottom), width);
            reverseCopy(row(bottom), tmp, width);
        } else {
            std::memcpy(row(top), row(bottom), rowBytes);
            std::memcpy(row(bottom), tmp, rowBytes);
        }
    }
    if (horizontal && (height & 1) != 0) {
        T* middle = row(height / 2);
        std::memcpy(tmp, middle, rowBytes);
        reverseCopy(middle, tmp, width);
    }
}

}  // namespace

int MirrorRaw(CDibImage& image, bool horizontal, bool vertical, KernelLevel level) {
    const int32_t sampleBytes = image.BytesPerPixel();
    if (image.IsEmpty() || (!horizontal && !vertical) || (sampleBytes != 1 && sampleBytes != 2)) {
        return 0;
    }
    bool avx2 = false;
#if VANTIX_HAVE_AVX2_KERNELS
    avx2 = level >= KernelLevel::kAvx2 && CpuHasAvx2();
#else
    (void)level;
#endif
    if (sampleBytes == 1) {
        ReverseCopy8 kernel = ReverseCopy8Baseline;
#if VANTIX_HAVE_AVX2_KERNELS
        if (avx2) kernel = ReverseCopy8Avx2;
#endif
        Mirror<uint8_t>(image, horizontal, vertical, kernel);
    } else {
        ReverseCopy16 kernel = ReverseCopy16Baseline;
#if VANTIX_HAVE_AVX2_KERNELS
        if (avx2) kernel = ReverseCopy16Avx2;
#endif
        Mirror<uint16_t>(image, horizontal, vertical, kernel);
    }
    (void)avx2;
    return 1;
}

int MirrorRaw(CDibImage& image, bool horizontal, bool vertical) {
    return MirrorRaw(image, horizontal, vertical, ActiveKernelLevel());
}

}  // namespace vantix
