#include "drivers/libusb_driver.h"

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>

#include <sys/time.h>

#include "drivers/ioctl_decoder.h"
#include "drivers/transfer_record.h"
#include "drivers/usb_device_path.h"
#include "platform/debug_output.h"
#include "platform/thread.h"

namespace vantix {

// ---------------------------------------------------------------------------
// UsbPipeQueue

void UsbPipeQueue::Add(UsbPipeRequest* request) {
    active_.push_back(request);
    waiting_.push_back(request);
}

std::optional<UsbSegment> UsbPipeQueue::Next() {
    if (blocked_ || waiting_.empty()) return std::nullopt;
    UsbPipeRequest* request = waiting_.front();
    const uint32_t remaining = request->length - request->submitted;
    const uint32_t length = std::min(remaining, segmentLimit_);
    const UsbSegment segment{request, request->submitted, length, length == remaining};
    request->submitted += length;
    ++request->inFlight;
    if (segment.last) {
        request->ended = true;
        waiting_.pop_front();
    } else {
        blocked_ = true;
    }
    return segment;
}

bool UsbPipeQueue::Done(const UsbSegment& segment, uint32_t error, int32_t detail, uint32_t actual) {
    UsbPipeRequest* request = segment.request;
    --request->inFlight;
    if (!segment.last) blocked_ = false;
    actual = std::min(actual, segment.length);
    request->transferred += actual;
    const bool wouldContinue = !request->ended;
    if (error != kErrorSuccess) {
        if (request->error == kErrorSuccess) {
            request->error = error;
            request->detail = detail;
        }
        request->ended = true;
    } else if (actual < segment.length) {
        request->ended = true;  // a short packet: the device ended the transfer here
    } else if (request->aborted && wouldContinue) {
        request->error = kErrorOperationAborted;
        request->ended = true;
    }
    if (request->ended && wouldContinue) {
        std::erase(waiting_, request);
    }
    if (!request->ended || request->inFlight != 0) return false;
    Forget(request);
    return true;
}

std::vector<UsbPipeRequest*> UsbPipeQueue::Abort(const void* owner) {
    std::vector<UsbPipeRequest*> finished;
    for (UsbPipeRequest* request : active_) {
        if (owner != nullptr && request->owner != owner) continue;
        request->aborted = true;
        if (request->inFlight == 0) {
            if (!request->ended) std::erase(waiting_, request);
            request->ended = true;
            if (request->error == kErrorSuccess) request->error = kErrorOperationAborted;
            finished.push_back(request);
        }
    }
    for (UsbPipeRequest* request : finished) Forget(request);
    return finished;
}

void UsbPipeQueue::Forget(UsbPipeRequest* request) { std::erase(active_, request); }

// ---------------------------------------------------------------------------
// The libusb side

namespace {

constexpr int kCameraInterface = 0;
// The event thread is woken by libusb_interrupt_event_handler to stop; this
// bound only limits how long a missed wake-up could delay the stop.
constexpr int kEventWaitMicroseconds = 500 * 1000;
constexpr std::chrono::milliseconds kEventRetryDelay{10};

class UsbContext;

// One caller read on a stream endpoint, and how its completion is reported.
struct StreamRequest : UsbPipeRequest {
    uint64_t id = 0;  // issue order on the device; abort waits for the older ones
    uint8_t endpoint = 0;
    uint8_t* data = nullptr;
    TransferHeader* statusHeader = nullptr;  // receives the completion status words
    uint32_t bytesBias = 0;                  // the header size for a buffered record
    uint32_t timeoutMs = 0;                  // per segment; 0 waits until completion or abort
    Overlapped* overlapped = nullptr;
};

class UsbDevice;

// A segment handed to libusb.
struct Submission {
    UsbDevice* device;
    uint8_t endpoint;
    UsbSegment segment;
    libusb_transfer* transfer;
};

// An open camera: the libusb handle with the camera interface claimed, shared
// by every connection to it in this process.
class UsbDevice {
public:
    // Takes over a handle with the interface claimed, already counted by
    // UsbContext::DeviceOpened.
    UsbDevice(std::shared_ptr<UsbContext> context, libusb_device_handle* handle, std::string key);
    ~UsbDevice();
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    uint32_t ControlTransfer(IoRequest& request, uint32_t* bytes);
    // Queues a read; kErrorIoPending.
    uint32_t StartRead(const IoRequest& request, const void* owner, Overlapped* overlapped);
    uint32_t AbortPipe(uint8_t endpoint);
    // Aborts the reads of one connection and waits until all have completed.
    void AbortOwner(const void* owner);
    uint32_t ResetPipe(uint8_t endpoint);
    uint32_t ResetPort();
    uint32_t Speed();
    libusb_device* Device() const { return libusb_get_device(handle_); }

private:
    static void LIBUSB_CALL OnTransferComplete(libusb_transfer* transfer);
    void Completed(Submission* submission, int status, int actual);
    // Hands the endpoint's ready segments to libusb; reads that failed to
    // start are added to `finished`.
    void PumpLocked(uint8_t endpoint, std::vector<StreamRequest*>& finished);
    void CancelLocked(const std::function<bool(const StreamRequest&)>& match);
    // Writes the results of finished reads, completes their Overlappeds and
    // forgets them. Called without the lock held.
    void Report(const std::vector<StreamRequest*>& finished);
    void WaitUntilGone(const std::function<bool(const StreamRequest&)>& match);

