// A session against virtual cameras: Initialize's camera choice, switching
// cameras with their settings, the settings file across sessions, release
// while streaming, and what an idle session costs in memory.
#include "session/vantix_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vantix/linux_ext.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "settings/settings_persistence.h"
#include "transport/device_drivers.h"

namespace {

using vantix::emulator::Emulator;

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
    }
    void TearDown() override { Emulator::Instance().Reset(); }
    static std::string PlugCamera() {
        const std::string path = Emulator::Instance().Plug(0x3040);
        Emulator::Instance().Find(path)->SetUnthrottled(true);
        return path;
    }
};

TEST_F(SessionTest, OneCameraIsSelectedAtInitializeTwoAreLeftToTheApplication) {
    PlugCamera();
    {
        CVantix session;
        ASSERT_TRUE(session.Initialize(nullptr));
        ASSERT_NE(session.Engine()->Sensor(), nullptr);
        EXPECT_EQ(session.Engine()->GetModelId(), 0x3040);
        EXPECT_EQ(session.PopError(), 0);
        // Defaults from the camera, as no settings were saved for it yet.
        EXPECT_EQ(session.Camera().globalGain, session.Engine()->GetGainDefault());
    }
    PlugCamera();
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    EXPECT_EQ(session.Engine()->Sensor(), nullptr);
    EXPECT_EQ(session.SetDeviceNumber(5), 0);
    EXPECT_EQ(session.PopError(), 2);
    ASSERT_EQ(session.SetDeviceNumber(1), 1);
    EXPECT_EQ(session.Engine()->GetSelectedInstance(), 1);
    EXPECT_EQ(session.DeviceNumber(), 1);
}

TEST_F(SessionTest, SwitchingCamerasSavesTheFirstBeforeLoadingTheSecond) {
    PlugCamera();
    PlugCamera();
    // Camera 1 has a saved gain; camera 0 will get one from the session.
    vantix::CameraSettings saved;
    saved.globalGain = 21;
    saved.colorGainRed = 33;
    ASSERT_TRUE(vantix::SaveCameraSettings(1, saved));

    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    ASSERT_EQ(session.SetDeviceNumber(0), 1);
    // What the gain front end will do: set the camera and the session's copy.
    session.Engine()->SetGain(40);
    const_cast<vantix::CameraSettings&>(session.Camera()).globalGain = 40;
    ASSERT_EQ(session.SetDeviceNumber(1), 1);
    EXPECT_EQ(session.Camera().globalGain, 21);
    EXPECT_EQ(session.Camera().colorGainRed, 33);
    EXPECT_EQ(session.Engine()->GetGain(), 21);  // applied to the camera

    vantix::CameraSettings first;
    vantix::LoadCameraSettings(0, &first, vantix::CameraDefaults{});
    EXPECT_EQ(first.globalGain, 40);
}

TEST_F(SessionTest, ReleaseSavesTheCurrentCameraAndStopsItsStream) {
    PlugCamera();
    auto* session = new CVantix();
    ASSERT_TRUE(session->Initialize(nullptr));
    vantix::CVantixU3K9Base* engine = session->Engine();
    ASSERT_TRUE(engine->SetCaptureWindow(0, 0, 320, 8, 0));
    ASSERT_TRUE(engine->StartCapture(vantix::kCaptureContinuous));
    ASSERT_EQ(engine->WaitFrame(3000), vantix::kWaitNewFrame);
    const_cast<vantix::CameraSettings&>(session->Camera()).colorGainBlue = 77;
    delete session;  // while the acquisition thread streams

    vantix::CameraSettings stored;
    vantix::LoadCameraSettings(0, &stored, vantix::CameraDefaults{});
    EXPECT_EQ(stored.colorGainBlue, 77);
}

