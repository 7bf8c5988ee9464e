#include "doctor_checks.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

namespace cli::doctor {
namespace {

constexpr uint16_t kFirstModelId = 0x3000;
constexpr uint16_t kLastModelId = 0x33FF;
constexpr uint32_t kSuperSpeedMbps = 5000;
constexpr uint32_t kHighSpeedMbps = 480;

std::string ReadLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

bool ReadHex16(const std::string& path, uint16_t* value) {
    const std::string text = ReadLine(path);
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || end == text.c_str() || parsed > 0xFFFF) return false;
    *value = static_cast<uint16_t>(parsed);
    return true;
}

uint32_t ReadDecimal(const std::string& path) {
    return static_cast<uint32_t>(std::strtoul(ReadLine(path).c_str(), nullptr, 10));
}

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

// One KEY{attribute}OP"value" item of a rule line.
struct RuleItem {
    std::string key;
    std::string op;
    std::string value;
};

std::vector<RuleItem> ParseRuleLine(std::string_view line) {
    std::vector<RuleItem> items;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == ',')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        RuleItem item;
        while (i < line.size() && std::string_view("=!+-:").find(line[i]) == std::string_view::npos) item.key += line[i++];
        while (i < line.size() && std::string_view("=!+-:").find(line[i]) != std::string_view::npos) item.op += line[i++];
        if (i >= line.size() || line[i] != '"') break;  // not a rule line we understand
        const size_t close = line.find('"', i + 1);
        if (close == std::string_view::npos) break;
        item.value = std::string(line.substr(i + 1, close - i - 1));
        i = close + 1;
        items.push_back(std::move(item));
    }
    return items;
}

bool GlobMatches(const std::string& pattern, const std::string& text) {
    // A rule may list alternatives with '|'.
    size_t start = 0;
    while (start <= pattern.size()) {
        const size_t bar = pattern.find('|', start);
        const std::string one = pattern.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (fnmatch(one.c_str(), text.c_str(), FNM_CASEFOLD) == 0) return true;
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return false;
}

}  // namespace

std::vector<UsbCamera> FindCameras(const SystemView& view) {
    std::vector<UsbCamera> cameras;
    const std::string devices = view.sysfsRoot + "/bus/usb/devices";
    DIR* dir = opendir(devices.c_str());
    if (dir == nullptr) return cameras;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        // Interfaces ("1-2:1.0") and the folder's own entries are not devices.
        if (name.empty() || name[0] == '.' || name.find(':') != std::string::npos) continue;
        const std::string base = devices + "/" + name + "/";
        UsbCamera camera;
        camera.location = name;
        if (!ReadHex16(base + "idVendor", &camera.vendorId) || !ReadHex16(base + "idProduct", &camera.productId)) {
            continue;
        }
        if (std::find(view.vendorIds.begin(), view.vendorIds.end(), camera.vendorId) == view.vendorIds.end() ||
            camera.productId < kFirstModelId || camera.productId > kLastModelId) {
            continue;
        }
        camera.speedMbps = ReadDecimal(base + "speed");
        camera.bus = ReadDecimal(base + "busnum");
        camera.device = ReadDecimal(base + "devnum");
        cameras.push_back(camera);
    }
    closedir(dir);
    std::sort(cameras.begin(), cameras.end(),
              [](const UsbCamera& a, const UsbCamera& b) { return a.location < b.location; });
    return cameras;
}

Finding CheckSpeed(const UsbCamera& camera) {
    const std::string speed = std::to_string(camera.speedMbps) + " Mbit/s";
    if (camera.speedMbps >= kSuperSpeedMbps) return {Level::Ok, "SuperSpeed link (" + speed + ")", ""};
    if (camera.speedMbps == kHighSpeedMbps) {
        return {Level::Warning, "High Speed link only (" + speed + "): USB 2",
                "plug the camera into a USB 3 port (often blue or marked SS) with a USB 3 cable and no USB 2 hub in "
                "between; at High Speed the camera streams at a fraction of its frame rate"};
    }
    return {Level::Problem, "link at " + speed + ": too slow to stream",
            "connect the camera directly to a USB 3 port with a USB 3 cable"};
}

