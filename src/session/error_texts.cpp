#include "session/error_texts.h"

#include "session/error_codes.h"

namespace vantix {

const char* ErrorText(int32_t code) {
    switch (code) {
        case kErrorNone: return "no error";
        case kErrorNoEngine:
            return "not allowed in the current acquisition state, no picture taken yet, or a serial ROM access "
                   "failed";
        case kErrorNoCamera: return "the camera is not attached or cannot be opened";
        case kErrorThread: return "a worker thread could not be started";
        case kErrorWindow:
            return "the preview window could not be made (no X display?), or no stored capture size matches";
        case kErrorMemory: return "out of memory, buffer too small, or no image yet";
        case kErrorEngineRefused:
            return "the camera refused the request, or another session is streaming from it";
        case kErrorCaptureWindow: return "the capture window or sub-sampling does not fit the sensor";
        case kErrorTransfer: return "a frame transfer failed, or the preview could not start";
        case kErrorArgument: return "an argument is out of range or a required pointer is NULL";
        case kErrorNotSupported: return "not supported by this camera";
        case kErrorConversion:
            return "a file could not be written, a recording or mask update could not start, a value could not be "
                   "read, or a text could not be converted";
        case kErrorDeviceLost: return "the camera stopped delivering frames";
        case kErrorMaskFile: return "the mask file could not be read or written, or is not a mask file";
        default: return "unknown error code";
    }
}

}  // namespace vantix
