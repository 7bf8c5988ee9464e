#pragma once
// The image filters of the conversion pipeline.
//
// Two defect filters work on the raw sensor samples (8- or 16-bit gray):
//   - the dot filter replaces samples that the defect maps mark, or that stand
//     out from their four direct neighbours, by the mean of the nearest
//     unmarked samples along their row and column;
//   - the hot-pixel filter replaces lone samples by the mean of their four
//     same-colour Bayer neighbours (8-bit: only bright samples that would
//     colour the demosaiced picture; 16-bit: bright or dark samples far from
//     all eight direct neighbours).
// Five picture filters work on the finished image, in place (sharpness reads
// a copy of the image taken just before): hue and saturation, gamma,
// contrast, sharpness and brightness.
//
// Every filter but the dot filter is a PixelRoutine (imaging/dib_image.h) run
// through CDibImage::Apply; param1 points to the filter's settings record and
// param2 is null, or for the picture filters points to the KernelLevel whose
// kernels to run (every level gives the same bytes; tests and benchmarks
// compare them). Each routine picks its variant from the bytes per pixel
// it is handed: 1 gray 8-bit, 2 gray 16-bit, 3 and 4 colour 8-bit per channel
// (B, G, R and an untouched fourth byte), 6 and 8 colour 16-bit per channel.
// A routine returns 0 without touching anything when param1 is null, the
// source and destination pixel sizes differ or the format is not one it
// supports; otherwise it returns 1 (the 8-bit hot-pixel filter returns the
// number of samples it replaced).
//
// Settings outside their ranges are clamped to the range.
//
// The Apply* functions run a filter over a whole image and return the
// routine's result, or 0 when the image is empty or of an unsupported format.
// They keep no state between calls and may run concurrently on different
// images.
#include <cstdint>

#include "imaging/cpu_dispatch.h"
#include "imaging/dib_image.h"

namespace vantix {

// Setting ranges. At the neutral values the pipeline skips the filter.
inline constexpr int32_t kBrightnessMin = -255;
inline constexpr int32_t kBrightnessMax = 255;
inline constexpr int32_t kContrastMin = -127;
inline constexpr int32_t kContrastMax = 127;
inline constexpr int32_t kHueMin = -360;  // degrees
inline constexpr int32_t kHueMax = 360;
inline constexpr int32_t kSaturationMin = -255;
inline constexpr int32_t kSaturationMax = 255;
inline constexpr int32_t kSharpnessMin = 0;
inline constexpr int32_t kSharpnessMax = 30;
inline constexpr int32_t kGammaMin = 0;  // percent
inline constexpr int32_t kGammaMax = 200;
inline constexpr int32_t kGammaNeutral = 100;
inline constexpr int32_t kBayerGainMax = 400;  // percent

// Dot-filter thresholds by raw sample width.
inline constexpr int32_t kDotThreshold8 = 30;
inline constexpr int32_t kDotThreshold16 = 480;
// Hot-pixel thresholds by raw sample width.
inline constexpr int32_t kHotPixelThreshold8 = 30;
inline constexpr int32_t kHotPixelThreshold16 = 7680;

struct BrightnessSettings {
    int32_t brightness;  // -255..255
};

struct ContrastSettings {
    int32_t contrast;  // -127..127
};

struct GammaSettings {
    int32_t gamma;  // 0..200 percent; 100 is neutral
};

struct HueSaturationSettings {
    int32_t hue;          // -360..360 degrees
    int32_t lightness;    // carried for the record layout; the pipeline passes 0 and it is not applied
    int32_t saturation;   // -255..255
    int32_t channelBits;  // carried for the record layout (16); the variant follows the pixel size
};

struct SharpnessSettings {
    int32_t sharpness;  // 0..30; 10 doubles a pixel's difference from its 4 x 4 block mean
};

struct HotPixelSettings {
    int32_t bayerMode;  // 0..3, see imaging/bayer_pattern.h
    int32_t redGain;    // Bayer gains in percent, 0..400
    int32_t greenGain;  // not used by the filter
    int32_t blueGain;
};

// PixelRoutines.
int BrightnessRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                      uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                      void* param1, void* param2);
int ContrastRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                    void* param1, void* param2);
int GammaRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                 uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                 void* param1, void* param2);
// Colour formats only (3, 4, 6 and 8 bytes per pixel). The 8-byte variant
// clears the fourth word; the 4-byte variant leaves the fourth byte alone.
// 16-bit channels are worked on in their high byte (the low byte becomes 0).
// No turn with saturation 0 leaves the image exactly as it is.
int HueSaturationRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                         uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                         int32_t srcStride, void* param1, void* param2);
// Reads src (a copy of the image) and writes dst; the two-pixel border of the
// destination is left as it was. A source that overlaps the destination is
// copied aside first.
int SharpnessRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                     uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                     void* param1, void* param2);
// Raw samples only (1 or 2 bytes per pixel), in place. Only the low two
// bits of the Bayer mode count.
int HotPixelRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                    void* param1, void* param2);

// Whole-image entry points, with the kernels ActiveKernelLevel() names or
// those of a given level (falling back to the best the processor has below
// it).
int ApplyBrightness(CDibImage& image, int32_t brightness);
int ApplyBrightness(CDibImage& image, int32_t brightness, KernelLevel level);
int ApplyContrast(CDibImage& image, int32_t contrast);
int ApplyContrast(CDibImage& image, int32_t contrast, KernelLevel level);
int ApplyGamma(CDibImage& image, int32_t gamma);
int ApplyGamma(CDibImage& image, int32_t gamma, KernelLevel level);
int ApplyHueSaturation(CDibImage& image, int32_t hue, int32_t saturation);
int ApplyHueSaturation(CDibImage& image, int32_t hue, int32_t saturation, KernelLevel level);
// scratch must hold a copy of image (same size and depth, e.g. made by
// CopyToFilterScratch just before); 0 otherwise.
int ApplySharpness(CDibImage& image, const CDibImage& scratch, int32_t sharpness);
int ApplySharpness(CDibImage& image, const CDibImage& scratch, int32_t sharpness, KernelLevel level);
// Makes scratch a pixel-for-pixel copy of image, re-creating it when its
// format differs. 1 on success, 0 when image is empty or scratch cannot be
// created.
int CopyToFilterScratch(const CDibImage& image, CDibImage& scratch);
// Threshold 30 on 8-bit raw samples, 7680 on 16-bit ones. Returns the number
// of samples replaced for 8-bit samples, 1 for 16-bit samples.
int ApplyHotPixelFilter(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain);
// Dot filter on an 8- or 16-bit raw image (threshold 30 or 480). hotMap and
// deadMap mark defective samples with any nonzero value; both are indexed by
// the raw image's own memory row and column, and positions they do not cover
// count as sound (an empty map marks nothing). workMap receives the marks
// (1 per marked sample, 0 elsewhere in the image's area) when it is an 8- or
// 16-bit image covering the raw image and not the raw image itself;
// otherwise the marks are kept in a buffer of the call's own and workMap is
// left alone. Returns 1, or 0 when raw is not an 8- or 16-bit image.
int ApplyDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap);

}  // namespace vantix
