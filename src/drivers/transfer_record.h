#pragma once
// The camera driver's wire format: device-control codes and the request record
// that carries an endpoint-0 request or a bulk transfer. Little-endian, packed:
// a 38-byte header followed by the data area.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vantix {

// Device-control codes (device type 0x22, any access; buffered unless noted).
inline constexpr uint32_t kIoctlEp0Transfer = 0x00220020;
inline constexpr uint32_t kIoctlBulkTransfer = 0x00220024;
inline constexpr uint32_t kIoctlResetPipe = 0x0022002C;
inline constexpr uint32_t kIoctlResetPort = 0x00220030;
inline constexpr uint32_t kIoctlAbortPipe = 0x00220044;
inline constexpr uint32_t kIoctlDirectTransfer = 0x0022004B;  // method neither: output is the caller's buffer
inline constexpr uint32_t kIoctlGetSpeed = 0x0022004C;

inline constexpr uint32_t kTransferHeaderSize = 38;
inline constexpr uint32_t kEp0DataSize = 64;
inline constexpr uint32_t kEp0RecordSize = kTransferHeaderSize + kEp0DataSize;  // 102
inline constexpr uint32_t kEp0TimeoutMs = 3000;

// Request-type byte: direction (bit 7), type (bits 5-6), recipient (bits 0-1).
inline constexpr uint8_t kRequestVendorDeviceOut = 0x40;
inline constexpr uint8_t kRequestVendorDeviceIn = 0xC0;
inline constexpr uint8_t kRequestVendorEndpointOut = 0x42;

// Stream endpoints.
inline constexpr uint8_t kStreamEndpoint = 0x81;
inline constexpr uint8_t kDirectFrameEndpoint = 0x83;

#pragma pack(push, 1)
struct TransferHeader {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    uint16_t length;      // 102 for endpoint-0 requests (the whole record), 0 for bulk
    uint32_t timeoutMs;   // 3000 for endpoint-0 requests, 0 for bulk
    uint8_t reserved;
    uint8_t endpoint;     // 0 for endpoint-0 requests
    uint32_t statusA;     // completion status words, written by the driver; 0 is success
    uint32_t statusB;
    uint32_t isoPacketOffset;
    uint32_t isoPacketLength;
    uint32_t dataOffset;  // 38 (0 in a direct-transfer header)
    uint32_t dataLength;  // 64 for endpoint-0 requests, n for buffered bulk
};

struct Ep0Record {
    TransferHeader header;
    uint8_t data[kEp0DataSize];
};
#pragma pack(pop)

static_assert(sizeof(TransferHeader) == kTransferHeaderSize);
static_assert(offsetof(TransferHeader, endpoint) == 13);
static_assert(offsetof(TransferHeader, statusA) == 14);
static_assert(offsetof(TransferHeader, statusB) == 18);
static_assert(offsetof(TransferHeader, dataOffset) == 30);
static_assert(offsetof(TransferHeader, dataLength) == 34);
static_assert(sizeof(Ep0Record) == kEp0RecordSize);

// The data count a caller derives from a returned count: the header is
// subtracted only when the reply is at least a header long.
inline uint32_t DataCountFromReturned(uint32_t returned) {
    return returned >= kTransferHeaderSize ? returned - kTransferHeaderSize : returned;
}

}  // namespace vantix
