#pragma once
// CVantixU3K9Base: the camera engine behind one session. It owns the
// controller, picks the attached camera, creates the sensor object for its
// model, sizes the frame buffers, runs the acquisition thread that fills the
// four-slot frame ring, and passes property calls through to the sensor. The
// virtual operations are declared in slot order; the session calls nothing
// else. Defined by concern: engine_selection.cpp (opening, closing, choosing
// a camera), engine_buffers.cpp (buffers, depth, window, stream reset),
// engine_properties.cpp (the pass-through), acquisition.cpp (the acquisition
// thread and frame ring), model_hooks.cpp (the per-model rules).
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "catalog/model_catalog.h"
#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "sensors/sensor_base.h"
#include "transport/controller.h"
#include "transport/stream_claim.h"

namespace vantix {

// Frame-ring geometry.
inline constexpr int kRingSlots = 4;
// Capture modes of the acquisition thread.
enum CaptureMode : int32_t {
    kCaptureContinuous = 0,
    kCaptureSingle = 1,
    kCaptureOnCounterChange = 2,  // triggered: wait for FPGA register 8 to change
    kCaptureHeaderOnly = 3,
};
// WaitFrame results.
enum WaitFrameResult : int32_t {
    kWaitTransferFailed = 1,
    kWaitNoNewFrame = 2,
    kWaitNewFrame = 3,
};

// What arrived with a frame besides its pixels.
struct RingFrame {
    uint32_t frameCounter = 0;  // the camera's, from the frame header
    uint64_t arrivalNs = 0;     // CLOCK_MONOTONIC when the payload was complete
};

class CVantixU3K9Base {
public:
    CVantixU3K9Base();
    virtual ~CVantixU3K9Base();                                                   // 0
    CVantixU3K9Base(const CVantixU3K9Base&) = delete;
    CVantixU3K9Base& operator=(const CVantixU3K9Base&) = delete;

