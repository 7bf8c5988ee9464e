// Exports: sensor and FPGA registers, the serial ROM, the I/O port and the
// unsupported text channel.
#include <vantix/exports.h>

#include "api/export_call.h"

using vantix::CallSession;

namespace {
constexpr int32_t kLowByte = 0xFF;
constexpr int32_t kLowWord = 0xFFFF;
constexpr int32_t kLastSromAddress = 0xFFF;  // the serial ROM has 4096 bytes

// Register numbers and ROM addresses are refused rather than cut to the bits
// the export carries: a cut address would reach another register or ROM byte
// (on a real camera, corrupting its serial ROM).
bool IsAddress(int32_t address, int32_t last) { return address >= 0 && address <= last; }
// Values may be given unsigned or as the signed number of the same bits.
bool FitsBits(int32_t value, int bits) { return value >= -(1 << (bits - 1)) && value < (1 << bits); }

int32_t RefuseArgument(CVantix& s, int32_t* ok) {
    if (ok != nullptr) *ok = 0;
    s.RecordError(vantix::kErrorArgument);
    return 0;
}
}  // namespace

extern "C" {

VANTIX_API int32_t Vantix_ReadRegister(int32_t handle, int32_t reg, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) {
        if (!IsAddress(reg, kLowByte)) return RefuseArgument(s, ok);
        return s.ReadRegister(reg, ok);
    });
}

VANTIX_API int32_t Vantix_ReadRegisterEx(int32_t handle, int32_t reg, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.ReadRegister(reg, ok); });
}

VANTIX_API int32_t Vantix_WriteRegister(int32_t handle, int32_t reg, int32_t value) {
    return CallSession(handle, 0, [&](CVantix& s) {
        if (!IsAddress(reg, kLowByte) || !FitsBits(value, 16)) return RefuseArgument(s, nullptr);
        return s.WriteRegister(reg, value & kLowWord);
    });
}

VANTIX_API int32_t Vantix_WriteRegisterEx(int32_t handle, int32_t reg, int32_t value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.WriteRegister(reg, value); });
}

VANTIX_API int32_t Vantix_Fpga_ReadRegister(int32_t handle, int32_t reg, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) {
        if (!IsAddress(reg, kLowByte)) return RefuseArgument(s, ok);
        return s.ReadFpgaRegister(reg, ok);
    });
}

VANTIX_API int32_t Vantix_Fpga_WriteRegister(int32_t handle, int32_t reg, int32_t value) {
    return CallSession(handle, 0, [&](CVantix& s) {
        if (!IsAddress(reg, kLowByte) || !FitsBits(value, 16)) return RefuseArgument(s, nullptr);
        return s.WriteFpgaRegister(reg, value & kLowWord);
    });
}

VANTIX_API int32_t Vantix_ReadSromID(int32_t handle, int32_t address, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) {
        if (!IsAddress(address, kLastSromAddress)) return RefuseArgument(s, ok);
        return s.ReadSrom(address, ok);
    });
}

VANTIX_API int32_t Vantix_WriteSromID(int32_t handle, int32_t address, int32_t value) {
    return CallSession(handle, 0, [&](CVantix& s) {
        if (!IsAddress(address, kLastSromAddress) || !FitsBits(value, 8)) return RefuseArgument(s, nullptr);
        return s.WriteSrom(address, value);
    });
}

VANTIX_API int32_t Vantix_GetIOPort(int32_t handle, uint8_t* value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetIOPort(value); });
}

VANTIX_API int32_t Vantix_SetIOPort(int32_t handle, uint8_t value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetIOPort(value); });
}

VANTIX_API int32_t Vantix_SendText(int32_t handle, char* text, int32_t length) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SendText(text, length); });
}

VANTIX_API int32_t Vantix_ReceiveText(int32_t handle, char* text, int32_t length) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.ReceiveText(text, length); });
}

}  // extern "C"
