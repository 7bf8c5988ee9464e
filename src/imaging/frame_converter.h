#pragma once
// FrameConverter: turns the raw frame in a session's raw buffer into the
// image of its colour mode, once per delivered frame.
//
// In order: automatic exposure, flat-field correction and dot filter (under
// the mask lock), hot-pixel filter, the gray-mode stage (monochrome modes),
// software mirroring, Bayer interpolation with white balance (colour modes),
// and the picture filters on the output image. The converter keeps no state
// between frames beyond what it writes back into the settings it is handed.
//
// With a ConversionWorkspace of several threads the stages that work row by
// row run in row bands on its worker pool (see row_bands.h), each giving the
// same bytes as on one thread; the consecutive per-channel filters (gamma,
// contrast, and brightness unless sharpness comes between) are folded into
// one lookup table.
#include <array>
#include <cstdint>
#include <memory>

#include "catalog/library_model.h"
#include "imaging/auto_exposure.h"
#include "imaging/conversion_workspace.h"
#include "imaging/dib_image.h"
#include "imaging/gray_mode.h"
#include "platform/critical_section.h"

namespace vantix {

// The session's image buffers, by slot.
enum ImageSlot : int {
    kSlotRaw8 = 0,      // raw frame, 8-bit samples (colour modes 0, 2, 3)
    kSlotRaw16,         // raw frame, 16-bit samples (colour modes 1, 4, 5)
    kSlotColor24,       // output of mode 2; work image of gray mode 2
    kSlotColor32,       // output of mode 3
    kSlotColor48,       // output of mode 4
    kSlotColor64,       // output of mode 5
    kSlotFilterScratch,  // the sharpness filter's copies of the rows at band edges
    kSlotPreview,
    kSlotMaskDark8,
    kSlotMaskBright8,
    kSlotMaskDark16,
    kSlotMaskBright16,
    kSlotHotMap8,
    kSlotDeadMap8,
    kSlotHotMap16,
    kSlotDeadMap16,
    kSlotDotWork8,
    kSlotDotWork16,
    kImageSlotCount,
};

using ImageSlots = std::array<CDibImage*, kImageSlotCount>;

// Colour-mode indices 0..5: 8, 16, 24, 32, 48, 64 bits per pixel.
inline constexpr int32_t kColorModeCount = 6;
// The raw and output slots of a colour mode, or -1 outside 0..5.
int32_t RawSlotOf(int32_t colorMode);
int32_t OutputSlotOf(int32_t colorMode);

// Sub-sampling divisor of a sub-sampling mode: 1 or 17 halve, 2 or 18
// quarter, 3 or 19 divide by 8, anything else by 1.
int32_t SubSampleDivisor(int32_t subSample);
// Modes with this bit set skip the hot-pixel filter.
inline constexpr int32_t kSubSampleSkipHotPixels = 0x10;

// What a frame is converted with. The session fills this from its own
// settings before each frame; the conversion writes the automatic results
// back into it (see ConversionResult), for the session to store.
struct ConversionSettings {
    int32_t colorMode = 0;  // index 0..5
    int32_t subSample = 0;
    // The capture window on the sensor, for the flat-field correction.
    int32_t windowX = 0;
    int32_t windowY = 0;
    int32_t windowWidth = kLibrarySensorWidth;
    int32_t windowHeight = kLibrarySensorHeight;

    int32_t bayerMode = 3;  // 0..3, the pattern of an unmirrored frame
    int32_t bayerGainRed = 100;  // percent, 0..400
    int32_t bayerGainGreen = 100;
    int32_t bayerGainBlue = 100;
    int32_t bayerGainAuto = 0;  // nonzero: measure the white balance every frame
    // The two one-shot flags of a one-push white balance: when both are set
    // along with bayerGainAuto, one measurement is made and all three clear.
    int32_t bayerGainOneShotA = 0;
    int32_t bayerGainOneShotB = 0;

    int32_t grayMode = 0;  // 0 off, 1 channel gains, 2 colour to gray
    GrayMultipliers gray;  // gray gains and offsets, 128 neutral
    int32_t grayAutoOneShot = 0;  // filter value 28: level the gray gains once

