// A session driving another model of the family: refused ids, names of
// models with and without a name of their own, the sensor's array in the
// buffers, windows and mask files, settings kept under the model's own key,
// and the memory an idle session of a large model costs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "imaging/dib_image.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

namespace {

using vantix::emulator::Emulator;

constexpr int32_t kErrorNoCamera = 2;
constexpr int32_t kErrorMaskFile = 14;

class ModelSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
    }
    void TearDown() override {
        Emulator::Instance().Reset();
        for (const std::string& file : files_) std::remove(file.c_str());
    }
    static void Plug(uint16_t model) { Emulator::Instance().Find(Emulator::Instance().Plug(model))->SetUnthrottled(true); }
    std::string TempFile(const char* name) {
        files_.push_back("/tmp/vantix-model-" + std::to_string(getpid()) + "-" + name);
        return files_.back();
    }
    // The settings file with its line ends as plain newlines.
    static std::string SettingsText() {
        std::ifstream in(std::getenv("VANTIX_REGISTRY"), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::erase(text, '\r');
        return text;
    }
    static void WriteSettingsText(const std::string& text) {
        std::string file;
        for (char c : text) {
            if (c == '\n') file += '\r';
            file += c;
        }
        std::ofstream(std::getenv("VANTIX_REGISTRY"), std::ios::binary) << file;
    }
    static std::string FirstName(CVantix& session) {
        std::vector<char> names(VANTIX_NAME_LIST_ENTRIES * VANTIX_NAME_LIST_ENTRY_CHARS);
        if (session.EnumDevice(names.data()) < 1) return {};
        return names.data();
    }

    std::vector<std::string> files_;
};

TEST_F(ModelSelectionTest, AnIdOutsideTheFamilyIsRefusedAndChangesNothing) {
    Plug(0x3040);
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    ASSERT_NE(session.Engine()->Sensor(), nullptr);
    for (int32_t id : {0x1234, -1, 0x13040, 0}) {
        EXPECT_EQ(session.SetModelId(id), 0) << id;
        EXPECT_EQ(session.PopError(), kErrorNoCamera) << id;
    }
    EXPECT_EQ(session.GetModelId(), 0x3040);
    EXPECT_NE(session.Engine()->Sensor(), nullptr);  // the camera stayed open
    EXPECT_EQ(FirstName(session), "VantixQ720LX-USB3-K9_01");
}

TEST_F(ModelSelectionTest, CamerasAreNamedAfterTheirModel) {
    Plug(0x3030);
    Plug(0x3030);
    Plug(0x3150);
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    EXPECT_EQ(FirstName(session), "");  // no camera of the default model
    ASSERT_EQ(session.SetModelId(0x3030), 1);
    char name[64] = {};
    ASSERT_EQ(session.GetDeviceName(1, name, sizeof name), 1);
    EXPECT_STREQ(name, "Vantix-Q102-USB3-K9_02");
    EXPECT_EQ(session.Engine()->Sensor(), nullptr);  // two attached: none chosen
    // A model listed without a name is named after its id; its only camera
    // is opened.
    ASSERT_EQ(session.SetModelId(0x3150), 1);
    EXPECT_EQ(FirstName(session), "Vantix-3150_01");
    EXPECT_NE(session.Engine()->Sensor(), nullptr);
    EXPECT_EQ(session.SetDeviceNumber(0), 1);
    EXPECT_EQ(session.PopError(), 0);
}

TEST_F(ModelSelectionTest, TheModelsArraySizesInfoWindowsAndBuffers) {
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    ASSERT_EQ(session.SetModelId(0x3030), 1);
    VantixCameraInfo info{};
    info.size = sizeof info;
    ASSERT_EQ(session.GetCameraInfo(&info), 1);
    EXPECT_EQ(info.totalWidth, 2592);
    EXPECT_EQ(info.totalHeight, 1944);
    EXPECT_EQ(session.Image(8)->Width(), 2592);
    EXPECT_EQ(session.Image(17)->Height(), 1944);
    EXPECT_EQ(session.Geometry().width, 2592);  // the sensor's default window
    // Windows of the library's larger sensor no longer fit.
    EXPECT_EQ(session.SetCaptureWindowEx(3856, 0, 3840, 2764, 0, 2752), 0);
    EXPECT_EQ(session.SetCaptureWindowEx(2592, 0, 2592, 1944, 0, 1944), 1);
    // Back to the library's model: its layout again.
    ASSERT_EQ(session.SetModelId(0x3040), 1);
    ASSERT_EQ(session.GetCameraInfo(&info), 1);
    EXPECT_EQ(info.totalWidth, 3856);
    EXPECT_EQ(session.Image(8)->Width(), 3856);
}

