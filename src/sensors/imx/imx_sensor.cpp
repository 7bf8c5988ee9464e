// CImxSensor: the register primitives, the Initialize skeleton and the
// frame-length / shutter / gain / mirror / window pattern the IMX family
// members share.
#include "sensors/imx/imx_sensor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/clock.h"
#include "platform/debug_output.h"

namespace vantix {
namespace {

using imx::ByteRegisters;
using imx::Transfers;

constexpr uint8_t kFpgaBusyWord = 2;
constexpr uint8_t kFpgaVerticalDrive = 129;  // bit 1: the sensor's vertical drive runs
constexpr uint8_t kVerticalDriveReady = 0x02;
constexpr uint32_t kVerticalDrivePulseMs = 100;
constexpr uint32_t kVerticalDriveWaitMs = 5000;
constexpr uint32_t kVerticalDrivePollMs = 100;
constexpr uint8_t kStatusDevice = 0x5E;
constexpr int kStatusReads = 20;
constexpr uint32_t kStatusTimeoutMs = 100;
// The slower-booting head: its status device is asked up to 300 times, 10 ms
// apart; then the FPGA's power-up bits in the busy word must clear (300
// reads, 10 ms apart) before the host tells it the sensor is set up.
constexpr int kSlowStatusReads = 300;
constexpr uint32_t kSlowStatusPauseMs = 10;
constexpr uint8_t kFpgaPowerUpBits = 0x90;
constexpr int kPowerUpPolls = 300;
constexpr uint32_t kPowerUpPollMs = 10;
constexpr uint8_t kFpgaSensorSetUp = 96;
// Hand-over heads: FPGA register 159 = 1 gives the sensor bus to the host,
// 0 returns it to the FPGA. Within the hand-over each transfer is tried up to
// 100 times, 3 ms apart, while the busy word reads 0.
constexpr uint8_t kFpgaBusHandOver = 159;
constexpr int kHandOverAttempts = 100;
constexpr uint32_t kHandOverRetryMs = 3;
// Frame lengths a frame-rate request can program.
constexpr double kFrameRateLinesMax = 65535.0;
constexpr uint16_t kChipIdLow = 0x348;
constexpr uint16_t kChipIdHigh = 0x349;
// Bus-idle wait of the members without checked transfers: bit 7 of the
// busy word, polled every 2 ms for up to 200 ms.
constexpr uint8_t kBusIdleBit = 0x80;
constexpr int kBusIdlePolls = 100;
constexpr uint32_t kBusIdlePollMs = 2;
constexpr uint32_t kPacedWriteMs = 1;

bool UsesCheckedTransfers(Transfers transfers) {
    return transfers == Transfers::Checked || transfers == Transfers::HandOver;
}

int32_t PutWord(int32_t* out, int32_t value) {
    if (out) *out = value;
    return 1;
}

}  // namespace

CImxSensor::CImxSensor(CControllerBase* controller, uint8_t deviceAddress, const imx::ImxConstants& k)
    : CSensorBase(controller, deviceAddress),
      k_(k),
      targetFrameLines_(k.initialFrameLines),
      writtenFrameLines_(k.initialFrameLines),
      targetLineLength_(k.initialLineLength),
      writtenLineLength_(k.initialLineLength) {
    info_.maxWidth = k.maxWidth;
    info_.maxHeight = k.maxHeight;
    info_.defaultWidth = k.maxWidth;
    info_.defaultHeight = k.maxHeight;
    info_.areaWidth = k.maxWidth;
    info_.areaHeight = k.maxHeight;
    info_.totalWidth = k.totalWidth;
    info_.totalHeight = k.totalHeight;
    info_.capability1 = 1;
    info_.capability2 = 1;
    info_.specific16 = 1;
    info_.gain = {0, k.gainMax, k.gainDefault, k.gainDefault, 1};
    info_.exposureLines = {k.linesMin, k.linesMax, k.linesDefault, k.linesDefault, 1};
    info_.exposureTime = {k.timeMin, k.timeMax, k.timeDefault, k.timeDefault, 1};
    info_.exposureSecondsSupported = k.secondsSupported;
    info_.exposureSecondsMin = k.secondsMin;
    info_.exposureSecondsMax = k.secondsMax;
    info_.exposureSeconds = k.secondsDefault;
    info_.exposureSecondsDefault = k.secondsDefault;
    info_.blackLevel = {0, k.blackLevelMax, k.blackLevelDefault, k.blackLevelDefault, k.blackLevelSupported};
    const int32_t mirrors = k.mirrorRegister != 0 ? 1 : 0;
    info_.mirrorHSupported = mirrors;
    info_.mirrorVSupported = mirrors;
    info_.bitDepth = 8;
    info_.pixelClockKHz = k.pixelClockKHz;
    info_.specific84 = k.word84;
    modelVariant_ = k.variant;
}

CImxSensor::~CImxSensor() = default;

int32_t CImxSensor::ChipFromRegisters(uint32_t reg348, uint32_t reg349) {
    return static_cast<int32_t>(((reg349 << 2) & 0x1FF) | ((reg348 >> 6) & 3));
}

// ---- Register primitives ----

void CImxSensor::AwaitBusIdle() {
    for (int poll = 0; poll < kBusIdlePolls; ++poll) {
        uint8_t busy = kBusIdleBit;
        if (controller_->ReadFpgaRegister(kFpgaBusyWord, &busy) && (busy & kBusIdleBit) == 0) return;
        Sleep(kBusIdlePollMs);
    }
    DebugPrintf(DebugCategory::Sensor, "sensor: the FPGA kept the sensor bus busy for 200 ms");
}

int32_t CImxSensor::WriteBusPaced(uint32_t address, uint32_t value) {
    if (k_.transfers == Transfers::PacedPlain) Sleep(kPacedWriteMs);
    const int32_t written = BusWriteRegister8(address, value);
    if (k_.transfers == Transfers::IdleWait || k_.transfers == Transfers::IdleWaitShadow) {
        if (controller_) AwaitBusIdle();
        if (written) shadow_[address & 0xFF] = static_cast<uint8_t>(value);
    }
    return written;
}

int32_t CImxSensor::WriteRegister(uint32_t address, uint32_t value) {
    if (address > 0xFFFF || value > 0xFF) {
        DebugPrintf(DebugCategory::Sensor, "sensor: register 0x%x = 0x%x refused: 16-bit addresses, 8-bit values",
                    address, value);
        return 0;
    }
    return WriteBusPaced(address, value);
}

int32_t CImxSensor::ReadRegister(uint32_t address, uint32_t* value) {
    if (address > 0xFFFF) return 0;
    if (k_.transfers == Transfers::IdleWaitShadow) {
        if (!controller_) return 0;
        if (value) *value = shadow_[address & 0xFF];
        return 1;
    }
    return BusReadRegister8(address, value);
}

int32_t CImxSensor::HandOverTransfer(uint32_t address, uint32_t* value, bool write) {
    if (!controller_) return 0;
    controller_->WriteFpgaRegister(kFpgaBusHandOver, 1);
    int32_t done = 0;
    for (int attempt = 0; attempt < kHandOverAttempts && !done; ++attempt) {
        uint8_t busy = 1;
        if (controller_->ReadFpgaRegister(kFpgaBusyWord, &busy) && busy == 0) {
            done = write ? WriteRegister(address, *value) : ReadRegister(address, value);
        }
        if (!done) Sleep(kHandOverRetryMs);
    }
    // The bus goes back to the FPGA whatever happened, or streaming stops.
    controller_->WriteFpgaRegister(kFpgaBusHandOver, 0);
    if (!done) {
        DebugPrintf(DebugCategory::Sensor, "sensor: %s of register 0x%x failed %d times with the bus handed over",
                    write ? "write" : "read", address, kHandOverAttempts);
    }
    return done;
}

int32_t CImxSensor::WriteRegisterChecked(uint32_t address, uint32_t value) {
    if (k_.transfers == Transfers::HandOver) return HandOverTransfer(address, &value, true);
    if (k_.transfers != Transfers::Checked) return CSensorBase::WriteRegisterChecked(address, value);
    return WriteRegisterCheckedVia(address, value);
}

int32_t CImxSensor::ReadRegisterChecked(uint32_t address, uint32_t* value) {
    if (k_.transfers == Transfers::HandOver) {
        uint32_t read = 0;
        if (!HandOverTransfer(address, &read, false)) return 0;
        if (value) *value = read;
        return 1;
    }
    if (k_.transfers != Transfers::Checked) return CSensorBase::ReadRegisterChecked(address, value);
    return ReadRegisterCheckedVia(address, value);
}

int32_t CImxSensor::Put(uint32_t address, uint32_t value) {
    return UsesCheckedTransfers(k_.transfers) ? WriteRegisterChecked(address, value) : WriteRegister(address, value);
}

int32_t CImxSensor::Get(uint32_t address, uint32_t* value) {
    return UsesCheckedTransfers(k_.transfers) ? ReadRegisterChecked(address, value) : ReadRegister(address, value);
}

bool CImxSensor::PutBytes(const ByteRegisters& r, uint32_t value, bool highFirst) {
    bool all = true;
    for (uint8_t n = 0; n < r.count; ++n) {
        const uint8_t i = highFirst ? static_cast<uint8_t>(r.count - 1 - n) : n;
        uint32_t byte = (value >> (8 * i)) & 0xFF;
        if (i + 1 == r.count) byte &= r.topMask;
        all = Put(r.address + i, byte) && all;
    }
    return all;
}

bool CImxSensor::WriteFrameLength(int32_t lines) {
    const bool written = PutBytes(k_.frameLength, static_cast<uint32_t>(lines));
    writtenFrameLines_ = lines;
    info_.totalHeight = lines;
    return written;
}

bool CImxSensor::WriteLineLength(int32_t length) {
    const bool written = PutBytes(k_.lineLength, static_cast<uint32_t>(length));
    writtenLineLength_ = length;
    return written;
}

// ---- Initialize ----

bool CImxSensor::AwaitReadiness() {
    if (k_.readiness == imx::Readiness::None) return true;
    if (!controller_) return false;
    const bool slow = k_.readiness == imx::Readiness::StatusDeviceThenFpga;
    const int reads = slow ? kSlowStatusReads : kStatusReads;
    bool ready = false;
    for (int attempt = 0; attempt < reads && !ready; ++attempt) {
        uint8_t status[2] = {0xFF, 0xFF};
        ready = controller_->BusRead(kStatusDevice, status, sizeof status, kStatusTimeoutMs) && status[0] == 0 &&
                status[1] == 0;
        if (!ready && slow) Sleep(kSlowStatusPauseMs);
    }
    if (!ready) {
        DebugPrintf(DebugCategory::Sensor, "sensor: the head's status device never reported ready");
        return false;
    }
    if (!slow) return true;
    for (int poll = 0; poll < kPowerUpPolls; ++poll) {
        uint8_t busy = kFpgaPowerUpBits;
        if (controller_->ReadFpgaRegister(kFpgaBusyWord, &busy) && (busy & kFpgaPowerUpBits) == 0) {
            controller_->WriteFpgaRegister(kFpgaSensorSetUp, 1);
            return true;
        }
        Sleep(kPowerUpPollMs);
    }
    DebugPrintf(DebugCategory::Sensor, "sensor: the FPGA never finished powering the sensor up");
    return false;
}

void CImxSensor::WritePowerOn() {
    for (const imx::RegisterValue& entry : k_.powerOn) Put(entry.address, entry.value);
}

void CImxSensor::IdentifyChip() {
    uint32_t low = 0;
    uint32_t high = 0;
    if (!Get(kChipIdLow, &low) || !Get(kChipIdHigh, &high)) return;
    modelVariant_ = VariantForChip(ChipFromRegisters(low, high));
}

void CImxSensor::DefaultWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height) const {
    *x = info_.defaultX;
    *width = info_.defaultWidth;
    *y = info_.defaultY;
    *height = info_.defaultHeight;
}

