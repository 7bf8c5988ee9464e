// The image dialog through the session: every control writes the session's
// filter values at once, Cancel restores all of them, OK and Default keep or
// reset them, and the colour mode decides what can be changed.
#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "dialogs/image_dialog.h"

namespace {

using namespace dialog_test;
namespace ids = vantix::dialogs::image_ids;
namespace gray = vantix::dialogs::gray_ids;

constexpr SliderGroup kImageGroups[] = {ids::kBrightness, ids::kContrast, ids::kHue,       ids::kSaturation, ids::kSharpness,
                                        ids::kRedGain,    ids::kGreenGain, ids::kBlueGain, ids::kGamma};

class ImageDialogTest : public DialogSessionTest {};

TEST_F(ImageDialogTest, CancelRestoresEveryFilterValueChangedWhileOpen) {
    ASSERT_EQ(session_.SetColorMode(24), 1);
    const vantix::ImageSettings before = session_.ImageSettingsBlock();
    bool changedWhileOpen = false;
    presenter_.script = [&](DialogModel& dialog) {
        for (const SliderGroup& group : kImageGroups) {
            const Control& trackbar = ControlOf(dialog, 0, group.trackbar);
            Move(dialog, 0, group.trackbar, trackbar.maximum);
            EXPECT_EQ(ControlOf(dialog, 0, group.edit).text, std::to_string(trackbar.maximum));
        }
        Click(dialog, 0, ids::kBayerMode0);
        Click(dialog, 0, ids::kAllFrames, 1);
        const vantix::ImageSettings& now = session_.ImageSettingsBlock();
        changedWhileOpen = now[vantix::kBrightness] == 255 && now[vantix::kGamma] == 200 &&
                           now[vantix::kBayerGainBlue] == 400 && now[vantix::kBayerMode] == 0 &&
                           now[vantix::kBayerGainAuto] == 1;
        Press(dialog, kIdCancel);
    };
    EXPECT_EQ(session_.SetImageDlg(nullptr), 1);
    EXPECT_TRUE(changedWhileOpen);
    EXPECT_EQ(session_.ImageSettingsBlock(), before);
    EXPECT_EQ(session_.PopError(), 0);
}

TEST_F(ImageDialogTest, EditsUpDownsAndDefaultWriteTheSessionAndOkKeepsThem) {
    ASSERT_EQ(session_.SetColorMode(32), 1);
    ASSERT_EQ(session_.SetFilterValue(11, 150), 1);  // gamma
    presenter_.script = [&](DialogModel& dialog) {
        EXPECT_EQ(ControlOf(dialog, 0, ids::kGamma.trackbar).value, 150);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kBayerMode3).value, 1);
        Type(dialog, 0, ids::kBrightness.edit, "-40");
        EXPECT_EQ(ControlOf(dialog, 0, ids::kBrightness.trackbar).value, -40);
        EXPECT_EQ(Filter(1), -40);
        Type(dialog, 0, ids::kBrightness.edit, "-");  // half typed: nothing applied
        EXPECT_EQ(Filter(1), -40);
        Type(dialog, 0, ids::kContrast.edit, "999");  // beyond the range: its end
        EXPECT_EQ(Filter(2), 127);
        Step(dialog, 0, ids::kSharpness.upDown, +1);
        Step(dialog, 0, ids::kSharpness.upDown, +1);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kSharpness.edit).text, "2");
        EXPECT_EQ(Filter(5), 2);
        Press(dialog, kIdDefault);
        EXPECT_EQ(Filter(1), 0);
        EXPECT_EQ(Filter(2), 0);
        EXPECT_EQ(Filter(11), 100);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kGamma.edit).text, "100");
        Move(dialog, 0, ids::kHue.trackbar, -90);
        Click(dialog, 0, ids::kBayerMode0 + 1);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kBayerMode3).value, 0);
        Press(dialog, kIdOk);
    };
    EXPECT_EQ(session_.SetImageDlg(nullptr), 1);
    EXPECT_EQ(Filter(3), -90);
    EXPECT_EQ(Filter(11), 100);
    EXPECT_EQ(Filter(12), 1);
}

