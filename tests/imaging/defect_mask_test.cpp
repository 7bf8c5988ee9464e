// Mask files refused without side effects, saves that fail without harm, the
// defect-map thresholds and the flat-field arithmetic and geometry.
#include "imaging/defect_mask.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace vantix {
namespace {

namespace fs = std::filesystem;

uint32_t At(const CDibImage& image, int32_t x, int32_t y) {
    return image.BitsPerPixel() == 8 ? image.Row(y)[x] : reinterpret_cast<const uint16_t*>(image.Row(y))[x];
}

void Set(CDibImage& image, int32_t x, int32_t y, uint32_t value) {
    if (image.BitsPerPixel() == 8) {
        image.Row(y)[x] = static_cast<uint8_t>(value);
    } else {
        reinterpret_cast<uint16_t*>(image.Row(y))[x] = static_cast<uint16_t>(value);
    }
}

CDibImage Filled(int32_t width, int32_t height, int32_t bits, uint32_t value) {
    CDibImage image;
    EXPECT_EQ(image.Create(width, height, bits), 1);
    if (value == 0) return image;  // created zeroed
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) Set(image, x, y, value);
    }
    return image;
}

class MaskFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantix-mask-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    // Writes `bytes`, zero-extended (sparse) to `size` when that is larger.
    std::string WriteFile(const char* name, const std::vector<uint8_t>& bytes, size_t size = 0) const {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (size > bytes.size()) fs::resize_file(path, size);
        return path;
    }
    fs::path dir_;
};

TEST_F(MaskFileTest, RejectedFilesLeaveTheReferencesAsTheyWere) {
    std::vector<uint8_t> valid(kMaskFileHeaderBytes);
    std::memcpy(valid.data(), kMaskFileMagic, 16);
    const uint32_t numbers[6] = {3856, 2764, 10657984, 10657984, 21315968, 21315968};
    std::memcpy(valid.data() + 16, numbers, sizeof numbers);
    struct Case {
        const char* what;
        size_t offset;  // header byte changed to `value`; 0 for none
        uint8_t value;
        size_t size;  // file size; 0 for the header alone
    };
    for (const Case& c : {Case{"magic", 14, '1', kMaskFileBytes}, Case{"unterminated", 15, 'X', kMaskFileBytes},
                          Case{"width 3855", 16, 0x0F, kMaskFileBytes}, Case{"height", 20, 0xCD, kMaskFileBytes},
                          Case{"plane 4 size", 36, 0x81, kMaskFileBytes}, Case{"header alone", 0, 0, 0},
                          Case{"short header", 0, 0, 39}, Case{"inside plane 1", 0, 0, 1040},
                          Case{"one byte short", 0, 0, kMaskFileBytes - 1}}) {
        std::vector<uint8_t> bytes = valid;
        if (c.offset != 0) bytes[c.offset] = c.value;
        bytes.resize(std::min(bytes.size(), c.size == 0 ? bytes.size() : c.size));
        const std::string path = WriteFile("bad.mask", bytes, c.size);
        MaskReferences references;
        references.dark8 = Filled(4, 4, 8, 77);
        EXPECT_FALSE(ReadMaskFile(path.c_str(), &references)) << c.what;
        EXPECT_EQ(references.dark8.Width(), 4) << c.what;
        EXPECT_EQ(At(references.dark8, 3, 3), 77u) << c.what;
        EXPECT_TRUE(references.bright16.IsEmpty()) << c.what;
    }
    MaskReferences references;
    EXPECT_FALSE(ReadMaskFile(dir_.c_str(), &references));
    // The exact size is enough; these planes are all zero.
    ASSERT_TRUE(ReadMaskFile(WriteFile("exact.mask", valid, kMaskFileBytes).c_str(), &references));
    EXPECT_EQ(At(references.bright16, kMaskWidth - 1, kMaskHeight - 1), 0u);
}