void CImxSensor::ApplyDefaults() {
    SetGain(info_.gain.defaultValue);
    SetExposureLines(info_.exposureLines.defaultValue);
    SetMirrorV(info_.mirrorVDefault);
    SetMirrorH(info_.mirrorHDefault);
    int32_t x = 0, width = 0, y = 0, height = 0;
    DefaultWindow(&x, &width, &y, &height);
    SetArea(x, width, y, height, 0);
}

void CImxSensor::ApplyDefaultsInSeconds() {
    SetGain(info_.gain.defaultValue);
    SetExposureSeconds(info_.exposureSecondsDefault);
    SetMirrorV(info_.mirrorVDefault);
    SetMirrorH(info_.mirrorHDefault);
    int32_t x = 0, width = 0, y = 0, height = 0;
    DefaultWindow(&x, &width, &y, &height);
    SetArea(x, width, y, height, 0);
}

void CImxSensor::AwaitVerticalDrive() {
    if (!controller_) return;
    uint8_t state = 0;
    if (controller_->ReadFpgaRegister(kFpgaVerticalDrive, &state) && (state & kVerticalDriveReady)) return;
    // Restart the vertical drive and wait for it to run.
    controller_->WriteFpgaRegister(kFpgaVerticalDrive, 1);
    Sleep(kVerticalDrivePulseMs);
    controller_->WriteFpgaRegister(kFpgaVerticalDrive, 0);
    Sleep(kVerticalDrivePulseMs);
    for (uint32_t waited = 0; waited < kVerticalDriveWaitMs; waited += kVerticalDrivePollMs) {
        if (controller_->ReadFpgaRegister(kFpgaVerticalDrive, &state) && (state & kVerticalDriveReady)) {
            DebugPrintf(DebugCategory::Sensor, "::SerReset:: VD is ready.");
            return;
        }
        Sleep(kVerticalDrivePollMs);
    }
    DebugPrintf(DebugCategory::Sensor, "::SerReset:: failure.");
}

