#pragma once
// CVantix: the session behind one handle. It owns the camera engine, the image
// buffers, the preview and the settings of the selected camera, and reports
// every failure through its error history and the notification window.
#include <array>
#include <cstdint>

#include <vantix/exports.h>

#include "platform/clock.h"
#include "platform/critical_section.h"
#include "session/error_history.h"

class CVantix {
public:
    static constexpr int kImageSlots = 18;
    static constexpr int kImageSettingsCount = 30;

    // Capture geometry in the order of the stored size presets.
    struct CaptureGeometry {
        int32_t totalWidth = 3856;
        int32_t totalHeight = 2764;
        int32_t width = 3840;
        int32_t height = 2752;
        int32_t startX = 0;
        int32_t startY = 0;
        int32_t bufferCount = 4;
    };

    // What the session applies to the camera and persists per camera.
    struct CameraSettings {
        int32_t globalGain = 0;
        int32_t colorGainGreen1 = 0;
        int32_t colorGainRed = 0;
        int32_t colorGainBlue = 0;
        int32_t colorGainGreen2 = 0;
        int32_t exposure = 0;  // units of 0.1 ms
        int32_t mirrorV = 0;
        int32_t mirrorH = 0;
        int32_t autoIris = 0;
        int32_t blackLevel = 0;
        int32_t cooler = 0;
        int32_t shortExposureMode = 0;
        int32_t gainMode = 0;
        std::array<int32_t, 8> analog{};  // further values of the analog dialog
        double exposureSeconds = 0.0;
        int32_t realExposureRequest = 1;  // last microsecond request, in 0.1 ms
        int32_t realExposureResult = 0;   // last microsecond reading
    };

    struct PreviewRect {
        int32_t left = 0;
        int32_t top = 0;
        int32_t right = 3840;
        int32_t bottom = 2752;
    };

    CVantix();
    virtual ~CVantix();
    CVantix(const CVantix&) = delete;
    CVantix& operator=(const CVantix&) = delete;

    // Sets the session up for `window` (null: no notifications). False when
    // the window cannot receive device notifications, or when setting up
    // failed (then with the cause in the error history).
    bool Initialize(VantixHwnd window);

    // ---- Error reporting ----
    // Pushes `code` into the history and posts it to the notification window.
    void RecordError(int32_t code);
    // Posts `code` to the notification window without recording it.
    void NotifyOnly(int32_t code);
    // Removes and returns the newest recorded code, 0 when there is none.
    int32_t PopError();
    std::array<int32_t, vantix::ErrorHistory::kDepth> ErrorHistorySnapshot() const {
        return errorHistory_.Snapshot();
    }
    VantixHwnd NotifyWindow() const { return notifyWindow_; }

    // ---- Session and device naming ----
    int32_t SetDeviceNumber(int32_t index);
    int32_t EnumDevice(char* names);
    int32_t EnumDeviceW(char16_t* names);
    int32_t GetDeviceName(int32_t index, char* name, int32_t size);
    int32_t GetDeviceNameW(int32_t index, char16_t* name, int32_t size);
    int32_t GetCameraInfo(VantixCameraInfo* info);

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
    int32_t Width() const { return geometry_.width; }
    int32_t Height() const { return geometry_.height; }
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

    // ---- Files, masks and dialogs ----
    int32_t LoadConfigFile(const char* fileName);
    int32_t LoadMaskFile(const char* fileName);
    int32_t SaveMaskFile(const char* fileName);
    int32_t UpdateMaskData(int32_t which);
    int32_t SetCameraDlg(VantixHwnd owner);
    int32_t SetImageDlg(VantixHwnd owner);
    int32_t SetAnalogDlg(VantixHwnd owner);

private:
    // Operations whose machinery is not part of the library yet report code
    // 11 (not supported) and fail; see pending_operations.cpp.
    int32_t ReportNotBuilt();

    CaptureGeometry geometry_;
    std::array<int32_t, kImageSettingsCount> imageSettings_{};
    CameraSettings camera_;
    vantix::CriticalSection imageLock_;
    int32_t settingsLoaded_ = 0;
    VantixHwnd previewParent_ = nullptr;
    PreviewRect previewRect_;
    VantixHwnd notifyWindow_ = nullptr;
    int32_t colorModeIndex_ = 0;  // 0..5 for 8, 16, 24, 32, 48, 64 bits per pixel
    int32_t subSample_ = 0;
    int32_t waitTimeMs_ = 10;
    int32_t clock_ = 0;
    int32_t imageAvailable_ = 0;
    int32_t frameCount_ = 0;
    int32_t frameRate_ = 0;
    uint32_t lastRateTime_ = vantix::TimeGetTime();
    vantix::ErrorHistory errorHistory_;
    int32_t snapshotTimeoutMs_ = 3000;
    int32_t deviceNumber_ = 0;
    int32_t maskFilter_ = 0;
    int32_t dotFilter_ = 0;
    vantix::CriticalSection maskLock_;
    int32_t maskUpdateInProgress_ = 0;
};
