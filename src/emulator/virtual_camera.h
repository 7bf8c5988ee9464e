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
#include <memory>
#include <mutex>
#include <thread>

#include "emulator/head_personality.h"
#include "emulator/scene.h"
#include "emulator/sensor_personality.h"
#include "emulator/virtual_models.h"
#include "platform/device_file.h"
#include "transport/transfer_record.h"

namespace vantix::emulator {

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
    // Unplug the camera after serving this many payload bytes (counted from
    // when it was set); UINT64_MAX = never.
    uint64_t removeAfterPayloadBytes = UINT64_MAX;
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

    // ---- Host side, called by the emulator driver ----
    // An endpoint-0 request on `record` (102 bytes). Returns kErrorSuccess with
    // *returned = 38 + data bytes, or a failure code.
    uint32_t ControlRequest(Ep0Record& record, uint32_t* returned);
    // A bulk read from `endpoint` into dst. Completes at once (kErrorSuccess,
    // *got set) when data is ready; with an Overlapped it may be queued and
    // return kErrorIoPending; `header` (may be null) receives the completion
    // status words. `owner` identifies the handle for Cancel.
    // `bias` is added to the byte count of a queued read's completion (the
    // buffered transfer reports its 38-byte header too).
    uint32_t StreamRead(uint8_t endpoint, uint8_t* dst, uint32_t count, TransferHeader* header,
                        Overlapped* overlapped, const void* owner, uint32_t bias, uint32_t* got);
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
        TransferHeader* header;
        Overlapped* overlapped;
        const void* owner;
        uint32_t bias;
    };

    // All below run with mutex_ held.
    void RequestFrame();
    void StopStream();
    Readiness Evaluate(uint8_t endpoint, std::chrono::steady_clock::time_point* at);
    uint32_t Serve(uint8_t endpoint, uint8_t* dst, uint32_t count, uint32_t* status);
    void StartFrame();
    void Complete(const PendingRead& read, uint32_t error, uint32_t bytes, uint32_t status);
    void ServeQueue();

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
    FrameRenderer renderer_;
    uint64_t payloadBytes_ = 0;
    uint64_t payloadServed_ = 0;
    uint64_t payloadSinceFault_ = 0;
    uint32_t frameCounter_ = 0xFFFFFFF0u;  // close to the wrap, to flush out counter bugs

    std::deque<PendingRead> queue_;
    bool serving_ = false;  // the queue server is inside Serve for the queue head
    std::thread server_;
};

}  // namespace vantix::emulator
