#pragma once
// The CCD heads' FPGA: a timing generator and analog front end behind the
// camera registers. A head with a loaded program streams only once the host
// has written the whole program in its order: the reset words (twice, the
// second time with the generator's clock on), both banks' edge tables
// 0x400-0x4BF entry by entry, the front-end words 0x40-0x4F after them, and
// the run word 0x3038063 in bank 0's register 0x13 with sequence 1 selected
// in both banks, while the FPGA's clock enables 33, 32, 34, 35, 31, 36, 37
// and 224 are set in that order. Anything out of order marks the program
// broken until the next reset words; a generator that does not run reads out
// nothing (the frame header announces no payload). Stopping the clocks
// (control word 3, or an enable cleared) ends the run.
//
// The picture follows the exposure (the shutter line in FPGA 0xE2/0xE3, or
// lines in camera register 0x8003 on the head with a resident program) and
// the front-end gain (camera register 5, or FPGA 0xA0/0xA1 left-aligned).
#include <array>
#include <cstdint>

#include "emulator/head_personality.h"

namespace vantix::emulator {

class CcdTimingHead : public HeadPersonality {
public:
    explicit CcdTimingHead(const VirtualModel& model);

    void WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    void WriteCameraRegister(uint16_t key, uint32_t value) override;
    FrameGeometry Geometry(uint8_t modeByte) const override;
    double Brightness() const override;

    // Whether the generator reads out frames.
    bool Running() const;
    bool ProgramBroken() const { return broken_; }

private:
    void StartProgram();
    void Break() { broken_ = true; }
    double ExposureFraction() const;
    uint32_t GainCode() const;

    const bool programLoaded_;
    const bool fpgaGain_;
    int preambles_ = 0;
    std::array<uint32_t, 2> edgeNext_{};      // next edge entry per bank
    std::array<uint32_t, 2> frontEndNext_{};  // next front-end word per bank
    std::array<uint32_t, 2> sequence_{};      // register 0x11 per bank
    uint32_t runWordBank1_ = 0;               // register 0x8013
    size_t enables_ = 0;                      // clock enables set in order
    bool broken_ = false;
    bool started_ = false;
    bool clocksStopped_ = false;
    uint32_t gainRegister_ = 0;     // camera register 5
    uint32_t exposureLines_ = 0;    // camera register 0x8003
};

}  // namespace vantix::emulator
