// Where camera settings are kept in the settings file, and what a load does
// with missing keys and values.
#include "settings/settings_persistence.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <limits>
#include <string>
#include <tuple>

#include "settings/settings_file.h"

namespace {

namespace fs = std::filesystem;
using namespace vantix;

const std::string kCamera0 = std::string(kSettingsRootKey) + "\\Camera_00";
const std::string kGain0 = kCamera0 + "\\Gain";

bool SameGeometry(const CaptureGeometry& a, const CaptureGeometry& b) {
    return a.totalWidth == b.totalWidth && a.totalHeight == b.totalHeight && a.width == b.width &&
           a.height == b.height && a.startX == b.startX && a.startY == b.startY && a.bufferCount == b.bufferCount;
}

// The camera settings that are stored, in a comparable form.
auto Persisted(const CameraSettings& s) {
    return std::make_tuple(s.globalGain, s.colorGainGreen1, s.colorGainRed, s.colorGainBlue, s.colorGainGreen2,
                           s.exposure, s.mirrorV, s.mirrorH, s.autoIris, s.gainMode, s.blackLevel, s.exposureSeconds);
}

CaptureGeometry Geometry(int32_t base) { return {base, base + 1, base + 2, base + 3, base + 4, base + 5, base + 6}; }

class SettingsPersistenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        // The test process has a private settings file of its own; it is put
        // back afterwards so later tests never reach the user's settings.
        const char* previous = std::getenv(kSettingsFileVariable);
        hadPrevious_ = previous != nullptr;
        if (hadPrevious_) previous_ = previous;
        directory_ = fs::temp_directory_path() /
                     ("vantix-persistence-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(directory_);
        setenv(kSettingsFileVariable, (directory_ / "registry.reg").c_str(), 1);
    }
    void TearDown() override {
        if (hadPrevious_) {
            setenv(kSettingsFileVariable, previous_.c_str(), 1);
        } else {
            unsetenv(kSettingsFileVariable);
        }
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }
    static void DeleteValue(const std::string& key, const char* name) {
        SettingsTransaction edit;
        edit.DeleteValue(key, name);
        ASSERT_TRUE(edit.Commit());
    }
    static void DeleteKey(const std::string& key) {
        SettingsTransaction edit;
        edit.DeleteKey(key);
        ASSERT_TRUE(edit.Commit());
    }

    std::string previous_;
    bool hadPrevious_ = false;
    fs::path directory_;
};

TEST_F(SettingsPersistenceTest, FirstUseStoresTheDefaultPresetAndFormat) {
    EXPECT_FALSE(RootKeyExists());
    CaptureGeometry geometry = Geometry(10);
    LoadGeometry(0, &geometry);
    EXPECT_TRUE(SameGeometry(geometry, Geometry(10)));  // first use leaves the caller's geometry
    EXPECT_TRUE(RootKeyExists());

    CaptureFormat format{9, 9, 9, 9, 9};
    LoadFormat(0, &format);
    EXPECT_EQ(format.sizeIndex, 0);
    EXPECT_EQ(format.colorModeIndex, 2);
    EXPECT_EQ(format.subSample, 0);
    EXPECT_EQ(format.waitTimeMs, 1);
    EXPECT_EQ(format.clock, 0);

    std::vector<CaptureGeometry> presets;
    ASSERT_TRUE(LoadSizePresets(0, &presets, &format));
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_TRUE(SameGeometry(presets[0], CaptureGeometry{3856, 2764, 3840, 2752, 0, 0, 4}));

    // From now on the stored preset is read.
    LoadGeometry(0, &geometry);
    EXPECT_TRUE(SameGeometry(geometry, presets[0]));
}

