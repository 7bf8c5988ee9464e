#include "emulator/virtual_camera.h"

#include <algorithm>
#include <cstring>

#include "catalog/model_catalog.h"

namespace vantix::emulator {
namespace {

using Clock = std::chrono::steady_clock;

// Serial-bus devices of the camera (8-bit write addresses; reads use +1).
constexpr uint8_t kFpgaAddress = 0x40;
constexpr uint8_t kAuxAddress = 0x5A;
constexpr uint8_t kEepromAddress = 0xA2;
// An EEPROM ignores the bus while it programs a byte; the library waits
// longer than this after every write.
constexpr auto kEepromWriteCycle = std::chrono::milliseconds(5);

// FPGA registers the virtual camera gives meaning to.
constexpr uint8_t kFpgaBusyWord = 2;       // reads 0: never busy
constexpr uint8_t kFpgaFrameCounter = 8;   // low byte of the frame counter
constexpr uint8_t kFpgaHeightLow = 64;     // window height, low and high byte
constexpr uint8_t kFpgaWidthLow = 68;      // window width, low and high byte
constexpr uint8_t kFpgaAltHeightLow = 154; // the same for models with a wider register map
constexpr uint8_t kFpgaAltWidthLow = 156;
constexpr uint8_t kFpgaBitDepth = 0x3C;    // 2: 16-bit samples, otherwise 8-bit
constexpr uint8_t kFpgaConverterDepth = 0x3D;
constexpr uint8_t kFpgaAltBitDepth = 0xA3;

// Vendor requests.
constexpr uint8_t kBusWrite = 0x30;
constexpr uint8_t kBusRead = 0x31;
constexpr uint8_t kWriteMode = 0x3C;
constexpr uint8_t kReadMode = 0x3D;
constexpr uint8_t kSendWordPair = 0x3E;
constexpr uint8_t kQueryWord = 0x3F;
constexpr uint8_t kDeviceBlockA = 0xB0;
constexpr uint8_t kDeviceBlockB = 0xB1;
constexpr uint8_t kRestartStream = 0xC0;
constexpr uint8_t kRequestFrame = 0xC2;
constexpr uint8_t kReadyFlag = 0xC3;
constexpr uint8_t kRequestCC = 0xCC;
constexpr uint8_t kCameraRegisterWrite = 0xD0;
constexpr uint8_t kCameraRegisterRead = 0xD1;

constexpr size_t kFrameHeaderBytes = 64;
constexpr size_t kHeaderPayloadCount = 16;
constexpr size_t kHeaderFrameCounter = 32;
constexpr size_t kDeviceBlockVersion = 24;

bool UsesWideRegisterMap(uint16_t model) { return model == 0x31E0 || model == 0x32D0; }

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

CameraProfile ProfileForModel(uint16_t modelId) {
    CameraProfile profile;
    profile.modelId = modelId;
    // The sensor answers at the bus address the library's model table gives.
    profile.sensorAddress = static_cast<uint8_t>(LookupModel(modelId).busAddress);
    struct SensorArray {
        uint16_t modelId;
        uint32_t width;
        uint32_t height;
        BayerPattern pattern;
    };
    // Pixel arrays of the models whose sensors the emulator models.
    static constexpr SensorArray kArrays[] = {
        {0x3020, 4608, 3288, BayerPattern::GRBG},
        {0x3030, 2592, 1944, BayerPattern::GRBG},
        {0x3040, 3856, 2764, BayerPattern::GRBG},
        {0x3042, 3856, 2764, BayerPattern::GRBG},
    };
    for (const SensorArray& array : kArrays) {
        if (array.modelId == modelId) {
            profile.sensorWidth = array.width;
            profile.sensorHeight = array.height;
            profile.pattern = array.pattern;
        }
    }
    return profile;
}

VirtualCamera::VirtualCamera(const CameraProfile& profile)
    : profile_(profile),
      eeprom_(std::make_unique<std::array<uint8_t, 0x10000>>()),
      sensor_(MakePlainRegisterFile()) {
    eeprom_->fill(0xFF);  // an erased EEPROM
    blockA_[kDeviceBlockVersion] = 0x00;
    blockA_[kDeviceBlockVersion + 1] = 0x12;  // firmware 0x1200
    scene_.pattern = profile.pattern;
    const bool wide = UsesWideRegisterMap(profile.modelId);
    const uint8_t widthReg = wide ? kFpgaAltWidthLow : kFpgaWidthLow;
    const uint8_t heightReg = wide ? kFpgaAltHeightLow : kFpgaHeightLow;
    fpga_[widthReg] = static_cast<uint8_t>(profile.sensorWidth);
    fpga_[widthReg + 1] = static_cast<uint8_t>(profile.sensorWidth >> 8);
    fpga_[heightReg] = static_cast<uint8_t>(profile.sensorHeight);
    fpga_[heightReg + 1] = static_cast<uint8_t>(profile.sensorHeight >> 8);
    server_ = std::thread([this] { ServeQueue(); });
}

VirtualCamera::~VirtualCamera() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const PendingRead& read : queue_) Complete(read, kErrorOperationAborted, 0, 0);
        queue_.clear();
    }
    changed_.notify_all();
    server_.join();
}