// With several cameras attached a session opens none until asked; one that
// never opened a camera (a listing, a failed selection) has no gains or
// exposure of a camera and must not store its placeholders over the
// defaults the next session would take from the camera.
TEST_F(SessionTest, WithoutAutosaveNothingTheSessionChangedOutlivesIt) {
    PlugCamera();
    PlugCamera();
    const auto exposureOfCamera0 = [] {
        CVantix session;
        EXPECT_TRUE(session.Initialize(nullptr));
        EXPECT_EQ(session.SetDeviceNumber(0), 1);
        return session.Camera().exposure;
    };
    const int32_t stored = exposureOfCamera0();
    {
        CVantix oneOff;
        ASSERT_TRUE(oneOff.Initialize(nullptr));
        ASSERT_EQ(oneOff.SetSettingsAutosave(0), 1);
        ASSERT_EQ(oneOff.SetDeviceNumber(0), 1);
        ASSERT_EQ(oneOff.SetFilterValue(18, stored + 100), 1);
        ASSERT_EQ(oneOff.SetFilterValue(1, 40), 1);  // brightness
        ASSERT_EQ(oneOff.SetDeviceNumber(1), 1);     // switching away saves nothing either
    }
    EXPECT_EQ(exposureOfCamera0(), stored);
    {
        CVantix check;
        ASSERT_TRUE(check.Initialize(nullptr));
        ASSERT_EQ(check.SetDeviceNumber(0), 1);
        int32_t ok = 0;
        EXPECT_EQ(check.GetFilterValue(1, &ok), 0);
    }
    // Turned back on before release, the changes are kept after all.
    {
        CVantix kept;
        ASSERT_TRUE(kept.Initialize(nullptr));
        ASSERT_EQ(kept.SetSettingsAutosave(0), 1);
        ASSERT_EQ(kept.SetDeviceNumber(0), 1);
        ASSERT_EQ(kept.SetFilterValue(18, stored + 200), 1);
        ASSERT_EQ(kept.SetSettingsAutosave(1), 1);
    }
    EXPECT_EQ(exposureOfCamera0(), stored + 200);
}

TEST_F(SessionTest, ASessionThatOpenedNoCameraLeavesTheStoredGainsAlone) {
    PlugCamera();
    PlugCamera();
    {
        CVantix session;
        ASSERT_TRUE(session.Initialize(nullptr));
        EXPECT_EQ(session.SetDeviceNumber(5), 0);
    }
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    EXPECT_EQ(session.SetDeviceNumber(7), 0);  // a failed selection saves nothing either
    ASSERT_EQ(session.SetDeviceNumber(1), 1);
    ASSERT_EQ(session.SetDeviceNumber(0), 1);
    ASSERT_NE(session.Engine()->GetGainDefault(), 0);
    EXPECT_EQ(session.Camera().globalGain, session.Engine()->GetGainDefault());
    EXPECT_EQ(session.Camera().colorGainRed, session.Engine()->GetColorGainDefault());
    EXPECT_EQ(session.Camera().exposure, session.Engine()->GetExposureTimeDefault());
}

TEST_F(SessionTest, ConfigurationFileReplacesTheListWithWholeRecords) {
    const std::string path = "/tmp/vantix-config-" + std::to_string(getpid()) + ".bin";
    {
        std::ofstream file(path, std::ios::binary);
        const int32_t values[5] = {1, -2, 3, 4, 99};  // 20 bytes: two records and a stray word
        file.write(reinterpret_cast<const char*>(values), sizeof values);
    }
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    ASSERT_EQ(session.LoadConfigFile(path.c_str()), 1);
    const auto list = session.ConfigList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], std::make_pair(3, 4));
    EXPECT_EQ(session.LoadConfigFile("/nonexistent/config.bin"), 0);
    EXPECT_EQ(session.PopError(), 0);  // a file that does not open records nothing
    // What opens but is refused is an argument error: no name, a folder, a
    // FIFO (refused at once rather than waited on).
    const std::string fifo = path + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const char* refused : {static_cast<const char*>(nullptr), "/tmp", fifo.c_str()}) {
        EXPECT_EQ(session.LoadConfigFile(refused), 0);
        EXPECT_EQ(session.PopError(), 9) << (refused != nullptr ? refused : "NULL");
    }
    EXPECT_EQ(session.ConfigList().size(), 2u);
    std::remove(fifo.c_str());
    std::remove(path.c_str());
}

