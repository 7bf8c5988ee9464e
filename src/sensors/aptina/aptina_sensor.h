#pragma once
// CAptinaSensor: the family base of the four Aptina CMOS sensor classes. It
// holds the slots the members share (chip detection, exposure, the global and
// colour gains, the mirror flags, register access in the family's two bus
// formats) and the window arithmetic; a member keeps only its power-on,
// window programming and what else differs. Everything in which the members
// differ as numbers is one AptinaConstants record per member, side by side
// in aptina_members.h.
#include <array>
#include <cstdint>
#include <span>

#include "platform/critical_section.h"
#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix::aptina {

// How register transfers look on the serial bus. All family members hold
// 16-bit values, sent high byte first.
enum class BusFormat : uint8_t {
    Address16,  // write {addr hi, addr lo, value hi, value lo}; read: send {addr hi, addr lo}, read 2
    Address8,   // write {addr, value hi, value lo}; read: send {addr}, read 2
};

// The grid a window must sit on in one area mode.
struct WindowAlignment {
    int32_t origin;  // x and y
    int32_t width;
    int32_t height;
};

// One PLL setting: registers 0x0300, 0x0302, 0x0304, 0x0306, 0x0308, 0x030A
// in that order, and the pixel clock it gives.
struct PllSetting {
    std::array<uint16_t, 6> registers;
    int32_t pixelClockKHz;
};

struct AptinaConstants {
    BusFormat busFormat;
    // Detect: register 0 (chip version) & chipVersionMask must equal
    // chipVersion; with a zero mask any non-zero version answers.
    uint16_t chipVersionMask, chipVersion;
    // Pixel array and the window Initialize programs.
    int32_t maxWidth, maxHeight;
    int32_t defaultX, defaultY, defaultWidth, defaultHeight;
    int32_t defaultAreaMode;  // word 15
    // Line length (pixels) and frame length (lines) of the default window.
    int32_t totalWidth, totalHeight;
    // Window limits: smallest size and the grid by area mode 0, 1, 2.
    int32_t minWidth, minHeight;
    std::array<WindowAlignment, 3> alignment;
    // Added to x and y to address the array's first active column and row.
    int32_t columnOffset, rowOffset;
    // Line length = max(output width + lineBlank, minLineLength[mode]), or
    // fixedLineLength[mode] where that is non-zero. Frame length = output
    // height + frameBlank.
    int32_t lineBlank;
    std::array<int32_t, 3> minLineLength;
    std::array<int32_t, 3> fixedLineLength;
    int32_t frameBlank;
    // Read-mode register: power-on value, and the bits each area mode clears
    // and then sets (binning and skipping).
    uint16_t readModeInitial;
    std::array<uint16_t, 3> readModeClear;
    std::array<uint16_t, 3> readModeSet;
    // Row/column address-mode bits by area mode (sensors that bin there).
    std::array<uint16_t, 3> addressModeBits;
    // Gain codes: global and colour ranges (minimum 0, step 1), the register
    // word is (code & gainCodeMask) | gainEncoding. Codes above the maximum
    // fail, or are taken as the maximum where gainClampsToMax is set.
    int32_t gainMax, gainDefault;
    int32_t colorGainMax, colorGainDefault;
    uint16_t gainCodeMask, gainEncoding;
    bool gainClampsToMax;
    uint16_t globalGainRegister, redGainRegister, green1GainRegister, green2GainRegister, blueGainRegister;
    // Exposure: integration register in lines, and the ranges in lines and
    // in 0.1 ms (minimum 1, step 1).
    uint16_t exposureRegister;
    int32_t exposureLinesMax, exposureLinesDefault;
    int32_t exposureTimeMax, exposureTimeDefault;
    int32_t mirrorSupported;
    int32_t bitDepth;
    int32_t pixelClockKHz;  // at power-on (clock mode 2 where there are modes)
    // Clock modes 0, 1, 2 (sensors with selectable clocks; else all zero).
    std::array<PllSetting, 3> clockModes;
};

