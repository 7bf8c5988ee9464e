// CSensorQ121: the SWIR head's command protocol over the FPGA's byte bridge:
// the identity handshake, exposure and gain commands, debug mode and the
// writes to the head's own FPGA, and free text for the application.
#include "sensors/serial_head/sensor_q121.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "sensors/serial_head/serial_head_sensors.h"

namespace vantix {
namespace {

// Camera FPGA registers of the head's link.
constexpr uint8_t kFpgaHeadWake = 255;  // reads 4 once the head is awake
constexpr uint8_t kHeadAwake = 4;
constexpr uint8_t kFpgaLinkControl = 60;  // 2: link up
constexpr uint8_t kLinkUp = 2;
constexpr int kWakeAttempts = 10;
constexpr int kLinkAttempts = 10;
constexpr uint32_t kRegisterSettleMs = 10;

// The bridge's data register and the pace of the link.
constexpr uint32_t kBridgeData = 0;
constexpr uint32_t kBytePauseMs = 10;
constexpr uint32_t kReplyPollMs = 10;
constexpr size_t kLineBytes = 256;
// Bytes a drain reads at most before giving up on a head that never stops
// talking.
constexpr int kDrainLimit = 4 * static_cast<int>(kLineBytes);

// Registers of the head's own FPGA.
constexpr uint8_t kHeadTriggerSource = 48;  // 1: external trigger
constexpr uint8_t kHeadTake = 60;           // 0 then 1 takes the settings

// The head's replies.
constexpr std::string_view kIdentity = "VANTIX-Q121-CL\r\n";
constexpr std::string_view kOk = "OK\r\n";
constexpr std::string_view kDebugGreeting = "Welcome Debug Mode!\r\n";
constexpr std::string_view kDebugFarewell = "Good Bye!\r\n";
// The seven digits are the head's access code for debug mode.
constexpr std::string_view kEnterDebug = "d -y 7306418\r\n";
constexpr std::string_view kLeaveDebug = "d -n\r\n";

// What the process knows of the head's debug mode. The head keeps its mode
// across sessions, so the knowledge outlives sensor objects.
std::mutex debugModeLock;
CSensorQ121::DebugMode debugMode = CSensorQ121::DebugMode::Off;

std::string_view WithoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == '\0')) {
        text.remove_suffix(1);
    }
    return text;
}

bool EndsLine(std::string_view text) {
    return !text.empty() && (text.back() == '\n' || text.back() == '\0');
}

}  // namespace

CSensorQ121::CSensorQ121(CControllerBase* controller, uint8_t deviceAddress)
    : CSensorBase(controller, deviceAddress) {
    info_.maxWidth = 1280;
    info_.maxHeight = 1024;
    info_.defaultWidth = 1280;
    info_.defaultHeight = 1024;
    info_.areaWidth = 1280;
    info_.areaHeight = 1024;
    info_.gain = {.min = 0, .max = 255, .current = 128, .defaultValue = 128, .stepOrSupported = 1};
    info_.exposureLines = {.min = 1, .max = 1000000, .current = 10000, .defaultValue = 10000, .stepOrSupported = 1};
    info_.exposureTime = {.min = 1, .max = 10000, .current = 100, .defaultValue = 100, .stepOrSupported = 1};
    info_.pixelClockKHz = 72000;
    info_.specific84 = 2;
    modelVariant_ = 100;
}

CSensorQ121::DebugMode CSensorQ121::KnownDebugMode() {
    std::lock_guard lock(debugModeLock);
    return debugMode;
}

void CSensorQ121::ResetDebugModeForTesting() {
    std::lock_guard lock(debugModeLock);
    debugMode = DebugMode::Off;
}

// ---- Bridge bytes and text ----

int32_t CSensorQ121::WriteRegister(uint32_t address, uint32_t value) { return BusWriteRegister8(address, value); }

int32_t CSensorQ121::ReadRegister(uint32_t address, uint32_t* value) { return BusReadRegister8(address, value); }

int32_t CSensorQ121::SendText(const char* text, int32_t length) {
    if (text == nullptr) return 0;
    ScopedLock lock(commandLock_);
    int32_t result = 0;
    for (int32_t i = 0; i < length && text[i] != '\0'; ++i) {
        result = WriteRegister(kBridgeData, static_cast<uint8_t>(text[i]));
        Sleep(kBytePauseMs);
        if (!result) break;
    }
    return result;
}

