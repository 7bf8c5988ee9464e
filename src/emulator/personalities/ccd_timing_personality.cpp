#include "emulator/personalities/ccd_timing_personality.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace vantix::emulator {
namespace {

constexpr uint16_t kBank1 = 0x8000;
constexpr uint16_t kRegisterMask = 0x7FFF;
// Program layout of the timing generator.
constexpr uint16_t kResetWord = 0x25;  // in bank 1: opens a program
constexpr uint16_t kControlWord = 0x00;
constexpr uint32_t kClocksStopped = 3;
constexpr uint16_t kEdgeTable = 0x400;
constexpr uint32_t kEdgeEntries = 0xC0;
constexpr uint16_t kFrontEnd = 0x40;
constexpr uint32_t kFrontEndWords = 16;
constexpr uint16_t kSequenceSelect = 0x11;
constexpr uint16_t kRunRegister = 0x13;
constexpr uint32_t kRunWord = 0x3038063;
constexpr uint8_t kClockEnables[] = {33, 32, 34, 35, 31, 36, 37, 224};
constexpr size_t kTimingClock = 1;  // enables needed before the edge tables: 33
// Exposure and gain.
constexpr uint16_t kExposureLines = 0x8003;
constexpr uint16_t kGain = 0x0005;
constexpr uint8_t kShutterLow = 0xE2;
constexpr uint8_t kShutterHigh = 0xE3;
constexpr uint8_t kFpgaGainLow = 0xA0;
constexpr uint8_t kFpgaGainHigh = 0xA1;
// The front end doubles its gain every 256 codes.
constexpr double kCodesPerDoubling = 256.0;

bool IsEnable(uint8_t reg) { return std::find(std::begin(kClockEnables), std::end(kClockEnables), reg) != std::end(kClockEnables); }

}  // namespace

CcdTimingHead::CcdTimingHead(const VirtualModel& model)
    : HeadPersonality(model),
      programLoaded_(model.head != EmulatedHead::CcdResidentProgram),
      fpgaGain_(model.head == EmulatedHead::CcdLoadedFpgaGain) {}

void CcdTimingHead::StartProgram() {
    preambles_ = 0;
    edgeNext_ = {};
    frontEndNext_ = {};
    sequence_ = {};
    runWordBank1_ = 0;
    enables_ = 0;
    broken_ = false;
    started_ = false;
    clocksStopped_ = false;
}

void CcdTimingHead::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    HeadPersonality::WriteFpgaRegister(reg, value);
    if (!programLoaded_ || !IsEnable(reg)) return;
    if (value == 0) {
        clocksStopped_ = true;
        return;
    }
    if (enables_ < std::size(kClockEnables) && kClockEnables[enables_] == reg) {
        ++enables_;
    } else {
        Break();
    }
}

void CcdTimingHead::WriteCameraRegister(uint16_t key, uint32_t value) {
    HeadPersonality::WriteCameraRegister(key, value);
    const int bank = (key & kBank1) ? 1 : 0;
    const uint16_t reg = key & kRegisterMask;
    if (reg == kGain && bank == 0) gainRegister_ = value;
    if (key == kExposureLines) exposureLines_ = value;
    if (reg == kControlWord) clocksStopped_ = value == kClocksStopped;
    if (!programLoaded_) return;

    if (key == (kBank1 | kResetWord)) {
        // The reset words come twice per program; a third time, or after the
        // edge tables began, opens a new program.
        if (preambles_ >= 2 || edgeNext_[0] != 0 || edgeNext_[1] != 0 || started_) StartProgram();
        ++preambles_;
        return;
    }
    if (reg >= kEdgeTable && reg < kEdgeTable + kEdgeEntries) {
        if (preambles_ != 2 || enables_ < kTimingClock || uint32_t{reg} - kEdgeTable != edgeNext_[bank]) {
            Break();
            return;
        }
        ++edgeNext_[bank];
        return;
    }
    if (reg >= kFrontEnd && reg < kFrontEnd + kFrontEndWords) {
        const bool edgesDone = edgeNext_[0] == kEdgeEntries && edgeNext_[1] == kEdgeEntries;
        if (!edgesDone || uint32_t{reg} - kFrontEnd != frontEndNext_[bank]) {
            Break();
            return;
        }
        ++frontEndNext_[bank];
        return;
    }
    if (reg == kSequenceSelect) sequence_[bank] = value;
    if (reg == kRunRegister && bank == 1) runWordBank1_ = value;
    if (reg == kRunRegister && bank == 0 && value == kRunWord) {
        const bool complete = frontEndNext_[0] == kFrontEndWords && frontEndNext_[1] == kFrontEndWords &&
                              sequence_[0] == 1 && sequence_[1] == 1 && runWordBank1_ == kRunWord;
        if (complete) {
            started_ = true;
        } else {
            Break();
        }
    }
}

bool CcdTimingHead::Running() const {
    if (clocksStopped_) return false;
    if (!programLoaded_) return true;
    return started_ && !broken_ && enables_ == std::size(kClockEnables);
}

FrameGeometry CcdTimingHead::Geometry(uint8_t modeByte) const {
    FrameGeometry g = HeadPersonality::Geometry(modeByte);
    // Every line of the array is read out; the FPGA keeps the window's width.
    g.height = Running() ? model_.height : 0;
    if (!Running()) g.width = 0;
    return g;
}

double CcdTimingHead::ExposureFraction() const {
    const double reference = model_.exposureReference;
    if (reference <= 1) return 1.0;
    if (!programLoaded_) return std::min<double>(exposureLines_, reference) / reference;
    // The shutter ends the discharge at line n; the charge gathers until the
    // frame's last line.
    const uint32_t shutterLine = fpga_[kShutterLow] | fpga_[kShutterHigh] << 8;
    const double lines = shutterLine >= reference ? 0.0 : reference - shutterLine;
    return lines / (reference - 1);
}

uint32_t CcdTimingHead::GainCode() const {
    if (fpgaGain_) return static_cast<uint32_t>(fpga_[kFpgaGainLow] | fpga_[kFpgaGainHigh] << 8) >> 6;
    return gainRegister_ & 0x3FF;
}

double CcdTimingHead::Brightness() const {
    return ExposureFraction() * std::exp2(GainCode() / kCodesPerDoubling);
}

}  // namespace vantix::emulator