int32_t CImxSensor::Initialize() {
    if (!AwaitReadiness()) return 0;
    WritePowerOn();
    if (k_.identifiesChip) IdentifyChip();
    ApplyDefaults();
    if (AwaitsVerticalDrive()) AwaitVerticalDrive();
    return 1;
}

// ---- Window ----

bool CImxSensor::WindowIsValid(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) const {
    const char* reason = nullptr;
    const bool binned = mode == 1 || mode == 17;
    if (mode != 0 && !(binned && k_.binnedFrameLines != 0)) {
        reason = "the area modes are 0 and, on binning heads, 1 and 17";
    } else if (x < 0 || y < 0 || width <= 0 || height <= 0) {
        reason = "negative origin or empty size";
    } else if (int64_t{x} + width > k_.maxWidth || int64_t{y} + height > k_.maxHeight) {
        reason = "outside the pixel array";
    } else if (x % k_.alignX != 0 || width % k_.alignX != 0) {
        reason = "x and width off the column grid";
    } else if (binned && (x > 0 || y > 0)) {
        reason = "binned readouts start at the origin";
    } else if (y % (binned ? k_.binnedAlignY : k_.alignY) != 0 || height % (binned ? k_.binnedAlignY : k_.alignY) != 0) {
        reason = "y and height off the row grid";
    } else if (!binned && width < (info_.bitDepth == 16 ? k_.minWidth16 : k_.minWidth8)) {
        reason = "narrower than the smallest window at this bit depth";
    } else if (!binned && height < k_.minHeight) {
        reason = "lower than the smallest window";
    }
    if (reason == nullptr) return true;
    DebugPrintf(DebugCategory::Sensor, "sensor: window %d, %d, %d x %d in area mode %d refused: %s", x, y, width,
                height, mode, reason);
    return false;
}

