// The image filters on full-sensor frames (3856 x 2764), one filter run per
// iteration, for every pixel format each filter takes. Reported per pixel
// (the "per_pixel" column, in seconds) and as pixels per second; the
// Filters_BaselineMemcpy run copies a frame of the same depth for scale.
// Each picture filter runs twice: <Filter>_BaselinePortable with the
// portable kernels (the filters as they were before the vector kernels) and
// <Filter>_Kernels with those the library picks on this machine, so the
// ratio lines compare the two within one run.
//
// The frames hold a smooth colour scene with mild noise and sparse bright
// dots, restored before every run outside the timed region, so that the
// data-dependent filters (hue, hot pixels, dots) see the same picture each
// time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "imaging/cpu_dispatch.h"
#include "imaging/dib_image.h"
#include "imaging/filters/filters.h"

namespace {

using vantix::CDibImage;

constexpr int32_t kWidth = 3856;
constexpr int32_t kHeight = 2764;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

CDibImage SceneImage(int32_t bits) {
    CDibImage image;
    image.Create(kWidth, kHeight, bits);
    const int32_t sampleBytes = bits == 16 || bits == 48 || bits == 64 ? 2 : 1;
    const int32_t samples = bits / 8 / sampleBytes;
    std::minstd_rand rng(42);
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image.Row(y);
        for (int32_t x = 0; x < kWidth; ++x) {
            for (int32_t c = 0; c < samples; ++c) {
                int32_t v = (x * (c + 1) / 31 + y * (3 - c) / 23) % 200 + 20 + static_cast<int32_t>(rng() % 9);
                if (rng() % 4096 == 0) v = 255;
                const size_t at = (static_cast<size_t>(x) * samples + c) * sampleBytes;
                if (sampleBytes == 1) {
                    row[at] = static_cast<uint8_t>(v);
                } else {
                    // Gray frames as a 12-bit sensor delivers them, colour
                    // frames across the full 16-bit scale.
                    const auto wide = static_cast<uint16_t>(samples == 1 ? v * 16 : v * 257);
                    std::memcpy(row + at, &wide, 2);
                }
            }
        }
    }
    return image;
}

void Report(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kPixels);
    state.SetBytesProcessed(state.iterations() * kPixels);
    state.counters["per_pixel"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kPixels),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Runs filter(image) once per iteration on a fresh copy of `scene`.
template <typename Filter>
void RunOnImage(benchmark::State& state, const CDibImage& scene, Filter filter) {
    CDibImage image;
    image.CopyFormat(&scene);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(image.Bits(), scene.Bits(), scene.ImageBytes());
        state.ResumeTiming();
        benchmark::DoNotOptimize(filter(image));
        benchmark::ClobberMemory();
    }
    Report(state);
}

// Runs filter(image) once per iteration on a fresh copy of the scene.
template <typename Filter>
void RunOnScene(benchmark::State& state, Filter filter) {
    RunOnImage(state, SceneImage(static_cast<int32_t>(state.range(0))), filter);
}

void Filters_BaselineMemcpy(benchmark::State& state) {
    const CDibImage scene = SceneImage(static_cast<int32_t>(state.range(0)));
    CDibImage copy;
    copy.CopyFormat(&scene);
    for (auto _ : state) {
        std::memcpy(copy.Bits(), scene.Bits(), scene.ImageBytes());
        benchmark::ClobberMemory();
    }
    Report(state);
}

template <typename Filter>
void RunAtLevel(benchmark::State& state, vantix::KernelLevel level, Filter filter) {
    RunOnScene(state, [level, &filter](CDibImage& image) { return filter(image, level); });
}

// A picture filter at the portable level and at the machine's level.
#define VANTIX_FILTER_BENCH(Name, call)                                                                          \
    void Name##_BaselinePortable(benchmark::State& state) {                                                      \
        RunAtLevel(state, vantix::KernelLevel::kBaseline, [&](CDibImage& image, vantix::KernelLevel level) {   \
            return call;                                                                                         \
        });                                                                                                      \
    }                                                                                                            \
    void Name##_Kernels(benchmark::State& state) {                                                               \
        RunAtLevel(state, vantix::ActiveKernelLevel(), [&](CDibImage& image, vantix::KernelLevel level) {      \
            return call;                                                                                         \
        });                                                                                                      \
    }

VANTIX_FILTER_BENCH(Brightness, vantix::ApplyBrightness(image, 40, level))
VANTIX_FILTER_BENCH(Contrast, vantix::ApplyContrast(image, 30, level))
VANTIX_FILTER_BENCH(Gamma, vantix::ApplyGamma(image, 140, level))
VANTIX_FILTER_BENCH(HueSaturation, vantix::ApplyHueSaturation(image, 40, 60, level))

