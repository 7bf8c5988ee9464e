// Raw conversion at the full sensor size (3856 x 2764), single thread:
//  - Demosaic of 8-bit samples into 24 bits and of 16-bit samples into 48
//    bits, with the kernels chosen at run time and with the portable ones,
//    against OpenCV's bilinear Bayer-to-BGR conversion of the same frame;
//  - FrameConverter::Convert with default settings in colour modes 0, 2 and
//    4 (hot-pixel filter, and the demosaic in modes 2 and 4), against the
//    OpenCV conversion of a frame of the same sample width;
//  - the hot-pixel filter alone.
// Every benchmark counts the raw frame's bytes, so the ratio lines printed
// after the run compare times directly (a ratio of 0.5 takes twice as long).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-enum-enum-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wpedantic"
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#pragma GCC diagnostic pop

#include "imaging/cpu_dispatch.h"
#include "imaging/demosaic.h"
#include "imaging/dib_image.h"
#include "imaging/filters/filters.h"
#include "imaging/frame_converter.h"
#include "platform/critical_section.h"

namespace {

constexpr int32_t kWidth = 3856;
constexpr int32_t kHeight = 2764;

// A Bayer frame of a smooth scene with sensor noise and a sprinkling of hot
// samples, so that the defect filter meets the cases it meets in practice.
void FillScene(vantix::CDibImage& raw) {
    std::mt19937 random(1234);
    std::normal_distribution<double> noise(0.0, 3.0);
    const bool wide = raw.BytesPerPixel() == 2;
    for (int32_t y = 0; y < raw.Height(); ++y) {
        uint8_t* row = raw.Row(y);
        for (int32_t x = 0; x < raw.Width(); ++x) {
            const double channel = ((x ^ y) & 1) != 0 ? 1.0 : ((y & 1) != 0 ? 0.7 : 0.5);
            double v = channel * (128.0 + 90.0 * std::sin(x / 210.0) * std::cos(y / 170.0)) + noise(random);
            if (random() % 5000 == 0) v = 250.0;
            v = std::clamp(v, 0.0, 255.0);
            if (wide) {
                const auto s = static_cast<uint16_t>(v * 256.0);
                std::memcpy(row + 2 * x, &s, 2);
            } else {
                row[x] = static_cast<uint8_t>(v);
            }
        }
    }
}

vantix::CDibImage& Raw(int32_t bits) {
    static vantix::CDibImage raw8;
    static vantix::CDibImage raw16;
    vantix::CDibImage& raw = bits == 8 ? raw8 : raw16;
    if (raw.IsEmpty()) {
        raw.Create(kWidth, kHeight, bits);
        FillScene(raw);
    }
    return raw;
}

int64_t FrameBytes(int32_t bits) { return int64_t{kWidth} * kHeight * (bits / 8); }

// OpenCV's bilinear demosaic of the same pixels (wrapped, not copied).
void RunOpenCv(benchmark::State& state, int32_t bits) {
    cv::setNumThreads(1);
    vantix::CDibImage& raw = Raw(bits);
    const cv::Mat source(kHeight, kWidth, bits == 8 ? CV_8UC1 : CV_16UC1, raw.Bits(),
                         static_cast<size_t>(raw.Stride()));
    cv::Mat out;
    cv::cvtColor(source, out, cv::COLOR_BayerGB2BGR);
    for (auto _ : state) {
        cv::cvtColor(source, out, cv::COLOR_BayerGB2BGR);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * FrameBytes(bits));
}

void Demosaic_BaselineOpenCV(benchmark::State& state) { RunOpenCv(state, static_cast<int32_t>(state.range(0))); }
BENCHMARK(Demosaic_BaselineOpenCV)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

void RunDemosaic(benchmark::State& state, vantix::KernelLevel level) {
    const auto bits = static_cast<int32_t>(state.range(0));
    vantix::CDibImage& raw = Raw(bits);
    vantix::CDibImage out;
    out.Create(kWidth, kHeight, bits == 8 ? 24 : 48);
    vantix::Demosaic(out, raw, 1, 100, 100, level);
    for (auto _ : state) {
        vantix::Demosaic(out, raw, 1, 100, 100, level);
        benchmark::DoNotOptimize(out.Bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * FrameBytes(bits));
}

// The kernels the library picks on this machine.
void Demosaic_Vantix(benchmark::State& state) { RunDemosaic(state, vantix::ActiveKernelLevel()); }
BENCHMARK(Demosaic_Vantix)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

// The portable kernels, as on a processor without AVX2.
void Demosaic_VantixPortable(benchmark::State& state) { RunDemosaic(state, vantix::KernelLevel::kBaseline); }
BENCHMARK(Demosaic_VantixPortable)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

// Argument: colour mode; the baseline converts a frame of the same width.
void ConvertFrame_BaselineOpenCV(benchmark::State& state) { RunOpenCv(state, state.range(0) == 4 ? 16 : 8); }
BENCHMARK(ConvertFrame_BaselineOpenCV)->Arg(0)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

void ConvertFrame_Defaults(benchmark::State& state) {
    const auto colorMode = static_cast<int32_t>(state.range(0));
    const int32_t bits = colorMode == 4 ? 16 : 8;
    // The session's buffers for this colour mode; the mask buffers stay
    // empty since the mask and dot filters are off by default.
    std::array<vantix::CDibImage, vantix::kImageSlotCount> buffers;
    vantix::ImageSlots slots{};
    for (size_t i = 0; i < slots.size(); ++i) slots[i] = &buffers[i];
    const int32_t rawSlot = vantix::RawSlotOf(colorMode);
    buffers[static_cast<size_t>(rawSlot)].Create(kWidth, kHeight, bits);
    const int32_t outputSlot = vantix::OutputSlotOf(colorMode);
    if (outputSlot != rawSlot) {
        buffers[static_cast<size_t>(outputSlot)].Create(kWidth, kHeight, colorMode == 4 ? 48 : 24);
    }
    vantix::CDibImage& raw = buffers[static_cast<size_t>(rawSlot)];
    const vantix::CDibImage& frame = Raw(bits);
    vantix::CriticalSection maskLock;
    vantix::FrameConverter converter(slots, maskLock, nullptr);
    vantix::ConversionSettings settings;
    settings.colorMode = colorMode;
    for (auto _ : state) {
        // Each pass gets a freshly delivered frame; the copy is not timed.
        state.PauseTiming();
        std::memcpy(raw.Bits(), frame.Bits(), frame.ImageBytes());
        state.ResumeTiming();
        converter.Convert(settings);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * FrameBytes(bits));
}
BENCHMARK(ConvertFrame_Defaults)->Arg(0)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

void HotPixel_Filter(benchmark::State& state) {
    const auto bits = static_cast<int32_t>(state.range(0));
    const vantix::CDibImage& frame = Raw(bits);
    vantix::CDibImage raw;
    raw.Create(kWidth, kHeight, bits);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(raw.Bits(), frame.Bits(), frame.ImageBytes());
        state.ResumeTiming();
        vantix::ApplyHotPixelFilter(raw, 3, 100, 100);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * FrameBytes(bits));
}
BENCHMARK(HotPixel_Filter)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