TEST_F(SettingsPersistenceTest, GeometryComesFromThePresetTheSizeValueNames) {
    const std::vector<CaptureGeometry> presets{Geometry(100), Geometry(200), Geometry(300)};
    ASSERT_TRUE(SaveSizePresets(0, presets, CaptureFormat{2, 1, 0, 5, 0}));
    CaptureGeometry geometry;
    LoadGeometry(0, &geometry);
    EXPECT_TRUE(SameGeometry(geometry, Geometry(300)));

    // A size index without a preset reads nothing; a missing value leaves its field.
    ASSERT_TRUE(SaveSizePresets(0, presets, CaptureFormat{7, 1, 0, 5, 0}));
    geometry = Geometry(1);
    LoadGeometry(0, &geometry);
    EXPECT_TRUE(SameGeometry(geometry, Geometry(1)));
    ASSERT_TRUE(SaveSizePresets(0, presets, CaptureFormat{1, 1, 0, 5, 0}));
    DeleteValue(kCamera0 + "\\Size_01", "EV");
    LoadGeometry(0, &geometry);
    CaptureGeometry expected = Geometry(200);
    expected.height = Geometry(1).height;
    EXPECT_TRUE(SameGeometry(geometry, expected));

    // A camera without a key of its own is left alone.
    geometry = Geometry(1);
    LoadGeometry(5, &geometry);
    EXPECT_TRUE(SameGeometry(geometry, Geometry(1)));
}

TEST_F(SettingsPersistenceTest, SizePresetsRoundTripAndAShorterListReplacesALongerOne) {
    std::vector<CaptureGeometry> presets;
    CaptureFormat format;
    EXPECT_FALSE(LoadSizePresets(3, &presets, &format));

    ASSERT_TRUE(SaveSizePresets(3, {Geometry(1), Geometry(2), Geometry(3)}, CaptureFormat{1, 4, 2, 20, 1}));
    ASSERT_TRUE(LoadSizePresets(3, &presets, &format));
    ASSERT_EQ(presets.size(), 3u);
    EXPECT_TRUE(SameGeometry(presets[2], Geometry(3)));
    EXPECT_EQ(format.sizeIndex, 1);
    EXPECT_EQ(format.colorModeIndex, 4);
    EXPECT_EQ(format.subSample, 2);
    EXPECT_EQ(format.waitTimeMs, 20);
    EXPECT_EQ(format.clock, 1);
    EXPECT_TRUE(OpenKeyForReading(std::string(kSettingsRootKey) + "\\Camera_03\\Size_02"));

    ASSERT_TRUE(SaveSizePresets(3, {Geometry(7)}, CaptureFormat{}));
    ASSERT_TRUE(LoadSizePresets(3, &presets, &format));
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_TRUE(SameGeometry(presets[0], Geometry(7)));
}

TEST_F(SettingsPersistenceTest, CameraSettingsRoundTripPerCamera) {
    CameraSettings saved{11, 12, 13, 14, 15, 16, 1, 0, 1, 19, 0, 0, 2, {}, 1.25e-3};
    ASSERT_TRUE(SaveCameraSettings(1, saved));
    ASSERT_TRUE(SaveCameraSettings(2, CameraSettings{}));
    CameraSettings loaded;
    LoadCameraSettings(1, &loaded, CameraDefaults{});
    EXPECT_EQ(Persisted(loaded), Persisted(saved));

    std::vector<uint8_t> raw;
    ASSERT_TRUE(OpenKeyForReading(std::string(kSettingsRootKey) + "\\Camera_01\\Gain")->QueryBinary("ExposureEx", &raw));
    EXPECT_EQ(raw, (std::vector<uint8_t>{0x7b, 0x14, 0xae, 0x47, 0xe1, 0x7a, 0x54, 0x3f}));  // little-endian double
}

