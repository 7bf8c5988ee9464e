// Raw conversion at the full sensor size (3856 x 2764):
//  - Demosaic of 8-bit samples into 24 bits and of 16-bit samples into 48
//    bits, single thread, with the kernels chosen at run time and with the
//    portable ones, against OpenCV's bilinear Bayer-to-BGR conversion of the
//    same frame on one thread;
//  - FrameConverter::Convert with default settings in colour modes 0, 2 and
//    4 (hot-pixel filter, and the demosaic in modes 2 and 4), against the
//    OpenCV conversion of a frame of the same sample width; second argument
//    the threads of both (0: each library's default, here the core count);
//  - the whole pipeline in colour modes 2 and 4 with every stage on:
//    flat-field and dot filter, hot-pixel filter, demosaic with automatic
//    white balance, hue and saturation, gamma, contrast, sharpness and
//    brightness (Pipeline_AllFilters), against an OpenCV chain doing
//    comparable work (Bayer to BGR, BGR to HSV and back with a hue turn and
//    a saturation scale, a lookup table, an unsharp mask from a box blur,
//    and a scale), on 1 thread and at each library's default;
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

#include "imaging/conversion_workspace.h"
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

// OpenCV's thread count for an argument: 0 is its default.
void SetOpenCvThreads(int64_t threads) { cv::setNumThreads(threads == 0 ? -1 : static_cast<int>(threads)); }

