#pragma once
// CImxSwirSensor: the SWIR InGaAs members (IMX990, IMX991), one
// implementation with the member's record. They differ from the family in
// their checked transfers (the host takes the sensor bus from the FPGA, FPGA
// register 159), their window and exposure arithmetic (frame lengths scaled
// to their clock, exposure counted in nanoseconds), and they have a
// temperature sensor, a cooler on one variant each, an auxiliary output and
// an external trigger run by an FPGA timing program.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CImxSwirSensor : public CImxSensor {
public:
    // Only the member's two variant codes; the code sets word 84.
    int32_t SetModelVariant(int32_t code) override;
    // The power-on writes, gain, mirrors, the default window and last the
    // default exposure lines.
    int32_t Initialize() override;
    // Mode 0, or 1 for 2 x 2 binning (other modes program the whole array's
    // timing); the window is rounded onto the sensor's grid.
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    int32_t SetExposureSeconds(double seconds) override;
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;
    int32_t SetAuxMode(int32_t mode) override;
    int32_t PulseAuxControl() override;
    int32_t IsAuxSupported() override;
    // No auxiliary device: accepted without action.
    int32_t AccessDevice(int32_t op, void* buffer) override;
    int32_t IsCoolingSupported() override;
    int32_t GetCooling(int32_t* on) override;
    int32_t SetCooling(int32_t on) override;
    int32_t IsTemperatureSupported() override { return 1; }
    int32_t GetTemperature(double* celsius) override;

    // Degrees Celsius from the temperature registers 0x690 (low) and 0x691
    // (high): a signed value in eighths of a degree.
    static double TemperatureFromRegisters(uint32_t low, uint32_t high);
    // Frame time at the frame length last written, in ms.
    double FrameTimeMs() const { return frameTimeMs_; }

protected:
    CImxSwirSensor(CControllerBase* controller, uint8_t deviceAddress, const imx::ImxConstants& constants,
                   const imx::SwirVariants& variants);

private:
    void AfterMirrorV() override;
    // The FPGA's trigger timing program for the current exposure and height.
    bool RunTriggerProgram();
    // An FPGA write that counts once it reads back (10 tries, 5 ms apart).
    bool VerifiedFpgaWrite(uint8_t reg, uint8_t value);
    int32_t ExposeNanoseconds(double nanoseconds);
    void PauseBetweenWrites() const;

    const imx::SwirVariants& variants_;
    int32_t auxMode_ = 0;
    double frameTimeMs_ = 0.0;
};

}  // namespace vantix
