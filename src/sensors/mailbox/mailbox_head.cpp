// CMailboxHead: the mailbox protocol and the operations both mailbox heads
// share.
#include "sensors/mailbox/mailbox_head.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/clock.h"
#include "platform/debug_output.h"

namespace vantix {
namespace {

using mailbox::Command;
namespace reg = mailbox::reg;

// The head's own status byte on the serial bus (a read address).
constexpr uint8_t kStatusDevice = 0x5F;
constexpr uint32_t kStatusTimeoutMs = 3000;
constexpr uint32_t kDetectPauseMs = 100;
constexpr uint8_t kNotReadyBits = 0x0F;
constexpr uint8_t kSensorModeMask = 0xF0;
constexpr uint8_t kSensorModeActive = 0x50;
constexpr uint16_t kSensorModeFirmware = 22;  // newer firmware has the sensor mode
constexpr uint32_t kInfoBlockValidAbove = 7;
// Sensor registers of the extended mode and their staged values.
constexpr uint8_t kSensorModeRegA = 65;
constexpr uint8_t kSensorModeRegB = 69;
constexpr uint8_t kSensorModeBOn = 217;
constexpr uint8_t kSensorModeBOff = 41;
constexpr uint8_t kWindowOffset = reg::kWriteWindow - reg::kReadWindow;  // 128

}  // namespace

CMailboxHead::CMailboxHead(CControllerBase* controller, uint8_t deviceAddress,
                           const mailbox::MailboxConstants& constants)
    : CSensorBase(controller, deviceAddress), k_(constants) {
    info_.maxWidth = k_.maxWidth;
    info_.maxHeight = k_.maxHeight;
    info_.defaultWidth = k_.defaultWidth;
    info_.defaultHeight = k_.defaultHeight;
    info_.areaWidth = k_.defaultWidth;
    info_.areaHeight = k_.defaultHeight;
    info_.gain = k_.gain;
    info_.exposureLines = k_.exposureLines;
    info_.exposureTime = k_.exposureTime;
    info_.blackLevel = k_.blackLevel;
    info_.gainStep = k_.gainStep;
    info_.exposureSecondsMin = k_.exposureSecondsMin;
    info_.exposureSecondsMax = k_.exposureSecondsMax;
    info_.exposureSeconds = k_.exposureSecondsDefault;
    info_.exposureSecondsDefault = k_.exposureSecondsDefault;
    info_.exposureSecondsSupported = 1;
    info_.mirrorHSupported = k_.mirrorSupported;
    info_.mirrorVSupported = k_.mirrorSupported;
    info_.pixelClockKHz = k_.pixelClockKHz;
    modelVariant_ = k_.variant;
}

// ---- Mailbox protocol ----

bool CMailboxHead::WriteByte(uint8_t r, uint8_t value) {
    return controller_ != nullptr && controller_->WriteFpgaRegister(r, value) != 0;
}

bool CMailboxHead::ReadByte(uint8_t r, uint8_t* value) {
    return controller_ != nullptr && controller_->ReadFpgaRegister(r, value) != 0;
}

bool CMailboxHead::WaitWhileBusy() {
    for (int poll = 0; poll < mailbox::kBusyPolls; ++poll) {
        uint8_t status = 0;
        if (!ReadByte(reg::kStatus, &status)) return false;
        if ((status & 1) == 0) return true;
        Sleep(mailbox::kBusyPollMs);
    }
    DebugPrintf(DebugCategory::Sensor, "sensor: the head's microcontroller stayed busy");
    return false;
}

bool CMailboxHead::RunCommand(Command command) {
    return WriteByte(reg::kCommand, static_cast<uint8_t>(command)) && WaitWhileBusy();
}

bool CMailboxHead::WriteWord12(uint8_t lowReg, int32_t value) {
    return WriteByte(lowReg, static_cast<uint8_t>(value & 0xFF)) &&
           WriteByte(static_cast<uint8_t>(lowReg + 1), static_cast<uint8_t>((value >> 8) & 0x0F));
}

bool CMailboxHead::ReadLineLength() {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!RunCommand(Command::RefreshStatus) || !ReadByte(reg::kLineLengthRead, &low) ||
        !ReadByte(reg::kLineLengthRead + 1, &high)) {
        return false;
    }
    lineLength_ = ((high << 8) & 0x3FFF) | low;
    return true;
}

bool CMailboxHead::ReadInfoBlock() {
    uint8_t b[8] = {};
    if (!RunCommand(Command::RefreshStatus)) return false;
    for (uint8_t i = 0; i < 8; ++i) {
        if (!ReadByte(static_cast<uint8_t>(reg::kInfoBlock + i), &b[i])) return false;
    }
    infoNumber_ = static_cast<int32_t>(static_cast<uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3]);
    infoWord_ = static_cast<int16_t>(b[4] << 8 | b[5]);
    infoBytes_[0] = b[6];
    infoBytes_[1] = b[7];
    return true;
}

// ---- Opening ----

int32_t CMailboxHead::Detect() {
    if (!controller_) return 0;
    const int phases = k_.secondStatus ? 2 : 1;
    for (int phase = 0; phase < phases; ++phase) {
        const uint32_t start = TickCount();
        bool ready = false;
        for (int attempt = 0; !ready && (k_.detectAttempts == 0 || attempt < k_.detectAttempts); ++attempt) {
            uint8_t status = 0xFF;
            ready = controller_->BusRead(kStatusDevice, &status, 1, kStatusTimeoutMs) && (status & kNotReadyBits) == 0;
            if (ready || ElapsedMs(start, TickCount()) >= k_.detectLimitMs) break;
            Sleep(kDetectPauseMs);
        }
        if (!ready) return 0;
    }
    return 1;
}

