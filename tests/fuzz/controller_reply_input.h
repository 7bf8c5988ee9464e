#pragma once
// The input of the controller-reply fuzz target, shared with the seed writer:
// a fixed block that fills the virtual camera's FaultPlan (stalls, short and
// replaced vendor-request replies, replaced or cut frame headers, bad status
// words, a wrong payload count), followed by one byte per controller
// operation to run against it. Missing bytes read as zero.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "emulator/virtual_camera.h"

namespace vantix::fuzz {

inline constexpr size_t kFaultBlockBytes = 12 + 64 + 2 + 64;
inline constexpr size_t kMaxOperations = 16;
// Counts are kept small: each replaced header costs the controller a retry.
inline constexpr uint32_t kMaxFaultRepeats = 3;

struct ControllerReplyInput {
    emulator::FaultPlan faults;
    std::vector<uint8_t> operations;
};

inline ControllerReplyInput DecodeControllerReplyInput(const uint8_t* data, size_t size) {
    uint8_t block[kFaultBlockBytes] = {};
    std::memcpy(block, data, std::min(size, kFaultBlockBytes));
    ControllerReplyInput input;
    emulator::FaultPlan& f = input.faults;
    f.stallRequest = block[0];
    f.stallCount = block[1] % kMaxFaultRepeats;
    f.shortRequest = block[2];
    f.shortBytes = block[3];
    f.shortCount = block[4] % kMaxFaultRepeats;
    f.badStatusTransfers = block[5] % kMaxFaultRepeats;
    f.payloadCountDelta = static_cast<int16_t>(block[6] | block[7] << 8);
    f.replyRequest = block[8];
    f.replyCount = block[9] % kMaxFaultRepeats;
    f.replyBytes = block[10] | (block[11] & 1u) << 8;  // up to 511: far past the data stage
    std::memcpy(f.replyData.data(), block + 12, 64);
    f.headerCount = block[76] % kMaxFaultRepeats;
    f.headerBytes = block[77];
    std::memcpy(f.headerData.data(), block + 78, 64);
    if (size > kFaultBlockBytes) {
        const size_t n = std::min(size - kFaultBlockBytes, kMaxOperations);
        input.operations.assign(data + kFaultBlockBytes, data + kFaultBlockBytes + n);
    }
    return input;
}

inline std::vector<uint8_t> EncodeControllerReplyInput(const ControllerReplyInput& input) {
    std::vector<uint8_t> out(kFaultBlockBytes, 0);
    const emulator::FaultPlan& f = input.faults;
    out[0] = f.stallRequest;
    out[1] = static_cast<uint8_t>(f.stallCount);
    out[2] = f.shortRequest;
    out[3] = static_cast<uint8_t>(f.shortBytes);
    out[4] = static_cast<uint8_t>(f.shortCount);
    out[5] = static_cast<uint8_t>(f.badStatusTransfers);
    out[6] = static_cast<uint8_t>(f.payloadCountDelta);
    out[7] = static_cast<uint8_t>(f.payloadCountDelta >> 8);
    out[8] = f.replyRequest;
    out[9] = static_cast<uint8_t>(f.replyCount);
    out[10] = static_cast<uint8_t>(f.replyBytes);
    out[11] = static_cast<uint8_t>((f.replyBytes >> 8) & 1u);
    std::memcpy(out.data() + 12, f.replyData.data(), 64);
    out[76] = static_cast<uint8_t>(f.headerCount);
    out[77] = static_cast<uint8_t>(f.headerBytes);
    std::memcpy(out.data() + 78, f.headerData.data(), 64);
    out.insert(out.end(), input.operations.begin(), input.operations.end());
    return out;
}

}  // namespace vantix::fuzz
