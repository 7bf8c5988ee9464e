#include "emulator/personalities/serial_head_personality.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vantix::emulator {
namespace {

// The head's power-on exposure (lines of 17.5 us) and gain.
constexpr int32_t kPowerOnLines = 10000;
constexpr int32_t kPowerOnGain = 128;
constexpr double kLineUs = 17.5;
constexpr uint32_t kShortestFrameUs = 33333;
constexpr const char* kDebugAccessCode = "7306418";

// A decimal number filling the whole text.
bool ParseDecimal(const std::string& text, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtol(text.c_str(), &end, 10);
    return end == text.c_str() + text.size();
}

// "xHH": two hexadecimal digits.
bool ParseHexByte(const std::string& text, uint8_t* value) {
    if (text.size() != 3 || text[0] != 'x') return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str() + 1, &end, 16);
    if (end != text.c_str() + 3) return false;
    *value = static_cast<uint8_t>(v);
    return true;
}

}  // namespace

SerialHeadPersonality::SerialHeadPersonality(const VirtualModel& model)
    : HeadPersonality(model), exposureLines_(kPowerOnLines), gain_(kPowerOnGain) {}

bool SerialHeadPersonality::BusWrite(uint8_t address, const uint8_t* data, size_t count) {
    if (address != model_.sensorAddress) return HeadPersonality::BusWrite(address, data, count);
    // Register 0 is the only register of the bridge.
    if (count < 2 || data[0] != 0 || data[1] != 0) return false;
    for (size_t i = 2; i < count; ++i) {
        const char c = static_cast<char>(data[i]);
        received_.push_back(c);
        if (c == '\n') {
            std::string command = line_;
            line_.clear();
            if (!command.empty() && command.back() == '\r') command.pop_back();
            Execute(command);
        } else if (line_.size() < 256) {
            line_.push_back(c);
        }
    }
    return true;
}

bool SerialHeadPersonality::BusRead(uint8_t address, uint8_t* data, size_t count) {
    if (address != model_.sensorAddress) return HeadPersonality::BusRead(address, data, count);
    if (count != 1 || replies_.empty()) return false;
    // A slow link: every byte is ready only at the second read.
    if (slow_ && !byteReady_) {
        byteReady_ = true;
        return false;
    }
    byteReady_ = false;
    data[0] = replies_.front();
    replies_.pop_front();
    return true;
}

void SerialHeadPersonality::InjectReply(const std::string& bytes) {
    replies_.insert(replies_.end(), bytes.begin(), bytes.end());
}

void SerialHeadPersonality::Reply(std::string line) {
    if (silent_) return;
    if (garbled_ && !line.empty()) line[0] = static_cast<char>(line[0] ^ 0x20);
    line += "\r\n";
    replies_.insert(replies_.end(), line.begin(), line.end());
}

void SerialHeadPersonality::Execute(const std::string& command) {
    commands_.push_back(command);
    std::vector<std::string> words;
    for (size_t at = 0; at < command.size();) {
        const size_t space = command.find(' ', at);
        const size_t end = space == std::string::npos ? command.size() : space;
        if (end > at) words.push_back(command.substr(at, end - at));
        at = end + 1;
    }
    long number = 0;
    uint8_t reg = 0;
    uint8_t value = 0;
    if (words == std::vector<std::string>{"n"}) {
        Reply("VANTIX-Q121-CL");
    } else if (words == std::vector<std::string>{"x", "-c"}) {
        Reply("OK");
    } else if (words.size() == 3 && words[0] == "i" && words[1] == "-v" && ParseDecimal(words[2], &number) &&
               number >= 1) {
        exposureLines_ = static_cast<int32_t>(std::min<long>(number, 0x7FFFFFFF));
        Reply("OK");
    } else if (words.size() == 3 && words[0] == "g" && words[1] == "-v" && ParseDecimal(words[2], &number) &&
               number >= 0 && number <= 255) {
        gain_ = static_cast<int32_t>(number);
        Reply("OK");
    } else if (words.size() == 3 && words[0] == "d" && words[1] == "-y" && words[2] == kDebugAccessCode) {
        debugMode_ = true;
        Reply("Welcome Debug Mode!");
    } else if (words == std::vector<std::string>{"d", "-n"}) {
        debugMode_ = false;
        Reply("Good Bye!");
    } else if (debugMode_ && words.size() == 4 && words[0] == "q" && words[1] == "-w" &&
               ParseHexByte(words[2], &reg) && ParseHexByte(words[3], &value)) {
        headFpga_[reg] = value;
        char line[48];
        std::snprintf(line, sizeof line, "Fpga Write   : 0x%02X : 0x%02X", reg, value);
        Reply(line);
    } else {
        Reply("Unknown Command");
    }
}

uint32_t SerialHeadPersonality::FramePeriodUs() const {
    const double exposureUs = std::min(exposureLines_ * kLineUs, 4.0e9);
    return std::max(kShortestFrameUs, static_cast<uint32_t>(exposureUs));
}

double SerialHeadPersonality::Brightness() const {
    return (static_cast<double>(exposureLines_) / kPowerOnLines) * (static_cast<double>(gain_) / kPowerOnGain);
}

}  // namespace vantix::emulator
