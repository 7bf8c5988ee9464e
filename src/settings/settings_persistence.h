#pragma once
// Where a session's settings live in the settings file: under the root key
// one key per camera, "Camera_<nn>", with the capture format values, the size
// presets "Size_<nn>" and the subkeys "Gain", "Filter" and "Gray". Cameras of
// the library's own model have their keys directly under the root key; every
// other model keeps the same layout under a key of its own, "Model_<id>"
// ("Model_3100\Camera_00"), so that no model's settings replace another's.
//
// Failures of the settings file are silent here: a load that finds nothing
// leaves or defaults its fields as described, a save returns false. Nothing is
// cached; every call reads the file afresh, and every save is one
// transaction.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_records.h"

namespace vantix {

inline constexpr char kSettingsRootKey[] = "Software\\Morvek\\VantixQ720LXK9Sdk";
inline constexpr int32_t kMaxSizePresets = 100;

// Whose settings a call reads or writes: camera number `camera` of a model.
// Converts from a camera number alone for the library's own model.
struct SettingsOwner {
    SettingsOwner(int32_t cameraNumber, uint16_t modelId = kLibraryModelId)  // NOLINT: implicit by design
        : camera(cameraNumber), model(modelId) {}
    int32_t camera;
    uint16_t model;
};

// The key that holds a model's camera keys, relative to the root key: empty
// for the library's own model, "Model_3100" (four hexadecimal digits) for
// the others.
std::string ModelKeyName(uint16_t model);

// The ranges the open camera's setters accept. Known only while a camera is
// open; without one the stored values are kept as they are (they are applied
// and saved only once a camera is open, and then loaded again).
struct CameraLimits {
    bool known = false;
    SettingRange gain{0, 0};
    SettingRange colorGain{0, 0};
    SettingRange exposure{0, 0};  // units of 0.1 ms
    bool blackLevelKnown = false;
    SettingRange blackLevel{0, 0};
    bool exposureSecondsKnown = false;
    double exposureSecondsMin = 0.0;
    double exposureSecondsMax = 0.0;
};

// What the camera engine reports as its defaults, for a camera without saved
// gain settings, and the ranges loaded gain settings are held to.
struct CameraDefaults {
    int32_t globalGain = 0;
    int32_t colorGain = 0;
    int32_t exposure = 0;
    int32_t mirrorV = 0;
    int32_t mirrorH = 0;
    int32_t blackLevel = 0;
    bool exposureSecondsSupported = false;
    double exposureSeconds = 0.0;
    CameraLimits limits;
};

// On first use (no root key; for another model than the library's: no key of
// that camera yet) creates the camera key with its format values and the
// default preset "Size_00" of `area`, leaving *geometry unchanged. Otherwise
// reads the preset the camera's "Size" names (Size_00 when "Size" is outside
// 0 to 99); a missing key ends the reading, a missing value leaves its field
// unchanged, and a preset whose window does not fit `area` is not taken.
void LoadGeometry(SettingsOwner owner, CaptureGeometry* geometry, const SensorArea& area = kLibrarySensorArea);

// "Size", "Color", "SubSample", "WaitTime" and "Clock" of the camera key; a
// missing value leaves its field unchanged, one its setter would refuse gives
// the first-use value (Size 0, Color 2, SubSample 0, WaitTime 1, Clock 0).
// Without the root key (first use, when its defaults could not be stored; for
// another model: without the camera's key) the first-use values are given
// all the same.
void LoadFormat(SettingsOwner owner, CaptureFormat* format);

// The "Gain" key. Values are read in turn through one 32-bit buffer, so a
// missing value repeats the one read before it (0 for the first). Without the
// key, the camera's defaults are taken. Loaded values are held to what the
// setters accept: mirror flags read as 0 or 1, an auto-iris mode outside 0 to
// 2 as 0, and, with the limits known, gains, exposure, black level and
// exposure in seconds are clamped to the camera's ranges.
void LoadCameraSettings(SettingsOwner owner, CameraSettings* settings, const CameraDefaults& defaults);
bool SaveCameraSettings(SettingsOwner owner, const CameraSettings& settings);

// The "Filter" key; without it, the filter defaults. A missing value leaves
// its field unchanged. Values outside the filter setter's range are clamped
// to it; a Bayer or gray mode outside it takes its default.
void LoadFilterSettings(SettingsOwner owner, ImageSettings* settings);
bool SaveFilterSettings(SettingsOwner owner, const ImageSettings& settings);

// The "Gray" key; without it, the gray-conversion defaults.
void LoadGraySettings(SettingsOwner owner, ImageSettings* settings);
bool SaveGraySettings(SettingsOwner owner, const ImageSettings& settings);

// The camera's presets "Size_00" upward to the first missing one (at most
// kMaxSizePresets) and its format values. False when the root or camera key
// does not exist; *presets and *format are then unchanged.
bool LoadSizePresets(SettingsOwner owner, std::vector<CaptureGeometry>* presets, CaptureFormat* format);
// Writes the presets (at most kMaxSizePresets), removes stored presets beyond
// them, and writes the format values.
bool SaveSizePresets(SettingsOwner owner, const std::vector<CaptureGeometry>& presets, const CaptureFormat& format);

// Presets "Size_<nn>" directly under the root key (for another model: under
// its model key), for choosing a capture window; empty when that key does not
// exist.
std::vector<CaptureGeometry> ReadRootSizePresets(uint16_t model = kLibraryModelId);

bool RootKeyExists();

// A configuration file of 8-byte records, each two little-endian int32.
// Replaces *records on kLoaded; otherwise *records is unchanged. Bytes after
// the last whole record are ignored. The open never blocks (a FIFO is refused,
// not waited on).
inline constexpr size_t kMaxConfigFileBytes = size_t{64} << 20;
enum class ConfigFileResult {
    kLoaded,
    kNotOpened,  // missing, or not accessible
    kRefused,    // no name, not a regular file, larger than kMaxConfigFileBytes, or a read failed
};
ConfigFileResult LoadConfigFile(const char* fileName, std::vector<std::pair<int32_t, int32_t>>* records);

}  // namespace vantix
