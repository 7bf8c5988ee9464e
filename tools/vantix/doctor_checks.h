#pragma once
// The checks behind `vantix doctor`: what a first-time user of a real camera
// gets wrong. Each check reads the system through a SystemView (sysfs, /dev
// and the udev rule folders, which tests point at a tree of their own) and
// returns findings with the advice to print.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cli::doctor {

enum class Level { Ok, Warning, Problem };

struct Finding {
    Level level = Level::Ok;
    std::string what;    // what was found
    std::string advice;  // what to do; empty when nothing needs doing
};

struct SystemView {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
    std::vector<std::string> rulesDirs = {"/etc/udev/rules.d", "/run/udev/rules.d", "/lib/udev/rules.d",
                                          "/usr/lib/udev/rules.d"};
    std::vector<uint16_t> vendorIds = {0x04B4};
    uid_t uid = 0;
    std::vector<gid_t> groups;  // the user's primary and supplementary groups
};

// A camera on the bus as sysfs shows it.
struct UsbCamera {
    std::string location;  // sysfs name, "2-1.4"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint32_t speedMbps = 0;
    uint32_t bus = 0;
    uint32_t device = 0;
};

// The cameras (vendor id listed, product id a model id) in sysfs, by location.
std::vector<UsbCamera> FindCameras(const SystemView& view);

// SuperSpeed or faster is what the camera is built for; High Speed works at
// a fraction of the frame rate; slower links cannot stream.
Finding CheckSpeed(const UsbCamera& camera);

// Whether one udev rule line grants a device of these ids: it must match the
// usb subsystem (or not restrict it), idVendor and idProduct (glob patterns,
// case-insensitive hex), and set a MODE, GROUP or the uaccess tag.
bool RuleLineMatches(std::string_view line, uint16_t vendorId, uint16_t productId);
// The first rule file (in udev's order: by file name, earlier folders
// shadowing later ones) with a matching line.
Finding CheckUdevRule(const SystemView& view, uint16_t vendorId, uint16_t productId);

// Whether mode bits grant read and write to the user.
bool ModeGrantsReadWrite(mode_t mode, uid_t owner, gid_t group, uid_t uid, const std::vector<gid_t>& groups);
Finding CheckDeviceNode(const SystemView& view, const UsbCamera& camera);

// The driver needs libusb 1.0.21 or newer (event-handler interruption).
Finding CheckLibusbVersion(uint16_t major, uint16_t minor, uint16_t micro);

}  // namespace cli::doctor
