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

// ---- The 2448 x 2048 / 2048 x 1536 global-shutter heads (IMX250, IMX252,
// IMX264). They share the IMX273's gain, mirror, window and timing
// registers, so their operations are the IMX273's; Initialize waits for the
// head's status device, writes the analog set-up and black level below,
// identifies the chip and waits for the vertical drive.

// Power-on: analog set-up register 0x412 = 8, black level 240 (0x454/0x455).
inline constexpr RegisterValue kImx250PowerOn[] = {{0x412, 8}, {0x454, 240}, {0x455, 0}};
// The 2048 x 1536 head sets only the low byte of its black level (80).
inline constexpr RegisterValue kImx252PowerOn[] = {{0x412, 8}, {0x454, 80}};

// The registers and window rules of the global-shutter family, with the
// IMX273's values; each member below changes sizes, clocks and timing.
inline constexpr ImxConstants kGlobalShutterBase = [] {
    ImxConstants k = kIMX273;
    k.blackLevel = {};  // black level is part of the power-on list only
    k.blackLevelMax = 4095;
    k.blackLevelDefault = 0;
    k.secondsSupported = 0;
    k.secondsMin = k.secondsMax = k.secondsDefault = 0.0;
    k.identifiesChip = true;
    k.awaitsVerticalDrive = true;
    return k;
}();

// 2448 x 2048 at 54 MHz. Line 3.508 us: 260 ticks of the 74.25 MHz line
// clock, 189.4 pixel clocks; its frame-rate formula counts the line as
// totalWidth x 1.3289 ns, which 2640 matches. Frame = height + 46 lines.
inline constexpr ImxConstants kIMX250 = [] {
    ImxConstants k = kGlobalShutterBase;
    k.maxWidth = 2448; k.maxHeight = 2048;
    k.totalWidth = 2640; k.totalHeight = 2094;
    k.linesDefault = 2851;  // 10 ms
    k.timeDefault = 100;
    k.pixelClockKHz = 54000; k.variant = 59;
    k.initialFrameLines = 2094; k.initialLineLength = 260;
    k.lineClocks = 189.4; k.binnedLineClocks = 189.4;
    k.verticalBlank = 46; k.fullFrameLines = 2094; k.windowLineLength = 260;
    k.binnedFrameLines = 1070; k.binnedLineLength = 260;
    k.readiness = Readiness::StatusDevice;
    k.powerOn = kImx250PowerOn;
    return k;
}();

// 2448 x 2048 at 74.25 MHz. Its frame-rate constants give the line as
// 1.3236 us (98 ticks) and, binned, 2.918 us (217 ticks).
inline constexpr ImxConstants kIMX264 = [] {
    ImxConstants k = kIMX250;
    k.linesDefault = 7555;  // 10 ms
    k.pixelClockKHz = 74250; k.variant = 57;
    k.initialLineLength = 98;
    k.lineClocks = 98.28; k.binnedLineClocks = 216.7;
    k.windowLineLength = 98; k.binnedLineLength = 217;
    return k;
}();

// 2048 x 1536 at 54.545 MHz. Line 4.0 us (297 ticks, 218.2 pixel clocks);
// frame = height + 40 lines. Slower to boot: status device, then the FPGA.
inline constexpr ImxConstants kIMX252 = [] {
    ImxConstants k = kGlobalShutterBase;
    k.maxWidth = 2048; k.maxHeight = 1536;
    k.totalWidth = 2200; k.totalHeight = 1576;
    k.linesDefault = 2500;  // 10 ms
    k.timeDefault = 100;
    k.pixelClockKHz = 54545; k.variant = 56;
    k.initialFrameLines = 1576; k.initialLineLength = 297;
    k.lineClocks = 218.2; k.binnedLineClocks = 218.2;
    k.verticalBlank = 40; k.fullFrameLines = 1576; k.windowLineLength = 297;
    k.binnedFrameLines = 808; k.binnedLineLength = 297;
    k.readiness = Readiness::StatusDeviceThenFpga;
    k.powerOn = kImx252PowerOn;
    return k;
}();

