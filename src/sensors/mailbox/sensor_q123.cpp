// CSensorQ123: window and full scan, output mode, black level, gain steps
// and mirrors of the 4096 x 4096 mailbox head; the rest is the family's.
#include "sensors/mailbox/sensor_q123.h"

#include <cstring>
#include <iterator>

#include "platform/clock.h"
#include "sensors/mailbox/mailbox_members.h"
#include "sensors/mailbox/mailbox_sensors.h"

namespace vantix {
namespace {

using mailbox::Command;
namespace reg = mailbox::reg;

constexpr int32_t kHalfSize = 2048;
constexpr int32_t kFullSize = 4096;
constexpr uint8_t kFullScanCode = 111;   // register 224 for the full-size scan
constexpr uint8_t kOutputFullScan = 2;   // register 128 during the full scan
constexpr int kVerifyAttempts = 100;
constexpr uint32_t kVerifyPauseMs = 100;
// Gain-step defaults of the two output modes.
constexpr int32_t kGainStepMode1 = 4;
constexpr int32_t kGainStepMode0 = 7;
// Sensor registers: black level (83, 84: low byte, 6 high bits), gain step
// (bit 7 of 89; bits 0-4 of 90).
constexpr uint8_t kBlackLow = 83;
constexpr uint8_t kBlackHigh = 84;
constexpr uint8_t kGainStepA = 89;
constexpr uint8_t kGainStepB = 90;
constexpr uint8_t kWindowOffset = reg::kWriteWindow - reg::kReadWindow;  // 128
constexpr uint8_t kMirrorHOn = 105, kMirrorHOff = 109;
constexpr uint8_t kMirrorVOn = 58, kMirrorVOff = 42;

constexpr const char* kGainStepLabels[] = {"0.66x", "1.85x", "2.49x", "3.68x", "1.29x", "3.70x", "4.95x", "7.25x"};

int32_t RoundUpToEven(int32_t value) { return value + (value & 1); }

}  // namespace

CSensorQ123::CSensorQ123(CControllerBase* controller, uint8_t deviceAddress)
    : CMailboxHead(controller, deviceAddress, mailbox::kQ123) {}

bool CSensorQ123::ReadSensorRegister(uint8_t r, uint8_t* value) {
    if (r < reg::kReadWindow || r >= reg::kReadWindow + 32) return false;
    return RunCommand(Command::ReadSensor) && ReadByte(r, value);
}

bool CSensorQ123::WriteSensorRegister(uint8_t r, uint8_t value) {
    if (r < reg::kWriteWindow || r >= reg::kWriteWindow + 32) return false;
    return WriteByte(r, value) && RunCommand(Command::CommitWrites);
}

bool CSensorQ123::WriteVerified(uint8_t r, uint8_t value) {
    for (int attempt = 0; attempt < kVerifyAttempts; ++attempt) {
        if (attempt > 0) Sleep(kVerifyPauseMs);
        if (!WriteByte(r, value)) continue;
        Sleep(kVerifyPauseMs);
        uint8_t readBack = 0;
        if (ReadByte(r, &readBack) && readBack == value) return true;
    }
    return false;
}

int32_t CSensorQ123::SetArea(int32_t /*x*/, int32_t width, int32_t y, int32_t height, int32_t mode) {
    width = width == kFullSize ? kFullSize : kHalfSize;
    height = height == kFullSize ? kFullSize : kHalfSize;
    if (y < 0 || y > info_.maxHeight) return 0;
    y = RoundUpToEven(y);
    if (width > info_.maxWidth || y + height > info_.maxHeight) return 0;
    if (width == kFullSize || height == kFullSize) {
        SetScanMode(1);
        if (!WriteByte(reg::kSensorMode, kFullScanCode) || !RunCommand(Command::ApplyTiming) ||
            !WriteVerified(reg::kOutputMode, kOutputFullScan)) {
            return 0;
        }
    } else if (!SetScanMode(0)) {
        return 0;
    }
    // The height's low byte is not taken by this head: only its bits 8-11.
    if (!WriteByte(reg::kFrameHeight, 0) || !WriteByte(reg::kFrameHeight + 1, (height >> 8) & 0x0F) ||
        !WaitWhileBusy() || !WriteByte(reg::kFrameHeightPlus2, 2) ||
        !WriteByte(reg::kFrameHeightPlus2 + 1, ((height + 2) >> 8) & 0x0F) || !RunCommand(Command::ApplyTiming) ||
        !WriteWord12(reg::kFirstRow, y) || !RunCommand(Command::ApplyTiming)) {
        return 0;
    }
    info_.areaX = 0;
    info_.areaY = y;
    info_.areaWidth = width;
    info_.areaHeight = height;
    info_.areaMode = mode;
    return 1;
}

int32_t CSensorQ123::SetGain(int32_t) { return 1; }

// ---- Output and scan modes ----

int32_t CSensorQ123::GetOutputMode() { return outputMode_; }

int32_t CSensorQ123::SetOutputMode(int32_t mode) {
    if (scanMode_ == 1) return 0;
    const bool one = mode != 0;
    if (!WriteByte(reg::kSensorMode, one ? mailbox::kSensorModeOff : mailbox::kSensorModeOn) ||
        !RunCommand(Command::ApplyTiming) || !WriteVerified(reg::kOutputMode, one ? 0 : 1)) {
        return 0;
    }
    info_.gainStep.defaultValue = one ? kGainStepMode1 : kGainStepMode0;
    outputMode_ = one ? 1 : 0;
    return 1;
}

int32_t CSensorQ123::SetScanMode(int32_t mode) {
    if (mode != 0 && mode != 1) return 0;
    scanMode_ = mode;
    if (mode == 1) return 1;  // the full scan keeps the output mode it has
    return SetOutputMode(outputMode_);
}

// ---- Black level and gain steps ----

int32_t CSensorQ123::SetBlackLevel(int32_t value) {
    if (value < info_.blackLevel.min || value > info_.blackLevel.max) return 0;
    uint8_t high = 0;
    if (!ReadSensorRegister(kBlackHigh, &high) ||
        !WriteSensorRegister(kBlackLow + kWindowOffset, static_cast<uint8_t>(value & 0xFF)) ||
        !WriteSensorRegister(kBlackHigh + kWindowOffset,
                             static_cast<uint8_t>(((value >> 8) & 0x3F) | (high & 0xC0)))) {
        return 0;
    }
    info_.blackLevel.current = value;
    return 1;
}

int32_t CSensorQ123::GetBlackLevel(int32_t* value) {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!ReadSensorRegister(kBlackLow, &low) || !ReadByte(kBlackHigh, &high)) return 0;
    if (value) *value = (high & 0x3F) << 8 | low;
    return info_.blackLevel.stepOrSupported;
}