int32_t CMailboxHead::Initialize() {
    if (!Detect()) return 0;
    if (!WriteByte(reg::kReadoutControl, mailbox::kReadoutControlInitial) || !ReadLineLength()) return 0;
    if (!SetArea(0, k_.defaultWidth, 0, k_.defaultHeight, 0)) return 0;
    return ReadInfoBlock() ? 1 : 0;
}

// ---- Exposure ----

int32_t CMailboxHead::SetExposureLines(int32_t lines) {
    uint32_t n = 0;
    if (k_.unsignedLines) {
        n = std::clamp(static_cast<uint32_t>(lines), static_cast<uint32_t>(info_.exposureLines.min),
                       static_cast<uint32_t>(info_.exposureLines.max));
    } else {
        n = static_cast<uint32_t>(std::clamp(lines, info_.exposureLines.min, info_.exposureLines.max));
    }
    for (uint8_t i = 0; i < 4; ++i) {
        if (!WriteByte(static_cast<uint8_t>(reg::kExposure + i), static_cast<uint8_t>(n >> (8 * i)))) return 0;
    }
    if (!RunCommand(Command::ApplyTiming)) return 0;
    info_.exposureLines.current = static_cast<int32_t>(n);
    return 1;
}

int32_t CMailboxHead::SetExposureMicroseconds(uint64_t microseconds) {
    const double lineTimeUs = lineLength_ * 1000.0 / info_.pixelClockKHz;
    if (!(lineTimeUs > 0)) return 0;
    const double lowest = k_.unsignedLines ? static_cast<uint32_t>(info_.exposureLines.min) : info_.exposureLines.min;
    const double highest = k_.unsignedLines ? static_cast<uint32_t>(info_.exposureLines.max) : info_.exposureLines.max;
    const double lines = std::clamp(std::trunc(static_cast<double>(microseconds) / lineTimeUs), lowest, highest);
    return SetExposureLines(static_cast<int32_t>(static_cast<uint32_t>(lines)));
}

int32_t CMailboxHead::SetExposureTime(int32_t tenthsOfMs) { return SetExposureTimeThroughMicroseconds(tenthsOfMs); }

int32_t CMailboxHead::SetExposureSeconds(double seconds) { return SetExposureSecondsThroughMicroseconds(seconds); }

// ---- Trigger and temperature ----

int32_t CMailboxHead::SetTriggerMode(int32_t on) { return WriteByte(reg::kTrigger, on ? 1 : 0) ? 1 : 0; }

int32_t CMailboxHead::GetTriggerMode(int32_t* on) {
    uint8_t value = 0;
    if (!ReadByte(reg::kTrigger, &value)) return 0;
    if (on) *on = value;
    return 1;
}

int32_t CMailboxHead::GetTemperature(double* celsius) {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!RunCommand(Command::CommitWrites) || !RunCommand(Command::ReadSensor) ||
        !ReadByte(reg::kTemperature, &low) || !ReadByte(reg::kTemperature + 1, &high)) {
        return 0;
    }
    const int32_t code = low | high << 8;
    if (celsius) *celsius = code * k_.temperatureSlope + k_.temperatureOffset;
    return 1;
}

// ---- Sensor mode ----

int32_t CMailboxHead::IsSensorModeSupported() { return FirmwareVersion() > kSensorModeFirmware ? 1 : 0; }

int32_t CMailboxHead::GetSensorMode(int32_t* state) {
    uint8_t status = 0;
    if (!RunCommand(Command::RefreshStatus) || !ReadByte(reg::kModeStatus, &status)) return 0;
    if (state) *state = (status & kSensorModeMask) == kSensorModeActive ? 1 : 0;
    return 1;
}

bool CMailboxHead::StageSensorMode(bool on) {
    const uint8_t a = on ? k_.sensorMode65On : k_.sensorMode65Off;
    const uint8_t b = on ? kSensorModeBOn : kSensorModeBOff;
    if (!WriteByte(kSensorModeRegA + kWindowOffset, a) || !WriteByte(kSensorModeRegB + kWindowOffset, b) ||
        !RunCommand(Command::CommitWrites) || !RunCommand(Command::ReadSensor)) {
        return false;
    }
    uint8_t readA = 0;
    uint8_t readB = 0;
    return ReadByte(kSensorModeRegA, &readA) && ReadByte(kSensorModeRegB, &readB) && readA == a && readB == b;
}

int32_t CMailboxHead::SetSensorMode(int32_t on) {
    const uint8_t code = on ? mailbox::kSensorModeOn : mailbox::kSensorModeOff;
    uint8_t status = 0;
    if (!WriteByte(reg::kSensorMode, code) || !RunCommand(Command::ApplyTiming) ||
        !RunCommand(Command::RefreshStatus) || !ReadByte(reg::kModeStatus, &status) || status != code) {
        return 0;
    }
    if (!StageSensorMode(on != 0)) return 0;
    return WriteByte(reg::kReadoutControl, mailbox::kReadoutControlSensorMode) ? 1 : 0;
}

// ---- Information block ----

int32_t CMailboxHead::IsInfoBlockValid() { return static_cast<uint32_t>(infoNumber_) > kInfoBlockValidAbove ? 1 : 0; }

int32_t CMailboxHead::GetInfoBlock(int32_t* value, int16_t* word, uint8_t bytes[2]) {
    if (value) *value = infoNumber_;
    if (word) *word = infoWord_;
    if (bytes) {
        bytes[0] = infoBytes_[0];
        bytes[1] = infoBytes_[1];
    }
    return 1;
}

}  // namespace vantix