int32_t CImxSensor::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (!WindowIsValid(x, width, y, height, mode)) return 0;
    const bool binned = mode != 0;
    const bool fullWidth = width == k_.maxWidth;
    const bool fullHeight = height == k_.maxHeight;
    // A sensor that reads its whole array for the FPGA's window keeps its
    // full frame length whatever the window.
    const bool wholeArray = (fullWidth && fullHeight) || k_.windowCut == imx::WindowCut::FpgaOnly;
    targetFrameLines_ = wholeArray ? k_.fullFrameLines : height + k_.verticalBlank;
    targetLineLength_ = k_.windowLineLength;
    bool written = true;
    if (k_.windowCut == imx::WindowCut::Sensor) {
        // The window is counted from the far edge of the array.
        int32_t hStart = (k_.windowFromOrigin ? x : k_.maxWidth - x - width) + k_.hStartOffset;
        int32_t vStart = (k_.windowFromOrigin ? y : k_.maxHeight - y - height) + k_.vStartOffset;
        int32_t windowMode = (fullWidth ? 0 : 1) | (fullHeight ? 0 : 2);
        int32_t sensorWidth = width;
        int32_t sensorHeight = height;
        uint8_t readout = k_.readoutCodes[0];
        if (binned) {
            targetFrameLines_ = k_.binnedFrameLines;
            targetLineLength_ = k_.binnedLineLength;
            hStart = k_.binnedHStart;
            vStart = k_.binnedVStart;
            sensorWidth = k_.maxWidth;
            sensorHeight = k_.maxHeight;
            windowMode = 0;
            readout = k_.readoutCodes[mode == 1 ? 1 : 2];
        }
        const imx::WindowRegisters& w = k_.window;
        written = Put(w.windowMode, static_cast<uint32_t>(windowMode)) && written;
        written = Put(w.readoutMode, readout) && written;
        written = PutBytes(w.hStart, static_cast<uint32_t>(hStart)) && written;
        written = PutBytes(w.vStart, static_cast<uint32_t>(vStart)) && written;
        written = PutBytes(w.width, static_cast<uint32_t>(sensorWidth)) && written;
        written = PutBytes(w.height, static_cast<uint32_t>(sensorHeight)) && written;
    }
    const int32_t divisor = binned ? 2 : 1;
    info_.areaX = x;
    info_.areaY = y;
    info_.areaWidth = width / divisor;
    info_.areaHeight = height / divisor;
    info_.areaMode = mode;
    if (k_.exposureLaw != imx::ExposureLaw::DirectLines) {
        written = WriteFrameLength(targetFrameLines_) && written;
        written = WriteLineLength(targetLineLength_) && written;
        // The shutter start counts from the frame end: the same exposure in
        // the new frame length needs it programmed again.
        SetExposureLines(info_.exposureLines.current);
    }
    return written ? 1 : 0;
}

