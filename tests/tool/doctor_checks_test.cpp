// The checks of `vantix doctor` against a system tree of the test's own: a
// sysfs with cameras, device nodes with given modes and udev rule folders.
#include "doctor_checks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace cli::doctor {
namespace {

namespace fs = std::filesystem;

class DoctorTree : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("vantix-doctor-" + std::to_string(getpid()));
        fs::remove_all(root_);
        view_.sysfsRoot = (root_ / "sys").string();
        view_.devRoot = (root_ / "dev").string();
        view_.rulesDirs = {(root_ / "etc").string(), (root_ / "lib").string()};
        for (const std::string& dir : view_.rulesDirs) fs::create_directories(dir);
        view_.uid = 1000;
        view_.groups = {1000};
    }
    void TearDown() override { fs::remove_all(root_); }

    void Write(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    void AddDevice(const std::string& name, const std::string& vendor, const std::string& product,
                   const std::string& speed, int bus, int device) {
        const fs::path base = root_ / "sys/bus/usb/devices" / name;
        Write(base / "idVendor", vendor + "\n");
        Write(base / "idProduct", product + "\n");
        Write(base / "speed", speed + "\n");
        Write(base / "busnum", std::to_string(bus) + "\n");
        Write(base / "devnum", std::to_string(device) + "\n");
    }

    fs::path root_;
    SystemView view_;
};

TEST_F(DoctorTree, FindsOnlyCamerasAndJudgesTheirLinkSpeed) {
    AddDevice("2-1", "04b4", "3040", "5000", 2, 5);
    AddDevice("1-4.2", "04b4", "3100", "480", 1, 9);
    AddDevice("1-3", "046d", "3040", "480", 1, 3);   // another vendor
    AddDevice("1-5", "04b4", "00f3", "5000", 1, 4);  // the controller's boot loader, not a camera
    Write(root_ / "sys/bus/usb/devices/2-1:1.0/idVendor", "04b4\n");  // an interface
    const std::vector<UsbCamera> cameras = FindCameras(view_);
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0].location, "1-4.2");
    EXPECT_EQ(cameras[0].productId, 0x3100);
    EXPECT_EQ(cameras[0].bus, 1u);
    EXPECT_EQ(cameras[0].device, 9u);
    EXPECT_EQ(CheckSpeed(cameras[0]).level, Level::Warning);
    EXPECT_EQ(cameras[1].location, "2-1");
    EXPECT_EQ(CheckSpeed(cameras[1]).level, Level::Ok);
    UsbCamera slow;
    slow.speedMbps = 12;
    EXPECT_EQ(CheckSpeed(slow).level, Level::Problem);
    view_.vendorIds = {0x046D};
    EXPECT_EQ(FindCameras(view_).size(), 1u);
}

TEST_F(DoctorTree, RuleLinesMatchByIdsAndMustGrantSomething) {
    const char* shipped =
        "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"04b4\", "
        "ATTR{idProduct}==\"3[0-3][0-9a-f][0-9a-f]\", MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"";
    EXPECT_TRUE(RuleLineMatches(shipped, 0x04B4, 0x3040));
    EXPECT_TRUE(RuleLineMatches(shipped, 0x04B4, 0x33FF));
    EXPECT_FALSE(RuleLineMatches(shipped, 0x04B4, 0x3400));
    EXPECT_FALSE(RuleLineMatches(shipped, 0x1234, 0x3040));
    EXPECT_TRUE(RuleLineMatches("ATTRS{idVendor}==\"04B4\", TAG+=\"uaccess\"", 0x04B4, 0x3040));  // any product
    EXPECT_FALSE(RuleLineMatches("ATTR{idVendor}==\"04b4\", SYMLINK+=\"camera\"", 0x04B4, 0x3040));  // grants nothing
    EXPECT_FALSE(RuleLineMatches("SUBSYSTEM==\"tty\", ATTR{idVendor}==\"04b4\", MODE=\"0666\"", 0x04B4, 0x3040));
    EXPECT_FALSE(RuleLineMatches("# ATTR{idVendor}==\"04b4\", MODE=\"0666\"", 0x04B4, 0x3040));
}

TEST_F(DoctorTree, RuleFilesAreReadInUdevOrderWithEarlierFoldersShadowing) {
    EXPECT_EQ(CheckUdevRule(view_, 0x04B4, 0x3040).level, Level::Problem);
    Write(root_ / "lib/60-vantix-camera.rules", "ATTR{idVendor}==\"04b4\", MODE=\"0666\"\n");
    const Finding found = CheckUdevRule(view_, 0x04B4, 0x3040);
    EXPECT_EQ(found.level, Level::Ok);
    EXPECT_NE(found.what.find("lib/60-vantix-camera.rules:1"), std::string::npos) << found.what;
    // A file of the same name in /etc replaces the packaged one.
    Write(root_ / "etc/60-vantix-camera.rules", "# disabled\n");
    EXPECT_EQ(CheckUdevRule(view_, 0x04B4, 0x3040).level, Level::Problem);
}

TEST_F(DoctorTree, DeviceNodeAccessFollowsOwnerGroupAndOtherBits) {
    EXPECT_TRUE(ModeGrantsReadWrite(0600, 1000, 0, 1000, {}));
    EXPECT_FALSE(ModeGrantsReadWrite(0664, 0, 46, 1000, {1000}));  // not in the group, others read-only
    EXPECT_TRUE(ModeGrantsReadWrite(0660, 0, 46, 1000, {1000, 46}));
    EXPECT_FALSE(ModeGrantsReadWrite(0606, 0, 46, 1000, {46}));  // the group's bits decide for a member
    EXPECT_TRUE(ModeGrantsReadWrite(0000, 0, 0, 0, {}));

    UsbCamera camera;
    camera.bus = 2;
    camera.device = 5;
    EXPECT_EQ(CheckDeviceNode(view_, camera).level, Level::Problem);  // no node
    const fs::path node = root_ / "dev/bus/usb/002/005";
    Write(node, "");
    ASSERT_EQ(chmod(node.c_str(), 0660), 0);
    ASSERT_EQ(chown(node.c_str(), 0, 4242), 0);
    EXPECT_EQ(CheckDeviceNode(view_, camera).level, Level::Problem);
    view_.groups.push_back(4242);
    EXPECT_EQ(CheckDeviceNode(view_, camera).level, Level::Ok);
}

TEST(DoctorChecks, LibusbMustBeRecentEnoughForTheDriver) {
    EXPECT_EQ(CheckLibusbVersion(1, 0, 26).level, Level::Ok);
    EXPECT_EQ(CheckLibusbVersion(1, 0, 21).level, Level::Ok);
    EXPECT_EQ(CheckLibusbVersion(1, 0, 20).level, Level::Problem);
}

}  // namespace
}  // namespace cli::doctor
