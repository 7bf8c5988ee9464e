#include "drivers/virtual_camera_driver.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "drivers/camera_interface_class.h"
#include "drivers/ioctl_decoder.h"
#include "drivers/transfer_record.h"
#include "emulator/emulator.h"
#include "emulator/scene.h"
#include "emulator/virtual_camera.h"
#include "platform/debug_output.h"

namespace vantix {
namespace {

using emulator::Emulator;
using emulator::VirtualCamera;

// Every virtual camera runs at SuperSpeed (libusb's speed code 4).
constexpr uint32_t kSuperSpeed = 4;

// One open device file of a virtual camera.
class VirtualCameraConnection final : public DeviceConnection {
public:
    explicit VirtualCameraConnection(std::shared_ptr<VirtualCamera> camera) : camera_(std::move(camera)) {}
    ~VirtualCameraConnection() override { camera_->Abort(0, this); }

    uint32_t IoControl(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* bytesReturned, Overlapped* overlapped) override {
        if (!camera_->Present()) return kErrorDeviceNotConnected;
        IoRequest request;
        if (const uint32_t error = DecodeIoRequest(code, in, inSize, out, outSize, &request); error != kErrorSuccess) {
            return error;
        }
        uint32_t bytes = 0;
        uint32_t result = kErrorSuccess;
        switch (request.kind) {
            case IoRequestKind::Ep0Transfer:
                result = ControlTransfer(request, &bytes);
                break;
            case IoRequestKind::BulkTransfer:
            case IoRequestKind::DirectTransfer:
                result = StartRead(request, overlapped, &bytes);
                if (result == kErrorIoPending) {
                    if (bytesReturned != nullptr) *bytesReturned = 0;
                    return result;
                }
                break;
            case IoRequestKind::AbortPipe:
                camera_->Abort(request.endpoint, nullptr);
                break;
            case IoRequestKind::ResetPipe:
            case IoRequestKind::ResetPort:
                break;
            case IoRequestKind::GetSpeed:
                std::memcpy(request.speed, &kSuperSpeed, sizeof kSuperSpeed);
                bytes = sizeof kSuperSpeed;
                break;
        }
        return FinishAtOnce(result, bytes, bytesReturned, overlapped);
    }

private:
    uint32_t ControlTransfer(IoRequest& request, uint32_t* bytes) {
        const TransferHeader& h = request.record.header;
        const emulator::SetupPacket setup{h.requestType, h.request, h.value, h.index};
        uint32_t replyBytes = 0;
        const uint32_t result = camera_->ControlRequest(setup, request.record.data, &replyBytes);
        if (result != kErrorSuccess) return result;
        // An out request reports its whole data area sent; an in request its reply.
        *bytes = kTransferHeaderSize + ((h.requestType & 0x80) ? replyBytes : kEp0DataSize);
        std::memmove(request.reply, &request.record, kEp0RecordSize);
        return kErrorSuccess;
    }

    uint32_t StartRead(const IoRequest& request, Overlapped* overlapped, uint32_t* bytes) {
        TransferHeader* statusHeader = request.statusHeader;
        const uint32_t bias = request.bytesBias;
        auto done = [statusHeader, bias, overlapped](uint32_t error, uint32_t got, uint32_t status) {
            // The status words first: the caller may read them as soon as it wakes.
            statusHeader->statusA = status;
            statusHeader->statusB = 0;
            overlapped->Complete(error, error == kErrorSuccess ? got + bias : 0);
        };
        uint32_t got = 0;
        uint32_t status = 0;
        const uint32_t result = camera_->StreamRead(request.endpoint, request.data, request.dataSize, this,
                                                    overlapped != nullptr, done, &got, &status);
        if (result != kErrorSuccess) return result;
        statusHeader->statusA = status;
        statusHeader->statusB = 0;
        *bytes = got + bias;
        return kErrorSuccess;
    }

    std::shared_ptr<VirtualCamera> camera_;
};

class VirtualCameraDeviceDriver final : public DeviceDriver {
public:
    bool Claims(std::string_view path) const override { return Emulator::IsEmulatorPath(path); }

    std::unique_ptr<DeviceConnection> Open(std::string_view path, bool, uint32_t* error) override {
        std::shared_ptr<VirtualCamera> camera = Emulator::Instance().Find(path);
        if (camera == nullptr || !camera->Present()) {
            *error = kErrorFileNotFound;
            return nullptr;
        }
        return std::make_unique<VirtualCameraConnection>(std::move(camera));
    }

    void Enumerate(const Guid& interfaceClass, std::vector<std::string>& paths) override {
        if (!(interfaceClass == kCameraInterfaceClass)) return;
        for (std::string& path : Emulator::Instance().PresentPaths()) paths.push_back(std::move(path));
    }

    bool IsVirtual(std::string_view path) const override { return Emulator::Instance().Find(path) != nullptr; }
};

}  // namespace

DeviceDriver& VirtualCameraDriver() {
    static VirtualCameraDeviceDriver* driver = [] {
        // Lives until exit, like the cameras: device files may still be
        // closed by other static objects' destructors.
        auto* created = new VirtualCameraDeviceDriver();
        Emulator& emulator = Emulator::Instance();
        if (const char* emulate = std::getenv("VANTIX_EMULATE"); emulate != nullptr && *emulate != '\0') {
            if (!emulator.PlugFromList(emulate)) {
                DebugPrintf(DebugCategory::Drivers,
                            "vantix: VANTIX_EMULATE=\"%s\" is not a list like 3040 or 3040:2,3100", emulate);
            }
        }
        // Benchmarks of the host side want frames as fast as they are read,
        // not at the emulated sensor's frame rate.
        if (const char* fast = std::getenv("VANTIX_EMULATE_UNTHROTTLED");
            fast != nullptr && std::strcmp(fast, "1") == 0) {
            for (const std::string& path : emulator.Paths()) emulator.Find(path)->SetUnthrottled(true);
        }
        // Programs that look at the pictures can ask for another scene than
        // the test chart: chart, bars, gradient, moving.
        if (const char* name = std::getenv("VANTIX_EMULATE_SCENE"); name != nullptr && *name != '\0') {
            emulator::SceneKind kind{};
            if (emulator::ParseSceneName(name, &kind)) {
                for (const std::string& path : emulator.Paths()) {
                    emulator::SceneSettings scene = emulator.Find(path)->Scene();
                    scene.kind = kind;
                    emulator.Find(path)->SetScene(scene);
                }
            } else {
                DebugPrintf(DebugCategory::Drivers, "vantix: VANTIX_EMULATE_SCENE=\"%s\" is none of chart, bars, "
                            "gradient, moving", name);
            }
        }
        return created;
    }();
    return *driver;
}

}  // namespace vantix
