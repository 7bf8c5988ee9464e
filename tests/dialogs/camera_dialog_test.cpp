// The camera dialog: what it shows from the settings file, Apply and OK
// saving presets and format values, the session taking the new format only
// on OK, and the acquisition stopped while the dialog is open.
#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "dialogs/camera_dialog.h"
#include "settings/settings_persistence.h"

namespace {

using namespace dialog_test;
namespace ids = vantix::dialogs::camera_ids;

class CameraDialogTest : public DialogSessionTest {
protected:
    vantix::CaptureFormat StoredFormat() {
        vantix::CaptureFormat format{-1, -1, -1, -1, -1};
        vantix::LoadFormat(0, &format);
        return format;
    }
    std::vector<vantix::CaptureGeometry> StoredPresets() {
        std::vector<vantix::CaptureGeometry> presets;
        vantix::CaptureFormat format;
        vantix::LoadSizePresets(0, &presets, &format);
        return presets;
    }
    static void TypeGeometry(DialogModel& dialog, std::array<int32_t, 6> values) {
        for (int i = 0; i < 6; ++i) Type(dialog, 0, ids::kGeometryEdits[i], std::to_string(values[static_cast<size_t>(i)]));
    }
};

TEST_F(CameraDialogTest, ShowsTheStoredFormatWithApplyDisabled) {
    presenter_.script = [&](DialogModel& dialog) {
        EXPECT_EQ(dialog.State().pages[0].tabCaption, "Stream Format");
        EXPECT_EQ(ControlOf(dialog, 0, ids::kColor).items,
                  (std::vector<std::string>{"Monochrome 8bit", "Monochrome 16bit *", "Color 24bit", "Color 32bit",
                                            "Color 48bit *", "Color 64bit *"}));
        EXPECT_EQ(ControlOf(dialog, 0, ids::kColor).value, 2);  // first use stores colour mode 2
        EXPECT_EQ(ControlOf(dialog, 0, ids::kSize).items, (std::vector<std::string>{"3840 x 2752", "Custom"}));
        EXPECT_EQ(ControlOf(dialog, 0, ids::kSize).value, 0);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kSubSample).items, (std::vector<std::string>{"1/1", "1/2 Skip", "1/4 Skip"}));
        const Control& clock = ControlOf(dialog, 0, ids::kClock);
        EXPECT_EQ(clock.items, (std::vector<std::string>{"Nomal(24MHz)", "Half(12MHz)", "High(48MHz)"}));
        EXPECT_EQ(clock.value, 2);
        EXPECT_FALSE(clock.enabled);
        const char* shown[6] = {"3856", "2764", "3840", "2752", "0", "0"};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(ControlOf(dialog, 0, ids::kGeometryEdits[i]).text, shown[i]);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kWaitTime).text, "1");
        EXPECT_FALSE(ControlOf(dialog, kContainer, kIdApply).enabled);
        Type(dialog, 0, ids::kWaitTime, "12");
        EXPECT_TRUE(ControlOf(dialog, kContainer, kIdApply).enabled);
    };
    EXPECT_EQ(session_.SetCameraDlg(nullptr), 1);
}

TEST_F(CameraDialogTest, ApplySavesButTheSessionReloadsTheFormatOnlyOnOk) {
    ASSERT_EQ(session_.SetColorMode(24), 1);
    ASSERT_EQ(session_.SetWaitTime(5), 1);
    presenter_.script = [&](DialogModel& dialog) {
        Choose(dialog, 0, ids::kColor, 0);
        Choose(dialog, 0, ids::kSubSample, 1);
        Type(dialog, 0, ids::kWaitTime, "25");
        Press(dialog, kIdApply);
        EXPECT_FALSE(ControlOf(dialog, kContainer, kIdApply).enabled);
        EXPECT_TRUE(dialog.State().status.empty());
        const vantix::CaptureFormat stored = StoredFormat();
        EXPECT_EQ(stored.colorModeIndex, 0);
        EXPECT_EQ(stored.subSample, 1);
        EXPECT_EQ(stored.waitTimeMs, 25);
        EXPECT_EQ(stored.clock, 2);
        Press(dialog, kIdCancel);
    };
    EXPECT_EQ(session_.SetCameraDlg(nullptr), 1);
    EXPECT_EQ(session_.GetColorMode(), 24);
    EXPECT_EQ(session_.GetSubSample(), 0);
    EXPECT_EQ(session_.GetWaitTime(), 5);
    EXPECT_EQ(StoredFormat().waitTimeMs, 25);  // Cancel does not take back what Apply saved

    presenter_.script = [&](DialogModel& dialog) {
        EXPECT_EQ(ControlOf(dialog, 0, ids::kColor).value, 0);
        Choose(dialog, 0, ids::kColor, 3);
        Press(dialog, kIdOk);
    };
    EXPECT_EQ(session_.SetCameraDlg(nullptr), 1);
    EXPECT_EQ(session_.GetColorMode(), 32);
    EXPECT_EQ(session_.GetSubSample(), 1);
    EXPECT_EQ(session_.GetWaitTime(), 25);
}

