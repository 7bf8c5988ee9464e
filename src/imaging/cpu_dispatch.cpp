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

KernelLevel ActiveKernelLevel() {
    static const KernelLevel level = [] {
        const char* forced = std::getenv("VANTIX_KERNELS");
        if (forced != nullptr && std::strcmp(forced, "baseline") == 0) {
            return KernelLevel::kBaseline;
        }
        return CpuHasAvx2() ? KernelLevel::kAvx2 : KernelLevel::kBaseline;
    }();
    return level;
}

}  // namespace vantix
