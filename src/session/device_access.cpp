// Direct access to the camera for applications that need it: sensor and FPGA
// registers, the serial ROM, the general-purpose I/O port and the sampling
// rate.
#include "catalog/model_catalog.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {
constexpr int32_t kIoPortRegister = 7;  // FPGA register wired to the I/O connector
constexpr int kSromVerifyAttempts = 10;
}  // namespace

int32_t CVantix::ReadRegister(int32_t reg, int32_t* ok) {
    if (ok != nullptr) *ok = 0;
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    int32_t read = 0;
    const int32_t value = engine_->ReadSensorRegister(reg, &read);
    if (!read) {
        RecordError(vantix::kErrorEngineRefused);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    return value;
}

int32_t CVantix::WriteRegister(int32_t reg, int32_t value) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (!engine_->WriteSensorRegister(reg, value)) {
        RecordError(vantix::kErrorEngineRefused);
        return 0;
    }
    return 1;
}

// The out int reports failure only: on success it keeps what the caller put
// there.
int32_t CVantix::ReadFpgaRegister(int32_t reg, int32_t* ok) {
    if (!engine_) {
        if (ok != nullptr) *ok = 0;
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    int32_t read = 0;
    const int32_t value = engine_->ReadFpgaRegister(reg & 0xFF, &read);
    if (!read) {
        if (ok != nullptr) *ok = 0;
        RecordError(vantix::kErrorEngineRefused);
        return 0;
    }
    return value & 0xFFFF;
}

int32_t CVantix::WriteFpgaRegister(int32_t reg, int32_t value) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (!engine_->WriteFpgaRegister(reg & 0xFF, value & 0xFFFF)) {
        RecordError(vantix::kErrorEngineRefused);
        return 0;
    }
    return 1;
}

int32_t CVantix::ReadSrom(int32_t address, int32_t* ok) {
    uint8_t value = 0;
    if (!engine_ || !engine_->ReadSrom(address & 0xFFF, &value)) {
        if (ok != nullptr) *ok = 0;
        NotifyOnly(vantix::kErrorNoEngine);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    return value;
}

// Writes a byte and reads it back, writing again up to ten times until it
// reads back right. The result reports that the first write was accepted.
int32_t CVantix::WriteSrom(int32_t address, int32_t value) {
    if (!engine_) {
        NotifyOnly(vantix::kErrorNoEngine);
        return 0;
    }
    const int32_t sromAddress = address & 0xFFF;
    const auto byte = static_cast<uint8_t>(value);
    if (!engine_->WriteSrom(sromAddress, byte)) {
        NotifyOnly(vantix::kErrorNoEngine);
        return 0;
    }
    for (int attempt = 0; attempt < kSromVerifyAttempts; ++attempt) {
        uint8_t readBack = 0;
        if (!engine_->ReadSrom(sromAddress, &readBack)) {
            readBack = 0;
            NotifyOnly(vantix::kErrorNoEngine);
        }
        if (readBack == byte) break;
        engine_->WriteSrom(sromAddress, byte);
    }
    return 1;
}

int32_t CVantix::GetIOPort(uint8_t* value) {
    if (!engine_) {
        NotifyOnly(vantix::kErrorNoEngine);
        return 0;
    }
    int32_t read = 0;
    const int32_t port = value != nullptr ? engine_->ReadFpgaRegister(kIoPortRegister, &read) : 0;
    if (value == nullptr || !read) {
        NotifyOnly(vantix::kErrorArgument);
        return 0;
    }
    *value = static_cast<uint8_t>(port);
    return 1;
}

int32_t CVantix::SetIOPort(uint8_t value) {
    if (!engine_) {
        NotifyOnly(vantix::kErrorNoEngine);
        return 0;
    }
    return engine_->WriteFpgaRegister(kIoPortRegister, value);
}

// The sensor reads the first two bytes of the rate as {address, value}.
int32_t CVantix::SetSamplingRate(int32_t rate) {
    if (!engine_) return 0;
    return engine_->AccessDevice(0, 0, &rate);
}

// ---- Text channel ----

namespace {
bool HasTextChannel(vantix::CVantixU3K9Base& engine) {
    return vantix::LookupModel(static_cast<uint16_t>(engine.GetModelId())).engine.textChannel;
}
}  // namespace

int32_t CVantix::SendText(const char* text, int32_t length) {
    if (!engine_ || !HasTextChannel(*engine_)) {
        RecordError(vantix::kErrorNotSupported);
        return 0;
    }
    if (text == nullptr || length <= 0) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    if (!engine_->SendText(text, length)) {
        RecordError(vantix::kErrorEngineRefused);
        return 0;
    }
    return 1;
}

int32_t CVantix::ReceiveText(char* text, int32_t length) {
    if (!engine_ || !HasTextChannel(*engine_)) {
        RecordError(vantix::kErrorNotSupported);
        return 0;
    }
    if (text == nullptr || length < 0) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    return engine_->ReceiveText(text, length);
}
