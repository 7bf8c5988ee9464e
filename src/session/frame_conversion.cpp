// The session's side of the frame conversion: its settings handed to the
// converter, the results written back, and the camera controls of the
// automatic exposure step along the same paths as the property setters.
#include "imaging/frame_converter.h"
#include "imaging/repack_rows.h"
#include "session/vantix_session.h"

using vantix::kBayerOneShotA;
using vantix::kBayerOneShotB;

// The automatic exposure step changes gain and exposure as the matching
// filter-id setters do, so the session's stored values follow.
class CVantix::SessionExposureControl final : public vantix::ExposureControl {
public:
    explicit SessionExposureControl(CVantix& session) : session_(session) {}
    int32_t GlobalGain() override {
        vantix::ScopedLock settings(session_.settingsLock_);
        return session_.engine_->GetGain();
    }
    int32_t MinGlobalGain() override { return session_.engine_->GetGainMin(); }
    int32_t MaxGlobalGain() override { return session_.engine_->GetGainMax(); }
    void SetGlobalGain(int32_t gain) override {
        vantix::ScopedLock settings(session_.settingsLock_);
        CameraSettings& camera = session_.camera_;
        camera.globalGain = gain;
        camera.colorGainGreen1 = camera.colorGainRed = camera.colorGainBlue = camera.colorGainGreen2 = gain;
        session_.engine_->SetGain(gain);
    }
    int32_t ExposureTime() override {
        vantix::ScopedLock settings(session_.settingsLock_);
        return session_.engine_->GetExposureTime();
    }
    int32_t MinExposureTime() override { return session_.engine_->GetExposureTimeMin(); }
    int32_t MaxExposureTime() override { return session_.engine_->GetExposureTimeMax(); }
    void SetExposureTime(int32_t exposure) override {
        vantix::ScopedLock settings(session_.settingsLock_);
        session_.camera_.exposure = exposure;
        session_.engine_->SetExposureTime(exposure);
        session_.TakeProgrammedExposure();
        session_.camera_.realExposureResult = session_.camera_.exposure * 100;
    }

private:
    CVantix& session_;
};

void CVantix::RepackRawRows(vantix::CDibImage* raw) { vantix::RepackRawRows(*raw); }

bool CVantix::ConvertFrame(const vantix::OutputCopy* copy) {
    vantix::ImageSlots slots{};
    for (size_t i = 0; i < slots.size(); ++i) slots[i] = images_[i].get();
    vantix::ConversionSettings settings = ConversionSettingsSnapshot();
    // The flat-field correction and the dot filter read the mask references.
    if (settings.maskFilter || settings.dotFilter) EnsureMaskReferencesFilled();

    SessionExposureControl exposure(*this);
    vantix::FrameConverter converter(slots, maskLock_, &exposure, &conversionWorkspace_);
    const vantix::ConversionResult result = converter.Convert(settings, copy);
    StoreConversionResults(settings, result);
    return result.outputCopied;
}

// One copy of the settings per frame: a setter called meanwhile takes effect
// at the next frame, never halfway through this one.
vantix::ConversionSettings CVantix::ConversionSettingsSnapshot() const {
    vantix::ScopedLock lock(settingsLock_);
    vantix::ConversionSettings settings;
    settings.colorMode = activeColorMode_;
    settings.subSample = subSample_;
    settings.windowX = geometry_.startX;
    settings.windowY = geometry_.startY;
    settings.windowWidth = geometry_.width;
    settings.windowHeight = geometry_.height;
    const vantix::ImageSettings& s = imageSettings_;
    settings.bayerMode = s[vantix::kBayerMode];
    settings.bayerGainRed = s[vantix::kBayerGainRed];
    settings.bayerGainGreen = s[vantix::kBayerGainGreen];
    settings.bayerGainBlue = s[vantix::kBayerGainBlue];
    settings.bayerGainAuto = s[vantix::kBayerGainAuto];
    settings.bayerGainOneShotA = s[kBayerOneShotA];
    settings.bayerGainOneShotB = s[kBayerOneShotB];
    settings.grayMode = s[vantix::kGrayMode];
    settings.gray = {s[vantix::kGrayGainR],   s[vantix::kGrayGainG1],   s[vantix::kGrayGainG2],   s[vantix::kGrayGainB],
                     s[vantix::kGrayOffsetR], s[vantix::kGrayOffsetG1], s[vantix::kGrayOffsetG2], s[vantix::kGrayOffsetB]};
    settings.grayAutoOneShot = s[vantix::kFilter28];
    settings.mirrorH = camera_.mirrorH != 0;
    settings.mirrorV = camera_.mirrorV != 0;
    // The session's horizontal flag drives the sensor's vertical mirror.
    settings.cameraMirrorsH = engine_->IsMirrorVSupported() != 0;
    settings.cameraMirrorsV = engine_->IsMirrorHSupported() != 0;
    settings.autoIris = camera_.autoIris;
    settings.maskFilter = maskFilter_ != 0;
    settings.dotFilter = dotFilter_ != 0;
    settings.brightness = s[vantix::kBrightness];
    settings.contrast = s[vantix::kContrast];
    settings.hue = s[vantix::kHue];
    settings.saturation = s[vantix::kSaturation];
    settings.sharpness = s[vantix::kSharpness];
    settings.gamma = s[vantix::kGamma];
    return settings;
}

// White balance and gray gains found by the one-push and automatic steps.
void CVantix::StoreConversionResults(const vantix::ConversionSettings& settings,
                                     const vantix::ConversionResult& result) {
    vantix::ScopedLock lock(settingsLock_);
    vantix::ImageSettings& out = imageSettings_;
    if (result.bayerGainsChanged) {
        out[vantix::kBayerGainRed] = settings.bayerGainRed;
        out[vantix::kBayerGainGreen] = settings.bayerGainGreen;
        out[vantix::kBayerGainBlue] = settings.bayerGainBlue;
        out[vantix::kBayerGainAuto] = settings.bayerGainAuto;
        out[kBayerOneShotA] = settings.bayerGainOneShotA;
        out[kBayerOneShotB] = settings.bayerGainOneShotB;
    }
    if (result.grayGainsChanged) {
        const vantix::GrayMultipliers& g = settings.gray;
        out[vantix::kGrayGainR] = g.gainR;
        out[vantix::kGrayGainG1] = g.gainG1;
        out[vantix::kGrayGainG2] = g.gainG2;
        out[vantix::kGrayGainB] = g.gainB;
        out[vantix::kGrayOffsetR] = g.offsetR;
        out[vantix::kGrayOffsetG1] = g.offsetG1;
        out[vantix::kGrayOffsetG2] = g.offsetG2;
        out[vantix::kGrayOffsetB] = g.offsetB;
        out[vantix::kFilter28] = settings.grayAutoOneShot;
    }
}
