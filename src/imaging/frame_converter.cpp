#include "imaging/frame_converter.h"

#include <cstring>

#include "imaging/bayer_pattern.h"
#include "imaging/defect_mask.h"
#include "imaging/demosaic.h"
#include "imaging/filters/filter_bands.h"
#include "imaging/filters/filters.h"
#include "imaging/mirror.h"
#include "imaging/row_bands.h"

namespace vantix {

namespace {

constexpr int32_t kRawSlots[kColorModeCount] = {kSlotRaw8, kSlotRaw16, kSlotRaw8, kSlotRaw8, kSlotRaw16, kSlotRaw16};
constexpr int32_t kOutputSlots[kColorModeCount] = {kSlotRaw8,    kSlotRaw16,   kSlotColor24,
                                                   kSlotColor32, kSlotColor48, kSlotColor64};

bool IsGrayMode(int32_t colorMode) { return colorMode == 0 || colorMode == 1; }

// The pairs Demosaic accepts: 8-bit samples into 24 or 32 bits, 16-bit
// samples into 48 or 64 bits, of the same size.
bool CanDemosaic(const CDibImage& destination, const CDibImage& raw) {
    if (raw.IsEmpty() || destination.IsEmpty() || raw.Width() != destination.Width() ||
        raw.Height() != destination.Height()) {
        return false;
    }
    const int32_t pixelBytes = destination.BytesPerPixel();
    return raw.BytesPerPixel() == 1 ? pixelBytes == 3 || pixelBytes == 4
                                    : raw.BytesPerPixel() == 2 && (pixelBytes == 6 || pixelBytes == 8);
}

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

FrameConverter::FrameConverter(const ImageSlots& images, CriticalSection& maskLock, ExposureControl* exposure,
                               ConversionWorkspace* workspace)
    : images_(images),
      maskLock_(maskLock),
      exposure_(exposure),
      ownWorkspace_(workspace == nullptr ? std::make_unique<ConversionWorkspace>(1) : nullptr),
      workspace_(workspace != nullptr ? *workspace : *ownWorkspace_),
      level_(ActiveKernelLevel()) {}

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

ConversionResult FrameConverter::Convert(ConversionSettings& settings, const OutputCopy* copy) {
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
        FilterHotPixels(*raw, deliveredMode, settings);
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
    const bool colour = !IsGrayMode(settings.colorMode);
    const int32_t mode = MirroredBayerMode(settings, raw->Width(), raw->Height());
    if (colour) {
        if (!CanDemosaic(*output, *raw)) {
            return result;
        }
        MeasureBalance(*raw, mode, settings, result);
    }

    // 10. Picture filters, band by band after the demosaic of the band.
    const bool copies = copy != nullptr && copy->image == output && copy->destination != nullptr &&
                        copy->capacity >= static_cast<size_t>(output->Stride()) * static_cast<size_t>(output->Height());
    RenderOutput(*output, colour ? raw : nullptr, mode, settings, copies ? copy : nullptr);
    result.converted = true;
    result.outputCopied = copies;
    return result;
}

void FrameConverter::CorrectDefects(CDibImage& raw, const ConversionSettings& settings) {
    const bool wide = raw.BytesPerPixel() == 2;
    WorkerPool& pool = workspace_.Pool();
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
            RunInBands(pool, raw.Height(), [&](const RowBand& band, int32_t) {
                FlatFieldCorrection(&raw, *dark, *bright, window, band.begin, band.end, level_);
            });
        }
    }
    if (settings.dotFilter) {
        CDibImage* hot = Slot(wide ? kSlotHotMap16 : kSlotHotMap8);
        CDibImage* dead = Slot(wide ? kSlotDeadMap16 : kSlotDeadMap8);
        CDibImage* work = Slot(wide ? kSlotDotWork16 : kSlotDotWork8);
        // Missing maps mark nothing; a missing work map makes the filter keep
        // its marks in a buffer of the workspace.
        CDibImage none;
        DotFilterPlan plan;
        const int32_t bands = BandCount(raw.Height(), pool.Threads());
        if (PrepareDotFilter(raw, hot != nullptr ? *hot : none, dead != nullptr ? *dead : none,
                             work != nullptr ? *work : none, workspace_.DotMarks(), workspace_.DotPlanes(), bands,
                             &plan)) {
            // Every mark is set before any look-down, and the look-downs of
            // all bands are joined before any sample is filled in.
            RunInBands(pool, raw.Height(), [&](const RowBand& band, int32_t slot) {
                DotFilterMarkRows(plan, band.begin, band.end, workspace_.Scratch(slot).dot);
            });
            RunInBands(pool, raw.Height(), [&](const RowBand& band, int32_t slot) {
                DotFilterLookDownRows(plan, band, workspace_.Scratch(slot).dot);
            });
            DotFilterJoinBands(plan);
            RunInBands(pool, raw.Height(), [&](const RowBand& band, int32_t slot) {
                DotFilterFillRows(plan, band, workspace_.Scratch(slot).dot);
            });
        }
    }
}

