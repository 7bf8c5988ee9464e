#pragma once
// Error codes of the device-file layer. They keep the values the camera code
// has always compared against, so traces and diagnostics read the same on
// every platform.
#include <cstdint>

namespace vantix {

inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;   // no permission, or the interface is busy
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorGenFailure = 31;     // the device stalled or refused the request
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorSemTimeout = 121;    // the device did not answer in time
inline constexpr uint32_t kErrorOperationAborted = 995;
inline constexpr uint32_t kErrorIoIncomplete = 996;  // overlapped result asked for before completion
inline constexpr uint32_t kErrorIoPending = 997;     // the request continues in the background
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;

}  // namespace vantix
