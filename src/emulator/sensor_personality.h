#pragma once
// The image sensor behind the virtual camera's serial bus. Each sensor family
// brings its own personality (register map, timing, how exposure and gain
// change the picture); PlainRegisterFile serves until then.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace vantix::emulator {

class SensorPersonality {
public:
    SensorPersonality() = default;
    SensorPersonality(const SensorPersonality&) = delete;
    SensorPersonality& operator=(const SensorPersonality&) = delete;
    virtual ~SensorPersonality() = default;

    // A bus write of `count` bytes to the sensor's address. False: no
    // acknowledge (the bus request fails).
    virtual bool Write(const uint8_t* data, size_t count) = 0;
    // A bus read of `count` bytes from the sensor's read address.
    virtual bool Read(uint8_t* data, size_t count) = 0;
    // Time between frames in microseconds at the programmed timing.
    virtual uint32_t FramePeriodUs() const = 0;
    // Picture brightness from the programmed exposure and gain, 1 = nominal.
    virtual double Brightness() const = 0;
    // The window's first column and row on the sensor, as programmed; 0, 0
    // for a sensor that does not say.
    virtual uint32_t WindowColumn() const { return 0; }
    virtual uint32_t WindowRow() const { return 0; }
};

// A 64 KiB register space with a 16-bit address pointer, big-endian on the
// bus as the sensors' two-wire interfaces are: a write of [address high,
// address low, bytes...] stores the bytes from that address on; a write of
// just the address moves the pointer; a read returns bytes from the pointer
// on, advancing it.
class PlainRegisterFile : public SensorPersonality {
public:
    bool Write(const uint8_t* data, size_t count) override;
    bool Read(uint8_t* data, size_t count) override;
    uint32_t FramePeriodUs() const override { return kDefaultFramePeriodUs; }
    double Brightness() const override { return 1.0; }

    uint16_t Word(uint16_t address) const;

private:
    static constexpr uint32_t kDefaultFramePeriodUs = 50000;  // 20 frames per second
    std::array<uint8_t, 0x10000> bytes_{};
    uint16_t pointer_ = 0;
};

std::unique_ptr<SensorPersonality> MakePlainRegisterFile();

}  // namespace vantix::emulator
