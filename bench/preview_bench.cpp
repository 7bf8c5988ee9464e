// Sustained callback-preview frame rate of a session at full resolution with
// an unthrottled virtual camera, per colour mode and wait time, against the
// rate at which a 400 MB/s USB3 link could carry frames of that size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <utility>
#include <cstdlib>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "platform/window_messages.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"

namespace {

constexpr double kUsb3LineRate = 400e6;  // bytes per second
constexpr int32_t kWidth = 3840;
constexpr int32_t kHeight = 2752;

// Arguments: colour-mode bits per pixel, wait time in ms, 1 for every filter
// on (flat-field and dot filter, automatic white balance, brightness,
// contrast, hue, saturation, sharpness, gamma), and the camera's pace: 0
// for as fast as it can, n for n times the USB3 line rate. One
// iteration is one frame announced to the callback window, from the second
// frame on.
//
// The unthrottled camera shows how far the preview could go beyond the link;
// it renders and copies every frame on this machine's cores, so it also
// takes CPU time from the conversion. The paced camera asks the question a
// user has: does the preview keep up with a camera that fills the link
// (fps / usb3_fps = 1.0 when it does)? At twice the line rate it shows
// whether the preview could take frames twice as fast as the link carries
// them, with the camera costing only the frames it sends.
void Preview_CallbackFrames(benchmark::State& state) {
    const auto bits = static_cast<int32_t>(state.range(0));
    const auto waitMs = static_cast<int32_t>(state.range(1));
    const bool filters = state.range(2) != 0;
    const auto pace = static_cast<double>(state.range(3));
    const double rawBytes = static_cast<double>(kWidth) * kHeight * (bits == 16 || bits >= 48 ? 2 : 1);
    const std::string table = "/U3K9-MemMap-bench-preview-" + std::to_string(getpid());
    setenv("VANTIX_DEVICE_TABLE", table.c_str(), 0);
    const std::string registry = "/tmp/vantix-bench-preview-" + std::to_string(getpid()) + ".reg";
    setenv("VANTIX_REGISTRY", registry.c_str(), 0);
    vantix::InstallDeviceDrivers();
    auto& emulator = vantix::emulator::Emulator::Instance();
    emulator.Reset();
    const std::shared_ptr<vantix::emulator::VirtualCamera> camera = emulator.Find(emulator.Plug(0x3040));
    if (pace > 0) {
        camera->SetFramePeriodUs(static_cast<uint32_t>(rawBytes / (kUsb3LineRate * pace) * 1e6));
    } else {
        camera->SetUnthrottled(true);
    }
    VantixHwnd window = vantix::CreatePollableWindow();
    {
        CVantix session;
        session.Initialize(nullptr);
        session.SetPreviewWindow(nullptr, 0, 0, 0, 0);
        session.SetColorMode(bits);
        session.SetWaitTime(waitMs);
        if (filters) {
            // Filter values: 1 brightness, 2 contrast, 3 hue, 4 saturation,
            // 5 sharpness, 10 automatic Bayer gain, 11 gamma, 102 dot filter,
            // 103 mask filter.
            for (const auto& [id, value] : {std::pair{1, 40}, std::pair{2, 30}, std::pair{3, 40}, std::pair{4, 60},
                                            std::pair{5, 12}, std::pair{10, 1}, std::pair{11, 140},
                                            std::pair{102, 1}, std::pair{103, 1}}) {
                if (session.SetFilterValue(id, value) == 0) state.SkipWithError("filter value refused");
            }
        }
        std::vector<uint8_t> buffer(static_cast<size_t>(kWidth) * kHeight * static_cast<size_t>(bits / 8));
        if (!session.SetCaptureWindowEx(3856, 0, kWidth, 2764, 0, kHeight) ||
            !session.CallBackPreview(window, buffer.data(), static_cast<int32_t>(buffer.size()), 1)) {
            state.SkipWithError("preview did not start");
        } else {
            VantixMessage message;
            const auto nextFrame = [&] {
                while (vantix::GetWindowMessage(window, &message, 5000) == 1 && message.wParam == 0) {
                }
            };
            // The rate is the sustained one: the first frame, which waits
            // for the stream to start and a whole exposure, comes before the
            // timing and is reported on its own.
            const auto start = std::chrono::steady_clock::now();
            nextFrame();
            state.counters["first_frame_ms"] =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            for (auto _ : state) {
                nextFrame();
            }
            session.StopPreview();
        }
        state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
        state.counters["usb3_fps"] = kUsb3LineRate / rawBytes;
        state.counters["x_usb3"] = benchmark::Counter(static_cast<double>(state.iterations()) * rawBytes / kUsb3LineRate,
                                                      benchmark::Counter::kIsRate);
    }
    vantix::DestroyWindow(window);
    emulator.Reset();
    vantix::DeviceTable::RemoveSharedObjects(table);
    std::remove(registry.c_str());
}
BENCHMARK(Preview_CallbackFrames)
    ->Args({8, 10, 0, 0})->Args({8, 0, 0, 0})->Args({24, 10, 0, 0})->Args({24, 0, 0, 0})
    ->Args({48, 10, 0, 0})->Args({48, 0, 0, 0})
    ->Args({8, 0, 1, 0})->Args({24, 0, 1, 0})->Args({48, 0, 1, 0})
    ->Args({8, 0, 1, 1})->Args({24, 0, 1, 1})->Args({48, 0, 1, 1})
    ->Args({8, 0, 1, 2})->Args({24, 0, 1, 2})->Args({48, 0, 1, 2})
    ->Args({8, 0, 0, 2})->Args({24, 0, 0, 2})->Args({48, 0, 0, 2})
    ->Args({8, 0, 0, 3})->Args({24, 0, 0, 3})->Args({48, 0, 0, 3})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