    virtual int32_t Open(int32_t reserved, const Guid* interfaceClass);            // 1
    virtual int32_t InitCamera();                                                  // 2
    virtual int32_t Close();                                                       // 3
    virtual int32_t ReadDeviceBlockA(uint8_t* block);                              // 4
    virtual int32_t GetSensorInfo(SensorInfo* info);                               // 5
    virtual int32_t ReadDeviceBlockB(uint8_t* block);                              // 6
    virtual int32_t ChangeDevice(int32_t instance);                                // 7
    virtual int32_t SelectDevice(int32_t instance);                                // 8
    virtual int32_t Slot9();                                                       // 9
    virtual int32_t IsDeviceAttached(int32_t instance);                            // 10
    virtual int32_t EnumerateDevices(int32_t modelId);                             // 11
    virtual int32_t GetDeviceName(int32_t index, char* name, int32_t size);        // 12
    virtual int32_t SetModelId(int32_t modelId);                                   // 13
    virtual int32_t GetModelId();                                                  // 14
    virtual int32_t GetDeviceVendorId(int32_t index);                              // 15
    virtual int32_t GetDeviceProductId(int32_t index);                             // 16
    virtual int32_t GetDeviceInstance(int32_t index);                              // 17
    virtual int32_t IsModel3042();                                                 // 18
    virtual int32_t GetSelectedInstance();                                         // 19
    virtual int32_t StartCapture(int32_t mode);                                    // 20
    virtual int32_t StopCapture();                                                 // 21
    virtual int32_t CopyFrame(void* buffer, int32_t size, int32_t firstSlot, int32_t orientation);  // 22
    virtual int32_t SetCaptureMode(int32_t mode);                                  // 23
    virtual int32_t ResetStream();                                                 // 24
    virtual int32_t RunCaptureLoop();                                              // 25
    virtual int32_t RunCaptureLoop3042();                                          // 26
    virtual int32_t AllocateFrameBuffers();                                        // 27
    virtual int32_t GetMaxDevices();                                               // 28
    virtual int32_t ReadFrameCounter();                                            // 29
    virtual int32_t CaptureSingleFrame();                                          // 30
    virtual int32_t Slot31();                                                      // 31
    virtual int32_t CopyFirstSlot(void* buffer, int32_t a, int32_t b, int32_t c, int32_t orientation);  // 32
    virtual int32_t SetReadTimeout(int32_t milliseconds);                          // 33
    virtual int32_t WaitFrame(int32_t milliseconds);                               // 34
    virtual int32_t CopyLatestFrame(void* buffer, int32_t a, int32_t b, int32_t c, int32_t orientation);  // 35
    virtual int32_t Slot36();                                                      // 36
    virtual int32_t SetBitMode(int32_t mode);                                      // 37
    virtual int32_t SetClockMode(int32_t mode);                                    // 38
    virtual int32_t GetClockMode(int32_t* value, int32_t a, int32_t b);            // 39
    virtual int32_t SetCaptureWindow(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode);  // 40
    virtual int32_t GetCaptureWindow(int32_t* x, int32_t* y, int32_t* width, int32_t* height, int32_t* mode);  // 41
    virtual int32_t SetMirrorV(int32_t on);                                        // 42
    virtual int32_t SetMirrorH(int32_t on);                                        // 43
    virtual int32_t GetMirrorV();                                                  // 44
    virtual int32_t GetMirrorH();                                                  // 45
    virtual int32_t GetMirrorHDefault();                                           // 46
    virtual int32_t GetMirrorVDefault();                                           // 47
    virtual int32_t IsMirrorHSupported();                                          // 48
    virtual int32_t IsMirrorVSupported();                                          // 49
    virtual int32_t SetTriggerMode(int32_t mode, int32_t force);                   // 50
    virtual int32_t GetTriggerMode(int32_t* mode);                                 // 51
    virtual int32_t WriteSrom(int32_t address, int32_t value);                     // 52
    virtual int32_t ReadSrom(int32_t address, uint8_t* value);                     // 53
    virtual int32_t GetSensorCapability1();                                        // 54
    virtual int32_t GetSensorCapability2();                                        // 55
    virtual int32_t GetMaxWidth();                                                 // 56
    virtual int32_t GetMaxHeight();                                                // 57
    virtual int32_t GetDefaultWidth();                                             // 58
    virtual int32_t GetDefaultHeight();                                            // 59
    virtual int32_t GetDefaultX();                                                 // 60
    virtual int32_t GetDefaultY();                                                 // 61
    virtual int32_t SetGain(int32_t gain);                                         // 62
    virtual int32_t GetGain();                                                     // 63
    virtual int32_t GetGainMin();                                                  // 64
    virtual int32_t GetGainMax();                                                  // 65
    virtual int32_t GetGainDefault();                                              // 66
    virtual int32_t SetExposureTime(int32_t tenthsOfMs);                           // 67
    virtual int32_t GetExposureTime();                                             // 68
    virtual int32_t GetExposureTimeMin();                                          // 69
    virtual int32_t GetExposureTimeMax();                                          // 70
    virtual int32_t GetExposureTimeDefault();                                      // 71
    virtual int32_t SetExposureLines(int32_t lines);                               // 72
    virtual int32_t GetExposureLines();                                            // 73
    virtual int32_t GetExposureLinesMin();                                         // 74
    virtual int32_t GetExposureLinesMax();                                         // 75
    virtual int32_t GetExposureLinesDefault();                                     // 76
    virtual int32_t IsExposureSecondsSupported();                                  // 77
    virtual int32_t SetExposureSeconds(double seconds);                            // 78
    virtual int32_t GetExposureSeconds(double* seconds);                           // 79
    virtual int32_t GetExposureSecondsMin(double* seconds);                        // 80
    virtual int32_t GetExposureSecondsMax(double* seconds);                        // 81
    virtual int32_t GetExposureSecondsDefault(double* seconds);                    // 82
    virtual int32_t SetChannelGain(int32_t channel, int32_t value);                // 83
    virtual int32_t GetChannelGain(int32_t channel);                               // 84
    virtual int32_t GetChannelGainMin();                                           // 85
    virtual int32_t GetChannelGainMax();                                           // 86
    virtual int32_t GetChannelGainDefault();                                       // 87
    virtual int32_t SetChannelOffset(int32_t channel, int32_t value);              // 88
    virtual int32_t GetChannelOffset(int32_t channel);                             // 89
    virtual int32_t GetChannelOffsetMin();                                         // 90
    virtual int32_t GetChannelOffsetMax();                                         // 91
    virtual int32_t GetChannelOffsetDefault();                                     // 92
    virtual int32_t SetColorGainRed(int32_t value);                                // 93
    virtual int32_t GetColorGainRed();                                             // 94
    virtual int32_t SetColorGainGreen1(int32_t value);                             // 95
    virtual int32_t GetColorGainGreen1();                                          // 96
    virtual int32_t SetColorGainGreen2(int32_t value);                             // 97
    virtual int32_t GetColorGainGreen2();                                          // 98
    virtual int32_t SetColorGainBlue(int32_t value);                               // 99
    virtual int32_t GetColorGainBlue();                                            // 100
    virtual int32_t GetColorGainMin();                                             // 101
    virtual int32_t GetColorGainMax();                                             // 102
    virtual int32_t GetColorGainDefault();                                         // 103
    virtual int32_t IsBlackLevelSupported();                                       // 104
    virtual int32_t SetBlackLevel(int32_t value);                                  // 105
    virtual int32_t GetBlackLevel();                                               // 106
    virtual int32_t GetBlackLevelMin();                                            // 107
    virtual int32_t GetBlackLevelMax();                                            // 108
    virtual int32_t GetBlackLevelDefault();                                        // 109
    virtual int32_t WriteSensorRegister(int32_t address, int32_t value);           // 110
    virtual int32_t ReadSensorRegister(int32_t address, int32_t* ok);              // 111
    virtual int32_t WriteFpgaRegister(int32_t reg, int32_t value);                 // 112
    virtual int32_t ReadFpgaRegister(int32_t reg, int32_t* ok);                    // 113
    virtual int32_t Slot114();                                                     // 114
    virtual int32_t Slot115();                                                     // 115
    virtual int32_t RestartReadout();                                              // 116
    virtual int32_t ResetReadout();                                                // 117
    virtual int32_t AccessDevice(int32_t index, int32_t op, void* buffer);         // 118
    virtual int32_t IsOutputModeSupported();                                       // 119
    virtual int32_t SetOutputMode(int32_t mode);                                   // 120
    virtual int32_t GetOutputMode();                                               // 121
    virtual int32_t WriteUserSrom(int32_t offset, int32_t value);                  // 122
    virtual int32_t ReadUserSrom(int32_t offset, uint8_t* value);                  // 123
    virtual int32_t IsOptionSwitchSupported();                                     // 124
    virtual int32_t GetOptionSwitch();                                             // 125
    virtual int32_t SetOptionSwitch(int32_t on);                                   // 126
    virtual int32_t ReceiveText(char* buffer, int32_t length);                     // 127
    virtual int32_t SendText(const char* text, int32_t length);                    // 128
    virtual int32_t IsCoolingSupported();                                          // 129
    virtual int32_t GetCooling(int32_t* on);                                       // 130
    virtual int32_t SetCooling(int32_t on);                                        // 131
    virtual int32_t IsTemperatureSupported();                                      // 132
    virtual int32_t GetTemperature(double* celsius);                               // 133
    virtual int32_t IsAuxPowerSupported();                                         // 134
    virtual int32_t GetAuxPower(int32_t* on);                                      // 135
    virtual int32_t SetAuxPower(int32_t on);                                       // 136
    virtual int32_t IsSensorModeSupported();                                       // 137
    virtual int32_t GetSensorMode(int32_t* state);                                 // 138
    virtual int32_t SetSensorMode(int32_t on);                                     // 139
    virtual int32_t IsTargetTemperatureSupported();                                // 140
    virtual int32_t Slot141();                                                     // 141
    virtual int32_t Slot142();                                                     // 142
    virtual int32_t GetTargetTemperature(double* celsius);                         // 143
    virtual int32_t SetTargetTemperature(double celsius);                          // 144
    virtual int32_t IsInfoBlockValid();                                            // 145
    virtual int32_t GetInfoBlock(int32_t* value, int16_t* word, uint8_t bytes[2]); // 146
    virtual int32_t SetAuxMode(int32_t mode);                                      // 147
    virtual int32_t PulseAuxControl();                                             // 148
    virtual int32_t IsAuxSupported();                                              // 149
    virtual int32_t IsExposureModeSupported();                                     // 150
    virtual int32_t GetExposureMode(int32_t* mode);                                // 151
    virtual int32_t SetExposureMode(int32_t mode);                                 // 152
    virtual int32_t IsGainStepSupported();                                         // 153
    virtual int32_t GetGainStepMin();                                              // 154
    virtual int32_t GetGainStepMax();                                              // 155
    virtual int32_t GetGainStepDefault();                                          // 156
    virtual int32_t GetGainStep(int32_t* value, int32_t a, int32_t b);             // 157
    virtual int32_t SetGainStep(int32_t step);                                     // 158
    virtual int32_t GetGainStepLabel(int32_t index, char* text);                   // 159
    virtual int32_t IsScanModeSupported();                                         // 160
    virtual int32_t SetScanMode(int32_t mode);                                     // 161
    virtual int32_t GetScanMode();                                                 // 162

