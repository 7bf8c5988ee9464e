#include "transport/controller.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "drivers/camera_interface_class.h"
#include "platform/clock.h"

namespace vantix {
namespace {

// Vendor requests of the camera firmware.
constexpr uint8_t kBusWriteRequest = 0x30;
constexpr uint8_t kBusReadRequest = 0x31;
constexpr uint8_t kWriteModeRequest = 0x3C;
constexpr uint8_t kReadModeRequest = 0x3D;
constexpr uint8_t kWordPairRequest = 0x3E;
constexpr uint8_t kQueryWordRequest = 0x3F;
constexpr uint8_t kDeviceBlockARequest = 0xB0;
constexpr uint8_t kDeviceBlockBRequest = 0xB1;
constexpr uint8_t kRestartStreamRequest = 0xC0;
constexpr uint8_t kRequestFrameRequest = 0xC2;
constexpr uint8_t kReadyFlagRequest = 0xC3;
constexpr uint8_t kRequestCC = 0xCC;
constexpr uint8_t kCameraRegisterWriteRequest = 0xD0;
constexpr uint8_t kCameraRegisterReadRequest = 0xD1;

constexpr size_t kMaxBusBytes = 64;

// Serial-bus devices (8-bit write addresses; the read address is one more).
constexpr uint8_t kFpgaBusAddress = 0x40;
constexpr uint8_t kAuxBusAddress = 0x5A;
constexpr uint8_t kEepromBusAddress = 0xA2;
constexpr uint32_t kEepromWriteCycleMs = 14;  // the EEPROM is deaf while it programs
constexpr uint32_t kEepromAddressSetupMs = 10;

// FPGA registers used here.
constexpr uint8_t kFpgaRegister16Low = 0x10;
constexpr uint8_t kFpgaRegister16High = 0x11;
constexpr uint8_t kFpgaStreamRecover = 0x6C;  // pulsed when a frame header does not come

constexpr int kHeaderAttempts = 30;
constexpr uint32_t kHeaderReadTimeoutMs = 100;
constexpr uint32_t kHeaderRetryPauseMs = 10;
constexpr uint32_t kDirectReadLongTimeoutMs = 5000;

uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

CVtxCy3Cam::CVtxCy3Cam(const Guid* interfaceClass) {
    interfaceClass_ = interfaceClass != nullptr ? *interfaceClass : kCameraInterfaceClass;
    deviceIndex_ = 0;
}

CVtxCy3Cam::~CVtxCy3Cam() { Release(); }

bool CVtxCy3Cam::VendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                               const uint8_t* data, size_t dataSize, Ep0Record* reply, uint32_t* dataCount,
                               DeviceConnection* handle) {
    Ep0Record record{};
    record.header.requestType = requestType;
    record.header.request = request;
    record.header.value = value;
    record.header.index = index;
    record.header.length = kEp0RecordSize;  // the whole record, as the driver expects
    record.header.timeoutMs = kEp0TimeoutMs;
    record.header.dataOffset = kTransferHeaderSize;
    record.header.dataLength = kEp0DataSize;
    if (data != nullptr) std::memcpy(record.data, data, std::min(dataSize, size_t{kEp0DataSize}));

    DeviceHandle ownHandle;
    if (handle == nullptr) {
        if (!OpenDevice(deviceIndex_, false, &ownHandle)) return false;
        handle = ownHandle.get();
    }
    uint32_t returned = 0;
    if (!SendEp0Request(handle, &record, &returned)) return false;
    if (reply != nullptr) *reply = record;
    if (dataCount != nullptr) *dataCount = DataCountFromReturned(returned);
    return true;
}

// ---- CControllerBase ----

int32_t CVtxCy3Cam::Release() {
    CloseStream();
    transferBuffer_.reset();
    return 1;
}

int32_t CVtxCy3Cam::SelectDeviceIndex(int32_t index) {
    CloseStream();
    if (!DeviceExists(index)) return 0;
    deviceIndex_ = index;
    return 1;
}

int32_t CVtxCy3Cam::ReadRegister16(uint16_t* value) {
    uint8_t low = 0;
    uint8_t high = 0;
    ReadFpgaRegister(kFpgaRegister16High, &high);
    ReadFpgaRegister(kFpgaRegister16Low, &low);
    if (value != nullptr) *value = static_cast<uint16_t>(high << 8 | low);
    return 1;
}

int32_t CVtxCy3Cam::BusWrite(uint8_t address, const uint8_t* data, size_t count, uint32_t /*timeoutMs*/) {
    if (count > kMaxBusBytes || (data == nullptr && count != 0)) return 0;
    return VendorRequest(kRequestVendorDeviceOut, kBusWriteRequest, static_cast<uint16_t>(count), address, data,
                         count, nullptr, nullptr);
}

int32_t CVtxCy3Cam::BusRead(uint8_t address, uint8_t* data, size_t count, uint32_t /*timeoutMs*/) {
    if (count > kMaxBusBytes || (data == nullptr && count != 0)) return 0;
    Ep0Record reply;
    uint32_t dataCount = 0;
    if (!VendorRequest(kRequestVendorDeviceIn, kBusReadRequest, static_cast<uint16_t>(count),
                       static_cast<uint16_t>(address | 1u), nullptr, 0, &reply, &dataCount)) {
        return 0;
    }
    // A short reply succeeds as a request but delivers nothing.
    if (dataCount >= count) std::memcpy(data, reply.data, count);
    return 1;
}

int32_t CVtxCy3Cam::WriteCameraRegister(uint16_t address, uint32_t value) {
    const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return VendorRequest(kRequestVendorDeviceOut, kCameraRegisterWriteRequest, static_cast<uint16_t>(address >> 15),
                         static_cast<uint16_t>(address & 0x7FFF), data, sizeof data, nullptr, nullptr);
}

int32_t CVtxCy3Cam::ReadCameraRegister(uint16_t address, uint32_t* value) {
    Ep0Record reply;
    uint32_t dataCount = 0;
    if (!VendorRequest(kRequestVendorDeviceIn, kCameraRegisterReadRequest, 0, address, nullptr, 0, &reply,
                       &dataCount)) {
        return 0;
    }
    if (value != nullptr) {
        *value = 0;
        if (dataCount >= kEp0DataSize) *value = static_cast<uint32_t>(reply.data[0] | reply.data[1] << 8);
    }
    return 1;
}

int32_t CVtxCy3Cam::SendWordPair(uint16_t first, uint16_t second) {
    const uint8_t data[4] = {static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first),
                             static_cast<uint8_t>(second >> 8), static_cast<uint8_t>(second)};
    return VendorRequest(kRequestVendorDeviceOut, kWordPairRequest, 0, 0, data, sizeof data, nullptr, nullptr);
}

