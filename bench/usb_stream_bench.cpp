// Full-size MT9J001 frames through the real USB path: the camera sits on the
// umockdev test bed (tests/usb/), so every header and 512 KiB payload piece is
// a bulk transfer through the libusb driver, libusb and the mocked usbfs node
// into the acquisition thread's ring, then out with CopyLatestFrame. Reported
// as frames per second and bytes per second against memcpy of the same frame
// size in the same run. Runs under the umockdev preload library
// (scripts/run-benchmarks.sh starts it so).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/camera_engine.h"
#include "transport/device_table.h"
#include "usb/usb_test_bed.h"

namespace {

constexpr int32_t kWidth = 3840;
constexpr int32_t kHeight = 2752;

void Usb_BaselineMemcpy(benchmark::State& state) {
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
BENCHMARK(Usb_BaselineMemcpy)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void Usb_StreamMT9J001(benchmark::State& state) {
    if (!vantix::usbtest::UsbTestBed::InMockEnvironment()) {
        state.SkipWithError("not under the umockdev preload library");
        return;
    }
    const int32_t bytesPerPixel = static_cast<int32_t>(state.range(0));
    vantix::usbtest::UsbTestBed& bed = vantix::usbtest::UsbTestBed::Instance();
    const int slot = bed.Plug({});
    {
        vantix::CVantixUSB3K9SimpleSdk engine;
        engine.SetModelId(0x3040);
        engine.Open(0, nullptr);
        // libusb learns of a camera plugged after its start from a uevent.
        for (int attempt = 0; attempt < 250 && engine.EnumerateDevices(0x3040) < 1; ++attempt) usleep(20000);
        if (engine.EnumerateDevices(0x3040) < 1 || !engine.SelectDevice(0) ||
            !engine.SetCaptureWindow(8, 8, kWidth, kHeight, 0) || !engine.SetBitMode(bytesPerPixel == 2 ? 1 : 0) ||
            !engine.StartCapture(vantix::kCaptureContinuous)) {
            state.SkipWithError("the camera on the USB test bed did not start");
            bed.Unplug(slot);
            return;
        }
        std::vector<uint8_t> frame(engine.FrameBytes());
        const uint32_t urbs = bed.Camera(slot).Counters().bulkUrbs;
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
        engine.StopCapture();
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
        state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
        state.counters["urbs_per_frame"] =
            state.iterations() ? static_cast<double>(bed.Camera(slot).Counters().bulkUrbs - urbs) /
                                     static_cast<double>(state.iterations())
                               : 0.0;
    }
    bed.Unplug(slot);
}
BENCHMARK(Usb_StreamMT9J001)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

struct BenchEnvironment {
    BenchEnvironment() {
        // A device table of this process only, and no virtual cameras: the
        // camera is the one on the USB bus.
        table = "/U3K9-MemMap-bench-usb-" + std::to_string(getpid());
        setenv("VANTIX_DEVICE_TABLE", table.c_str(), 0);
        unsetenv("VANTIX_EMULATE");
    }
    ~BenchEnvironment() { vantix::DeviceTable::RemoveSharedObjects(table); }
    std::string table;
};
BenchEnvironment g_environment;

}  // namespace
