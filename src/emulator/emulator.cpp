#include "emulator/emulator.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "emulator/personalities/personality_factory.h"
#include "transport/camera_interface_class.h"
#include "transport/transfer_record.h"

namespace vantix::emulator {
namespace {

constexpr std::string_view kPathPrefix = "\\\\?\\usb#vid_";
constexpr std::string_view kEmulatedMarker = "#emu";
constexpr uint32_t kSuperSpeed = 4;

// One open device file of a virtual camera.
class EmulatedConnection final : public DeviceConnection {
public:
    explicit EmulatedConnection(std::shared_ptr<VirtualCamera> camera) : camera_(std::move(camera)) {}
    ~EmulatedConnection() override { camera_->Abort(0, this); }

    uint32_t IoControl(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* bytesReturned, Overlapped* overlapped) override {
        if (!camera_->Present()) return kErrorDeviceNotConnected;
        uint32_t returned = 0;
        uint32_t error = kErrorSuccess;
        switch (code) {
            case kIoctlEp0Transfer: {
                if (in == nullptr || out == nullptr || inSize < kEp0RecordSize || outSize < kEp0RecordSize) {
                    return kErrorInvalidParameter;
                }
                if (out != in) std::memcpy(out, in, kEp0RecordSize);
                auto* record = static_cast<Ep0Record*>(out);
                error = camera_->ControlRequest(*record, &returned);
                break;
            }
            case kIoctlBulkTransfer: {
                if (in == nullptr || out == nullptr || inSize < kTransferHeaderSize || outSize < inSize) {
                    return kErrorInvalidParameter;
                }
                if (out != in) std::memcpy(out, in, kTransferHeaderSize);
                auto* header = static_cast<TransferHeader*>(out);
                uint8_t* data = static_cast<uint8_t*>(out) + kTransferHeaderSize;
                error = camera_->StreamRead(header->endpoint, data, inSize - kTransferHeaderSize, header, overlapped,
                                            this, kTransferHeaderSize, &returned);
                if (error == kErrorSuccess) returned += kTransferHeaderSize;
                break;
            }
            case kIoctlDirectTransfer: {
                if (in == nullptr || inSize < kTransferHeaderSize || (out == nullptr && outSize != 0)) {
                    return kErrorInvalidParameter;
                }
                auto* header = static_cast<TransferHeader*>(in);
                error = camera_->StreamRead(header->endpoint, static_cast<uint8_t*>(out), outSize, header,
                                            overlapped, this, 0, &returned);
                break;
            }
            case kIoctlAbortPipe:
                if (in == nullptr || inSize < 1) return kErrorInvalidParameter;
                camera_->Abort(*static_cast<const uint8_t*>(in), nullptr);
                break;
            case kIoctlResetPipe:
            case kIoctlResetPort:
                break;
            case kIoctlGetSpeed:
                if (out == nullptr || outSize < 4) return kErrorInvalidParameter;
                std::memcpy(out, &kSuperSpeed, 4);
                returned = 4;
                break;
            default:
                return kErrorInvalidParameter;
        }
        if (error != kErrorSuccess) return error;
        if (bytesReturned != nullptr) *bytesReturned = returned;
        // A request that completes at once still signals its overlapped
        // result, as the system does for overlapped handles.
        if (overlapped != nullptr) overlapped->Complete(kErrorSuccess, returned);
        return kErrorSuccess;
    }

private:
    std::shared_ptr<VirtualCamera> camera_;
};

}  // namespace

struct Emulator::Impl : DeviceDriver {
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

    bool Claims(std::string_view path) const override {
        return path.substr(0, kPathPrefix.size()) == kPathPrefix && path.find(kEmulatedMarker) != std::string_view::npos;
    }

    std::unique_ptr<DeviceConnection> Open(std::string_view path, bool, uint32_t* error) override {
        std::shared_ptr<VirtualCamera> camera;
        {
            std::lock_guard lock(mutex);
            camera = FindLocked(path);
        }
        if (camera == nullptr || !camera->Present()) {
            *error = kErrorFileNotFound;
            return nullptr;
        }
        return std::make_unique<EmulatedConnection>(std::move(camera));
    }

    void Enumerate(const Guid& interfaceClass, std::vector<std::string>& paths) override {
        if (!(interfaceClass == kCameraInterfaceClass)) return;
        std::lock_guard lock(mutex);
        for (const auto& [path, camera] : cameras) {
            if (camera->Present()) paths.push_back(path);
        }
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
                  GuidToString(kCameraInterfaceClass).c_str());
    auto camera = std::make_shared<VirtualCamera>(profile);
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

DeviceDriver& Emulator::Driver() { return *impl_; }

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
