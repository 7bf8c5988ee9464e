#pragma once
// CSensorQ117: the 512-pixel line-scan head (model 0x3190). Beyond its
// family it has an external trigger in FPGA register 36 and start-up
// settings of its own.
#include <cstdint>

#include "sensors/fpga_timed/fpga_timed_head.h"

namespace vantix {

class CSensorQ117 final : public CFpgaTimedHead {
public:
    CSensorQ117(CControllerBase* controller, uint8_t deviceAddress);

    // The default gain and exposure, the start-up settings, then the
    // opening line count.
    int32_t Initialize() override;
    // Register 36: 2 = a line per external trigger, 0 = free run.
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;
};

}  // namespace vantix
