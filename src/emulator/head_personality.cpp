#include "emulator/head_personality.h"

namespace vantix::emulator {
namespace {

using Clock = std::chrono::steady_clock;

// Serial-bus devices of the camera (8-bit write addresses; reads use +1).
constexpr uint8_t kFpgaAddress = 0x40;
constexpr uint8_t kAuxAddress = 0x5A;
constexpr uint8_t kEepromAddress = 0xA2;
// An EEPROM ignores the bus while it programs a byte; the library waits
// longer than this after every write.
constexpr auto kEepromWriteCycle = std::chrono::milliseconds(5);

// FPGA registers the standard head gives meaning to.
constexpr uint8_t kFpgaBusyWord = 2;       // the sensor-bus busy word
constexpr uint8_t kFpgaFrameCounter = 8;   // low byte of the frame counter
constexpr uint8_t kFpgaHeightLow = 64;     // window height, low and high byte
constexpr uint8_t kFpgaWidthLow = 68;      // window width, low and high byte
constexpr uint8_t kFpgaWideHeightLow = 154;
constexpr uint8_t kFpgaWideWidthLow = 156;
constexpr uint8_t kFpgaBitDepth = 0x3C;    // 2: 16-bit samples, otherwise 8-bit
constexpr uint8_t kFpgaConverterDepth = 0x3D;
constexpr uint8_t kFpgaWideBitDepth = 0xA3;
constexpr uint8_t kSixteenBitSetting = 2;

uint8_t WidthRegister(const VirtualModel& model) {
    return model.window == WindowRegisters::Wide ? kFpgaWideWidthLow : kFpgaWidthLow;
}
uint8_t HeightRegister(const VirtualModel& model) {
    return model.window == WindowRegisters::Wide ? kFpgaWideHeightLow : kFpgaHeightLow;
}

}  // namespace

HeadPersonality::HeadPersonality(const VirtualModel& model)
    : model_(model),
      eeprom_(std::make_unique<std::array<uint8_t, 0x10000>>()),
      sensor_(MakePlainRegisterFile()) {
    eeprom_->fill(0xFF);  // an erased EEPROM
    // The FPGA powers up with the full array as its window.
    const uint8_t widthReg = WidthRegister(model);
    const uint8_t heightReg = HeightRegister(model);
    fpga_[widthReg] = static_cast<uint8_t>(model.width);
    fpga_[widthReg + 1] = static_cast<uint8_t>(model.width >> 8);
    fpga_[heightReg] = static_cast<uint8_t>(model.height);
    fpga_[heightReg + 1] = static_cast<uint8_t>(model.height >> 8);
}

HeadPersonality::~HeadPersonality() = default;

// ---- Serial bus ----

bool HeadPersonality::BusWrite(uint8_t address, const uint8_t* data, size_t count) {
    if (address == kFpgaAddress) {
        // [register] moves the pointer; [register, 0x00, value] writes.
        if (count == 0) return false;
        fpgaPointer_ = data[0];
        if (count >= 3) WriteFpgaRegister(data[0], data[2]);
        return true;
    }
    if (address == kAuxAddress) {
        if (count == 0) return false;
        auxPointer_ = data[0];
        if (count >= 2) aux_[data[0]] = data[1];
        return true;
    }
    if (address == kEepromAddress) {
        if (count < 2 || Clock::now() < eepromBusyUntil_) return false;
        eepromPointer_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
        if (count >= 3) {
            for (size_t i = 2; i < count; ++i) (*eeprom_)[static_cast<uint16_t>(eepromPointer_ + i - 2)] = data[i];
            eepromBusyUntil_ = Clock::now() + kEepromWriteCycle;
        }
        return true;
    }
    if (address == model_.sensorAddress) {
        busyReadsLeft_ = busyReadsPerTransfer_;
        return sensor_->Write(data, count);
    }
    return false;
}

bool HeadPersonality::BusRead(uint8_t address, uint8_t* data, size_t count) {
    if (address == kFpgaAddress) {
        // Two bytes: a zero high byte, then the register.
        const uint8_t value = ReadFpgaRegister(fpgaPointer_);
        for (size_t i = 0; i < count; ++i) data[i] = i == 1 ? value : 0;
        return true;
    }
    if (address == kAuxAddress) {
        for (size_t i = 0; i < count; ++i) data[i] = aux_[static_cast<uint8_t>(auxPointer_ + i)];
        return true;
    }
    if (address == kEepromAddress) {
        if (Clock::now() < eepromBusyUntil_) return false;
        for (size_t i = 0; i < count; ++i) data[i] = (*eeprom_)[eepromPointer_++];
        return true;
    }
    if (address == model_.sensorAddress) {
        busyReadsLeft_ = busyReadsPerTransfer_;
        return sensor_->Read(data, count);
    }
    return false;
}

// ---- FPGA registers ----

uint8_t HeadPersonality::ReadFpgaRegister(uint8_t reg) {
    if (reg == kFpgaBusyWord) {
        if (busyReadsLeft_ == 0) return 0;
        --busyReadsLeft_;
        return 1;
    }
    if (reg == kFpgaFrameCounter) return static_cast<uint8_t>(frameCounter_);
    return fpga_[reg];
}

void HeadPersonality::WriteFpgaRegister(uint8_t reg, uint8_t value) { fpga_[reg] = value; }

// ---- Camera registers ----

void HeadPersonality::WriteCameraRegister(uint16_t key, uint32_t value) { cameraRegisters_[key] = value; }

uint32_t HeadPersonality::ReadCameraRegister(uint16_t key) {
    const auto it = cameraRegisters_.find(key);
    return it == cameraRegisters_.end() ? 0 : it->second;
}

// ---- The next frame ----

FrameGeometry HeadPersonality::Geometry(uint8_t modeByte) const {
    const uint8_t widthReg = WidthRegister(model_);
    const uint8_t heightReg = HeightRegister(model_);
    FrameGeometry g;
    g.width = static_cast<uint32_t>(fpga_[widthReg] | fpga_[widthReg + 1] << 8);
    g.height = static_cast<uint32_t>(fpga_[heightReg] | fpga_[heightReg + 1] << 8);
    bool sixteen = false;
    switch (model_.depth) {
        case DepthSetting::FpgaRegister: sixteen = fpga_[kFpgaBitDepth] == kSixteenBitSetting; break;
        case DepthSetting::ModeByte: sixteen = modeByte == 1; break;
        case DepthSetting::ConverterRegister: sixteen = fpga_[kFpgaConverterDepth] != 0; break;
        case DepthSetting::WideRegister: sixteen = fpga_[kFpgaWideBitDepth] == kSixteenBitSetting; break;
    }
    g.bytesPerSample = sixteen ? 2 : 1;
    g.originX = sensor_->WindowColumn();
    g.originY = sensor_->WindowRow();
    return g;
}

uint32_t HeadPersonality::FramePeriodUs() const { return sensor_->FramePeriodUs(); }

double HeadPersonality::Brightness() const { return sensor_->Brightness(); }

}  // namespace vantix::emulator
