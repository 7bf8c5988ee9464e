#pragma once
// CVtxCy3Cam: the controller of one camera. It speaks the firmware's vendor
// requests on endpoint 0, reaches the devices on the camera's serial bus and
// streams frames from the bulk endpoints.
#include <cstdint>

#include "transport/controller_base.h"
#include "transport/request_layer.h"

namespace vantix {

// One frame as the engine reads it: the 64-byte header the camera sends
// first, then the payload into the destination buffer.
struct FrameDescriptor {
    uint8_t header[64];
    uint32_t frameCounter;  // copy of header offset 32
    uint8_t* buffer;        // destination of the payload
    uint32_t capacity;      // bytes available at buffer
    uint32_t directBytes;   // size of an endpoint-0x83 read
};

// Frame header fields.
inline constexpr size_t kHeaderPayloadBytesOffset = 16;
inline constexpr size_t kHeaderFrameCounterOffset = 32;
// The payload byte count a frame's header announces.
inline uint32_t AnnouncedPayloadBytes(const FrameDescriptor& frame) {
    const uint8_t* p = frame.header + kHeaderPayloadBytesOffset;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
// Payload reads are split into direct transfers of this size.
inline constexpr uint32_t kPayloadPieceBytes = 0x80000;  // 512 KiB

class CVtxCy3Cam : public CFx3Api, public CControllerBase {
public:
    explicit CVtxCy3Cam(const Guid* interfaceClass = nullptr);
    ~CVtxCy3Cam() override;

    // ---- CControllerBase ----
    int32_t Release() override;
    int32_t SelectDeviceIndex(int32_t index) override;
    int32_t ReadRegister16(uint16_t* value) override;
    int32_t BusWrite(uint8_t address, const uint8_t* data, size_t count, uint32_t timeoutMs) override;
    int32_t BusRead(uint8_t address, uint8_t* data, size_t count, uint32_t timeoutMs) override;
    int32_t WriteCameraRegister(uint16_t address, uint32_t value) override;
    int32_t ReadCameraRegister(uint16_t address, uint32_t* value) override;
    int32_t SendWordPair(uint16_t first, uint16_t second) override;
    int32_t QueryWord(uint16_t value, uint32_t* result) override;
    int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override;
    int32_t WriteAuxRegister(uint8_t reg, uint8_t value) override;
    int32_t ReadAuxRegister(uint8_t reg, uint8_t* value) override;
    int32_t AbortStream() override;

    // ---- Streaming and EEPROM ----
    virtual int32_t OpenStream();
    // Requests a frame and reads its 64-byte header (30 attempts).
    virtual int32_t ReadFrameHeader(FrameDescriptor* frame);
    // Reads the payload the header announced, in 512 KiB pieces.
    virtual int32_t ReadFramePayload(FrameDescriptor* frame, uint32_t timeoutMs);
    // Reads frame->directBytes from the direct-frame endpoint.
    virtual int32_t ReadFrameDirect(FrameDescriptor* frame);
    virtual int32_t CloseStream();
    virtual int32_t WriteSrom(uint16_t address, uint8_t value);
    virtual int32_t ReadSrom(uint16_t address, uint8_t* value);
    virtual int32_t SendRequestCC();
    virtual int32_t WriteModeByte(uint8_t value);
    virtual int32_t ReadModeByte(uint8_t* value);
    virtual int32_t BulkRead(DeviceConnection* handle, uint8_t endpoint, void* buffer, uint32_t n, uint32_t* count);
    // RequestFrame, then a direct transfer with a 5 s time-out.
    virtual int32_t DirectReadLong(DeviceConnection* handle, void* buffer, uint32_t n, uint8_t endpoint,
                                   uint32_t* count);
    virtual int32_t DirectRead(DeviceConnection* handle, void* buffer, uint32_t n, uint8_t endpoint,
                               uint32_t* count, uint32_t timeoutMs);

    // Allocates the transfer buffer (once) and, unless told not to, resets
    // the port.
    int32_t PrepareStreaming(bool resetPort = true);
    int32_t RestartStream();
    int32_t RequestFrame();
    int32_t ReadReadyFlag(uint8_t* flag);
    int32_t ReadDeviceBlockA(uint8_t block[64]);
    int32_t ReadDeviceBlockB(uint8_t block[64]);
    DeviceConnection* StreamHandle() const { return streamHandle_.get(); }

private:
    // One vendor request on a fresh request handle (or `handle` when given).
    // *dataCount receives the data bytes of the reply.
    bool VendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, const uint8_t* data,
                       size_t dataSize, Ep0Record* reply, uint32_t* dataCount, DeviceConnection* handle = nullptr);
    bool WriteFpgaRegisterLocked(uint8_t reg, uint8_t value);
    bool ReadDeviceBlock(uint8_t request, uint8_t block[64]);
};

}  // namespace vantix
