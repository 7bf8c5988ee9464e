// The analog dialog: through the session against a virtual camera (gains,
// exposure and mirrors reach the camera at once and come back on Cancel),
// and against a camera that takes exposure in seconds (units and formats).
#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "dialogs/analog_dialog.h"

namespace {

using namespace dialog_test;
namespace ids = vantix::dialogs::analog_ids;

class AnalogDialogTest : public DialogSessionTest {
protected:
    struct CameraState {
        int32_t gain, green1, red, blue, green2, exposure, mirrorV, mirrorH;
        bool operator==(const CameraState&) const = default;
    };
    CameraState OnCamera() {
        vantix::CVantixU3K9Base& e = *session_.Engine();
        return {e.GetGain(),      e.GetColorGainGreen1(), e.GetColorGainRed(), e.GetColorGainBlue(),
                e.GetColorGainGreen2(), e.GetExposureTime(), e.GetMirrorV(),   e.GetMirrorH()};
    }
};

TEST_F(AnalogDialogTest, CancelPutsGainsExposureAndMirrorsBackOnTheCamera) {
    vantix::CVantixU3K9Base& e = *session_.Engine();
    ASSERT_EQ(session_.SetFilterValue(13, 20), 1);
    ASSERT_EQ(session_.SetFilterValue(14, 30), 1);
    ASSERT_EQ(session_.SetFilterValue(18, 500), 1);
    ASSERT_EQ(session_.SetMirrorH(1), 1);
    const CameraState before = OnCamera();
    presenter_.script = [&](DialogModel& dialog) {
        EXPECT_EQ(ControlOf(dialog, 0, ids::kGlobalGain.trackbar).value, 20);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kColorGainR.trackbar).value, 30);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kExposure.trackbar).value, 500);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kMirrorH).value, 1);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kGlobalGain.trackbar).maximum, e.GetGainMax());
        EXPECT_EQ(ControlOf(dialog, 0, ids::kExposure.trackbar).maximum, e.GetExposureTimeMax());
        // The global gain carries the four colour gains with it.
        Move(dialog, 0, ids::kGlobalGain.trackbar, 40);
        EXPECT_EQ(e.GetGain(), 40);
        EXPECT_EQ(e.GetColorGainRed(), 40);
        EXPECT_EQ(e.GetColorGainGreen2(), 40);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kColorGainB.edit).text, "40");
        Type(dialog, 0, ids::kColorGainB.edit, "50");
        EXPECT_EQ(e.GetColorGainBlue(), 50);
        Type(dialog, 0, ids::kExposure.edit, "1234");
        EXPECT_EQ(e.GetExposureTime(), 1234);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureMs).text, "=123.40ms");
        Click(dialog, 0, ids::kMirrorV, 1);
        Click(dialog, 0, ids::kMirrorH, 0);
        EXPECT_EQ(session_.Camera().mirrorV, 1);
        EXPECT_EQ(session_.Camera().mirrorH, 0);
        EXPECT_NE(OnCamera(), before);
        Press(dialog, kIdCancel);
    };
    EXPECT_EQ(session_.SetAnalogDlg(nullptr), 1);
    EXPECT_EQ(OnCamera(), before);
    // The session's block is back at what the camera had when the dialog opened.
    EXPECT_EQ(session_.Camera().globalGain, before.gain);
    EXPECT_EQ(session_.Camera().colorGainBlue, before.blue);
    EXPECT_EQ(session_.Camera().exposure, before.exposure);
    EXPECT_EQ(session_.GetMirrorH(), 1);
    EXPECT_EQ(session_.GetMirrorV(), 0);
}

TEST_F(AnalogDialogTest, OkKeepsWhatTheDialogShowsAndDefaultTakesTheCameraDefaults) {
    vantix::CVantixU3K9Base& e = *session_.Engine();
    presenter_.script = [&](DialogModel& dialog) {
        Type(dialog, 0, ids::kGlobalGain.edit, "70");
        Type(dialog, 0, ids::kColorGainG1.edit, "10");
        Step(dialog, 0, ids::kExposure.upDown, -1);
        const int32_t stepped = e.GetExposureTime();
        EXPECT_EQ(ControlOf(dialog, 0, ids::kExposure.edit).text, std::to_string(stepped));
        Press(dialog, kIdDefault);
        EXPECT_EQ(e.GetGain(), e.GetGainDefault());
        EXPECT_EQ(e.GetColorGainGreen1(), e.GetColorGainDefault());
        EXPECT_EQ(e.GetExposureTime(), e.GetExposureTimeDefault());
        EXPECT_EQ(ControlOf(dialog, 0, ids::kGlobalGain.edit).text, std::to_string(e.GetGainDefault()));
        Type(dialog, 0, ids::kColorGainG2.edit, "33");
        Press(dialog, kIdOk);
    };
    EXPECT_EQ(session_.SetAnalogDlg(nullptr), 1);
    EXPECT_EQ(session_.Camera().globalGain, e.GetGainDefault());
    EXPECT_EQ(session_.Camera().colorGainGreen2, 33);
    EXPECT_EQ(e.GetColorGainGreen2(), 33);
    EXPECT_EQ(session_.Camera().exposure, e.GetExposureTimeDefault());
}

