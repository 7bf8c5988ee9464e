// Full-size MT9J001 frames from an unthrottled virtual camera through the
// acquisition thread into the frame ring and out with CopyLatestFrame, as
// frames per second, bytes per second and CPU time per frame, against memcpy
// of the same frame size measured in the same run.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "engine/camera_engine.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"

namespace {

constexpr int32_t kWidth = 3840;
constexpr int32_t kHeight = 2752;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Acquisition_BaselineMemcpy(benchmark::State& state) {
    const size_t bytes = size_t{kWidth} * kHeight * static_cast<size_t>(state.range(0));
    std::vector<uint8_t> source(bytes, 0x33);
    std::vector<uint8_t> destination(bytes);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), bytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(Acquisition_BaselineMemcpy)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// One frame per iteration: wait for the acquisition thread to publish a new
// frame, then copy it out of the ring as the session's worker does.
void Acquisition_RingMT9J001(benchmark::State& state) {
    const int32_t bytesPerPixel = static_cast<int32_t>(state.range(0));
    const std::string table = "/U3K9-MemMap-bench-acq-" + std::to_string(getpid());
    setenv("VANTIX_DEVICE_TABLE", table.c_str(), 0);
    vantix::InstallDeviceDrivers();
    vantix::emulator::Emulator& emulator = vantix::emulator::Emulator::Instance();
    emulator.Reset();
    const std::string path = emulator.Plug(0x3040);
    emulator.Find(path)->SetUnthrottled(true);
    {
        vantix::CVantixUSB3K9SimpleSdk engine;
        engine.SetModelId(0x3040);
        engine.Open(0, nullptr);
        if (engine.EnumerateDevices(0x3040) < 1 || !engine.SelectDevice(0) ||
            !engine.SetCaptureWindow(8, 8, kWidth, kHeight, 0) || !engine.SetBitMode(bytesPerPixel == 2 ? 1 : 0) ||
            !engine.StartCapture(vantix::kCaptureContinuous)) {
            state.SkipWithError("virtual camera did not start");
            return;
        }
        std::vector<uint8_t> frame(engine.FrameBytes());
        // The camera is unthrottled: the frames it sends per second, and the
        // processor time per frame sent, measure the acquisition thread's
        // hand-over whatever share of the processor the reader gets.
        const auto camera = emulator.Find(path);
        const uint32_t sentStart = camera->FrameCounter();
        const double cpuStart = ProcessCpuSeconds();
        for (auto _ : state) {
            int32_t result = engine.WaitFrame(3000);
            while (result == vantix::kWaitNoNewFrame) result = engine.WaitFrame(3000);
            if (result != vantix::kWaitNewFrame) {
                state.SkipWithError("acquisition gave up");
                break;
            }
            engine.CopyLatestFrame(frame.data(), 0, 0, 0, 1);
            benchmark::DoNotOptimize(frame.data());
        }
        const double cpu = ProcessCpuSeconds() - cpuStart;
        const auto sent = static_cast<double>(camera->FrameCounter() - sentStart);
        engine.StopCapture();
        state.counters["camera_fps"] = benchmark::Counter(sent, benchmark::Counter::kIsRate);
        state.counters["cpu_ms_per_sent_frame"] = sent > 0 ? cpu * 1000.0 / sent : 0.0;
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
        state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
        state.counters["cpu_ms_per_frame"] =
            state.iterations() ? cpu * 1000.0 / static_cast<double>(state.iterations()) : 0.0;
    }
    emulator.Reset();
    vantix::DeviceTable::RemoveSharedObjects(table);
}
BENCHMARK(Acquisition_RingMT9J001)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
