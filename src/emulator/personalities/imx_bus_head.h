#pragma once
// The FPGA head of the IMX family's cameras: the standard head plus what the
// family's sensor classes rely on around the sensor bus.
//
// - The head's status device at bus address 0x5E answers two zero bytes once
//   the head has booted (after a configurable number of reads; never, as a
//   fault).
// - FPGA register 2, the sensor-bus busy word: 0x80 for a short,
//   configurable time after every host transfer to the sensor; on the slower
//   booting heads also 0x90 for a while once the status device has reported
//   ready (the FPGA powering the sensor up).
// - FPGA register 129, bit 1: the sensor's vertical drive runs. Clear at
//   power-on; set once the host pulses the register (1, then 0), unless the
//   fault hook keeps it clear.
// - FPGA register 159 on the SWIR heads: 1 hands the sensor bus to the host;
//   while it is 0 the FPGA owns the bus and host transfers to the sensor get
//   no acknowledge.
// - FPGA register 151 on the SWIR heads: bit 0 runs the cooler.
// Frames show the part of the scene the sensor's window, binning and
// horizontal mirror select (the scene's rows are alike, so the vertical
// window and mirror do not show).
#include <chrono>

#include "emulator/head_personality.h"
#include "emulator/personalities/imx_personality.h"

namespace vantix::emulator {

class ImxBusHead : public HeadPersonality {
public:
    explicit ImxBusHead(const VirtualModel& model);

    bool BusWrite(uint8_t address, const uint8_t* data, size_t count) override;
    bool BusRead(uint8_t address, uint8_t* data, size_t count) override;
    uint8_t ReadFpgaRegister(uint8_t reg) override;
    void WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    // The FPGA's window, placed in the array where the sensor reads it out
    // (window start, binning, horizontal mirror).
    FrameGeometry Geometry(uint8_t modeByte) const override;

    // ---- Settings and fault hooks for tests ----
    // Reads of the status device that answer "not ready" before it reports
    // ready; kNeverReady: it never does.
    static constexpr uint32_t kNeverReady = UINT32_MAX;
    void SetStatusReadsBeforeReady(uint32_t reads) { statusReadsLeft_ = reads; }
    // How long the busy word shows 0x80 after each sensor transfer.
    void SetSensorBusBusyTime(std::chrono::microseconds time) { busyTime_ = time; }
    // How long the power-up bits (0x90) show after the head booted; a
    // negative time keeps them up for good.
    void SetPowerUpTime(std::chrono::milliseconds time) { powerUpTime_ = time; }
    // Keeps the vertical-drive ready bit clear whatever the host does.
    void SetVerticalDriveFault(bool never) { verticalDriveFault_ = never; }
    bool VerticalDriveRunning() const { return verticalDriveRunning_; }
    // The sensor bus belongs to the host (FPGA register 159 = 1).
    bool HostOwnsSensorBus() const { return !needsHandOver_ || fpga_[kHandOver] == 1; }

private:
    static constexpr uint8_t kHandOver = 159;
    bool SensorTransferAllowed(uint8_t address) const;
    void MarkBusy();
    ImxPersonality* Imx();
    const ImxPersonality* Imx() const;

    bool needsHandOver_;
    bool slowPowerUp_;
    uint32_t statusReadsLeft_ = 0;
    std::chrono::microseconds busyTime_;
    std::chrono::milliseconds powerUpTime_;
    std::chrono::steady_clock::time_point busyUntil_{};
    std::chrono::steady_clock::time_point poweredUpAt_{};
    bool booted_ = false;
    bool verticalDriveFault_ = false;
    bool verticalDriveRunning_ = false;
    bool verticalDrivePulsed_ = false;
};

}  // namespace vantix::emulator
