// Exports: sensor and FPGA registers, the serial ROM, the I/O port and the
// unsupported text channel.
#include <vantix/exports.h>

#include "api/export_call.h"

using vantix::CallSession;

namespace {
constexpr int32_t kLowByte = 0xFF;
constexpr int32_t kLowWord = 0xFFFF;
constexpr int32_t kSromAddressMask = 0xFFF;  // the serial ROM has 4096 bytes
}  // namespace

extern "C" {

VANTIX_API int32_t Vantix_ReadRegister(int32_t handle, int32_t reg, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.ReadRegister(reg & kLowByte, ok); });
}

VANTIX_API int32_t Vantix_ReadRegisterEx(int32_t handle, int32_t reg, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.ReadRegister(reg, ok); });
}

VANTIX_API int32_t Vantix_WriteRegister(int32_t handle, int32_t reg, int32_t value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.WriteRegister(reg & kLowByte, value & kLowWord); });
}

VANTIX_API int32_t Vantix_WriteRegisterEx(int32_t handle, int32_t reg, int32_t value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.WriteRegister(reg, value); });
}

VANTIX_API int32_t Vantix_Fpga_ReadRegister(int32_t handle, int32_t reg, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.ReadFpgaRegister(reg & kLowByte, ok); });
}

VANTIX_API int32_t Vantix_Fpga_WriteRegister(int32_t handle, int32_t reg, int32_t value) {
    return CallSession(handle, 0,
                       [&](CVantix& s) { return s.WriteFpgaRegister(reg & kLowByte, value & kLowWord); });
}

VANTIX_API int32_t Vantix_ReadSromID(int32_t handle, int32_t address, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.ReadSrom(address & kSromAddressMask, ok); });
}

VANTIX_API int32_t Vantix_WriteSromID(int32_t handle, int32_t address, int32_t value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.WriteSrom(address & kSromAddressMask, value); });
}

VANTIX_API int32_t Vantix_GetIOPort(int32_t handle, uint8_t* value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetIOPort(value); });
}

VANTIX_API int32_t Vantix_SetIOPort(int32_t handle, uint8_t value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetIOPort(value); });
}

// The camera has no text channel; one body serves both names.
static int32_t TextChannelNotSupported(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) {
        s.RecordError(vantix::kErrorNotSupported);
        return 0;
    });
}

VANTIX_API int32_t Vantix_SendText(int32_t handle, char* /*text*/, int32_t /*length*/) {
    return TextChannelNotSupported(handle);
}

VANTIX_API int32_t Vantix_ReceiveText(int32_t handle, char* /*text*/, int32_t /*length*/) {
    return TextChannelNotSupported(handle);
}

}  // extern "C"
