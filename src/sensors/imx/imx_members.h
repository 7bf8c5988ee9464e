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

namespace vantix::imx {

// ---- The oldest heads: plain transfers without read-back ----

// 1920 x 1200 global-shutter sensor, plain writes paced 1 ms apart. Frame
// length 0x217-0x218 and shutter start 0x29A-0x29B, 12 bits each; window
// 0x300-0x308; inverted mirror flags in 0x216 (CSensorIMX174 holds the
// window, exposure and mirror arithmetic).
inline constexpr ImxConstants kIMX174{
    .transfers = Transfers::PacedPlain,
    .maxWidth = 1920, .maxHeight = 1200,
    .totalWidth = 2160, .totalHeight = 1254,
    .gainMax = 480, .gainDefault = 90,
    .gain = {{{0x404, 0, 0xFF}, {0x405, 8, 0x01}}}, .gainRegisters = 2, .gainPauseMs = 0,
    .linesMin = 0, .linesMax = 4095, .linesDefault = 960,
    .timeMin = 1, .timeMax = 30000, .timeDefault = 200,
    .secondsSupported = 0, .secondsMin = 0, .secondsMax = 0, .secondsDefault = 0,
    .blackLevel = {}, .blackLevelMax = 0, .blackLevelDefault = 0, .blackLevelSupported = 0,
    .mirrorRegister = 0x216, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 74250, .word84 = 4, .variant = 0,
    .exposureLaw = ExposureLaw::FrameMinusShutter,
    .frameLength = {0x217, 2, 0x0F}, .lineLength = {}, .shutter = {0x29A, 2, 0x0F},
    .shutterMargin = 10,
    .initialFrameLines = 1254, .initialLineLength = 0,
    .lineClocks = 0, .binnedLineClocks = 0, .exposureOffsetUs = 0,
    .windowCut = WindowCut::Sensor,
    .window = {.windowMode = 0x300, .readoutMode = 0,
               .hStart = {0x301, 2, 0x07}, .vStart = {0x303, 2, 0x07},
               .width = {0x305, 2, 0x07}, .height = {0x307, 2, 0x07}},
    .alignX = 4, .alignY = 2, .binnedAlignY = 0,
    .minWidth8 = 4, .minWidth16 = 4, .minHeight = 2,
    .verticalBlank = 37, .fullFrameLines = 1237, .windowLineLength = 0,
    .binnedFrameLines = 0, .binnedLineLength = 0,
    .hStartOffset = 0, .vStartOffset = 0, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0, 0, 0},
    .readiness = Readiness::None,
    .powerOn = {},
    .identifiesChip = false,
    .awaitsVerticalDrive = false,
};

// 3072 x 2048 rolling-shutter sensor, plain writes paced 1 ms apart. Frame
// length 0x22C-0x22E and shutter start 0x234-0x236 (20 bits each); gain
// 0x21F (low byte) and 0x220 (bit 8); mirror bits in 0x20F. The sensor reads
// the whole array and the FPGA keeps the window. One line is 3640 ticks of
// the 364 MHz clock (10 us): 2100 lines make a 21 ms frame.
inline constexpr RegisterValue kIMX178PowerOn[] = {
    {0x200, 0x00},  // leave standby: the sensor starts its readout
};
inline constexpr ImxConstants kIMX178{
    .transfers = Transfers::PacedPlain,
    .maxWidth = 3072, .maxHeight = 2048,
    .totalWidth = 3640, .totalHeight = 2100,
    .gainMax = 480, .gainDefault = 0,
    .gain = {{{0x21F, 0, 0xFF}, {0x220, 8, 0x01}}}, .gainRegisters = 2, .gainPauseMs = 0,
    .linesMin = 1, .linesMax = 0xFFFFF - 10, .linesDefault = 2000,
    .timeMin = 1, .timeMax = 20000, .timeDefault = 200,
    .secondsSupported = 0, .secondsMin = 0, .secondsMax = 0, .secondsDefault = 0,
    .blackLevel = {}, .blackLevelMax = 0, .blackLevelDefault = 0, .blackLevelSupported = 0,
    .mirrorRegister = 0x20F, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 364000, .word84 = 4, .variant = 0,
    .exposureLaw = ExposureLaw::FrameMinusShutter,
    .frameLength = {0x22C, 3, 0x0F}, .lineLength = {}, .shutter = {0x234, 3, 0x0F},
    .shutterMargin = 10,
    .initialFrameLines = 2100, .initialLineLength = 0,
    .lineClocks = 3640, .binnedLineClocks = 3640, .exposureOffsetUs = 0,
    .windowCut = WindowCut::FpgaOnly,
    .window = {},
    .alignX = 8, .alignY = 2, .binnedAlignY = 0,
    .minWidth8 = 64, .minWidth16 = 64, .minHeight = 4,
    .verticalBlank = 0, .fullFrameLines = 2100, .windowLineLength = 0,
    .binnedFrameLines = 0, .binnedLineLength = 0,
    .hStartOffset = 0, .vStartOffset = 0, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0, 0, 0},
    .readiness = Readiness::None,
    .powerOn = kIMX178PowerOn,
    .identifiesChip = false,
    .awaitsVerticalDrive = false,
};

