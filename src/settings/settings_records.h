#pragma once
// The settings a session keeps per camera, in the groups in which they are
// loaded, saved and applied.
#include <array>
#include <climits>
#include <cstdint>

#include "catalog/library_model.h"

namespace vantix {

// Capture geometry in the order of the stored size presets.
struct CaptureGeometry {
    int32_t totalWidth = kLibrarySensorWidth;
    int32_t totalHeight = kLibrarySensorHeight;
    int32_t width = kLibraryDefaultWidth;
    int32_t height = kLibraryDefaultHeight;
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

// The first size preset of every camera: the default window on the whole
// sensor, four buffers.
inline constexpr CaptureGeometry kDefaultPreset{};

struct PreviewRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = kLibraryDefaultWidth;
    int32_t bottom = kLibraryDefaultHeight;
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

// ---- What the setters accept --------------------------------------------------
// Values read back from the settings file are held to the same ranges, so a
// damaged or hand-edited file cannot give the session a value that no call
// could have set.

struct SettingRange {
    int32_t min;
    int32_t max;
    constexpr bool Contains(int32_t value) const { return value >= min && value <= max; }
    constexpr int32_t Clamp(int32_t value) const { return value < min ? min : (value > max ? max : value); }
};

inline constexpr SettingRange kColorModeRange{0, static_cast<int32_t>(kBitsPerColorMode.size()) - 1};
inline constexpr SettingRange kSubSampleRange{0, 2};
inline constexpr SettingRange kWaitTimeRange{0, INT32_MAX};
inline constexpr SettingRange kAutoIrisRange{0, 2};
inline constexpr SettingRange kClockRange{0, 2};  // the items of the clock list

// Settings of the image settings block that the filter-id setter stores, with
// the filter id and the inclusive range it accepts.
struct StoredFilter {
    int32_t id;
    int index;
    SettingRange range;
};
inline constexpr StoredFilter kStoredFilters[] = {
    {1, kBrightness, {-255, 255}},   {2, kContrast, {-127, 127}},      {3, kHue, {-360, 360}},
    {4, kSaturation, {-255, 255}},   {5, kSharpness, {0, 30}},         {7, kBayerGainRed, {0, 400}},
    {8, kBayerGainGreen, {0, 400}},  {9, kBayerGainBlue, {0, 400}},    {11, kGamma, {0, 200}},
    {12, kBayerMode, {0, 3}},        {19, kGrayMode, {0, 2}},          {20, kGrayGainR, {0, 255}},
    {21, kGrayGainG1, {0, 255}},     {22, kGrayGainG2, {0, 255}},      {23, kGrayGainB, {0, 255}},
    {24, kGrayOffsetR, {-255, 255}}, {25, kGrayOffsetG1, {-255, 255}}, {26, kGrayOffsetG2, {-255, 255}},
    {27, kGrayOffsetB, {-255, 255}},
};

// The pixel array of the model a session drives and the capture window its
// sensor starts with: what capture windows, presets and full-sensor buffers
// are laid out for.
struct SensorArea {
    int32_t width = kLibrarySensorWidth;
    int32_t height = kLibrarySensorHeight;
    int32_t defaultWidth = kLibraryDefaultWidth;
    int32_t defaultHeight = kLibraryDefaultHeight;
    constexpr bool operator==(const SensorArea&) const = default;
};
inline constexpr SensorArea kLibrarySensorArea{};

// The first size preset of a camera of another model: its default window on
// its whole array, four buffers.
constexpr CaptureGeometry DefaultPreset(const SensorArea& area) {
    return {area.width, area.height, area.defaultWidth, area.defaultHeight, 0, 0, kDefaultPreset.bufferCount};
}

// A capture window inside the sensor area: no negative value, start plus
// size within the area. The totals and the buffer count are not checked.
constexpr bool FitsSensorArea(const CaptureGeometry& g, const SensorArea& area = kLibrarySensorArea) {
    if (g.width < 0 || g.height < 0 || g.startX < 0 || g.startY < 0) return false;
    if (g.width > area.width || g.startX > area.width || g.height > area.height || g.startY > area.height) {
        return false;
    }
    return g.startX + g.width <= area.width && g.startY + g.height <= area.height;
}

}  // namespace vantix
