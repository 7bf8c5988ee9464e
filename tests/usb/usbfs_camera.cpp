#include "usb/usbfs_camera.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/win_errors.h"

namespace vantix::usbtest {
namespace {

constexpr size_t kSetupBytes = 8;
constexpr gsize kPointerBytes = sizeof(void*);
// Capabilities of a current kernel: one URB carries a whole transfer.
constexpr uint32_t kCapabilities = USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT |
                                   USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_CONNINFO_EX;
// The connection generation an ioctl client belongs to (set on its first call).
constexpr const char* kGenerationKey = "vantix-generation";

// The URB status the kernel reports for the way a read ended.
int UrbStatus(uint32_t error, uint32_t statusWord) {
    if (error == kErrorSuccess) return statusWord == 0 ? 0 : -EPROTO;
    if (error == kErrorOperationAborted) return -ENOENT;
    if (error == kErrorDeviceNotConnected) return -ESHUTDOWN;
    return -EPROTO;
}

}  // namespace

UsbfsCamera::UsbfsCamera(std::shared_ptr<emulator::VirtualCamera> camera)
    : camera_(std::move(camera)), handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbfsCamera::HandleIoctl), this);
}

UsbfsCamera::~UsbfsCamera() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    std::vector<uintptr_t> keys;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [key, urb] : flying_) keys.push_back(key);
    }
    for (uintptr_t key : keys) camera_->Abort(0, reinterpret_cast<const void*>(key));
    std::lock_guard lock(mutex_);
    for (auto& [key, urb] : flying_) g_object_unref(urb.data);
    for (Urb& urb : reapable_) g_object_unref(urb.data);
    if (fifo_ >= 0) close(fifo_);
    g_object_unref(handler_);
}

bool UsbfsCamera::AttachReadiness(const std::string& fifoPath) {
    const int fd = open(fifoPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // One page: a single byte makes the pipe full, so POLLOUT means exactly
    // "something to reap".
    fcntl(fd, F_SETPIPE_SZ, 4096);
    std::lock_guard lock(mutex_);
    if (fifo_ >= 0) close(fifo_);
    fifo_ = fd;
    fifoFull_ = false;
    SetReadableLocked(!reapable_.empty());
    return true;
}

void UsbfsCamera::SetReadableLocked(bool reapable) {
    if (fifo_ < 0) return;
    if (reapable && fifoFull_) {
        char sink[64];
        while (read(fifo_, sink, sizeof sink) > 0) {
        }
        fifoFull_ = false;
    } else if (!reapable && !fifoFull_) {
        const char byte = 0;
        fifoFull_ = write(fifo_, &byte, 1) == 1;
    }
}

void UsbfsCamera::FailUrbs(uint8_t endpoint, uint32_t count, int errnoValue) {
    std::lock_guard lock(mutex_);
    failCount_[endpoint] = count;
    failErrno_[endpoint] = errnoValue;
}

void UsbfsCamera::SetConnection(const UsbConnection& connection) {
    std::lock_guard lock(mutex_);
    connection_ = connection;
}

int UsbfsCamera::SpeedCode() const {
    std::lock_guard lock(mutex_);
    if (connection_.speedMbps >= 5000) return USB_SPEED_SUPER;
    if (connection_.speedMbps >= 480) return USB_SPEED_HIGH;
    return connection_.speedMbps >= 12 ? USB_SPEED_FULL : USB_SPEED_LOW;
}

int UsbfsCamera::ConnectionInfo(UMockdevIoctlData* arg, size_t size) {
    usbdevfs_conninfo_ex info{};
    info.size = sizeof info;
    info.speed = static_cast<uint32_t>(SpeedCode());
    {
        std::lock_guard lock(mutex_);
        info.busnum = connection_.bus;
        info.devnum = connection_.device;
        info.num_ports = 1;
        info.ports[0] = connection_.port;
    }
    size = std::min(size, sizeof info);
    UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, size, nullptr);
    if (out == nullptr) return EFAULT;
    std::memcpy(out->data, &info, size);
    g_object_unref(out);
    return 0;
}

void UsbfsCamera::SwallowControlUrbs(uint32_t count) {
    std::lock_guard lock(mutex_);
    swallowControl_ = count;
}

void UsbfsCamera::Halt(uint8_t endpoint) {
    std::lock_guard lock(mutex_);
    halted_[endpoint] = true;
}

void UsbfsCamera::SetConnected(bool connected) {
    {
        std::lock_guard lock(mutex_);
        connected_ = connected;
        if (connected) {
            ++generation_;
            halted_.clear();
        }
    }
    // Outside our lock: the camera completes its queued reads (with
    // "not connected", which the kernel reports as -ESHUTDOWN) under its own.
    camera_->SetPresent(connected);
}