// A settings file that cannot be written: the session starts as on first
// use, and the change lost at release is posted to the notification window.
class UnwritableSettingsTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        saved_ = std::getenv("VANTIX_REGISTRY");
        base_ = "/tmp/vantix-unwritable-" + std::to_string(getpid());
        window_ = VantixExt_CreatePollableWindow();
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        VantixExt_DestroyWindow(window_);
        setenv("VANTIX_REGISTRY", saved_.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
        SessionTest::TearDown();
    }
    // The error codes posted so far.
    std::vector<intptr_t> Posted() {
        std::vector<intptr_t> codes;
        VantixMessage message;
        while (VantixExt_GetMessage(window_, &message, 200) == 1) codes.push_back(message.lParam);
        return codes;
    }
    std::string saved_;
    std::string base_;
    VantixHwnd window_ = nullptr;
};

TEST_F(UnwritableSettingsTest, StartsWithTheFirstUseFormatAndReportsTheLostSaveAtRelease) {
    PlugCamera();
    // A file where the settings folder should be: nothing can be created,
    // not even by the superuser.
    std::ofstream(base_) << "not a folder";
    setenv("VANTIX_REGISTRY", (base_ + "/registry.reg").c_str(), 1);
    auto* session = new CVantix();
    ASSERT_TRUE(session->Initialize(window_));
    EXPECT_EQ(session->GetColorMode(), 24);
    EXPECT_EQ(session->GetWaitTime(), 1);
    EXPECT_EQ(session->GetSubSample(), 0);
    EXPECT_TRUE(Posted().empty());
    delete session;
    EXPECT_EQ(Posted(), std::vector<intptr_t>{12});
}

TEST_F(UnwritableSettingsTest, AReadOnlySettingsFileIsKeptAndTheLostSaveReported) {
    PlugCamera();
    std::filesystem::create_directories(base_);
    const std::string file = base_ + "/registry.reg";
    setenv("VANTIX_REGISTRY", file.c_str(), 1);
    {
        CVantix first;
        ASSERT_TRUE(first.Initialize(nullptr));
    }
    std::ifstream in(file, std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(before.find("Camera_00\\Gain]"), std::string::npos);
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);

    auto* session = new CVantix();
    ASSERT_TRUE(session->Initialize(window_));
    ASSERT_EQ(session->SetFilterValue(1, 55), 1);
    // Switching cameras saves too; the failure is recorded, the switch goes on.
    ASSERT_EQ(session->SetDeviceNumber(0), 1);
    EXPECT_EQ(session->PopError(), 12);
    delete session;
    EXPECT_EQ(Posted(), (std::vector<intptr_t>{12, 12}));
    std::ifstream again(file, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()), before);
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms::owner_read);
}

// Resident memory of the process in bytes.
long ResidentBytes() {
    long pages = 0;
    long resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

TEST_F(SessionTest, IdleSessionKeepsItsFullSensorBuffersOutOfMemory) {
    PlugCamera();
    const long before = ResidentBytes();
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    const long idle = ResidentBytes() - before;
    std::printf("resident memory of an idle session with a camera selected: %.1f MiB\n", idle / 1048576.0);
    // Ten full-sensor images hold 160 MB; the mask's white references alone
    // would be 32 MB if they were filled at Initialize.
    EXPECT_LT(idle, 24L * 1024 * 1024);
    session.EnsureMaskReferencesFilled();
    EXPECT_EQ(session.Image(9)->Bits()[0], 0xFF);
    EXPECT_EQ(session.Image(11)->Bits()[session.Image(11)->ImageBytes() - 1], 0xFF);
    EXPECT_EQ(session.Image(8)->Bits()[0], 0);
}

}  // namespace
