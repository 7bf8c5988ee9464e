#include "transport/request_layer.h"

#include <cstring>
#include <string>

#include "transport/device_drivers.h"
#include "transport/device_table.h"
#include "transport/usb_trace.h"

namespace vantix {

CFx3Api::CFx3Api() {
    InstallDeviceDrivers();
    ProcessDeviceTable().Attach();
}

CFx3Api::~CFx3Api() { ProcessDeviceTable().Detach(); }

bool CFx3Api::OpenDevice(int32_t index, bool overlapped, DeviceHandle* holder) const {
    if (holder == nullptr) return false;
    holder->reset();
    const DeviceTable& table = ProcessDeviceTable();
    if (!table.IsValidIndex(index)) return false;
    uint32_t error = kErrorSuccess;
    *holder = OpenDeviceFile(table.DevicePath(index), overlapped, &error);
    return *holder != nullptr;
}

bool CFx3Api::CloseDeviceHandle(DeviceHandle* holder) const {
    if (holder == nullptr || *holder == nullptr) return false;
    holder->reset();
    return true;
}

bool CFx3Api::SendEp0Request(DeviceConnection* handle, Ep0Record* record, uint32_t* returned) const {
    if (handle == nullptr) return false;
    uint32_t count = 0;
    const uint32_t result =
        handle->IoControl(kIoctlEp0Transfer, record, kEp0RecordSize, record, kEp0RecordSize, &count, nullptr);
    TraceEp0(record->header, count, result, record->data);
    if (result != kErrorSuccess) return false;
    *returned = count;
    return true;
}

bool CFx3Api::BulkTransfer(DeviceConnection* handle, uint8_t endpoint, void* data, uint32_t n, uint32_t* count,
                           uint8_t* staging) const {
    if (handle == nullptr || staging == nullptr || n > kMaxTransferBytes) return false;
    std::memset(staging, 0, kTransferHeaderSize + size_t{n});
    auto* header = reinterpret_cast<TransferHeader*>(staging);
    header->endpoint = endpoint;
    header->dataOffset = kTransferHeaderSize;
    header->dataLength = n;

    Event done(EventReset::Auto);
    Overlapped overlapped(&done);
    uint32_t returned = 0;
    uint32_t result = handle->IoControl(kIoctlBulkTransfer, staging, kTransferHeaderSize + n, staging,
                                        kTransferHeaderSize + n, &returned, &overlapped);
    bool ok = result == kErrorSuccess;
    if (result == kErrorIoPending) {
        if (done.Wait(kBulkWaitMs) == WaitResult::Signalled) {
            ok = overlapped.Result(&returned, &result);
        } else {
            // Timed out: abort the stream pipe, then give the aborted request a
            // moment; the transfer has failed whatever happens now. If it is
            // still not complete, abort again and wait for it without limit,
            // because the driver still owns the staging buffer.
            AbortPipe(handle);
            if (done.Wait(kAbortGraceMs) == WaitResult::TimedOut && !overlapped.IsComplete()) {
                AbortPipe(handle);
                done.Wait(kInfinite);
            }
            result = kErrorSemTimeout;
            ok = false;
        }
    }
    const uint32_t dataCount = ok ? DataCountFromReturned(returned) : 0;
    TraceStream(endpoint, n, dataCount, ok ? kErrorSuccess : result);
    if (!ok) return false;
    if (dataCount <= n) std::memcpy(data, staging + kTransferHeaderSize, dataCount);
    if (count != nullptr) *count = dataCount;
    return true;
}

bool CFx3Api::StartDirectTransfer(DeviceConnection* handle, TransferHeader* header, void* buffer, uint32_t n,
                                  uint8_t endpoint, Overlapped* overlapped) {
    if (handle == nullptr) return false;
    std::memset(header, 0, sizeof *header);
    header->endpoint = endpoint;
    uint32_t returned = 0;
    const uint32_t result =
        handle->IoControl(kIoctlDirectTransfer, header, kTransferHeaderSize, buffer, n, &returned, overlapped);
    lastRequestError_ = result;
    return true;
}

bool CFx3Api::WaitDirectTransfer(Overlapped* overlapped, uint32_t milliseconds) const {
    if (lastRequestError_ == kErrorSuccess) return true;
    if (lastRequestError_ != kErrorIoPending) return false;
    return overlapped->CompletionEvent()->Wait(milliseconds) == WaitResult::Signalled;
}

bool CFx3Api::FinishDirectTransfer(const TransferHeader* header, const Overlapped* overlapped,
                                   uint32_t* count) const {
    uint32_t transferred = 0;
    uint32_t error = kErrorSuccess;
    if (!overlapped->Result(&transferred, &error)) return false;
    if (count != nullptr) *count = transferred;
    return header->statusA == 0 && header->statusB == 0;
}

bool CFx3Api::DirectTransfer(DeviceConnection* handle, void* buffer, uint32_t n, uint8_t endpoint,
                             uint32_t* count, uint32_t timeoutMs, bool hasStagingBuffer) {
    if (n > kMaxTransferBytes || handle == nullptr || !hasStagingBuffer) return false;
    // Header, overlapped state and event live on this stack frame: no
    // allocation per transfer. They are released only after the request has
    // completed, whichever way it ends.
    Event done(EventReset::Auto);
    Overlapped overlapped(&done);
    TransferHeader header{};
    uint32_t transferred = 0;
    bool ok = false;
    if (StartDirectTransfer(handle, &header, buffer, n, endpoint, &overlapped) &&
        WaitDirectTransfer(&overlapped, timeoutMs)) {
        ok = FinishDirectTransfer(&header, &overlapped, &transferred);
    } else if (lastRequestError_ == kErrorIoPending || lastRequestError_ == kErrorSuccess) {
        // The request is (or may be) still in the driver's hands: abort the
        // endpoint it reads from (aborting only the stream endpoint would
        // leave a direct-frame read pending forever), and do not let go of
        // its storage before it has completed. A request that failed at once
        // never started, so it needs neither.
        AbortPipe(handle, endpoint);
        if (done.Wait(kAbortGraceMs) != WaitResult::Signalled && !overlapped.IsComplete()) {
            AbortPipe(handle, endpoint);
            done.Wait(kInfinite);
        }
        // A read that completed between the time-out and the abort carries
        // data the camera has already sent (a frame header, say): dropping
        // it would lose that frame, so it counts as a transfer that worked.
        ok = lastRequestError_ == kErrorIoPending && FinishDirectTransfer(&header, &overlapped, &transferred) &&
             transferred > 0;
    }
    const uint32_t reported = ok ? transferred : 0;
    TraceStream(endpoint, n, reported, ok ? kErrorSuccess : (lastRequestError_ ? lastRequestError_ : kErrorSemTimeout));
    if (count != nullptr) *count = reported;
    return ok;
}

bool CFx3Api::AbortPipe(DeviceConnection* handle, uint8_t endpoint) const {
    if (handle == nullptr) return false;
    Event done(EventReset::Auto);
    Overlapped overlapped(&done);
    uint32_t returned = 0;
    if (handle->IoControl(kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &returned, &overlapped) == kErrorIoPending) {
        done.Wait(kInfinite);
    }
    return true;
}

bool CFx3Api::SendSimpleRequest(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                                uint32_t* returned) const {
    DeviceHandle handle;
    if (!OpenDevice(deviceIndex_, false, &handle)) return false;
    uint32_t count = 0;
    const bool ok = handle->IoControl(code, in, inSize, out, outSize, &count, nullptr) == kErrorSuccess;
    if (returned != nullptr) *returned = count;
    return ok;
}

bool CFx3Api::ResetPipe(uint8_t endpoint) const {
    return SendSimpleRequest(kIoctlResetPipe, &endpoint, 1, nullptr, 0, nullptr);
}

bool CFx3Api::ResetPort() const { return SendSimpleRequest(kIoctlResetPort, nullptr, 0, nullptr, 0, nullptr); }

bool CFx3Api::GetSpeed(uint32_t* code) const {
    DeviceHandle handle;
    if (!OpenDevice(deviceIndex_, false, &handle)) return false;
    uint32_t speed = 0;
    uint32_t returned = 0;
    if (handle->IoControl(kIoctlGetSpeed, &speed, 4, &speed, 4, &returned, nullptr) == kErrorSuccess &&
        code != nullptr) {
        *code = speed;
    }
    return true;
}

int32_t CFx3Api::EnumerateDevices() const { return ProcessDeviceTable().Enumerate(interfaceClass_); }

bool CFx3Api::DeviceExists(int32_t index) const { return ProcessDeviceTable().Exists(index); }

}  // namespace vantix
