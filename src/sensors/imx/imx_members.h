#pragma once
// The IMX family's members side by side: one constant record per sensor
// class, holding everything in which they differ as numbers. The classes
// (sensor_imx*.cpp) keep only the behaviour that differs.
#include "sensors/imx/imx_sensor.h"

namespace vantix::imx {

// Field order as declared in ImxConstants.

// 1440 x 1080 global-shutter sensor. Timing registers: frame length
// 0x210-0x212 (20 bits), line length 0x214-0x215, shutter start 0x28D-0x28F
// (20 bits). Window: mode 0x500, readout 0x20D, start and size pairs
// 0x510-0x517 (horizontal values 13 bits, vertical 12 bits).
inline constexpr ImxConstants kIMX273{
    .transfers = Transfers::Checked,
    .maxWidth = 1440, .maxHeight = 1080,
    .totalWidth = 2112, .totalHeight = 1130,
    .gainMax = 480, .gainDefault = 0,
    .gain = {{{0x405, 8, 0x01}, {0x404, 0, 0xFF}}}, .gainRegisters = 2, .gainPauseMs = 50,
    .linesMin = 1, .linesMax = 0xFFFF1, .linesDefault = 1116,
    .timeMin = 1, .timeMax = 20000, .timeDefault = 42,
    .secondsSupported = 1, .secondsMin = 0.00001807, .secondsMax = 2.0, .secondsDefault = 0.00426622,
    .blackLevel = {0x454, 2, 0x0F}, .blackLevelMax = 4095, .blackLevelDefault = 15, .blackLevelSupported = 0,
    .mirrorRegister = 0x20E, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 54545, .word84 = 4, .variant = 128,
    .exposureLaw = ExposureLaw::FrameMinusShutter,
    .frameLength = {0x210, 3, 0x0F}, .lineLength = {0x214, 2, 0xFF}, .shutter = {0x28D, 3, 0x0F},
    .shutterMargin = 14,
    .initialFrameLines = 1130, .initialLineLength = 286,
    .lineClocks = 173.1, .binnedLineClocks = 158.5, .exposureOffsetUs = 14.26,
    .windowCut = WindowCut::Sensor,
    .window = {.windowMode = 0x500, .readoutMode = 0x20D,
               .hStart = {0x510, 2, 0x1F}, .vStart = {0x512, 2, 0x0F},
               .width = {0x514, 2, 0x1F}, .height = {0x516, 2, 0x0F}},
    .alignX = 8, .alignY = 2, .binnedAlignY = 4,
    .minWidth8 = 516, .minWidth16 = 260, .minHeight = 4,
    .verticalBlank = 42, .fullFrameLines = 1130, .windowLineLength = 238,
    .binnedFrameLines = 586, .binnedLineLength = 218,
    .hStartOffset = 8, .vStartOffset = 4, .binnedHStart = 4, .binnedVStart = 2,
    .readoutCodes = {0x00, 0x11, 0x22},
    .readiness = Readiness::None,
    .powerOn = {},
    .identifiesChip = false,
    .awaitsVerticalDrive = false,
};

}  // namespace vantix::imx
