#pragma once
// The calling pattern every handle-taking export follows: look the handle up,
// return the failure value for an unknown handle without side effects, else
// run the session operation. No exception leaves the library: an allocation
// failure becomes error code 5, anything else a diagnostic line and the
// failure value.
#include <cstdint>
#include <new>

#include "api/handle_registry.h"
#include "platform/debug_output.h"
#include "session/error_codes.h"
#include "platform/text_encoding.h"
#include "session/vantix_session.h"

namespace vantix {

template <typename Result, typename Operation>
Result CallSession(int32_t handle, Result failure, Operation&& operation) noexcept {
    CVantix* session = SdkChain().SessionFor(handle);
    if (session == nullptr) return failure;
    try {
        return operation(*session);
    } catch (const std::bad_alloc&) {
        session->RecordError(kErrorMemory);
    } catch (const std::exception& e) {
        DebugPrintf(DebugCategory::Api, "vantix: operation failed: %s", e.what());
    } catch (...) {
        DebugOutput(DebugCategory::Api, "vantix: operation failed with an unknown exception");
    }
    return failure;
}

// The UTF-16 file-name exports convert the name into a zero-filled 1024-byte
// buffer in the locale's character set and run the narrow operation; a failed
// conversion records code 12.
template <typename Operation>
int32_t CallWithAnsiName(int32_t handle, const char16_t* name, Operation&& operation) noexcept {
    return CallSession(handle, 0, [&](CVantix& session) -> int32_t {
        char narrow[kAnsiPathBufferSize] = {};
        if (!Utf16ToAnsi(name, narrow, sizeof narrow)) {
            session.RecordError(kErrorConversion);
            return 0;
        }
        return operation(session, narrow);
    });
}

}  // namespace vantix
