#pragma once
// The camera head behind the virtual camera's USB controller: everything the
// host reaches through the controller's ports. The serial bus (writes and
// reads at any address: the FPGA register file at 0x40, auxiliary registers
// at 0x5A, the configuration EEPROM at 0xA2, the sensor at the model's
// address), the FPGA registers themselves, the camera registers (two banks),
// and the geometry and timing of the next frame.
//
// The defaults here are the standard head: an FPGA that keeps the window and
// depth registers and a sensor personality on the bus. A head with its own
// controller (a mailbox, a byte bridge, a packet protocol, a timing program
// behind the camera registers) derives and overrides the ports it answers on.
// The virtual camera calls every port with its lock held.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "emulator/scene.h"
#include "emulator/sensor_personality.h"
#include "emulator/virtual_models.h"

namespace vantix::emulator {

class HeadPersonality {
public:
    explicit HeadPersonality(const VirtualModel& model);
    virtual ~HeadPersonality();
    HeadPersonality(const HeadPersonality&) = delete;
    HeadPersonality& operator=(const HeadPersonality&) = delete;

    // ---- The serial bus: `address` is the 8-bit write address (reads come
    // with it, the read bit cleared). False: no acknowledge. ----
    virtual bool BusWrite(uint8_t address, const uint8_t* data, size_t count);
    virtual bool BusRead(uint8_t address, uint8_t* data, size_t count);

    // ---- FPGA registers: what a bus read of a register answers, and a
    // register written (by the host over the bus, or by a test). ----
    virtual uint8_t ReadFpgaRegister(uint8_t reg);
    virtual void WriteFpgaRegister(uint8_t reg, uint8_t value);
    // The stored value, without a read's side effects.
    uint8_t FpgaRegisterValue(uint8_t reg) const { return fpga_[reg]; }

    // ---- Camera registers; key = bank << 15 | address. ----
    virtual void WriteCameraRegister(uint16_t key, uint32_t value);
    virtual uint32_t ReadCameraRegister(uint16_t key);

    // ---- The next frame: its geometry from the programmed window and depth
    // (`modeByte` is the controller's mode byte), its period at the
    // programmed timing, and its brightness (1 = nominal). ----
    virtual FrameGeometry Geometry(uint8_t modeByte) const;
    virtual uint32_t FramePeriodUs() const;
    virtual double Brightness() const;
    // The frame index the scene is rendered at for frame `frameCounter`
    // (heads that gather a frame from successive lines advance it by lines).
    virtual uint32_t SceneFrameIndex(uint32_t frameCounter) const { return frameCounter; }

    // The frame counter, whose low byte FPGA register 8 reads.
    void SetFrameCounter(uint32_t counter) { frameCounter_ = counter; }

    // FPGA register 2 (the sensor-bus busy word) reads 1 for this many reads
    // after each transfer to the sensor, then 0; 0 (the default) is never
    // busy. Counted in reads, not time, so tests repeat exactly.
    void SetSensorBusBusyReads(uint32_t reads) { busyReadsPerTransfer_ = reads; }

    uint8_t EepromByte(uint16_t address) const { return (*eeprom_)[address]; }
    void ReplaceSensor(std::unique_ptr<SensorPersonality> sensor) { sensor_ = std::move(sensor); }
    SensorPersonality& Sensor() { return *sensor_; }
    const SensorPersonality& Sensor() const { return *sensor_; }
    const VirtualModel& Model() const { return model_; }

protected:
    const VirtualModel model_;
    std::array<uint8_t, 256> fpga_{};

private:
    std::array<uint8_t, 256> aux_{};
    uint8_t fpgaPointer_ = 0;
    uint8_t auxPointer_ = 0;
    std::unique_ptr<std::array<uint8_t, 0x10000>> eeprom_;
    uint16_t eepromPointer_ = 0;
    std::chrono::steady_clock::time_point eepromBusyUntil_{};
    std::unique_ptr<SensorPersonality> sensor_;
    std::unordered_map<uint16_t, uint32_t> cameraRegisters_;
    uint32_t frameCounter_ = 0;
    uint32_t busyReadsPerTransfer_ = 0;
    uint32_t busyReadsLeft_ = 0;
};

}  // namespace vantix::emulator