bool RuleLineMatches(std::string_view line, uint16_t vendorId, uint16_t productId) {
    bool vendorMatched = false;
    bool grants = false;
    for (const RuleItem& item : ParseRuleLine(line)) {
        const bool compare = item.op == "==";
        if (item.op == "!=") return false;  // exclusions are beyond this check; do not claim a match
        if (compare && (item.key == "SUBSYSTEM" || item.key == "SUBSYSTEMS")) {
            if (!GlobMatches(item.value, "usb")) return false;
        } else if (compare && (item.key == "ATTR{idVendor}" || item.key == "ATTRS{idVendor}")) {
            if (!GlobMatches(item.value, Hex4(vendorId))) return false;
            vendorMatched = true;
        } else if (compare && (item.key == "ATTR{idProduct}" || item.key == "ATTRS{idProduct}")) {
            if (!GlobMatches(item.value, Hex4(productId))) return false;
        } else if (!compare && (item.key == "MODE" || item.key == "GROUP" || item.key == "OWNER")) {
            grants = true;
        } else if (!compare && item.key == "TAG" && item.value == "uaccess") {
            grants = true;
        }
    }
    return vendorMatched && grants;
}

Finding CheckUdevRule(const SystemView& view, uint16_t vendorId, uint16_t productId) {
    // udev reads the rule files of all folders in the order of their names; a
    // file in an earlier folder hides one of the same name in a later folder.
    std::map<std::string, std::string> files;
    for (const std::string& folder : view.rulesDirs) {
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr) continue;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 6 && name.ends_with(".rules")) files.emplace(name, folder + "/" + name);
        }
        closedir(dir);
    }
    const std::string ids = Hex4(vendorId) + ":" + Hex4(productId);
    for (const auto& [name, path] : files) {
        std::ifstream file(path);
        std::string line;
        for (int number = 1; std::getline(file, line); ++number) {
            if (RuleLineMatches(line, vendorId, productId)) {
                return {Level::Ok, "udev rule for " + ids + " in " + path + ":" + std::to_string(number), ""};
            }
        }
    }
    return {Level::Problem, "no udev rule gives users access to " + ids,
            "sudo cp packaging/60-vantix-camera.rules /etc/udev/rules.d/ (installed to lib/udev/rules.d/ under "
            "the SDK's prefix), then sudo udevadm control --reload-rules && sudo udevadm trigger, and replug the "
            "camera"};
}

bool ModeGrantsReadWrite(mode_t mode, uid_t owner, gid_t group, uid_t uid, const std::vector<gid_t>& groups) {
    constexpr mode_t kReadWrite = 06;
    if (uid == 0) return true;
    if (uid == owner) return ((mode >> 6) & kReadWrite) == kReadWrite;
    if (std::find(groups.begin(), groups.end(), group) != groups.end()) return ((mode >> 3) & kReadWrite) == kReadWrite;
    return (mode & kReadWrite) == kReadWrite;
}

Finding CheckDeviceNode(const SystemView& view, const UsbCamera& camera) {
    char node[64];
    std::snprintf(node, sizeof node, "/bus/usb/%03u/%03u", camera.bus, camera.device);
    const std::string path = view.devRoot + node;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return {Level::Problem, "device node " + path + " is missing",
                "replug the camera; if the node still does not appear, udev is not running"};
    }
    if (view.uid == 0) {
        return {Level::Warning, "device node " + path + ": running as root, which opens every node",
                "run vantix doctor as the user who will use the camera to check that user's access"};
    }
    bool granted = ModeGrantsReadWrite(st.st_mode, st.st_uid, st.st_gid, view.uid, view.groups);
    // udev's uaccess tag grants the seat's user through an ACL that the mode
    // bits do not show: ask the system when checking for this very user.
    if (!granted && view.uid == geteuid() && access(path.c_str(), R_OK | W_OK) == 0) granted = true;
    char mode[16];
    std::snprintf(mode, sizeof mode, "mode %03o", static_cast<unsigned>(st.st_mode & 0777));
    if (granted) return {Level::Ok, "device node " + path + " opens for reading and writing", ""};
    return {Level::Problem,
            "device node " + path + " (" + mode + ", group " + std::to_string(st.st_gid) +
                ") is not readable and writable for you",
            "install the udev rule (see above) and replug the camera; for remote sessions add yourself to the "
            "rule's group: sudo usermod -aG plugdev $USER, then log in again"};
}

Finding CheckLibusbVersion(uint16_t major, uint16_t minor, uint16_t micro) {
    const std::string version = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(micro);
    const bool recent = major > 1 || (major == 1 && (minor > 0 || micro >= 21));
    if (recent) return {Level::Ok, "libusb " + version, ""};
    return {Level::Problem, "libusb " + version + " is older than 1.0.21",
            "install a current libusb-1.0 (Debian: apt install libusb-1.0-0)"};
}

}  // namespace cli::doctor
