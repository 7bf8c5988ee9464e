#pragma once
// The SWIR head whose own controller takes ASCII commands over a serial
// link, which the camera's FPGA bridges to register 0 of bus device 0x48:
// a write of {0x00, 0x00, byte} sends a byte to the head, a one-byte read
// takes the next byte of its replies (no acknowledge while it has none).
// Commands end with LF (a CR before it is ignored) and are answered with one
// line each:
//
//   "n"               identity          "VANTIX-Q121-CL"
//   "x -c"            end of handshake  "OK"
//   "i -v <lines>"    exposure          "OK"
//   "g -v <gain>"     gain, 0-255       "OK"
//   "d -y 7306418"    enter debug mode  "Welcome Debug Mode!"
//   "d -n"            leave debug mode  "Good Bye!"
//   "q -w xRR xVV"    head FPGA write   "Fpga Write   : 0xRR : 0xVV"
//                     (debug mode only; the numbers in upper-case hex)
//
// Replies end with CR LF. Anything else (a wrong access code, an FPGA write
// outside debug mode, a malformed number) is answered "Unknown Command".
// Faults: a head that stops answering, and one whose replies arrive garbled.
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "emulator/head_personality.h"

namespace vantix::emulator {

class SerialHeadPersonality : public HeadPersonality {
public:
    explicit SerialHeadPersonality(const VirtualModel& model);

    bool BusWrite(uint8_t address, const uint8_t* data, size_t count) override;
    bool BusRead(uint8_t address, uint8_t* data, size_t count) override;
    // A frame lasts at least the exposure (units of 17.5 us) and 1/30 s.
    uint32_t FramePeriodUs() const override;
    // Exposure and gain against their power-on values.
    double Brightness() const override;

    // ---- Faults and inspection, for tests ----
    // Commands are taken but never answered.
    void SetSilent(bool silent) { silent_ = silent; }
    // Every reply has its first character changed.
    void SetGarbled(bool garbled) { garbled_ = garbled; }
    // Reply bytes trickle in: the bridge has each byte ready only at the
    // second read, so a reader sees the link run dry between any two bytes.
    void SetSlowLink(bool slow) { slow_ = slow; }
    // Queues bytes as if the head had sent them.
    void InjectReply(const std::string& bytes);
    // Every command line received, in order, without its line end.
    const std::vector<std::string>& Commands() const { return commands_; }
    bool DebugMode() const { return debugMode_; }
    uint8_t HeadFpgaRegister(uint8_t reg) const { return headFpga_[reg]; }
    int32_t ExposureLines() const { return exposureLines_; }
    int32_t Gain() const { return gain_; }
    // Bytes written to the bridge, in order.
    const std::string& ReceivedBytes() const { return received_; }

private:
    void Execute(const std::string& command);
    void Reply(std::string line);

    std::string line_;
    std::string received_;
    std::deque<uint8_t> replies_;
    std::vector<std::string> commands_;
    std::array<uint8_t, 256> headFpga_{};
    bool debugMode_ = false;
    bool silent_ = false;
    bool garbled_ = false;
    bool slow_ = false;
    bool byteReady_ = false;
    int32_t exposureLines_;
    int32_t gain_;
};

}  // namespace vantix::emulator
