#pragma once
// The CCD family's members side by side: one constant record per sensor
// class. The classes (ccd_sensors.cpp) add nothing but their record.
#include "sensors/ccd/ccd_sensor.h"

namespace vantix::ccd {

// Per-channel front-end trims of the interline heads: FPGA register pairs
// (low, high) of channels 1-4.
inline constexpr std::array<FpgaPair, 4> kChannelGainRegisters{{{0xA4, 0xA5}, {0xA6, 0xA7}, {0xA8, 0xA9}, {0xAA, 0xAB}}};
inline constexpr std::array<FpgaPair, 4> kChannelOffsetRegisters{{{0xAC, 0xAD}, {0xAE, 0xAF}, {0xB0, 0xB1}, {0xB2, 0xB3}}};

// 1600 x 1200 progressive CCD whose timing program is resident in the
// camera; exposure is a line count in camera register 0x8003.
inline constexpr CcdConstants kICX274{
    .maxWidth = 1600, .maxHeight = 1200, .totalWidth = 1920, .totalHeight = 1252,
    .gainMin = 0, .gainMax = 1023, .gainDefault = 256,
    .linesMin = 1, .linesMax = 1252, .linesDefault = 1,
    .timeMin = 1, .timeMax = 1252, .timeDefault = 1,
    .pixelClockKHz = 60000, .frameLayout = 0,
    .interline = false, .shutter = ShutterPath::CameraRegisterLines, .gain = GainPath::CameraRegister,
    .lineTimeK = 0, .shutterReference = 0,
    .channelGain = {}, .channelOffset = {},
    .program = nullptr,
};

inline constexpr CcdConstants kQ105{
    .maxWidth = 2336, .maxHeight = 1752, .totalWidth = 2836, .totalHeight = 1952,
    .gainMin = 15, .gainMax = 1023, .gainDefault = 350,
    .linesMin = 1, .linesMax = 901, .linesDefault = 1,
    .timeMin = 1, .timeMax = 8191, .timeDefault = 774,
    .pixelClockKHz = 60000, .frameLayout = 4,
    .interline = true, .shutter = ShutterPath::FpgaShutterLine, .gain = GainPath::CameraRegisterBothBanks,
    .lineTimeK = 15470, .shutterReference = 902,
    .channelGain = kChannelGainRegisters, .channelOffset = kChannelOffsetRegisters,
    .program = TimingProgramQ105,
};

inline constexpr CcdConstants kQ106{
    .maxWidth = 4896, .maxHeight = 3264, .totalWidth = 5396, .totalHeight = 3464,
    .gainMin = 15, .gainMax = 1023, .gainDefault = 15,
    .linesMin = 1, .linesMax = 1711, .linesDefault = 1,
    .timeMin = 1, .timeMax = 8191, .timeDefault = 774,
    .pixelClockKHz = 40000, .frameLayout = 0,
    .interline = true, .shutter = ShutterPath::FpgaShutterLine, .gain = GainPath::CameraRegisterBothBanks,
    .lineTimeK = 27260, .shutterReference = 1712,
    .channelGain = kChannelGainRegisters, .channelOffset = kChannelOffsetRegisters,
    .program = TimingProgramQ106,
};

// The largest head takes its gain in the FPGA, left-aligned in 16 bits.
inline constexpr CcdConstants kQ107{
    .maxWidth = 6576, .maxHeight = 4384, .totalWidth = 7076, .totalHeight = 4584,
    .gainMin = 0, .gainMax = 1023, .gainDefault = 100,
    .linesMin = 1, .linesMax = 2227, .linesDefault = 1,
    .timeMin = 1, .timeMax = 2233, .timeDefault = 2233,
    .pixelClockKHz = 40000, .frameLayout = 0,
    .interline = true, .shutter = ShutterPath::FpgaShutterLine, .gain = GainPath::FpgaLeftAligned,
    .lineTimeK = 40110, .shutterReference = 2228,
    .channelGain = kChannelGainRegisters, .channelOffset = kChannelOffsetRegisters,
    .program = TimingProgramQ107,
};

}  // namespace vantix::ccd
