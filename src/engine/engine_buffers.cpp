// The camera engine's stream set-up: frame buffers sized for the sensor's
// window, the FPGA's window and depth, the capture window, the clock, the
// stream reset between captures.
#include <algorithm>
#include <new>

#include "engine/camera_engine.h"
#include "engine/fpga_registers.h"
#include "platform/clock.h"

namespace vantix {
namespace {

constexpr int32_t kUsb3SpeedCode = 4;
// The newest firmware reads device block A's word at offset 24 above this and
// wants its stream pipe reset before a restart.
constexpr uint16_t kPipeResetFirmware = 0x10FF;
constexpr size_t kDeviceBlockVersionOffset = 24;
// Bytes per frame-buffer size unit: buffers are whole multiples of this.
constexpr uint64_t kBufferGranule = 8192;
// Margin around the image in every direction that the buffer allows for.
constexpr uint64_t kBufferMargin = 128;

}  // namespace

int32_t CVantixU3K9Base::ResetStream() {
    if (!controller_) return 0;
    if (Facts().stream == StreamKind::DirectFrames) {
        controller_->ResetPort();
    } else {
        const uint16_t firmware = static_cast<uint16_t>(deviceBlockA_[kDeviceBlockVersionOffset] |
                                                        deviceBlockA_[kDeviceBlockVersionOffset + 1] << 8);
        if (firmware > kPipeResetFirmware) controller_->ResetPipe(kStreamEndpoint);
        if (sensor_ && Facts().strobeOnStreamReset) sensor_->SettingsStrobe();
        controller_->WriteFpgaRegister(fpga::kStreamControl, 2);
        if (Facts().streamResetPauseMs != 0) Sleep(Facts().streamResetPauseMs);
    }
    controller_->RestartStream();
    return 1;
}

int32_t CVantixU3K9Base::AllocateFrameBuffers() {
    // The buffers are the acquisition thread's; it stops before they change.
    if (running_) StopCapture();
    transferBuffer_.reset();
    transferBufferSize_ = 0;
    if (!sensor_) return Refuse("frame buffers: no sensor (no camera selected)");
    const SensorInfo& info = sensor_->Info();
    const uint64_t w = static_cast<uint64_t>(std::max(0, info.areaWidth));
    const uint64_t h = static_cast<uint64_t>(std::max(0, info.areaHeight));
    const uint64_t planes = Facts().planes;
    const uint64_t size =
        ((w + kBufferMargin) * (h + kBufferMargin) * 2 + kBufferGranule - 1) / kBufferGranule * kBufferGranule * planes;
    const uint64_t frameBytes = w * h * ((bitMode_ == 1 || bitMode_ == 2) ? 2 : 1) * planes;
    // A transfer reads at most 64 MiB per piece count in 32 bits; anything
    // larger is not a camera this engine can stream.
    if (size > UINT32_MAX || frameBytes > size) return Refuse("frame buffers: the window is too large to stream");
    transferBuffer_.reset(new (std::nothrow) uint8_t[size]);
    if (!transferBuffer_) return Refuse("frame buffers: out of memory");
    transferBufferSize_ = static_cast<uint32_t>(size);
    frameBytes_ = static_cast<uint32_t>(frameBytes);
    for (auto& slot : ring_) {
        slot.reset(new (std::nothrow) uint8_t[size]);
        if (!slot) return Refuse("frame buffers: out of memory");
    }
    if (Facts().fpgaWindow == FpgaWindow::CameraSized) return 0;  // the camera sizes its own frames
    const bool wide = Facts().fpgaWindow == FpgaWindow::Wide;
    const uint8_t widthReg = wide ? fpga::kWideWidthLow : fpga::kWidthLow;
    const uint8_t heightReg = wide ? fpga::kWideHeightLow : fpga::kHeightLow;
    WriteFpgaRegister(widthReg, static_cast<int32_t>(w & 0xFF));
    WriteFpgaRegister(widthReg + 1, static_cast<int32_t>(w >> 8));
    WriteFpgaRegister(heightReg, static_cast<int32_t>(h & 0xFF));
    WriteFpgaRegister(heightReg + 1, static_cast<int32_t>(h >> 8));
    WriteModelReadoutRegisters();
    buffersStale_ = 0;
    return 1;
}

int32_t CVantixU3K9Base::ReadFrameCounter() {
    uint8_t counter = 0;
    if (!controller_ || !controller_->ReadFpgaRegister(fpga::kFrameCounter, &counter)) counter = 0;
    lastFrameCounter_ = counter;
    return 1;
}

int32_t CVantixU3K9Base::Slot31() { return -1; }

int32_t CVantixU3K9Base::SetReadTimeout(int32_t milliseconds) {
    readTimeoutMs_ = milliseconds;
    return 1;
}

int32_t CVantixU3K9Base::Slot36() { return 0; }

int32_t CVantixU3K9Base::SetBitMode(int32_t mode) {
    if (!controller_) return Refuse("bit mode: no controller (Open first)");
    int32_t result = 0;
    if (ApplyModelDepth(mode, &result)) return result;
    const bool sixteen = mode == 1 || Facts().depth == DepthControl::FixedSixteenBits;
    int32_t ok;
    if (Facts().depth == DepthControl::ModeByte) {
        ok = controller_->WriteModeByte(sixteen ? 1 : 0);
    } else {
        ok = controller_->WriteFpgaRegister(fpga::kBitDepth, sixteen ? 2 : 1);
    }
    if (!ok) return Refuse("bit mode: the camera did not take the depth setting");
    const int32_t newMode = sixteen ? 1 : mode;
    if (bitMode_ == newMode) return 1;
    bitMode_ = newMode;
    return AllocateFrameBuffers();
}

int32_t CVantixU3K9Base::SetClockMode(int32_t mode) {
    if (Facts().fastClockNeedsSuperSpeed && mode == 2 && controller_) {
        uint32_t speed = 0;
        controller_->GetSpeed(&speed);
        if (speed != kUsb3SpeedCode) mode = 0;  // the fastest clock needs SuperSpeed
    }
    return sensor_ ? sensor_->SetClockMode(mode) : 0;
}

int32_t CVantixU3K9Base::GetClockMode(int32_t* value, int32_t, int32_t) {
    if (!sensor_) return 0;
    int32_t cell = 0;
    if (!sensor_->GetClockMode(&cell)) return 0;
    if (value != nullptr) *value = cell;
    return 1;
}

int32_t CVantixU3K9Base::SetCaptureWindow(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode) {
    if (!sensor_) return Refuse("capture window: no sensor (no camera selected)");
    const SensorInfo& info = sensor_->Info();
    if (x == info.areaX && y == info.areaY && width == info.areaWidth && height == info.areaHeight &&
        mode == info.areaMode) {
        return 1;
    }
    if (StreamHeldElsewhere()) return Refuse("capture window: another session streams from this camera");
    if (!sensor_->SetArea(x, width, y, height, mode)) return Refuse("capture window: the sensor refused the window");
    // The sensor keeps the effective area in its record; reading it back
    // confirms what the next frames will carry.
    int32_t ax = 0, aw = 0, ay = 0, ah = 0, am = 0;
    sensor_->GetArea(&ax, &aw, &ay, &ah, &am);
    buffersStale_ = 1;
    return 1;
}

int32_t CVantixU3K9Base::GetCaptureWindow(int32_t* x, int32_t* y, int32_t* width, int32_t* height, int32_t* mode) {
    if (!sensor_) return 0;
    const SensorInfo& info = sensor_->Info();
    if (x != nullptr) *x = info.areaX;
    if (y != nullptr) *y = info.areaY;
    if (width != nullptr) *width = info.areaWidth;
    if (height != nullptr) *height = info.areaHeight;
    if (mode != nullptr) *mode = info.areaMode;
    return 1;
}

}  // namespace vantix
