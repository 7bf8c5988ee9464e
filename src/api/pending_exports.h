#pragma once
// Exports whose session operation is not built yet: each records code 11 (not
// supported) and returns its failure value. When an operation lands, its
// exports leave this list; the API tests call every export listed here and
// check that the others are not reported as missing.
#include <array>
#include <string_view>

namespace vantix {

inline constexpr std::array<std::string_view, 0> kPendingExports = {};

}  // namespace vantix
