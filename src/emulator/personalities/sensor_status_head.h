#pragma once
// The standard head whose FPGA reports in register 33 that it has powered
// its sensor (3), as the heads do that hold their sensor in reset until
// their own start-up is done.
#include "emulator/head_personality.h"

namespace vantix::emulator {

class SensorStatusHead : public HeadPersonality {
public:
    explicit SensorStatusHead(const VirtualModel& model);
};

}  // namespace vantix::emulator
