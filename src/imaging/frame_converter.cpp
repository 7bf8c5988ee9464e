#include "imaging/frame_converter.h"

#include "imaging/bayer_pattern.h"
#include "imaging/defect_mask.h"
#include "imaging/demosaic.h"
#include "imaging/filters/filters.h"
#include "imaging/mirror.h"

namespace vantix {

namespace {

constexpr int32_t kRawSlots[kColorModeCount] = {kSlotRaw8, kSlotRaw16, kSlotRaw8, kSlotRaw8, kSlotRaw16, kSlotRaw16};
constexpr int32_t kOutputSlots[kColorModeCount] = {kSlotRaw8,    kSlotRaw16,   kSlotColor24,
                                                   kSlotColor32, kSlotColor48, kSlotColor64};

bool IsGrayMode(int32_t colorMode) { return colorMode == 0 || colorMode == 1; }

}  // namespace

int32_t RawSlotOf(int32_t colorMode) {
    return colorMode >= 0 && colorMode < kColorModeCount ? kRawSlots[colorMode] : -1;
}

int32_t OutputSlotOf(int32_t colorMode) {
    return colorMode >= 0 && colorMode < kColorModeCount ? kOutputSlots[colorMode] : -1;
}

int32_t SubSampleDivisor(int32_t subSample) {
    switch (subSample) {
        case 1:
        case 17:
            return 2;
        case 2:
        case 18:
            return 4;
        case 3:
        case 19:
            return 8;
        default:
            return 1;
    }
}

FrameConverter::FrameConverter(const ImageSlots& images, CriticalSection& maskLock, ExposureControl* exposure)
    : images_(images), maskLock_(maskLock), exposure_(exposure) {}

CDibImage* FrameConverter::Slot(int32_t slot) const {
    if (slot < 0 || slot >= kImageSlotCount) {
        return nullptr;
    }
    CDibImage* image = images_[static_cast<size_t>(slot)];
    return image != nullptr && !image->IsEmpty() ? image : nullptr;
}

int32_t FrameConverter::DeliveredBayerMode(const ConversionSettings& settings) {
    int32_t mode = settings.bayerMode & 3;
    if (settings.mirrorV && settings.cameraMirrorsV) {
        mode = bayer::FlippedRows(mode);
    }
    if (settings.mirrorH && settings.cameraMirrorsH) {
        mode = bayer::FlippedColumns(mode);
    }
    return mode;
}

int32_t FrameConverter::MirroredBayerMode(const ConversionSettings& settings, int32_t width, int32_t height) {
    int32_t mode = DeliveredBayerMode(settings);
    if (settings.mirrorV && !settings.cameraMirrorsV && (height & 1) == 0) {
        mode = bayer::FlippedRows(mode);
    }
    if (settings.mirrorH && !settings.cameraMirrorsH && (width & 1) == 0) {
        mode = bayer::FlippedColumns(mode);
    }
    return mode;
}

ConversionResult FrameConverter::Convert(ConversionSettings& settings) {
    ConversionResult result;
    // 1. The raw buffer of the colour mode.
    CDibImage* raw = Slot(RawSlotOf(settings.colorMode));
    if (raw == nullptr) {
        return result;
    }
    const int32_t deliveredMode = DeliveredBayerMode(settings);

    // 2. Automatic exposure.
    if (exposure_ != nullptr) {
        result.exposureChanged = RunAutoExposure(*raw, settings.autoIris, *exposure_);
    }

    // 3.-5. Flat-field correction and dot filter, under the mask lock.
    if (settings.maskFilter || settings.dotFilter) {
        CorrectDefects(*raw, settings);
    }

    // 6. Hot-pixel filter.
    if ((settings.subSample & kSubSampleSkipHotPixels) == 0) {
        ApplyHotPixelFilter(*raw, deliveredMode, settings.bayerGainRed, settings.bayerGainBlue);
    }

    // 7. Gray-mode stage.
    if (IsGrayMode(settings.colorMode)) {
        GrayStage(*raw, settings, deliveredMode, result);
    }

    // 8. Software mirroring.
    const bool softwareH = settings.mirrorH && !settings.cameraMirrorsH;
    const bool softwareV = settings.mirrorV && !settings.cameraMirrorsV;
    if (softwareH || softwareV) {
        MirrorRaw(*raw, softwareH, softwareV);
    }

    // 9. Bayer interpolation.
    CDibImage* output = Slot(OutputSlotOf(settings.colorMode));
    if (output == nullptr) {
        return result;
    }
    if (!IsGrayMode(settings.colorMode)) {
        const int32_t mode = MirroredBayerMode(settings, raw->Width(), raw->Height());
        if (!DemosaicBalanced(*output, *raw, mode, settings, result)) {
            return result;
        }
    }

    // 10. Picture filters.
    PictureFilters(*output, settings);
    result.converted = true;
    return result;
}

void FrameConverter::CorrectDefects(CDibImage& raw, const ConversionSettings& settings) {
    const bool wide = raw.BytesPerPixel() == 2;
    ScopedLock lock(maskLock_);
    if (settings.maskFilter) {
        CDibImage* dark = Slot(wide ? kSlotMaskDark16 : kSlotMaskDark8);
        CDibImage* bright = Slot(wide ? kSlotMaskBright16 : kSlotMaskBright8);
        if (dark != nullptr && bright != nullptr) {
            FlatFieldWindow window;
            window.originX = settings.windowX;
            window.originY = settings.windowY;
            window.width = settings.windowWidth;
            window.height = settings.windowHeight;
            window.divisor = SubSampleDivisor(settings.subSample);
            FlatFieldCorrection(&raw, *dark, *bright, window);
        }
    }
    if (settings.dotFilter) {
        CDibImage* hot = Slot(wide ? kSlotHotMap16 : kSlotHotMap8);
        CDibImage* dead = Slot(wide ? kSlotDeadMap16 : kSlotDeadMap8);
        CDibImage* work = Slot(wide ? kSlotDotWork16 : kSlotDotWork8);
        // Missing maps mark nothing; a missing work map makes the filter keep
        // its marks in a buffer of its own.
        CDibImage none;
        ApplyDotFilter(raw, hot != nullptr ? *hot : none, dead != nullptr ? *dead : none,
                       work != nullptr ? *work : none);
    }
}

void FrameConverter::GrayStage(CDibImage& raw, ConversionSettings& settings, int32_t bayerMode,
                               ConversionResult& result) {
    if (settings.grayAutoOneShot > 0 && MeasureGrayGains(raw, bayerMode, &settings.gray)) {
        --settings.grayAutoOneShot;
        result.grayGainsChanged = true;
    }
    if (settings.grayMode == 1) {
        ApplyGrayGains(raw, bayerMode, settings.gray, raw.BytesPerPixel() == 1 ? 8 : 16);
    } else if (settings.grayMode == 2 && raw.BytesPerPixel() == 1) {
        // The work image is demosaiced before software mirroring, so only the
        // camera's own mirroring has changed the pattern at this point.
        CDibImage* work = Slot(kSlotColor24);
        if (work != nullptr && DemosaicBalanced(*work, raw, bayerMode, settings, result)) {
            ColorToGray(raw, *work);
        }
    }
}

bool FrameConverter::DemosaicBalanced(CDibImage& destination, const CDibImage& raw, int32_t bayerMode,
                                      ConversionSettings& settings, ConversionResult& result) {
    if (settings.bayerGainAuto != 0) {
        WhiteBalanceGains gains;
        if (MeasureWhiteBalance(raw, bayerMode, &gains)) {
            settings.bayerGainRed = gains.red;
            settings.bayerGainGreen = gains.green;
            settings.bayerGainBlue = gains.blue;
            result.bayerGainsChanged = true;
            if (settings.bayerGainOneShotA != 0 && settings.bayerGainOneShotB != 0) {
                settings.bayerGainAuto = 0;
                settings.bayerGainOneShotA = 0;
                settings.bayerGainOneShotB = 0;
            }
        }
    }
    return Demosaic(destination, raw, bayerMode, settings.bayerGainRed, settings.bayerGainBlue) != 0;
}

void FrameConverter::PictureFilters(CDibImage& output, const ConversionSettings& settings) {
    if (!IsGrayMode(settings.colorMode) && (settings.hue != 0 || settings.saturation != 0)) {
        ApplyHueSaturation(output, settings.hue, settings.saturation);
    }
    if (settings.gamma != kGammaNeutral) {
        ApplyGamma(output, settings.gamma);
    }
    if (settings.contrast != 0) {
        ApplyContrast(output, settings.contrast);
    }
    if (settings.sharpness != 0) {
        CDibImage* scratch = images_[kSlotFilterScratch];
        if (scratch != nullptr && CopyToFilterScratch(output, *scratch) != 0) {
            ApplySharpness(output, *scratch, settings.sharpness);
        }
    }
    if (settings.brightness != 0) {
        ApplyBrightness(output, settings.brightness);
    }
}

}  // namespace vantix