int32_t CSensorQ123::SetGainStep(int32_t step) {
    if (step < info_.gainStep.min || step > info_.gainStep.max) return 0;
    uint8_t a = 0;
    uint8_t b = 0;
    if (!ReadSensorRegister(kGainStepA, &a) || !ReadByte(kGainStepB, &b)) return 0;
    const auto newA = static_cast<uint8_t>(((step << 7) & 0xFF) | (a & 0x7F));
    const auto newB = static_cast<uint8_t>(((step << 2) & 0x1F) | ((step >> 1) & 3) | (b & 0xE0));
    if (!WriteSensorRegister(kGainStepA + kWindowOffset, newA) ||
        !WriteSensorRegister(kGainStepB + kWindowOffset, newB)) {
        return 0;
    }
    info_.gainStep.current = step;
    return 1;
}

int32_t CSensorQ123::GetGainStep(int32_t* step) {
    uint8_t b = 0;
    if (!ReadSensorRegister(kGainStepB, &b)) return 0;
    if (step) *step = (b >> 2) & 7;
    return 1;
}

int32_t CSensorQ123::GetGainStepLabel(int32_t index, char* text) {
    if (index < 0 || index >= static_cast<int32_t>(std::size(kGainStepLabels)) || text == nullptr) return 0;
    std::strcpy(text, kGainStepLabels[index]);
    return 1;
}

// ---- Mirrors ----

int32_t CSensorQ123::SetMirrorH(int32_t on) {
    if (!WriteByte(reg::kMirrorH, on ? kMirrorHOn : kMirrorHOff)) return 0;
    info_.mirrorH = on ? 1 : 0;
    return 1;
}

int32_t CSensorQ123::GetMirrorH(int32_t* on) {
    if (on) *on = info_.mirrorH;
    return 1;
}

int32_t CSensorQ123::SetMirrorV(int32_t on) {
    if (!WriteByte(reg::kMirrorV, on ? kMirrorVOn : kMirrorVOff)) return 0;
    info_.mirrorV = on ? 1 : 0;
    return 1;
}

int32_t CSensorQ123::GetMirrorV(int32_t* on) {
    if (on) *on = info_.mirrorV;
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorQ123(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ123>(controller, deviceAddress);
}

}  // namespace vantix