TEST_F(ImageDialogTest, ColourModesEnableAllSlidersMonochromeAddsTheGrayPage) {
    struct Range {
        int32_t min, max, tick;
    };
    const Range ranges[] = {{-255, 255, 64}, {-127, 127, 32}, {-360, 360, 90}, {-255, 255, 64}, {0, 30, 4},
                            {0, 400, 32},    {0, 400, 32},    {0, 400, 32},    {0, 200, 32}};
    ASSERT_EQ(session_.SetColorMode(48), 1);
    presenter_.script = [&](DialogModel& dialog) {
        ASSERT_EQ(dialog.State().pages.size(), 1u);
        EXPECT_EQ(dialog.State().pages[0].tabCaption, "Image Filter");
        for (size_t i = 0; i < std::size(kImageGroups); ++i) {
            const Control& trackbar = ControlOf(dialog, 0, kImageGroups[i].trackbar);
            EXPECT_TRUE(trackbar.enabled) << trackbar.id;
            EXPECT_EQ(trackbar.minimum, ranges[i].min) << trackbar.id;
            EXPECT_EQ(trackbar.maximum, ranges[i].max) << trackbar.id;
            EXPECT_EQ(trackbar.tickFrequency, ranges[i].tick) << trackbar.id;
            EXPECT_EQ(ControlOf(dialog, 0, kImageGroups[i].upDown).maximum, ranges[i].max) << trackbar.id;
        }
        EXPECT_TRUE(ControlOf(dialog, 0, ids::kBayerMode0).enabled);
        EXPECT_TRUE(ControlOf(dialog, 0, ids::kOnce).enabled);
    };
    EXPECT_EQ(session_.SetImageDlg(nullptr), 1);

    ASSERT_EQ(session_.SetColorMode(16), 1);
    presenter_.script = [&](DialogModel& dialog) {
        ASSERT_EQ(dialog.State().pages.size(), 2u);
        EXPECT_EQ(dialog.State().pages[1].tabCaption, "Gray Filter");
        for (const SliderGroup& group : kImageGroups) {
            const bool monochromeControl = group.trackbar == ids::kBrightness.trackbar ||
                                           group.trackbar == ids::kContrast.trackbar ||
                                           group.trackbar == ids::kSharpness.trackbar ||
                                           group.trackbar == ids::kGamma.trackbar;
            for (int id : {group.trackbar, group.edit, group.upDown}) {
                EXPECT_EQ(ControlOf(dialog, 0, id).enabled, monochromeControl) << id;
            }
        }
        EXPECT_FALSE(ControlOf(dialog, 0, ids::kBayerMode0).enabled);
        EXPECT_FALSE(ControlOf(dialog, 0, ids::kOnce).enabled);
        EXPECT_FALSE(ControlOf(dialog, 0, ids::kAllFrames).enabled);
        EXPECT_TRUE(ControlOf(dialog, gray::kPage, ids::kBayerMode0).enabled);
        // A disabled slider ignores the user.
        Move(dialog, 0, ids::kHue.trackbar, 100);
        EXPECT_EQ(Filter(3), 0);
    };
    EXPECT_EQ(session_.SetImageDlg(nullptr), 1);
}

TEST_F(ImageDialogTest, GrayPageGainsModesAndAutoGain) {
    ASSERT_EQ(session_.SetColorMode(8), 1);
    const vantix::ImageSettings before = session_.ImageSettingsBlock();
    presenter_.script = [&](DialogModel& dialog) {
        const int page = gray::kPage;
        EXPECT_EQ(ControlOf(dialog, page, 2100).maximum, 400);
        EXPECT_EQ(ControlOf(dialog, page, 2112).minimum, -255);
        EXPECT_EQ(ControlOf(dialog, page, 2112).tickFrequency, 32);
        Move(dialog, page, 2100, 300);
        EXPECT_EQ(session_.ImageSettingsBlock()[vantix::kGrayGainR], 300);
        Type(dialog, page, 2122, "-20");  // blue offset edit
        EXPECT_EQ(session_.ImageSettingsBlock()[vantix::kGrayOffsetB], -20);
        Click(dialog, page, gray::kModeGrayscale);
        EXPECT_EQ(Filter(19), 2);
        EXPECT_EQ(ControlOf(dialog, page, gray::kModeBayer).value, 0);
        Click(dialog, page, ids::kOnce);
        EXPECT_EQ(session_.ImageSettingsBlock()[vantix::kFilter28], 1);
        Click(dialog, page, ids::kAllFrames, 1);
        EXPECT_EQ(session_.ImageSettingsBlock()[vantix::kFilter28], -1);
        Click(dialog, page, ids::kAllFrames, 0);
        EXPECT_EQ(session_.ImageSettingsBlock()[vantix::kFilter28], 0);
        // Bayer mode buttons of both pages show one mode.
        Click(dialog, page, ids::kBayerMode0 + 2);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kBayerMode0 + 2).value, 1);
        EXPECT_EQ(Filter(12), 2);
        Press(dialog, kIdDefault);
        EXPECT_EQ(session_.ImageSettingsBlock()[vantix::kGrayGainR], 128);
        EXPECT_EQ(session_.ImageSettingsBlock()[vantix::kGrayOffsetB], 128);
        EXPECT_EQ(Filter(12), 3);
        Press(dialog, kIdCancel);
    };
    EXPECT_EQ(session_.SetImageDlg(nullptr), 1);
    EXPECT_EQ(session_.ImageSettingsBlock(), before);
}

TEST_F(ImageDialogTest, OncePushesOneWhiteBalanceAndAllFramesKeepsItRunning) {
    ASSERT_EQ(session_.SetColorMode(24), 1);
    presenter_.script = [&](DialogModel& dialog) {
        Click(dialog, 0, ids::kAllFrames, 1);
        Click(dialog, 0, ids::kOnce);
        const vantix::ImageSettings& s = session_.ImageSettingsBlock();
        EXPECT_EQ(s[vantix::kBayerGainAuto], 1);
        EXPECT_EQ(s[vantix::kBayerOneShotA], 1);
        EXPECT_EQ(s[vantix::kBayerOneShotB], 1);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kAllFrames).value, 0);
        Click(dialog, 0, ids::kAllFrames, 1);
        EXPECT_EQ(s[vantix::kBayerOneShotA], 0);
        EXPECT_EQ(s[vantix::kBayerGainAuto], 1);
        Press(dialog, kIdOk);
    };
    EXPECT_EQ(session_.SetImageDlg(nullptr), 1);
    EXPECT_EQ(Filter(10), 1);
}

}  // namespace
