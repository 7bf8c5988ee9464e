#pragma once
// The one reading of a device-control call's arguments, shared by every
// driver behind the device files (libusb for real cameras, the virtual
// camera adapter), so that both answer a malformed call with the same error.
// A driver decodes first and then carries out the request it was given.
#include <cstdint>

#include "drivers/device_file.h"
#include "drivers/transfer_record.h"

namespace vantix {

enum class IoRequestKind : uint8_t {
    Ep0Transfer,     // a vendor request on endpoint 0
    BulkTransfer,    // a buffered stream read: the reply is the header and the data
    DirectTransfer,  // a stream read into the caller's buffer; status words to the header
    AbortPipe,
    ResetPipe,
    ResetPort,
    GetSpeed,
};

struct IoRequest {
    IoRequestKind kind = IoRequestKind::ResetPort;
    // Ep0Transfer: the record sent, copied from the input; the reply goes
    // back to `reply` (header and the bytes returned).
    Ep0Record record{};
    void* reply = nullptr;
    // Bulk and direct transfers: the header sent (copied), where the data
    // goes and how much of it, where the completion status words go, and the
    // header bytes the returned count includes.
    TransferHeader header{};
    uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    TransferHeader* statusHeader = nullptr;
    uint32_t bytesBias = 0;
    // AbortPipe, ResetPipe: the endpoint; transfers: the stream endpoint.
    uint8_t endpoint = 0;
    // GetSpeed: the 4-byte output.
    void* speed = nullptr;
};

// kErrorSuccess with *request filled; kErrorInvalidParameter for an unknown
// code, a missing or short input, an output endpoint for a read;
// kErrorInsufficientBuffer for an output too small for the reply.
uint32_t DecodeIoRequest(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize, IoRequest* request);

// The end of a call that finished at once: sets *bytesReturned (0 on
// failure) and, on success, completes the Overlapped as an overlapped call
// that succeeds synchronously does; returns `result`.
uint32_t FinishAtOnce(uint32_t result, uint32_t bytes, uint32_t* bytesReturned, Overlapped* overlapped);

}  // namespace vantix