TEST_F(CameraDialogTest, CustomSizeWithApplyAddsAPresetBeforeCustom) {
    presenter_.script = [&](DialogModel& dialog) {
        Choose(dialog, 0, ids::kSize, 1);  // Custom: the edits stay as they are
        EXPECT_EQ(ControlOf(dialog, 0, ids::kGeometryEdits[2]).text, "3840");
        TypeGeometry(dialog, {1000, 800, 640, 480, 16, 8});
        Press(dialog, kIdApply);
        const Control& size = ControlOf(dialog, 0, ids::kSize);
        EXPECT_EQ(size.items, (std::vector<std::string>{"3840 x 2752", "640 x 480", "Custom"}));
        EXPECT_EQ(size.value, 1);
        // The selected preset is overwritten from the edits.
        Type(dialog, 0, ids::kGeometryEdits[5], "10");
        Press(dialog, kIdOk);
    };
    EXPECT_EQ(session_.SetCameraDlg(nullptr), 1);
    const std::vector<vantix::CaptureGeometry> presets = StoredPresets();
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[1].totalWidth, 1000);
    EXPECT_EQ(presets[1].width, 640);
    EXPECT_EQ(presets[1].height, 480);
    EXPECT_EQ(presets[1].startX, 16);
    EXPECT_EQ(presets[1].startY, 10);
    EXPECT_EQ(presets[1].bufferCount, 4);
    EXPECT_EQ(StoredFormat().sizeIndex, 1);
    // OK reloaded the session's geometry from the selected preset.
    EXPECT_EQ(session_.Width(), 640);
    EXPECT_EQ(session_.Height(), 480);
    EXPECT_EQ(session_.Geometry().startY, 10);
}

TEST_F(CameraDialogTest, RefusesSizesOutsideTheSensorAndWaitTimesThatAreNoNumber) {
    presenter_.script = [&](DialogModel& dialog) {
        Choose(dialog, 0, ids::kSize, 1);
        TypeGeometry(dialog, {3856, 2764, 3800, 480, 100, 0});  // 100 + 3800 is past the last column
        Press(dialog, kIdApply);
        EXPECT_EQ(dialog.State().status, "The capture size does not fit the sensor.");
        EXPECT_TRUE(ControlOf(dialog, kContainer, kIdApply).enabled);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kSize).items.size(), 2u);
        Type(dialog, 0, ids::kGeometryEdits[4], "x");
        Press(dialog, kIdOk);
        EXPECT_EQ(dialog.State().result, 0);  // OK with a bad value keeps the dialog open
        Type(dialog, 0, ids::kGeometryEdits[4], "0");
        Type(dialog, 0, ids::kWaitTime, "-3");
        Press(dialog, kIdOk);
        EXPECT_EQ(dialog.State().status, "The wait time must be a number of milliseconds, 0 or more.");
        Type(dialog, 0, ids::kWaitTime, "3");
        Press(dialog, kIdOk);
        EXPECT_EQ(dialog.State().result, 1);
        EXPECT_TRUE(dialog.State().status.empty());
    };
    EXPECT_EQ(session_.SetCameraDlg(nullptr), 1);
    EXPECT_EQ(StoredPresets().size(), 2u);
    EXPECT_EQ(session_.Width(), 3800);
}

TEST_F(CameraDialogTest, StopsARunningPreviewWhileOpenAndRestartsIt) {
    ASSERT_EQ(session_.SetCaptureWindowEx(3856, 0, 320, 2764, 0, 240), 1);
    ASSERT_EQ(session_.StartPreview(), 1);
    presenter_.script = [&](DialogModel& dialog) {
        // A snapshot is refused while the preview runs.
        EXPECT_EQ(session_.SnapShot(nullptr, 0, 0), 1);
        Press(dialog, kIdCancel);
    };
    EXPECT_EQ(session_.SetCameraDlg(nullptr), 1);
    EXPECT_EQ(session_.SnapShot(nullptr, 0, 0), 0);
    EXPECT_EQ(session_.PopError(), 1);
    session_.StopPreview();
}

TEST(CameraDialogModel, SizeEditsFollowTheSensorsFreeWidthAndHeight) {
    const auto any = [](const vantix::CaptureGeometry&, int32_t) { return true; };
    CameraDialog heightOnly(0, false, true, any, Language::English);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ControlOf(heightOnly, 0, ids::kGeometryEdits[i]).enabled, i % 2 == 1) << i;
    EXPECT_TRUE(ControlOf(heightOnly, 0, ids::kSize).enabled);
    CameraDialog fixed(0, false, false, any, Language::Japanese);
    EXPECT_FALSE(ControlOf(fixed, 0, ids::kSize).enabled);
    EXPECT_EQ(ControlOf(fixed, 0, ids::kColor).items[1], "モノクロ 16bit *");
    EXPECT_EQ(ControlOf(fixed, 0, ids::kClock).items[2], "高速(48MHz)");
    EXPECT_EQ(ControlOf(fixed, kContainer, kIdApply).text, "適用(&A)");
}

}  // namespace