    // The frame CopyLatestFrame copied last: the camera's frame counter and
    // when the frame arrived (CLOCK_MONOTONIC nanoseconds). Read by the
    // thread that copies, after the copy.
    RingFrame LastCopiedFrame() const { return lastCopiedFrame_; }

    // ---- The camera's stream, which one session at a time may read ----
    // Claims the selected camera's stream for this engine (true when held or
    // no camera is selected, so later steps fail as they always did); false
    // while another session, in any process, streams from it.
    bool ClaimStream();
    // Lets go of the claim; another session may stream from then on.
    void ReleaseStream() { streamClaim_.Release(); }
    // While another session streams from the selected camera, this engine
    // leaves everything that would disturb that stream alone: port and
    // stream resets, the sensor's initialisation and its window.
    bool StreamHeldElsewhere() const;

    // The selected camera's window rules; false without a sensor or when its
    // class does not describe them.
    bool GetWindowRules(WindowRules* rules) const { return sensor_ && sensor_->GetWindowRules(rules); }

    // ---- Inspection for tests and diagnostics ----
    CVtxCy3Cam* Controller() const { return controller_.get(); }
    CSensorBase* Sensor() const { return sensor_.get(); }
    // An exposure stored for a head that is reprogrammed between frames.
    bool ExposurePending() const { return exposurePending_; }
    int32_t ReadTimeout() const { return readTimeoutMs_; }
    uint32_t FrameBytes() const { return frameBytes_; }
    uint32_t TransferBufferSize() const { return transferBufferSize_; }
    int32_t WriteIndex() const { return writeIndex_.load(); }
    int32_t CaptureModeValue() const { return captureMode_; }
    bool TransferFailed() const { return transferFailed_.load(); }

protected:
    // Says on the debug output why a request is refused; returns 0.
    int32_t Refuse(const char* why) const;
    // Getter convention: sensor slot with a zeroed result cell; 0 without sensor.
    template <typename Getter>
    int32_t SensorGetter(Getter&& getter);
    // Copies one ring slot into `buffer` with the orientation rules.
    void CopySlot(int slot, uint8_t* buffer, int32_t orientation);
    // Acquisition-thread helpers.
    // Publishes the frame in the transfer buffer by exchanging the buffer
    // with the ring slot it goes to; transferBuffer_ is then that slot's old
    // buffer.
    void PublishTransfer(uint32_t frameCounter);
    void RaiseFrameEvent();

