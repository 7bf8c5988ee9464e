#pragma once
// Error codes of the device-file layer. They keep the values the camera code
// has always compared against, so traces and diagnostics read the same on
// every platform.
#include <cstdint>

namespace vantix {

// A type of their own, apart from the session's error codes (ErrorCode):
// device error 2 is "file not found", session code 2 "no camera", and the
// session's RecordError refuses these at compile time.
enum DeviceError : uint32_t {
    kErrorSuccess = 0,
    kErrorFileNotFound = 2,
    kErrorAccessDenied = 5,   // no permission, or the interface is busy
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorGenFailure = 31,     // the device stalled or refused the request
    kErrorInvalidParameter = 87,
    kErrorSemTimeout = 121,    // the device did not answer in time
    kErrorInsufficientBuffer = 122,
    kErrorOperationAborted = 995,
    kErrorIoIncomplete = 996,  // overlapped result asked for before completion
    kErrorIoPending = 997,     // the request continues in the background
    kErrorDeviceNotConnected = 1167,
};

}  // namespace vantix
