#pragma once
// CSensorQ112: the video converter of model 0x3130. It has no sensor
// controls; AccessDevice carries the converter's text commands:
//   op 0: send. The buffer holds a length byte (1-8) and the command's
//         characters; the result is 1 when the converter acknowledged it
//         with a non-zero answer.
//   op 1: receive. The converter's reply (at most 64 bytes) is copied to the
//         buffer with its final status byte turned into "o" (acknowledge) or
//         "n" (refusal) and a NUL after it: the buffer needs 65 bytes.
#include <cstdint>

#include "sensors/sensor_base.h"

namespace vantix {

class CSensorQ112 : public CSensorBase {
public:
    CSensorQ112(CControllerBase* controller, uint8_t deviceAddress);

    int32_t Detect() override { return 1; }
    int32_t Initialize() override { return 1; }
    int32_t SetBitDepth(int32_t) override { return 1; }
    int32_t AccessDevice(int32_t op, void* buffer) override;

    static constexpr int32_t kMaxCommandLength = 8;
    static constexpr int32_t kMaxReplyBytes = 64;

private:
    int32_t SendCommand(const uint8_t* buffer);
    int32_t ReceiveReply(char* buffer);
    // Claims the converter's bus through FPGA register 57.
    bool WaitForBus();
};

}  // namespace vantix