// ---- Endpoint 0 ----

uint32_t VirtualCamera::ControlRequest(Ep0Record& record, uint32_t* returned) {
    std::lock_guard lock(mutex_);
    if (!present_) return kErrorDeviceNotConnected;
    const TransferHeader& h = record.header;
    uint8_t* data = record.data;
    if (faults_.stallCount > 0 && faults_.stallRequest == h.request) {
        --faults_.stallCount;
        return kErrorGenFailure;
    }
    const bool in = (h.requestType & 0x80) != 0;
    uint32_t dataCount = 0;
    bool ok = true;
    switch (h.request) {
        case kBusWrite:
            ok = !in && h.value <= kEp0DataSize && BusWrite(static_cast<uint8_t>(h.index), data, h.value);
            break;
        case kBusRead:
            ok = in && h.value <= kEp0DataSize && BusRead(static_cast<uint8_t>(h.index & ~1u), data, h.value);
            dataCount = h.value;
            break;
        case kWriteMode:
            modeByte_ = data[0];
            break;
        case kReadMode:
            data[0] = modeByte_;
            dataCount = 1;
            break;
        case kSendWordPair:
            wordPair_[0] = static_cast<uint16_t>(data[0] << 8 | data[1]);
            wordPair_[1] = static_cast<uint16_t>(data[2] << 8 | data[3]);
            break;
        case kQueryWord:
            // Answers with the last word pair's second value, so a host can
            // check that the pair arrived.
            data[0] = static_cast<uint8_t>(wordPair_[1]);
            data[1] = static_cast<uint8_t>(wordPair_[1] >> 8);
            dataCount = 2;
            break;
        case kDeviceBlockA:
        case kDeviceBlockB:
            std::memcpy(data, (h.request == kDeviceBlockA ? blockA_ : blockB_).data(), kEp0DataSize);
            dataCount = kEp0DataSize;
            break;
        case kRestartStream:
            StopStream();
            break;
        case kRequestFrame:
            RequestFrame();
            break;
        case kReadyFlag:
            std::memset(data, 0, kEp0DataSize);
            data[0] = 1;
            dataCount = kEp0DataSize;
            break;
        case kRequestCC:
            break;
        case kCameraRegisterWrite: {
            const uint32_t value = static_cast<uint32_t>(data[0]) | data[1] << 8 | data[2] << 16 |
                                   static_cast<uint32_t>(data[3]) << 24;
            cameraRegisters_[static_cast<uint16_t>((h.value & 1) << 15 | (h.index & 0x7FFF))] = value;
            break;
        }
        case kCameraRegisterRead: {
            std::memset(data, 0, kEp0DataSize);
            const auto it = cameraRegisters_.find(h.index);
            const uint32_t value = it == cameraRegisters_.end() ? 0 : it->second;
            data[0] = static_cast<uint8_t>(value);
            data[1] = static_cast<uint8_t>(value >> 8);
            dataCount = kEp0DataSize;
            break;
        }
        default:
            ok = false;
    }
    if (!ok) return kErrorGenFailure;
    if (in && faults_.shortCount > 0 && faults_.shortRequest == h.request) {
        --faults_.shortCount;
        dataCount = std::min(dataCount, faults_.shortBytes);
    }
    *returned = kTransferHeaderSize + (in ? dataCount : kEp0DataSize);
    return kErrorSuccess;
}

