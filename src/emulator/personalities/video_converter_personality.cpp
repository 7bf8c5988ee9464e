#include "emulator/personalities/video_converter_personality.h"

#include <algorithm>

namespace vantix::emulator {
namespace {

constexpr uint8_t kAnswerReady = 3;
constexpr uint8_t kAnswer = 4;
constexpr uint8_t kBusClaim = 57;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kReplyRequest = 64;
constexpr char kAck = 0x06;
constexpr char kNak = 0x05;
constexpr uint32_t kPlanes = 3;

std::string Answer(const std::string& command) {
    if (command == "VER") return std::string("CNV-1.02") + kAck;
    if (command == "SIG") return std::string("1080P60") + kAck;
    if (command == "RST") return std::string(1, kAck);
    return std::string(1, kNak);
}

}  // namespace

VideoConverterPersonality::VideoConverterPersonality(const VirtualModel& model) : HeadPersonality(model) {}

bool VideoConverterPersonality::BusWrite(uint8_t address, const uint8_t* data, size_t count) {
    if (address != model_.sensorAddress) return HeadPersonality::BusWrite(address, data, count);
    if (count == 1 && data[0] == kReplyRequest) {
        fpga_[kAnswerReady] = 0;
        return true;
    }
    ++packets_;
    if (count < 3 || data[0] != count - 2 || data[1] != kStx || data[count - 1] != kEtx) return true;
    lastCommand_.assign(data + 2, data + count - 1);
    reply_ = Answer(lastCommand_);
    fpga_[kAnswer] = static_cast<uint8_t>(reply_.size());
    fpga_[kAnswerReady] = 1;
    return true;
}

bool VideoConverterPersonality::BusRead(uint8_t address, uint8_t* data, size_t count) {
    if (address != model_.sensorAddress) return HeadPersonality::BusRead(address, data, count);
    if (count > reply_.size()) return false;
    std::copy_n(reply_.begin(), count, data);
    return true;
}

uint8_t VideoConverterPersonality::ReadFpgaRegister(uint8_t reg) {
    if (reg == kBusClaim) return busBusy_ ? 1 : 0;
    return HeadPersonality::ReadFpgaRegister(reg);
}

FrameGeometry VideoConverterPersonality::Geometry(uint8_t modeByte) const {
    FrameGeometry g = HeadPersonality::Geometry(modeByte);
    g.height *= kPlanes;  // the planes follow one another
    return g;
}

}  // namespace vantix::emulator
