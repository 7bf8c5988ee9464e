// Frame delivery from an unthrottled virtual camera through the controller's
// header and payload reads, against memcpy of the same bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"
#include "transport/controller.h"

namespace {

constexpr uint16_t kWidth = 3856;
constexpr uint16_t kHeight = 2764;
constexpr size_t kFrameBytes = size_t{kWidth} * kHeight * 2;

void FrameDelivery_BaselineMemcpy(benchmark::State& state) {
    std::vector<uint8_t> source(kFrameBytes, 0x5A);
    std::vector<uint8_t> destination(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), kFrameBytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(FrameDelivery_BaselineMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

void FrameDelivery_VirtualCamera16Bit(benchmark::State& state) {
    const std::string table = "/U3K9-MemMap-bench-" + std::to_string(getpid());
    setenv("VANTIX_DEVICE_TABLE", table.c_str(), 0);
    vantix::InstallDeviceDrivers();
    const std::string path = vantix::emulator::Emulator::Instance().Plug(0x3040);
    vantix::emulator::Emulator::Instance().Find(path)->SetUnthrottled(true);
    {
        vantix::CVtxCy3Cam controller;
        controller.EnumerateDevices();
        int32_t index = -1;
        for (int32_t i = 0; i < vantix::ProcessDeviceTable().Count(); ++i) {
            if (vantix::ProcessDeviceTable().DevicePath(i) == path) index = i;
        }
        if (index < 0 || !controller.SelectDeviceIndex(index) || !controller.PrepareStreaming()) {
            state.SkipWithError("virtual camera not available");
            return;
        }
        controller.WriteFpgaRegister(68, kWidth & 0xFF);
        controller.WriteFpgaRegister(69, kWidth >> 8);
        controller.WriteFpgaRegister(64, kHeight & 0xFF);
        controller.WriteFpgaRegister(65, kHeight >> 8);
        controller.WriteFpgaRegister(0x3C, 2);  // 16-bit samples
        controller.OpenStream();
        std::vector<uint8_t> buffer(kFrameBytes);
        vantix::FrameDescriptor frame{};
        frame.buffer = buffer.data();
        frame.capacity = static_cast<uint32_t>(buffer.size());
        for (auto _ : state) {
            if (!controller.ReadFrameHeader(&frame) || !controller.ReadFramePayload(&frame, 1000)) {
                state.SkipWithError("frame read failed");
                break;
            }
            benchmark::DoNotOptimize(buffer.data());
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
    }
    vantix::DeviceTable::RemoveSharedObjects(table);
}
BENCHMARK(FrameDelivery_VirtualCamera16Bit)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
