// CSensorGLUX9701: the head's readiness, its Initialize order, and the
// exposure and output modes; the rest is the family's.
#include "sensors/imx/sensor_glux9701.h"

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

constexpr uint8_t kFpgaHeadStatus = 33;
constexpr uint8_t kHeadReady = 3;
constexpr uint8_t kFpgaHeadControl = 164;
constexpr uint8_t kHeadRestart = 0x02;
constexpr uint32_t kPowerUpMs = 7000;
constexpr uint32_t kRestartMs = 5000;
constexpr int kRestarts = 5;

constexpr uint16_t kExposureModeRegister = 0x10;
constexpr uint16_t kOutputModeRegister = 0x12;

}  // namespace

CSensorGLUX9701::CSensorGLUX9701(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kGLUX9701) {}

bool CSensorGLUX9701::HeadReady() {
    uint8_t status = 0;
    return controller_->ReadFpgaRegister(kFpgaHeadStatus, &status) && status == kHeadReady;
}

int32_t CSensorGLUX9701::Detect() {
    if (!controller_) return 0;
    if (HeadReady()) return 1;
    Sleep(kPowerUpMs);
    for (int restart = 0; restart < kRestarts; ++restart) {
        if (HeadReady()) return 1;
        uint8_t control = 0;
        controller_->ReadFpgaRegister(kFpgaHeadControl, &control);
        controller_->WriteFpgaRegister(kFpgaHeadControl, control | kHeadRestart);
        Sleep(kRestartMs);
    }
    if (HeadReady()) return 1;
    DebugPrintf(DebugCategory::Sensor, "sensor: the head never reported its sensor ready");
    return 0;
}

int32_t CSensorGLUX9701::Initialize() {
    WritePowerOn();
    ApplyDefaultsInSeconds();
    return 1;
}

int32_t CSensorGLUX9701::GetExposureMode(int32_t* mode) {
    if (mode) *mode = exposureMode_;
    return 1;
}

int32_t CSensorGLUX9701::SetExposureMode(int32_t mode) {
    if (mode != 0 && mode != 1) return 0;
    if (!Put(kExposureModeRegister, static_cast<uint32_t>(mode))) return 0;
    exposureMode_ = mode;
    return 1;
}

int32_t CSensorGLUX9701::GetOutputMode() {
    uint32_t value = 0;
    if (!Get(kOutputModeRegister, &value)) return -1;
    return static_cast<int32_t>(value & 1);
}

int32_t CSensorGLUX9701::SetOutputMode(int32_t mode) {
    if (mode != 0 && mode != 1) return 0;
    return Put(kOutputModeRegister, static_cast<uint32_t>(mode));
}

std::unique_ptr<CSensorBase> MakeSensorGLUX9701(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorGLUX9701>(controller, deviceAddress);
}

}  // namespace vantix
