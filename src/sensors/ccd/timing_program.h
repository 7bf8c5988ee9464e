#pragma once
// The timing-generator programs of the interline CCD heads. The FPGA of these
// cameras holds the CCD's timing generator and analog front end; the library
// loads its program through the camera registers at every open. A program is
// a fixed sequence of steps: camera-register writes (bit 15 of the address
// selects the bank; most settings go to both banks, bank 1 first) and, between
// its sections, FPGA clock enables, each preceded by a 1 ms pause.
//
// Every program has the same structure:
//   reset words, enable 33 (timing-generator clock), the reset words again,
//   enable 32, the edge tables of both banks (0x400-0x4BF), enable 34, the
//   mode and sequence registers of both banks, enable 35, the front-end words
//   of both banks (0x40-0x4F), enable 31, the run words, enables 36, 37, 224.
// The members differ in their edge positions, mode values and front-end words.
#include <cstdint>
#include <span>

namespace vantix::ccd {

struct TimingStep {
    enum class Kind : uint8_t {
        CameraRegister,  // camera register `address` = `value`
        FpgaEnable,      // pause 1 ms, then FPGA register `address` = 1
    };
    Kind kind;
    uint16_t address;
    uint32_t value;
};

// Camera-register writes per program: 9 + 9 reset words, 2 x 192 edge
// entries, 2 x 36 mode registers, 2 x 16 front-end words, 4 run words.
inline constexpr size_t kTimingProgramWrites = 510;
// The FPGA enables in program order.
inline constexpr uint8_t kTimingEnables[] = {33, 32, 34, 35, 31, 36, 37, 224};
inline constexpr size_t kTimingProgramSteps = kTimingProgramWrites + std::size(kTimingEnables);

std::span<const TimingStep> TimingProgramQ105();
std::span<const TimingStep> TimingProgramQ106();
std::span<const TimingStep> TimingProgramQ107();

}  // namespace vantix::ccd
