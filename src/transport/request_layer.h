#pragma once
// CFx3Api: every exchange with a camera as a device-control request on a
// device file of the camera driver. Request handles are opened per request;
// the stream handle (overlapped) is kept by the controller for frame data.
// Attaches to the process's device table for its lifetime.
#include <cstdint>
#include <memory>

#include "drivers/device_file.h"
#include "drivers/transfer_record.h"
#include "platform/event.h"

namespace vantix {

using DeviceHandle = std::unique_ptr<DeviceConnection>;

// Largest buffered or direct transfer: the size of the staging buffer.
inline constexpr uint32_t kMaxTransferBytes = 0x4000000;  // 64 MiB
inline constexpr uint32_t kBulkWaitMs = 3000;
// After aborting a timed-out transfer, how long its completion may take
// before the pipe is aborted again.
inline constexpr uint32_t kAbortGraceMs = 50;

class CFx3Api {
public:
    CFx3Api();
    virtual ~CFx3Api();
    CFx3Api(const CFx3Api&) = delete;
    CFx3Api& operator=(const CFx3Api&) = delete;

    // Opens device-table entry `index`; false (holder null) for an index
    // outside the table or a device that does not open.
    bool OpenDevice(int32_t index, bool overlapped, DeviceHandle* holder) const;
    bool CloseDeviceHandle(DeviceHandle* holder) const;

    // An endpoint-0 request on a request handle; *returned includes the
    // 38-byte header.
    bool SendEp0Request(DeviceConnection* handle, Ep0Record* record, uint32_t* returned) const;

    // A buffered bulk read of n bytes through `staging` (kMaxTransferBytes +
    // 38 bytes, the controller's transfer buffer), waiting up to 3 s.
    bool BulkTransfer(DeviceConnection* handle, uint8_t endpoint, void* data, uint32_t n, uint32_t* count,
                      uint8_t* staging) const;

    // The three steps of a direct transfer into the caller's buffer. The
    // header and overlapped storage belong to the caller and must live until
    // FinishDirectTransfer, or until an abort has completed the request.
    bool StartDirectTransfer(DeviceConnection* handle, TransferHeader* header, void* buffer, uint32_t n,
                             uint8_t endpoint, Overlapped* overlapped);
    bool WaitDirectTransfer(Overlapped* overlapped, uint32_t milliseconds) const;
    bool FinishDirectTransfer(const TransferHeader* header, const Overlapped* overlapped, uint32_t* count) const;

    // A direct transfer with time-out and recovery: a transfer whose wait
    // fails is aborted and its completion awaited before this returns.
    bool DirectTransfer(DeviceConnection* handle, void* buffer, uint32_t n, uint8_t endpoint, uint32_t* count,
                        uint32_t timeoutMs, bool hasStagingBuffer);

    // Aborts every transfer pending on an endpoint of `handle` (the stream
    // endpoint unless told otherwise).
    bool AbortPipe(DeviceConnection* handle, uint8_t endpoint = kStreamEndpoint) const;
    bool ResetPipe(uint8_t endpoint) const;
    bool ResetPort() const;
    bool GetSpeed(uint32_t* code) const;

    // ---- Device table ----
    // Refreshes the table from the system; returns the entry count.
    int32_t EnumerateDevices() const;
    bool DeviceExists(int32_t index) const;
    int32_t DeviceIndex() const { return deviceIndex_; }
    uint32_t LastRequestError() const { return lastRequestError_; }

protected:
    bool SendSimpleRequest(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                           uint32_t* returned) const;

    int32_t deviceIndex_ = 0;
    Guid interfaceClass_{};
    uint32_t lastRequestError_ = 0;
};

}  // namespace vantix
