#pragma once
// Run-time choice of the instruction set for the pixel kernels.
//
// The library is built for the x86-64 baseline so that it runs on any x86-64
// machine. The hot kernels also come in an AVX2 build of the same source (see
// VANTIX_KERNEL_AVX2 below); each kernel family picks its variant once, on
// first use, from what the processor reports. Every variant computes the same
// integer results bit for bit, so the choice only affects speed.
#include <cstdint>

namespace vantix {

enum class KernelLevel {
    kBaseline,  // portable code, SSE2 on x86-64
    kAvx2,      // x86-64 with AVX2
};

// True when the processor (and the operating system) support AVX2.
bool CpuHasAvx2();

// The level the kernels use: kAvx2 when the processor has it, kBaseline
// otherwise or when the environment variable VANTIX_KERNELS is "baseline"
// (read once, on first call).
KernelLevel ActiveKernelLevel();

}  // namespace vantix

// A function carrying VANTIX_KERNEL_AVX2 is compiled for AVX2 whatever the
// build flags are; it must only run when CpuHasAvx2() is true. Bodies shared
// between the variants are marked VANTIX_KERNEL_INLINE so that each variant
// gets its own inlined copy compiled for its own instruction set (a shared
// out-of-line copy would be compiled for one set only).
#if defined(__x86_64__) && defined(__GNUC__)
#define VANTIX_HAVE_AVX2_KERNELS 1
#define VANTIX_KERNEL_AVX2 __attribute__((target("avx2")))
#else
#define VANTIX_HAVE_AVX2_KERNELS 0
#define VANTIX_KERNEL_AVX2
#endif
#define VANTIX_KERNEL_INLINE inline __attribute__((always_inline))
