// The session's mask operations on slots 8..11 (references) and 12..15
// (defect maps): save, load, capture from the raw frame, and their codes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "imaging/defect_mask.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

namespace {

namespace fs = std::filesystem;
using vantix::CDibImage;
using vantix::kMaskHeight;
using vantix::kMaskWidth;

uint32_t At(const CDibImage& image, int32_t x, int32_t y) {
    return image.BitsPerPixel() == 8 ? image.Row(y)[x] : reinterpret_cast<const uint16_t*>(image.Row(y))[x];
}

// Samples equal to `value` inside the two-sample border, and on it.
std::pair<size_t, size_t> CountEqual(const CDibImage& image, uint32_t value) {
    size_t inside = 0, border = 0;
    for (int32_t y = 0; y < image.Height(); ++y) {
        const uint8_t* row8 = image.Row(y);
        const auto* row16 = reinterpret_cast<const uint16_t*>(row8);
        const bool innerRow = y >= 2 && y < image.Height() - 2;
        for (int32_t x = 0; x < image.Width(); ++x) {
            if ((image.BitsPerPixel() == 8 ? row8[x] : row16[x]) != value) continue;
            ++(innerRow && x >= 2 && x < image.Width() - 2 ? inside : border);
        }
    }
    return {inside, border};
}

constexpr size_t kInside = size_t{kMaskWidth - 4} * (kMaskHeight - 4);

class SessionMaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        vantix::emulator::Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        char pattern[] = "/tmp/vantix-session-mask-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(session_.Initialize(nullptr));
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string PathOf(const char* name) const { return (dir_ / name).string(); }
    // A raw frame in slot 0 (8 bits) or 1 (16 bits), every sample `value`.
    void PutRawFrame(int slot, int32_t width, int32_t height, uint32_t value) {
        CDibImage& raw = *session_.Image(slot);
        ASSERT_EQ(raw.Create(width, height, slot == 0 ? 8 : 16), 1);
        for (int32_t y = 0; y < height; ++y) {
            if (slot == 0) std::fill_n(raw.Row(y), width, static_cast<uint8_t>(value));
            if (slot == 1) std::fill_n(reinterpret_cast<uint16_t*>(raw.Row(y)), width, static_cast<uint16_t>(value));
        }
    }

    fs::path dir_;
    CVantix session_;
};

TEST_F(SessionMaskTest, SaveLoadRoundTripAndRejectedFiles) {
    const std::string path = PathOf("neutral.mask");
    ASSERT_EQ(session_.SaveMaskFile(path.c_str()), 1);
    ASSERT_EQ(fs::file_size(path), 63947944u);
    std::vector<char> data(vantix::kMaskFileBytes);
    std::ifstream(path, std::ios::binary).read(data.data(), static_cast<std::streamsize>(data.size()));
    const size_t planeStart[5] = {40, 10658024, 21316008, 42631976, 63947944};
    const char fill[4] = {0, '\xFF', 0, '\xFF'};  // 0, 255, 0, 65535
    for (size_t plane = 0; plane < 4; ++plane) {
        EXPECT_EQ(std::count(data.begin() + static_cast<long>(planeStart[plane]),
                             data.begin() + static_cast<long>(planeStart[plane + 1]), fill[plane]),
                  static_cast<long>(planeStart[plane + 1] - planeStart[plane]))
            << "plane " << plane + 1;
    }

    // A dark frame of 200 marks every sample inside the border hot.
    PutRawFrame(0, kMaskWidth, kMaskHeight, 200);
    ASSERT_EQ(session_.UpdateMaskData(0), 1);
    EXPECT_EQ(CountEqual(*session_.Image(8), 200), std::make_pair(kInside, size_t{kMaskWidth} * kMaskHeight - kInside));
    EXPECT_EQ(CountEqual(*session_.Image(12), 1), std::make_pair(kInside, size_t{0}));

    // A header saying width 3855, and an accepted file shorter than announced:
    // code 14, references and maps as they were.
    std::ofstream(PathOf("short.mask"), std::ios::binary).write(data.data(), 40 + 100);
    data[16] = 0x0F;
    std::ofstream(PathOf("narrow.mask"), std::ios::binary).write(data.data(), 40);
    fs::resize_file(PathOf("narrow.mask"), vantix::kMaskFileBytes);
    for (const char* name : {"narrow.mask", "short.mask", "missing.mask"}) {
        EXPECT_EQ(session_.LoadMaskFile(PathOf(name).c_str()), 0) << name;
        EXPECT_EQ(session_.PopError(), 14) << name;
        EXPECT_EQ(At(*session_.Image(8), kMaskWidth - 1, kMaskHeight - 1), 200u) << name;
        EXPECT_EQ(At(*session_.Image(12), 2, 2), 1u) << name;
    }

    // Loading replaces all references and rebuilds the maps.
    ASSERT_EQ(session_.LoadMaskFile(path.c_str()), 1);
    EXPECT_EQ(CountEqual(*session_.Image(8), 0).first, kInside);
    EXPECT_EQ(CountEqual(*session_.Image(12), 0).first, kInside);
    EXPECT_EQ(At(*session_.Image(11), kMaskWidth - 1, kMaskHeight - 1), 65535u);
    EXPECT_EQ(session_.SaveMaskFile(PathOf("no/such/dir.mask").c_str()), 0);
    EXPECT_EQ(session_.PopError(), 14);
    // A FIFO (or a device) under the name is not replaced.
    ASSERT_EQ(::mkfifo(PathOf("camera.fifo").c_str(), 0600), 0);
    EXPECT_EQ(session_.SaveMaskFile(PathOf("camera.fifo").c_str()), 0);
    EXPECT_EQ(session_.PopError(), 14);
    EXPECT_EQ(fs::status(PathOf("camera.fifo")).type(), fs::file_type::fifo);
    EXPECT_EQ(session_.PopError(), 0);
}