TEST_F(SettingsPersistenceTest, MissingGainKeyTakesTheEngineDefaults) {
    CameraSettings settings;
    settings.autoIris = 5;
    settings.gainMode = 5;
    LoadCameraSettings(0, &settings, CameraDefaults{7, 8, 900, 1, 0, 42, true, 0.09, {}});  // no file at all
    EXPECT_EQ(Persisted(settings), Persisted(CameraSettings{7, 8, 8, 8, 8, 900, 1, 0, 0, 42, 0, 0, 0, {}, 0.09}));

    // The camera key exists but has no Gain key; seconds are not supported.
    CaptureGeometry geometry;
    LoadGeometry(0, &geometry);
    settings.exposureSeconds = 3.0;
    LoadCameraSettings(0, &settings, CameraDefaults{1, 2, 3, 0, 1, 4, false, 0.5, {}});
    EXPECT_EQ(Persisted(settings), Persisted(CameraSettings{1, 2, 2, 2, 2, 3, 0, 1, 0, 4, 0, 0, 0, {}, 3.0}));
}

TEST_F(SettingsPersistenceTest, MissingGainValueTakesTheValueReadBeforeIt) {
    CameraSettings saved;
    saved.globalGain = 3;
    saved.colorGainGreen1 = 4;
    saved.colorGainRed = 5;
    saved.colorGainBlue = 6;
    saved.exposure = 100;
    saved.mirrorV = 1;
    saved.exposureSeconds = 2.5;
    ASSERT_TRUE(SaveCameraSettings(0, saved));
    DeleteValue(kGain0, "ColorB");
    DeleteValue(kGain0, "Global");
    DeleteValue(kGain0, "H_Mirror");
    CameraSettings loaded;
    loaded.globalGain = 99;
    LoadCameraSettings(0, &loaded, CameraDefaults{});
    EXPECT_EQ(loaded.globalGain, 0);  // the first value falls back to 0
    EXPECT_EQ(loaded.colorGainRed, 5);
    EXPECT_EQ(loaded.colorGainBlue, 5);
    EXPECT_EQ(loaded.mirrorH, 1);
    EXPECT_EQ(loaded.exposureSeconds, 2.5);
}

TEST_F(SettingsPersistenceTest, ExposureSecondsOfTheWrongSizeOrNotFiniteReadAsZero) {
    const auto loadedSeconds = [] {
        CameraSettings loaded;
        loaded.exposureSeconds = 7.0;
        LoadCameraSettings(0, &loaded, CameraDefaults{});
        return loaded.exposureSeconds;
    };
    CameraSettings saved;
    saved.exposureSeconds = std::numeric_limits<double>::quiet_NaN();
    ASSERT_TRUE(SaveCameraSettings(0, saved));
    EXPECT_EQ(loadedSeconds(), 0.0);

    SettingsTransaction shortValue;
    shortValue.SetBinary(kGain0, "ExposureEx", std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xf0});
    ASSERT_TRUE(shortValue.Commit());
    EXPECT_EQ(loadedSeconds(), 0.0);

    DeleteValue(kGain0, "ExposureEx");
    EXPECT_EQ(loadedSeconds(), 0.0);
}

TEST_F(SettingsPersistenceTest, FilterSettingsDefaultsRoundTripAndMissingValues) {
    ImageSettings settings;
    settings.fill(55);
    LoadFilterSettings(0, &settings);
    const int32_t defaults[] = {0, 0, 0, 0, 0, 100, 100, 100, 100, 3};
    for (int i = kBrightness; i <= kBayerMode; ++i) EXPECT_EQ(settings[i], defaults[i]) << i;
    for (int i = kGrayMode; i < kFurtherSettings; ++i) EXPECT_EQ(settings[i], 55) << i;  // gray values untouched
    for (int i = kFurtherSettings; i < kFurtherSettings + 9; ++i) EXPECT_EQ(settings[i], 0) << i;
    for (int i = kFurtherSettings + 9; i < kImageSettingsCount; ++i) EXPECT_EQ(settings[i], 55) << i;

    ImageSettings saved{};
    for (int i = kBrightness; i <= kBayerMode; ++i) saved[i] = 10 + i;
    saved[kBayerMode] = 2;  // modes 0 to 3
    ASSERT_TRUE(SaveFilterSettings(0, saved));
    DeleteValue(kCamera0 + "\\Filter", "Gamma");
    ImageSettings loaded{};
    loaded[kGamma] = 180;
    loaded[kFurtherSettings] = 4;
    LoadFilterSettings(0, &loaded);
    for (int i = kBrightness; i <= kBayerMode; ++i) {
        if (i != kGamma) {
            EXPECT_EQ(loaded[i], saved[i]) << i;
        }
    }
    EXPECT_EQ(loaded[kGamma], 180);
    EXPECT_EQ(loaded[kFurtherSettings], 4);  // only reset when there is no Filter key
}

