// The engine's per-model behaviour: each rule a catalog row names (wake-up,
// readout registers, depth control, trigger, option switch, resting the
// clocks) carried out here, one switch per rule without a default, so a rule
// added to the catalog and not handled is a compile error. Everything else in
// the engine is the same for every model.
#include <cstring>

#include "engine/fpga_registers.h"
#include "engine/camera_engine.h"
#include "platform/clock.h"

namespace vantix {
namespace {

// A booting head processor: the ready flag is polled this often, this far apart.
constexpr int kHeadReadyPolls = 40;
constexpr uint32_t kHeadReadyPollMs = 500;
constexpr uint8_t kHeadBootLevelReady = 25;
// A pause for the sensor to settle after the window change.
constexpr uint32_t kSettlePauseMs = 200;
constexpr uint32_t kStrobePauseMs = 1;
// Header-only capture to learn the frame counter, then triggered frames.
constexpr uint32_t kTriggerSettleMs = 10;
constexpr uint32_t kHeaderCaptureWaitMs = 5000;
constexpr int32_t kTriggeredFrameWaitMs = 60000;
// FPGA 36 takes these bits of the trigger mode on the FPGA-timed heads.
constexpr int32_t kTriggerModeMask = 0x83;
// The CCD heads' camera-register control word in both banks; 3 stops the clocks.
constexpr uint32_t kCcdControlBank0 = 0x0000;
constexpr uint32_t kCcdControlBank1 = 0x8000;
constexpr uint32_t kCcdClocksStopped = 3;
// Firmware version bit that gives the IMX990 head its option switch.
constexpr uint16_t kOptionSwitchFirmwareBit = 0x8000;
// The readout-mode head keeps the last readout mode (1-8) in user EEPROM byte 0.
constexpr int32_t kStoredReadoutModeOffset = 0;
constexpr int32_t kReadoutModeMax = 8;
constexpr uint8_t kOptionLevelOn = 15;
constexpr uint8_t kOptionLevelOff = 8;

}  // namespace

void CVantixU3K9Base::WakeUpHead() {
    switch (Facts().wakeUp) {
        case WakeUp::NotNeeded:
            break;
        case WakeUp::CameraOwnsSensorBus:
            sensor_->SetControlFlags(kControlCameraOwnsSensorBus);
            break;
        case WakeUp::FpgaPowerSequence:
            WriteFpgaRegister(fpga::kHeadPower, 0);
            WriteFpgaRegister(fpga::kHeadPowerMode, 3);
            WriteFpgaRegister(fpga::kHeadPower, 1);
            break;
        case WakeUp::HandshakeIfSilent:
            if (!sensor_->Detect()) sensor_->Handshake();
            break;
        case WakeUp::WaitForHeadProcessor: {
            uint8_t status = 0;
            uint8_t level = 0;
            controller_->ReadFpgaRegister(fpga::kHeadStatus, &status);
            controller_->ReadFpgaRegister(fpga::kHeadBootLevel, &level);
            if (status != 0 || level > kHeadBootLevelReady) {
                for (int attempt = 0; attempt < kHeadReadyPolls; ++attempt) {
                    uint8_t ready = 0;
                    controller_->ReadReadyFlag(&ready);
                    if (ready == 1) break;
                    Sleep(kHeadReadyPollMs);
                }
            }
            break;
        }
    }
}

void CVantixU3K9Base::RestHeadClocks() {
    sensor_->WriteRegister(kCcdControlBank0, kCcdClocksStopped);
    sensor_->WriteRegister(kCcdControlBank1, kCcdClocksStopped);
    if (!controller_) return;
    controller_->WriteFpgaRegister(fpga::kCcdClockFirst, 0);
    for (uint8_t reg : fpga::kCcdClocks) {
        Sleep(1);
        controller_->WriteFpgaRegister(reg, 0);
    }
}

// Where the FPGA starts keeping lines and columns of the sensor's readout,
// which depends on the window, the area mode and the mirrors.
void CVantixU3K9Base::WriteModelReadoutRegisters() {
    const SensorInfo& info = sensor_->Info();
    const int32_t w = info.areaWidth;
    const int32_t h = info.areaHeight;
    const int32_t x = info.areaX;
    const int32_t y = info.areaY;
    const int32_t mode = info.areaMode;
    const int32_t mirrorH = info.mirrorH;
    const int32_t mirrorV = info.mirrorV;
    const auto write16 = [this](uint8_t lowReg, int32_t value) {
        WriteFpgaRegister(lowReg, value & 0xFF);
        WriteFpgaRegister(lowReg + 1, (value >> 8) & 0xFF);
    };
    // Start and offset written as single bytes, high bytes 0.
    const auto writeBytes = [this](int32_t start, int32_t offset) {
        WriteFpgaRegister(fpga::kReadoutStart, start);
        WriteFpgaRegister(fpga::kReadoutStart + 1, 0);
        WriteFpgaRegister(fpga::kReadoutOffset, offset);
        WriteFpgaRegister(fpga::kReadoutOffset + 1, 0);
    };
    switch (Facts().readout) {
        case ReadoutRule::WindowOnly:
            break;
        case ReadoutRule::SettlePause:
            Sleep(kSettlePauseMs);
            break;
        case ReadoutRule::CcdWindow192:
            WriteFpgaRegister(fpga::kHeightLow, 192);
            Sleep(kStrobePauseMs);
            break;
        case ReadoutRule::CcdWindow34Strobe:
            WriteFpgaRegister(fpga::kHeightLow, 34);
            Sleep(kStrobePauseMs);
            sensor_->SettingsStrobe();
            break;
        case ReadoutRule::ByFirmwareRevision: {
            int32_t ok = 0;
            const int32_t u = ReadFpgaRegister(fpga::kFirmwareRevision, &ok);
            write16(fpga::kReadoutStart, u < 19 ? 0 : 31);
            WriteFpgaRegister(fpga::kReadoutOffset, u < 19 ? 0 : 12);
            WriteFpgaRegister(fpga::kReadoutOffset + 1, 0);
            break;
        }
        case ReadoutRule::Imx174:
            write16(fpga::kReadoutStart, 11);
            WriteFpgaRegister(fpga::kReadoutOffset, 0);
            WriteFpgaRegister(fpga::kReadoutOffset + 1, 0);
            WriteFpgaRegister(fpga::kStreamControl, 0);
            break;
        case ReadoutRule::Converter:
            write16(fpga::kReadoutStart, 20);
            write16(fpga::kReadoutOffset, 136);
            break;
        case ReadoutRule::RightAligned:
            write16(fpga::kReadoutStart, 11);
            write16(fpga::kReadoutOffset, mode == 1 ? 0 : info.maxWidth - x - w);
            break;
        case ReadoutRule::RightAligned252:
            write16(fpga::kReadoutStart, mode == 1 ? 11 : 12);
            write16(fpga::kReadoutOffset, mode == 1 ? 0 : info.maxWidth - x - w);
            break;
        case ReadoutRule::LeftAligned252:
            write16(fpga::kReadoutStart, mode == 1 ? 11 : 12);
            write16(fpga::kReadoutOffset, 0);
            break;
        case ReadoutRule::MailboxHead:
            writeBytes(20, 136);
            break;
        case ReadoutRule::Imx226: {
            const int32_t f = mode == 0 ? 1 : 0;
            const int32_t c = (f == 1 && mirrorH == 1) ? y + 41 : y + 26 * f + 14;
            write16(fpga::kReadoutStart, c);
            write16(fpga::kReadoutOffset, x + 32 * f + 32);
            break;
        }
        case ReadoutRule::Imx990:
            if (mode == 0) {
                write16(fpga::kReadoutStart, h == info.maxHeight ? 25 : 21);
                write16(fpga::kReadoutOffset, mirrorV ? 104 : 8);
            } else if (mode == 1) {
                write16(fpga::kReadoutStart, 23);
                write16(fpga::kReadoutOffset, mirrorV ? 52 : 4);
            } else {
                write16(fpga::kReadoutStart, 21);
                write16(fpga::kReadoutOffset, mirrorV ? 104 : 8);
            }
            break;
        case ReadoutRule::Li7050:
            writeBytes(39, 79);
            sensor_->SettingsStrobe();
            break;
        case ReadoutRule::Glux9701:
            write16(fpga::kReadoutStart, 10);
            write16(fpga::kReadoutOffset, 32);
            break;
        case ReadoutRule::Imx536:
            write16(fpga::kReadoutStart, mode != 0 ? 44 : 68);
            write16(fpga::kReadoutOffset, 0);
            break;
        case ReadoutRule::Imx273:
            if (mode != 0) {
                write16(fpga::kReadoutStart, mirrorH == 1 ? 11 : 15);
                write16(fpga::kReadoutOffset, 4);
            } else {
                const bool full = w == info.maxWidth && h == info.maxHeight;
                write16(fpga::kReadoutStart, full ? (mirrorH == 1 ? 11 : 19) : 11);
                write16(fpga::kReadoutOffset, w == info.maxWidth ? 8 : 0);
            }
            break;
    }
}

bool CVantixU3K9Base::ApplyModelDepth(int32_t mode, int32_t* result) {
    switch (Facts().depth) {
        case DepthControl::FpgaRegister:
        case DepthControl::FixedSixteenBits:
        case DepthControl::ModeByte:
            return false;
        case DepthControl::SensorThenFpga:
            if (sensor_) sensor_->SetBitDepth(mode);
            return false;
        case DepthControl::ConverterRegister:
            if (static_cast<uint32_t>(mode) > 2) {
                *result = Refuse("bit mode: the video converter's modes are 0, 1 and 2");
                return true;
            }
            if (controller_->WriteFpgaRegister(fpga::kConverterDepth, static_cast<uint8_t>(mode))) {
                bitMode_ = mode != 0;
                *result = AllocateFrameBuffers();
                return true;
            }
            return false;
        case DepthControl::WideRegister:
            if (controller_->WriteFpgaRegister(fpga::kWideBitDepth, mode == 1 ? 2 : 1)) {
                bitMode_ = mode != 0;
                *result = AllocateFrameBuffers();
                return true;
            }
            return false;
    }
    return false;
}

int32_t CVantixU3K9Base::ApplyTriggerRule(int32_t mode) {
    switch (Facts().trigger) {
        case TriggerRule::SensorOnly:
            sensor_->SetTriggerMode(mode);
            if (mode == 1) ReadFrameCounter();
            return mode;
        case TriggerRule::FpgaGateWithHeaderCount:
            WriteFpgaRegister(fpga::kTrigger, mode != 0);
            sensor_->SetTriggerMode(mode);
            if (mode != 0) {
                // Read one header to learn the frame counter, then wait for
                // triggered frames.
                lastFrameCounter_ = 0;
                if (StartCapture(kCaptureHeaderOnly)) {
                    Sleep(kTriggerSettleMs);
                    if (stopEvent_.Wait(kHeaderCaptureWaitMs) == WaitResult::Signalled) {
                        Sleep(kTriggerSettleMs);
                        StartCapture(kCaptureOnCounterChange);
                    }
                }
            }
            return mode;
        case TriggerRule::ArmRegister:
            sensor_->SetTriggerMode(1);
            WriteFpgaRegister(fpga::kTriggerArm, 0);
            if (mode != 0) {
                WriteFpgaRegister(fpga::kTriggerArm, 1);
            } else {
                sensor_->SetTriggerMode(0);
            }
            return mode;
        case TriggerRule::FpgaMaskOnly:
            WriteFpgaRegister(fpga::kTrigger, mode & kTriggerModeMask);
            return mode & kTriggerModeMask;
        case TriggerRule::WaitForTriggeredFrame:
            if (mode == 0) {
                sensor_->SetTriggerMode(0);
            } else if (mode == 1) {
                const int32_t started = StartCapture(kCaptureOnCounterChange);
                sensor_->SetTriggerMode(1);
                if (started && WaitFrame(kTriggeredFrameWaitMs) == kWaitNewFrame) ReadFrameCounter();
            }
            return mode;
    }
    return mode;
}

// ---- Option switch (slots 124-126) ----

int32_t CVantixU3K9Base::IsOptionSwitchSupported() {
    switch (Facts().optionSwitch) {
        case OptionSwitch::NotFitted:
            return 0;
        case OptionSwitch::FpgaLevel:
        case OptionSwitch::ReadoutModeMemory:
            return 1;
        case OptionSwitch::FpgaBit:
            return sensor_ && (sensor_->FirmwareVersion() & kOptionSwitchFirmwareBit) ? 1 : 0;
    }
    return 0;
}

int32_t CVantixU3K9Base::GetOptionSwitch() {
    if (!IsOptionSwitchSupported() || !sensor_) return 0;
    int32_t ok = 0;
    switch (Facts().optionSwitch) {
        case OptionSwitch::NotFitted:
            return 0;
        case OptionSwitch::FpgaLevel:
            return ReadFpgaRegister(fpga::kOptionSwitch, &ok) == kOptionLevelOn;
        case OptionSwitch::ReadoutModeMemory: {
            int32_t c = 0;
            sensor_->GetReadoutMode(&c);
            if (c <= 0 || c > kReadoutModeMax) return 0;
            // Remember the last real readout mode so "on" can restore it.
            uint8_t stored = 0;
            ReadUserSrom(kStoredReadoutModeOffset, &stored);
            if (stored == 0 || stored > kReadoutModeMax) WriteUserSrom(kStoredReadoutModeOffset, c);
            return 1;
        }
        case OptionSwitch::FpgaBit:
            return ReadFpgaRegister(fpga::kOptionBits, &ok) & 1;
    }
    return 0;
}

int32_t CVantixU3K9Base::SetOptionSwitch(int32_t on) {
    if (!IsOptionSwitchSupported()) return 0;
    const bool wanted = on != 0;
    if ((GetOptionSwitch() != 0) == wanted) return 1;
    int32_t ok = 0;
    switch (Facts().optionSwitch) {
        case OptionSwitch::NotFitted:
            return 0;
        case OptionSwitch::FpgaLevel:
            return WriteFpgaRegister(fpga::kOptionSwitch, wanted ? kOptionLevelOn : kOptionLevelOff);
        case OptionSwitch::ReadoutModeMemory: {
            if (!sensor_) return 0;
            if (!wanted) return sensor_->SetReadoutMode(0);
            uint8_t mode = 0;
            if (!ReadUserSrom(kStoredReadoutModeOffset, &mode)) return 0;
            return sensor_->SetReadoutMode(mode);
        }
        case OptionSwitch::FpgaBit: {
            const int32_t bits = ReadFpgaRegister(fpga::kOptionBits, &ok);
            return WriteFpgaRegister(fpga::kOptionBits, wanted ? (bits | 1) : (bits & ~1));
        }
    }
    return 0;
}

}  // namespace vantix
