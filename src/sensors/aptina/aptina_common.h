#pragma once
// What the four Aptina CMOS sensor classes share: the constant record that
// holds everything in which the family members differ (the four records sit
// side by side at the end of this file), the two serial-bus register formats,
// and the exposure, gain and window arithmetic. The classes themselves derive
// straight from CSensorBase and call these helpers.
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
    // word is (code & gainCodeMask) | gainEncoding.
    int32_t gainMax, gainDefault;
    int32_t colorGainMax, colorGainDefault;
    uint16_t gainCodeMask, gainEncoding;
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

// ---- Serial-bus register access ----

// A register write in `format` to `device`, under `lock`. 0 without a
// controller, for an address the format cannot carry, or a value wider than
// 16 bits.
int32_t BusWriteRegister(CControllerBase* controller, uint8_t device, CriticalSection& lock, BusFormat format,
                         uint32_t address, uint32_t value);
// A register read: the address transfer and the two-byte read run under one
// hold of `lock`, so no other transfer can move the sensor's pointer between
// them.
int32_t BusReadRegister(CControllerBase* controller, uint8_t device, CriticalSection& lock, BusFormat format,
                        uint32_t address, uint32_t* value);

// ---- Record and arithmetic ----

// Fills the zeroed record with a class's constants; the area words describe
// the default window.
void FillSensorInfo(SensorInfo& info, const AptinaConstants& k);
// Whether a window lies inside the array, is large enough and sits on the
// mode's grid. Sums are formed in 64 bits so no input overflows.
bool WindowIsValid(const AptinaConstants& k, int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode);
int32_t LineLength(const AptinaConstants& k, int32_t mode, int32_t outputWidth);
// The read-mode word after `mode`'s clear and set bits.
uint16_t ReadModeForArea(const AptinaConstants& k, uint16_t readMode, int32_t mode);

// Exposure in 0.1 ms through the line time of the current line length:
// lines = trunc(t / lineTime), at least 1, at most the lines maximum, then
// sensor.SetExposureLines. On success the current time is t, or the time the
// maximum gives when it was hit. 0 for t <= 0 or an unusable line time.
int32_t ApplyExposureTime(CSensorBase& sensor, SensorInfo& info, int32_t tenthsOfMs);
// Stores the code as the range's current value and writes the encoded word.
// Codes outside the range fail unchanged, except that `clampToMax` brings
// codes above the maximum down to it.
int32_t ApplyGain(CSensorBase& sensor, const AptinaConstants& k, ParameterRange& range, uint16_t address,
                  int32_t code, bool clampToMax = false);
// Stores the lines as current (they are not clamped to the range) and writes
// them. Counts a 16-bit register cannot hold fail unchanged.
int32_t ApplyExposureLines(CSensorBase& sensor, SensorInfo& info, uint16_t address, int32_t lines);
// Writes a power-on table through the sensor's WriteRegister, in order. The
// results are not checked: a table is sent whole, and what matters is
// checked by the window programming that follows it.
void WriteTable(CSensorBase& sensor, std::span<const RegisterValue> table);
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

// ---- The four constant records ----
//
// Field order as declared above. Alignment rows are {x and y, width, height}.

inline constexpr AptinaConstants kMT9F001{
    .busFormat = BusFormat::Address16,
    .maxWidth = 4608, .maxHeight = 3288,
    .defaultX = 0, .defaultY = 0, .defaultWidth = 4608, .defaultHeight = 3288,
    .defaultAreaMode = 0,
    .totalWidth = 4920, .totalHeight = 3431,
    .minWidth = 320, .minHeight = 8,
    .alignment = {{{2, 16, 2}, {4, 32, 4}, {8, 64, 8}}},
    .columnOffset = 24, .rowOffset = 0,
    .lineBlank = 312, .minLineLength = {2760, 1848, 1848}, .fixedLineLength = {0, 0, 0},
    .frameBlank = 146,
    .readModeInitial = 0x0041,
    .readModeClear = {0x0DBE, 0x0D3C, 0x0C38}, .readModeSet = {0x0041, 0x00C3, 0x01C7},
    .addressModeBits = {0, 0, 0},
    .gainMax = 127, .gainDefault = 64, .colorGainMax = 127, .colorGainDefault = 64,
    .gainCodeMask = 0x7F, .gainEncoding = 0x1100,
    .globalGainRegister = reg::kGlobalGain, .redGainRegister = reg::kRedGain,
    .green1GainRegister = reg::kGreen1Gain, .green2GainRegister = reg::kGreen2Gain,
    .blueGainRegister = reg::kBlueGain,
    .exposureRegister = reg::kCoarseIntegrationAlt,
    .exposureLinesMax = 32767, .exposureLinesDefault = 3288,
    .exposureTimeMax = 20000, .exposureTimeDefault = 1754,
    .mirrorSupported = 0,
    .bitDepth = 12,
    .pixelClockKHz = 96000,
    .clockModes = {},
};