TEST_F(SettingsPersistenceTest, GraySettingsDefaultAndSavingCreatesTheCameraKey) {
    ImageSettings settings{};
    settings[kBrightness] = 9;
    LoadGraySettings(4, &settings);
    EXPECT_EQ(settings[kGrayMode], 0);
    for (int i = kGrayGainR; i <= kGrayOffsetB; ++i) EXPECT_EQ(settings[i], 128) << i;
    EXPECT_EQ(settings[kBrightness], 9);

    for (int i = kGrayMode; i <= kGrayOffsetB; ++i) settings[i] = 3 * i;
    settings[kGrayMode] = 2;  // modes 0 to 2
    ASSERT_TRUE(SaveGraySettings(4, settings));
    EXPECT_TRUE(OpenKeyForReading(std::string(kSettingsRootKey) + "\\Camera_04"));
    ImageSettings loaded{};
    LoadGraySettings(4, &loaded);
    for (int i = kGrayMode; i <= kGrayOffsetB; ++i) EXPECT_EQ(loaded[i], settings[i]) << i;
}

TEST_F(SettingsPersistenceTest, RootSizePresetsStopAtTheFirstGap) {
    EXPECT_TRUE(ReadRootSizePresets().empty());
    SettingsTransaction edit;
    const std::string root = kSettingsRootKey;
    for (const char* preset : {"\\Size_00", "\\Size_01", "\\Size_03"}) {
        edit.SetDword(root + preset, "TH", 640);
        edit.SetDword(root + preset, "EH", 320);
    }
    edit.SetDword(root + "\\Size_01", "Buf", 8);
    ASSERT_TRUE(edit.Commit());
    const std::vector<CaptureGeometry> presets = ReadRootSizePresets();
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[0].totalWidth, 640);
    EXPECT_EQ(presets[0].width, 320);
    EXPECT_EQ(presets[0].totalHeight, 2764);  // unset values keep the default preset's
    EXPECT_EQ(presets[1].bufferCount, 8);
}