void FrameConverter::FilterHotPixels(CDibImage& raw, int32_t bayerMode, const ConversionSettings& settings) {
    if (workspace_.Threads() <= 1) {
        ApplyHotPixelFilter(raw, bayerMode, settings.bayerGainRed, settings.bayerGainBlue);
        return;
    }
    // The replacements see the ones made before them: each band resolves its
    // rows as if the rows over it held none, and the mend redoes, in order,
    // the rows where that was not so (see filter_bands.h).
    WorkerPool& pool = workspace_.Pool();
    HotPixelScratch& scratch = workspace_.HotPixels();
    const int32_t bands = BandCount(raw.Height(), pool.Threads());
    HotPixelPrepareBands(scratch, bands);
    RunInBands(pool, raw.Height(), [&](const RowBand& band, int32_t) {
        HotPixelResolveBand(raw, bayerMode, settings.bayerGainRed, settings.bayerGainBlue, band, bands, scratch);
    });
    HotPixelMendBands(raw, bayerMode, settings.bayerGainRed, settings.bayerGainBlue, bands, scratch);
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

void FrameConverter::MeasureBalance(const CDibImage& raw, int32_t bayerMode, ConversionSettings& settings,
                                    ConversionResult& result) {
    if (settings.bayerGainAuto == 0) {
        return;
    }
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

bool FrameConverter::DemosaicBalanced(CDibImage& destination, const CDibImage& raw, int32_t bayerMode,
                                      ConversionSettings& settings, ConversionResult& result) {
    MeasureBalance(raw, bayerMode, settings, result);
    return Demosaic(destination, raw, bayerMode, settings.bayerGainRed, settings.bayerGainBlue) != 0;
}

void FrameConverter::RenderOutput(CDibImage& output, const CDibImage* raw, int32_t bayerMode,
                                  const ConversionSettings& settings, const OutputCopy* copy) {
    const bool hueSaturation = !IsGrayMode(settings.colorMode) && (settings.hue != 0 || settings.saturation != 0);
    // Sharpness reads the image as the filters before it left it: each band
    // keeps copies of its own last rows, and works out the rows it reads of
    // the bands beside it (two above, one below) itself, into the scratch
    // image, so that no band waits for another.
    CDibImage* halo = nullptr;
    if (settings.sharpness != 0) {
        CDibImage* candidate = images_[kSlotFilterScratch];
        if (candidate != nullptr && candidate != &output && PrepareFilterScratch(output, *candidate) != 0) {
            halo = candidate;
        }
    }
    // Gamma and contrast fold into one table, and brightness with them
    // unless sharpness runs in between.
    const int32_t sampleBytes = output.BytesPerPixel() == 2 || output.BytesPerPixel() >= 6 ? 2 : 1;
    const bool foldBrightness = halo == nullptr;
    const filter_detail::ToneTable* tones = nullptr;
    if (settings.gamma != kGammaNeutral || settings.contrast != 0 || (foldBrightness && settings.brightness != 0)) {
        tones = &workspace_.ToneTableFor(sampleBytes, settings.gamma, settings.contrast, settings.brightness,
                                         foldBrightness);
    }
    const filter_detail::ToneTable* brightness = nullptr;
    if (!foldBrightness && settings.brightness != 0) {
        brightness = &workspace_.BrightnessTableFor(sampleBytes, settings.brightness);
    }

    WorkerPool& pool = workspace_.Pool();
    const size_t stride = static_cast<size_t>(output.Stride());
    const int32_t height = output.Height();
    // The stages before the sharpness, on rows [begin, end) of `target`.
    auto beforeSharpness = [&](CDibImage& target, int32_t begin, int32_t end) {
        if (raw != nullptr) {
            DemosaicRows(target, *raw, bayerMode, settings.bayerGainRed, settings.bayerGainBlue, level_, begin, end);
        }
        // The hue filter leaves 16-bit channels with a low byte of 0,
        // which the tone table then looks up in 256 entries.
        const bool highBytesOnly =
            hueSaturation && ApplyHueSaturationRows(target, settings.hue, settings.saturation, begin, end, level_);
        if (tones != nullptr) {
            MapToneTableRows(target, *tones, begin, end, level_, highBytesOnly);
        }
    };
    // The stages after it, and the copy into the application's buffer.
    auto afterSharpness = [&](int32_t begin, int32_t end) {
        if (brightness != nullptr) {
            MapToneTableRows(output, *brightness, begin, end, level_);
        }
        if (copy == nullptr) {
            return;
        }
        if (!copy->bottomUp) {
            std::memcpy(copy->destination + stride * static_cast<size_t>(begin), output.Row(begin),
                        stride * static_cast<size_t>(end - begin));
            return;
        }
        for (int32_t y = begin; y < end; ++y) {
            std::memcpy(copy->destination + stride * static_cast<size_t>(height - 1 - y), output.Row(y), stride);
        }
    };
    if (halo != nullptr && raw == nullptr) {
        // Gray modes work on the image in place: the rows a band reads of
        // its neighbours are taken as delivered before any band changes them.
        RunInBands(pool, height, [&](const RowBand& band, int32_t) {
            for (const int32_t row : SharpnessHaloRows(band, height)) {
                if (row >= 0) {
                    std::memcpy(halo->Row(row), output.Row(row), stride);
                }
            }
        });
    }
    RunInBands(pool, height, [&](const RowBand& band, int32_t slot) {
        if (halo == nullptr) {
            ForEachChunk(band, [&](int32_t begin, int32_t end) {
                beforeSharpness(output, begin, end);
                afterSharpness(begin, end);
            });
            return;
        }
        for (const int32_t row : SharpnessHaloRows(band, height)) {
            if (row >= 0) {
                beforeSharpness(*halo, row, row + 1);
            }
        }
        SharpnessBandScratch& sharpness = workspace_.Scratch(slot).sharpness;
        // Row y is sharpened once the row under it has had the stages
        // before, and the stages after follow at once. The top border rows,
        // which rows 2 and 3 read from the image, are in the first chunk
        // with them, so they too come after the sharpening that reads them.
        static_assert(kChunkRows > 2 * kSharpnessBorder, "the first chunk must sharpen rows 2 and 3");
        int32_t sharpened = band.begin;
        ForEachChunk(band, [&](int32_t begin, int32_t end) {
            beforeSharpness(output, begin, end);
            const int32_t ready = end == band.end ? end : end - 1;
            ApplySharpnessInBand(output, *halo, settings.sharpness, band, sharpened, ready, sharpness, level_);
            afterSharpness(sharpened, ready);
            sharpened = ready;
        });
    });
}

}  // namespace vantix