    const std::shared_ptr<UsbContext> context_;
    libusb_device_handle* const handle_;
    const std::string key_;

    std::mutex mutex_;
    std::condition_variable changed_;  // a read was forgotten
    std::map<uint8_t, UsbPipeQueue> pipes_;
    // Endpoints whose last transfer stalled: halted until the host clears them.
    std::set<uint8_t> halted_;
    std::vector<std::unique_ptr<Submission>> submissions_;
    std::map<uint64_t, std::unique_ptr<StreamRequest>> requests_;
    uint64_t nextId_ = 1;
};

// The libusb context, its event thread and the registry of open devices.
// Devices keep it alive, so it outlives the driver object when a camera is
// still open at exit.
class UsbContext : public std::enable_shared_from_this<UsbContext> {
public:
    static std::shared_ptr<UsbContext> Create() {
        libusb_context* context = nullptr;
        const int result = libusb_init(&context);
        if (result != LIBUSB_SUCCESS) {
            DebugPrintf(DebugCategory::Drivers, "libusb driver: USB is not available (%s)", libusb_error_name(result));
            return nullptr;
        }
        return std::shared_ptr<UsbContext>(new UsbContext(context));
    }
    ~UsbContext() {
        StopEvents();
        libusb_exit(context_);
    }
    UsbContext(const UsbContext&) = delete;
    UsbContext& operator=(const UsbContext&) = delete;

    libusb_context* Get() const { return context_; }

    std::shared_ptr<UsbDevice> OpenDevice(const UsbDevicePath& path, uint32_t* error);
    // Device teardown, under the registry lock so that a reopen of the same
    // device waits until the interface is free again.
    void CloseDevice(const UsbDevice* device, const std::string& key, libusb_device_handle* handle);

    // The event thread runs while any device is open. False when it cannot
    // be started: reads would then never complete, so the open must fail.
    bool DeviceOpened() {
        std::lock_guard lock(threadMutex_);
        if (openDevices_ == 0) {
            stop_ = false;
            if (!events_.Start([this] { HandleEvents(); }, ThreadPriority::AboveNormal)) {
                DebugOutput(DebugCategory::Drivers, "libusb driver: cannot start the USB event thread");
                return false;
            }
        }
        ++openDevices_;
        return true;
    }
    void DeviceClosed() {
        std::lock_guard lock(threadMutex_);
        if (--openDevices_ == 0) StopEvents();
    }

private:
    explicit UsbContext(libusb_context* context) : context_(context) {}

    void HandleEvents() {
        while (!stop_.load()) {
            timeval wait{0, kEventWaitMicroseconds};
            const int result = libusb_handle_events_timeout_completed(context_, &wait, nullptr);
            if (result < 0 && result != LIBUSB_ERROR_INTERRUPTED) {
                DebugPrintf(DebugCategory::Drivers, "libusb driver: event handling failed (%s)",
                            libusb_error_name(result));
                std::this_thread::sleep_for(kEventRetryDelay);  // no busy loop on a persistent failure
            }
        }
    }
    void StopEvents() {
        if (!events_.Joinable()) return;
        stop_ = true;
        libusb_interrupt_event_handler(context_);
        events_.Join();
    }

    libusb_context* const context_;

    std::mutex threadMutex_;
    int openDevices_ = 0;
    Thread events_;
    std::atomic<bool> stop_{false};