int32_t CVtxCy3Cam::QueryWord(uint16_t value, uint32_t* result) {
    Ep0Record reply;
    uint32_t dataCount = 0;
    if (!VendorRequest(kRequestVendorDeviceIn, kQueryWordRequest, value, 0, nullptr, 0, &reply, &dataCount)) {
        return 0;
    }
    if (dataCount != 0 && result != nullptr) *result = static_cast<uint32_t>(reply.data[0] | reply.data[1] << 8);
    return 1;
}

bool CVtxCy3Cam::WriteFpgaRegisterLocked(uint8_t reg, uint8_t value) {
    const uint8_t data[3] = {reg, 0x00, value};
    return BusWrite(kFpgaBusAddress, data, sizeof data, kEp0TimeoutMs) != 0;
}

int32_t CVtxCy3Cam::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    ScopedLock lock(registerLock_);
    return WriteFpgaRegisterLocked(reg, value);
}

int32_t CVtxCy3Cam::ReadFpgaRegister(uint8_t reg, uint8_t* value) {
    ScopedLock lock(registerLock_);
    uint8_t reply[2] = {};
    if (!BusWrite(kFpgaBusAddress, &reg, 1, kEp0TimeoutMs)) return 0;
    if (!BusRead(kFpgaBusAddress, reply, sizeof reply, kEp0TimeoutMs)) return 0;
    if (value != nullptr) *value = reply[1];
    return 1;
}