// 5520 x 3680 sensor with 8-bit register addresses (0x00-0xFF). Every write
// waits for the FPGA to free the bus and is kept in a shadow that reads
// answer from. Gain code 0-2047: 0x09 (low byte), 0x0A (bits 8-10); 0x11
// (digital gain) stays 0. Frame length 0x0B-0x0C and shutter start
// 0x0D-0x0E (16 bits each); mirror bits in 0x1A. The FPGA keeps the window.
// One line is 1200 ticks of the 72 MHz clock (16.7 us).
inline constexpr RegisterValue kIMX183PowerOn[] = {
    {0x00, 0x00},  // operating mode (3 is standby; the destructor writes it)
    {0x11, 0x00},  // digital gain off: all gain is analog
};
inline constexpr ImxConstants kIMX183{
    .transfers = Transfers::IdleWaitShadow,
    .maxWidth = 5520, .maxHeight = 3680,
    .totalWidth = 1200, .totalHeight = 3700,
    .gainMax = 2047, .gainDefault = 0,
    .gain = {{{0x09, 0, 0xFF}, {0x0A, 8, 0x07}}}, .gainRegisters = 2, .gainPauseMs = 0,
    .linesMin = 1, .linesMax = 0xFFFF - 10, .linesDefault = 1200,
    .timeMin = 1, .timeMax = 20000, .timeDefault = 200,
    .secondsSupported = 0, .secondsMin = 0, .secondsMax = 0, .secondsDefault = 0,
    .blackLevel = {}, .blackLevelMax = 0, .blackLevelDefault = 0, .blackLevelSupported = 0,
    .mirrorRegister = 0x1A, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 72000, .word84 = 4, .variant = 0,
    .exposureLaw = ExposureLaw::FrameMinusShutter,
    .frameLength = {0x0B, 2, 0xFF}, .lineLength = {}, .shutter = {0x0D, 2, 0xFF},
    .shutterMargin = 10,
    .initialFrameLines = 3700, .initialLineLength = 0,
    .lineClocks = 1200, .binnedLineClocks = 1200, .exposureOffsetUs = 0,
    .windowCut = WindowCut::FpgaOnly,
    .window = {},
    .alignX = 8, .alignY = 2, .binnedAlignY = 0,
    .minWidth8 = 64, .minWidth16 = 64, .minHeight = 4,
    .verticalBlank = 0, .fullFrameLines = 3700, .windowLineLength = 0,
    .binnedFrameLines = 0, .binnedLineLength = 0,
    .hStartOffset = 0, .vStartOffset = 0, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0, 0, 0},
    .readiness = Readiness::None,
    .powerOn = kIMX183PowerOn,
    .identifiesChip = false,
    .awaitsVerticalDrive = false,
};

// 4800 x 3520 sensor; writes wait for the bus to go idle, reads go to the
// sensor. Its frame length is fixed (3600 lines of 35 us: 1260 ticks of the
// 36 MHz clock), so an exposure is at most one frame: the shutter start
// 0x207-0x208 counts from the frame end. Gain code 0-2047 to both halves of
// the array, 0x275/0x276 and 0x277/0x278. No sensor mirroring. The FPGA
// keeps the window.
inline constexpr RegisterValue kIMX159PowerOn[] = {
    {0x200, 0x00},  // leave standby
};
inline constexpr ImxConstants kIMX159{
    .transfers = Transfers::IdleWait,
    .maxWidth = 4800, .maxHeight = 3520,
    .totalWidth = 1260, .totalHeight = 3600,
    .gainMax = 2047, .gainDefault = 0,
    .gain = {{{0x275, 0, 0xFF}, {0x276, 8, 0x07}, {0x277, 0, 0xFF}, {0x278, 8, 0x07}}},
    .gainRegisters = 4, .gainPauseMs = 0,
    .linesMin = 1, .linesMax = 3600 - 10, .linesDefault = 571,
    .timeMin = 1, .timeMax = 1250, .timeDefault = 200,
    .secondsSupported = 0, .secondsMin = 0, .secondsMax = 0, .secondsDefault = 0,
    .blackLevel = {}, .blackLevelMax = 0, .blackLevelDefault = 0, .blackLevelSupported = 0,
    .mirrorRegister = 0, .mirrorHBit = 0, .mirrorVBit = 0,
    .pixelClockKHz = 36000, .word84 = 4, .variant = 0,
    .exposureLaw = ExposureLaw::FixedFrame,
    .frameLength = {}, .lineLength = {}, .shutter = {0x207, 2, 0xFF},
    .shutterMargin = 10,
    .initialFrameLines = 3600, .initialLineLength = 0,
    .lineClocks = 1260, .binnedLineClocks = 1260, .exposureOffsetUs = 0,
    .windowCut = WindowCut::FpgaOnly,
    .window = {},
    .alignX = 8, .alignY = 2, .binnedAlignY = 0,
    .minWidth8 = 64, .minWidth16 = 64, .minHeight = 4,
    .verticalBlank = 0, .fullFrameLines = 3600, .windowLineLength = 0,
    .binnedFrameLines = 0, .binnedLineLength = 0,
    .hStartOffset = 0, .vStartOffset = 0, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0, 0, 0},
    .readiness = Readiness::None,
    .powerOn = kIMX159PowerOn,
    .identifiesChip = false,
    .awaitsVerticalDrive = false,
};

