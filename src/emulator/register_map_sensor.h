#pragma once
// A sensor on the serial bus described as data: its register map (address
// width, value width, power-on values, read-only registers) and the fields
// that set its timing and picture (line and frame length, exposure, gain,
// pixel clock). Every sensor family's personality is one such description;
// a family with timing rules beyond these fields adds them as fields here.
//
// Bus format: a write of [address..., value bytes...] stores bytes from that
// register on; a write of the address alone sets the pointer; a read returns
// bytes from the pointer on. The pointer advances past what was written or
// read and wraps at the end of the map. Values are big-endian on the bus.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "emulator/sensor_personality.h"

namespace vantix::emulator {

struct RegisterWord {
    uint16_t address;
    uint16_t value;
};

// A value held in one register, or (valueBytes 1) spread over `registers`
// consecutive byte registers, lowest byte first. Address 0: not present.
struct RegisterField {
    uint16_t address = 0;
    uint8_t registers = 1;
    uint32_t mask = 0xFFFFFFFF;
};

// A size given as a window register and a skip field: the output is
// (size register + 1) / (skip + 1), rounded up, plus a blanking register.
struct SkippedLength {
    RegisterField size = {};
    RegisterField skipMode = {};  // its `mask` selects the skip field
    RegisterField blank = {};
};

// A pixel clock chosen by a divider register's value.
struct ClockChoice {
    uint16_t dividerValue;
    uint32_t pixelClockKHz;
};

struct RegisterMapDescription {
    uint8_t addressBytes = 2;      // 1 or 2 address bytes on the bus
    uint8_t valueBytes = 2;        // bytes per register
    uint8_t bytesPerAddress = 1;   // bytes between consecutive addresses
    std::span<const RegisterWord> powerOn = {};
    std::span<const uint16_t> readOnly = {};
    // Line length in pixels and frame length in lines: a register each, or
    // (where the register field is absent) derived from the window.
    RegisterField lineLength = {};
    RegisterField frameLength = {};
    SkippedLength derivedLineLength = {};
    SkippedLength derivedFrameLength = {};
    RegisterField exposureLines = {};
    RegisterField gainCode = {};
    // The window's first column and row on the array.
    RegisterField windowColumn = {};
    RegisterField windowRow = {};
    uint32_t pixelClockKHz = 0;  // fixed, or the clock of a divider value not listed
    RegisterField clockDivider = {};
    std::span<const ClockChoice> clockChoices = {};
};

class RegisterMapSensor : public SensorPersonality {
public:
    explicit RegisterMapSensor(const RegisterMapDescription& description);

    bool Write(const uint8_t* data, size_t count) override;
    bool Read(uint8_t* data, size_t count) override;
    // One frame of line length x frame length pixel clocks. A frame is
    // stretched to exposure + 1 lines when the exposure is longer, as the
    // sensors do.
    uint32_t FramePeriodUs() const override;
    // (exposure time / power-on exposure time) x (gain code / power-on gain
    // code): 1 at the power-on settings. The exposure time is lines x line
    // length / pixel clock, so the same time gives the same picture whatever
    // the window's line length.
    double Brightness() const override;
    uint32_t WindowColumn() const override { return Field(map_.windowColumn); }
    uint32_t WindowRow() const override { return Field(map_.windowRow); }

    uint16_t Word(uint16_t address) const;
    // Sets a register directly, read-only ones included (for tests).
    void SetWord(uint16_t address, uint16_t value);
    uint32_t PixelClockKHz() const;
    uint32_t LineLengthPixels() const;
    uint32_t FrameLengthLines() const;

private:
    size_t Offset(uint32_t address) const;
    bool IsReadOnly(size_t offset) const;
    uint32_t Field(const RegisterField& field) const;
    uint32_t Length(const RegisterField& direct, const SkippedLength& derived) const;
    double ExposureMs(uint32_t lines) const;

    const RegisterMapDescription& map_;
    std::vector<uint8_t> bytes_;
    size_t pointer_ = 0;  // byte offset into bytes_
    double nominalExposureMs_ = 1;
    double nominalGain_ = 1;
};

}  // namespace vantix::emulator