UsbfsCounters UsbfsCamera::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

int UsbfsCamera::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    static_cast<UsbfsCamera*>(self)->Ioctl(client);
    return TRUE;
}

void UsbfsCamera::Ioctl(UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    int error = 0;
    {
        // A file opened before an unplug stays dead after the camera returns.
        std::lock_guard lock(mutex_);
        auto* stamp = static_cast<uint64_t*>(g_object_get_data(G_OBJECT(client), kGenerationKey));
        if (stamp == nullptr) {
            stamp = new uint64_t(generation_);
            g_object_set_data_full(G_OBJECT(client), kGenerationKey, stamp,
                                   [](gpointer p) { delete static_cast<uint64_t*>(p); });
        }
        if (!connected_ || *stamp != generation_) error = ENODEV;
    }
    // Reaping still hands out what completed before the disconnect.
    if (error == ENODEV && request != USBDEVFS_REAPURB && request != USBDEVFS_REAPURBNDELAY) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
            if (caps == nullptr) {
                error = EFAULT;
                break;
            }
            std::memcpy(caps->data, &kCapabilities, sizeof kCapabilities);
            g_object_unref(caps);
            break;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
            break;
        case USBDEVFS_RESET: {
            std::lock_guard lock(mutex_);
            ++counters_.resets;
            halted_.clear();
            break;
        }
        case USBDEVFS_CLEAR_HALT:
            error = ClearHalt(arg);
            break;
        case USBDEVFS_SUBMITURB:
            error = SubmitUrb(arg);
            break;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            error = ReapUrb(arg);
            break;
        case USBDEVFS_DISCARDURB:
            error = DiscardUrb(arg);
            break;
        case USBDEVFS_GET_SPEED:
            // The speed is the call's result.
            umockdev_ioctl_client_complete(client, SpeedCode(), 0);
            return;
        default:
            // USBDEVFS_CONNINFO_EX carries the caller's structure size in its number.
            if (_IOC_TYPE(request) == 'U' && _IOC_NR(request) == _IOC_NR(USBDEVFS_CONNINFO_EX(0))) {
                error = ConnectionInfo(arg, _IOC_SIZE(request));
            } else {
                error = ENOTTY;
            }
    }
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

int UsbfsCamera::ClearHalt(UMockdevIoctlData* arg) {
    UMockdevIoctlData* endpoint = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
    if (endpoint == nullptr) return EFAULT;
    unsigned int address = 0;
    std::memcpy(&address, endpoint->data, sizeof address);
    g_object_unref(endpoint);
    std::lock_guard lock(mutex_);
    ++counters_.clearHalts;
    halted_[static_cast<uint8_t>(address)] = false;
    return 0;
}

int UsbfsCamera::SubmitUrb(UMockdevIoctlData* arg) {
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (urbData == nullptr) return EFAULT;
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(urbData->data);
    int error = EINVAL;
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        error = SubmitControl(urbData);
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && (urb->endpoint & USB_DIR_IN) != 0) {
        error = SubmitBulk(urbData);
    }
    // A URB that was taken keeps a reference until it is reaped.
    g_object_unref(urbData);
    return error;
}

int UsbfsCamera::SubmitControl(UMockdevIoctlData* urbData) {
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(urbData->data);
    if (urb->buffer_length < static_cast<int>(kSetupBytes)) return EINVAL;
    {
        std::lock_guard lock(mutex_);
        if (swallowControl_ > 0) {
            // Taken, never answered: only a discard ends it.
            --swallowControl_;
            ++counters_.controlUrbs;
            flying_[static_cast<uintptr_t>(urbData->client_addr)] =
                Urb{static_cast<UMockdevIoctlData*>(g_object_ref(urbData)), 0, 0, 0};
            return 0;
        }
    }
    // The setup packet and the data stage live in the caller's buffer, which
    // the camera answers in place, as the controller's DMA would.
    auto* buffer = static_cast<uint8_t*>(urb->buffer);
    usb_ctrlrequest setup{};
    std::memcpy(&setup, buffer, kSetupBytes);
    const uint32_t dataBytes = std::min<uint32_t>(static_cast<uint32_t>(urb->buffer_length) - kSetupBytes,
                                                  emulator::kControlDataBytes);
    uint8_t stage[emulator::kControlDataBytes] = {};
    std::memcpy(stage, buffer + kSetupBytes, dataBytes);
    uint32_t replyBytes = 0;
    const emulator::SetupPacket packet{setup.bRequestType, setup.bRequest, setup.wValue, setup.wIndex};
    const uint32_t result = camera_->ControlRequest(packet, stage, &replyBytes);
    const bool in = (setup.bRequestType & USB_DIR_IN) != 0;
    int status = 0;
    int actual = 0;
    if (result == kErrorSuccess) {
        actual = static_cast<int>(in ? std::min(replyBytes, dataBytes) : dataBytes);
        if (in) std::memcpy(buffer + kSetupBytes, stage, static_cast<size_t>(actual));
    } else {
        status = result == kErrorDeviceNotConnected ? -ESHUTDOWN : -EPIPE;  // a refused request stalls
    }
    const auto key = static_cast<uintptr_t>(urbData->client_addr);
    std::lock_guard lock(mutex_);
    ++counters_.controlUrbs;
    flying_[key] = Urb{static_cast<UMockdevIoctlData*>(g_object_ref(urbData)), 0, 0, 0};
    FinishLocked(key, status, actual);
    return 0;
}

