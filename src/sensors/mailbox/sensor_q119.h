#pragma once
// CSensorQ119: the 2048 x 2048 mailbox head of model 0x31E0. Every window is
// the full 2048 columns; gain, readout mode and output mode are mailbox
// registers. Constants in mailbox::kQ119.
#include "sensors/mailbox/mailbox_head.h"

namespace vantix {

class CSensorQ119 : public CMailboxHead {
public:
    CSensorQ119(CControllerBase* controller, uint8_t deviceAddress);

    // x and width are ignored (all 2048 columns are read); y and height are
    // rounded up to even and must lie inside the array.
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // Gain mode 7 (direct), then the code in 138/139, within 0-255.
    int32_t SetGain(int32_t gain) override;
    // Modes 0-8: the line length (560 clocks in mode 0, 1280 otherwise) and
    // the shortest exposure follow; the exposure in seconds is kept.
    int32_t SetReadoutMode(int32_t mode) override;
    int32_t GetReadoutMode(int32_t* mode) override;
    // Register 128: -1 when it cannot be read.
    int32_t GetOutputMode() override;
    int32_t SetOutputMode(int32_t mode) override;
};

}  // namespace vantix
