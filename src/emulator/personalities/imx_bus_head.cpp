#include "emulator/personalities/imx_bus_head.h"

namespace vantix::emulator {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kStatusDevice = 0x5E;
constexpr uint8_t kFpgaBusyWord = 2;
constexpr uint8_t kBusyAfterTransfer = 0x80;
constexpr uint8_t kPoweringUp = 0x90;
constexpr uint8_t kFpgaVerticalDrive = 129;
constexpr uint8_t kVerticalDriveReady = 0x02;
constexpr uint8_t kFpgaCooler = 151;
// A real head's busy word clears within a fraction of a millisecond; the
// slower head powers its sensor up in tens of milliseconds.
constexpr auto kDefaultBusyTime = std::chrono::microseconds(300);
constexpr auto kDefaultPowerUpTime = std::chrono::milliseconds(30);

bool IsSwir(uint16_t modelId) { return modelId >= 0x3260 && modelId <= 0x3290; }
bool BootsSlowly(uint16_t modelId) { return modelId == 0x31C0 || modelId == 0x31C4; }

}  // namespace

ImxBusHead::ImxBusHead(const VirtualModel& model)
    : HeadPersonality(model),
      needsHandOver_(IsSwir(model.modelId)),
      slowPowerUp_(BootsSlowly(model.modelId)),
      busyTime_(kDefaultBusyTime),
      powerUpTime_(slowPowerUp_ ? kDefaultPowerUpTime : std::chrono::milliseconds(0)) {}

ImxPersonality* ImxBusHead::Imx() { return dynamic_cast<ImxPersonality*>(&Sensor()); }
const ImxPersonality* ImxBusHead::Imx() const { return dynamic_cast<const ImxPersonality*>(&Sensor()); }

FrameGeometry ImxBusHead::Geometry(uint8_t modeByte) const {
    FrameGeometry g = HeadPersonality::Geometry(modeByte);
    if (const ImxPersonality* sensor = Imx()) {
        const ImxArrayView view = sensor->ArrayView(model_.width);
        g.arrayWidth = model_.width;
        g.originX = view.originX;
        g.columnStep = view.columnStep;
        g.mirrored = view.mirrored;
    }
    return g;
}

bool ImxBusHead::SensorTransferAllowed(uint8_t address) const {
    return address != model_.sensorAddress || HostOwnsSensorBus();
}

void ImxBusHead::MarkBusy() { busyUntil_ = Clock::now() + busyTime_; }

bool ImxBusHead::BusWrite(uint8_t address, const uint8_t* data, size_t count) {
    if (address == kStatusDevice) return true;
    if (!SensorTransferAllowed(address)) return false;
    const bool acknowledged = HeadPersonality::BusWrite(address, data, count);
    if (address == model_.sensorAddress) MarkBusy();
    return acknowledged;
}

bool ImxBusHead::BusRead(uint8_t address, uint8_t* data, size_t count) {
    if (address == kStatusDevice) {
        const bool ready = statusReadsLeft_ == 0;
        if (!ready && statusReadsLeft_ != kNeverReady) --statusReadsLeft_;
        if (ready && !booted_) {
            booted_ = true;
            poweredUpAt_ = Clock::now();
        }
        for (size_t i = 0; i < count; ++i) data[i] = ready ? 0 : 0xFF;
        return true;
    }
    if (!SensorTransferAllowed(address)) return false;
    const bool acknowledged = HeadPersonality::BusRead(address, data, count);
    if (address == model_.sensorAddress) MarkBusy();
    return acknowledged;
}

uint8_t ImxBusHead::ReadFpgaRegister(uint8_t reg) {
    if (reg == kFpgaBusyWord) {
        uint8_t busy = HeadPersonality::ReadFpgaRegister(reg);
        const auto now = Clock::now();
        if (slowPowerUp_ && booted_ &&
            (powerUpTime_.count() < 0 || now < poweredUpAt_ + powerUpTime_)) {
            busy |= kPoweringUp;
        }
        if (now < busyUntil_) busy |= kBusyAfterTransfer;
        return busy;
    }
    if (reg == kFpgaVerticalDrive) {
        return static_cast<uint8_t>((fpga_[reg] & ~kVerticalDriveReady) | (verticalDriveRunning_ ? kVerticalDriveReady : 0));
    }
    return HeadPersonality::ReadFpgaRegister(reg);
}

void ImxBusHead::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    if (reg == kFpgaVerticalDrive) {
        // A pulse (1, then 0) restarts the vertical drive.
        if (value & 1) verticalDrivePulsed_ = true;
        else if (verticalDrivePulsed_) {
            verticalDrivePulsed_ = false;
            verticalDriveRunning_ = !verticalDriveFault_;
        }
    }
    if (reg == kFpgaCooler && needsHandOver_) {
        if (ImxPersonality* sensor = Imx()) sensor->SetCoolerOn((value & 1) != 0);
    }
    HeadPersonality::WriteFpgaRegister(reg, value);
}

}  // namespace vantix::emulator