    bool mirrorH = false;
    bool mirrorV = false;
    // Whether the camera mirrors its readout itself; otherwise the
    // conversion mirrors the frame.
    bool cameraMirrorsH = false;
    bool cameraMirrorsV = false;

    int32_t autoIris = 0;  // AutoExposureMode
    bool maskFilter = false;
    bool dotFilter = false;

    int32_t brightness = 0;
    int32_t contrast = 0;
    int32_t hue = 0;
    int32_t saturation = 0;
    int32_t sharpness = 0;
    int32_t gamma = 100;
};

struct ConversionResult {
    // False when the colour mode has no raw buffer, the raw buffer is empty
    // or the output could not be made; the output is then not a new frame.
    bool converted = false;
    // The white balance was measured: bayerGainRed/Green/Blue were rewritten
    // and, after a one-push measurement, bayerGainAuto and both one-shot flags
    // cleared. The session stores them and refreshes an open image dialog.
    bool bayerGainsChanged = false;
    // The gray gains were levelled: `gray` was rewritten and grayAutoOneShot
    // decremented. The session stores them and refreshes an open image dialog.
    bool grayGainsChanged = false;
    // The automatic exposure step called a setter of the ExposureControl.
    bool exposureChanged = false;
    // The output was also copied to OutputCopy::destination.
    bool outputCopied = false;
};

// A buffer the conversion also copies its output to when the output is
// `image`: each band's rows as soon as they are finished, while they are
// still in the cache, the whole image with its row padding, the last row
// first when bottomUp. `capacity` bytes must hold the image, or nothing is
// copied.
struct OutputCopy {
    const CDibImage* image = nullptr;
    uint8_t* destination = nullptr;
    size_t capacity = 0;
    bool bottomUp = false;
};

class FrameConverter {
public:
    // `images` are the session's buffers (null entries count as empty);
    // `maskLock` guards the mask references and defect maps; `exposure` may
    // be null, which turns the automatic exposure step off. `workspace` is
    // kept between frames by the caller; null converts on the calling thread
    // with scratch of the converter's own. All must outlive the converter.
    FrameConverter(const ImageSlots& images, CriticalSection& maskLock, ExposureControl* exposure,
                   ConversionWorkspace* workspace = nullptr);

    // Converts the frame in the raw buffer of settings.colorMode. Call with
    // the session's image lock held, after the raw buffer was filled and its
    // rows repacked.
    ConversionResult Convert(ConversionSettings& settings, const OutputCopy* copy = nullptr);

    // The Bayer mode of the raw buffer as delivered (the camera's own
    // mirroring applied), and after software mirroring as well. Mirroring an
    // odd number of rows or columns leaves the pattern as it was.
    static int32_t DeliveredBayerMode(const ConversionSettings& settings);
    static int32_t MirroredBayerMode(const ConversionSettings& settings, int32_t width, int32_t height);

private:
    CDibImage* Slot(int32_t slot) const;
    void CorrectDefects(CDibImage& raw, const ConversionSettings& settings);
    void FilterHotPixels(CDibImage& raw, int32_t bayerMode, const ConversionSettings& settings);
    void GrayStage(CDibImage& raw, ConversionSettings& settings, int32_t bayerMode, ConversionResult& result);
    // Demosaic with the white balance measured first when it is automatic.
    bool DemosaicBalanced(CDibImage& destination, const CDibImage& raw, int32_t bayerMode,
                          ConversionSettings& settings, ConversionResult& result);
    void MeasureBalance(const CDibImage& raw, int32_t bayerMode, ConversionSettings& settings,
                        ConversionResult& result);
    // Steps 9 and 10: the demosaic from `raw` (null in the gray modes) and
    // the picture filters, band by band.
    // Copies rows [begin, end) of the output to `copy` when it is not null.
    void RenderOutput(CDibImage& output, const CDibImage* raw, int32_t bayerMode, const ConversionSettings& settings,
                      const OutputCopy* copy);

    ImageSlots images_;
    CriticalSection& maskLock_;
    ExposureControl* exposure_;
    std::unique_ptr<ConversionWorkspace> ownWorkspace_;
    ConversionWorkspace& workspace_;
    KernelLevel level_;
};

}  // namespace vantix
