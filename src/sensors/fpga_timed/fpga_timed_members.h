#pragma once
// The FPGA-timed heads side by side: one constant record per sensor class.
#include "sensors/fpga_timed/fpga_timed_head.h"

namespace vantix::fpga_timed {

inline constexpr ParameterRange kGain{.min = 0, .max = 255, .current = 64, .defaultValue = 64, .stepOrSupported = 1};
// Lines per frame a line head gathers at open; the session's window then
// sets what the application asked for.
inline constexpr int32_t kOpeningLines = 64;
// A line head's frame can gather this many lines.
inline constexpr int32_t kMaxFrameLines = 32768;

// 640 x 512 InGaAs array at 6.25 MHz; exposure in pixel clocks, also in seconds.
inline constexpr FpgaTimedConstants kQ114{
    .maxWidth = 640, .maxHeight = 512, .defaultWidth = 640, .defaultHeight = 512, .openingLines = 0,
    .gain = kGain,
    .exposureLines = {.min = 0, .max = 16777215, .current = 62499, .defaultValue = 62499, .stepOrSupported = 1},
    .exposureTime = {.min = 1, .max = 10000, .current = 100, .defaultValue = 100, .stepOrSupported = 1},
    .exposureSecondsMin = 0.000001, .exposureSecondsMax = 2.684, .exposureSecondsDefault = 0.01,
    .pixelClockKHz = 6250, .frameLayout = 0,
    .kind = HeadKind::InGaAsArea, .law = ExposureLaw::ClocksLessOffset, .roundedArea = true,
};

// 320 x 256 InGaAs array; the same clock, exposure without the clock offset.
inline constexpr FpgaTimedConstants kQ115 = [] {
    FpgaTimedConstants k = kQ114;
    k.maxWidth = k.defaultWidth = 320;
    k.maxHeight = k.defaultHeight = 256;
    k.exposureSecondsMin = k.exposureSecondsMax = k.exposureSecondsDefault = 0;
    k.law = ExposureLaw::Clocks;
    return k;
}();

// 320 x 256 cooled InGaAs array: exposure in 8 ms steps above 50 ms, a
// thermistor and a cooler (sensor_g1467x.h).
inline constexpr FpgaTimedConstants kG1467x{
    .maxWidth = 320, .maxHeight = 256, .defaultWidth = 320, .defaultHeight = 256, .openingLines = 0,
    .gain = kGain,
    .exposureLines = {.min = 0, .max = 1677721, .current = 5039, .defaultValue = 5039, .stepOrSupported = 1},
    .exposureTime = {.min = 500, .max = 1000000, .current = 500, .defaultValue = 500, .stepOrSupported = 1},
    .exposureSecondsMin = 0, .exposureSecondsMax = 0, .exposureSecondsDefault = 0,
    .pixelClockKHz = 6250, .frameLayout = 2,
    .kind = HeadKind::InGaAsArea, .law = ExposureLaw::CoarseSteps, .roundedArea = true,
};

// 512-pixel line sensor at 5 MHz; exposure in line times. Its window is
// taken as asked (no grid).
inline constexpr FpgaTimedConstants kQ117{
    .maxWidth = 512, .maxHeight = kMaxFrameLines, .defaultWidth = 512, .defaultHeight = 512,
    .openingLines = kOpeningLines,
    .gain = kGain,
    .exposureLines = {.min = 89, .max = 5039, .current = 3000, .defaultValue = 3000, .stepOrSupported = 1},
    .exposureTime = {.min = 89, .max = 5039, .current = 3000, .defaultValue = 3000, .stepOrSupported = 1},
    .exposureSecondsMin = 0, .exposureSecondsMax = 0, .exposureSecondsDefault = 0,
    .pixelClockKHz = 5000, .frameLayout = 0,
    .kind = HeadKind::LineScan, .law = ExposureLaw::Lines, .roundedArea = false,
};

// The line sensors of 256 and 2048 pixels: the 512-pixel head's timing on
// the InGaAs heads' window grid; the 2048-pixel head defaults to shorter lines.
inline constexpr FpgaTimedConstants kQ116 = [] {
    FpgaTimedConstants k = kQ117;
    k.maxWidth = k.defaultWidth = k.defaultHeight = 256;
    k.roundedArea = true;
    return k;
}();
inline constexpr FpgaTimedConstants kQ122 = [] {
    FpgaTimedConstants k = kQ116;
    k.maxWidth = k.defaultWidth = k.defaultHeight = 2048;
    k.exposureLines.current = k.exposureLines.defaultValue = 1500;
    k.exposureTime.current = k.exposureTime.defaultValue = 1500;
    return k;
}();

// 1024-pixel line sensor: its shortest line is 136 units.
inline constexpr FpgaTimedConstants kQ118 = [] {
    FpgaTimedConstants k = kQ122;
    k.maxWidth = k.defaultWidth = k.defaultHeight = 1024;
    k.exposureLines.min = k.exposureTime.min = 136;
    return k;
}();

}  // namespace vantix::fpga_timed
