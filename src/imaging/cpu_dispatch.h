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

// Ordered: each level includes the instructions of the ones before it, so a
// kernel family without a variant for a level uses the best one below it.
enum class KernelLevel {
    kBaseline,  // portable code, SSE2 on x86-64
    kAvx2,      // x86-64 with AVX2
    kAvx512,    // AVX-512 F, BW, VL and VBMI (byte permutes across a register)
};

// True when the processor (and the operating system) support AVX2.
bool CpuHasAvx2();
// True when the processor (and the operating system) support AVX-512 F, BW,
// VL and VBMI.
bool CpuHasAvx512();

// The level the kernels use: the highest the processor has, capped by the
// environment variable VANTIX_KERNELS when it is "baseline" or "avx2" (read
// once, on first call).
KernelLevel ActiveKernelLevel();

// The highest level at or below `wanted` that the processor has, for callers
// (tests, benchmarks) that ask for a level.
KernelLevel SupportedLevel(KernelLevel wanted);

}  // namespace vantix

// A function carrying VANTIX_KERNEL_AVX2 is compiled for AVX2 whatever the
// build flags are; it must only run when CpuHasAvx2() is true (likewise
// VANTIX_KERNEL_AVX512 and CpuHasAvx512()). Bodies shared
// between the variants are marked VANTIX_KERNEL_INLINE so that each variant
// gets its own inlined copy compiled for its own instruction set (a shared
// out-of-line copy would be compiled for one set only).
#if defined(__x86_64__) && defined(__GNUC__)
#define VANTIX_HAVE_AVX2_KERNELS 1
#define VANTIX_KERNEL_AVX2 __attribute__((target("avx2")))
#define VANTIX_KERNEL_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi")))
#else
#define VANTIX_HAVE_AVX2_KERNELS 0
#define VANTIX_KERNEL_AVX2
#define VANTIX_KERNEL_AVX512
#endif
#define VANTIX_KERNEL_INLINE inline __attribute__((always_inline))
