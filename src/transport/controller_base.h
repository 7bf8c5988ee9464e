#pragma once
// CControllerBase: the narrow interface through which sensor objects and the
// camera engine reach a camera: its serial bus, FPGA and auxiliary registers,
// camera registers and the stream abort. Every operation returns non-zero on
// success.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "drivers/device_file.h"
#include "platform/critical_section.h"

namespace vantix {

class CControllerBase {
public:
    CControllerBase() = default;
    CControllerBase(const CControllerBase&) = delete;
    CControllerBase& operator=(const CControllerBase&) = delete;
    virtual ~CControllerBase() = default;

    virtual int32_t Unused() { return 0; }
    // Closes the stream and frees the transfer buffer.
    virtual int32_t Release() = 0;
    // Closes the stream and selects device-table entry `index` when its camera
    // is present; the previous index stays otherwise.
    virtual int32_t SelectDeviceIndex(int32_t index) = 0;
    // FPGA registers 0x11 (high byte) and 0x10 (low byte); always succeeds.
    virtual int32_t ReadRegister16(uint16_t* value) = 0;
    // Serial-bus transfers of at most 64 bytes. The time-out is accepted for
    // the sensor classes' sake; every request carries the standard 3 s.
    virtual int32_t BusWrite(uint8_t address, const uint8_t* data, size_t count, uint32_t timeoutMs) = 0;
    virtual int32_t BusRead(uint8_t address, uint8_t* data, size_t count, uint32_t timeoutMs) = 0;
    // Camera registers: 15-bit addresses, bit 15 selects the bank.
    virtual int32_t WriteCameraRegister(uint16_t address, uint32_t value) = 0;
    virtual int32_t ReadCameraRegister(uint16_t address, uint32_t* value) = 0;
    virtual int32_t SendWordPair(uint16_t first, uint16_t second) = 0;
    virtual int32_t QueryWord(uint16_t value, uint32_t* result) = 0;
    virtual int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) = 0;
    virtual int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) = 0;
    virtual int32_t WriteAuxRegister(uint8_t reg, uint8_t value) = 0;
    virtual int32_t ReadAuxRegister(uint8_t reg, uint8_t* value) = 0;
    // Aborts the transfers pending on the stream endpoint.
    virtual int32_t AbortStream() = 0;

protected:
    std::unique_ptr<DeviceConnection> streamHandle_;
    std::unique_ptr<uint8_t[]> transferBuffer_;  // kMaxTransferBytes + 38, see PrepareStreaming
    uint8_t scratch_[64] = {};
    CriticalSection registerLock_;  // keeps an FPGA register's write-then-read pair together
};

}  // namespace vantix
