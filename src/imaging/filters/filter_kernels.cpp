#include "imaging/filters/filter_kernels.h"

namespace vantix::filter_detail {

const FilterKernels& FilterKernelsFor(KernelLevel level) {
    static const FilterKernels baseline{ToneRow8Baseline,       ToneRow16Baseline,     ToneRowHigh16Baseline,
                                        HueRowBaseline,
                                        SharpenRow8Baseline,    SharpenRow16Baseline,  FlatFieldRow8Baseline,
                                        FlatFieldRow16Baseline, NearestUnmarked8Baseline, NearestUnmarked16Baseline,
                                        HotPixelScreen8Baseline};
#if VANTIX_HAVE_AVX2_KERNELS
    // The 8-bit table lookup has no AVX2 variant: without byte permutes
    // across a register the scalar loop is as fast. The 16-bit lookup is
    // scalar at every level.
    // The dot filter's nearest-sample search has no AVX2 variant: it needs
    // byte and word permutes across a register.
    static const FilterKernels avx2{ToneRow8Baseline,         ToneRow16PerPixel,        ToneRowHigh16Baseline,
                                    HueRowAvx2,
                                    SharpenRow8Avx2,          SharpenRow16Avx2,         FlatFieldRow8Avx2,
                                    FlatFieldRow16Avx2,       NearestUnmarked8Baseline, NearestUnmarked16Baseline,
                                    HotPixelScreen8Avx2};
    static const FilterKernels avx512{ToneRow8Avx512,      ToneRow16PerPixel,   ToneRowHigh16Avx512,
                                      HueRowAvx512,
                                      SharpenRow8Avx512,   SharpenRow16Avx512,  FlatFieldRow8Avx512,
                                      FlatFieldRow16Avx512, NearestUnmarked8Avx512, NearestUnmarked16Avx512,
                                      HotPixelScreen8Avx512};
    switch (SupportedLevel(level)) {
    case KernelLevel::kAvx512: return avx512;
    case KernelLevel::kAvx2: return avx2;
    case KernelLevel::kBaseline: break;
    }
#else
    (void)level;
#endif
    return baseline;
}

}  // namespace vantix::filter_detail