// ---- Later heads with checked transfers ----

// 4168 x 3062 sensor of the IMX183's kind (8-bit addresses, gain and mirror
// in the same registers) with checked transfers. The gain code 0-2047 goes
// to 0x09/0x0A and to the two column-amplifier pairs 0x352/0x353 and
// 0x356/0x357. Frame length 0x0B-0x0C, shutter start 0x0D-0x0E. The FPGA
// keeps the window; Initialize waits for the vertical drive. One line is
// 1000 ticks of the 72 MHz clock (13.9 us).
inline constexpr ImxConstants kIMX226{
    .transfers = Transfers::Checked,
    .maxWidth = 4168, .maxHeight = 3062,
    .totalWidth = 1000, .totalHeight = 3100,
    .gainMax = 2047, .gainDefault = 0,
    .gain = {{{0x09, 0, 0xFF}, {0x0A, 8, 0x07}, {0x352, 0, 0xFF}, {0x353, 8, 0x07}, {0x356, 0, 0xFF},
              {0x357, 8, 0x07}}},
    .gainRegisters = 6, .gainPauseMs = 0,
    .linesMin = 1, .linesMax = 0xFFFF - 10, .linesDefault = 1440,
    .timeMin = 1, .timeMax = 20000, .timeDefault = 200,
    .secondsSupported = 0, .secondsMin = 0, .secondsMax = 0, .secondsDefault = 0,
    .blackLevel = {}, .blackLevelMax = 0, .blackLevelDefault = 0, .blackLevelSupported = 0,
    .mirrorRegister = 0x1A, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 72000, .word84 = 4, .variant = 60,
    .exposureLaw = ExposureLaw::FrameMinusShutter,
    .frameLength = {0x0B, 2, 0xFF}, .lineLength = {}, .shutter = {0x0D, 2, 0xFF},
    .shutterMargin = 10,
    .initialFrameLines = 3100, .initialLineLength = 0,
    .lineClocks = 1000, .binnedLineClocks = 1000, .exposureOffsetUs = 0,
    .windowCut = WindowCut::FpgaOnly,
    .window = {},
    .alignX = 8, .alignY = 2, .binnedAlignY = 0,
    .minWidth8 = 64, .minWidth16 = 64, .minHeight = 4,
    .verticalBlank = 0, .fullFrameLines = 3100, .windowLineLength = 0,
    .binnedFrameLines = 0, .binnedLineLength = 0,
    .hStartOffset = 0, .vStartOffset = 0, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0, 0, 0},
    .readiness = Readiness::None,
    .powerOn = {},
    .identifiesChip = false,
    .awaitsVerticalDrive = true,
};

