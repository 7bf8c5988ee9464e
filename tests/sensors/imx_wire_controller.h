#pragma once
// A controller for the IMX family's sensor tests whose serial bus reaches the
// emulated register file of one member (and an EEPROM at 0xA0), and which
// keeps every transfer in order: sensor writes as (register, value), FPGA
// writes and EEPROM transfers as events, so a test reads both what went over
// the wire and what the emulated sensor holds afterwards.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "emulator/personalities/imx_personality.h"
#include "transport/controller_base.h"

namespace vantix::imx_test {

constexpr uint8_t kSensorAddress = 0x48;
constexpr uint8_t kEepromAddress = 0xA0;

struct WireEvent {
    enum Kind { Sensor, Fpga, Eeprom } kind;
    uint32_t address;
    uint32_t value;
    bool operator==(const WireEvent&) const = default;
};

class WireController : public CControllerBase {
public:
    explicit WireController(emulator::ImxSensorKind kind) : sensor(kind) { eeprom.fill(0xFF); }

    int32_t Release() override { return 1; }
    int32_t SelectDeviceIndex(int32_t) override { return 1; }
    int32_t ReadRegister16(uint16_t* value) override {
        *value = 0;
        return 1;
    }
    int32_t BusWrite(uint8_t address, const uint8_t* data, size_t count, uint32_t) override {
        if (address == kEepromAddress && count >= 1) {
            eepromPointer = data[0];
            for (size_t i = 1; i < count; ++i) {
                events.push_back({WireEvent::Eeprom, eepromPointer, data[i]});
                eeprom[eepromPointer++] = data[i];
            }
            return 1;
        }
        if (address != kSensorAddress || !sensorAnswers) return 0;
        if (count == 3) {
            const uint32_t reg = uint32_t{data[0]} << 8 | data[1];
            writes.emplace_back(reg, data[2]);
            events.push_back({WireEvent::Sensor, reg, data[2]});
        }
        busyReadsLeft = busyReadsPerTransfer;
        return sensor.Write(data, count);
    }
    int32_t BusRead(uint8_t address, uint8_t* data, size_t count, uint32_t) override {
        if ((address & ~1u) == kEepromAddress) {
            for (size_t i = 0; i < count; ++i) data[i] = eeprom[eepromPointer++];
            return 1;
        }
        if ((address & ~1u) != kSensorAddress || !sensorAnswers) return 0;
        ++sensorReads;
        return sensor.Read(data, count);
    }
    int32_t WriteCameraRegister(uint16_t, uint32_t) override { return 0; }
    int32_t ReadCameraRegister(uint16_t, uint32_t*) override { return 0; }
    int32_t SendWordPair(uint16_t, uint16_t) override { return 0; }
    int32_t QueryWord(uint16_t, uint32_t*) override { return 0; }
    int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        events.push_back({WireEvent::Fpga, reg, value});
        // The vertical drive starts once pulsed (1, then 0).
        if (reg == kVerticalDrive && value == 0 && fpga[reg] == 1) {
            fpga[reg] = kVerticalDriveRuns;
            return 1;
        }
        fpga[reg] = value;
        return 1;
    }
    int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        if (reg == kBusyWord) {
            ++busyReads;
            const bool busy = busyReadsLeft != 0;
            if (busyReadsLeft > 0) --busyReadsLeft;
            *value = busy ? busyBits : 0;
            return 1;
        }
        *value = fpga[reg];
        return 1;
    }
    int32_t WriteAuxRegister(uint8_t, uint8_t) override { return 0; }
    int32_t ReadAuxRegister(uint8_t, uint8_t*) override { return 0; }
    int32_t AbortStream() override { return 1; }

    // A value over consecutive byte registers of the emulated sensor, lowest first.
    uint32_t Register(uint16_t address, int bytes = 1) const {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= uint32_t{sensor.Word(static_cast<uint16_t>(address + i))} << (8 * i);
        return value;
    }
    // Sensor registers written, in order, consecutive repeats folded.
    std::vector<uint32_t> WriteOrder() const {
        std::vector<uint32_t> order;
        for (const auto& w : writes) {
            if (order.empty() || order.back() != w.first) order.push_back(w.first);
        }
        return order;
    }
    // Where a register is first written in WriteOrder(); -1 when never.
    long FirstWrite(uint32_t address) const {
        const std::vector<uint32_t> order = WriteOrder();
        for (size_t i = 0; i < order.size(); ++i) {
            if (order[i] == address) return static_cast<long>(i);
        }
        return -1;
    }
    void Clear() {
        writes.clear();
        events.clear();
        busyReads = 0;
        sensorReads = 0;
    }

    static constexpr uint8_t kBusyWord = 2;
    static constexpr uint8_t kVerticalDrive = 129;
    static constexpr uint8_t kVerticalDriveRuns = 0x02;
    static constexpr int kAlwaysBusy = -1;

    emulator::ImxPersonality sensor;
    std::vector<std::pair<uint32_t, uint32_t>> writes;
    std::vector<WireEvent> events;
    std::array<uint8_t, 256> fpga{};
    std::array<uint8_t, 256> eeprom{};
    uint8_t eepromPointer = 0;
    bool sensorAnswers = true;
    // FPGA register 2 reads busyBits for this many reads after each sensor
    // write (kAlwaysBusy: for ever), then 0.
    int busyReadsPerTransfer = 0;
    int busyReadsLeft = 0;
    uint8_t busyBits = 0x80;
    int busyReads = 0;
    int sensorReads = 0;
};

}  // namespace vantix::imx_test
