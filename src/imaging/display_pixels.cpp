#include "imaging/display_pixels.h"

#include <cstring>

#include "imaging/cpu_dispatch.h"

#if VANTIX_HAVE_AVX2_KERNELS
#include <immintrin.h>
#endif

namespace vantix {
namespace display_pixels_detail {
namespace {

// Four pixels from three little-endian words, then one pixel at a time.
VANTIX_KERNEL_INLINE void BgrTail(const uint8_t* in, uint32_t* out, int32_t x, int32_t width, uint32_t fill) {
    for (; x + 4 <= width; x += 4) {
        uint32_t w[3];
        std::memcpy(w, in + 3 * x, sizeof w);
        out[x] = fill | (w[0] & 0xFFFFFFu);
        out[x + 1] = fill | (w[0] >> 24) | ((w[1] & 0xFFFFu) << 8);
        out[x + 2] = fill | (w[1] >> 16) | ((w[2] & 0xFFu) << 16);
        out[x + 3] = fill | (w[2] >> 8);
    }
    for (; x < width; ++x) {
        out[x] = fill | (uint32_t{in[3 * x + 2]} << 16) | (uint32_t{in[3 * x + 1]} << 8) | in[3 * x];
    }
}

VANTIX_KERNEL_INLINE void GrayLoop(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    for (int32_t x = 0; x < width; ++x) out[x] = fill | (uint32_t{in[x]} * 0x010101u);
}

}  // namespace

void BgrToBgrxRowBaseline(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    static_assert(sizeof(uint32_t) == 4);
    BgrTail(in, out, 0, width, fill);
}

void GrayToBgrxRowBaseline(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    GrayLoop(in, out, width, fill);
}

#if VANTIX_HAVE_AVX2_KERNELS
VANTIX_KERNEL_AVX2 void BgrToBgrxRowAvx2(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    // Each 128-bit lane takes four pixels (12 bytes) and spreads them to four
    // words. A lane loads 16 bytes, so the last 4 bytes read must still lie
    // in the row: the vector loop stops while 3 * (x + 8) + 4 <= 3 * width.
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i fillWords = _mm256_set1_epi32(static_cast<int>(fill));
    int32_t x = 0;
    for (; 3 * (x + 8) + 4 <= 3 * width; x += 8) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x + 12));
        const __m256i bytes = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
        const __m256i words = _mm256_or_si256(_mm256_shuffle_epi8(bytes, spread), fillWords);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), words);
    }
    BgrTail(in, out, x, width, fill);
}

VANTIX_KERNEL_AVX2 void GrayToBgrxRowAvx2(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    GrayLoop(in, out, width, fill);
}
#else
void BgrToBgrxRowAvx2(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    BgrToBgrxRowBaseline(in, out, width, fill);
}
void GrayToBgrxRowAvx2(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    GrayToBgrxRowBaseline(in, out, width, fill);
}
#endif

}  // namespace display_pixels_detail

void BgrToBgrxRow(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    static const auto row = ActiveKernelLevel() >= KernelLevel::kAvx2 ? display_pixels_detail::BgrToBgrxRowAvx2
                                                                       : display_pixels_detail::BgrToBgrxRowBaseline;
    row(in, out, width, fill);
}

void GrayToBgrxRow(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill) {
    static const auto row = ActiveKernelLevel() >= KernelLevel::kAvx2 ? display_pixels_detail::GrayToBgrxRowAvx2
                                                                       : display_pixels_detail::GrayToBgrxRowBaseline;
    row(in, out, width, fill);
}

}  // namespace vantix