// The newer sensor of the same board: the same array and ranges; its line
// lengths are fixed per area mode.
inline constexpr AptinaConstants kMT9F002 = [] {
    AptinaConstants k = kMT9F001;
    k.fixedLineLength = {4920, 2624, 2072};
    return k;
}();

inline constexpr AptinaConstants kMT9J001{
    .busFormat = BusFormat::Address16,
    .maxWidth = 3856, .maxHeight = 2764,
    .defaultX = 8, .defaultY = 8, .defaultWidth = 3840, .defaultHeight = 2752,
    .defaultAreaMode = 0,
    .totalWidth = 4436, .totalHeight = 2988,
    .minWidth = 320, .minHeight = 8,
    .alignment = {{{2, 16, 2}, {4, 32, 8}, {8, 64, 16}}},
    .columnOffset = 32, .rowOffset = 10,
    .lineBlank = 596, .minLineLength = {1816, 1816, 1816}, .fixedLineLength = {0, 0, 0},
    .frameBlank = 236,
    .readModeInitial = 0x0041,
    .readModeClear = {0x0DBE, 0x093C, 0x0838}, .readModeSet = {0x0041, 0x04C3, 0x05C7},
    .addressModeBits = {0, 0, 0},
    .gainMax = 127, .gainDefault = 64, .colorGainMax = 127, .colorGainDefault = 64,
    .gainCodeMask = 0x7F, .gainEncoding = 0x1080,
    .globalGainRegister = reg::kGlobalGain, .redGainRegister = reg::kRedGain,
    .green1GainRegister = reg::kGreen1Gain, .green2GainRegister = reg::kGreen2Gain,
    .blueGainRegister = reg::kBlueGain,
    .exposureRegister = reg::kCoarseIntegration,
    .exposureLinesMax = 32767, .exposureLinesDefault = 3163,  // 175.4 ms at 4436 px / 80 MHz
    .exposureTimeMax = 20000, .exposureTimeDefault = 1754,
    .mirrorSupported = 0,
    .bitDepth = 12,
    .pixelClockKHz = 80000,
    .clockModes = {{
        {{5, 2, 3, 40, 10, 2}, 32000},
        {{5, 4, 3, 40, 10, 4}, 16000},
        {{3, 1, 3, 40, 6, 1}, 80000},
    }},
};

// 5-megapixel sensor on 8-bit register addresses. Window: rows start at
// y + 52, columns at x + 16; binned modes set the address-mode bits. Line
// and frame blanking as MT9F001's binned modes.
inline constexpr AptinaConstants kMT9P001{
    .busFormat = BusFormat::Address8,
    .maxWidth = 2592, .maxHeight = 1944,
    .defaultX = 0, .defaultY = 0, .defaultWidth = 2592, .defaultHeight = 1944,
    .defaultAreaMode = 0,
    .totalWidth = 2904, .totalHeight = 2090,
    .minWidth = 320, .minHeight = 8,
    .alignment = {{{2, 16, 2}, {4, 32, 4}, {8, 64, 8}}},
    .columnOffset = 16, .rowOffset = 52,
    .lineBlank = 312, .minLineLength = {1848, 1848, 1848}, .fixedLineLength = {0, 0, 0},
    .frameBlank = 146,
    .readModeInitial = 0x0040,  // read mode 2 (register 0x20): mirror bits clear
    .readModeClear = {0, 0, 0}, .readModeSet = {0, 0, 0},
    .addressModeBits = {0x00, 0x11, 0x33},
    .gainMax = 63, .gainDefault = 16, .colorGainMax = 63, .colorGainDefault = 16,
    .gainCodeMask = 0xFFFF, .gainEncoding = 0,  // the code as is
    .globalGainRegister = 0x35, .redGainRegister = 0x2D,
    .green1GainRegister = 0x2B, .green2GainRegister = 0x2E,
    .blueGainRegister = 0x2C,
    .exposureRegister = 0x09,
    .exposureLinesMax = 32767, .exposureLinesDefault = 4831,  // 175.4 ms at 2904 px / 80 MHz
    .exposureTimeMax = 20000, .exposureTimeDefault = 1754,
    .mirrorSupported = 1,
    .bitDepth = 12,
    .pixelClockKHz = 80000,
    .clockModes = {},
};

}  // namespace vantix::aptina