// ---- The 16-bit register map shared by MT9F001, MT9F002 and MT9J001 ----
namespace reg {
inline constexpr uint16_t kChipVersion = 0x0000;
inline constexpr uint16_t kParameterHold = 0x0104;
inline constexpr uint16_t kCoarseIntegration = 0x0202;
inline constexpr uint16_t kFrameLength = 0x0340;
inline constexpr uint16_t kLineLength = 0x0342;
inline constexpr uint16_t kXStart = 0x0344;
inline constexpr uint16_t kYStart = 0x0346;
inline constexpr uint16_t kXEnd = 0x0348;
inline constexpr uint16_t kYEnd = 0x034A;
inline constexpr uint16_t kOutputWidth = 0x034C;
inline constexpr uint16_t kOutputHeight = 0x034E;
inline constexpr uint16_t kScalingMode = 0x0400;
inline constexpr uint16_t kScaleFactor = 0x0404;
inline constexpr uint16_t kFineCorrection = 0x3010;
inline constexpr uint16_t kCoarseIntegrationAlt = 0x3012;
inline constexpr uint16_t kFineIntegration = 0x3014;
inline constexpr uint16_t kExtraDelay = 0x3018;
inline constexpr uint16_t kResetControl = 0x301A;
inline constexpr uint16_t kReadMode = 0x3040;
inline constexpr uint16_t kGreen1Gain = 0x3056;
inline constexpr uint16_t kBlueGain = 0x3058;
inline constexpr uint16_t kRedGain = 0x305A;
inline constexpr uint16_t kGreen2Gain = 0x305C;
inline constexpr uint16_t kGlobalGain = 0x305E;
// Window timing words written with every window.
inline constexpr uint16_t kFineCorrectionValue = 256;
inline constexpr uint16_t kFineIntegrationValue = 1386;
inline constexpr uint16_t kScaleFactorValue = 16;  // 16/16: no scaling
// Reset control: bit 1 restarts the frame in progress.
inline constexpr uint16_t kResetControlRestart = 0x0002;
}  // namespace reg

// One register and the value written to it, for the power-on tables.
struct RegisterValue {
    uint16_t address;
    uint16_t value;
};

// Output size of a window dimension in an area mode that bins by 1, 2 or 4,
// a partial group counting as a whole one.
inline int32_t BinnedSize(int32_t size, int32_t mode) {
    const int32_t factor = 1 << mode;
    return (size + factor - 1) / factor;
}

// Writes through an optional out pointer; returns 1.
inline int32_t PutWord(int32_t* out, int32_t value) {
    if (out) *out = value;
    return 1;
}

}  // namespace vantix::aptina

namespace vantix {

class CAptinaSensor : public CSensorBase {
public:
    // Register 0 (chip version) answers as the record says.
    int32_t Detect() override;
    // Stores the lines as current (they are not clamped to the range) and
    // writes them. Counts a 16-bit register cannot hold fail unchanged.
    int32_t SetExposureLines(int32_t lines) override;
    // Exposure in 0.1 ms through the line time of the current line length:
    // lines = trunc(t / lineTime), at least 1, at most the lines maximum. On
    // success the current time is t, or the time the maximum gives when it
    // was hit. 0 for t <= 0 or an unusable line time.
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    int32_t SetGain(int32_t gain) override;
    int32_t SetColorGainRed(int32_t value) override;
    int32_t GetColorGainRed(int32_t* value) override;
    int32_t SetColorGainGreen1(int32_t value) override;
    int32_t GetColorGainGreen1(int32_t* value) override;
    int32_t SetColorGainGreen2(int32_t value) override;
    int32_t GetColorGainGreen2(int32_t* value) override;
    int32_t SetColorGainBlue(int32_t value) override;
    int32_t GetColorGainBlue(int32_t* value) override;
    // The flags only: a member that mirrors in the sensor overrides them.
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;
    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    // The record's bus format on the sensor's bus address: a write is one
    // transfer; a read's address transfer and two-byte read run under one
    // hold of the bus lock, so no other transfer can move the sensor's
    // pointer between them. 0 without a controller, for an address the
    // format cannot carry, or a value wider than 16 bits.
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadRegister(uint32_t address, uint32_t* value) override;
    // The limits and grids WindowIsValid checks.
    bool GetWindowRules(WindowRules* rules) const override;

protected:
    // Fills the record with the member's constants; the area words describe
    // the default window. Nothing is sent.
    CAptinaSensor(CControllerBase* controller, uint8_t deviceAddress, const aptina::AptinaConstants& constants);

    // Whether a window lies inside the array, is large enough and sits on the
    // mode's grid. Sums are formed in 64 bits so no input overflows.
    bool WindowIsValid(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) const;
    int32_t LineLength(int32_t mode, int32_t outputWidth) const;
    // The read-mode word after `mode`'s clear and set bits.
    uint16_t ReadModeForArea(uint16_t readMode, int32_t mode) const;
    // Writes a power-on table through WriteRegister, in order. The results
    // are not checked: a table is sent whole, and what matters is checked by
    // the window programming that follows it.
    void WriteTable(std::span<const aptina::RegisterValue> table);
    // Writes every entry, in order, even after one fails (a window is never
    // left half sent); true when all were accepted.
    bool WriteEach(std::span<const aptina::RegisterValue> table);
    // The last step of every member's Initialize: the default gain, the
    // current exposure time, the default mirrors and the default window.
    int32_t ApplyDefaultSettings();

    const aptina::AptinaConstants& k_;
    // Shadow of the read-mode register (binning and skipping bits).
    uint16_t readModeShadow_;

private:
    int32_t ApplyGain(ParameterRange& range, uint16_t address, int32_t code);
};

}  // namespace vantix
