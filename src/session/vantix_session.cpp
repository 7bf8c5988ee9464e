#include "session/vantix_session.h"

#include "platform/window_messages.h"
#include "session/error_codes.h"

CVantix::CVantix() = default;

CVantix::~CVantix() = default;

bool CVantix::Initialize(VantixHwnd window) {
    notifyWindow_ = window;
    // A window must exist to be registered for camera arrival and removal
    // notifications; a stale or foreign handle fails the registration.
    if (window != nullptr && !vantix::IsLiveWindow(window)) return false;
    return true;
}

void CVantix::RecordError(int32_t code) {
    errorHistory_.Push(code, [&] {
        if (notifyWindow_ != nullptr) {
            vantix::PostWindowMessage(notifyWindow_, vantix::kMessageError, 0, code);
        }
    });
}

// Posting to "no window" would go to the calling thread's own message queue on
// a desktop system; here it has no receiver, so a null window gets nothing.
void CVantix::NotifyOnly(int32_t code) {
    if (notifyWindow_ != nullptr) {
        vantix::PostWindowMessage(notifyWindow_, vantix::kMessageError, 0, code);
    }
}

int32_t CVantix::PopError() { return errorHistory_.Pop(); }
