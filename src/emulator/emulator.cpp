#include "emulator/emulator.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "emulator/personalities/personality_factory.h"

namespace vantix::emulator {
namespace {

constexpr std::string_view kPathPrefix = "\\\\?\\usb#vid_";
constexpr std::string_view kEmulatedMarker = "#emu";
// The device-interface class the cameras are published under, as it ends
// every device path.
constexpr const char* kInterfaceClassText = "{328184c5-93e6-49b7-94b8-2ada13aabb39}";

}  // namespace

struct Emulator::Impl {
    mutable std::mutex mutex;
    // Plug order is enumeration order.
    std::vector<std::pair<std::string, std::shared_ptr<VirtualCamera>>> cameras;
    std::map<uint16_t, int> pluggedPerModel;

    std::shared_ptr<VirtualCamera> FindLocked(std::string_view path) const {
        for (const auto& [cameraPath, camera] : cameras) {
            if (cameraPath == path) return camera;
        }
        return nullptr;
    }
};

Emulator::Emulator() : impl_(std::make_shared<Impl>()) {}

Emulator& Emulator::Instance() {
    // Never destroyed: device files may still be closed by other static
    // objects' destructors at exit.
    static Emulator* instance = new Emulator();
    return *instance;
}

std::string Emulator::Plug(uint16_t modelId) {
    std::lock_guard lock(impl_->mutex);
    const int instance = impl_->pluggedPerModel[modelId]++;
    CameraProfile profile = ProfileForModel(modelId);
    char path[128];
    std::snprintf(path, sizeof path, "\\\\?\\usb#vid_%04x&pid_%04x#emu%d#%s", profile.vendorId, modelId, instance,
                  kInterfaceClassText);
    auto camera = std::make_shared<VirtualCamera>(profile);
    camera->ReplaceHead(MakeHeadPersonality(profile.model));
    camera->ReplaceSensor(MakeSensorPersonality(profile.model.sensor));
    impl_->cameras.emplace_back(path, std::move(camera));
    return path;
}

bool Emulator::PlugFromList(std::string_view text) {
    std::vector<uint16_t> models;
    if (!ParseEmulateVariable(text, &models)) return false;
    for (uint16_t model : models) Plug(model);
    return true;
}

bool Emulator::Unplug(std::string_view path) {
    std::shared_ptr<VirtualCamera> camera = Find(path);
    if (camera == nullptr) return false;
    camera->SetPresent(false);
    return true;
}

bool Emulator::Replug(std::string_view path) {
    std::shared_ptr<VirtualCamera> camera = Find(path);
    if (camera == nullptr) return false;
    camera->SetPresent(true);
    return true;
}

void Emulator::Reset() {
    std::lock_guard lock(impl_->mutex);
    impl_->cameras.clear();
    impl_->pluggedPerModel.clear();
}

std::shared_ptr<VirtualCamera> Emulator::Find(std::string_view path) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->FindLocked(path);
}

std::vector<std::string> Emulator::Paths() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<std::string> paths;
    for (const auto& entry : impl_->cameras) paths.push_back(entry.first);
    return paths;
}

std::vector<std::string> Emulator::PresentPaths() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<std::string> paths;
    for (const auto& [path, camera] : impl_->cameras) {
        if (camera->Present()) paths.push_back(path);
    }
    return paths;
}

bool Emulator::IsEmulatorPath(std::string_view path) {
    return path.substr(0, kPathPrefix.size()) == kPathPrefix && path.find(kEmulatedMarker) != std::string_view::npos;
}

bool ParseEmulateVariable(std::string_view text, std::vector<uint16_t>* models) {
    std::vector<uint16_t> parsed;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const size_t colon = item.find(':');
        const std::string_view model = item.substr(0, colon);
        unsigned modelId = 0;
        auto [end, ec] = std::from_chars(model.data(), model.data() + model.size(), modelId, 16);
        if (ec != std::errc{} || end != model.data() + model.size() || model.empty() || modelId > 0xFFFF) {
            return false;
        }
        unsigned count = 1;
        if (colon != std::string_view::npos) {
            const std::string_view countText = item.substr(colon + 1);
            auto [countEnd, countEc] = std::from_chars(countText.data(), countText.data() + countText.size(), count);
            if (countEc != std::errc{} || countEnd != countText.data() + countText.size() || count == 0 ||
                count > 32) {
                return false;
            }
        }
        parsed.insert(parsed.end(), count, static_cast<uint16_t>(modelId));
    }
    if (parsed.empty()) return false;
    *models = std::move(parsed);
    return true;
}

}  // namespace vantix::emulator
