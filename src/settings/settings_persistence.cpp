#include "settings/settings_persistence.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <optional>
#include <span>
#include <string>

#include "settings/settings_file.h"

namespace vantix {

namespace {


struct NamedField {
    const char* name;
    int32_t CaptureGeometry::* field;
};
constexpr NamedField kPresetValues[] = {
    {"TH", &CaptureGeometry::totalWidth}, {"TV", &CaptureGeometry::totalHeight}, {"EH", &CaptureGeometry::width},
    {"EV", &CaptureGeometry::height},     {"EHS", &CaptureGeometry::startX},     {"EVS", &CaptureGeometry::startY},
    {"Buf", &CaptureGeometry::bufferCount},
};

// Format values of a camera seen for the first time.
constexpr CaptureFormat kFirstUseFormat{0, 2, 0, 1, 0};

constexpr SettingRange kSizeIndexRange{0, kMaxSizePresets - 1};

// A stored format value outside what its setter accepts falls back to the
// first-use value: these are indices and modes, for which the nearest valid
// number means nothing (a wait time of 0xffffffff is -1, not "long").
struct FormatField {
    const char* name;
    int32_t CaptureFormat::* field;
    SettingRange range;
};
constexpr FormatField kFormatValues[] = {
    {"Size", &CaptureFormat::sizeIndex, kSizeIndexRange},
    {"Color", &CaptureFormat::colorModeIndex, kColorModeRange},
    {"SubSample", &CaptureFormat::subSample, kSubSampleRange},
    {"WaitTime", &CaptureFormat::waitTimeMs, kWaitTimeRange},
    {"Clock", &CaptureFormat::clock, kClockRange},
};

struct GainField {
    const char* name;
    int32_t CameraSettings::* field;
};
// In the order they are read; the order matters for missing values.
constexpr GainField kGainValues[] = {
    {"Global", &CameraSettings::globalGain},     {"ColorG1", &CameraSettings::colorGainGreen1},
    {"ColorR", &CameraSettings::colorGainRed},   {"ColorB", &CameraSettings::colorGainBlue},
    {"ColorG2", &CameraSettings::colorGainGreen2}, {"Exposure", &CameraSettings::exposure},
    {"V_Mirror", &CameraSettings::mirrorV},      {"H_Mirror", &CameraSettings::mirrorH},
    {"AutoIris", &CameraSettings::autoIris},     {"GainMode", &CameraSettings::gainMode},
    {"BlackLevel", &CameraSettings::blackLevel},
};
constexpr char kExposureSecondsValue[] = "ExposureEx";

// How a stored value outside its setter's range is taken: levels and gains
// are clamped to the nearest value the setter accepts; modes fall back to
// their default, since a neighbouring mode is no better than any other.
enum class OutOfRange { kClamp, kDefault };

struct ImageField {
    const char* name;
    ImageSetting index;
    int32_t defaultValue;
    OutOfRange outOfRange;
};
constexpr auto kClamp = OutOfRange::kClamp;
constexpr ImageField kFilterValues[] = {
    {"Brightness", kBrightness, 0, kClamp},        {"Contrast", kContrast, 0, kClamp},
    {"Hue", kHue, 0, kClamp},                      {"Saturation", kSaturation, 0, kClamp},
    {"Sharpness", kSharpness, 0, kClamp},          {"R_Gain", kBayerGainRed, 100, kClamp},
    {"G_Gain", kBayerGainGreen, 100, kClamp},      {"B_Gain", kBayerGainBlue, 100, kClamp},
    {"Gamma", kGamma, 100, kClamp},                {"BayerMode", kBayerMode, 3, OutOfRange::kDefault},
};
constexpr int kFurtherSettingsCount = 9;
static_assert(kFurtherSettings + kFurtherSettingsCount <= kImageSettingsCount);

constexpr ImageField kGrayValues[] = {
    {"Mode", kGrayMode, 0, OutOfRange::kDefault}, {"GainR1", kGrayGainR, 128, kClamp},
    {"GainG1", kGrayGainG1, 128, kClamp},         {"GainG2", kGrayGainG2, 128, kClamp},
    {"GainB1", kGrayGainB, 128, kClamp},          {"OffsetR1", kGrayOffsetR, 128, kClamp},
    {"OffsetG1", kGrayOffsetG1, 128, kClamp},     {"OffsetG2", kGrayOffsetG2, 128, kClamp},
    {"OffsetB1", kGrayOffsetB, 128, kClamp},
};

// The range the filter-id setter accepts for an image setting.
constexpr SettingRange ImageSettingRange(ImageSetting index) {
    for (const StoredFilter& filter : kStoredFilters) {
        if (filter.index == index) return filter.range;
    }
    return {INT32_MIN, INT32_MAX};
}

int32_t Validated(int32_t value, SettingRange range, OutOfRange outOfRange, int32_t defaultValue) {
    if (range.Contains(value)) return value;
    return outOfRange == OutOfRange::kClamp ? range.Clamp(value) : defaultValue;
}

std::string Numbered(const char* prefix, int32_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s_%02d", prefix, static_cast<int>(number));
    return name;
}

// The key holding the model's camera keys: the root key itself for the
// library's model.
std::string ModelKey(uint16_t model) {
    const std::string name = ModelKeyName(model);
    return name.empty() ? std::string(kSettingsRootKey) : std::string(kSettingsRootKey) + "\\" + name;
}

std::string CameraKey(SettingsOwner owner) { return ModelKey(owner.model) + "\\" + Numbered("Camera", owner.camera); }

std::string CameraSubkey(SettingsOwner owner, const char* name) { return CameraKey(owner) + "\\" + name; }

// Sets *field from a DWORD value; a missing value leaves it unchanged.
void ReadInto(const SettingsKey& key, const char* name, int32_t* field) {
    uint32_t value = 0;
    if (key.QueryDword(name, &value)) *field = static_cast<int32_t>(value);
}

void ReadPreset(const SettingsKey& key, CaptureGeometry* geometry) {
    for (const NamedField& value : kPresetValues) ReadInto(key, value.name, &(geometry->*value.field));
}

// The format values of a camera key; a missing value leaves its field, one
// outside its setter's range gives the first-use value.
void ReadFormat(const SettingsKey& key, CaptureFormat* format) {
    for (const FormatField& value : kFormatValues) {
        int32_t stored = format->*value.field;
        ReadInto(key, value.name, &stored);
        format->*value.field = value.range.Contains(stored) ? stored : kFirstUseFormat.*value.field;
    }
}

void WritePreset(SettingsTransaction* transaction, const std::string& path, const CaptureGeometry& geometry) {
    transaction->CreateKey(path);
    for (const NamedField& value : kPresetValues) {
        transaction->SetDword(path, value.name, static_cast<uint32_t>(geometry.*value.field));
    }
}

void WriteFormat(SettingsTransaction* transaction, const std::string& path, const CaptureFormat& format) {
    for (const FormatField& value : kFormatValues) {
        transaction->SetDword(path, value.name, static_cast<uint32_t>(format.*value.field));
    }
}

// Opens the root and camera keys for a save, then the camera's subkey.
SettingsTransaction CameraTransaction(SettingsOwner camera, const char* subkey) {
    SettingsTransaction transaction;
    transaction.CreateKey(kSettingsRootKey);
    if (camera.model != kLibraryModelId) transaction.CreateKey(ModelKey(camera.model));
    transaction.CreateKey(CameraKey(camera));
    if (subkey != nullptr) transaction.CreateKey(CameraSubkey(camera, subkey));
    return transaction;
}

// Loaded gain settings as the setters would have stored them. Flags and
// modes need no camera: a mirror flag is stored as 0 or 1, an auto-iris mode
// outside its range falls back to 0 (its default). Gains, exposure and black
// level are clamped to the camera's ranges, so that a value saved with
// another camera keeps the nearest setting this one takes.
void HoldToSetterRanges(CameraSettings* settings, const CameraLimits& limits) {
    settings->mirrorV = settings->mirrorV != 0;
    settings->mirrorH = settings->mirrorH != 0;
    if (!kAutoIrisRange.Contains(settings->autoIris)) settings->autoIris = 0;
    if (!limits.known) return;
    const auto clamp = [](int32_t* value, SettingRange range) {
        if (range.min <= range.max) *value = range.Clamp(*value);
    };
    clamp(&settings->globalGain, limits.gain);
    for (int32_t* gain : {&settings->colorGainGreen1, &settings->colorGainRed, &settings->colorGainBlue,
                          &settings->colorGainGreen2}) {
        clamp(gain, limits.colorGain);
    }
    clamp(&settings->exposure, limits.exposure);
    if (limits.blackLevelKnown) clamp(&settings->blackLevel, limits.blackLevel);
    if (limits.exposureSecondsKnown && limits.exposureSecondsMin <= limits.exposureSecondsMax) {
        settings->exposureSeconds =
            std::clamp(settings->exposureSeconds, limits.exposureSecondsMin, limits.exposureSecondsMax);
    }
}

void LoadImageSettings(SettingsOwner camera, const char* subkey, std::span<const ImageField> fields,
                       ImageSettings* settings, bool clearFurther) {
    const std::optional<SettingsKey> key = OpenKeyForReading(CameraSubkey(camera, subkey));
    if (!key) {
        for (const ImageField& field : fields) (*settings)[field.index] = field.defaultValue;
        if (clearFurther) {
            for (int i = 0; i < kFurtherSettingsCount; ++i) (*settings)[kFurtherSettings + i] = 0;
        }
        return;
    }
    for (const ImageField& field : fields) {
        int32_t& setting = (*settings)[field.index];
        ReadInto(*key, field.name, &setting);
        setting = Validated(setting, ImageSettingRange(field.index), field.outOfRange, field.defaultValue);
    }
}

bool SaveImageSettings(SettingsOwner camera, const char* subkey, std::span<const ImageField> fields,
                       const ImageSettings& settings) {
    SettingsTransaction transaction = CameraTransaction(camera, subkey);
    const std::string path = CameraSubkey(camera, subkey);
    for (const ImageField& field : fields) {
        transaction.SetDword(path, field.name, static_cast<uint32_t>(settings[field.index]));
    }
    return transaction.Commit();
}

}  // namespace

std::string ModelKeyName(uint16_t model) {
    if (model == kLibraryModelId) return {};
    char name[16];
    std::snprintf(name, sizeof name, "Model_%04X", static_cast<unsigned>(model));
    return name;
}

void LoadGeometry(SettingsOwner camera, CaptureGeometry* geometry, const SensorArea& area) {
    const SettingsSnapshot snapshot = SettingsSnapshot::Load();
    // The library's model is new to a settings file without the root key;
    // another model's camera is new when its own key is missing.
    const std::string firstUseKey = camera.model == kLibraryModelId ? kSettingsRootKey : CameraKey(camera);
    if (!snapshot.OpenKey(firstUseKey)) {
        // First use: store the defaults, unless another process has created
        // the key in the meantime.
        SettingsTransaction transaction;
        transaction.RequireMissingKey(firstUseKey);
        transaction.CreateKey(kSettingsRootKey);
        if (camera.model != kLibraryModelId) transaction.CreateKey(ModelKey(camera.model));
        transaction.CreateKey(CameraKey(camera));
        WritePreset(&transaction, CameraSubkey(camera, "Size_00"),
                    camera.model == kLibraryModelId ? kDefaultPreset : DefaultPreset(area));
        WriteFormat(&transaction, CameraKey(camera), kFirstUseFormat);
        (void)transaction.Commit();
        return;
    }
    const std::optional<SettingsKey> cameraKey = snapshot.OpenKey(CameraKey(camera));
    if (!cameraKey) return;
    uint32_t size = 0;
    if (!cameraKey->QueryDword("Size", &size)) return;
    const auto index = static_cast<int32_t>(size);
    const int32_t presetIndex = kSizeIndexRange.Contains(index) ? index : kFirstUseFormat.sizeIndex;
    const std::optional<SettingsKey> preset = cameraKey->OpenSubkey(Numbered("Size", presetIndex));
    if (!preset) return;
    // A preset whose window leaves the sensor is not taken: the geometry
    // stays as it was (the construction default at Initialize).
    CaptureGeometry stored = *geometry;
    ReadPreset(*preset, &stored);
    if (FitsSensorArea(stored, area)) *geometry = stored;
}

void LoadFormat(SettingsOwner camera, CaptureFormat* format) {
    const SettingsSnapshot snapshot = SettingsSnapshot::Load();
    // Without the root key (another model: the camera's key) the first-use
    // defaults could not be stored; the session takes them all the same, so
    // that its defaults do not depend on whether the file was writable.
    if (!snapshot.OpenKey(camera.model == kLibraryModelId ? kSettingsRootKey : CameraKey(camera))) {
        *format = kFirstUseFormat;
        return;
    }
    const std::optional<SettingsKey> key = snapshot.OpenKey(CameraKey(camera));
    if (!key) return;
    ReadFormat(*key, format);
}

void LoadCameraSettings(SettingsOwner camera, CameraSettings* settings, const CameraDefaults& defaults) {
    const std::optional<SettingsKey> key = OpenKeyForReading(CameraSubkey(camera, "Gain"));
    if (!key) {
        settings->globalGain = defaults.globalGain;
        settings->colorGainGreen1 = defaults.colorGain;
        settings->colorGainRed = defaults.colorGain;
        settings->colorGainBlue = defaults.colorGain;
        settings->colorGainGreen2 = defaults.colorGain;
        settings->exposure = defaults.exposure;
        settings->mirrorV = defaults.mirrorV;
        settings->mirrorH = defaults.mirrorH;
        settings->autoIris = 0;
        settings->gainMode = 0;
        settings->blackLevel = defaults.blackLevel;
        if (defaults.exposureSecondsSupported) settings->exposureSeconds = defaults.exposureSeconds;
        return;
    }
    // One buffer for all values: a missing value keeps what the buffer holds.
    uint32_t buffer = 0;
    for (const GainField& value : kGainValues) {
        key->QueryDword(value.name, &buffer);
        settings->*value.field = static_cast<int32_t>(buffer);
    }
    std::array<uint8_t, 8> raw{};
    key->QueryBinary(kExposureSecondsValue, std::span<uint8_t>(raw));
    uint64_t bits = 0;
    for (size_t i = 0; i < raw.size(); ++i) bits |= static_cast<uint64_t>(raw[i]) << (8 * i);
    const double seconds = std::bit_cast<double>(bits);
    // A stored NaN or infinity would reach the camera as an exposure time.
    settings->exposureSeconds = std::isfinite(seconds) ? seconds : 0.0;
    HoldToSetterRanges(settings, defaults.limits);
}

bool SaveCameraSettings(SettingsOwner camera, const CameraSettings& settings) {
    SettingsTransaction transaction = CameraTransaction(camera, "Gain");
    const std::string path = CameraSubkey(camera, "Gain");
    for (const GainField& value : kGainValues) {
        transaction.SetDword(path, value.name, static_cast<uint32_t>(settings.*value.field));
    }
    const uint64_t bits = std::bit_cast<uint64_t>(settings.exposureSeconds);
    std::array<uint8_t, 8> raw{};
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(bits >> (8 * i));
    transaction.SetBinary(path, kExposureSecondsValue, raw);
    return transaction.Commit();
}

void LoadFilterSettings(SettingsOwner camera, ImageSettings* settings) {
    LoadImageSettings(camera, "Filter", kFilterValues, settings, true);
}

bool SaveFilterSettings(SettingsOwner camera, const ImageSettings& settings) {
    return SaveImageSettings(camera, "Filter", kFilterValues, settings);
}

void LoadGraySettings(SettingsOwner camera, ImageSettings* settings) {
    LoadImageSettings(camera, "Gray", kGrayValues, settings, false);
}

bool SaveGraySettings(SettingsOwner camera, const ImageSettings& settings) {
    return SaveImageSettings(camera, "Gray", kGrayValues, settings);
}

bool LoadSizePresets(SettingsOwner camera, std::vector<CaptureGeometry>* presets, CaptureFormat* format) {
    const std::optional<SettingsKey> key = OpenKeyForReading(CameraKey(camera));
    if (!key) return false;
    std::vector<CaptureGeometry> loaded;
    for (int32_t i = 0; i < kMaxSizePresets; ++i) {
        const std::optional<SettingsKey> preset = key->OpenSubkey(Numbered("Size", i));
        if (!preset) break;
        CaptureGeometry geometry = kDefaultPreset;
        ReadPreset(*preset, &geometry);
        loaded.push_back(geometry);
    }
    *presets = std::move(loaded);
    ReadFormat(*key, format);
    return true;
}

bool SaveSizePresets(SettingsOwner camera, const std::vector<CaptureGeometry>& presets, const CaptureFormat& format) {
    SettingsTransaction transaction = CameraTransaction(camera, nullptr);
    const std::string cameraKey = CameraKey(camera);
    const int32_t count = presets.size() < kMaxSizePresets ? static_cast<int32_t>(presets.size()) : kMaxSizePresets;
    for (int32_t i = 0; i < count; ++i) {
        WritePreset(&transaction, cameraKey + "\\" + Numbered("Size", i), presets[static_cast<size_t>(i)]);
    }
    // Presets are read up to the first missing one, so stored presets beyond
    // the new list would otherwise come back on the next load.
    for (int32_t i = count; i < kMaxSizePresets; ++i) transaction.DeleteKey(cameraKey + "\\" + Numbered("Size", i));
    WriteFormat(&transaction, cameraKey, format);
    return transaction.Commit();
}

std::vector<CaptureGeometry> ReadRootSizePresets(uint16_t model) {
    std::vector<CaptureGeometry> presets;
    const std::optional<SettingsKey> root = OpenKeyForReading(ModelKey(model));
    if (!root) return presets;
    for (int32_t i = 0; i < kMaxSizePresets; ++i) {
        const std::optional<SettingsKey> preset = root->OpenSubkey(Numbered("Size", i));
        if (!preset) break;
        CaptureGeometry geometry = kDefaultPreset;
        ReadPreset(*preset, &geometry);
        presets.push_back(geometry);
    }
    return presets;
}

bool RootKeyExists() { return OpenKeyForReading(kSettingsRootKey).has_value(); }

ConfigFileResult LoadConfigFile(const char* fileName, std::vector<std::pair<int32_t, int32_t>>* records) {
    if (fileName == nullptr || records == nullptr) return ConfigFileResult::kRefused;
    // Opened without blocking, so that a FIFO without a writer cannot hang the
    // open; the type is checked on the descriptor, and only a regular file is
    // read (for which the flag changes nothing).
    const int fd = ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return ConfigFileResult::kNotOpened;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<uint64_t>(status.st_size) > kMaxConfigFileBytes) {
        ::close(fd);
        return ConfigFileResult::kRefused;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(status.st_size));
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            return ConfigFileResult::kRefused;
        }
        if (got == 0) break;  // the file shrank while being read
        filled += static_cast<size_t>(got);
    }
    ::close(fd);
    const auto word = [&](size_t at) {
        return static_cast<int32_t>(static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
                                    static_cast<uint32_t>(bytes[at + 2]) << 16 |
                                    static_cast<uint32_t>(bytes[at + 3]) << 24);
    };
    std::vector<std::pair<int32_t, int32_t>> loaded;
    loaded.reserve(filled / 8);
    for (size_t at = 0; at + 8 <= filled; at += 8) loaded.emplace_back(word(at), word(at + 4));
    *records = std::move(loaded);
    return ConfigFileResult::kLoaded;
}

}  // namespace vantix