// ---- The newer generation (IMX487, IMX536, and the SWIR IMX990/991):
// gain code at 0x714/0x715 (low byte first, bit 8), mirror bits 0 and 1 of
// 0x404 (written together), frame length 0x2D4-0x2D6 and line length
// 0x2D8/0x2D9 (ticks of a 75 MHz clock), shutter start 0x440-0x442 with a
// 15-line margin. The window registers count from the array's origin:
// readout code 0x23C, window flag 0x304, x 0x320/0x321, row start
// 0x322/0x323, width 0x324/0x325, height 0x326/0x327.

inline constexpr WindowRegisters kOriginWindow{
    .windowMode = 0x304, .readoutMode = 0x23C,
    .hStart = {0x320, 2, 0x0F}, .vStart = {0x322, 2, 0x0F},
    .width = {0x324, 2, 0x0F}, .height = {0x326, 2, 0x0F}};

// Power-on of the 2848 x 2848 heads: analog set-up 0x702 = 8.
inline constexpr RegisterValue kImx487PowerOn[] = {{0x702, 8}};

// 2848 x 2848 UV head at 54.545 MHz. Line 13.2 us (990 ticks, 720 pixel
// clocks), frame = height + 36 lines; exposure from 7.372 us on. Black level
// 0..1023 at 0x7C0/0x7C1.
inline constexpr ImxConstants kIMX487{
    .transfers = Transfers::Checked,
    .maxWidth = 2848, .maxHeight = 2848,
    .totalWidth = 990, .totalHeight = 2884,
    .gainMax = 480, .gainDefault = 0,
    .gain = {{{0x714, 0, 0xFF}, {0x715, 8, 0x01}}}, .gainRegisters = 2, .gainPauseMs = 0,
    // The frame length register holds 24 bits: the longest exposure leaves
    // room for the margin.
    .linesMin = 1, .linesMax = 0xFFFFFF - 15, .linesDefault = 757,
    .timeMin = 1, .timeMax = 20000, .timeDefault = 100,
    .secondsSupported = 1, .secondsMin = 0.00002, .secondsMax = 2.0, .secondsDefault = 0.01,
    .blackLevel = {0x7C0, 2, 0x03}, .blackLevelMax = 1023, .blackLevelDefault = 60, .blackLevelSupported = 1,
    .mirrorRegister = 0x404, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 54545, .word84 = 4, .variant = 63,
    .exposureLaw = ExposureLaw::FrameMinusShutter,
    .frameLength = {0x2D4, 3, 0xFF}, .lineLength = {0x2D8, 2, 0xFF}, .shutter = {0x440, 3, 0xFF},
    .shutterMargin = 15,
    .initialFrameLines = 2884, .initialLineLength = 990,
    .lineClocks = 720.0, .binnedLineClocks = 720.0, .exposureOffsetUs = 7.372,
    .windowCut = WindowCut::Sensor,
    .window = kOriginWindow,
    .alignX = 8, .alignY = 2, .binnedAlignY = 4,
    .minWidth8 = 64, .minWidth16 = 64, .minHeight = 8,
    .verticalBlank = 36, .fullFrameLines = 2884, .windowLineLength = 990,
    .binnedFrameLines = 1460, .binnedLineLength = 990,
    .hStartOffset = 0, .vStartOffset = 0, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0x00, 0x11, 0x22},
    .readiness = Readiness::None,
    .powerOn = kImx487PowerOn,
    .identifiesChip = false,
    .awaitsVerticalDrive = true,
    .mirrorFromFlags = true,
    .windowFromOrigin = true,
};

// The 2848 x 2848 visible head: the IMX487 without black level and without
// exposure in seconds; no power-on list.
inline constexpr ImxConstants kIMX536 = [] {
    ImxConstants k = kIMX487;
    k.blackLevel = {};
    k.blackLevelMax = 0; k.blackLevelDefault = 0; k.blackLevelSupported = 0;
    k.secondsSupported = 0;
    k.secondsMin = k.secondsMax = k.secondsDefault = 0.0;
    k.variant = 62;
    k.powerOn = {};
    return k;
}();