int UsbfsCamera::SubmitBulk(UMockdevIoctlData* urbData) {
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(urbData->data);
    if (urb->buffer_length < 0) return EINVAL;
    const auto key = static_cast<uintptr_t>(urbData->client_addr);
    const uint8_t endpoint = urb->endpoint;
    {
        std::lock_guard lock(mutex_);
        ++counters_.bulkUrbs;
        flying_[key] = Urb{static_cast<UMockdevIoctlData*>(g_object_ref(urbData)), endpoint, 0, 0};
        if (halted_[endpoint]) {
            FinishLocked(key, -EPIPE, 0);
            return 0;
        }
        if (failCount_[endpoint] > 0) {
            --failCount_[endpoint];
            FinishLocked(key, -failErrno_[endpoint], 0);
            return 0;
        }
    }
    // The camera writes the data straight into the caller's buffer.
    auto done = [this, key](uint32_t error, uint32_t bytes, uint32_t statusWord) {
        std::lock_guard lock(mutex_);
        FinishLocked(key, UrbStatus(error, statusWord), static_cast<int>(bytes));
    };
    uint32_t got = 0;
    uint32_t statusWord = 0;
    const uint32_t result =
        camera_->StreamRead(endpoint, static_cast<uint8_t*>(urb->buffer), static_cast<uint32_t>(urb->buffer_length),
                            reinterpret_cast<const void*>(key), true, done, &got, &statusWord);
    if (result == kErrorIoPending) return 0;
    std::lock_guard lock(mutex_);
    // Served at once, or refused (a camera that is gone): complete now.
    FinishLocked(key, UrbStatus(result, result == kErrorSuccess ? statusWord : 0),
                 result == kErrorSuccess ? static_cast<int>(got) : 0);
    return 0;
}

void UsbfsCamera::FinishLocked(uintptr_t key, int status, int actualLength) {
    const auto it = flying_.find(key);
    if (it == flying_.end()) return;
    Urb urb = it->second;
    flying_.erase(it);
    urb.status = status;
    urb.actualLength = actualLength;
    if (status == -EPIPE && urb.endpoint != 0) halted_[urb.endpoint] = true;
    reapable_.push_back(urb);
    SetReadableLocked(true);
}

int UsbfsCamera::ReapUrb(UMockdevIoctlData* arg) {
    Urb urb;
    {
        std::lock_guard lock(mutex_);
        if (reapable_.empty()) {
            SetReadableLocked(false);
            return connected_ ? EAGAIN : ENODEV;
        }
        urb = reapable_.front();
        reapable_.pop_front();
        if (reapable_.empty()) SetReadableLocked(false);
    }
    auto* fields = reinterpret_cast<usbdevfs_urb*>(urb.data->data);
    fields->status = urb.status;
    fields->actual_length = urb.actualLength;
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, kPointerBytes, nullptr);
    if (pointer == nullptr) {
        g_object_unref(urb.data);
        return EFAULT;
    }
    // The reaped pointer refers to the URB; umockdev writes the URB back to
    // the caller when the call completes.
    umockdev_ioctl_data_set_ptr(pointer, 0, urb.data);
    g_object_unref(pointer);
    g_object_unref(urb.data);
    return 0;
}

int UsbfsCamera::DiscardUrb(UMockdevIoctlData* arg) {
    uintptr_t key = 0;
    std::memcpy(&key, arg->data, sizeof key);
    {
        std::lock_guard lock(mutex_);
        if (flying_.find(key) == flying_.end()) return EINVAL;  // already complete
        ++counters_.discards;
    }
    // The camera completes the read as aborted; a URB the camera is not
    // holding (there is none but bulk reads) is completed here.
    camera_->Abort(0, reinterpret_cast<const void*>(key));
    std::lock_guard lock(mutex_);
    FinishLocked(key, -ENOENT, 0);
    return 0;
}

}  // namespace vantix::usbtest