// A damaged or hand-edited file holds values that no setter would accept;
// they load as what the setters do accept. Before, a wait time of 0xffffffff
// became -1 (the unknown-handle result) and hung the preview worker.
TEST_F(SettingsPersistenceTest, OutOfRangeValuesLoadAsWhatTheSettersAccept) {
    SettingsTransaction edit;
    const auto set = [&](const std::string& key, const char* name, uint32_t value) {
        ASSERT_TRUE(edit.SetDword(key, name, value));
    };
    set(kCamera0, "Size", 100);
    set(kCamera0, "Color", 7);
    set(kCamera0, "SubSample", 3);
    set(kCamera0, "WaitTime", 0xffffffff);
    set(kCamera0, "Clock", 0x80000000);
    const std::string preset = kCamera0 + "\\Size_00";
    for (auto [name, value] : {std::pair{"TH", 2000u}, {"TV", 1000u}, {"EH", 640u}, {"EV", 480u}, {"EHS", 16u},
                               {"EVS", 8u}, {"Buf", 6u}}) {
        set(preset, name, value);
    }
    set(kGain0, "Global", 0x7fffffff);
    set(kGain0, "ColorG1", 0xffffffff);
    set(kGain0, "ColorR", 20);
    set(kGain0, "ColorB", 51);
    set(kGain0, "ColorG2", 0);
    set(kGain0, "Exposure", 0xffffffff);
    set(kGain0, "V_Mirror", 0xffffffff);
    set(kGain0, "H_Mirror", 2);
    set(kGain0, "AutoIris", 5);
    set(kGain0, "GainMode", 0);
    set(kGain0, "BlackLevel", 0x1000);
    const uint64_t hugeSeconds = std::bit_cast<uint64_t>(1e9);
    std::vector<uint8_t> raw;
    for (int i = 0; i < 8; ++i) raw.push_back(static_cast<uint8_t>(hugeSeconds >> (8 * i)));
    ASSERT_TRUE(edit.SetBinary(kGain0, "ExposureEx", raw));
    const std::string filter = kCamera0 + "\\Filter";
    set(filter, "Brightness", 0x80000000);
    set(filter, "Sharpness", 0xffffffff);
    set(filter, "Gamma", 0x1000);
    set(filter, "BayerMode", 7);
    set(filter, "Hue", 0xfffffea0);  // -352: in range, kept
    const std::string gray = kCamera0 + "\\Gray";
    set(gray, "Mode", 3);
    set(gray, "GainR1", 0x100);
    set(gray, "OffsetB1", 0xffffff00);
    ASSERT_TRUE(edit.Commit());

    CaptureFormat format{5, 5, 2, 10, 2};
    LoadFormat(0, &format);
    EXPECT_EQ(format.sizeIndex, 0);
    EXPECT_EQ(format.colorModeIndex, 2);
    EXPECT_EQ(format.subSample, 0);
    EXPECT_EQ(format.waitTimeMs, 1);
    EXPECT_EQ(format.clock, 0);
    // A size index beyond the presets reads the first preset.
    CaptureGeometry geometry;
    LoadGeometry(0, &geometry);
    EXPECT_TRUE(SameGeometry(geometry, CaptureGeometry{2000, 1000, 640, 480, 16, 8, 6}));

    CameraDefaults camera;
    camera.limits = {true, {1, 100}, {0, 50}, {1, 1000}, true, {0, 255}, true, 1e-4, 2.0};
    CameraSettings settings;
    LoadCameraSettings(0, &settings, camera);
    EXPECT_EQ(settings.globalGain, 100);
    EXPECT_EQ(settings.colorGainGreen1, 0);
    EXPECT_EQ(settings.colorGainRed, 20);
    EXPECT_EQ(settings.colorGainBlue, 50);
    EXPECT_EQ(settings.exposure, 1);
    EXPECT_EQ(settings.mirrorV, 1);
    EXPECT_EQ(settings.mirrorH, 1);
    EXPECT_EQ(settings.autoIris, 0);
    EXPECT_EQ(settings.blackLevel, 255);
    EXPECT_EQ(settings.exposureSeconds, 2.0);
    // Without a camera open the ranges are unknown: flags and modes are
    // still held to theirs, levels are kept for the camera to judge.
    LoadCameraSettings(0, &settings, CameraDefaults{});
    EXPECT_EQ(settings.globalGain, 0x7fffffff);
    EXPECT_EQ(settings.mirrorV, 1);
    EXPECT_EQ(settings.autoIris, 0);

    ImageSettings image{};
    LoadFilterSettings(0, &image);
    LoadGraySettings(0, &image);
    EXPECT_EQ(image[kBrightness], -255);
    EXPECT_EQ(image[kSharpness], 0);
    EXPECT_EQ(image[kGamma], 200);
    EXPECT_EQ(image[kBayerMode], 3);
    EXPECT_EQ(image[kHue], -352);
    EXPECT_EQ(image[kGrayMode], 0);
    EXPECT_EQ(image[kGrayGainR], 255);
    EXPECT_EQ(image[kGrayOffsetB], -255);

    // A preset whose window leaves the sensor is not taken.
    SettingsTransaction outside;
    outside.SetDword(kCamera0, "Size", 0);
    outside.SetDword(preset, "EHS", 3400);
    ASSERT_TRUE(outside.Commit());
    geometry = Geometry(0);
    geometry.width = 100;
    const CaptureGeometry before = geometry;
    LoadGeometry(0, &geometry);
    EXPECT_TRUE(SameGeometry(geometry, before));
}

