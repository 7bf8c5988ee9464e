#pragma once
// CCcdSensor: the family base of the CCD heads. Their CCD has no bus of its
// own: the camera's FPGA holds the timing generator and the analog front
// end, and every setting is a camera register (two banks, bit 15 of the
// address) or an FPGA register. The base holds what the members share:
// register access (with the interline heads' shadow of every written camera
// register), trigger, shutter, gain, black level, the per-channel gains and
// offsets, mirrors, and the loading of the timing-generator program. What the
// members differ in is one CcdConstants record each (ccd_members.h).
#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "sensors/ccd/timing_program.h"
#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix::ccd {

// Where the exposure goes.
enum class ShutterPath : uint8_t {
    FpgaShutterLine,      // FPGA 0xE2/0xE3: the line at which the electronic shutter ends
    CameraRegisterLines,  // camera register 0x8003: exposure in lines
};

// Where the gain code goes.
enum class GainPath : uint8_t {
    CameraRegisterBothBanks,  // code & 0x3FF to 0x8005 and 0x0005
    CameraRegister,           // code to 0x0005
    FpgaLeftAligned,          // FPGA 0xA0/0xA1: the 10-bit code in bits 6-15
};

// An FPGA register pair holding a 16-bit value, low byte first.
struct FpgaPair {
    uint8_t low, high;
};

struct CcdConstants {
    int32_t maxWidth, maxHeight;
    int32_t totalWidth, totalHeight;
    int32_t gainMin, gainMax, gainDefault;
    int32_t linesMin, linesMax, linesDefault;
    int32_t timeMin, timeMax, timeDefault;  // 0.1 ms
    int32_t pixelClockKHz;
    int32_t frameLayout;  // SensorInfo word 84
    // Interline heads: a shadow of written camera registers answers reads;
    // the mirrors live in FPGA register 63; black level and per-channel
    // front-end trims exist. The others pass reads through and keep mirror
    // flags only.
    bool interline;
    ShutterPath shutter;
    GainPath gain;
    // Exposure time of the interline heads: a line lasts lineTimeK /
    // pixelClockKHz units of 0.1 ms, and the shutter line counts down from
    // shutterReference (one more than the lines maximum). 0: one unit is one
    // line.
    int32_t lineTimeK;
    int32_t shutterReference;
    std::array<FpgaPair, 4> channelGain, channelOffset;
    // The timing-generator program; empty for a head whose program is
    // resident in the camera.
    std::span<const TimingStep> (*program)();
};

}  // namespace vantix::ccd

namespace vantix {

class CCcdSensor : public CSensorBase {
public:
    int32_t Detect() override;
    // Loads the timing-generator program, then the defaults of trigger,
    // gain, exposure, mirrors and area. Fails at the first write the camera
    // refuses: a program cut short leaves the generator without frames.
    int32_t Initialize() override;
    // The image area is always the full array: accepted, nothing changes.
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // Camera register 0x8002 = 1 (external trigger) or 0; the mode is kept
    // in the control-flags word.
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetGain(int32_t gain) override;
    int32_t SetChannelGain(int32_t channel, int32_t value) override;
    int32_t GetChannelGain(int32_t channel, int32_t* value) override;
    int32_t GetChannelGainMin(int32_t* value) override;
    int32_t GetChannelGainMax(int32_t* value) override;
    int32_t GetChannelGainDefault(int32_t* value) override;
    int32_t SetChannelOffset(int32_t channel, int32_t value) override;
    int32_t GetChannelOffset(int32_t channel, int32_t* value) override;
    int32_t GetChannelOffsetMin(int32_t* value) override;
    int32_t GetChannelOffsetMax(int32_t* value) override;
    int32_t GetChannelOffsetDefault(int32_t* value) override;
    int32_t SetBlackLevel(int32_t value) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;
    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    // Camera registers: 12-bit register numbers in two banks (bit 15), values
    // of up to 26 bits. The interline heads record each accepted write in
    // their shadow and answer reads from it; a register never written reads
    // as a failure.
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadRegister(uint32_t address, uint32_t* value) override;

protected:
    CCcdSensor(CControllerBase* controller, uint8_t deviceAddress, const ccd::CcdConstants& constants);

    // Trigger off, the default gain, exposure, mirrors and the full area.
    int32_t ApplyDefaults();

    const ccd::CcdConstants& k_;

private:
    int32_t WriteTimingProgram();
    int32_t WriteFpgaPair(ccd::FpgaPair pair, int32_t value);
    int32_t SetMirrorBit(uint8_t bit, int32_t on, int32_t* flag);

    // Two banks of 4096 words; kUnwritten marks a register never written.
    static constexpr uint32_t kUnwritten = 0xAAAAAAAA;
    std::unique_ptr<std::array<uint32_t, 2 * 4096>> shadow_;
};

}  // namespace vantix