    // The catalog row of the model set by SetModelId (the generic row for
    // none), and what the engine does differently for it. Looked up at each
    // use: a short table, and never out of step with modelId_.
    const ModelRow& Model() const { return LookupModel(static_cast<uint16_t>(modelId_)); }
    const EngineFacts& Facts() const { return Model().engine; }
    // The per-model rules of the catalog row (model_hooks.cpp).
    void WakeUpHead();
    void RestHeadClocks();
    void WriteModelReadoutRegisters();
    // True when the model's depth control has finished SetBitMode, with its
    // result in *result; false to go on with the common depth setting.
    bool ApplyModelDepth(int32_t mode, int32_t* result);
    // Returns the trigger mode to store.
    int32_t ApplyTriggerRule(int32_t mode);
    // Copies the newest ring slot (or slot 0) under the slot-reader protocol;
    // with markRead the frames up to the copied one count as read. 1 when
    // copied, 0 otherwise.
    int32_t CopyFromRing(void* buffer, int64_t size, bool firstSlot, int32_t orientation, bool markRead);
    // The common end of both capture loops: closes the stream, signals the
    // stop event (and the frame event when `failed`), clears running_.
    void EndCaptureLoop(bool failed);
    // Opens the frame event, not signalled, unless it is open already.
    void OpenFrameEvent();

