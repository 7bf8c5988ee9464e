// CSensorQ112: the video converter's packet protocol.
#include "sensors/standalone/sensor_q112.h"

#include <cctype>
#include <cstring>

#include "platform/clock.h"
#include "sensors/standalone/standalone_sensors.h"

namespace vantix {
namespace {

constexpr uint32_t kBusTimeoutMs = 3000;
// FPGA registers of the converter's link.
constexpr uint8_t kAnswerReady = 3;   // bit 0: the converter has answered
constexpr uint8_t kAnswer = 4;        // the answer: the length of its reply
constexpr uint8_t kBusClaim = 57;     // pulse 1, 0 to claim; bit 0 reads 1 while busy
constexpr int kBusPolls = 500;
constexpr uint32_t kBusPollMs = 2;
constexpr int kAnswerPolls = 100;
constexpr uint32_t kAnswerPollMs = 10;
constexpr int kAnswerReadFailures = 5;
// Packet framing: start and end of text; the byte that asks for the reply.
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kReplyRequest = 64;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x05;

}  // namespace

CSensorQ112::CSensorQ112(CControllerBase* controller, uint8_t deviceAddress)
    : CSensorBase(controller, deviceAddress) {
    info_.maxWidth = 1920;
    info_.maxHeight = 1080;
    info_.defaultWidth = 1920;
    info_.defaultHeight = 1080;
    info_.areaWidth = 1920;
    info_.areaHeight = 1080;
    info_.totalWidth = 2200;
    info_.totalHeight = 1125;
    info_.pixelClockKHz = 74250;
}

int32_t CSensorQ112::AccessDevice(int32_t op, void* buffer) {
    if (!controller_ || buffer == nullptr) return 0;
    if (op == 0) return SendCommand(static_cast<const uint8_t*>(buffer));
    if (op == 1) return ReceiveReply(static_cast<char*>(buffer));
    return 0;
}

bool CSensorQ112::WaitForBus() {
    controller_->WriteFpgaRegister(kBusClaim, 1);
    Sleep(1);
    controller_->WriteFpgaRegister(kBusClaim, 0);
    Sleep(1);
    for (int poll = 0; poll < kBusPolls; ++poll) {
        uint8_t state = 1;
        if (controller_->ReadFpgaRegister(kBusClaim, &state) && (state & 1) == 0) return true;
        Sleep(kBusPollMs);
    }
    return false;
}

int32_t CSensorQ112::SendCommand(const uint8_t* buffer) {
    const int32_t length = buffer[0];
    if (length < 1 || length > kMaxCommandLength) return 0;
    uint8_t packet[kMaxCommandLength + 3];
    packet[0] = static_cast<uint8_t>(length + 1);
    packet[1] = kStx;
    for (int32_t i = 0; i < length; ++i) {
        packet[2 + i] = static_cast<uint8_t>(std::toupper(static_cast<unsigned char>(buffer[1 + i])));
    }
    packet[2 + length] = kEtx;
    if (!WaitForBus()) return 0;
    if (!controller_->BusWrite(deviceAddress_, packet, static_cast<size_t>(length + 3), kBusTimeoutMs)) return 0;
    int failures = 0;
    for (int poll = 0; poll < kAnswerPolls; ++poll) {
        uint8_t ready = 0;
        if (!controller_->ReadFpgaRegister(kAnswerReady, &ready)) {
            if (++failures > kAnswerReadFailures) return 0;
        } else if (ready & 1) {
            Sleep(1);
            uint8_t answer = 0;
            return controller_->ReadFpgaRegister(kAnswer, &answer) && answer != 0 ? 1 : 0;
        }
        Sleep(kAnswerPollMs);
    }
    return 0;
}

int32_t CSensorQ112::ReceiveReply(char* buffer) {
    uint8_t n = 0;
    if (!controller_->ReadFpgaRegister(kAnswer, &n) || n == 0 || n > kMaxReplyBytes) return 0;
    const uint8_t request = kReplyRequest;
    uint8_t reply[kMaxReplyBytes];
    if (!controller_->BusWrite(deviceAddress_, &request, 1, kBusTimeoutMs) ||
        !controller_->BusRead(deviceAddress_, reply, n, kBusTimeoutMs)) {
        return 0;
    }
    const uint8_t status = reply[n - 1];
    if (status != kAck && status != kNak) return 0;
    std::memcpy(buffer, reply, n - 1u);
    buffer[n - 1] = status == kAck ? 'o' : 'n';
    buffer[n] = '\0';
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorQ112(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ112>(controller, deviceAddress);
}

}  // namespace vantix
