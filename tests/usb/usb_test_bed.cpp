#include "usb/usb_test_bed.h"

#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "emulator/personalities/personality_factory.h"

namespace vantix::usbtest {
namespace {

constexpr uint8_t kDeviceDescriptor = 0x01;
constexpr uint8_t kConfigDescriptor = 0x02;
constexpr uint8_t kInterfaceDescriptor = 0x04;
constexpr uint8_t kEndpointDescriptor = 0x05;
constexpr uint8_t kSuperSpeedCompanion = 0x30;
constexpr uint8_t kBulk = 0x02;
constexpr uint8_t kInterrupt = 0x03;

void PutLe16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendDevice(std::vector<uint8_t>& out, uint16_t bcdUsb, uint8_t deviceClass, uint8_t maxPacket0,
                  uint16_t vendorId, uint16_t productId) {
    out.insert(out.end(), {18, kDeviceDescriptor});
    PutLe16(out, bcdUsb);
    out.insert(out.end(), {deviceClass, 0, 0, maxPacket0});
    PutLe16(out, vendorId);
    PutLe16(out, productId);
    PutLe16(out, 0x0100);               // bcdDevice
    out.insert(out.end(), {1, 2, 3, 1});  // strings, one configuration
}

void AppendEndpoint(std::vector<uint8_t>& out, uint8_t address, uint8_t type, uint16_t maxPacket, bool superSpeed,
                    uint8_t maxBurst) {
    out.insert(out.end(), {7, kEndpointDescriptor, address, type});
    PutLe16(out, maxPacket);
    out.push_back(type == kInterrupt ? 12 : 0);
    if (superSpeed) out.insert(out.end(), {6, kSuperSpeedCompanion, maxBurst, 0, 0, 0});
}

void FinishConfiguration(std::vector<uint8_t>& out, size_t configStart) {
    const auto total = static_cast<uint16_t>(out.size() - configStart);
    out[configStart + 2] = static_cast<uint8_t>(total);
    out[configStart + 3] = static_cast<uint8_t>(total >> 8);
}

std::vector<uint8_t> RootHubDescriptors() {
    std::vector<uint8_t> out;
    AppendDevice(out, 0x0300, 0x09, 9, 0x1D6B, 0x0003);
    const size_t config = out.size();
    out.insert(out.end(), {9, kConfigDescriptor, 0, 0, 1, 1, 0, 0xE0, 0});
    out.insert(out.end(), {9, kInterfaceDescriptor, 0, 0, 1, 0x09, 0, 0, 0});
    AppendEndpoint(out, 0x81, kInterrupt, 4, true, 0);
    FinishConfiguration(out, config);
    return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

std::string NodeName(uint8_t bus, uint8_t device) {
    char name[32];
    std::snprintf(name, sizeof name, "bus/usb/%03u/%03u", bus, device);
    return name;
}

// One device in umockdev's description format.
std::string DeviceRecord(const std::string& sysPath, uint8_t bus, uint8_t device, uint32_t speedMbps,
                         const std::vector<uint8_t>& descriptors) {
    // The ids as sysfs shows them beside the descriptors (bytes 8 to 11).
    const unsigned vendorId = descriptors[8] | descriptors[9] << 8;
    const unsigned productId = descriptors[10] | descriptors[11] << 8;
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  "E: BUSNUM=%03u\nE: DEVNUM=%03u\nA: busnum=%u\\n\nA: devnum=%u\\n\nA: speed=%u\\n\n"
                  "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n",
                  bus, device, bus, device, speedMbps, vendorId, productId);
    const std::string node = NodeName(bus, device);
    return "P: " + sysPath + "\nN: " + node +
           "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: DEVNAME=/dev/" + node + "\n" + numbers +
           "A: bConfigurationValue=1\\n\nH: descriptors=" + Hex(descriptors) + "\n";
}

}  // namespace

std::vector<uint8_t> CameraDescriptors(uint16_t vendorId, uint16_t productId, uint32_t speedMbps) {
    const bool superSpeed = speedMbps >= kSuperSpeedMbps;
    std::vector<uint8_t> out;
    AppendDevice(out, superSpeed ? 0x0300 : 0x0200, 0, superSpeed ? 9 : 64, vendorId, productId);
    const size_t config = out.size();
    out.insert(out.end(), {9, kConfigDescriptor, 0, 0, 1, 1, 0, 0x80, 0x32});
    out.insert(out.end(), {9, kInterfaceDescriptor, 0, 0, 2, 0xFF, 0, 0, 0});
    const uint16_t maxPacket = superSpeed ? 1024 : 512;
    AppendEndpoint(out, 0x81, kBulk, maxPacket, superSpeed, 15);
    AppendEndpoint(out, 0x83, kBulk, maxPacket, superSpeed, 15);
    FinishConfiguration(out, config);
    return out;
}

struct UsbTestBed::Slot {
    PlugOptions options;
    uint8_t device = 0;
    std::string sysPath;
    std::unique_ptr<UsbfsCamera> usbfs;
    bool plugged = false;
};

UsbTestBed& UsbTestBed::Instance() {
    // Lives until exit: the library's libusb context may still hold devices
    // open while static objects are destroyed.
    static UsbTestBed* bed = new UsbTestBed();
    return *bed;
}

bool UsbTestBed::InMockEnvironment() {
    // umockdev answers (and remembers) this by looking at /sys, which only
    // the test bed redirects.
    Instance();
    return umockdev_in_mock_environment() != FALSE;
}

UsbTestBed::UsbTestBed() : testbed_(umockdev_testbed_new()) {
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    root_ = root;
    g_free(root);
}

void UsbTestBed::EnsureRootHub(uint8_t bus) {
    for (uint8_t known : rootHubs_) {
        if (known == bus) return;
    }
    rootHubs_.push_back(bus);
    nextDeviceNumber_[bus] = 2;  // 1 is the root hub's
    const std::string record = DeviceRecord("/devices/usb" + std::to_string(bus), bus, 1, kSuperSpeedMbps,
                                            RootHubDescriptors());
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), nullptr)) {
        throw std::runtime_error("umockdev refused the root hub");
    }
}