// Sharpness reads a scratch copy of the scene, made before the timing.
void RunSharpness(benchmark::State& state, vantix::KernelLevel level) {
    const CDibImage scratch = SceneImage(static_cast<int32_t>(state.range(0)));
    RunAtLevel(state, level, [&scratch](CDibImage& image, vantix::KernelLevel at) {
        return vantix::ApplySharpness(image, scratch, 12, at);
    });
}
void Sharpness_BaselinePortable(benchmark::State& state) { RunSharpness(state, vantix::KernelLevel::kBaseline); }
void Sharpness_Kernels(benchmark::State& state) { RunSharpness(state, vantix::ActiveKernelLevel()); }

void Filters_HotPixel(benchmark::State& state) {
    RunOnScene(state, [](CDibImage& image) { return vantix::ApplyHotPixelFilter(image, 3, 100, 100); });
}

// A raw Bayer mosaic of colour patches (8 or 16 bits per sample): a sample's
// four direct neighbours are of other colours, so in a coloured picture most
// samples differ from their mean by more than the dot threshold and are
// marked, as in the frames of a colour camera.
CDibImage MosaicImage(int32_t bits) {
    CDibImage image;
    image.Create(kWidth, kHeight, bits);
    std::minstd_rand rng(11);
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image.Row(y);
        for (int32_t x = 0; x < kWidth; ++x) {
            // Patches of 64 x 64 pixels with their own colour.
            const int32_t patch = (x / 64) * 7 + (y / 64) * 13;
            const int32_t rgb[3] = {40 + patch * 37 % 200, 40 + patch * 53 % 200, 40 + patch * 71 % 200};
            const int32_t site = (y & 1) * 2 + (x & 1);  // R G / G B
            const int32_t channel = site == 0 ? 0 : site == 3 ? 2 : 1;
            const int32_t v = rgb[channel] + static_cast<int32_t>(rng() % 9);
            if (bits == 8) {
                row[x] = static_cast<uint8_t>(v);
            } else {
                const auto wide = static_cast<uint16_t>(v * 16);
                std::memcpy(row + static_cast<size_t>(x) * 2, &wide, 2);
            }
        }
    }
    return image;
}

// Arguments: bits per sample, and 1 for the colour mosaic instead of the
// smooth scene.
void Filters_Dot(benchmark::State& state) {
    const auto bits = static_cast<int32_t>(state.range(0));
    const bool mosaic = state.range(1) != 0;
    CDibImage hotMap;
    CDibImage deadMap;
    CDibImage workMap;
    hotMap.Create(kWidth, kHeight, bits);
    deadMap.Create(kWidth, kHeight, bits);
    workMap.Create(kWidth, kHeight, bits);
    std::minstd_rand rng(7);
    for (int i = 0; i < 2000; ++i) {
        const auto x = static_cast<int32_t>(rng() % kWidth);
        const auto y = static_cast<int32_t>(rng() % kHeight);
        hotMap.Row(y)[static_cast<size_t>(x) * hotMap.BytesPerPixel()] = 1;
    }
    const auto filter = [&](CDibImage& image) { return vantix::ApplyDotFilter(image, hotMap, deadMap, workMap); };
    if (mosaic) {
        RunOnImage(state, MosaicImage(bits), filter);
    } else {
        RunOnScene(state, filter);
    }
}

}  // namespace

BENCHMARK(Filters_BaselineMemcpy)->Arg(8)->Arg(24)->Arg(48)->Unit(benchmark::kMillisecond)->UseRealTime();
#define VANTIX_FILTER_BENCH_DEPTHS(Name, ...)                                                              \
    BENCHMARK(Name##_BaselinePortable)__VA_ARGS__->Unit(benchmark::kMillisecond)->UseRealTime();           \
    BENCHMARK(Name##_Kernels)__VA_ARGS__->Unit(benchmark::kMillisecond)->UseRealTime();
#define VANTIX_EVERY_DEPTH ->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Arg(48)->Arg(64)
#define VANTIX_COLOUR_DEPTHS ->Arg(24)->Arg(32)->Arg(48)->Arg(64)
VANTIX_FILTER_BENCH_DEPTHS(Brightness, VANTIX_EVERY_DEPTH)
VANTIX_FILTER_BENCH_DEPTHS(Contrast, VANTIX_EVERY_DEPTH)
VANTIX_FILTER_BENCH_DEPTHS(Gamma, VANTIX_EVERY_DEPTH)
VANTIX_FILTER_BENCH_DEPTHS(HueSaturation, VANTIX_COLOUR_DEPTHS)
VANTIX_FILTER_BENCH_DEPTHS(Sharpness, VANTIX_EVERY_DEPTH)
BENCHMARK(Filters_HotPixel)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Filters_Dot)->Args({8, 0})->Args({16, 0})->Args({8, 1})->Args({16, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
