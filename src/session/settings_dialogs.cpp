// The three settings dialogs of a session: the camera dialog (stream format,
// with the acquisition stopped while it is open), the image dialog (filters)
// and the analog dialog (gains, exposure, mirrors). The dialogs edit the
// session's settings through SessionDialogTarget, along the same paths as
// the property setters; what Cancel must undo is put back here.
#include <algorithm>
#include <cmath>

#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/dialog_presenter.h"
#include "dialogs/image_dialog.h"
#include "platform/x11_window_target.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace dialogs = vantix::dialogs;

class CVantix::SessionDialogTarget final : public dialogs::ImageSettingsTarget, public dialogs::AnalogTarget {
public:
    explicit SessionDialogTarget(CVantix& session) : s_(session) {}

    vantix::ImageSettings Read() override {
        vantix::ScopedLock settings(s_.settingsLock_);
        return s_.imageSettings_;
    }
    void Write(int index, int32_t value) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        s_.imageSettings_[static_cast<size_t>(index)] = value;
    }

    dialogs::AnalogCapabilities Capabilities() override {
        vantix::ScopedLock settings(s_.settingsLock_);
        vantix::CVantixU3K9Base& e = *s_.engine_;
        dialogs::AnalogCapabilities caps;
        caps.gainMin = e.GetGainMin();
        caps.gainMax = e.GetGainMax();
        caps.gainDefault = e.GetGainDefault();
        caps.colorGainMin = e.GetColorGainMin();
        caps.colorGainMax = e.GetColorGainMax();
        caps.colorGainDefault = e.GetColorGainDefault();
        caps.exposureMin = e.GetExposureTimeMin();
        caps.exposureMax = e.GetExposureTimeMax();
        caps.exposureDefault = e.GetExposureTimeDefault();
        caps.exposureSeconds = e.IsExposureSecondsSupported() != 0;
        if (caps.exposureSeconds) {
            e.GetExposureSecondsMin(&caps.secondsMin);
            e.GetExposureSecondsMax(&caps.secondsMax);
            e.GetExposureSecondsDefault(&caps.secondsDefault);
        }
        caps.blackLevel = e.IsBlackLevelSupported() != 0;
        caps.blackLevelDefault = e.GetBlackLevelDefault();
        caps.cooler = e.IsCoolingSupported() != 0;
        caps.shortExposureMode = e.IsExposureModeSupported() != 0;
        caps.gainMode = e.IsOutputModeSupported() != 0;
        return caps;
    }
    CameraSettings Camera() override {
        vantix::ScopedLock settings(s_.settingsLock_);
        return s_.camera_;
    }
    void SetGlobalGain(int32_t gain) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        s_.camera_.globalGain = gain;
        s_.engine_->SetGain(gain);
    }
    void SetColorGain(dialogs::ColorChannel channel, int32_t gain) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        vantix::CVantixU3K9Base& e = *s_.engine_;
        switch (channel) {
            case dialogs::ColorChannel::Green1:
                s_.camera_.colorGainGreen1 = gain;
                e.SetColorGainGreen1(gain);
                break;
            case dialogs::ColorChannel::Red:
                s_.camera_.colorGainRed = gain;
                e.SetColorGainRed(gain);
                break;
            case dialogs::ColorChannel::Blue:
                s_.camera_.colorGainBlue = gain;
                e.SetColorGainBlue(gain);
                break;
            case dialogs::ColorChannel::Green2:
                s_.camera_.colorGainGreen2 = gain;
                e.SetColorGainGreen2(gain);
                break;
        }
    }
    void SetExposure(int32_t tenthsOfMs) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        s_.camera_.exposure = tenthsOfMs;
        s_.engine_->SetExposureTime(tenthsOfMs);
        s_.TakeProgrammedExposure();
    }
    bool SetExposureSeconds(double seconds) override {
        // The same path as Vantix_SetExposureTimeEx; a refusal is the
        // dialog's to show, not an error of the session.
        vantix::ScopedLock settings(s_.settingsLock_);
        if (!std::isfinite(seconds) || !s_.engine_->SetExposureSeconds(seconds)) return false;
        s_.camera_.exposureSeconds = seconds;
        s_.camera_.exposure = static_cast<int32_t>(std::clamp(seconds * 10000.0, 0.0, 2147483647.0));
        return true;
    }
    void SetMirrorV(bool on) override { s_.SetMirrorV(on); }
    void SetMirrorH(bool on) override { s_.SetMirrorH(on); }
    void SetAutoIris(int32_t mode) override { s_.SetAutoIris(mode); }
    void SetBlackLevel(int32_t level) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        if (s_.engine_->SetBlackLevel(level)) s_.camera_.blackLevel = level;
    }
    void SetCooler(bool on) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        if (s_.engine_->SetCooling(on)) s_.camera_.cooler = on;
    }
    void SetShortExposureMode(bool on) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        if (s_.engine_->SetExposureMode(on)) s_.camera_.shortExposureMode = on;
    }
    void SetGainMode(int32_t mode) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        if (s_.engine_->SetOutputMode(mode)) s_.camera_.gainMode = mode;
    }
    int32_t CameraExposure() override {
        vantix::ScopedLock settings(s_.settingsLock_);
        return s_.engine_->GetExposureTime();
    }
    bool CameraExposureSeconds(double* seconds) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        return s_.engine_->IsExposureSecondsSupported() && s_.engine_->GetExposureSeconds(seconds);
    }
    void StoreGainsAndExposure(int32_t global, int32_t green1, int32_t red, int32_t blue, int32_t green2,
                               int32_t exposure) override {
        vantix::ScopedLock settings(s_.settingsLock_);
        CameraSettings& c = s_.camera_;
        c.globalGain = global;
        c.colorGainGreen1 = green1;
        c.colorGainRed = red;
        c.colorGainBlue = blue;
        c.colorGainGreen2 = green2;
        c.exposure = exposure;
    }