    std::unique_ptr<CVtxCy3Cam> controller_;
    uint8_t deviceBlockA_[64] = {};
    std::unique_ptr<uint8_t[]> transferBuffer_;
    uint32_t transferBufferSize_ = 0;
    int32_t captureMode_ = kCaptureContinuous;
    int32_t modelId_ = -1;
    int32_t bitMode_ = 0;
    int32_t triggerMode_ = -1;
    std::array<std::unique_ptr<uint8_t[]>, kRingSlots> ring_;
    std::atomic<int32_t> writeIndex_{0};
    std::atomic<int32_t> lastReadIndex_{3};
    uint32_t frameBytes_ = 0;
    std::atomic<bool> transferFailed_{false};
    // The events live as long as the engine; "creating" and "closing" one
    // only opens or closes it for use, so a thread still waiting on it when it
    // is closed is released instead of touching freed memory. Waiting on a
    // closed event returns at once as not signalled.
    Event frameEvent_{EventReset::Auto};
    std::atomic<bool> frameEventOpen_{false};
    int32_t buffersStale_ = 1;
    std::unique_ptr<CSensorBase> sensor_;
    std::atomic<uint32_t> lastFrameCounter_{0};
    int32_t selectedInstance_ = 0;
    std::string selectedPath_;  // device path of the selected camera
    StreamClaim streamClaim_;
    std::atomic<int32_t> readTimeoutMs_{5000};
    std::atomic<bool> exposurePending_{false};
    std::atomic<int32_t> pendingExposure_{0};
    Thread thread_;
    std::atomic<bool> running_{false};
    Event stopEvent_{EventReset::Auto};
    std::atomic<bool> stopEventOpen_{false};
    // Slot protection: a reader announces the slot it copies, the thread
    // announces the slot it fills; neither ever waits for the other.
    std::array<std::atomic<int32_t>, kRingSlots> slotReaders_{};
    std::array<std::atomic<bool>, kRingSlots> slotWriting_{};
    // Serialises StartCapture, StopCapture, SetCaptureMode and
    // CaptureSingleFrame (recursive: StartCapture calls the other two). The
    // acquisition thread never takes it, so joining the thread under it
    // cannot deadlock.
    CriticalSection captureLock_;
    // Frames published so far, and how many of them CopyLatestFrame has
    // taken. WaitFrame judges "new" by these: the ring indexes alone cannot
    // tell four (or eight...) new frames from none.
    std::atomic<uint64_t> publishedFrames_{0};
    // What arrived with each ring slot's frame, written with the frame under
    // the same slot protection; and that of the frame CopyLatestFrame took last.
    std::array<RingFrame, kRingSlots> slotFrames_{};
    RingFrame lastCopiedFrame_{};
    std::atomic<uint64_t> readFrames_{0};
};

// The engine the session owns; it adds nothing but its destructor.
class CVantixUSB3K9SimpleSdk final : public CVantixU3K9Base {
public:
    ~CVantixUSB3K9SimpleSdk() override = default;
};

}  // namespace vantix
