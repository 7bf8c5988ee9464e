#pragma once
// CVantix: the session behind one handle. It owns the camera engine, the image
// buffers, the preview and the settings of the selected camera, and reports
// every failure through its error history and the notification window.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include "engine/camera_engine.h"
#include "imaging/conversion_workspace.h"
#include "imaging/dib_image.h"
#include "output/avi_recorder.h"
#include "platform/clock.h"
#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/win_errors.h"
#include "session/error_history.h"
#include "settings/settings_records.h"
#include "settings/settings_persistence.h"

namespace vantix {
class X11PreviewWindow;
struct PreviewWindowPlacement;
struct ConversionSettings;
struct ConversionResult;
struct OutputCopy;
}

class CVantix {
public:
    static constexpr int kImageSlots = 18;

    using CaptureGeometry = vantix::CaptureGeometry;
    using CameraSettings = vantix::CameraSettings;
    using PreviewRect = vantix::PreviewRect;

    CVantix();
    virtual ~CVantix();
    CVantix(const CVantix&) = delete;
    CVantix& operator=(const CVantix&) = delete;

    // Sets the session up for `window` (null: no notifications). False when
    // the window cannot receive device notifications, or when setting up
    // failed (then with the cause in the error history).
    bool Initialize(VantixHwnd window);

    // ---- Error reporting ----
    // Pushes `code` (a session error code, ErrorCode) into the history and
    // posts it to the notification window. A device error is another
    // vocabulary with clashing numbers: passing one does not compile.
    void RecordError(int32_t code);
    void RecordError(vantix::DeviceError) = delete;
    // Posts `code` to the notification window without recording it.
    void NotifyOnly(int32_t code);
    void NotifyOnly(vantix::DeviceError) = delete;
    // Removes and returns the newest recorded code, 0 when there is none.
    int32_t PopError();
    std::array<int32_t, vantix::ErrorHistory::kDepth> ErrorHistorySnapshot() const {
        return errorHistory_.Snapshot();
    }
    VantixHwnd NotifyWindow() const { return notifyWindow_; }

    // ---- Inspection for tests and diagnostics ----
    vantix::CVantixU3K9Base* Engine() const { return engine_.get(); }
    vantix::CDibImage* Image(int slot) const { return images_[static_cast<size_t>(slot)].get(); }
    const CaptureGeometry& Geometry() const { return geometry_; }
    const CameraSettings& Camera() const { return camera_; }
    const vantix::ImageSettings& ImageSettingsBlock() const { return imageSettings_; }
    int32_t DeviceNumber() const { return deviceNumber_; }
    // The pixel array and default window of the model the session drives.
    vantix::SensorArea Area() const;
    // The X11 window of the running preview, 0 without one; and its class.
    unsigned long PreviewWindowXid();
    std::string PreviewClassName();
    std::vector<std::pair<int32_t, int32_t>> ConfigList() const;
    // Fills the white references of the defect mask (slots 9 and 11) on first
    // use; see Initialize.
    void EnsureMaskReferencesFilled();

    // ---- Model, session and device naming ----
    // Drives another model of the family: closes the open camera (saving its
    // settings), lays buffers, window and settings out for the model's sensor
    // and opens its camera when exactly one is attached. Refuses (code 2,
    // nothing changed) an id the catalog does not list.
    int32_t SetModelId(int32_t modelId);
    int32_t GetModelId() const;
    int32_t SetDeviceNumber(int32_t index);
    int32_t EnumDevice(char* names);
    int32_t EnumDeviceW(char16_t* names);
    int32_t GetDeviceName(int32_t index, char* name, int32_t size);
    int32_t GetDeviceNameW(int32_t index, char16_t* name, int32_t size);
    int32_t GetCameraInfo(VantixCameraInfo* info);
    int32_t GetDeviceDetails(int32_t instance, VantixDeviceDetails* details);
    // The attached camera at `position` among those of every model; 0 past
    // the last.
    int32_t GetAttachedCamera(int32_t position, VantixDeviceDetails* details);
    // Whether the session saves its camera's settings when it is released or
    // switches cameras (on by default). Off, nothing the session changed
    // outlives it: for one-off programs and read-only queries.
    int32_t SetSettingsAutosave(int32_t on);
    int32_t GetWindowRules(VantixWindowRules* rules);
    int32_t GetFrameMetadata(VantixFrameMetadata* metadata);
    bool SettingsAutosave() const { return settingsAutosave_; }

