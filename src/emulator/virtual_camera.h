#pragma once
// The firmware of one virtual camera: the USB controller's vendor requests
// and the frame stream on the bulk endpoints, in front of a head personality
// (head_personality.h) that answers the serial bus, the FPGA and camera
// registers and gives each frame its geometry and timing. The emulator driver
// presents it behind the same device-file interface as a real camera.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "emulator/head_personality.h"
#include "emulator/scene.h"
#include "emulator/sensor_personality.h"
#include "emulator/virtual_models.h"
#include "platform/win_errors.h"

namespace vantix::emulator {

// A control transfer's setup packet as the camera sees it.
struct SetupPacket {
    uint8_t requestType;  // bit 7: device to host
    uint8_t request;
    uint16_t value;
    uint16_t index;
};
inline constexpr uint32_t kControlDataBytes = 64;
// The bulk endpoints: frames with a header, and direct frames.
inline constexpr uint8_t kFrameEndpoint = 0x81;
inline constexpr uint8_t kDirectFrameEndpointIn = 0x83;

// How a queued read ends: the error (kErrorSuccess when data came), the
// bytes delivered and the transfer's status word.
using ReadCompletion = std::function<void(uint32_t error, uint32_t bytes, uint32_t status)>;

// Faults to inject; each counter applies to that many upcoming events.
struct FaultPlan {
    uint32_t headerTimeouts = 0;    // header reads that never complete (until aborted)
    uint32_t payloadTimeouts = 0;   // payload reads that never complete
    int32_t payloadCountDelta = 0;  // added to the payload count in every header while set
    uint8_t stallRequest = 0;       // vendor request code that fails ...
    uint32_t stallCount = 0;        // ... this many times
    uint8_t shortRequest = 0;       // vendor request whose reply is cut ...
    uint32_t shortBytes = 0;        // ... to this many data bytes ...
    uint32_t shortCount = 0;        // ... this many times
    uint32_t badStatusTransfers = 0;  // stream transfers completing with non-zero status words
    uint32_t shortHeaders = 0;        // frame headers cut to half their 64 bytes
    // Unplug the camera after serving this many payload bytes (counted from
    // when it was set); UINT64_MAX = never.
    uint64_t removeAfterPayloadBytes = UINT64_MAX;
    // The next replyCount in-requests with code replyRequest answer with
    // replyData and report replyBytes data bytes (more than the 64-byte data
    // stage: an over-long answer).
    uint8_t replyRequest = 0;
    uint32_t replyCount = 0;
    uint32_t replyBytes = 0;
    std::array<uint8_t, 64> replyData{};
    // The next headerCount frame headers are headerData instead of the
    // camera's own, served as headerBytes bytes (fewer than 64: cut short).
    uint32_t headerCount = 0;
    uint32_t headerBytes = 64;
    std::array<uint8_t, 64> headerData{};
};

// What a virtual camera of a model looks like: the controller's vendor id
// and the head of the emulator's model table.
struct CameraProfile {
    uint16_t vendorId = 0x04B4;
    VirtualModel model;
};

// The profile of a model from the emulator's model table.
CameraProfile ProfileForModel(uint16_t modelId);

class VirtualCamera {
public:
    explicit VirtualCamera(const CameraProfile& profile);
    ~VirtualCamera();
    VirtualCamera(const VirtualCamera&) = delete;
    VirtualCamera& operator=(const VirtualCamera&) = delete;

    const CameraProfile& Profile() const { return profile_; }

