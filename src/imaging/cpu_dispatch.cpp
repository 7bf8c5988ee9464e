#include "imaging/cpu_dispatch.h"

#include <cstdlib>
#include <cstring>

namespace vantix {

bool CpuHasAvx2() {
#if VANTIX_HAVE_AVX2_KERNELS
    // __builtin_cpu_supports consults the CPUID bits and, for AVX, whether
    // the operating system saves the wide registers.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

bool CpuHasAvx512() {
#if VANTIX_HAVE_AVX2_KERNELS
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("avx512f") != 0 &&
               __builtin_cpu_supports("avx512bw") != 0 && __builtin_cpu_supports("avx512vl") != 0 &&
               __builtin_cpu_supports("avx512vbmi") != 0;
    }();
    return has;
#else
    return false;
#endif
}

KernelLevel SupportedLevel(KernelLevel wanted) {
    if (wanted >= KernelLevel::kAvx512 && CpuHasAvx512()) {
        return KernelLevel::kAvx512;
    }
    if (wanted >= KernelLevel::kAvx2 && CpuHasAvx2()) {
        return KernelLevel::kAvx2;
    }
    return KernelLevel::kBaseline;
}

KernelLevel ActiveKernelLevel() {
    static const KernelLevel level = [] {
        const char* forced = std::getenv("VANTIX_KERNELS");
        if (forced != nullptr && std::strcmp(forced, "baseline") == 0) {
            return KernelLevel::kBaseline;
        }
        if (forced != nullptr && std::strcmp(forced, "avx2") == 0) {
            return SupportedLevel(KernelLevel::kAvx2);
        }
        return SupportedLevel(KernelLevel::kAvx512);
    }();
    return level;
}

}  // namespace vantix
