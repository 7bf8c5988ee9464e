#include "emulator/virtual_camera.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vantix::emulator {
namespace {

using Clock = std::chrono::steady_clock;

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

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

CameraProfile ProfileForModel(uint16_t modelId) {
    CameraProfile profile;
    profile.model = LookupVirtualModel(modelId);
    return profile;
}

VirtualCamera::VirtualCamera(const CameraProfile& profile)
    : profile_(profile), head_(std::make_unique<HeadPersonality>(profile.model)) {
    blockA_[kDeviceBlockVersion] = 0x00;
    blockA_[kDeviceBlockVersion + 1] = 0x12;  // firmware 0x1200
    scene_.pattern = profile.model.pattern;
    // A line sensor sees what moves past it: its frames are strips of a
    // moving pattern.
    if (profile.model.head == EmulatedHead::FpgaTimedLines) scene_.kind = SceneKind::Moving;
    // A process that asked for another scene (VANTIX_EMULATE_SCENE) gets it
    // on every camera it plugs, also those plugged after start-up.
    if (const char* name = std::getenv("VANTIX_EMULATE_SCENE"); name != nullptr && *name != '\0') {
        SceneKind kind{};
        if (ParseSceneName(name, &kind)) scene_.kind = kind;
    }
    head_->SetFrameCounter(frameCounter_);
    server_ = std::thread([this] { ServeQueue(); });
}

VirtualCamera::~VirtualCamera() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const PendingRead& read : queue_) read.done(kErrorOperationAborted, 0, 0);
        queue_.clear();
    }
    changed_.notify_all();
    server_.join();
}

// ---- Endpoint 0 ----