TEST_F(SessionMaskTest, UpdateTakesOnlyFullSensorFramesButAlwaysRebuildsTheMap) {
    // A smaller frame is refused; the hot map still follows the dark reference.
    PutRawFrame(0, 640, 480, 0);
    session_.EnsureMaskReferencesFilled();
    session_.Image(8)->Row(100)[200] = 250;
    EXPECT_EQ(session_.UpdateMaskData(0), 0);
    EXPECT_EQ(session_.PopError(), 12);
    EXPECT_EQ(At(*session_.Image(8), 0, 0), 0u);
    EXPECT_EQ(CountEqual(*session_.Image(12), 1).first, 1u);
    EXPECT_EQ(At(*session_.Image(12), 200, 100), 1u);

    // Only 0 and 1 name a reference; any other value rebuilds the dead map.
    PutRawFrame(0, kMaskWidth, kMaskHeight, 20);
    session_.Image(9)->Row(5)[6] = 3;
    EXPECT_EQ(session_.UpdateMaskData(2), 0);
    EXPECT_EQ(session_.PopError(), 12);
    EXPECT_EQ(At(*session_.Image(9), 0, 0), 255u);
    EXPECT_EQ(At(*session_.Image(13), 6, 5), 1u);

    // 16-bit colour modes capture from the 16-bit raw buffer into the 16-bit
    // references only.
    ASSERT_EQ(session_.SetColorMode(48), 1);
    PutRawFrame(1, kMaskWidth, kMaskHeight, 1000);
    ASSERT_EQ(session_.UpdateMaskData(1), 1);
    EXPECT_EQ(At(*session_.Image(11), kMaskWidth - 1, 0), 1000u);
    EXPECT_EQ(CountEqual(*session_.Image(15), 1).first, kInside);
    EXPECT_EQ(At(*session_.Image(9), 0, 0), 255u);
    EXPECT_EQ(session_.PopError(), 0);
}

TEST(SessionMaskWithoutEngine, EveryOperationReportsCode1) {
    CVantix session;
    EXPECT_EQ(session.LoadMaskFile("/tmp/none.mask"), 0);
    EXPECT_EQ(session.SaveMaskFile("/tmp/none.mask"), 0);
    EXPECT_EQ(session.UpdateMaskData(0), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(session.PopError(), 1);
}

}  // namespace