TEST_F(AnalogDialogTest, AutoIrisGainAndExposureExcludeEachOther) {
    presenter_.script = [&](DialogModel& dialog) {
        EXPECT_FALSE(ControlOf(dialog, 0, ids::kExposureSeconds).visible);  // this camera takes 0.1 ms units
        EXPECT_TRUE(ControlOf(dialog, 0, ids::kExposureMs).visible);
        Click(dialog, 0, ids::kAutoIrisGain, 1);
        EXPECT_EQ(session_.Camera().autoIris, 2);
        Click(dialog, 0, ids::kAutoIrisExposure, 1);
        EXPECT_EQ(session_.Camera().autoIris, 1);
        EXPECT_EQ(ControlOf(dialog, 0, ids::kAutoIrisGain).value, 0);
        Click(dialog, 0, ids::kAutoIrisExposure, 0);
        EXPECT_EQ(session_.Camera().autoIris, 0);
        Click(dialog, 0, ids::kAutoIrisGain, 1);
        Press(dialog, kIdOk);
    };
    EXPECT_EQ(session_.SetAnalogDlg(nullptr), 1);
    int32_t ok = 0;
    EXPECT_EQ(session_.GetAutoIris(&ok), 2);
}

// A camera that takes exposure in seconds, from 10 µs to 36 s.
using vantix::CameraSettings;

class SecondsCamera final : public AnalogTarget {
public:
    AnalogCapabilities Capabilities() override {
        AnalogCapabilities caps;
        caps.gainMax = caps.colorGainMax = 100;
        caps.exposureMin = 1;
        caps.exposureMax = 60000;
        caps.exposureDefault = 5000;
        caps.exposureSeconds = true;
        caps.secondsMin = 0.00001;
        caps.secondsMax = 36.0;
        caps.secondsDefault = 0.5;
        return caps;
    }
    CameraSettings Camera() override {
        CameraSettings camera;
        camera.exposureSeconds = seconds;
        camera.exposure = static_cast<int32_t>(seconds * 10000);
        return camera;
    }
    void SetGlobalGain(int32_t) override {}
    void SetColorGain(ColorChannel, int32_t) override {}
    void SetExposure(int32_t tenths) override { seconds = tenths / 10000.0; }
    bool SetExposureSeconds(double value) override {
        if (value < 0.00001 || value > 36.0) return false;
        seconds = value;
        return true;
    }
    void SetMirrorV(bool) override {}
    void SetMirrorH(bool) override {}
    void SetAutoIris(int32_t) override {}
    void SetBlackLevel(int32_t) override {}
    void SetCooler(bool) override {}
    void SetShortExposureMode(bool) override {}
    void SetGainMode(int32_t) override {}
    int32_t CameraExposure() override { return static_cast<int32_t>(seconds * 10000); }
    bool CameraExposureSeconds(double* value) override {
        *value = seconds;
        return true;
    }
    void StoreGainsAndExposure(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) override {}
    double seconds = 0.0125;
};

TEST(AnalogDialogSeconds, UnitComboRangeAndTypedValuesInEachUnit) {
    SecondsCamera camera;
    AnalogDialog dialog(camera, Language::English);
    const Control& units = ControlOf(dialog, 0, ids::kExposureUnit);
    EXPECT_EQ(units.items, (std::vector<std::string>{"µs", "ms", "sec"}));
    EXPECT_TRUE(units.visible);
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureRange).text, "range: 10µs - 36sec");
    EXPECT_FALSE(ControlOf(dialog, 0, ids::kExposureMs).visible);
    EXPECT_EQ(units.value, 1);  // 12.5 ms is shown in ms
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureSeconds).text, "12.500");

    Choose(dialog, 0, ids::kExposureUnit, 0);
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureSeconds).text, "12500");
    Type(dialog, 0, ids::kExposureSeconds, "250");  // µs
    EXPECT_DOUBLE_EQ(camera.seconds, 0.00025);
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposure.trackbar).value, 2);
    Choose(dialog, 0, ids::kExposureUnit, 2);
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureSeconds).text, "0.000250");
    Type(dialog, 0, ids::kExposureSeconds, "2.5");
    EXPECT_DOUBLE_EQ(camera.seconds, 2.5);
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposure.trackbar).value, 25000);
    Type(dialog, 0, ids::kExposureSeconds, "99");  // refused by the camera: nothing changes
    EXPECT_DOUBLE_EQ(camera.seconds, 2.5);
    Type(dialog, 0, ids::kExposureSeconds, "abc");
    EXPECT_DOUBLE_EQ(camera.seconds, 2.5);

    // Moving the exposure slider shows the new time in the unit it needs.
    Move(dialog, 0, ids::kExposure.trackbar, 50);
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureUnit).value, 1);
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureSeconds).text, "5");
    Press(dialog, kIdDefault);
    EXPECT_DOUBLE_EQ(camera.seconds, 0.5);
}

TEST(AnalogDialogSeconds, JapaneseUnitsAndRange) {
    SecondsCamera camera;
    camera.seconds = 3.0;
    AnalogDialog dialog(camera, Language::Japanese);
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureUnit).items.back(), "秒");
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureRange).text, "範囲: 10µs - 36秒");
    EXPECT_EQ(ControlOf(dialog, 0, ids::kExposureSeconds).text, "3");
    EXPECT_EQ(NamedControl(dialog, 0, "s_global_gain").text, "グローバルゲイン(&G)");
    EXPECT_EQ(dialog.State().title, "プロパティ");
}

}  // namespace
