#include "emulator/personalities/mailbox_personality.h"

#include <algorithm>

namespace vantix::emulator {
namespace {

constexpr uint8_t kStatusAddress = 0x5E;
constexpr uint8_t kBooting = 0x01;
constexpr uint8_t kFirmwareLow = 0x10;
constexpr uint8_t kFirmwareHigh = 0x11;
constexpr uint8_t kBusyRegister = 32;
constexpr uint8_t kReadWindow = 64;
constexpr uint8_t kModeStatus = 96;
constexpr uint8_t kLineLengthRead = 102;
constexpr uint8_t kInfoBlock = 116;
constexpr uint8_t kGainLow = 138;
constexpr uint8_t kFrameHeight = 154;
constexpr uint8_t kCommand = 160;
constexpr uint8_t kTemperature = 169;
constexpr uint8_t kWriteWindow = 192;
constexpr uint8_t kSensorMode = 224;
constexpr uint8_t kExposure = 226;
constexpr uint8_t kLineLength = 230;
constexpr uint8_t kWindowRegisters = 32;

// Temperature codes near 25 degrees Celsius; serial numbers and revision
// bytes of the emulated heads.
constexpr MailboxDescription kHead2048{
    .lineLengthClocks = 560, .pixelClockKHz = 50000, .powerOnExposureLines = 1240, .powerOnGain = 64,
    .temperatureCode = 1367, .firmwareVersion = 24,
    .info = {0x00, 0x01, 0x23, 0x45, 0x02, 0x10, 0x03, 0x01},
    .blackLow = 0x40, .blackHigh = 0x3D, .gainStepA = 0x00, .gainStepB = 0x12, .mode65 = 245, .mode69 = 41,
};
constexpr MailboxDescription kHead4096{
    .lineLengthClocks = 513, .pixelClockKHz = 25000, .powerOnExposureLines = 1240, .powerOnGain = 64,
    .temperatureCode = 637, .firmwareVersion = 24,
    .info = {0x00, 0x02, 0x34, 0x56, 0x04, 0x00, 0x05, 0x02},
    .blackLow = 0x40, .blackHigh = 0x3D, .gainStepA = 0x00, .gainStepB = 0x12, .mode65 = 117, .mode69 = 41,
};

}  // namespace

const MailboxDescription& MailboxDescriptionOf(EmulatedHead head) {
    return head == EmulatedHead::Mailbox4096 ? kHead4096 : kHead2048;
}

MailboxPersonality::MailboxPersonality(const VirtualModel& model, const MailboxDescription& description)
    : HeadPersonality(model),
      description_(description),
      temperatureCode_(description.temperatureCode),
      exposureLines_(description.powerOnExposureLines),
      lineLength_(description.lineLengthClocks) {
    fpga_[kFirmwareLow] = static_cast<uint8_t>(description.firmwareVersion);
    fpga_[kFirmwareHigh] = static_cast<uint8_t>(description.firmwareVersion >> 8);
    fpga_[kGainLow] = description.powerOnGain;
    sensor_[83] = description.blackLow;
    sensor_[84] = description.blackHigh;
    sensor_[89] = description.gainStepA;
    sensor_[90] = description.gainStepB;
    sensor_[65] = description.mode65;
    sensor_[69] = description.mode69;
    // The staging window starts out as what the sensor holds.
    for (uint8_t i = 0; i < kWindowRegisters; ++i) fpga_[kWriteWindow + i] = sensor_[kReadWindow + i];
}

bool MailboxPersonality::BusRead(uint8_t address, uint8_t* data, size_t count) {
    if (address != kStatusAddress) return HeadPersonality::BusRead(address, data, count);
    for (size_t i = 0; i < count; ++i) data[i] = bootReadsLeft_ > 0 ? kBooting : 0;
    if (bootReadsLeft_ > 0) --bootReadsLeft_;
    return true;
}

uint8_t MailboxPersonality::ReadFpgaRegister(uint8_t reg) {
    if (reg == kBusyRegister) {
        if (stuck_) return 1;
        if (busyLeft_ == 0) return 0;
        --busyLeft_;
        return 1;
    }
    return HeadPersonality::ReadFpgaRegister(reg);
}

void MailboxPersonality::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    HeadPersonality::WriteFpgaRegister(reg, value);
    if (reg != kCommand) return;
    ++commands_;
    busyLeft_ = busyReads_;
    Execute(value);
}

void MailboxPersonality::Execute(uint8_t command) {
    switch (command) {
        case 1:
            for (uint8_t i = 0; i < kWindowRegisters; ++i) sensor_[kReadWindow + i] = fpga_[kWriteWindow + i];
            break;
        case 2:
            for (uint8_t i = 0; i < kWindowRegisters; ++i) fpga_[kReadWindow + i] = sensor_[kReadWindow + i];
            fpga_[kTemperature] = static_cast<uint8_t>(temperatureCode_);
            fpga_[kTemperature + 1] = static_cast<uint8_t>(temperatureCode_ >> 8);
            break;
        case 4: {
            exposureLines_ = static_cast<uint32_t>(fpga_[kExposure]) | fpga_[kExposure + 1] << 8 |
                             fpga_[kExposure + 2] << 16 | static_cast<uint32_t>(fpga_[kExposure + 3]) << 24;
            const uint32_t lineLength = fpga_[kLineLength] | (fpga_[kLineLength + 1] & 0x3F) << 8;
            if (lineLength != 0) lineLength_ = lineLength;
            modeCode_ = fpga_[kSensorMode] != 0 ? fpga_[kSensorMode] : modeCode_;
            break;
        }
        case 8:
            fpga_[kLineLengthRead] = static_cast<uint8_t>(lineLength_);
            fpga_[kLineLengthRead + 1] = static_cast<uint8_t>((lineLength_ >> 8) & 0x3F);
            fpga_[kModeStatus] = modeCode_;
            std::copy(std::begin(description_.info), std::end(description_.info), fpga_.begin() + kInfoBlock);
            break;
        default:
            break;  // an unknown command does nothing but keep the head busy
    }
}

uint32_t MailboxPersonality::FramePeriodUs() const {
    const uint32_t height = fpga_[kFrameHeight] | (fpga_[kFrameHeight + 1] & 0x0F) << 8;
    const uint64_t lines = std::max<uint64_t>(exposureLines_, height);
    const uint64_t us = lines * lineLength_ * 1000 / std::max<uint32_t>(description_.pixelClockKHz, 1);
    return static_cast<uint32_t>(std::clamp<uint64_t>(us, 1, UINT32_MAX));
}

double MailboxPersonality::Brightness() const {
    const double gain = fpga_[kGainLow] | fpga_[kGainLow + 1] << 8;
    return (static_cast<double>(exposureLines_) / description_.powerOnExposureLines) *
           (gain / description_.powerOnGain);
}

}  // namespace vantix::emulator