int32_t CVtxCy3Cam::WriteAuxRegister(uint8_t reg, uint8_t value) {
    const uint8_t data[2] = {reg, value};
    return BusWrite(kAuxBusAddress, data, sizeof data, kEp0TimeoutMs);
}

int32_t CVtxCy3Cam::ReadAuxRegister(uint8_t reg, uint8_t* value) {
    if (!BusWrite(kAuxBusAddress, &reg, 1, kEp0TimeoutMs)) return 0;
    return BusRead(kAuxBusAddress, value, 1, kEp0TimeoutMs);
}

int32_t CVtxCy3Cam::AbortStream() {
    AbortPipe(streamHandle_.get());
    return 1;
}

// ---- Streaming ----

int32_t CVtxCy3Cam::OpenStream() {
    if (streamHandle_ == nullptr) OpenDevice(deviceIndex_, true, &streamHandle_);
    return streamHandle_ != nullptr;
}

int32_t CVtxCy3Cam::CloseStream() { return CloseDeviceHandle(&streamHandle_); }

int32_t CVtxCy3Cam::RequestFrame() {
    return VendorRequest(kRequestVendorEndpointOut, kRequestFrameRequest, 0, 0, nullptr, 0, nullptr, nullptr,
                         streamHandle_.get());
}

int32_t CVtxCy3Cam::ReadFrameHeader(FrameDescriptor* frame) {
    const bool openedHere = streamHandle_ == nullptr;
    if (openedHere && !OpenStream()) return 0;
    std::memset(scratch_, 0, sizeof scratch_);
    uint8_t header[64] = {};
    const auto fail = [&] {
        if (openedHere) CloseStream();
        return 0;
    };
    if (!RequestFrame()) return fail();
    for (int attempt = 0; attempt < kHeaderAttempts; ++attempt) {
        uint32_t count = 0;
        // A short header would leave stale bytes in the descriptor: it counts
        // as a lost one.
        if (DirectRead(streamHandle_.get(), header, sizeof header, kStreamEndpoint, &count, kHeaderReadTimeoutMs) &&
            count == sizeof header) {
            std::memcpy(frame->header, header, sizeof header);
            frame->frameCounter = GetLe32(header + kHeaderFrameCounterOffset);
            return 1;
        }
        // Nudge the FPGA's stream logic and ask again.
        WriteFpgaRegister(kFpgaStreamRecover, 1);
        WriteFpgaRegister(kFpgaStreamRecover, 0);
        Sleep(kHeaderRetryPauseMs);
        if (!RequestFrame()) break;
    }
    return fail();
}

int32_t CVtxCy3Cam::ReadFramePayload(FrameDescriptor* frame, uint32_t timeoutMs) {
    const bool openedHere = streamHandle_ == nullptr;
    if (openedHere && !OpenStream()) return 0;
    const uint32_t total = GetLe32(frame->header + kHeaderPayloadBytesOffset);
    bool ok = total <= frame->capacity && frame->buffer != nullptr;
    for (uint32_t offset = 0; ok && offset < total; offset += kPayloadPieceBytes) {
        const uint32_t piece = std::min(kPayloadPieceBytes, total - offset);
        uint32_t count = 0;
        // A piece that arrives short leaves part of the frame unwritten: the
        // frame has failed even though the transfer itself completed.
        ok = DirectRead(streamHandle_.get(), frame->buffer + offset, piece, kStreamEndpoint, &count, timeoutMs) &&
             count == piece;
    }
    if (openedHere) CloseStream();
    return ok;
}

int32_t CVtxCy3Cam::ReadFrameDirect(FrameDescriptor* frame) {
    if (!OpenStream() || frame->buffer == nullptr || frame->directBytes > frame->capacity) return 0;
    uint32_t count = 0;
    return DirectReadLong(streamHandle_.get(), frame->buffer, frame->directBytes, kDirectFrameEndpoint, &count) &&
           count == frame->directBytes;
}

int32_t CVtxCy3Cam::WriteSrom(uint16_t address, uint8_t value) {
    const uint8_t data[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value};
    const int32_t ok = BusWrite(kEepromBusAddress, data, sizeof data, kEp0TimeoutMs);
    Sleep(kEepromWriteCycleMs);
    return ok;
}

