#pragma once
// The virtual cameras of this process. Cameras are plugged from the
// VANTIX_EMULATE environment variable (for example "3040" or "3040:2,3100":
// model ids in hexadecimal, with an optional count) when the drivers are
// installed, and at run time through this interface by tests and tools.
// Device paths are deterministic, \\?\usb#vid_04b4&pid_3040#emu0#{...}, so
// every process that emulates the same cameras sees the same paths. The
// virtual-camera driver (drivers/virtual_camera_driver.h) presents them as
// device files.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/virtual_camera.h"

namespace vantix::emulator {

class Emulator {
public:
    static Emulator& Instance();

    // Plugs a new virtual camera of a model and returns its device path. The
    // instance part counts the cameras of that model plugged so far (emu0,
    // emu1, ...).
    std::string Plug(uint16_t modelId);
    // Plugs the cameras named by a VANTIX_EMULATE value; false for a malformed
    // value (nothing is plugged then).
    bool PlugFromList(std::string_view text);
    // Removes a camera: opens fail and pending transfers end with "device not
    // connected". Replug brings the same camera (and its memory) back.
    bool Unplug(std::string_view path);
    bool Replug(std::string_view path);
    // Forgets every virtual camera (for tests).
    void Reset();

    std::shared_ptr<VirtualCamera> Find(std::string_view path) const;
    std::vector<std::string> Paths() const;
    // The paths of the cameras that are plugged in, in plug order.
    std::vector<std::string> PresentPaths() const;
    // True for a path of the form the emulator gives its cameras.
    static bool IsEmulatorPath(std::string_view path);

private:
    Emulator();
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

// Parses "3040" / "3040:2,3100" into model ids, one per camera. False (and
// nothing returned) for malformed text.
bool ParseEmulateVariable(std::string_view text, std::vector<uint16_t>* models);

}  // namespace vantix::emulator