bool VirtualCamera::BusWrite(uint8_t address, const uint8_t* data, size_t count) {
    if (address == kFpgaAddress) {
        // [register] moves the pointer; [register, 0x00, value] writes.
        if (count == 0) return false;
        fpgaPointer_ = data[0];
        if (count >= 3) fpga_[data[0]] = data[2];
        return true;
    }
    if (address == kAuxAddress) {
        if (count == 0) return false;
        auxPointer_ = data[0];
        if (count >= 2) aux_[data[0]] = data[1];
        return true;
    }
    if (address == kEepromAddress) {
        if (count < 2 || Clock::now() < eepromBusyUntil_) return false;
        eepromPointer_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
        if (count >= 3) {
            for (size_t i = 2; i < count; ++i) (*eeprom_)[static_cast<uint16_t>(eepromPointer_ + i - 2)] = data[i];
            eepromBusyUntil_ = Clock::now() + kEepromWriteCycle;
        }
        return true;
    }
    if (address == profile_.sensorAddress) return sensor_->Write(data, count);
    return false;
}

bool VirtualCamera::BusRead(uint8_t address, uint8_t* data, size_t count) {
    if (address == kFpgaAddress) {
        // Two bytes: a zero high byte, then the register.
        uint8_t value = fpga_[fpgaPointer_];
        if (fpgaPointer_ == kFpgaBusyWord) value = 0;
        if (fpgaPointer_ == kFpgaFrameCounter) value = static_cast<uint8_t>(frameCounter_);
        for (size_t i = 0; i < count; ++i) data[i] = i == 1 ? value : 0;
        return true;
    }
    if (address == kAuxAddress) {
        for (size_t i = 0; i < count; ++i) data[i] = aux_[static_cast<uint8_t>(auxPointer_ + i)];
        return true;
    }
    if (address == kEepromAddress) {
        if (Clock::now() < eepromBusyUntil_) return false;
        for (size_t i = 0; i < count; ++i) data[i] = (*eeprom_)[eepromPointer_++];
        return true;
    }
    if (address == profile_.sensorAddress) return sensor_->Read(data, count);
    return false;
}

// ---- Stream ----

FrameGeometry VirtualCamera::CurrentGeometry() const {
    const bool wide = UsesWideRegisterMap(profile_.modelId);
    const uint8_t widthReg = wide ? kFpgaAltWidthLow : kFpgaWidthLow;
    const uint8_t heightReg = wide ? kFpgaAltHeightLow : kFpgaHeightLow;
    FrameGeometry g;
    g.width = static_cast<uint32_t>(fpga_[widthReg] | fpga_[widthReg + 1] << 8);
    g.height = static_cast<uint32_t>(fpga_[heightReg] | fpga_[heightReg + 1] << 8);
    bool sixteen;
    switch (profile_.modelId) {
        case 0x3042: sixteen = modeByte_ == 1; break;
        case 0x3130: sixteen = fpga_[kFpgaConverterDepth] != 0; break;
        case 0x31E0:
        case 0x32D0: sixteen = fpga_[kFpgaAltBitDepth] == 2; break;
        default: sixteen = fpga_[kFpgaBitDepth] == 2; break;
    }
    g.bytesPerSample = sixteen ? 2 : 1;
    return g;
}

void VirtualCamera::RequestFrame() {
    // A request in the middle of a frame makes the firmware drop the rest of
    // it and start over.
    if (frameRequested_ && !headerServed_) return;
    const Clock::time_point now = Clock::now();
    Clock::time_point due = now;
    if (!unthrottled_) {
        const uint32_t periodUs = framePeriodUs_ ? framePeriodUs_ : sensor_->FramePeriodUs();
        due = std::max(now, lastFrameDue_ + std::chrono::microseconds(periodUs));
    }
    frameRequested_ = true;
    headerServed_ = false;
    frameDue_ = due;
    lastFrameDue_ = due;
    changed_.notify_all();
}

void VirtualCamera::StopStream() {
    frameRequested_ = false;
    headerServed_ = false;
    changed_.notify_all();
}

void VirtualCamera::StartFrame() {
    ++frameCounter_;
    SceneSettings scene = scene_;
    scene.brightness *= sensor_->Brightness();
    const FrameGeometry geometry = CurrentGeometry();
    renderer_.Prepare(scene, geometry, frameCounter_);
    payloadBytes_ = geometry.PayloadBytes();
    payloadServed_ = 0;
}

