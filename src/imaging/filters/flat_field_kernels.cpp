// Row kernels of the flat-field correction (see imaging/defect_mask.h): each
// sample v with dark reference D and bright reference B becomes
//    8 bits: if B != D, clamp(trunc((v - D) * 256 / (B - D)), 0, 255)
//   16 bits: if B > D,  clamp(trunc((v - D) * 65536 / (B - D)), 0, 65535)
// and otherwise stays.
//
// The portable kernels divide integers, one sample at a time. The vector
// kernels divide in floating point, which the compiler vectorises, and give
// the same quotients: for 8-bit samples |(v - D) * 256| <= 65280 and
// 1 <= |B - D| <= 255, so a quotient that is not a whole number lies at
// least 1/255 from the nearest one, while single precision rounds it by at
// most 2^-9 (half a unit in the last place below 65536): truncating the
// rounded quotient gives the exact one. For 16-bit samples the numerator is
// below 2^32 and the divisor at most 65535; in double precision the rounding
// (at most 2^-21) stays far below the distance 1/65535.
#include <algorithm>

#include "imaging/filters/filter_kernels.h"

namespace vantix::filter_detail {

namespace {

// Written without branches or floating-point selects (which the compiler
// keeps as branches, for the floating-point exceptions) so that it vectorises.
VANTIX_KERNEL_INLINE void FlatFieldRow8Float(uint8_t* __restrict row, const uint8_t* __restrict dark,
                                             const uint8_t* __restrict bright, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t d = dark[i];
        const int32_t range = bright[i] - d;
        const int32_t v = row[i];
        const int32_t divisor = range | static_cast<int32_t>(range == 0);
        const float quotient = static_cast<float>((v - d) * 256) / static_cast<float>(divisor);
        const int32_t corrected = std::min(std::max(static_cast<int32_t>(quotient), 0), 255);
        const int32_t keep = -static_cast<int32_t>(range == 0);
        row[i] = static_cast<uint8_t>((v & keep) | (corrected & ~keep));
    }
}

VANTIX_KERNEL_INLINE void FlatFieldRow16Double(uint16_t* __restrict row, const uint16_t* __restrict dark,
                                               const uint16_t* __restrict bright, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t d = dark[i];
        const int32_t range = bright[i] - d;
        const int32_t v = row[i];
        const double quotient =
            static_cast<double>(v - d) * 65536.0 / static_cast<double>(range > 0 ? range : 1);
        const double clamped = std::min(std::max(quotient, 0.0), 65535.0);
        row[i] = static_cast<uint16_t>(range > 0 ? static_cast<int32_t>(clamped) : v);
    }
}

}  // namespace

void FlatFieldRow8Baseline(uint8_t* row, const uint8_t* dark, const uint8_t* bright, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t d = dark[i];
        const int32_t b = bright[i];
        if (b == d) continue;
        // Signed division truncates toward zero; a bright reference below
        // the dark one gives a negative divisor, as it should.
        const int32_t v = ((int32_t{row[i]} - d) * 256) / (b - d);
        row[i] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
}

void FlatFieldRow16Baseline(uint16_t* row, const uint16_t* dark, const uint16_t* bright, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const int64_t d = dark[i];
        const int64_t b = bright[i];
        if (b <= d) continue;
        // (v - D) * 65536 needs more than 32 bits.
        const int64_t v = ((int64_t{row[i]} - d) * 65536) / (b - d);
        row[i] = static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 65535));
    }
}

#if VANTIX_HAVE_AVX2_KERNELS
VANTIX_KERNEL_AVX2 void FlatFieldRow8Avx2(uint8_t* row, const uint8_t* dark, const uint8_t* bright, int32_t count) {
    FlatFieldRow8Float(row, dark, bright, count);
}
VANTIX_KERNEL_AVX2 void FlatFieldRow16Avx2(uint16_t* row, const uint16_t* dark, const uint16_t* bright,
                                           int32_t count) {
    FlatFieldRow16Double(row, dark, bright, count);
}
VANTIX_KERNEL_AVX512 void FlatFieldRow8Avx512(uint8_t* row, const uint8_t* dark, const uint8_t* bright,
                                              int32_t count) {
    FlatFieldRow8Float(row, dark, bright, count);
}
VANTIX_KERNEL_AVX512 void FlatFieldRow16Avx512(uint16_t* row, const uint16_t* dark, const uint16_t* bright,
                                               int32_t count) {
    FlatFieldRow16Double(row, dark, bright, count);
}
#endif

}  // namespace vantix::filter_detail