    std::mutex registryMutex_;
    std::condition_variable closed_;
    // The open device at each location; an expired entry is a device whose
    // teardown is running.
    struct OpenEntry {
        const UsbDevice* device;
        std::weak_ptr<UsbDevice> ref;
    };
    std::map<std::string, OpenEntry> devices_;
};

// "<bus>-<port>.<port>..." names a physical slot, independent of ids.
std::string LocationKey(const UsbDevicePath& path) {
    std::string key = std::to_string(path.bus) + "-";
    for (size_t i = 0; i < path.ports.size(); ++i) {
        if (i > 0) key += '.';
        key += std::to_string(path.ports[i]);
    }
    return key;
}

// The device plugged in at a location, referenced; null when there is none
// or it is not the device the path names.
libusb_device* FindDevice(libusb_context* context, const UsbDevicePath& path) {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) return nullptr;
    libusb_device* found = nullptr;
    for (ssize_t i = 0; i < count && found == nullptr; ++i) {
        libusb_device* device = list[i];
        uint8_t ports[kMaxUsbPortDepth];
        const int depth = libusb_get_port_numbers(device, ports, static_cast<int>(kMaxUsbPortDepth));
        if (libusb_get_bus_number(device) != path.bus || depth <= 0 ||
            !std::equal(ports, ports + depth, path.ports.begin(), path.ports.end())) {
            continue;
        }
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS &&
            descriptor.idVendor == path.vendorId && descriptor.idProduct == path.productId) {
            found = libusb_ref_device(device);
        }
    }
    libusb_free_device_list(list, 1);
    return found;
}

std::shared_ptr<UsbDevice> UsbContext::OpenDevice(const UsbDevicePath& path, uint32_t* error) {
    const std::string key = LocationKey(path);
    std::unique_lock lock(registryMutex_);
    libusb_device* device = FindDevice(context_, path);
    if (device == nullptr) {
        *error = kErrorFileNotFound;
        return nullptr;
    }
    for (auto it = devices_.find(key); it != devices_.end(); it = devices_.find(key)) {
        if (std::shared_ptr<UsbDevice> open = it->second.ref.lock()) {
            // The request handle and the stream handle share one device. A
            // camera plugged in again where the handles of its gone
            // predecessor are still open gets a handle of its own.
            if (open->Device() != device) break;
            libusb_unref_device(device);
            return open;
        }
        closed_.wait(lock);  // its teardown is running; the interface is free once it ends
    }

    libusb_device_handle* handle = nullptr;
    int result = libusb_open(device, &handle);
    libusb_unref_device(device);
    if (result == LIBUSB_SUCCESS) {
        result = libusb_claim_interface(handle, kCameraInterface);
        if (result != LIBUSB_SUCCESS) libusb_close(handle);
    }
    if (result != LIBUSB_SUCCESS) {
        DebugPrintf(DebugCategory::Drivers, "libusb driver: cannot open the camera at %s (%s)%s", key.c_str(),
                    libusb_error_name(result),
                    result == LIBUSB_ERROR_ACCESS ? "; install the udev rules for the camera" : "");
        *error = OpenErrorFromLibusbResult(result);
        return nullptr;
    }
    if (!DeviceOpened()) {
        libusb_release_interface(handle, kCameraInterface);
        libusb_close(handle);
        *error = kErrorNotEnoughMemory;
        return nullptr;
    }
    auto opened = std::make_shared<UsbDevice>(shared_from_this(), handle, key);
    devices_[key] = {opened.get(), opened};
    return opened;
}

void UsbContext::CloseDevice(const UsbDevice* device, const std::string& key, libusb_device_handle* handle) {
    {
        std::lock_guard lock(registryMutex_);
        libusb_release_interface(handle, kCameraInterface);
        libusb_close(handle);
        if (const auto it = devices_.find(key); it != devices_.end() && it->second.device == device) {
            devices_.erase(it);
        }
    }
    closed_.notify_all();
}

UsbDevice::UsbDevice(std::shared_ptr<UsbContext> context, libusb_device_handle* handle, std::string key)
    : context_(std::move(context)), handle_(handle), key_(std::move(key)) {}

UsbDevice::~UsbDevice() {
    // Every connection has waited for its reads, so nothing is in flight.
    context_->CloseDevice(this, key_, handle_);
    context_->DeviceClosed();
}

