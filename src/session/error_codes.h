#pragma once
// Error codes a session records in its history and posts to the notification
// window. Code 10 is never raised.
#include <cstdint>

namespace vantix {

enum ErrorCode : int32_t {
    kErrorNone = 0,              // recorded on success by a few operations
    kErrorNoEngine = 1,          // no engine, wrong acquisition state, SROM failure, no image
    kErrorNoCamera = 2,          // camera absent or cannot be opened, device index out of range
    kErrorThread = 3,            // creating an event or worker thread failed
    kErrorWindow = 4,            // preview window failed, no stored capture size matches
    kErrorMemory = 5,            // image memory, buffer too small, no image yet, record too short
    kErrorEngineRefused = 6,     // the camera refused a register access, transfer or setting
    kErrorCaptureWindow = 7,     // invalid capture window or sub-sample mode
    kErrorTransfer = 8,          // a frame transfer failed, preview start failed
    kErrorArgument = 9,          // argument out of range or null pointer
    kErrorNotSupported = 11,     // the operation is not supported
    kErrorConversion = 12,       // string conversion, recording start, mask update refused, settings not saved
    kErrorDeviceLost = 13,       // the camera stopped delivering during preview
    kErrorMaskFile = 14,         // mask file errors
};

// Window messages posted by a session.
inline constexpr uint32_t kMessageFrame = 0x8002;
inline constexpr uint32_t kMessageError = 0x8003;

}  // namespace vantix