uint32_t VirtualCamera::ControlRequest(const SetupPacket& h, uint8_t* data, uint32_t* replyBytes) {
    std::lock_guard lock(mutex_);
    if (!present_) return kErrorDeviceNotConnected;
    if (faults_.stallCount > 0 && faults_.stallRequest == h.request) {
        --faults_.stallCount;
        return kErrorGenFailure;
    }
    const bool in = (h.requestType & 0x80) != 0;
    uint32_t dataCount = 0;
    bool ok = true;
    switch (h.request) {
        case kBusWrite:
            ok = !in && h.value <= kControlDataBytes && head_->BusWrite(static_cast<uint8_t>(h.index), data, h.value);
            break;
        case kBusRead:
            ok = in && h.value <= kControlDataBytes &&
                 head_->BusRead(static_cast<uint8_t>(h.index & ~1u), data, h.value);
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
            std::memcpy(data, (h.request == kDeviceBlockA ? blockA_ : blockB_).data(), kControlDataBytes);
            dataCount = kControlDataBytes;
            break;
        case kRestartStream:
            StopStream();
            break;
        case kRequestFrame:
            RequestFrame();
            break;
        case kReadyFlag:
            std::memset(data, 0, kControlDataBytes);
            data[0] = 1;
            dataCount = kControlDataBytes;
            break;
        case kRequestCC:
            break;
        case kCameraRegisterWrite: {
            const uint32_t value = static_cast<uint32_t>(data[0]) | data[1] << 8 | data[2] << 16 |
                                   static_cast<uint32_t>(data[3]) << 24;
            head_->WriteCameraRegister(static_cast<uint16_t>((h.value & 1) << 15 | (h.index & 0x7FFF)), value);
            break;
        }
        case kCameraRegisterRead: {
            std::memset(data, 0, kControlDataBytes);
            const uint32_t value = head_->ReadCameraRegister(h.index);
            data[0] = static_cast<uint8_t>(value);
            data[1] = static_cast<uint8_t>(value >> 8);
            dataCount = kControlDataBytes;
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
    if (in && faults_.replyCount > 0 && faults_.replyRequest == h.request) {
        --faults_.replyCount;
        std::memcpy(data, faults_.replyData.data(), kControlDataBytes);
        dataCount = faults_.replyBytes;
    }
    *replyBytes = in ? dataCount : 0;
    return kErrorSuccess;
}

// ---- Stream ----

void VirtualCamera::RequestFrame() {
    // A request in the middle of a frame makes the firmware drop the rest of
    // it and start over.
    if (frameRequested_ && !headerServed_) return;
    const Clock::time_point now = Clock::now();
    Clock::time_point due = now;
    if (!unthrottled_) {
        const auto period = std::chrono::microseconds(framePeriodUs_ ? framePeriodUs_ : head_->FramePeriodUs());
        // The first frame after a (re)start is integrated from the start on,
        // so it takes a whole period (at least the exposure); later frames
        // follow one period after the previous one.
        due = streaming_ ? std::max(now, lastFrameDue_ + period) : now + period;
    }
    streaming_ = true;
    frameRequested_ = true;
    headerServed_ = false;
    frameDue_ = due;
    lastFrameDue_ = due;
    WakeServer();
}

void VirtualCamera::StopStream() {
    streaming_ = false;
    frameRequested_ = false;
    headerServed_ = false;
    WakeServer();
}

void VirtualCamera::StartFrame() {
    ++frameCounter_;
    head_->SetFrameCounter(frameCounter_);
    SceneSettings scene = scene_;
    scene.brightness *= head_->Brightness();
    const FrameGeometry geometry = head_->Geometry(modeByte_);
    renderer_.Prepare(scene, geometry, head_->SceneFrameIndex(frameCounter_));
    payloadBytes_ = geometry.PayloadBytes();
    payloadServed_ = 0;
}

VirtualCamera::Readiness VirtualCamera::Evaluate(uint8_t endpoint, Clock::time_point* at) {
    if (!present_) return Readiness::Gone;
    if (!frameRequested_) return Readiness::Blocked;
    if (endpoint == kFrameEndpoint && headerServed_) {
        return faults_.payloadTimeouts > 0 ? Readiness::Never : Readiness::Ready;
    }
    if (endpoint == kFrameEndpoint && faults_.headerTimeouts > 0) return Readiness::Never;
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
    if (endpoint != kFrameEndpoint) {
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
        size_t headerBytes = kFrameHeaderBytes;
        if (faults_.shortHeaders > 0) {
            --faults_.shortHeaders;
            headerBytes = kFrameHeaderBytes / 2;
        }
        if (faults_.headerCount > 0) {
            --faults_.headerCount;
            std::memcpy(header, faults_.headerData.data(), kFrameHeaderBytes);
            headerBytes = std::min<size_t>(faults_.headerBytes, kFrameHeaderBytes);
        }
        const auto n = static_cast<uint32_t>(std::min<size_t>(count, headerBytes));
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

uint32_t VirtualCamera::StreamRead(uint8_t endpoint, uint8_t* dst, uint32_t count, const void* owner, bool mayWait,
                                   ReadCompletion done, uint32_t* got, uint32_t* status) {
    std::unique_lock lock(mutex_);
    if (!present_) return kErrorDeviceNotConnected;
    if (endpoint != kFrameEndpoint && endpoint != kDirectFrameEndpointIn) return kErrorInvalidParameter;
    Clock::time_point at;
    // Reads on an endpoint finish in order: a read can only be served at once
    // when nothing is queued before it.
    if (queue_.empty() && Evaluate(endpoint, &at) == Readiness::Ready) {
        *got = Serve(endpoint, dst, count, status);
        return kErrorSuccess;
    }
    if (!mayWait) return kErrorSemTimeout;  // a request handle never waits
    if (Evaluate(endpoint, &at) == Readiness::Never) {
        // This read is the one that never completes; the fault is used up.
        if (headerServed_) {
            --faults_.payloadTimeouts;
        } else {
            --faults_.headerTimeouts;
        }
        queue_.push_back({0, dst, count, owner, std::move(done)});  // endpoint 0: never served
        return kErrorIoPending;
    }
    queue_.push_back({endpoint, dst, count, owner, std::move(done)});
    changed_.notify_all();
    return kErrorIoPending;
}

// Only a queued read can make progress on a change of state; with nothing
// queued, waking the server would just have it contend for the lock with the
// thread that is reading inline.
void VirtualCamera::WakeServer() {
    if (!queue_.empty()) changed_.notify_all();
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
            read.done(kErrorDeviceNotConnected, 0, 0);
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
        read.done(kErrorSuccess, n, status);
        changed_.notify_all();
    }
}

void VirtualCamera::Abort(uint8_t endpoint, const void* owner) {
    std::lock_guard lock(mutex_);
    for (auto it = queue_.begin(); it != queue_.end();) {
        // Reads parked as "never" (endpoint 0) belong to the stream endpoint.
        const uint8_t readEndpoint = it->endpoint == 0 ? kFrameEndpoint : it->endpoint;
        const bool match = endpoint != 0 ? readEndpoint == endpoint : it->owner == owner;
        if (match) {
            it->done(kErrorOperationAborted, 0, 0);
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
        for (const PendingRead& read : queue_) read.done(kErrorDeviceNotConnected, 0, 0);
        queue_.clear();
        frameRequested_ = false;
        headerServed_ = false;
    }
    WakeServer();
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
    WakeServer();
}

void VirtualCamera::SetFramePeriodUs(uint32_t periodUs) {
    std::lock_guard lock(mutex_);
    framePeriodUs_ = periodUs;
}

void VirtualCamera::SetFaults(const FaultPlan& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    payloadSinceFault_ = 0;
    WakeServer();
}

void VirtualCamera::SetDeviceBlockAVersion(uint16_t value) {
    std::lock_guard lock(mutex_);
    blockA_[kDeviceBlockVersion] = static_cast<uint8_t>(value);
    blockA_[kDeviceBlockVersion + 1] = static_cast<uint8_t>(value >> 8);
}

uint8_t VirtualCamera::FpgaRegister(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    return head_->FpgaRegisterValue(reg);
}

void VirtualCamera::SetFpgaRegister(uint8_t reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    head_->WriteFpgaRegister(reg, value);
}

uint32_t VirtualCamera::CameraRegister(uint16_t address) const {
    std::lock_guard lock(mutex_);
    return head_->ReadCameraRegister(address);
}

uint8_t VirtualCamera::EepromByte(uint16_t address) const {
    std::lock_guard lock(mutex_);
    return head_->EepromByte(address);
}

uint32_t VirtualCamera::FrameCounter() const {
    std::lock_guard lock(mutex_);
    return frameCounter_;
}

void VirtualCamera::SetFrameCounter(uint32_t counter) {
    std::lock_guard lock(mutex_);
    frameCounter_ = counter;
    head_->SetFrameCounter(counter);
}

void VirtualCamera::ReplaceSensor(std::unique_ptr<SensorPersonality> sensor) {
    std::lock_guard lock(mutex_);
    head_->ReplaceSensor(std::move(sensor));
}

SensorPersonality& VirtualCamera::Sensor() {
    std::lock_guard lock(mutex_);
    return head_->Sensor();
}

void VirtualCamera::ReplaceHead(std::unique_ptr<HeadPersonality> head) {
    std::lock_guard lock(mutex_);
    head->SetFrameCounter(frameCounter_);
    head_ = std::move(head);
}

void VirtualCamera::SetSensorBusBusyReads(uint32_t reads) {
    std::lock_guard lock(mutex_);
    head_->SetSensorBusBusyReads(reads);
}

}  // namespace vantix::emulator