void UsbTestBed::AddDevice(Slot& slot) {
    const PlugOptions& o = slot.options;
    slot.device = nextDeviceNumber_[o.bus]++;
    const std::string node = "/dev/" + NodeName(o.bus, slot.device);
    slot.usbfs->SetConnection({o.bus, slot.device, o.port, o.speedMbps});
    // The handler first, so the node never exists without it.
    if (!umockdev_testbed_attach_ioctl(testbed_, node.c_str(), slot.usbfs->Handler(), nullptr)) {
        throw std::runtime_error("umockdev refused the ioctl handler for " + node);
    }
    slot.sysPath = "/devices/usb" + std::to_string(o.bus) + "/" + std::to_string(o.bus) + "-" + std::to_string(o.port);
    const std::string record =
        DeviceRecord(slot.sysPath, o.bus, slot.device, o.speedMbps, CameraDescriptors(o.vendorId, o.modelId, o.speedMbps));
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), nullptr)) {
        throw std::runtime_error("umockdev refused the camera at " + slot.sysPath);
    }
    // umockdev makes the node a plain file; a FIFO lets poll tell when a URB
    // is ready to reap.
    const std::string file = root_ + node;
    unlink(file.c_str());
    if (mkfifo(file.c_str(), 0666) != 0 || !slot.usbfs->AttachReadiness(file)) {
        throw std::runtime_error("cannot make the device node " + file);
    }
    slot.plugged = true;
}

int UsbTestBed::Plug(const PlugOptions& options) {
    EnsureRootHub(options.bus);
    auto slot = std::make_unique<Slot>();
    slot->options = options;
    const emulator::CameraProfile profile = emulator::ProfileForModel(options.modelId);
    auto camera = std::make_shared<emulator::VirtualCamera>(profile);
    camera->ReplaceSensor(emulator::MakeSensorPersonality(profile.model.sensor));
    camera->SetUnthrottled(options.unthrottled);
    slot->usbfs = std::make_unique<UsbfsCamera>(std::move(camera));
    AddDevice(*slot);
    slots_.push_back(std::move(slot));
    return static_cast<int>(slots_.size()) - 1;
}

void UsbTestBed::Unplug(int index) {
    Slot& slot = *slots_.at(static_cast<size_t>(index));
    if (!slot.plugged) return;
    slot.plugged = false;
    slot.usbfs->SetConnected(false);
    umockdev_testbed_uevent(testbed_, ("/sys" + slot.sysPath).c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, ("/sys" + slot.sysPath).c_str());
    GError* error = nullptr;
    umockdev_testbed_detach_ioctl(testbed_, DeviceNode(index).c_str(), &error);
    if (error != nullptr) g_error_free(error);
}

void UsbTestBed::Replug(int index) {
    Slot& slot = *slots_.at(static_cast<size_t>(index));
    if (slot.plugged) return;
    slot.usbfs->SetConnected(true);
    AddDevice(slot);
}

void UsbTestBed::UnplugAll() {
    for (size_t i = 0; i < slots_.size(); ++i) Unplug(static_cast<int>(i));
}

UsbfsCamera& UsbTestBed::Camera(int slot) { return *slots_.at(static_cast<size_t>(slot))->usbfs; }

std::string UsbTestBed::DevicePath(int index) const {
    const Slot& slot = *slots_.at(static_cast<size_t>(index));
    char path[160];
    std::snprintf(path, sizeof path, "\\\\?\\usb#vid_%04x&pid_%04x#%u-%u#{328184c5-93e6-49b7-94b8-2ada13aabb39}",
                  slot.options.vendorId, slot.options.modelId, slot.options.bus, slot.options.port);
    return path;
}

std::string UsbTestBed::DeviceNode(int index) const {
    const Slot& slot = *slots_.at(static_cast<size_t>(index));
    return "/dev/" + NodeName(slot.options.bus, slot.device);
}

}  // namespace vantix::usbtest