int32_t CSensorQ121::ReceiveText(char* buffer, int32_t length) {
    bool ended = false;
    return ReadLine(buffer, length, &ended);
}

int32_t CSensorQ121::ReadLine(char* buffer, int32_t length, bool* ended) {
    ScopedLock lock(commandLock_);
    *ended = false;
    char line[kLineBytes + 1];
    size_t count = 0;
    for (;;) {
        uint32_t byte = 0;
        if (!ReadRegister(kBridgeData, &byte)) break;  // the bridge has no more: the line so far
        Sleep(kBytePauseMs);
        if (byte == 0 || byte == '\n') {
            *ended = true;
            if (count == 0) return 0;
            line[count++] = static_cast<char>(byte);
            break;
        }
        if (byte == '\r') {
            *ended = true;
            if (count == 0) return 0;
            line[count++] = '\r';
            line[count++] = '\n';
            break;
        }
        line[count++] = static_cast<char>(byte);
        if (count == kLineBytes) return 0;  // no line end within a line's length
    }
    if (buffer != nullptr && length > 0) std::copy_n(line, std::min(count, static_cast<size_t>(length)), buffer);
    Sleep(kBytePauseMs);
    return static_cast<int32_t>(count);
}

// ---- Commands ----

void CSensorQ121::DrainReplies() {
    uint32_t byte = 0;
    for (int i = 0; i < kDrainLimit && ReadRegister(kBridgeData, &byte); ++i) {
    }
}

bool CSensorQ121::Exchange(std::string_view command, std::string_view expected, int timeoutS) {
    if (command.empty()) return false;
    ScopedLock lock(commandLock_);
    DrainReplies();
    const std::string text(command);
    bool answered = false;
    if (SendText(text.c_str(), static_cast<int32_t>(text.size()))) {
        // The reply may arrive in pieces; a piece that ends a line completes it.
        std::string reply;
        const uint32_t start = TickCount();
        while (ElapsedMs(start, TickCount()) < static_cast<uint32_t>(timeoutS) * 1000u) {
            char piece[kLineBytes];
            bool ended = false;
            const int32_t n = ReadLine(piece, sizeof piece, &ended);
            if (n > 0) {
                reply.append(piece, static_cast<size_t>(n));
            } else if (ended && !reply.empty()) {
                reply.push_back('\n');  // the line's end came after a pause of the link
            }
            if (EndsLine(reply) || reply.size() >= kLineBytes) break;
            if (n <= 0 && !ended) Sleep(kReplyPollMs);
        }
        answered = EndsLine(reply) && WithoutLineEnd(reply) == WithoutLineEnd(expected);
        if (!answered) {
            DebugPrintf(DebugCategory::Sensor, "sensor: head command \"%.*s\" got %s",
                        static_cast<int>(WithoutLineEnd(command).size()), command.data(),
                        reply.empty() ? "no reply" : "an unexpected reply");
        }
        DrainReplies();
    } else {
        DebugPrintf(DebugCategory::Sensor, "sensor: head command could not be sent over the bridge");
    }
    if (!answered) {
        std::lock_guard debugLock(debugModeLock);
        debugMode = DebugMode::Unknown;
    }
    return answered;
}

bool CSensorQ121::SetDebugMode(bool on) {
    ScopedLock lock(commandLock_);
    const DebugMode wanted = on ? DebugMode::On : DebugMode::Off;
    {
        std::lock_guard debugLock(debugModeLock);
        if (debugMode == wanted) return true;
    }
    if (!Exchange(on ? kEnterDebug : kLeaveDebug, on ? kDebugGreeting : kDebugFarewell, kCommandTimeoutS)) {
        return false;
    }
    std::lock_guard debugLock(debugModeLock);
    debugMode = wanted;
    return true;
}