// 1936 x 1096 sensor with checked transfers and exposure in seconds. Frame
// length 0x204-0x205 and shutter start 0x206-0x207; gain code 0-480 in
// 0x208 (low byte) and 0x209 (bit 8), written inside a register hold
// (CSensorLI7050); mirror bits in 0x600. The FPGA keeps the window. One line
// is 1100 ticks of the 48 MHz clock (22.9 us).
inline constexpr RegisterValue kLI7050PowerOn[] = {
    {0x200, 0x00},  // leave standby
};
inline constexpr ImxConstants kLI7050{
    .transfers = Transfers::Checked,
    .maxWidth = 1936, .maxHeight = 1096,
    .totalWidth = 1100, .totalHeight = 1125,
    .gainMax = 480, .gainDefault = 0,
    .gain = {{{0x209, 8, 0x01}, {0x208, 0, 0xFF}}}, .gainRegisters = 2, .gainPauseMs = 0,
    .linesMin = 1, .linesMax = 0xFFFF - 8, .linesDefault = 436,
    .timeMin = 1, .timeMax = 20000, .timeDefault = 100,
    .secondsSupported = 1, .secondsMin = 0.0000229, .secondsMax = 1.5, .secondsDefault = 0.01,
    .blackLevel = {}, .blackLevelMax = 0, .blackLevelDefault = 0, .blackLevelSupported = 0,
    .mirrorRegister = 0x600, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 48000, .word84 = 4, .variant = 61,
    .exposureLaw = ExposureLaw::FrameMinusShutter,
    .frameLength = {0x204, 2, 0xFF}, .lineLength = {}, .shutter = {0x206, 2, 0xFF},
    .shutterMargin = 8,
    .initialFrameLines = 1125, .initialLineLength = 0,
    .lineClocks = 1100, .binnedLineClocks = 1100, .exposureOffsetUs = 0,
    .windowCut = WindowCut::FpgaOnly,
    .window = {},
    .alignX = 8, .alignY = 2, .binnedAlignY = 0,
    .minWidth8 = 64, .minWidth16 = 64, .minHeight = 4,
    .verticalBlank = 0, .fullFrameLines = 1125, .windowLineLength = 0,
    .binnedFrameLines = 0, .binnedLineLength = 0,
    .hStartOffset = 0, .vStartOffset = 0, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0, 0, 0},
    .readiness = Readiness::None,
    .powerOn = kLI7050PowerOn,
    .identifiesChip = false,
    .awaitsVerticalDrive = false,
};

// 1280 x 1024 sensor with checked transfers and exposure in seconds. The
// exposure register 0x0B-0x0E holds the lines themselves (32 bits); the
// sensor lengthens its own frame for a longer exposure. Gain code 0-255 in
// 0x11F; mirror bits in 0x01; exposure mode (a second exposure per frame) in
// 0x10 and output mode in 0x12 (CSensorGLUX9701). The FPGA keeps the window.
// One line is 1000 ticks of the 37.037 MHz clock (27 us), 1060 per frame.
inline constexpr RegisterValue kGLUX9701PowerOn[] = {
    {0x00, 0x00},  // leave standby
    {0x10, 0x00},  // one exposure per frame
    {0x12, 0x00},  // linear output
};
inline constexpr ImxConstants kGLUX9701{
    .transfers = Transfers::Checked,
    .maxWidth = 1280, .maxHeight = 1024,
    .totalWidth = 1000, .totalHeight = 1060,
    .gainMax = 255, .gainDefault = 0,
    .gain = {{{0x11F, 0, 0xFF}}}, .gainRegisters = 1, .gainPauseMs = 0,
    .linesMin = 1, .linesMax = 100000, .linesDefault = 370,
    .timeMin = 1, .timeMax = 20000, .timeDefault = 100,
    .secondsSupported = 1, .secondsMin = 0.000027, .secondsMax = 2.0, .secondsDefault = 0.01,
    .blackLevel = {}, .blackLevelMax = 0, .blackLevelDefault = 0, .blackLevelSupported = 0,
    .mirrorRegister = 0x01, .mirrorHBit = 0x01, .mirrorVBit = 0x02,
    .pixelClockKHz = 37037, .word84 = 3, .variant = 114,
    .exposureLaw = ExposureLaw::DirectLines,
    .frameLength = {}, .lineLength = {}, .shutter = {0x0B, 4, 0xFF},
    .shutterMargin = 0,
    .initialFrameLines = 1060, .initialLineLength = 0,
    .lineClocks = 1000, .binnedLineClocks = 1000, .exposureOffsetUs = 0,
    .windowCut = WindowCut::FpgaOnly,
    .window = {},
    .alignX = 8, .alignY = 2, .binnedAlignY = 0,
    .minWidth8 = 64, .minWidth16 = 64, .minHeight = 4,
    .verticalBlank = 0, .fullFrameLines = 1060, .windowLineLength = 0,
    .binnedFrameLines = 0, .binnedLineLength = 0,
    .hStartOffset = 0, .vStartOffset = 0, .binnedHStart = 0, .binnedVStart = 0,
    .readoutCodes = {0, 0, 0},
    .readiness = Readiness::None,
    .powerOn = kGLUX9701PowerOn,
    .identifiesChip = false,
    .awaitsVerticalDrive = false,
};

}  // namespace vantix::imx
