#include "api/handle_registry.h"

#include <cstdlib>

#include "platform/clock.h"
#include "session/vantix_session.h"

namespace {
CSdkChain g_sdkChain;
}

CSdkChain& SdkChain() { return g_sdkChain; }

int32_t CSdkChain::CreateSession() {
    CVantix* session = new (std::nothrow) CVantix();
    if (session == nullptr) return 0;

    vantix::ScopedLock lock(Section());
    // Tick count + a pseudo-random number + the ring size. A result of 0 would
    // read as failure and a duplicate would shadow a live session, so either is
    // drawn again.
    uint32_t handle = 0;
    do {
        handle = vantix::TickCount() + static_cast<uint32_t>(std::rand()) + static_cast<uint32_t>(Count());
    } while (handle == 0 || Lookup(static_cast<int32_t>(handle)) != nullptr);

    if (!Insert(CSDKDATA{static_cast<int32_t>(handle), session})) {
        delete session;
        return 0;
    }
    return static_cast<int32_t>(handle);
}

CVantix* CSdkChain::SessionFor(int32_t handle) {
    Node* node = Lookup(handle);
    return node != nullptr ? node->record.session : nullptr;
}

bool CSdkChain::Detach(int32_t handle, CVantix** session) {
    vantix::ScopedLock lock(Section());
    Node* node = Lookup(handle);
    if (node == nullptr) return false;
    *session = node->record.session;
    node->record.session = nullptr;
    Remove(handle);
    return true;
}