// The first-use format does not depend on whether it could be stored.
TEST_F(SettingsPersistenceTest, FirstUseFormatAppliesWhenTheFileCannotBeWritten) {
    const fs::path blocker = directory_ / "blocker";
    std::ofstream(blocker) << "a file where the settings folder should be";
    setenv(kSettingsFileVariable, (blocker / "registry.reg").c_str(), 1);
    CaptureGeometry geometry = Geometry(10);
    LoadGeometry(0, &geometry);
    EXPECT_FALSE(RootKeyExists());
    EXPECT_TRUE(SameGeometry(geometry, Geometry(10)));
    CaptureFormat format{9, 0, 9, 10, 9};
    LoadFormat(0, &format);
    EXPECT_EQ(format.colorModeIndex, 2);
    EXPECT_EQ(format.waitTimeMs, 1);
    EXPECT_EQ(format.subSample, 0);
    EXPECT_EQ(format.clock, 0);
}

TEST_F(SettingsPersistenceTest, ConfigFileIsReadAsPairsOfLittleEndianWords) {
    const fs::path path = directory_ / "mask.cfg";
    std::vector<std::pair<int32_t, int32_t>> records{{9, 9}};
    EXPECT_EQ(LoadConfigFile(path.c_str(), &records), ConfigFileResult::kNotOpened);
    EXPECT_EQ(LoadConfigFile(nullptr, &records), ConfigFileResult::kRefused);
    EXPECT_EQ(LoadConfigFile(directory_.c_str(), &records), ConfigFileResult::kRefused);
    EXPECT_EQ(records.size(), 1u);

    const unsigned char bytes[20] = {1, 0, 0, 0, 2, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0x00, 0x01, 0x00, 0x00,
                                     7, 7, 7, 7};  // the last four bytes are no whole record
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    ASSERT_EQ(LoadConfigFile(path.c_str(), &records), ConfigFileResult::kLoaded);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], std::make_pair(1, 2));
    EXPECT_EQ(records[1], std::make_pair(-1, 256));

    std::ofstream(path, std::ios::binary | std::ios::trunc);
    ASSERT_EQ(LoadConfigFile(path.c_str(), &records), ConfigFileResult::kLoaded);
    EXPECT_TRUE(records.empty());
}

// A FIFO without a writer would block an ordinary open forever; a file over
// the size limit (sparse, so it costs no disk) is refused before any read.
TEST_F(SettingsPersistenceTest, ConfigFilesThatAreNoRegularFileOrTooLargeAreRefusedAtOnce) {
    const fs::path fifo = directory_ / "config.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::pair<int32_t, int32_t>> records{{9, 9}};
    std::future<ConfigFileResult> load =
        std::async(std::launch::async, [&] { return LoadConfigFile(fifo.c_str(), &records); });
    if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Unblock the open so that the test can end, then fail.
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        load.wait();
        if (writer >= 0) close(writer);
        FAIL() << "loading a FIFO blocked";
    }
    EXPECT_EQ(load.get(), ConfigFileResult::kRefused);

    const fs::path large = directory_ / "large.cfg";
    { std::ofstream create(large); }
    fs::resize_file(large, kMaxConfigFileBytes + 8);
    EXPECT_EQ(LoadConfigFile(large.c_str(), &records), ConfigFileResult::kRefused);
    EXPECT_EQ(records.size(), 1u);
}

}  // namespace
