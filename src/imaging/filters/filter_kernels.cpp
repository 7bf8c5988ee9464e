#include "imaging/filters/filter_kernels.h"

namespace vantix::filter_detail {

const FilterKernels& FilterKernelsFor(KernelLevel level) {
    static const FilterKernels baseline{ToneRow8Baseline, ToneRow16Baseline, HueRowBaseline, SharpenRow8Baseline,
                                        SharpenRow16Baseline};
#if VANTIX_HAVE_AVX2_KERNELS
    // The 8-bit table lookup has no AVX2 variant: without byte permutes
    // across a register the scalar loop is as fast.
    static const FilterKernels avx2{ToneRow8Baseline, ToneRow16Avx2, HueRowAvx2, SharpenRow8Avx2,
                                    SharpenRow16Avx2};
    static const FilterKernels avx512{ToneRow8Avx512, ToneRow16Avx512, HueRowAvx512, SharpenRow8Avx512,
                                      SharpenRow16Avx512};
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