TEST_F(MaskFileTest, FailedSaveKeepsTheExistingFileAndLeavesNoTemporary) {
    const std::string path = WriteFile("mask.bin", {'o', 'l', 'd'});
    CDibImage dark8 = Filled(kMaskWidth, kMaskHeight, 8, 0);
    CDibImage dark16 = Filled(kMaskWidth, kMaskHeight, 16, 0);
    // The file system refuses to grow a file beyond 32 MB, midway through.
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const rlimit limited{32u << 20, previous.rlim_max};
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved = WriteMaskFile(path.c_str(), dark8, dark8, dark16, dark16);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    // References that could not be read back are not written at all.
    EXPECT_FALSE(WriteMaskFile(path.c_str(), dark8, dark8, dark16, Filled(100, 100, 16, 0)));
    EXPECT_FALSE(WriteMaskFile(path.c_str(), dark8, dark8, dark8, dark16));

    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// A device, FIFO or socket under the name is refused and left as it is,
// never replaced by a regular file.
TEST_F(MaskFileTest, NamesThatAreNotRegularFilesAreLeftAlone) {
    CDibImage dark8 = Filled(kMaskWidth, kMaskHeight, 8, 0);
    CDibImage dark16 = Filled(kMaskWidth, kMaskHeight, 16, 0);
    const std::string fifo = (dir_ / "camera.fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = (dir_ / "camera.sock").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string link = (dir_ / "link.mask").string();
    ASSERT_EQ(::symlink(fifo.c_str(), link.c_str()), 0);

    for (const std::string& name : {fifo, socketPath, link}) {
        EXPECT_FALSE(WriteMaskFile(name.c_str(), dark8, dark8, dark16, dark16)) << name;
    }
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
    EXPECT_EQ(fs::status(socketPath).type(), fs::file_type::socket);
    EXPECT_EQ(fs::symlink_status(link).type(), fs::file_type::symlink);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
    ::close(listener);
}

TEST(DefectMap, ThresholdsByDepthAndReference) {
    struct Case {
        int32_t bits;
        DefectSource source;
        uint32_t sound, defective;  // the last value that is not a defect, the first that is
    };
    for (const Case& c : {Case{8, DefectSource::kDark, 192, 193}, Case{8, DefectSource::kBright, 64, 63},
                          Case{16, DefectSource::kDark, 12288, 12289}, Case{16, DefectSource::kBright, 4096, 4095}}) {
        CDibImage reference = Filled(8, 7, c.bits, c.sound);
        for (auto [x, y] : {std::pair{2, 2}, {5, 4}, {1, 3}, {6, 3}}) Set(reference, x, y, c.defective);
        CDibImage map = Filled(8, 7, c.bits, 0);
        Set(map, 3, 3, 1);  // stale mark, cleared by the rebuild
        ASSERT_TRUE(BuildDefectMap(reference, &map, c.source));
        for (int32_t y = 0; y < 7; ++y) {
            for (int32_t x = 0; x < 8; ++x) {
                const bool marked = (x == 2 && y == 2) || (x == 5 && y == 4);  // not the border ones
                EXPECT_EQ(At(map, x, y), marked ? 1u : 0u) << c.bits << " bits at " << x << "," << y;
            }
        }
    }
    CDibImage map16 = Filled(8, 7, 16, 0);
    EXPECT_FALSE(BuildDefectMap(Filled(8, 7, 8, 255), &map16, DefectSource::kDark));
}

// A row of samples corrected against uniform references, with a window
// smaller than the sensor (no margin).
std::vector<uint32_t> Corrected(int32_t bits, uint32_t dark, uint32_t bright, const std::vector<uint32_t>& samples) {
    const auto width = static_cast<int32_t>(samples.size());
    CDibImage raw = Filled(width, 1, bits, 0);
    for (int32_t x = 0; x < width; ++x) Set(raw, x, 0, samples[static_cast<size_t>(x)]);
    EXPECT_TRUE(FlatFieldCorrection(&raw, Filled(width, 1, bits, dark), Filled(width, 1, bits, bright),
                                    FlatFieldWindow{0, 0, width, 1, 1}));
    std::vector<uint32_t> result;
    for (int32_t x = 0; x < width; ++x) result.push_back(At(raw, x, 0));
    return result;
}

TEST(FlatField, ArithmeticAtBothDepths) {
    using V = std::vector<uint32_t>;
    EXPECT_EQ(Corrected(8, 10, 110, {60, 5, 110, 250}), (V{128, 0, 255, 255}));
    EXPECT_EQ(Corrected(8, 0, 3, {1, 2}), (V{85, 170}));              // truncated
    EXPECT_EQ(Corrected(8, 50, 50, {60}), (V{60}));                   // bright = dark: left alone
    EXPECT_EQ(Corrected(8, 110, 10, {60, 5, 200}), (V{128, 255, 0}));  // negative divisor
    // (v - D) * 65536 needs more than 32 bits here.
    EXPECT_EQ(Corrected(16, 1000, 61000, {41000, 61000, 999}), (V{43690, 65535, 0}));
    EXPECT_EQ(Corrected(16, 600, 500, {600}), (V{600}));  // 16 bits: only bright > dark corrects
    V all8, all16;
    for (uint32_t v = 0; v < 65536; ++v) {
        if (v < 256) all8.push_back(v);
        all16.push_back(v);
    }
    EXPECT_EQ(Corrected(8, 0, 255, all8), all8);  // the initial references change nothing
    EXPECT_EQ(Corrected(16, 0, 65535, all16), all16);
}

TEST(FlatField, WindowOriginMarginSubSamplingAndBounds) {
    // A full-width window keeps a two-sample margin on every side.
    CDibImage wide = Filled(kMaskWidth, 8, 8, 60);
    ASSERT_TRUE(FlatFieldCorrection(&wide, Filled(kMaskWidth, 8, 8, 10), Filled(kMaskWidth, 8, 8, 110),
                                    FlatFieldWindow{0, 0, kMaskWidth, 8, 1}));
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x : {1, 2, kMaskWidth - 3, kMaskWidth - 2}) {
            EXPECT_EQ(At(wide, x, y), y >= 2 && y < 6 && x >= 2 && x < kMaskWidth - 2 ? 128u : 60u) << x << "," << y;
        }
    }
    // References 10/110 only where a 16 x 8 window at (5, 3), halved, reads
    // them; a raw image wider than the window's 8 x 4 is corrected only there.
    CDibImage dark = Filled(20, 10, 8, 0), bright = Filled(20, 10, 8, 255);
    for (int32_t y = 3; y < 7; ++y) {
        for (int32_t x = 5; x < 13; ++x) {
            Set(dark, x, y, 10);
            Set(bright, x, y, 110);
        }
    }
    CDibImage raw = Filled(10, 6, 8, 60);
    ASSERT_TRUE(FlatFieldCorrection(&raw, dark, bright, FlatFieldWindow{5, 3, 16, 8, 2}));
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(At(raw, x, y), x < 8 && y < 4 ? 128u : 60u) << x << "," << y;
    }
    // Windows reaching past the references correct only the 4 x 3 overlap.
    for (const FlatFieldWindow& window : {FlatFieldWindow{16, 7, 10, 6, 1}, FlatFieldWindow{-6, -3, 10, 6, 1}}) {
        CDibImage image = Filled(10, 6, 8, 60);
        ASSERT_TRUE(FlatFieldCorrection(&image, Filled(20, 10, 8, 10), Filled(20, 10, 8, 110), window));
        int corrected = 0;
        for (int32_t y = 0; y < 6; ++y) {
            for (int32_t x = 0; x < 10; ++x) corrected += At(image, x, y) == 128u;
        }
        EXPECT_EQ(corrected, 12) << window.originX;
    }
    EXPECT_FALSE(FlatFieldCorrection(&raw, Filled(10, 6, 16, 0), Filled(10, 6, 16, 1), FlatFieldWindow{}));
    EXPECT_FALSE(FlatFieldCorrection(&raw, dark, bright, FlatFieldWindow{0, 0, 10, 6, 0}));
}

}  // namespace
}  // namespace vantix
