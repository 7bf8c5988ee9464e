// vantix doctor: checks what a real camera needs on this machine (the libusb
// version, the camera on the bus and its link speed, the udev rule, access to
// the device node) and says what to do about each problem.
#include <libusb-1.0/libusb.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "doctor_checks.h"

namespace cli {
namespace {

using doctor::Finding;
using doctor::Level;

constexpr uint16_t kLibraryModelId = 0x3040;

// VANTIX_USB_VENDOR_IDS as the library reads it: hex ids separated by commas,
// semicolons or blanks; the default 04b4 when none is valid.
std::vector<uint16_t> VendorIds() {
    std::vector<uint16_t> ids;
    const char* text = std::getenv("VANTIX_USB_VENDOR_IDS");
    std::string rest = text != nullptr ? text : "";
    for (char& c : rest) {
        if (c == ',' || c == ';' || c == '\t') c = ' ';
    }
    size_t start = 0;
    while ((start = rest.find_first_not_of(' ', start)) != std::string::npos) {
        const size_t end = rest.find(' ', start);
        const std::string token = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? rest.size() : end;
        int64_t value = 0;
        const std::string hex = token.rfind("0x", 0) == 0 || token.rfind("0X", 0) == 0 ? token : "0x" + token;
        if (ParseInteger(hex, 0, 0xFFFF, &value)) ids.push_back(static_cast<uint16_t>(value));
    }
    if (ids.empty()) ids.push_back(0x04B4);
    return ids;
}

const char* LevelName(Level level) {
    switch (level) {
        case Level::Ok: return "ok";
        case Level::Warning: return "warning";
        case Level::Problem: return "problem";
    }
    return "?";
}

}  // namespace

int RunDoctor(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, 2, {}, {"json", "help"}, &options)) return kExitUsage;
    if (options.Has("help")) {
        std::printf(
            "usage: vantix doctor [--json]\n"
            "  Checks what a real camera needs: libusb, the camera on the bus and its link speed, the udev rule\n"
            "  and access to the device node, and says what to do. Exit status 1 when a problem was found.\n");
        return kExitOk;
    }
    doctor::SystemView view;
    view.vendorIds = VendorIds();
    view.uid = getuid();
    std::vector<gid_t> groups(static_cast<size_t>(std::max(getgroups(0, nullptr), 0)));
    groups.resize(static_cast<size_t>(std::max(getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
    groups.push_back(getgid());
    view.groups = groups;

    std::vector<Finding> findings;
    const libusb_version* version = libusb_get_version();
    findings.push_back(doctor::CheckLibusbVersion(version->major, version->minor, version->micro));
    const std::vector<doctor::UsbCamera> cameras = doctor::FindCameras(view);
    if (cameras.empty()) {
        std::string ids;
        for (uint16_t id : view.vendorIds) {
            char text[8];
            std::snprintf(text, sizeof text, "%s%04x", ids.empty() ? "" : ", ", id);
            ids += text;
        }
        findings.push_back({Level::Problem, "no camera on the USB bus (vendor id " + ids + ", model ids 3000-33ff)",
                            "connect the camera and check that lsusb lists it; a camera that reports another "
                            "vendor id is found with VANTIX_USB_VENDOR_IDS=<hex id>"});
        findings.push_back(doctor::CheckUdevRule(view, view.vendorIds.front(), kLibraryModelId));
    }
    for (const doctor::UsbCamera& camera : cameras) {
        char what[96];
        std::snprintf(what, sizeof what, "camera %04x:%04x at %s (bus %u, device %u)", camera.vendorId,
                      camera.productId, camera.location.c_str(), camera.bus, camera.device);
        findings.push_back({Level::Ok, what, ""});
        findings.push_back(doctor::CheckSpeed(camera));
        findings.push_back(doctor::CheckUdevRule(view, camera.vendorId, camera.productId));
        findings.push_back(doctor::CheckDeviceNode(view, camera));
    }

    bool problem = false;
    for (const Finding& finding : findings) problem = problem || finding.level == Level::Problem;
    if (options.Has("json")) {
        std::printf("[");
        for (size_t i = 0; i < findings.size(); ++i) {
            std::printf("%s{\"level\":\"%s\",\"what\":\"%s\",\"advice\":\"%s\"}", i ? "," : "",
                        LevelName(findings[i].level), JsonEscape(findings[i].what).c_str(),
                        JsonEscape(findings[i].advice).c_str());
        }
        std::printf("]\n");
        return problem ? kExitFailure : kExitOk;
    }
    for (const Finding& finding : findings) {
        std::printf("%-8s %s\n", LevelName(finding.level), finding.what.c_str());
        if (!finding.advice.empty()) std::printf("         -> %s\n", finding.advice.c_str());
    }
    std::printf(
        "\nReporting a problem: run the failing command again with VANTIX_USB_TRACE=/tmp/vantix-usb.trace\n"
        "(and VANTIX_DEBUG=1 for the library's diagnostics), then attach the trace file and this output.\n");
    return problem ? kExitFailure : kExitOk;
}

}  // namespace cli