uint32_t UsbDevice::ControlTransfer(IoRequest& request, uint32_t* bytes) {
    Ep0Record& record = request.record;
    const UsbControlSetup setup = ControlSetupFromHeader(record.header);
    const int result = libusb_control_transfer(handle_, setup.requestType, setup.request, setup.value, setup.index,
                                               record.data, setup.length, setup.timeoutMs);
    if (result < 0) {
        DebugPrintf(DebugCategory::Drivers, "libusb driver: request 0x%02x/0x%02x failed (%s)", setup.requestType,
                    setup.request, libusb_error_name(result));
        return ErrorFromLibusbResult(result);
    }
    record.header.statusA = 0;
    record.header.statusB = 0;
    // Like a buffered reply, only the returned bytes are written back.
    *bytes = kTransferHeaderSize + static_cast<uint32_t>(result);
    std::memmove(request.reply, &record, *bytes);
    return kErrorSuccess;
}

uint32_t UsbDevice::StartRead(const IoRequest& io, const void* owner, Overlapped* overlapped) {
    auto request = std::make_unique<StreamRequest>();
    request->owner = owner;
    request->endpoint = io.endpoint;
    request->timeoutMs = io.header.timeoutMs;
    request->overlapped = overlapped;
    request->data = io.data;
    request->length = io.dataSize;
    request->statusHeader = io.statusHeader;
    request->bytesBias = io.bytesBias;

    std::vector<StreamRequest*> finished;
    {
        std::lock_guard lock(mutex_);
        request->id = nextId_++;
        StreamRequest* queued = request.get();
        requests_.emplace(queued->id, std::move(request));
        pipes_[queued->endpoint].Add(queued);
        PumpLocked(queued->endpoint, finished);
    }
    Report(finished);
    return kErrorIoPending;
}

void UsbDevice::PumpLocked(uint8_t endpoint, std::vector<StreamRequest*>& finished) {
    UsbPipeQueue& pipe = pipes_[endpoint];
    while (const std::optional<UsbSegment> segment = pipe.Next()) {
        if (halted_.erase(endpoint) != 0) {
            // A stall leaves the endpoint halted, and every later read on it
            // would fail the same way: the stall costs the read that met it,
            // and the halt is cleared before the next one goes out.
            const int cleared = libusb_clear_halt(handle_, endpoint);
            if (cleared != LIBUSB_SUCCESS) {
                DebugPrintf(DebugCategory::Drivers, "libusb driver: clearing the halt on endpoint 0x%02x failed (%s)",
                            endpoint, libusb_error_name(cleared));
            }
        }
        auto* request = static_cast<StreamRequest*>(segment->request);
        int result = LIBUSB_ERROR_NO_MEM;
        if (libusb_transfer* transfer = libusb_alloc_transfer(0)) {
            auto submission = std::make_unique<Submission>(Submission{this, endpoint, *segment, transfer});
            libusb_fill_bulk_transfer(transfer, handle_, endpoint, request->data + segment->offset,
                                      static_cast<int>(segment->length), &UsbDevice::OnTransferComplete,
                                      submission.get(), request->timeoutMs);
            result = libusb_submit_transfer(transfer);
            if (result == LIBUSB_SUCCESS) {
                submissions_.push_back(std::move(submission));
            } else {
                libusb_free_transfer(transfer);
            }
        }
        if (result != LIBUSB_SUCCESS) {
            DebugPrintf(DebugCategory::Drivers, "libusb driver: read on endpoint 0x%02x not started (%s)", endpoint,
                        libusb_error_name(result));
            if (pipe.Done(*segment, ErrorFromLibusbResult(result), result, 0)) finished.push_back(request);
        }
    }
}

void LIBUSB_CALL UsbDevice::OnTransferComplete(libusb_transfer* transfer) {
    auto* submission = static_cast<Submission*>(transfer->user_data);
    submission->device->Completed(submission, transfer->status, transfer->actual_length);
}

void UsbDevice::Completed(Submission* submission, int status, int actual) {
    std::vector<StreamRequest*> finished;
    {
        std::lock_guard lock(mutex_);
        const uint8_t endpoint = submission->endpoint;
        UsbPipeQueue& pipe = pipes_[endpoint];
        const UsbSegment segment = submission->segment;
        libusb_free_transfer(submission->transfer);
        std::erase_if(submissions_, [&](const std::unique_ptr<Submission>& s) { return s.get() == submission; });
        if (status == LIBUSB_TRANSFER_STALL) halted_.insert(endpoint);
        if (pipe.Done(segment, ErrorFromTransferStatus(status), status, static_cast<uint32_t>(std::max(actual, 0)))) {
            finished.push_back(static_cast<StreamRequest*>(segment.request));
        }
        PumpLocked(endpoint, finished);
    }
    Report(finished);
}

