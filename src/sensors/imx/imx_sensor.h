#pragma once
// CImxSensor: the family base of the CMOS heads whose sensors hold 8-bit
// registers at 16-bit addresses on the serial bus (bus address 0x48). They
// share one pattern: a frame length (lines per frame) and a line length that
// the class shadows, an exposure written as the frame length minus the
// shutter start line, a gain code spread over one or two byte registers,
// mirror bits in one control register, and a window programmed as start and
// size pairs. The base holds that pattern once; everything in which the
// members differ as numbers (sizes, ranges, clocks, register addresses,
// masks, timing constants, the Initialize steps that apply) is one
// ImxConstants record per member, side by side in imx_members.h.
#include <array>
#include <cstdint>
#include <span>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix::imx {

// How a member reaches its registers.
enum class Transfers : uint8_t {
    Plain,           // plain bus transfers only
    PacedPlain,      // plain; 1 ms before every write (the oldest heads)
    IdleWaitShadow,  // plain; every write waits for the FPGA to free the bus and is
                     // kept in a 256-byte shadow that reads answer from
    IdleWait,        // as IdleWaitShadow, but reads go to the sensor
    Checked,         // writes that count only once read back, while the FPGA leaves the bus alone
    HandOver,        // the host takes the bus from the FPGA around each checked transfer
};

// A value spread over consecutive byte registers, lowest byte first; the last
// register keeps the bits of `topMask`. count 0: the member has none.
struct ByteRegisters {
    uint16_t address = 0;
    uint8_t count = 0;
    uint8_t topMask = 0xFF;
};

// One register of the gain code: receives (code >> shift) & mask.
struct GainRegister {
    uint16_t address = 0;
    uint8_t shift = 0;
    uint8_t mask = 0xFF;
};

// How the exposure reaches the sensor.
enum class ExposureLaw : uint8_t {
    FrameMinusShutter,  // shutter start = frame length - lines; a longer exposure stretches the frame
    FixedFrame,         // the same, but the frame length is fixed: lines up to frame length - margin
    DirectLines,        // the register holds the lines themselves
};

// Where the window is cut out.
enum class WindowCut : uint8_t {
    Sensor,    // start and size pairs in the sensor, counted from the far edge of the array
    FpgaOnly,  // the sensor reads the whole array and the FPGA keeps the window
};

struct WindowRegisters {
    uint16_t windowMode = 0;   // bit 0: horizontal cropping, bit 1: vertical cropping
    uint16_t readoutMode = 0;  // full or binned readout
    ByteRegisters hStart, vStart, width, height;
};

// What Initialize does before the defaults.
enum class Readiness : uint8_t {
    None,
    StatusDevice,           // bus device 0x5E answers two zero bytes (20 reads)
    StatusDeviceThenFpga,   // 300 reads 10 ms apart, then the FPGA's busy bits clear, then FPGA 96 = 1
};

struct RegisterValue {
    uint16_t address;
    uint8_t value;
};

struct ImxConstants {
    Transfers transfers;
    // Pixel array; line length (pixels) and frame length (lines) at power-on.
    int32_t maxWidth, maxHeight;
    int32_t totalWidth, totalHeight;
    // Gain codes 0..gainMax, written to the registers in order with a pause
    // after the first (the sensor latches the high bits first).
    int32_t gainMax, gainDefault;
    std::array<GainRegister, 6> gain;
    uint8_t gainRegisters;
    uint32_t gainPauseMs;
    // Exposure ranges: lines, units of 0.1 ms, seconds (secondsSupported: word 70).
    int32_t linesMin, linesMax, linesDefault;
    int32_t timeMin, timeMax, timeDefault;
    int32_t secondsSupported;
    double secondsMin, secondsMax, secondsDefault;
    // Black level (slot 47) where blackLevel has registers; blackLevelSupported
    // is word 56, which slot 46 reports.
    ByteRegisters blackLevel;
    int32_t blackLevelMax, blackLevelDefault, blackLevelSupported;
    // Mirror bits in one readout-control register (0: no sensor mirroring).
    uint16_t mirrorRegister;
    uint8_t mirrorHBit, mirrorVBit;
    int32_t pixelClockKHz;
    int32_t word84;
    int32_t variant;  // stored at construction; the factory may set another
    // Timing registers and the exposure law.
    ExposureLaw exposureLaw;
    ByteRegisters frameLength, lineLength, shutter;
    int32_t shutterMargin;  // fewest lines between the shutter start and the frame end
    int32_t initialFrameLines, initialLineLength;
    // Exposure in microseconds: lineTime = lineClocks * 1000 / pixelClockKHz
    // (binnedLineClocks in area modes other than 0), lines = (us - offset) / lineTime.
    double lineClocks, binnedLineClocks, exposureOffsetUs;
    // Window: alignment of x and width, of y and height; smallest sizes at 8
    // and 16 bits per sample.
    WindowCut windowCut;
    WindowRegisters window;
    int32_t alignX, alignY, binnedAlignY;
    int32_t minWidth8, minWidth16, minHeight;
    // Frame length of a window = height + verticalBlank; of the whole array
    // fullFrameLines. Binned modes (1 and 17; 0: none) have fixed lengths.
    int32_t verticalBlank, fullFrameLines, windowLineLength;
    int32_t binnedFrameLines, binnedLineLength;
    // The window's start counted from the far edge, plus these offsets;
    // binned readouts start at fixed positions.
    int32_t hStartOffset, vStartOffset, binnedHStart, binnedVStart;
    std::array<uint8_t, 3> readoutCodes;  // area modes 0, 1, 17
    // Initialize.
    Readiness readiness;
    std::span<const RegisterValue> powerOn;
    bool identifiesChip;
    bool awaitsVerticalDrive;
    // The mirror register holds nothing else: each setter writes both bits
    // from the stored flags instead of reading the register first.
    bool mirrorFromFlags = false;
    // The window's start registers count from the array's origin (plus the
    // start offsets) instead of from its far edge.
    bool windowFromOrigin = false;
};