    // ---- Acquisition ----
    int32_t Preview();
    int32_t Capture();
    int32_t Close();
    int32_t StartPreview();
    int32_t StopPreview();
    int32_t CallBackPreview(VantixHwnd window, void* buffer, int32_t size, int32_t bottomUp);
    int32_t SnapShot(void* buffer, int32_t size, int32_t bottomUp);
    int32_t GetImage(void* buffer, int32_t size, int32_t bottomUp);
    int32_t Record(const char* fileName, int32_t durationMs, int32_t showWindow);
    int32_t SaveImage(const char* fileName, int32_t format);

    // ---- Geometry and image format ----
    int32_t SetPreviewWindow(VantixHwnd parent, int32_t left, int32_t top, int32_t right, int32_t bottom);
    int32_t SetCaptureWindow(int32_t width, int32_t height);
    int32_t SetCaptureWindowEx(int32_t totalWidth, int32_t startX, int32_t width, int32_t totalHeight,
                               int32_t startY, int32_t height);
    int32_t GetCaptureWindowEx(int32_t* totalWidth, int32_t* startX, int32_t* width, int32_t* totalHeight,
                               int32_t* startY, int32_t* height);
    int32_t Width() const;
    int32_t Height() const;
    int32_t SetColorMode(int32_t bitsPerPixel);
    int32_t GetColorMode() const;
    int32_t SetSubSample(int32_t mode);
    int32_t GetSubSample() const { return subSample_; }
    int32_t SetWaitTime(int32_t milliseconds);
    int32_t GetWaitTime() const { return waitTimeMs_; }
    int32_t SetMirrorH(int32_t on);
    int32_t SetMirrorV(int32_t on);
    int32_t GetMirrorH();
    int32_t GetMirrorV();

    // ---- Exposure, gains and filters ----
    int32_t SetFilterValue(int32_t id, int32_t value);
    int32_t GetFilterValue(int32_t id, int32_t* ok);
    int32_t SetExposureTimeEx(double seconds);
    double GetExposureTimeEx(int32_t* ok);
    int32_t SetRealExposureTime(int32_t microseconds);
    int32_t GetRealExposureTime(int32_t* ok);
    double GetTemperatureEx(int32_t* ok);
    int32_t SetAutoIris(int32_t mode);
    int32_t GetAutoIris(int32_t* ok);
    int32_t SetSamplingRate(int32_t rate);

    // ---- Registers and device I/O ----
    int32_t ReadRegister(int32_t reg, int32_t* ok);
    int32_t WriteRegister(int32_t reg, int32_t value);
    int32_t ReadFpgaRegister(int32_t reg, int32_t* ok);
    int32_t WriteFpgaRegister(int32_t reg, int32_t value);
    int32_t ReadSrom(int32_t address, int32_t* ok);
    int32_t WriteSrom(int32_t address, int32_t value);
    int32_t GetIOPort(uint8_t* value);
    int32_t SetIOPort(uint8_t value);
    // Text to and from a head with a serial text channel. Code 11 for a
    // camera without one. ReceiveText returns the line's length (0: none).
    int32_t SendText(const char* text, int32_t length);
    int32_t ReceiveText(char* text, int32_t length);

    // ---- Files, masks and dialogs ----
    int32_t LoadConfigFile(const char* fileName);
    int32_t LoadMaskFile(const char* fileName);
    int32_t SaveMaskFile(const char* fileName);
    int32_t UpdateMaskData(int32_t which);
    int32_t SetCameraDlg(VantixHwnd owner);
    int32_t SetImageDlg(VantixHwnd owner);
    int32_t SetAnalogDlg(VantixHwnd owner);

private:
    class SessionExposureControl;
    class SessionDialogTarget;  // settings_dialogs.cpp

