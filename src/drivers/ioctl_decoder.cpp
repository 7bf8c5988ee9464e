#include "drivers/ioctl_decoder.h"

#include <cstring>

namespace vantix {
namespace {

constexpr uint8_t kEndpointDirectionIn = 0x80;

}  // namespace

uint32_t DecodeIoRequest(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize, IoRequest* request) {
    *request = IoRequest{};
    switch (code) {
        case kIoctlEp0Transfer:
            if (in == nullptr || out == nullptr || inSize < kEp0RecordSize) return kErrorInvalidParameter;
            if (outSize < kEp0RecordSize) return kErrorInsufficientBuffer;
            request->kind = IoRequestKind::Ep0Transfer;
            std::memcpy(&request->record, in, kEp0RecordSize);
            request->reply = out;
            return kErrorSuccess;
        case kIoctlBulkTransfer:
        case kIoctlDirectTransfer: {
            if (in == nullptr || inSize < kTransferHeaderSize) return kErrorInvalidParameter;
            std::memcpy(&request->header, in, kTransferHeaderSize);
            if ((request->header.endpoint & kEndpointDirectionIn) == 0) return kErrorInvalidParameter;
            request->endpoint = request->header.endpoint;
            if (code == kIoctlDirectTransfer) {
                // The caller's buffer is the transfer buffer; the status goes to the header.
                if (out == nullptr && outSize != 0) return kErrorInvalidParameter;
                request->kind = IoRequestKind::DirectTransfer;
                request->data = static_cast<uint8_t*>(out);
                request->dataSize = outSize;
                request->statusHeader = static_cast<TransferHeader*>(in);
                return kErrorSuccess;
            }
            // A buffered record: the reply is the header followed by the data.
            if (out == nullptr) return kErrorInvalidParameter;
            if (outSize < kTransferHeaderSize) return kErrorInsufficientBuffer;
            request->kind = IoRequestKind::BulkTransfer;
            std::memmove(out, in, kTransferHeaderSize);
            request->data = static_cast<uint8_t*>(out) + kTransferHeaderSize;
            request->dataSize = outSize - kTransferHeaderSize;
            request->statusHeader = static_cast<TransferHeader*>(out);
            request->bytesBias = kTransferHeaderSize;
            return kErrorSuccess;
        }
        case kIoctlAbortPipe:
        case kIoctlResetPipe:
            if (in == nullptr || inSize < 1) return kErrorInvalidParameter;
            request->kind = code == kIoctlAbortPipe ? IoRequestKind::AbortPipe : IoRequestKind::ResetPipe;
            request->endpoint = *static_cast<const uint8_t*>(in);
            return kErrorSuccess;
        case kIoctlResetPort:
            request->kind = IoRequestKind::ResetPort;
            return kErrorSuccess;
        case kIoctlGetSpeed:
            if (out == nullptr || outSize < sizeof(uint32_t)) return kErrorInsufficientBuffer;
            request->kind = IoRequestKind::GetSpeed;
            request->speed = out;
            return kErrorSuccess;
        default:
            return kErrorInvalidParameter;
    }
}

uint32_t FinishAtOnce(uint32_t result, uint32_t bytes, uint32_t* bytesReturned, Overlapped* overlapped) {
    if (bytesReturned != nullptr) *bytesReturned = result == kErrorSuccess ? bytes : 0;
    if (result == kErrorSuccess && overlapped != nullptr) overlapped->Complete(kErrorSuccess, bytes);
    return result;
}

}  // namespace vantix
