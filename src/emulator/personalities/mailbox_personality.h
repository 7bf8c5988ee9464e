#pragma once
// The heads whose sensor belongs to a microcontroller behind the FPGA. The
// host stages values in FPGA registers and writes a command to register 160;
// the microcontroller sets the busy bit (bit 0 of register 32) while it
// works, for a number of status reads rather than a time, so tests repeat
// exactly. Commands:
//   1  commits the write window (192-223) into sensor registers 64-95
//   2  reads sensor registers 64-95 into the read window (64-95) and the
//      temperature code into 169/170
//   4  applies the staged timing: exposure (226-229), line length (230/231),
//      window rows, sensor mode code (224)
//   8  refreshes the line length (102/103), the mode status (96, the applied
//      mode code) and the information block (116-123)
// The head's own status byte answers bus reads at 0x5E (read address 0x5F):
// low nibble 0 when ready.
#include <array>
#include <cstdint>

#include "emulator/head_personality.h"

namespace vantix::emulator {

struct MailboxDescription {
    uint16_t lineLengthClocks;  // at power-on
    uint32_t pixelClockKHz;
    uint32_t powerOnExposureLines;
    uint8_t powerOnGain;        // FPGA 138 (the gain code at power-on)
    uint16_t temperatureCode;   // the sensor's temperature code at room temperature
    uint16_t firmwareVersion;   // FPGA 0x11 (high) and 0x10 (low)
    uint8_t info[8];            // registers 116-123
    // Sensor registers 83, 84 (black level), 89, 90 (gain step), 65, 69 at
    // power-on.
    uint8_t blackLow, blackHigh, gainStepA, gainStepB, mode65, mode69;
};

class MailboxPersonality : public HeadPersonality {
public:
    MailboxPersonality(const VirtualModel& model, const MailboxDescription& description);

    bool BusRead(uint8_t address, uint8_t* data, size_t count) override;
    uint8_t ReadFpgaRegister(uint8_t reg) override;
    void WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    // Exposure (or the frame height, whichever is longer) in lines of the
    // applied line length.
    uint32_t FramePeriodUs() const override;
    // Applied exposure and gain against their power-on values.
    double Brightness() const override;

    // ---- Faults and inspection, for tests ----
    // Status reads that report busy after each command (2 by default).
    void SetBusyReads(uint32_t reads) { busyReads_ = reads; }
    // The busy bit never clears.
    void SetStuckBusy(bool stuck) { stuck_ = stuck; }
    // The head's status byte reads "booting" this many times first.
    void SetBootReads(uint32_t reads) { bootReadsLeft_ = reads; }
    void SetTemperatureCode(uint16_t code) { temperatureCode_ = code; }
    uint8_t SensorRegister(uint8_t reg) const { return sensor_[reg]; }
    uint32_t AppliedExposureLines() const { return exposureLines_; }
    uint32_t AppliedLineLength() const { return lineLength_; }
    uint8_t AppliedModeCode() const { return modeCode_; }
    uint32_t Commands() const { return commands_; }

private:
    void Execute(uint8_t command);

    const MailboxDescription description_;
    std::array<uint8_t, 256> sensor_{};
    uint32_t busyReads_ = 2;
    uint32_t busyLeft_ = 0;
    bool stuck_ = false;
    uint32_t bootReadsLeft_ = 0;
    uint16_t temperatureCode_;
    uint32_t exposureLines_;
    uint32_t lineLength_;
    uint8_t modeCode_ = 79;
    uint32_t commands_ = 0;
};

// The description of the head of a model's row (EmulatedHead::Mailbox2048
// or Mailbox4096).
const MailboxDescription& MailboxDescriptionOf(EmulatedHead head);

}  // namespace vantix::emulator
