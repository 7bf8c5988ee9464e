// Cost of drawing one full-resolution frame into a preview window on the X
// server named by DISPLAY (scripts/run-benchmarks.sh starts an Xvfb large
// enough for the whole frame): directly at the image size, and scaled to
// 1280 x 960, for gray and colour sources; against a memcpy of the same
// source bytes in the same run. Bytes per second count the source frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/preview_scaler.h"
#include "preview/x11_preview_window.h"

namespace {

constexpr int32_t kWidth = 3840;
constexpr int32_t kHeight = 2752;
constexpr int32_t kScaledWidth = 1280;
constexpr int32_t kScaledHeight = 960;

std::unique_ptr<vantix::CDibImage> Frame(int32_t bits) {
    auto image = std::make_unique<vantix::CDibImage>();
    image->Create(kWidth, kHeight, bits);
    for (int32_t r = 0; r < kHeight; ++r) {
        uint8_t* row = image->Row(r);
        for (int32_t i = 0; i < image->Stride(); ++i) row[i] = static_cast<uint8_t>(r + 7 * i);
    }
    return image;
}

// Arguments: bits per pixel of the source (8 or 24), scaled (0 or 1).
void DrawFrame_Window(benchmark::State& state) {
    const auto bits = static_cast<int32_t>(state.range(0));
    const bool scaled = state.range(1) != 0;
    const std::unique_ptr<vantix::CDibImage> source = Frame(bits);
    vantix::PreviewWindowPlacement placement;
    placement.width = scaled ? kScaledWidth : kWidth;
    placement.height = scaled ? kScaledHeight : kHeight;
    placement.title = "draw benchmark";
    placement.className = "VantixBench";
    auto window = vantix::X11PreviewWindow::Create(placement);
    if (!window) {
        state.SkipWithError("no X display");
        return;
    }
    vantix::CDibImage preview;
    preview.Create(placement.width, placement.height, bits);
    std::vector<int32_t> columns;
    for (auto _ : state) {
        const vantix::X11PreviewWindow::ClientArea area = window->QueryClientArea();
        benchmark::DoNotOptimize(area);
        vantix::PreviewPicture picture;
        const vantix::CDibImage* shown = source.get();
        if (scaled) {
            preview.ApplyStretched(bits == 8 ? vantix::ScaleGray8 : vantix::ScaleBgr24, source.get(), nullptr,
                                   nullptr, &columns, nullptr);
            shown = &preview;
        }
        picture.bits = shown->Bits();
        picture.stride = shown->Stride();
        picture.width = shown->Width();
        picture.height = shown->Height();
        picture.bytesPerPixel = shown->BytesPerPixel();
        picture.palette = shown->Header().colors;
        picture.lastRowOnTop = scaled;
        if (!window->Present(picture)) {
            state.SkipWithError("the server refused the picture");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source->ImageBytes()));
    state.counters["shm"] = window->UsesSharedMemory() ? 1 : 0;
}
BENCHMARK(DrawFrame_Window)->Args({8, 0})->Args({24, 0})->Args({8, 1})->Args({24, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

void DrawFrame_BaselineMemcpy(benchmark::State& state) {
    const auto bits = static_cast<int32_t>(state.range(0));
    const std::unique_ptr<vantix::CDibImage> source = Frame(bits);
    std::vector<uint8_t> copy(source->ImageBytes());
    for (auto _ : state) {
        std::memcpy(copy.data(), source->Bits(), copy.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source->ImageBytes()));
}
BENCHMARK(DrawFrame_BaselineMemcpy)->Args({8, 0})->Args({24, 0})->Args({8, 1})->Args({24, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
