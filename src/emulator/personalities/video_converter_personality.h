#pragma once
// The video converter behind model 0x3130's FPGA. The host claims the
// converter's bus (FPGA 57: bit 0 reads 1 while it is busy) and writes a
// packet {length + 1, STX, characters, ETX} to bus address 0x42. The
// converter answers by setting bit 0 of FPGA 3 and putting its reply's
// length into FPGA 4; the host then writes the byte 64 and reads that many
// bytes: the reply text and a status byte, ACK (0x06) or NAK (0x05).
// Commands (upper case only):
//   VER   firmware version  "CNV-1.02"
//   SIG   input signal      "1080P60"
//   RST   reset             (no text)
// Anything else is refused with a NAK alone; a malformed packet gets no
// answer. Frames carry three planes of the 1920 x 1080 picture.
#include <cstdint>
#include <string>

#include "emulator/head_personality.h"

namespace vantix::emulator {

class VideoConverterPersonality : public HeadPersonality {
public:
    explicit VideoConverterPersonality(const VirtualModel& model);

    bool BusWrite(uint8_t address, const uint8_t* data, size_t count) override;
    bool BusRead(uint8_t address, uint8_t* data, size_t count) override;
    uint8_t ReadFpgaRegister(uint8_t reg) override;
    FrameGeometry Geometry(uint8_t modeByte) const override;

    // ---- Faults and inspection, for tests ----
    void SetBusBusy(bool busy) { busBusy_ = busy; }
    // The text of the last well-formed packet.
    const std::string& LastCommand() const { return lastCommand_; }
    uint32_t Packets() const { return packets_; }

private:
    std::string reply_;
    std::string lastCommand_;
    bool busBusy_ = false;
    uint32_t packets_ = 0;
};

}  // namespace vantix::emulator