bool CSensorQ121::WriteHeadFpga(uint8_t reg, uint8_t value) {
    ScopedLock lock(commandLock_);
    char command[32];
    char expected[48];
    std::snprintf(command, sizeof command, "q -w x%02x x%02x\n", reg, value);
    std::snprintf(expected, sizeof expected, "Fpga Write   : 0x%02X : 0x%02X\r\n", reg, value);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool wasOn = KnownDebugMode() == DebugMode::On;
        if (!SetDebugMode(true)) return false;
        if (Exchange(command, expected, kCommandTimeoutS)) return true;
        // Entered just now and still refused: entering again changes nothing.
        if (!wasOn) return false;
    }
    return false;
}

// ---- Opening ----

int32_t CSensorQ121::Detect() {
    if (!controller_) return 0;
    uint8_t value = 0;
    return controller_->ReadFpgaRegister(kFpgaHeadWake, &value) && value == kHeadAwake ? 1 : 0;
}

int32_t CSensorQ121::Handshake() {
    if (!controller_) return 0;
    for (int attempt = 0; attempt < kWakeAttempts; ++attempt) {
        controller_->WriteFpgaRegister(kFpgaHeadWake, kHeadAwake);
        Sleep(kRegisterSettleMs);
        uint8_t value = 0;
        if (!controller_->ReadFpgaRegister(kFpgaHeadWake, &value) || value != kHeadAwake) continue;
        if (!Exchange("n\r\n", kIdentity, kIdentityTimeoutS)) return 0;
        for (int i = 0; i < kLinkAttempts; ++i) {
            controller_->WriteFpgaRegister(kFpgaLinkControl, kLinkUp);
            Sleep(kRegisterSettleMs);
            uint8_t link = 0;
            if (controller_->ReadFpgaRegister(kFpgaLinkControl, &link) && link == kLinkUp) break;
        }
        return Exchange("x -c\r\n", kOk, kCommandTimeoutS) ? 1 : 0;
    }
    return 0;
}

int32_t CSensorQ121::Initialize() { return SetArea(0, 2048, 0, 1024, 0); }

// ---- Settings ----

int32_t CSensorQ121::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    info_.areaX = x;
    info_.areaY = y;
    info_.areaWidth = width;
    info_.areaHeight = height;
    info_.areaMode = mode;
    return 1;
}

int32_t CSensorQ121::SetTriggerMode(int32_t on) {
    const uint8_t source = on == 1 ? 1 : 0;
    if (!WriteHeadFpga(kHeadTriggerSource, source) || !WriteHeadFpga(kHeadTake, 0) || !WriteHeadFpga(kHeadTake, 1)) {
        return 0;
    }
    controlFlags_ = static_cast<uint32_t>(on);
    return 1;
}

int32_t CSensorQ121::GetTriggerMode(int32_t* on) {
    if (on) *on = static_cast<int32_t>(controlFlags_);
    return 1;
}

int32_t CSensorQ121::SetBitDepth(int32_t sixteenBit) { return ApplyBitDepth(sixteenBit); }

int32_t CSensorQ121::SetExposureLines(int32_t lines) {
    const int32_t n = std::clamp(lines, info_.exposureLines.min, info_.exposureLines.max);
    char command[32];
    std::snprintf(command, sizeof command, "i -v %d\n", n);
    if (!Exchange(command, kOk, kCommandTimeoutS)) return 0;
    info_.exposureLines.current = n;
    return 1;
}

int32_t CSensorQ121::SetGain(int32_t gain) {
    const int32_t g = std::clamp(gain, info_.gain.min, info_.gain.max);
    char command[32];
    std::snprintf(command, sizeof command, "g -v %d\n", g);
    if (!Exchange(command, kOk, kCommandTimeoutS)) return 0;
    info_.gain.current = g;
    return 1;
}

// The head counts exposure in units of 70/4000 ms: t x 40 x 100 / 70 lines.
int32_t CSensorQ121::SetExposureTime(int32_t tenthsOfMs) {
    const int32_t t = std::clamp(tenthsOfMs, info_.exposureTime.min, info_.exposureTime.max);
    if (!SetExposureLines(static_cast<int32_t>(t * 40.0 * 100.0 / 70.0))) return 0;
    info_.exposureTime.current = t;
    return 1;
}

int32_t CSensorQ121::GetMirrorV(int32_t* on) {
    if (on) *on = info_.mirrorV;
    return 0;
}

std::unique_ptr<CSensorBase> MakeSensorQ121(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ121>(controller, deviceAddress);
}

}  // namespace vantix
