#pragma once
// The Aptina CMOS sensors behind the virtual camera's serial bus: a file of
// 16-bit registers, big-endian on the bus, with 16-bit register addresses
// (MT9F001, MT9F002, MT9J001) or 8-bit ones (MT9P001). Frame timing follows
// the programmed line and frame length, picture brightness the programmed
// exposure and gain.
//
// Bus format: a write of [address..., value hi, value lo, ...] stores words
// from that register on; a write of the address alone sets the pointer; a
// read returns two bytes per register from the pointer on. The pointer
// advances past what was written or read. Register 0 (chip version) is read
// only.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "emulator/sensor_personality.h"

namespace vantix::emulator {

enum class AptinaSensorKind : uint8_t { MT9F001, MT9F002, MT9J001, MT9P001 };

// A sensor's register map and power-on values (aptina_personality.cpp).
struct AptinaSensorModel;

class AptinaPersonality : public SensorPersonality {
public:
    explicit AptinaPersonality(AptinaSensorKind kind);

    bool Write(const uint8_t* data, size_t count) override;
    bool Read(uint8_t* data, size_t count) override;
    // One frame of line length x frame length pixel clocks. A frame is
    // stretched to exposure + 1 lines when the exposure is longer, as the
    // sensor does.
    uint32_t FramePeriodUs() const override;
    // (exposure lines / power-on lines) x (gain code / power-on gain code):
    // 1 at the power-on settings.
    double Brightness() const override;

    AptinaSensorKind Kind() const { return kind_; }
    uint16_t Word(uint16_t address) const;
    // Sets a register directly, read-only ones included (for tests).
    void SetWord(uint16_t address, uint16_t value);
    // MT9F001/MT9F002: 96 MHz. MT9J001: from the PLL divider 0x0302 (1: 80,
    // 2: 32, 4: 16 MHz; other values 80). MT9P001: 80 MHz.
    uint32_t PixelClockKHz() const;
    uint32_t LineLengthPixels() const;
    uint32_t FrameLengthLines() const;

private:
    size_t Offset(uint32_t address) const;
    uint16_t ExposureLines() const;
    uint16_t GainCode() const;

    AptinaSensorKind kind_;
    const AptinaSensorModel& model_;
    std::vector<uint8_t> bytes_;
    size_t pointer_ = 0;  // byte offset into bytes_
    double nominalLines_ = 1;
    double nominalGain_ = 1;
};

// The sensor of a camera model: 0x3020 carries MT9F002 (or MT9F001 when
// `olderSensor` is set), 0x3030 MT9P001, 0x3040 and 0x3042 MT9J001. Other
// models: nullptr.
std::unique_ptr<SensorPersonality> MakeAptinaPersonality(uint16_t modelId, bool olderSensor = false);
std::unique_ptr<SensorPersonality> MakeMt9f001Personality();

}  // namespace vantix::emulator
