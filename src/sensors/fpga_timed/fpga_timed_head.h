#pragma once
// CFpgaTimedHead: the family base of the heads whose sensor timing the
// camera's FPGA generates: the InGaAs area heads and the line-scan heads.
// Exposure, gain and the frame height are FPGA registers; nothing goes to a
// sensor bus. The base holds what the members share: register access,
// exposure (24 bits in pixel clocks or lines) with each member's law from
// time to counts, the gain register, areas on the member's grid (for line
// heads the height is the number of lines gathered into one frame) and the
// opening skeletons. What the members differ in is one FpgaTimedConstants
// record each (fpga_timed_members.h).
#include <cstdint>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix::fpga_timed {

enum class HeadKind : uint8_t {
    InGaAsArea,  // a 2-D array the FPGA always reads whole; exposure in pixel clocks
    LineScan,    // a line sensor; frames are gathered from the window height's lines
};

// How an exposure time (0.1 ms units) becomes the exposure count.
enum class ExposureLaw : uint8_t {
    ClocksLessOffset,  // clocks = us / 1000 x clock(kHz) - 6.25 (also takes seconds)
    Clocks,            // clocks = t / 10 x clock(kHz)
    CoarseSteps,       // steps of 8 ms beyond 50 ms: (t / 20 - 25) >> 2
    Lines,             // one unit is one line time
};

struct FpgaTimedConstants {
    int32_t maxWidth, maxHeight;          // line heads: 32768 lines per frame at most
    int32_t defaultWidth, defaultHeight;
    int32_t openingLines;                 // line heads: lines per frame set at open
    ParameterRange gain, exposureLines, exposureTime;
    // Exposure in seconds (all zero where the head does not take it).
    double exposureSecondsMin, exposureSecondsMax, exposureSecondsDefault;
    int32_t pixelClockKHz;
    int32_t frameLayout;  // SensorInfo word 84
    HeadKind kind;
    ExposureLaw law;
    // Windows start and extend on a grid of 4 columns and 2 rows (rounded
    // up); false: any column and row.
    bool roundedArea;
};

}  // namespace vantix::fpga_timed

namespace vantix {

class CFpgaTimedHead : public CSensorBase {
public:
    int32_t Detect() override;
    // InGaAs heads: wait for the head to start, adopt the camera's exposure,
    // then the default gain, mirrors and the full area. Line heads: read gain
    // and exposure back, then the defaults and the opening line count.
    // Fails when the camera refuses a default setting.
    int32_t Initialize() override;
    // x and width, y and height on the head's grid, inside the array; area
    // mode 0 only (the FPGA neither bins nor skips). Line heads program the
    // height as the lines per frame. Nothing is stored when refused.
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // The transfer depth is the engine's FPGA register; the head has nothing to set.
    int32_t SetBitDepth(int32_t sixteenBit) override;
    // 24 bits over registers 226-228, kept inside the exposure range.
    int32_t SetExposureLines(int32_t lines) override;
    int32_t GetExposureLines(int32_t* lines) override;
    // Register 146, kept inside the gain range.
    int32_t SetGain(int32_t gain) override;
    int32_t GetGain(int32_t* gain) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    int32_t SetExposureSeconds(double seconds) override;
    // The FPGA cannot mirror: the flag is kept, the result is 0.
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;
    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    // FPGA registers 0-255, one byte each.
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadRegister(uint32_t address, uint32_t* value) override;
    bool GetWindowRules(WindowRules* rules) const override;

protected:
    CFpgaTimedHead(CControllerBase* controller, uint8_t deviceAddress, const fpga_timed::FpgaTimedConstants& constants);

    int32_t SetExposureMicroseconds(uint64_t microseconds) override;

    // Opening steps the members compose.
    // Reads the camera-ready register until it is non-zero, at most 10
    // times 1 s apart; the opening goes on either way (the head may still be
    // starting), so the result only says whether it answered ready.
    bool WaitUntilStarted();
    // The camera's exposure count becomes the current and default lines,
    // then the default gain, mirrors and the full area.
    int32_t ApplyAreaDefaults();
    // Gain and exposure read back, the default gain and exposure, and the
    // opening line count.
    int32_t ApplyLineDefaults();

    int32_t WriteFpga(uint8_t reg, int32_t value);
    bool ReadFpga(uint8_t reg, uint8_t* value);

    const fpga_timed::FpgaTimedConstants& k_;
};

}  // namespace vantix
