#pragma once
// The settings a session keeps per camera, in the groups in which they are
// loaded, saved and applied.
#include <array>
#include <cstdint>

namespace vantix {

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

// Bits per pixel of each colour-mode index.
inline constexpr std::array<int32_t, 6> kBitsPerColorMode = {8, 16, 24, 32, 48, 64};

// Image settings block: the filter and gray-conversion values, in order.
inline constexpr int kImageSettingsCount = 30;
using ImageSettings = std::array<int32_t, kImageSettingsCount>;
enum ImageSetting : int {
    kBrightness = 0,
    kContrast,
    kHue,
    kSaturation,
    kSharpness,
    kBayerGainRed,
    kBayerGainGreen,
    kBayerGainBlue,
    kGamma,
    kBayerMode,
    kGrayMode,
    kGrayGainR,
    kGrayGainG1,
    kGrayGainG2,
    kGrayGainB,
    kGrayOffsetR,
    kGrayOffsetG1,
    kGrayOffsetG2,
    kGrayOffsetB,
    kFurtherSettings,  // nine further values used by the conversion
    kBayerGainAuto = kFurtherSettings,
    kFilter28,
    // Set with the Bayer-auto-gain switch for a one-push white balance; the
    // conversion clears all three once it has balanced a frame.
    kBayerOneShotA,
    kBayerOneShotB,
};

// Capture format values kept with the geometry.
struct CaptureFormat {
    int32_t sizeIndex = 0;
    int32_t colorModeIndex = 0;
    int32_t subSample = 0;
    int32_t waitTimeMs = 10;
    int32_t clock = 0;
};

}  // namespace vantix