TEST_F(ModelSelectionTest, EachModelKeepsItsSettingsUnderItsOwnKey) {
    Plug(0x3040);
    Plug(0x3030);
    {
        CVantix session;
        ASSERT_TRUE(session.Initialize(nullptr));
        ASSERT_EQ(session.SetFilterValue(13, 100), 1);  // global gain of the 0x3040 camera
        ASSERT_EQ(session.SetModelId(0x3030), 1);        // saves the 0x3040 camera's settings
        ASSERT_NE(session.Engine()->Sensor(), nullptr);
        ASSERT_EQ(session.SetFilterValue(13, 40), 1);
    }
    const std::string text = SettingsText();
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Morvek\\VantixQ720LXK9Sdk\\Camera_00\\Gain]\n\"Global\"=dword:00000064"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Morvek\\VantixQ720LXK9Sdk\\Model_3030\\Camera_00\\Gain]\n\"Global\"=dword:00000028"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Model_3030\\Camera_00\\Size_00]\n\"TH\"=dword:00000a20"), std::string::npos) << text;

    // Each camera comes back with its own.
    {
        CVantix again;
        ASSERT_TRUE(again.Initialize(nullptr));
        EXPECT_EQ(again.Camera().globalGain, 100);
    }
    CVantix other;
    ASSERT_TRUE(other.Initialize(nullptr));
    ASSERT_EQ(other.SetModelId(0x3030), 1);
    EXPECT_EQ(other.Camera().globalGain, 40);
}

TEST_F(ModelSelectionTest, TheLibrarysModelAloneWritesNoModelKey) {
    Plug(0x3040);
    {
        CVantix session;
        ASSERT_TRUE(session.Initialize(nullptr));
        ASSERT_EQ(session.SetModelId(0x3040), 1);
    }
    EXPECT_EQ(SettingsText().find("Model_"), std::string::npos);
}

TEST_F(ModelSelectionTest, StoredGainsBeyondTheModelsRangeAreClamped) {
    Plug(0x3030);
    {
        CVantix session;
        ASSERT_TRUE(session.Initialize(nullptr));
        ASSERT_EQ(session.SetModelId(0x3030), 1);
    }
    // A value only another model's sensor takes, as a hand-edited file has it.
    std::string text = SettingsText();
    const std::string key = "Model_3030\\Camera_00\\Gain]\n\"Global\"=dword:";
    const size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at + key.size(), 8, "0000007f");
    WriteSettingsText(text);
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    ASSERT_EQ(session.SetModelId(0x3030), 1);
    EXPECT_EQ(session.Camera().globalGain, 63);
}

TEST_F(ModelSelectionTest, AMaskFileOfAnotherArrayIsRefused) {
    const std::string library = TempFile("3040.mask");
    const std::string small = TempFile("3030.mask");
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    ASSERT_EQ(session.SaveMaskFile(library.c_str()), 1);
    ASSERT_EQ(session.SetModelId(0x3030), 1);
    ASSERT_EQ(session.SaveMaskFile(small.c_str()), 1);
    std::ifstream written(small, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<long long>(written.tellg()), 40LL + 2592LL * 1944 * 6);
    EXPECT_EQ(session.LoadMaskFile(library.c_str()), 0);
    EXPECT_EQ(session.PopError(), kErrorMaskFile);
    EXPECT_EQ(session.Image(8)->Width(), 2592);  // the references stayed
    EXPECT_EQ(session.LoadMaskFile(small.c_str()), 1);
    ASSERT_EQ(session.SetModelId(0x3040), 1);
    EXPECT_EQ(session.LoadMaskFile(small.c_str()), 0);
    EXPECT_EQ(session.LoadMaskFile(library.c_str()), 1);
}

long ResidentBytes() {
    long pages = 0;
    long resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

TEST_F(ModelSelectionTest, AnIdleSessionOfALargeModelKeepsItsFullSensorBuffersOutOfMemory) {
    Plug(0x3020);
    const long before = ResidentBytes();
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    ASSERT_EQ(session.SetModelId(0x3020), 1);
    ASSERT_NE(session.Engine()->Sensor(), nullptr);
    const long idle = ResidentBytes() - before;
    std::printf("resident memory of an idle 4608 x 3288 session with its camera open: %.1f MiB\n", idle / 1048576.0);
    // Its ten full-sensor images hold 227 MB.
    EXPECT_EQ(session.Image(10)->ImageBytes(), 4608u * 3288u * 2u);
    EXPECT_LT(idle, 24L * 1024 * 1024);

    // The family's largest array, 6576 x 4384: its ten full-sensor images
    // (432 MB) made as a session makes them stay out of memory as well.
    const long beforeLargest = ResidentBytes();
    std::vector<vantix::CDibImage> largest(10);
    for (size_t i = 0; i < largest.size(); ++i) ASSERT_TRUE(largest[i].Create(6576, 4384, i < 5 ? 8 : 16));
    const long largestIdle = ResidentBytes() - beforeLargest;
    std::printf("resident memory of the ten 6576 x 4384 full-sensor images: %.1f MiB\n", largestIdle / 1048576.0);
    EXPECT_LT(largestIdle, 24L * 1024 * 1024);
}

}  // namespace