// OpenCV's bilinear demosaic of the same pixels (wrapped, not copied).
void RunOpenCv(benchmark::State& state, int32_t bits, int64_t threads = 1) {
    SetOpenCvThreads(threads);
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

// Arguments: colour mode, threads; the baseline converts a frame of the
// same width.
void ConvertFrame_BaselineOpenCV(benchmark::State& state) {
    RunOpenCv(state, state.range(0) == 4 ? 16 : 8, state.range(1));
}
BENCHMARK(ConvertFrame_BaselineOpenCV)
    ->Args({0, 1})->Args({2, 1})->Args({4, 1})->Args({0, 0})->Args({2, 0})->Args({4, 0})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The session's buffers for a colour mode at full size; the mask references
// and maps as Vantix_Initialize makes them (dark 0, bright full scale, no
// defects) when withMasks is set.
struct SessionBuffers {
    std::array<vantix::CDibImage, vantix::kImageSlotCount> images;
    vantix::ImageSlots slots{};

    SessionBuffers(int32_t colorMode, bool withMasks) {
        for (size_t i = 0; i < slots.size(); ++i) slots[i] = &images[i];
        const int32_t bits = colorMode == 4 || colorMode == 5 || colorMode == 1 ? 16 : 8;
        const int32_t rawSlot = vantix::RawSlotOf(colorMode);
        images[static_cast<size_t>(rawSlot)].Create(kWidth, kHeight, bits);
        const int32_t outputSlot = vantix::OutputSlotOf(colorMode);
        if (outputSlot != rawSlot) {
            images[static_cast<size_t>(outputSlot)].Create(kWidth, kHeight, colorMode == 4 ? 48 : 24);
        }
        if (withMasks) {
            const int32_t maskBits[] = {8, 8, 16, 16, 8, 8, 16, 16, 8, 16};
            for (int32_t i = 0; i < 10; ++i) {
                vantix::CDibImage& mask = images[static_cast<size_t>(vantix::kSlotMaskDark8 + i)];
                mask.Create(kWidth, kHeight, maskBits[i]);
                std::memset(mask.Bits(), 0, mask.ImageBytes());
            }
            for (const int32_t bright : {vantix::kSlotMaskBright8, vantix::kSlotMaskBright16}) {
                vantix::CDibImage& mask = images[static_cast<size_t>(bright)];
                std::memset(mask.Bits(), 0xFF, mask.ImageBytes());
            }
        }
    }
    vantix::CDibImage& Image(int32_t slot) { return images[static_cast<size_t>(slot)]; }
};

// Converts a fresh copy of the scene per iteration (the copy is not timed).
void RunConverter(benchmark::State& state, vantix::ConversionSettings settings, bool withMasks) {
    const int32_t colorMode = settings.colorMode;
    const int32_t bits = colorMode == 4 ? 16 : 8;
    SessionBuffers buffers(colorMode, withMasks);
    vantix::CDibImage& raw = buffers.Image(vantix::RawSlotOf(colorMode));
    const vantix::CDibImage& frame = Raw(bits);
    vantix::CriticalSection maskLock;
    vantix::ConversionWorkspace workspace(static_cast<int32_t>(state.range(1)));
    vantix::FrameConverter converter(buffers.slots, maskLock, nullptr, &workspace);
    const vantix::ConversionSettings initial = settings;
    // One frame before the timing: the workspace sizes its buffers, builds
    // its tables and starts its threads once, as a session does on its
    // first frame.
    std::memcpy(raw.Bits(), frame.Bits(), frame.ImageBytes());
    converter.Convert(settings);
    for (auto _ : state) {
        // Each pass gets a freshly delivered frame; the copy is not timed.
        state.PauseTiming();
        std::memcpy(raw.Bits(), frame.Bits(), frame.ImageBytes());
        settings = initial;
        state.ResumeTiming();
        converter.Convert(settings);
        benchmark::ClobberMemory();
    }
    state.counters["threads"] = workspace.Threads();
    state.SetBytesProcessed(state.iterations() * FrameBytes(bits));
}

// Arguments: colour mode, threads (0: the library's default).
void ConvertFrame_Defaults(benchmark::State& state) {
    vantix::ConversionSettings settings;
    settings.colorMode = static_cast<int32_t>(state.range(0));
    RunConverter(state, settings, false);
}
// The CPU column counts every thread of the process: on a machine shared
// with other work the real time says little, and the CPU time over the
// threads says how much work a frame is.
BENCHMARK(ConvertFrame_Defaults)
    ->Args({0, 1})->Args({2, 1})->Args({4, 1})->Args({0, 0})->Args({2, 0})->Args({4, 0})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Arguments: colour mode (2 or 4), threads (0: the library's default).
void Pipeline_AllFilters(benchmark::State& state) {
    vantix::ConversionSettings settings;
    settings.colorMode = static_cast<int32_t>(state.range(0));
    settings.maskFilter = true;
    settings.dotFilter = true;
    settings.bayerGainAuto = 1;
    settings.hue = 40;
    settings.saturation = 60;
    settings.gamma = 140;
    settings.contrast = 30;
    settings.sharpness = 12;
    settings.brightness = 40;
    RunConverter(state, settings, true);
}
BENCHMARK(Pipeline_AllFilters)
    ->Args({2, 1})->Args({2, 2})->Args({2, 0})->Args({4, 1})->Args({4, 2})->Args({4, 0})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The OpenCV chain: demosaic, hue and saturation through HSV, one lookup
// table for gamma and contrast, unsharp mask from a 4 x 4 box blur, scale.
void Pipeline_BaselineOpenCV(benchmark::State& state) {
    SetOpenCvThreads(state.range(1));
    const int32_t bits = state.range(0) == 4 ? 16 : 8;
    vantix::CDibImage& raw = Raw(bits);
    const cv::Mat source(kHeight, kWidth, bits == 8 ? CV_8UC1 : CV_16UC1, raw.Bits(),
                         static_cast<size_t>(raw.Stride()));
    cv::Mat bgr, hsv, blurred, sharp, out;
    cv::Mat table(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i) table.at<uint8_t>(i) = static_cast<uint8_t>(255 - i / 2);
    std::vector<cv::Mat> planes;
    for (auto _ : state) {
        cv::cvtColor(source, bgr, cv::COLOR_BayerGB2BGR);
        if (bits == 16) bgr.convertTo(bgr, CV_8U, 1.0 / 256);  // HSV and LUT need 8-bit channels
        cv::cvtColor(bgr, hsv, cv::COLOR_BGR2HSV);
        cv::split(hsv, planes);
        cv::add(planes[0], cv::Scalar(20), planes[0]);
        cv::multiply(planes[1], cv::Scalar(1.2), planes[1]);
        cv::merge(planes, hsv);
        cv::cvtColor(hsv, bgr, cv::COLOR_HSV2BGR);
        cv::LUT(bgr, table, bgr);
        cv::blur(bgr, blurred, cv::Size(4, 4));
        cv::addWeighted(bgr, 2.2, blurred, -1.2, 0, sharp);
        sharp.convertTo(out, -1, 1.15);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * FrameBytes(bits));
}
BENCHMARK(Pipeline_BaselineOpenCV)
    ->Args({2, 1})->Args({2, 2})->Args({2, 0})->Args({4, 1})->Args({4, 2})->Args({4, 0})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

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
