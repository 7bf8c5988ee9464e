#include "sensors/fpga_timed/thermistor.h"

#include <cmath>

namespace vantix::fpga_timed {
namespace {

// Divider: code = 9994.24 / (R x 10 + 9.76), R in units of 10 kOhm.
constexpr double kDividerScale = 9994.24;
constexpr double kDividerOffset = 9.76;
constexpr double kResistanceUnits = 10.0;
// Beta law around 25 degrees.
constexpr double kBeta = 3950.0;
constexpr double kReferenceKelvin = 298.15;
constexpr double kZeroCelsiusKelvin = 273.15;

}  // namespace

std::optional<double> ThermistorCelsius(uint32_t code) {
    if (code == 0) return std::nullopt;
    const double r = (kDividerScale / code - kDividerOffset) / kResistanceUnits;
    if (!(r > 0.0)) return std::nullopt;
    return 1.0 / (std::log(r) / kBeta + 1.0 / kReferenceKelvin) - kZeroCelsiusKelvin;
}

std::optional<uint16_t> ThermistorCode(double celsius) {
    const double kelvin = celsius + kZeroCelsiusKelvin;
    if (!(kelvin > 0.0) || !std::isfinite(kelvin)) return std::nullopt;
    const double r = std::exp((1.0 / kelvin - 1.0 / kReferenceKelvin) * kBeta);
    // r runs from 0 (hot) to infinity (cold): the code from 1024 down to 0.
    return static_cast<uint16_t>(std::trunc(kDividerScale / (r * kResistanceUnits + kDividerOffset)));
}

}  // namespace vantix::fpga_timed
