#include "dialogs/exposure_units.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace vantix::dialogs {

double UnitsPerSecond(ExposureUnit unit) {
    switch (unit) {
        case ExposureUnit::Nanoseconds:
            return 1e9;
        case ExposureUnit::Microseconds:
            return 1e6;
        case ExposureUnit::Milliseconds:
            return 1e3;
        case ExposureUnit::Seconds:
            return 1.0;
    }
    return 1.0;
}

TextId UnitText(ExposureUnit unit) {
    switch (unit) {
        case ExposureUnit::Nanoseconds:
            return TextId::UnitNanoseconds;
        case ExposureUnit::Microseconds:
            return TextId::UnitMicroseconds;
        case ExposureUnit::Milliseconds:
            return TextId::UnitMilliseconds;
        case ExposureUnit::Seconds:
            return TextId::UnitSeconds;
    }
    return TextId::UnitSeconds;
}

ExposureUnit UnitForSeconds(double seconds) {
    if (seconds > 1.0) return ExposureUnit::Seconds;
    if (seconds >= 0.001) return ExposureUnit::Milliseconds;
    if (seconds >= 0.000001) return ExposureUnit::Microseconds;
    return ExposureUnit::Nanoseconds;
}

std::string FormatExposureNumber(double value) {
    if (!std::isfinite(value)) return "0";
    const double fraction = value - std::floor(value);
    char text[64];
    if (fraction >= 0.001) {
        std::snprintf(text, sizeof text, "%.3f", value);
    } else if (fraction >= 0.000001) {
        std::snprintf(text, sizeof text, "%.6f", value);
    } else {
        const double whole = std::clamp(std::floor(value), double{std::numeric_limits<int32_t>::min()},
                                        double{std::numeric_limits<int32_t>::max()});
        std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(whole));
    }
    return text;
}

}  // namespace vantix::dialogs