private:
    CVantix& s_;
};

namespace {

bool IsMonochrome(int32_t colorMode) { return colorMode == 0 || colorMode == 1; }

}  // namespace

int32_t CVantix::SetCameraDlg(VantixHwnd owner) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    dialogs::DialogKindClaim claim(dialogs::DialogKind::Camera);
    dialogs::DialogPresenter& presenter = dialogs::ActivePresenter();
    if (!claim || !presenter.Prepare()) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    // The format cannot change under a running acquisition.
    const int32_t state = acquisitionState_;
    if (state == kPreviewRunning || state == kCapturePrepared) StopPreview();
    vantix::SettingsOwner camera = SettingsOf(0);
    vantix::SensorArea area;
    bool freeWidth = false;
    bool freeHeight = false;
    {
        vantix::ScopedLock settings(settingsLock_);
        camera = SettingsOf(deviceNumber_);
        area = area_;
        freeWidth = engine_->GetSensorCapability1() != 0;
        freeHeight = engine_->GetSensorCapability2() != 0;
    }
    const auto windowCheck = [area](const CaptureGeometry& geometry, int32_t subSample) {
        return IsCaptureWindowValid(geometry, subSample, area);
    };
    dialogs::CameraDialog dialog(camera, freeWidth, freeHeight, windowCheck, dialogs::UserLanguage());
    const bool shown = presenter.Run(dialog, vantix::X11WindowOf(owner));
    if (shown && dialog.State().result == 1) {
        vantix::ScopedLock settings(settingsLock_);
        vantix::LoadGeometry(camera, &geometry_, area);
        vantix::CaptureFormat format{0, colorModeIndex_, subSample_, waitTimeMs_, clock_};
        vantix::LoadFormat(camera, &format);
        colorModeIndex_ = format.colorModeIndex;
        subSample_ = format.subSample;
        waitTimeMs_ = format.waitTimeMs;
        clock_ = format.clock;
    }
    if (state == kPreviewRunning) StartPreview();
    if (state == kCapturePrepared) Capture();
    if (!shown) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    return 1;
}