// ---- Exposure ----

int32_t CImxSensor::SetExposureLines(int32_t lines) {
    int32_t n = std::max(lines, info_.exposureLines.min);
    n = std::min(n, info_.exposureLines.max);
    bool shutterWritten = true;
    switch (k_.exposureLaw) {
        case imx::ExposureLaw::DirectLines:
            shutterWritten = PutBytes(k_.shutter, static_cast<uint32_t>(n));
            break;
        case imx::ExposureLaw::FixedFrame:
            n = std::min(n, targetFrameLines_ - k_.shutterMargin);
            shutterWritten = PutBytes(k_.shutter, static_cast<uint32_t>(targetFrameLines_ - n));
            break;
        case imx::ExposureLaw::FrameMinusShutter: {
            const int32_t frame = targetFrameLines_;
            if (n > frame - k_.shutterMargin) {
                // A long exposure stretches the frame; the shutter opens at the margin.
                WriteFrameLength(n + k_.shutterMargin);
                shutterWritten = PutBytes(k_.shutter, static_cast<uint32_t>(k_.shutterMargin));
            } else {
                if (writtenFrameLines_ != frame) WriteFrameLength(frame);
                shutterWritten = PutBytes(k_.shutter, static_cast<uint32_t>(frame - n));
            }
            break;
        }
    }
    if (!shutterWritten) return 0;
    info_.exposureLines.current = n;
    return 1;
}

int32_t CImxSensor::SetExposureMicroseconds(uint64_t microseconds) {
    const double clocks = info_.areaMode != 0 ? k_.binnedLineClocks : k_.lineClocks;
    const double lineTime = info_.pixelClockKHz > 0 ? clocks * 1000.0 / info_.pixelClockKHz : 0.0;
    if (!(lineTime > 0.0)) {
        DebugPrintf(DebugCategory::Sensor, "sensor: exposure refused: no line time");
        return 0;
    }
    const double exact = std::trunc((static_cast<double>(microseconds) - k_.exposureOffsetUs) / lineTime);
    const double bounded = std::clamp(exact, 1.0, static_cast<double>(info_.exposureLines.max));
    return SetExposureLines(static_cast<int32_t>(bounded));
}

int32_t CImxSensor::SetExposureSeconds(double seconds) {
    if (!info_.exposureSecondsSupported) return CSensorBase::SetExposureSeconds(seconds);
    return SetExposureSecondsThroughMicroseconds(seconds);
}

int32_t CImxSensor::FrameRateRequest(int32_t op, const void* buffer) {
    if (op != 0 || buffer == nullptr) return 0;
    int32_t rate = 0;
    std::memcpy(&rate, buffer, sizeof rate);
    if (rate <= 0) {
        DebugPrintf(DebugCategory::Sensor, "sensor: frame rate %d refused: it must be positive", rate);
        return 0;
    }
    return rate;
}

int32_t CImxSensor::ApplyFrameRateLines(double lines, int32_t minimumBlank) {
    const double shortest = static_cast<double>(info_.areaHeight) + minimumBlank;
    const double bounded = std::min(std::max(std::trunc(lines), shortest), kFrameRateLinesMax);
    targetFrameLines_ = static_cast<int32_t>(bounded);
    info_.totalHeight = targetFrameLines_;
    const bool written = WriteFrameLength(targetFrameLines_);
    // The shutter start counts from the frame end: the current exposure
    // (in lines, which the line time keeps meaning the same time) is
    // programmed again against the new frame length.
    const int32_t exposed = SetExposureLines(info_.exposureLines.current);
    return (written && exposed) ? 1 : 0;
}

