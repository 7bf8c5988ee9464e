#pragma once
// Exposure times in seconds as the analog dialog shows and reads them: in
// ns, µs, ms or sec, with as many decimals as the value needs.
#include <string>

#include "dialogs/dialog_texts.h"

namespace vantix::dialogs {

enum class ExposureUnit { Nanoseconds = 0, Microseconds, Milliseconds, Seconds };
inline constexpr int kExposureUnits = 4;

// How many of the unit make one second.
double UnitsPerSecond(ExposureUnit unit);
TextId UnitText(ExposureUnit unit);
// The unit a value is shown in: sec above 1 s, ms from 1 ms, µs from 1 µs,
// else ns.
ExposureUnit UnitForSeconds(double seconds);
// "%.3f" when the fractional part is at least 0.001, "%.6f" when at least
// 0.000001, else the whole number.
std::string FormatExposureNumber(double value);

}  // namespace vantix::dialogs
