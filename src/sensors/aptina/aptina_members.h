#pragma once
// The Aptina family's members side by side: one constant record per sensor
// class, holding everything in which they differ as numbers. The classes
// (sensor_mt9*.cpp) keep only the behaviour that differs.
#include "sensors/aptina/aptina_sensor.h"

namespace vantix::aptina {

// Field order as declared in AptinaConstants. Alignment rows are {x and y,
// width, height}.

inline constexpr AptinaConstants kMT9F001{
    .busFormat = BusFormat::Address16,
    .chipVersionMask = 0, .chipVersion = 0,  // any non-zero version
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
    .gainCodeMask = 0x7F, .gainEncoding = 0x1100, .gainClampsToMax = false,
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
    .chipVersionMask = 0xFFFF, .chipVersion = 0x2C01,
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
    .gainCodeMask = 0x7F, .gainEncoding = 0x1080, .gainClampsToMax = false,
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
    .chipVersionMask = 0xFF00, .chipVersion = 0x1800,  // the 0x18xx family
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
    .gainCodeMask = 0xFFFF, .gainEncoding = 0, .gainClampsToMax = true,  // the code as is
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