// SWIR heads: their own checked transfers (the host takes the bus from the
// FPGA), their own window and exposure arithmetic (sensor_imx_swir.cpp).
// fullFrameLines / binnedFrameLines are the frame-length bases of the whole
// array and of 2 x 2 binning before the clock scaling; windowLineLength is
// the line length programmed with every window (0x2D8/0x2D9 = 972).
// x, row start and sizes of the SWIR arrays fit 11 bits.
inline constexpr WindowRegisters kSwirWindow{
    .windowMode = 0x304, .readoutMode = 0x23C,
    .hStart = {0x320, 2, 0x07}, .vStart = {0x322, 2, 0x07},
    .width = {0x324, 2, 0x07}, .height = {0x326, 2, 0x07}};

inline constexpr ImxConstants kIMX990{
    .transfers = Transfers::HandOver,
    .maxWidth = 1280, .maxHeight = 1024,
    .totalWidth = 1376, .totalHeight = 1048,
    .gainMax = 420, .gainDefault = 0,
    .gain = {{{0x714, 0, 0xFF}, {0x715, 8, 0x01}}}, .gainRegisters = 2, .gainPauseMs = 0,
    .linesMin = 15, .linesMax = 16777214, .linesDefault = 1064,
    .timeMin = 1, .timeMax = 20000, .timeDefault = 138,
    .secondsSupported = 1, .secondsMin = 0.000020333, .secondsMax = 2.0, .secondsDefault = 0.0138,
    .blackLevel = {}, .blackLevelMax = 0, .blackLevelDefault = 0, .blackLevelSupported = 0,
    .mirrorRegister = 0x404, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 54545, .word84 = 4, .variant = 109,
    .exposureLaw = ExposureLaw::FrameMinusShutter,
    .frameLength = {0x2D4, 3, 0xFF}, .lineLength = {0x2D8, 2, 0xFF}, .shutter = {0x440, 3, 0xFF},
    .shutterMargin = 15,
    .initialFrameLines = 1048, .initialLineLength = 972,
    .lineClocks = 0.0, .binnedLineClocks = 0.0, .exposureOffsetUs = 7.372,
    .windowCut = WindowCut::Sensor,
    .window = kSwirWindow,
    .alignX = 8, .alignY = 8, .binnedAlignY = 8,
    .minWidth8 = 4, .minWidth16 = 4, .minHeight = 8,
    .verticalBlank = 36, .fullFrameLines = 1068, .windowLineLength = 972,
    .binnedFrameLines = 552, .binnedLineLength = 972,
    .hStartOffset = 0, .vStartOffset = 4, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0x00, 17, 0x00},
    .readiness = Readiness::None,
    .powerOn = {},
    .identifiesChip = false,
    .awaitsVerticalDrive = false,
    .mirrorFromFlags = true,
    .windowFromOrigin = true,
};

// Variant 110 carries the cooler and the other frame layout (word 84 = 1).
inline constexpr SwirVariants kIMX990Variants{.plain = 109, .cooled = 110, .plainWord84 = 4, .cooledWord84 = 1};

inline constexpr ImxConstants kIMX991 = [] {
    ImxConstants k = kIMX990;
    k.maxWidth = 640; k.maxHeight = 512;
    k.totalWidth = 736; k.totalHeight = 536;
    k.linesDefault = 539;
    k.timeDefault = 70;
    k.secondsDefault = 0.007;
    k.variant = 111;
    k.initialFrameLines = 536;
    k.fullFrameLines = 556; k.binnedFrameLines = 296;
    return k;
}();

// Variant 112 carries the cooler; both keep word 84 = 4.
inline constexpr SwirVariants kIMX991Variants{.plain = 111, .cooled = 112, .plainWord84 = 4, .cooledWord84 = 4};

}  // namespace vantix::imx
