#pragma once
// The mailbox heads side by side: one constant record per sensor class.
#include <cstdint>

#include "sensors/mailbox/mailbox_head.h"

namespace vantix::mailbox {

// 2048 x 2048 head, gain in 0-255 at FPGA 138/139.
inline constexpr MailboxConstants kQ119{
    .maxWidth = 2048, .maxHeight = 2048, .defaultWidth = 2048, .defaultHeight = 2048,
    .gain = {.min = 0, .max = 255, .current = 64, .defaultValue = 64, .stepOrSupported = 1},
    .exposureLines = {.min = 5, .max = 134217727, .current = 1240, .defaultValue = 1240, .stepOrSupported = 1},
    .unsignedLines = false,
    .exposureTime = {.min = 1, .max = 10000, .current = 100, .defaultValue = 100, .stepOrSupported = 1},
    .exposureSecondsMin = 0.000056, .exposureSecondsMax = 1.0, .exposureSecondsDefault = 0.0112,
    .blackLevel = {}, .gainStep = {},
    .mirrorSupported = 0,
    .pixelClockKHz = 50000,
    .variant = 103,
    .detectAttempts = 20, .detectLimitMs = 5000, .secondStatus = false,
    .temperatureSlope = 0.2384, .temperatureOffset = -300.91,
    .sensorMode65On = 241, .sensorMode65Off = 245,
};

// 4096 x 4096 head: gain steps with labels instead of a gain, a black level,
// mirrors, and a full-size scan. Its exposure takes all 32 bits, so the
// record's line words hold unsigned values.
inline constexpr MailboxConstants kQ123{
    .maxWidth = 4096, .maxHeight = 4096, .defaultWidth = 2048, .defaultHeight = 2048,
    .gain = {},
    .exposureLines = {.min = 1, .max = static_cast<int32_t>(0xFFFFFFFFu), .current = 1240, .defaultValue = 1240,
                      .stepOrSupported = 1},
    .unsignedLines = true,
    .exposureTime = {.min = 1, .max = 10000000, .current = 100, .defaultValue = 100, .stepOrSupported = 1},
    .exposureSecondsMin = 0.00002052, .exposureSecondsMax = 1000.0, .exposureSecondsDefault = 0.0112,
    .blackLevel = {.min = 0, .max = 16383, .current = 15680, .defaultValue = 15680, .stepOrSupported = 1},
    .gainStep = {.min = 0, .max = 7, .current = 4, .defaultValue = 4, .stepOrSupported = 1},
    .mirrorSupported = 1,
    .pixelClockKHz = 25000,
    .variant = 115,
    .detectAttempts = 0, .detectLimitMs = 30000, .secondStatus = true,
    .temperatureSlope = 0.5031, .temperatureOffset = -295.64,
    .sensorMode65On = 113, .sensorMode65Off = 117,
};

}  // namespace vantix::mailbox