// The two variant codes of a SWIR head (without and with its cooler) and
// the frame-layout word (84) each sets.
struct SwirVariants {
    int32_t plain, cooled;
    int32_t plainWord84, cooledWord84;
};

}  // namespace vantix::imx

namespace vantix {

class CImxSensor : public CSensorBase {
public:
    ~CImxSensor() override;

    // The shared skeleton: readiness, the power-on list, chip identification,
    // gain, exposure lines, mirrors and the default window, then the vertical
    // drive; each step as the record says. 0 only when the head never became
    // ready.
    int32_t Initialize() override;
    int32_t Detect() override { return 1; }
    // Window, mode 0 or (where the member bins) 1 and 17: validates, programs
    // window, readout mode, frame and line length, and programs the current
    // exposure again against the new frame length.
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t SetBitDepth(int32_t sixteenBit) override { return ApplyBitDepth(sixteenBit); }
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override { return SetExposureTimeThroughMicroseconds(tenthsOfMs); }
    int32_t SetExposureSeconds(double seconds) override;
    int32_t SetGain(int32_t gain) override;
    int32_t SetBlackLevel(int32_t value) override;
    int32_t GetBlackLevel(int32_t* value) override;
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;
    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadRegister(uint32_t address, uint32_t* value) override;
    int32_t WriteRegisterChecked(uint32_t address, uint32_t value) override;
    int32_t ReadRegisterChecked(uint32_t address, uint32_t* value) override;

    // The shadows of the frame and line length, for tests and the engine's diagnostics.
    int32_t TargetFrameLines() const { return targetFrameLines_; }
    int32_t WrittenFrameLines() const { return writtenFrameLines_; }
    int32_t TargetLineLength() const { return targetLineLength_; }
    int32_t WrittenLineLength() const { return writtenLineLength_; }

    // The chip number the identification registers 0x348/0x349 give.
    static int32_t ChipFromRegisters(uint32_t reg348, uint32_t reg349);

protected:
    CImxSensor(CControllerBase* controller, uint8_t deviceAddress, const imx::ImxConstants& constants);

    // The member's write: checked where the member has checked transfers,
    // plain otherwise.
    int32_t Put(uint32_t address, uint32_t value);
    int32_t Get(uint32_t address, uint32_t* value);
    // A value over byte registers, lowest byte first (or highest first); true
    // when every register took its byte.
    bool PutBytes(const imx::ByteRegisters& registers, uint32_t value, bool highFirst = false);
    bool WriteFrameLength(int32_t lines);
    bool WriteLineLength(int32_t length);

    // Initialize steps.
    bool AwaitReadiness();
    void WritePowerOn();
    void IdentifyChip();
    void ApplyDefaults();
    // The defaults of a member that takes exposure in seconds: gain,
    // exposure in seconds, mirrors and the default window.
    void ApplyDefaultsInSeconds();
    void AwaitVerticalDrive();
    // The variant code of an identified chip; the factory's code by default.
    virtual int32_t VariantForChip(int32_t chip) { (void)chip; return modelVariant_; }
    // The window Initialize programs (mode 0).
    virtual void DefaultWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height) const;
    // Whether the vertical-drive wait applies (a member may skip it by variant).
    virtual bool AwaitsVerticalDrive() const { return k_.awaitsVerticalDrive; }

    int32_t SetExposureMicroseconds(uint64_t microseconds) override;
    // Called after the mirror register changed (the FPGA's readout start on some heads).
    virtual void AfterMirrorH() {}
    virtual void AfterMirrorV() {}
    // A frame-rate request's frame length (lines, already computed from the
    // rate): at least the window's height plus `minimumBlank`, at most 65535;
    // it becomes the frame length and the current exposure is programmed
    // again against it.
    int32_t ApplyFrameRateLines(double lines, int32_t minimumBlank);
    // The rate (frames per second) an AccessDevice frame-rate request
    // carries: op 0 with a buffer holding a positive rate; 0 otherwise.
    static int32_t FrameRateRequest(int32_t op, const void* buffer);

    const imx::ImxConstants& k_;
    int32_t targetFrameLines_;
    int32_t writtenFrameLines_;
    int32_t targetLineLength_;
    int32_t writtenLineLength_;

private:
    bool WindowIsValid(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) const;
    int32_t WriteBusPaced(uint32_t address, uint32_t value);
    void AwaitBusIdle();
    bool SetMirrorBit(uint8_t bit, int32_t on);
    // The checked transfers of the heads whose FPGA hands the sensor bus to
    // the host for the duration (FPGA register 159).
    int32_t HandOverTransfer(uint32_t address, uint32_t* value, bool write);

    // Values written to the sensor, by the low address byte, for the members
    // whose reads answer from it.
    std::array<uint8_t, 256> shadow_{};
};

}  // namespace vantix