void UsbDevice::Report(const std::vector<StreamRequest*>& finished) {
    if (finished.empty()) return;
    for (StreamRequest* request : finished) {
        // The caller's storage is valid until its Overlapped completes, so the
        // status words are written first.
        request->statusHeader->statusA = request->error;
        request->statusHeader->statusB = request->error == kErrorSuccess ? 0 : static_cast<uint32_t>(request->detail);
        request->overlapped->Complete(request->error, request->bytesBias + request->transferred);
    }
    {
        std::lock_guard lock(mutex_);
        for (StreamRequest* request : finished) requests_.erase(request->id);
        // Notified under the lock: a waiter may destroy this device as soon as
        // it sees its reads gone.
        changed_.notify_all();
    }
}

void UsbDevice::CancelLocked(const std::function<bool(const StreamRequest&)>& match) {
    for (const auto& submission : submissions_) {
        if (match(*static_cast<StreamRequest*>(submission->segment.request))) {
            // NOT_FOUND means it is completing already; its callback still comes.
            libusb_cancel_transfer(submission->transfer);
        }
    }
}

void UsbDevice::WaitUntilGone(const std::function<bool(const StreamRequest&)>& match) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        return std::none_of(requests_.begin(), requests_.end(),
                            [&](const auto& entry) { return match(*entry.second); });
    });
}

uint32_t UsbDevice::AbortPipe(uint8_t endpoint) {
    // Synchronous: when the abort returns, every read issued on the endpoint
    // before it has completed (most with kErrorOperationAborted), so the caller
    // may reuse or free their buffers at once.
    uint64_t horizon = 0;
    std::vector<StreamRequest*> finished;
    {
        std::lock_guard lock(mutex_);
        horizon = nextId_;
        const auto pipe = pipes_.find(endpoint);
        if (pipe == pipes_.end()) return kErrorSuccess;
        for (UsbPipeRequest* request : pipe->second.Abort(nullptr)) {
            finished.push_back(static_cast<StreamRequest*>(request));
        }
        CancelLocked([&](const StreamRequest& r) { return r.endpoint == endpoint && r.aborted; });
    }
    Report(finished);
    WaitUntilGone([&](const StreamRequest& r) { return r.endpoint == endpoint && r.id < horizon; });
    return kErrorSuccess;
}

void UsbDevice::AbortOwner(const void* owner) {
    std::vector<StreamRequest*> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto& [endpoint, pipe] : pipes_) {
            for (UsbPipeRequest* request : pipe.Abort(owner)) finished.push_back(static_cast<StreamRequest*>(request));
        }
        CancelLocked([&](const StreamRequest& r) { return r.owner == owner; });
    }
    Report(finished);
    WaitUntilGone([&](const StreamRequest& r) { return r.owner == owner; });
}

uint32_t UsbDevice::ResetPipe(uint8_t endpoint) { return ErrorFromLibusbResult(libusb_clear_halt(handle_, endpoint)); }

uint32_t UsbDevice::ResetPort() {
    // libusb claims the interface again after the reset; a device that comes
    // back different is reported as gone.
    return ErrorFromLibusbResult(libusb_reset_device(handle_));
}

uint32_t UsbDevice::Speed() { return SpeedCodeFromLibusb(libusb_get_device_speed(libusb_get_device(handle_))); }

class LibusbConnection final : public DeviceConnection {
public:
    LibusbConnection(std::shared_ptr<UsbDevice> device, bool overlapped)
        : device_(std::move(device)), overlapped_(overlapped) {}
    ~LibusbConnection() override { device_->AbortOwner(this); }

