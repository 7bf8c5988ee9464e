// The camera engine's life and its choice of camera: construction, opening
// and closing the controller, device enumeration and selection, the sensor
// object of the selected model and its initialisation.
#include <cstring>

#include "engine/camera_engine.h"
#include "engine/sensor_factory.h"
#include "platform/debug_output.h"
#include "transport/device_table.h"

namespace vantix {
namespace {

constexpr int32_t kNoModel = -1;
// The one model the engine names by its id: slot 18 asks for it.
constexpr int32_t kModel3042 = 0x3042;
constexpr int32_t kMaxDevices = 32;

}  // namespace

CVantixU3K9Base::CVantixU3K9Base() = default;

int32_t CVantixU3K9Base::Refuse(const char* why) const {
    DebugPrintf(DebugCategory::Engine, "engine: %s", why);
    return 0;
}

CVantixU3K9Base::~CVantixU3K9Base() { Close(); }

int32_t CVantixU3K9Base::Open(int32_t /*reserved*/, const Guid* interfaceClass) {
    Close();
    controller_ = std::make_unique<CVtxCy3Cam>(interfaceClass);
    return 1;
}

int32_t CVantixU3K9Base::InitCamera() {
    if (!controller_) return Refuse("initialise: no controller (Open first)");
    // A camera that streams for another session is opened for register
    // access only: resetting its port or re-initialising its sensor would
    // break the other session's stream.
    const bool shared = StreamHeldElsewhere();
    if (!controller_->PrepareStreaming(!shared)) return Refuse("initialise: the camera did not prepare its stream");
    controller_->ReadDeviceBlockA(deviceBlockA_);
    if (!sensor_) return Refuse("initialise: no sensor (no camera selected)");
    if (shared) {
        DebugPrintf(DebugCategory::Engine, "engine: the camera streams for another session; its sensor is left as it is");
        return sensor_->Detect() ? 1 : Refuse("initialise: the sensor did not answer detection");
    }
    WakeUpHead();
    if (!sensor_->Detect()) return Refuse("initialise: the sensor did not answer detection");
    const int32_t initialised = sensor_->Initialize();
    if (!initialised) Refuse("initialise: the sensor's initialisation failed");
    return initialised;
}

int32_t CVantixU3K9Base::Close() {
    StopCapture();
    streamClaim_.Release();
    selectedPath_.clear();
    if (Facts().restClocksOnClose && sensor_) RestHeadClocks();
    // The sensor goes first: a sensor that puts its head to rest when it is
    // destroyed still needs the controller it was given.
    sensor_.reset();
    if (controller_) {
        controller_->CloseStream();
        controller_.reset();
    }
    std::memset(deviceBlockA_, 0, sizeof deviceBlockA_);
    captureMode_ = kCaptureContinuous;
    transferBuffer_.reset();
    transferBufferSize_ = 0;
    for (auto& slot : ring_) slot.reset();
    frameBytes_ = 0;
    frameEventOpen_ = false;
    stopEventOpen_ = false;
    transferFailed_ = false;
    return 1;
}

int32_t CVantixU3K9Base::ReadDeviceBlockA(uint8_t* block) {
    if (!controller_ || block == nullptr) return 0;
    return controller_->ReadDeviceBlockA(block);
}

int32_t CVantixU3K9Base::GetSensorInfo(SensorInfo* info) {
    if (!sensor_ || info == nullptr) return 0;
    return sensor_->GetSensorInfo(info);
}

int32_t CVantixU3K9Base::ReadDeviceBlockB(uint8_t* block) {
    if (!controller_ || block == nullptr) return 0;
    return controller_->ReadDeviceBlockB(block);
}

int32_t CVantixU3K9Base::ChangeDevice(int32_t instance) {
    StopCapture();
    return SelectDevice(instance) ? 0 : -1;
}

int32_t CVantixU3K9Base::SelectDevice(int32_t instance) {
    if (!controller_) return Refuse("select: no controller (Open first)");
    if (modelId_ == kNoModel) return Refuse("select: no model id set");
    if (EnumerateDevices(0) == 0 || !IsDeviceAttached(instance)) {
        DebugPrintf(DebugCategory::Engine, "engine: select refused: no camera %d of model 0x%04x is attached", instance,
                    static_cast<unsigned>(modelId_));
        return 0;
    }
    // A model whose sensor class the library does not contain fails here,
    // before anything of the current camera is touched.
    if (!IsSensorClassAvailable(Model())) {
        DebugPrintf(DebugCategory::Engine, "engine: select refused: the sensor class %s of model 0x%04x is not built",
                    SensorClassName(Model().sensorClass), static_cast<unsigned>(modelId_));
        return 0;
    }
    const DeviceTable& table = ProcessDeviceTable();
    int32_t index = -1;
    for (int32_t i = 0; i < table.Count(); ++i) {
        const DeviceTableEntry entry = table.Entry(i);
        if (entry.instance == instance && entry.productId == static_cast<uint16_t>(modelId_)) {
            index = i;
            break;
        }
    }
    // The acquisition thread must neither lose its stream nor read from a
    // sensor being replaced.
    StopCapture();
    streamClaim_.Release();
    if (index >= 0) {
        // The old sensor ends while the controller still reaches its camera:
        // its last writes (a standby, say) must not go to the next one.
        sensor_.reset();
        if (controller_->SelectDeviceIndex(index)) {
            selectedPath_ = table.Entry(index).path;
            selectedInstance_ = instance;
        }
        // A camera that could not be selected keeps the controller on the
        // previous one, which gets its sensor back.
        SensorCreation outcome = SensorCreation::Created;
        sensor_ = CreateSensorForModel(Model(), controller_.get(), &outcome);
        if (!sensor_) return Refuse("select: the board's sensor probe got no answer");
    }
    buffersStale_ = 1;
    return InitCamera();
}

bool CVantixU3K9Base::ClaimStream() {
    if (selectedPath_.empty() || !sensor_) return true;
    return streamClaim_.Claim(selectedPath_);
}

bool CVantixU3K9Base::StreamHeldElsewhere() const {
    return !selectedPath_.empty() && streamClaim_.HeldElsewhere(selectedPath_);
}

int32_t CVantixU3K9Base::Slot9() { return 0; }

int32_t CVantixU3K9Base::IsDeviceAttached(int32_t instance) {
    if (modelId_ == kNoModel || !controller_) return 0;
    const DeviceTable& table = ProcessDeviceTable();
    for (int32_t i = 0; i < kMaxDevices; ++i) {
        const DeviceTableEntry entry = table.Entry(i);
        if (entry.productId == static_cast<uint16_t>(modelId_) && entry.instance == instance && table.Exists(i)) {
            return 1;
        }
    }
    return 0;
}

int32_t CVantixU3K9Base::EnumerateDevices(int32_t modelId) {
    if (!controller_) return 0;
    const int32_t count = controller_->EnumerateDevices();
    if (modelId == 0) return count;
    const DeviceTable& table = ProcessDeviceTable();
    int32_t matching = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (table.ProductId(i) == static_cast<uint16_t>(modelId) && table.Exists(i)) ++matching;
    }
    return matching;
}

