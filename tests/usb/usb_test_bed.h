#pragma once
// A USB test bed for the real libusb path: umockdev replaces /sys and /dev
// for this process (it must run with libumockdev-preload.so preloaded), and
// each camera plugged here appears as a USB device in sysfs (root hub, bus
// and device numbers, descriptors with the bulk endpoints 0x81 and 0x83) with
// a device node whose usbdevfs ioctls a virtual camera's firmware answers
// (usbfs_camera.h). The library under test finds and drives these cameras
// through libusb exactly as it would real ones.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "usb/usbfs_camera.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace vantix::usbtest {

inline constexpr uint32_t kSuperSpeedMbps = 5000;
inline constexpr uint32_t kHighSpeedMbps = 480;

struct PlugOptions {
    uint16_t vendorId = 0x04B4;
    uint16_t modelId = 0x3040;
    uint8_t bus = 1;
    uint8_t port = 2;
    uint32_t speedMbps = kSuperSpeedMbps;
    // Frames as fast as they are read, not at the emulated sensor's rate.
    bool unthrottled = true;
};

// The device descriptor and configuration of a camera, in bus byte order as
// sysfs shows them: one interface with bulk IN endpoints 0x81 and 0x83.
std::vector<uint8_t> CameraDescriptors(uint16_t vendorId, uint16_t productId, uint32_t speedMbps);

class UsbTestBed {
public:
    // The process's test bed; created on first use.
    static UsbTestBed& Instance();
    // True when umockdev's preload library redirects this process's /sys and /dev.
    static bool InMockEnvironment();

    // Plugs a camera and returns its slot number. Ports must be distinct per bus.
    int Plug(const PlugOptions& options);
    // Takes the camera off the bus: transfers in flight end as on a real
    // disconnect, the device leaves sysfs and its node goes away.
    void Unplug(int slot);
    // Puts the same camera (same firmware state) back at the same port, with
    // a new device number, as the kernel gives it.
    void Replug(int slot);
    // Unplugs everything plugged so far.
    void UnplugAll();

    UsbfsCamera& Camera(int slot);
    // The device path the library gives the camera at `slot`.
    std::string DevicePath(int slot) const;
    std::string DeviceNode(int slot) const;

private:
    UsbTestBed();
    struct Slot;
    void EnsureRootHub(uint8_t bus);
    void AddDevice(Slot& slot);

    UMockdevTestbed* testbed_ = nullptr;
    std::string root_;
    std::vector<uint8_t> rootHubs_;
    std::vector<std::unique_ptr<Slot>> slots_;
    uint8_t nextDeviceNumber_[256] = {};
};

}  // namespace vantix::usbtest