VirtualCamera::Readiness VirtualCamera::Evaluate(uint8_t endpoint, Clock::time_point* at) {
    if (!present_) return Readiness::Gone;
    if (!frameRequested_) return Readiness::Blocked;
    if (endpoint == kStreamEndpoint && headerServed_) {
        return faults_.payloadTimeouts > 0 ? Readiness::Never : Readiness::Ready;
    }
    if (endpoint == kStreamEndpoint && faults_.headerTimeouts > 0) return Readiness::Never;
    if (Clock::now() < frameDue_) {
        *at = frameDue_;
        return Readiness::At;
    }
    return Readiness::Ready;
}

// Serves one read that Evaluate found ready; returns the bytes delivered.
uint32_t VirtualCamera::Serve(uint8_t endpoint, uint8_t* dst, uint32_t count, uint32_t* status) {
    *status = 0;
    if (faults_.badStatusTransfers > 0) {
        --faults_.badStatusTransfers;
        *status = 1;
    }
    if (endpoint != kStreamEndpoint) {
        // Direct frames: the whole payload without a header, one read per frame.
        StartFrame();
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, payloadBytes_));
        renderer_.Render(0, dst, n);
        frameRequested_ = false;
        return n;
    }
    if (!headerServed_) {
        StartFrame();
        uint8_t header[kFrameHeaderBytes] = {};
        PutLe32(header + kHeaderPayloadCount,
                static_cast<uint32_t>(static_cast<int64_t>(payloadBytes_) + faults_.payloadCountDelta));
        PutLe32(header + kHeaderFrameCounter, frameCounter_);
        const auto n = static_cast<uint32_t>(std::min<size_t>(count, kFrameHeaderBytes));
        std::memcpy(dst, header, n);
        headerServed_ = true;
        if (payloadBytes_ == 0) frameRequested_ = false;
        return n;
    }
    uint64_t n = std::min<uint64_t>(count, payloadBytes_ - payloadServed_);
    const uint64_t untilRemoval = faults_.removeAfterPayloadBytes - std::min(faults_.removeAfterPayloadBytes,
                                                                             payloadSinceFault_);
    n = std::min(n, untilRemoval);
    renderer_.Render(payloadServed_, dst, n);
    payloadServed_ += n;
    payloadSinceFault_ += n;
    if (faults_.removeAfterPayloadBytes != UINT64_MAX && payloadSinceFault_ >= faults_.removeAfterPayloadBytes) {
        present_ = false;
        faults_.removeAfterPayloadBytes = UINT64_MAX;
    }
    if (payloadServed_ >= payloadBytes_) {
        frameRequested_ = false;
        headerServed_ = false;
    }
    return static_cast<uint32_t>(n);
}

void VirtualCamera::Complete(const PendingRead& read, uint32_t error, uint32_t bytes, uint32_t status) {
    if (read.header != nullptr) {
        read.header->statusA = status;
        read.header->statusB = 0;
    }
    read.overlapped->Complete(error, error == kErrorSuccess ? bytes + read.bias : 0);
}

uint32_t VirtualCamera::StreamRead(uint8_t endpoint, uint8_t* dst, uint32_t count, TransferHeader* header,
                                   Overlapped* overlapped, const void* owner, uint32_t bias, uint32_t* got) {
    std::unique_lock lock(mutex_);
    if (!present_) return kErrorDeviceNotConnected;
    if (endpoint != kStreamEndpoint && endpoint != kDirectFrameEndpoint) return kErrorInvalidParameter;
    Clock::time_point at;
    // Reads on an endpoint finish in order: a read can only be served at once
    // when nothing is queued before it.
    if (queue_.empty() && Evaluate(endpoint, &at) == Readiness::Ready) {
        uint32_t status = 0;
        *got = Serve(endpoint, dst, count, &status);
        if (header != nullptr) {
            header->statusA = status;
            header->statusB = 0;
        }
        return kErrorSuccess;
    }
    if (overlapped == nullptr) return kErrorSemTimeout;  // a request handle never waits
    if (Evaluate(endpoint, &at) == Readiness::Never) {
        // This read is the one that never completes; the fault is used up.
        if (headerServed_) {
            --faults_.payloadTimeouts;
        } else {
            --faults_.headerTimeouts;
        }
        queue_.push_back({0, dst, count, header, overlapped, owner, bias});  // endpoint 0: never served
        return kErrorIoPending;
    }
    queue_.push_back({endpoint, dst, count, header, overlapped, owner, bias});
    changed_.notify_all();
    return kErrorIoPending;
}