int32_t CVtxCy3Cam::ReadSrom(uint16_t address, uint8_t* value) {
    const uint8_t data[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    if (!BusWrite(kEepromBusAddress, data, sizeof data, kEp0TimeoutMs)) return 0;
    Sleep(kEepromAddressSetupMs);
    return BusRead(kEepromBusAddress, value, 1, kEp0TimeoutMs);
}

int32_t CVtxCy3Cam::SendRequestCC() {
    return VendorRequest(kRequestVendorEndpointOut, kRequestCC, 0, 0, nullptr, 0, nullptr, nullptr);
}

int32_t CVtxCy3Cam::WriteModeByte(uint8_t value) {
    const uint8_t data[4] = {value, 0, 0, 0};  // one byte sent as a 32-bit value
    return VendorRequest(kRequestVendorDeviceOut, kWriteModeRequest, 0, 0, data, sizeof data, nullptr, nullptr);
}

int32_t CVtxCy3Cam::ReadModeByte(uint8_t* value) {
    Ep0Record reply;
    uint32_t dataCount = 0;
    if (!VendorRequest(kRequestVendorDeviceIn, kReadModeRequest, 0, 0, nullptr, 0, &reply, &dataCount)) return 0;
    if (dataCount != 0 && value != nullptr) *value = reply.data[0];
    return 1;
}

int32_t CVtxCy3Cam::BulkRead(DeviceConnection* handle, uint8_t endpoint, void* buffer, uint32_t n,
                             uint32_t* count) {
    return CFx3Api::BulkTransfer(handle, endpoint, buffer, n, count, transferBuffer_.get());
}

int32_t CVtxCy3Cam::DirectReadLong(DeviceConnection* handle, void* buffer, uint32_t n, uint8_t endpoint,
                                   uint32_t* count) {
    RequestFrame();
    return DirectRead(handle, buffer, n, endpoint, count, kDirectReadLongTimeoutMs);
}

int32_t CVtxCy3Cam::DirectRead(DeviceConnection* handle, void* buffer, uint32_t n, uint8_t endpoint,
                               uint32_t* count, uint32_t timeoutMs) {
    return DirectTransfer(handle, buffer, n, endpoint, count, timeoutMs, transferBuffer_ != nullptr);
}

int32_t CVtxCy3Cam::PrepareStreaming(bool resetPort) {
    if (transferBuffer_ == nullptr) {
        transferBuffer_.reset(new (std::nothrow) uint8_t[kMaxTransferBytes + kTransferHeaderSize]);
    }
    if (transferBuffer_ == nullptr) return 0;
    if (resetPort) ResetPort();
    return 1;
}

int32_t CVtxCy3Cam::RestartStream() {
    return VendorRequest(kRequestVendorDeviceOut, kRestartStreamRequest, 0, 0, nullptr, 0, nullptr, nullptr);
}

int32_t CVtxCy3Cam::ReadReadyFlag(uint8_t* flag) {
    Ep0Record reply;
    uint32_t dataCount = 0;
    if (!VendorRequest(kRequestVendorDeviceIn, kReadyFlagRequest, 0, 0, nullptr, 0, &reply, &dataCount)) return 0;
    if (dataCount == kEp0DataSize && flag != nullptr) *flag = reply.data[0];
    return 1;
}

bool CVtxCy3Cam::ReadDeviceBlock(uint8_t request, uint8_t block[64]) {
    Ep0Record reply;
    uint32_t dataCount = 0;
    if (!VendorRequest(kRequestVendorDeviceIn, request, 0, 0, nullptr, 0, &reply, &dataCount)) return false;
    if (dataCount == kEp0DataSize) std::memcpy(block, reply.data, kEp0DataSize);
    return true;
}

int32_t CVtxCy3Cam::ReadDeviceBlockA(uint8_t block[64]) { return ReadDeviceBlock(kDeviceBlockARequest, block); }

int32_t CVtxCy3Cam::ReadDeviceBlockB(uint8_t block[64]) { return ReadDeviceBlock(kDeviceBlockBRequest, block); }

}  // namespace vantix