int32_t CVantix::SetImageDlg(VantixHwnd owner) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    dialogs::DialogKindClaim claim(dialogs::DialogKind::Image);
    dialogs::DialogPresenter& presenter = dialogs::ActivePresenter();
    if (!claim || !presenter.Prepare()) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    SessionDialogTarget target(*this);
    const vantix::ImageSettings saved = target.Read();
    dialogs::ImageDialog dialog(target, IsMonochrome(colorModeIndex_), dialogs::UserLanguage());
    const bool shown = presenter.Run(dialog, vantix::X11WindowOf(owner));
    if (!shown || dialog.State().result != 1) {
        vantix::ScopedLock settings(settingsLock_);
        imageSettings_ = saved;
    }
    if (!shown) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    return 1;
}

int32_t CVantix::SetAnalogDlg(VantixHwnd owner) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    dialogs::DialogKindClaim claim(dialogs::DialogKind::Analog);
    dialogs::DialogPresenter& presenter = dialogs::ActivePresenter();
    if (!claim || !presenter.Prepare()) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    CameraSettings saved;
    int32_t savedBayerMode = 0;
    {
        // The dialog starts from what the camera has now.
        vantix::ScopedLock settings(settingsLock_);
        vantix::CVantixU3K9Base& e = *engine_;
        camera_.globalGain = e.GetGain();
        camera_.colorGainGreen1 = e.GetColorGainGreen1();
        camera_.colorGainRed = e.GetColorGainRed();
        camera_.colorGainBlue = e.GetColorGainBlue();
        camera_.colorGainGreen2 = e.GetColorGainGreen2();
        camera_.exposure = e.GetExposureTime();
        if (e.IsExposureSecondsSupported()) e.GetExposureSeconds(&camera_.exposureSeconds);
        // The session's horizontal flag is the sensor's vertical mirror.
        camera_.mirrorH = e.GetMirrorV() != 0;
        camera_.mirrorV = e.GetMirrorH() != 0;
        saved = camera_;
        savedBayerMode = imageSettings_[vantix::kBayerMode];
    }
    SessionDialogTarget target(*this);
    dialogs::AnalogDialog dialog(target, dialogs::UserLanguage());
    const bool shown = presenter.Run(dialog, vantix::X11WindowOf(owner));
    if (!shown || dialog.State().result != 1) {
        vantix::ScopedLock settings(settingsLock_);
        vantix::CVantixU3K9Base& e = *engine_;
        e.SetGain(saved.globalGain);
        e.SetColorGainGreen1(saved.colorGainGreen1);
        e.SetColorGainRed(saved.colorGainRed);
        e.SetColorGainBlue(saved.colorGainBlue);
        e.SetColorGainGreen2(saved.colorGainGreen2);
        if (e.IsExposureSecondsSupported()) {
            e.SetExposureSeconds(saved.exposureSeconds);
        } else {
            e.SetExposureTime(saved.exposure);
        }
        e.SetMirrorV(saved.mirrorH);
        e.SetMirrorH(saved.mirrorV);
        // What "Default" changed goes back too, so the camera matches the
        // settings that are restored.
        if (e.IsBlackLevelSupported()) e.SetBlackLevel(saved.blackLevel);
        if (e.IsCoolingSupported()) e.SetCooling(saved.cooler);
        if (e.IsExposureModeSupported()) e.SetExposureMode(saved.shortExposureMode);
        if (e.IsOutputModeSupported()) e.SetOutputMode(saved.gainMode);
        camera_ = saved;
        imageSettings_[vantix::kBayerMode] = savedBayerMode;
    }
    if (!shown) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    return 1;
}