    // Camera selection helpers (camera_selection.cpp).
    vantix::SettingsOwner SettingsOf(int32_t camera) const { return {camera, modelId_.load()}; }
    // Makes the full-sensor images of the mask and conversion work at the
    // sensor area; false when one cannot be made.
    bool CreateFullSensorImages();
    // Loads the geometry, the image and camera settings and the format of
    // the model's first camera and of the open camera, as Initialize does.
    void LoadSettingsOfModel();
    vantix::CameraDefaults EngineDefaults() const;
    void LoadSettingsOfCamera(int32_t camera);
    // Saves the camera's settings; a failed save records code 12.
    bool SaveSettingsOfCamera(int32_t camera);
    void ApplyCameraSettings();
    // Acquisition helpers.
    bool PrepareCapture();
    void ProgramCaptureWindow();
    void StopEngineCapture();
    bool ResizeClientImages(int32_t width, int32_t height);
    void ReapplyCameraSettings();
    bool StartPreviewWorker();
    void RunPreviewWorker();
    bool FetchFrame();
    bool FetchReducedFrame(vantix::CDibImage& raw, uint32_t frameBytes);
    // Frame metadata: a new count of delivered frames starts with each
    // preview or snapshot; each delivered frame is noted after FetchFrame.
    void StartFrameCount();
    void NoteDeliveredFrame();
    void RepackRawRows(vantix::CDibImage* raw);
    void RunRecorder();
    void StopRecording();
    // Converts the frame in the raw buffer; with `copy`, also copies the
    // client image there as the conversion finishes it (true when it did).
    bool ConvertFrame(const vantix::OutputCopy* copy = nullptr);
    vantix::ConversionSettings ConversionSettingsSnapshot() const;
    void StoreConversionResults(const vantix::ConversionSettings& settings, const vantix::ConversionResult& result);
    bool CopyClientImage(void* buffer, int32_t size, int32_t orientation);
    void PostFrameMessage(uintptr_t wParam, intptr_t lParam);
    void SetCallbackTarget(VantixHwnd window, void* buffer, int32_t size, int32_t orientation);
    bool WantsPreviewWindow() const;
    // Preview window (preview_drawing.cpp). Create replaces a window that
    // already exists; the worker only ever sees one of them, whole.
    bool CreatePreviewWindow();
    std::optional<vantix::PreviewWindowPlacement> PreviewPlacement() const;
    void DestroyPreviewWindow();
    void SizePreviewImageToWindow();
    bool EnsurePreviewImage(int32_t width, int32_t height);
    int32_t DrawFrame();
    vantix::CDibImage* RawImage() const;
    vantix::CDibImage* ClientImage() const;
    void RefreshExposureSeconds();
    void TakeProgrammedExposure();
    bool ClaimCameraStream();
    // A capture window the camera can deliver with the sub-sampling mode.
    static bool IsCaptureWindowValid(const CaptureGeometry& geometry, int32_t subSample,
                                     const vantix::SensorArea& area);

    // Operations whose machinery is not part of the library yet report code
    // 11 (not supported) and fail; see pending_operations.cpp.
    int32_t ReportNotBuilt();