// ---- Gain and black level ----

int32_t CImxSensor::SetGain(int32_t gain) {
    const int32_t g = std::clamp(gain, 0, info_.gain.max);
    bool written = true;
    for (uint8_t i = 0; i < k_.gainRegisters; ++i) {
        const imx::GainRegister& r = k_.gain[i];
        written = Put(r.address, (static_cast<uint32_t>(g) >> r.shift) & r.mask) && written;
        if (i == 0 && k_.gainPauseMs) Sleep(k_.gainPauseMs);
    }
    if (!written) return 0;
    info_.gain.current = g;
    return 1;
}

int32_t CImxSensor::SetBlackLevel(int32_t value) {
    if (k_.blackLevel.count == 0) return CSensorBase::SetBlackLevel(value);
    if (value < info_.blackLevel.min || value > info_.blackLevel.max) {
        DebugPrintf(DebugCategory::Sensor, "sensor: black level %d refused: the range is %d to %d", value,
                    info_.blackLevel.min, info_.blackLevel.max);
        return 0;
    }
    // Black level is a plain write on every member: it needs no read-back.
    bool written = true;
    for (uint8_t i = 0; i < k_.blackLevel.count; ++i) {
        uint32_t byte = (static_cast<uint32_t>(value) >> (8 * i)) & 0xFF;
        if (i + 1 == k_.blackLevel.count) byte &= k_.blackLevel.topMask;
        written = WriteRegister(k_.blackLevel.address + i, byte) && written;
    }
    if (!written) return 0;
    info_.blackLevel.current = value;
    return 1;
}

int32_t CImxSensor::GetBlackLevel(int32_t* value) {
    if (k_.blackLevel.count == 2) {
        uint32_t low = 0;
        uint32_t high = 0;
        if (ReadRegister(k_.blackLevel.address, &low) && ReadRegister(k_.blackLevel.address + 1u, &high)) {
            info_.blackLevel.current = static_cast<int32_t>(((high << 8) & 0xFFF) | low);
        }
    }
    return CSensorBase::GetBlackLevel(value);
}

// ---- Mirrors ----

bool CImxSensor::SetMirrorBit(uint8_t bit, int32_t on) {
    if (k_.mirrorFromFlags) {
        const bool h = bit == k_.mirrorHBit ? on != 0 : info_.mirrorH != 0;
        const bool v = bit == k_.mirrorVBit ? on != 0 : info_.mirrorV != 0;
        return Put(k_.mirrorRegister, (h ? k_.mirrorHBit : 0u) | (v ? k_.mirrorVBit : 0u)) != 0;
    }
    uint32_t control = 0;
    if (!Get(k_.mirrorRegister, &control)) return false;
    control = on ? (control | bit) : (control & ~uint32_t{bit});
    Put(k_.mirrorRegister, control & 0xFF);
    return true;
}

int32_t CImxSensor::SetMirrorH(int32_t on) {
    if (k_.mirrorRegister == 0) return CSensorBase::SetMirrorH(on);
    if (!SetMirrorBit(k_.mirrorHBit, on)) return 0;
    info_.mirrorH = on ? 1 : 0;
    AfterMirrorH();
    return 1;
}

int32_t CImxSensor::SetMirrorV(int32_t on) {
    if (k_.mirrorRegister == 0) return CSensorBase::SetMirrorV(on);
    if (!SetMirrorBit(k_.mirrorVBit, on)) return 0;
    info_.mirrorV = on ? 1 : 0;
    AfterMirrorV();
    return 1;
}

int32_t CImxSensor::GetMirrorH(int32_t* on) {
    if (k_.mirrorRegister == 0) return CSensorBase::GetMirrorH(on);
    return PutWord(on, info_.mirrorH);
}

// Every member reports its vertical mirror state, so the engine never
// discards a value the sensor holds.
int32_t CImxSensor::GetMirrorV(int32_t* on) {
    if (k_.mirrorRegister == 0) return CSensorBase::GetMirrorV(on);
    return PutWord(on, info_.mirrorV);
}

}  // namespace vantix