int32_t CVantixU3K9Base::GetDeviceName(int32_t index, char* name, int32_t size) {
    if (!controller_ || name == nullptr || size <= 0) return 0;
    return ProcessDeviceTable().GetDeviceName(index, name, static_cast<size_t>(size));
}

int32_t CVantixU3K9Base::SetModelId(int32_t modelId) {
    // Instance numbers count the cameras of one model: another model's
    // cameras start again from none selected.
    if (modelId != modelId_) selectedInstance_ = 0;
    modelId_ = modelId;
    return 1;
}

int32_t CVantixU3K9Base::GetModelId() { return modelId_; }

int32_t CVantixU3K9Base::GetDeviceVendorId(int32_t index) {
    if (!controller_ || index < 0 || index >= kMaxDevices) return 0;
    return ProcessDeviceTable().VendorId(index);
}

int32_t CVantixU3K9Base::GetDeviceProductId(int32_t index) {
    if (!controller_ || index < 0 || index >= kMaxDevices) return 0;
    return ProcessDeviceTable().ProductId(index);
}

int32_t CVantixU3K9Base::GetDeviceInstance(int32_t index) {
    if (!controller_ || index < 0 || index >= kMaxDevices) return -1;
    return ProcessDeviceTable().InstanceNumber(index);
}

int32_t CVantixU3K9Base::IsModel3042() { return modelId_ == kModel3042; }

int32_t CVantixU3K9Base::GetSelectedInstance() { return selectedInstance_; }

int32_t CVantixU3K9Base::GetMaxDevices() { return kMaxDevices; }

}  // namespace vantix
