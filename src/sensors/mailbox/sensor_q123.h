#pragma once
// CSensorQ123: the 4096 x 4096 mailbox head of model 0x32D0. Windows are
// 2048 or 4096 wide and high; a full-size window selects the full scan, in
// which the output mode cannot change. Gain steps with labels, black level
// and mirrors; sensor registers are read and written through the mailbox.
// Constants in mailbox::kQ123.
#include "sensors/mailbox/mailbox_head.h"

namespace vantix {

class CSensorQ123 : public CMailboxHead {
public:
    CSensorQ123(CControllerBase* controller, uint8_t deviceAddress);

    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // The head has no analog gain of its own (gain steps instead): 1.
    int32_t SetGain(int32_t gain) override;
    int32_t SetBlackLevel(int32_t value) override;
    int32_t GetBlackLevel(int32_t* value) override;
    int32_t SetGainStep(int32_t step) override;
    int32_t GetGainStep(int32_t* step) override;
    // "0.66x" ... "7.25x" for steps 0-7; the buffer needs 6 bytes.
    int32_t GetGainStepLabel(int32_t index, char* text) override;
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;
    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    // The output mode last set (1 at power-on: the default gain step 4
    // belongs to it). Refused during the full scan.
    int32_t GetOutputMode() override;
    int32_t SetOutputMode(int32_t mode) override;
    int32_t IsScanModeSupported() override { return 1; }
    int32_t GetScanMode() override { return scanMode_; }
    // Stores the mode and applies the output mode again (which the full scan
    // refuses).
    int32_t SetScanMode(int32_t mode) override;

    // Sensor registers through the mailbox: reads of 64-95, writes of 192-223.
    bool ReadSensorRegister(uint8_t reg, uint8_t* value);
    bool WriteSensorRegister(uint8_t reg, uint8_t value);

private:
    // Writes a register until it reads back the value: up to 100 tries, 100 ms
    // apart.
    bool WriteVerified(uint8_t reg, uint8_t value);

    int32_t scanMode_ = 0;
    int32_t outputMode_ = 1;
};

}  // namespace vantix
