#pragma once
// A controller wired straight to the emulated FPGA head and sensor of an IMX
// model (no USB in between), recording what reaches the wire: every sensor
// register write, every FPGA register write, and the reads that matter to
// the waits (status device, busy word). Tests of the IMX sensor classes
// check their requests against the emulated register file this way.
#include <array>
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "emulator/personalities/imx_bus_head.h"
#include "emulator/personalities/personality_factory.h"
#include "transport/controller_base.h"

namespace vantix::testing_imx {

using Writes = std::vector<std::pair<uint32_t, uint32_t>>;

class ImxHeadController : public CControllerBase {
public:
    static constexpr uint8_t kSensorAddress = 0x48;
    static constexpr uint8_t kStatusDevice = 0x5E;

    explicit ImxHeadController(uint16_t modelId) : head(emulator::LookupVirtualModel(modelId)) {
        head.ReplaceSensor(emulator::MakeSensorPersonality(head.Model().sensor));
        // Exact retry counts: the busy word clears at once unless a test says otherwise.
        head.SetSensorBusBusyTime(std::chrono::microseconds(0));
    }

    int32_t Release() override { return 1; }
    int32_t SelectDeviceIndex(int32_t) override { return 1; }
    int32_t ReadRegister16(uint16_t* value) override {
        *value = 0;
        return 1;
    }
    int32_t BusWrite(uint8_t address, const uint8_t* data, size_t count, uint32_t) override {
        const bool acknowledged = head.BusWrite(address, data, count);
        if (address == kSensorAddress && count == 3 && acknowledged) {
            sensorWrites.emplace_back(data[0] << 8 | data[1], data[2]);
            wire.emplace_back(kSensorWrite, data[0] << 8 | data[1]);
        }
        return acknowledged ? 1 : 0;
    }
    int32_t BusRead(uint8_t address, uint8_t* data, size_t count, uint32_t) override {
        const uint8_t device = static_cast<uint8_t>(address & ~1u);
        if (device == kStatusDevice) ++statusReads;
        if (device == kSensorAddress) wire.emplace_back(kSensorRead, 0);
        return head.BusRead(device, data, count) ? 1 : 0;
    }
    int32_t WriteCameraRegister(uint16_t, uint32_t) override { return 0; }
    int32_t ReadCameraRegister(uint16_t, uint32_t*) override { return 0; }
    int32_t SendWordPair(uint16_t, uint16_t) override { return 0; }
    int32_t QueryWord(uint16_t, uint32_t*) override { return 0; }
    int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        fpgaWrites.emplace_back(reg, value);
        wire.emplace_back(kFpgaWrite, reg << 8 | value);
        head.WriteFpgaRegister(reg, value);
        return 1;
    }
    int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        if (reg == 2) {
            ++busyReads;
            if (busyReadsLeft != 0) {
                if (busyReadsLeft > 0) --busyReadsLeft;
                *value = 0x80;
                return 1;
            }
        }
        *value = head.ReadFpgaRegister(reg);
        return 1;
    }
    int32_t WriteAuxRegister(uint8_t, uint8_t) override { return 0; }
    int32_t ReadAuxRegister(uint8_t, uint8_t*) override { return 0; }
    int32_t AbortStream() override { return 1; }

    emulator::ImxPersonality& Sensor() { return dynamic_cast<emulator::ImxPersonality&>(head.Sensor()); }
    // A value over consecutive byte registers of the emulated sensor, lowest first.
    uint32_t Register(uint16_t address, int bytes = 1) {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= uint32_t{Sensor().Word(static_cast<uint16_t>(address + i))} << (8 * i);
        return value;
    }
    // The values written to one FPGA register, in order.
    std::vector<uint32_t> FpgaWritesTo(uint8_t reg) const {
        std::vector<uint32_t> values;
        for (const auto& [r, v] : fpgaWrites) {
            if (r == reg) values.push_back(v);
        }
        return values;
    }
    // Whether a sensor register was written at all.
    bool Wrote(uint32_t address) const {
        for (const auto& w : sensorWrites) {
            if (w.first == address) return true;
        }
        return false;
    }
    void ClearRecords() {
        sensorWrites.clear();
        fpgaWrites.clear();
        wire.clear();
        busyReads = 0;
        statusReads = 0;
    }

    static constexpr int kAlwaysBusy = -1;
    // What went over the wire in order: (kind, register or reg << 8 | value).
    static constexpr int kSensorWrite = 0, kSensorRead = 1, kFpgaWrite = 2;
    std::vector<std::pair<int, uint32_t>> wire;

    emulator::ImxBusHead head;
    Writes sensorWrites;
    std::vector<std::pair<uint32_t, uint32_t>> fpgaWrites;
    // The busy word reads 0x80 for this many more reads (kAlwaysBusy: for good).
    int busyReadsLeft = 0;
    int busyReads = 0;
    int statusReads = 0;
};

}  // namespace vantix::testing_imx