void VirtualCamera::ServeQueue() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        // Find the first read that can make progress; the ones marked never
        // (endpoint 0) wait for an abort.
        auto it = std::find_if(queue_.begin(), queue_.end(), [](const PendingRead& r) { return r.endpoint != 0; });
        if (it == queue_.end()) {
            changed_.wait(lock);
            continue;
        }
        Clock::time_point at;
        const Readiness readiness = Evaluate(it->endpoint, &at);
        if (readiness == Readiness::Gone) {
            const PendingRead read = *it;
            queue_.erase(it);
            Complete(read, kErrorDeviceNotConnected, 0, 0);
            continue;
        }
        if (readiness == Readiness::At) {
            changed_.wait_until(lock, at);
            continue;
        }
        if (readiness != Readiness::Ready) {
            changed_.wait(lock);
            continue;
        }
        const PendingRead read = *it;
        queue_.erase(it);
        uint32_t status = 0;
        const uint32_t n = Serve(read.endpoint, read.dst, read.count, &status);
        Complete(read, kErrorSuccess, n, status);
        changed_.notify_all();
    }
}

void VirtualCamera::Abort(uint8_t endpoint, const void* owner) {
    std::lock_guard lock(mutex_);
    for (auto it = queue_.begin(); it != queue_.end();) {
        // Reads parked as "never" (endpoint 0) belong to the stream endpoint.
        const uint8_t readEndpoint = it->endpoint == 0 ? kStreamEndpoint : it->endpoint;
        const bool match = endpoint != 0 ? readEndpoint == endpoint : it->owner == owner;
        if (match) {
            Complete(*it, kErrorOperationAborted, 0, 0);
            it = queue_.erase(it);
        } else {
            ++it;
        }
    }
    // Reads are served under the lock, so once we hold it none is half done.
}

bool VirtualCamera::Present() const {
    std::lock_guard lock(mutex_);
    return present_;
}

void VirtualCamera::SetPresent(bool present) {
    std::lock_guard lock(mutex_);
    present_ = present;
    if (!present) {
        for (const PendingRead& read : queue_) Complete(read, kErrorDeviceNotConnected, 0, 0);
        queue_.clear();
        frameRequested_ = false;
        headerServed_ = false;
    }
    changed_.notify_all();
}

void VirtualCamera::SetScene(const SceneSettings& scene) {
    std::lock_guard lock(mutex_);
    scene_ = scene;
}

SceneSettings VirtualCamera::Scene() const {
    std::lock_guard lock(mutex_);
    return scene_;
}

void VirtualCamera::SetUnthrottled(bool unthrottled) {
    std::lock_guard lock(mutex_);
    unthrottled_ = unthrottled;
    changed_.notify_all();
}

void VirtualCamera::SetFramePeriodUs(uint32_t periodUs) {
    std::lock_guard lock(mutex_);
    framePeriodUs_ = periodUs;
}

void VirtualCamera::SetFaults(const FaultPlan& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    payloadSinceFault_ = 0;
    changed_.notify_all();
}

void VirtualCamera::SetDeviceBlockAVersion(uint16_t value) {
    std::lock_guard lock(mutex_);
    blockA_[kDeviceBlockVersion] = static_cast<uint8_t>(value);
    blockA_[kDeviceBlockVersion + 1] = static_cast<uint8_t>(value >> 8);
}

uint8_t VirtualCamera::FpgaRegister(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    return fpga_[reg];
}

void VirtualCamera::SetFpgaRegister(uint8_t reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    fpga_[reg] = value;
}

uint32_t VirtualCamera::CameraRegister(uint16_t address) const {
    std::lock_guard lock(mutex_);
    const auto it = cameraRegisters_.find(address);
    return it == cameraRegisters_.end() ? 0 : it->second;
}

uint8_t VirtualCamera::EepromByte(uint16_t address) const {
    std::lock_guard lock(mutex_);
    return (*eeprom_)[address];
}

uint32_t VirtualCamera::FrameCounter() const {
    std::lock_guard lock(mutex_);
    return frameCounter_;
}

void VirtualCamera::SetFrameCounter(uint32_t counter) {
    std::lock_guard lock(mutex_);
    frameCounter_ = counter;
}

void VirtualCamera::ReplaceSensor(std::unique_ptr<SensorPersonality> sensor) {
    std::lock_guard lock(mutex_);
    sensor_ = std::move(sensor);
}

SensorPersonality& VirtualCamera::Sensor() {
    std::lock_guard lock(mutex_);
    return *sensor_;
}

}  // namespace vantix::emulator