    // Lock order: controlLock_, then imageLock_, then settingsLock_, then
    // maskLock_; the workers never take controlLock_.
    //
    // Guards the settings that application threads change while frames are
    // converted (geometry_, camera_, imageSettings_, the preview placement,
    // the mask and dot filter switches) and serialises the session's property
    // calls into the engine, so the sensor's state is changed by one thread
    // at a time. The conversion takes one copy of the settings per frame.
    mutable vantix::CriticalSection settingsLock_;
    std::unique_ptr<vantix::CVantixU3K9Base> engine_;
    std::array<std::unique_ptr<vantix::CDibImage>, kImageSlots> images_;
    // A frame larger than the raw image (several planes, or samples wider
    // than the colour mode's) is staged here whole before it is reduced;
    // sized when a configuration first needs it, under the image lock.
    std::unique_ptr<uint8_t[]> frameStaging_;
    size_t frameStagingBytes_ = 0;
    // The conversion's worker pool and scratch, kept from frame to frame;
    // used by ConvertFrame under imageLock_.
    vantix::ConversionWorkspace conversionWorkspace_;
    CaptureGeometry geometry_;
    // The model the session drives and its sensor's array; changed only by
    // SetModelId, under the image and settings locks (area_ is read under
    // the settings lock).
    std::atomic<uint16_t> modelId_{vantix::kLibraryModelId};
    vantix::SensorArea area_;
    vantix::ImageSettings imageSettings_{};
    CameraSettings camera_;
    vantix::CriticalSection imageLock_;
    // Set once a camera was opened and its settings loaded: only then does
    // camera_ hold a camera's settings worth saving.
    int32_t settingsLoaded_ = 0;
    std::atomic<bool> settingsAutosave_{true};
    // The metadata of the frame delivered last, and the count it is judged
    // by; written by the thread that delivers, read by the application.
    std::mutex frameMetaLock_;
    VantixFrameMetadata frameMeta_{};
    bool frameMetaValid_ = false;
    bool frameCountStarted_ = false;
    uint32_t firstFrameCounter_ = 0;
    uint64_t framesDelivered_ = 0;
    VantixHwnd previewParent_ = nullptr;
    PreviewRect previewRect_;
    VantixHwnd notifyWindow_ = nullptr;
    // Set by the application at any time; takes effect at the next capture
    // preparation, which copies it (validated) into activeColorMode_.
    std::atomic<int32_t> colorModeIndex_{0};  // 0..5 for 8, 16, 24, 32, 48, 64 bits per pixel
    int32_t activeColorMode_ = 0;             // guarded by the image lock
    std::atomic<int32_t> subSample_{0};
    std::atomic<int32_t> waitTimeMs_{10};
    int32_t clock_ = 0;
    std::atomic<int32_t> imageAvailable_{0};
    int32_t frameCount_ = 0;
    int32_t frameRate_ = 0;
    uint32_t lastRateTime_ = vantix::TimeGetTime();

    // ---- Acquisition control (acquisition_control.cpp, preview_worker.cpp) ----
    enum AcquisitionState : int32_t { kIdle = 0, kPreviewRunning = 1, kCapturePrepared = 2 };
    // The record whose address the frame message carries; 32 bytes.
    struct FrameInfo {
        int32_t reserved0;
        int32_t width;
        int32_t height;
        int32_t bitsPerPixel;
        int32_t rateTenths;  // frames per ten seconds
        int32_t reserved1;
        void* clientBuffer;
    };
    static_assert(sizeof(FrameInfo) == 32 && sizeof(FrameInfo) == sizeof(VantixFrameInfo));
    // Serialises the application's acquisition calls (start, stop, snapshot,
    // recording) among themselves; the workers never take it.
    vantix::CriticalSection controlLock_;
    std::atomic<int32_t> acquisitionState_{kIdle};
    std::atomic<int32_t> previewRun_{0};
    // Set by StopPreview: ends the worker's wait-time pause at once, so a
    // long wait time never delays a stop.
    vantix::Event previewStop_{vantix::EventReset::Manual};
    vantix::Thread previewThread_;
    // The callback target: written with SetCallbackTarget, read under the
    // image lock.
    VantixHwnd callbackWindow_ = nullptr;
    void* clientBuffer_ = nullptr;
    int32_t clientBufferSize_ = 0;
    int32_t clientOrientation_ = 0;
    // The application reads a record while later frames arrive; four records
    // in turn keep a frame's record intact until three more frames came.
    static constexpr int kFrameInfoRecords = 4;
    std::array<FrameInfo, kFrameInfoRecords> frameInfo_{};
    int frameInfoNext_ = 0;
    std::atomic<int32_t> recorderNewFrame_{0};
    // Recording (recording.cpp).
    vantix::AviRecorder avi_;
    std::atomic<int32_t> recording_{0};
    vantix::Thread recorderThread_;
    uint32_t recordDurationMs_ = 0;
    uint32_t recordFrames_ = 0;
    // Guarded by the image lock: the worker draws into it under that lock.
    std::unique_ptr<vantix::X11PreviewWindow> previewWindow_;
    std::string previewClassName_;
    std::vector<int32_t> previewColumns_;  // column table of the preview scaler
    vantix::ErrorHistory errorHistory_;
    int32_t snapshotTimeoutMs_ = 3000;
    int32_t deviceNumber_ = 0;
    int32_t maskFilter_ = 0;
    int32_t dotFilter_ = 0;
    vantix::CriticalSection maskLock_;
    int32_t maskUpdateInProgress_ = 0;
    bool maskReferencesFilled_ = false;
    // Pairs of the last configuration file, replaced under the mask lock.
    std::vector<std::pair<int32_t, int32_t>> configList_;
};