    // ---- Host side, called by the virtual-camera driver ----
    // A control transfer on endpoint 0: the setup packet and its 64-byte
    // data stage (sent for out requests, filled for in requests). Returns
    // kErrorSuccess with *replyBytes = the data bytes of an in request's
    // reply, or a failure code (the request stalls).
    uint32_t ControlRequest(const SetupPacket& setup, uint8_t* data, uint32_t* replyBytes);
    // A bulk read of up to `count` bytes from `endpoint` into dst. Completes
    // at once (kErrorSuccess, *got and *status set) when data is ready;
    // otherwise, when `mayWait`, it is queued (kErrorIoPending) and `done`
    // reports its end later, called with the camera's lock held; without
    // `mayWait` a read that is not ready fails with kErrorSemTimeout. `owner`
    // identifies the handle for Abort. *status and done's status are the
    // transfer's completion status word (0: good).
    uint32_t StreamRead(uint8_t endpoint, uint8_t* dst, uint32_t count, const void* owner, bool mayWait,
                        ReadCompletion done, uint32_t* got, uint32_t* status);
    // Completes every queued read of `endpoint` (or of `owner` when endpoint
    // is 0) with kErrorOperationAborted, and waits until none is being served.
    void Abort(uint8_t endpoint, const void* owner);
    bool Present() const;

    // ---- Control side, for tests and tools ----
    void SetPresent(bool present);
    void SetScene(const SceneSettings& scene);
    SceneSettings Scene() const;
    void SetUnthrottled(bool unthrottled);
    void SetFramePeriodUs(uint32_t periodUs);  // 0: take it from the sensor
    void SetFaults(const FaultPlan& faults);
    void SetDeviceBlockAVersion(uint16_t value);
    uint8_t FpgaRegister(uint8_t reg) const;
    void SetFpgaRegister(uint8_t reg, uint8_t value);
    uint32_t CameraRegister(uint16_t address) const;  // bit 15 selects the bank
    uint8_t EepromByte(uint16_t address) const;
    uint32_t FrameCounter() const;
    void SetFrameCounter(uint32_t counter);
    void ReplaceSensor(std::unique_ptr<SensorPersonality> sensor);
    // For inspection in tests while the camera is idle.
    SensorPersonality& Sensor();
    // Replaces the head (the standard head until then); for heads with
    // controllers of their own.
    void ReplaceHead(std::unique_ptr<HeadPersonality> head);
    // See HeadPersonality::SetSensorBusBusyReads.
    void SetSensorBusBusyReads(uint32_t reads);

private:
    enum class Readiness { Ready, At, Blocked, Never, Gone };
    struct PendingRead {
        uint8_t endpoint;
        uint8_t* dst;
        uint32_t count;
        const void* owner;
        ReadCompletion done;
    };

    // All below run with mutex_ held.
    void RequestFrame();
    void StopStream();
    Readiness Evaluate(uint8_t endpoint, std::chrono::steady_clock::time_point* at);
    uint32_t Serve(uint8_t endpoint, uint8_t* dst, uint32_t count, uint32_t* status);
    void StartFrame();
    void ServeQueue();
    void WakeServer();

    const CameraProfile profile_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool present_ = true;
    bool stopping_ = false;

    std::unique_ptr<HeadPersonality> head_;
    std::array<uint8_t, 64> blockA_{};
    std::array<uint8_t, 64> blockB_{};
    uint8_t modeByte_ = 0;
    uint16_t wordPair_[2] = {0, 0};

    SceneSettings scene_;
    FaultPlan faults_;
    bool unthrottled_ = false;
    uint32_t framePeriodUs_ = 0;
    // Stream state: a requested frame becomes due at frameDue_; its header is
    // served first, then the payload in reads of any size.
    bool frameRequested_ = false;
    bool headerServed_ = false;
    std::chrono::steady_clock::time_point frameDue_{};
    std::chrono::steady_clock::time_point lastFrameDue_{};
    bool streaming_ = false;  // a frame was requested since the last stream restart
    FrameRenderer renderer_;
    uint64_t payloadBytes_ = 0;
    uint64_t payloadServed_ = 0;
    uint64_t payloadSinceFault_ = 0;
    uint32_t frameCounter_ = 0xFFFFFFF0u;  // close to the wrap, to flush out counter bugs

    std::deque<PendingRead> queue_;
    std::thread server_;
};

}  // namespace vantix::emulator