    uint32_t IoControl(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* bytesReturned, Overlapped* overlapped) override {
        IoRequest request;
        if (const uint32_t error = DecodeIoRequest(code, in, inSize, out, outSize, &request); error != kErrorSuccess) {
            return error;
        }
        uint32_t bytes = 0;
        uint32_t result = kErrorSuccess;
        switch (request.kind) {
            case IoRequestKind::Ep0Transfer:
                result = device_->ControlTransfer(request, &bytes);
                break;
            case IoRequestKind::BulkTransfer:
            case IoRequestKind::DirectTransfer: {
                if (overlapped != nullptr && overlapped_) {
                    if (bytesReturned != nullptr) *bytesReturned = 0;
                    return device_->StartRead(request, this, overlapped);
                }
                // A request handle, or no Overlapped: the read completes before the call returns.
                Event done(EventReset::Manual);
                Overlapped own(&done);
                result = device_->StartRead(request, this, &own);
                if (result != kErrorIoPending) break;
                done.Wait(kInfinite);
                own.Result(&bytes, &result);
                break;
            }
            case IoRequestKind::AbortPipe:
                result = device_->AbortPipe(request.endpoint);
                break;
            case IoRequestKind::ResetPipe:
                result = device_->ResetPipe(request.endpoint);
                break;
            case IoRequestKind::ResetPort:
                result = device_->ResetPort();
                break;
            case IoRequestKind::GetSpeed: {
                const uint32_t speed = device_->Speed();
                std::memcpy(request.speed, &speed, sizeof speed);
                bytes = sizeof speed;
                break;
            }
        }
        // A call that finished at once still completes its Overlapped, as an
        // overlapped call that succeeds synchronously does; failures returned
        // directly leave it untouched.
        return FinishAtOnce(result, bytes, bytesReturned, overlapped);
    }

private:
    const std::shared_ptr<UsbDevice> device_;
    const bool overlapped_;
};

class LibusbDeviceDriver final : public DeviceDriver {
public:
    LibusbDeviceDriver() : vendorIds_(UsbVendorIdsFromText(std::getenv(kUsbVendorIdsVariable))) {}

    bool Claims(std::string_view path) const override { return ParseUsbDevicePath(path).has_value(); }

    std::unique_ptr<DeviceConnection> Open(std::string_view path, bool overlapped, uint32_t* error) override {
        uint32_t ignored = kErrorSuccess;
        if (error == nullptr) error = &ignored;
        const std::optional<UsbDevicePath> parsed = ParseUsbDevicePath(path);
        // Only cameras are opened, whatever path is made up: claiming the
        // interface of some other device would take it from its own driver.
        if (!parsed || parsed->interfaceClass != kCameraInterfaceClass ||
            !IsCamera(parsed->vendorId, parsed->productId)) {
            *error = kErrorFileNotFound;
            return nullptr;
        }
        const std::shared_ptr<UsbContext> context = Context();
        if (context == nullptr) {
            *error = kErrorFileNotFound;
            return nullptr;
        }
        std::shared_ptr<UsbDevice> device = context->OpenDevice(*parsed, error);
        if (device == nullptr) return nullptr;
        *error = kErrorSuccess;
        return std::make_unique<LibusbConnection>(std::move(device), overlapped);
    }

    void Enumerate(const Guid& interfaceClass, std::vector<std::string>& paths) override {
        if (interfaceClass != kCameraInterfaceClass) return;
        const std::shared_ptr<UsbContext> context = Context();
        if (context == nullptr) return;
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context->Get(), &list);
        if (count < 0) return;
        std::vector<UsbDevicePath> found;
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS ||
                !IsCamera(descriptor.idVendor, descriptor.idProduct)) {
                continue;
            }
            uint8_t ports[kMaxUsbPortDepth];
            const int depth = libusb_get_port_numbers(list[i], ports, static_cast<int>(kMaxUsbPortDepth));
            if (depth <= 0) continue;
            found.push_back({descriptor.idVendor, descriptor.idProduct, libusb_get_bus_number(list[i]),
                             std::vector<uint8_t>(ports, ports + depth), interfaceClass});
        }
        libusb_free_device_list(list, 1);
        // By location, so the device order does not depend on discovery order.
        std::sort(found.begin(), found.end(), [](const UsbDevicePath& a, const UsbDevicePath& b) {
            return std::tie(a.bus, a.ports) < std::tie(b.bus, b.ports);
        });
        for (const UsbDevicePath& device : found) paths.push_back(FormUsbDevicePath(device));
    }

private:
    bool IsCamera(uint16_t vendorId, uint16_t productId) const {
        return IsCameraProductId(productId) &&
               std::find(vendorIds_.begin(), vendorIds_.end(), vendorId) != vendorIds_.end();
    }

    // Started on first use. A failed start is retried on the next call, as
    // it costs little; a machine without USB simply has no cameras.
    std::shared_ptr<UsbContext> Context() {
        std::lock_guard lock(mutex_);
        if (context_ == nullptr) context_ = UsbContext::Create();
        return context_;
    }

    const std::vector<uint16_t> vendorIds_;
    std::mutex mutex_;
    std::shared_ptr<UsbContext> context_;
};

}  // namespace

DeviceDriver& LibusbDriver() {
    static LibusbDeviceDriver driver;
    return driver;
}

}  // namespace vantix
