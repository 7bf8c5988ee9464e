// CSensorQ119: window, gain, readout mode and output mode of the 2048 x 2048
// mailbox head; the rest is the family's.
#include "sensors/mailbox/sensor_q119.h"

#include <algorithm>

#include "sensors/mailbox/mailbox_members.h"
#include "sensors/mailbox/mailbox_sensors.h"

namespace vantix {
namespace {

using mailbox::Command;
namespace reg = mailbox::reg;

constexpr int32_t kReadoutModeMax = 8;
// Line length in pixel clocks and the shortest exposure of readout mode 0
// and of the others.
constexpr int32_t kLineLengthMode0 = 560;
constexpr int32_t kLineLengthOther = 1280;
constexpr double kShortestExposureMode0 = 0.000056;
constexpr double kShortestExposureOther = 0.000128;

int32_t RoundUpToEven(int32_t value) { return value + (value & 1); }

}  // namespace

CSensorQ119::CSensorQ119(CControllerBase* controller, uint8_t deviceAddress)
    : CMailboxHead(controller, deviceAddress, mailbox::kQ119) {
    // Rows are free, columns are always all 2048.
    info_.capability2 = 1;
}

int32_t CSensorQ119::SetArea(int32_t /*x*/, int32_t /*width*/, int32_t y, int32_t height, int32_t mode) {
    if (y < 0 || height <= 0 || y > info_.maxHeight || height > info_.maxHeight) return 0;
    y = RoundUpToEven(y);
    height = RoundUpToEven(height);
    if (y + height > info_.maxHeight) return 0;
    if (!WriteWord12(reg::kFrameHeight, height) || !WaitWhileBusy() ||
        !WriteWord12(reg::kFrameHeightPlus2, height + 2) || !RunCommand(Command::ApplyTiming) ||
        !WriteWord12(reg::kFirstRow, y) || !RunCommand(Command::ApplyTiming)) {
        return 0;
    }
    info_.areaX = 0;
    info_.areaY = y;
    info_.areaWidth = info_.maxWidth;
    info_.areaHeight = height;
    info_.areaMode = mode;
    return 1;
}

int32_t CSensorQ119::SetGain(int32_t gain) {
    const int32_t g = std::clamp(gain, info_.gain.min, info_.gain.max);
    uint8_t gainMode = 0;
    if (ReadByte(reg::kGainMode, &gainMode) && gainMode != mailbox::kGainModeDirect &&
        !WriteByte(reg::kGainMode, mailbox::kGainModeDirect)) {
        return 0;
    }
    if (!WriteByte(reg::kGainLow, static_cast<uint8_t>(g & 0xFF)) ||
        !WriteByte(reg::kGainLow + 1, static_cast<uint8_t>(g >> 8))) {
        return 0;
    }
    info_.gain.current = g;
    return 1;
}

int32_t CSensorQ119::SetReadoutMode(int32_t mode) {
    if (mode < 0 || mode > kReadoutModeMax) return 0;
    const int32_t lineLength = mode != 0 ? kLineLengthOther : kLineLengthMode0;
    if (!WriteByte(reg::kLineLength, static_cast<uint8_t>(lineLength & 0xFF)) ||
        !WriteByte(reg::kLineLength + 1, static_cast<uint8_t>((lineLength >> 8) & 0x3F)) ||
        !RunCommand(Command::ApplyTiming) || !ReadLineLength()) {
        return 0;
    }
    info_.exposureSecondsMin = mode != 0 ? kShortestExposureOther : kShortestExposureMode0;
    SetExposureSeconds(info_.exposureSeconds);
    return WriteByte(reg::kReadoutMode, static_cast<uint8_t>(mode)) ? 1 : 0;
}

int32_t CSensorQ119::GetReadoutMode(int32_t* mode) {
    uint8_t value = 0;
    if (!ReadByte(reg::kReadoutMode, &value)) return 0;
    if (mode) *mode = value;
    return 1;
}

int32_t CSensorQ119::GetOutputMode() {
    uint8_t value = 0;
    if (!ReadByte(reg::kOutputMode, &value)) return -1;
    return value != 0 ? 1 : 0;
}

int32_t CSensorQ119::SetOutputMode(int32_t mode) { return WriteByte(reg::kOutputMode, mode ? 1 : 0) ? 1 : 0; }

std::unique_ptr<CSensorBase> MakeSensorQ119(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ119>(controller, deviceAddress);
}

}  // namespace vantix
