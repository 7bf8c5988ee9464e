#pragma once
// The cooled InGaAs head's thermistor: an NTC of 10 kOhm at 25 degrees
// (B = 3950 K) in a divider whose 16-bit reading the head reports as a code.
// Conversions both ways; a code or a temperature the divider cannot
// represent has no conversion.
#include <cstdint>
#include <optional>

namespace vantix::fpga_timed {

// Degrees Celsius of a thermistor code; none for a code that gives no
// resistance (0, or 1024 and above: an open or shorted thermistor).
std::optional<double> ThermistorCelsius(uint32_t code);

// The code the head reads at `celsius`; none at or below absolute zero, or
// for a value that is not a number.
std::optional<uint16_t> ThermistorCode(double celsius);

}  // namespace vantix::fpga_timed
