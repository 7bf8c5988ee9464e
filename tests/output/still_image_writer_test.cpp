// Still-image files, each read back by an independent decoder (libjpeg, libpng
// and libtiff reading what the writers produced; BMP and raw dumps byte by
// byte, and BMP through ImageMagick when it is installed) and compared with
// the source image. Memory row 0 of a source image is the top of the picture.
#include "output/still_image_writer.h"
#include "support/file_size_limit.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>


namespace vantix {
namespace {

const int kDepths[] = {8, 16, 24, 32, 48, 64};

std::string TestPath(const std::string& name) {
    return "/tmp/vantix-still-" + std::to_string(getpid()) + "-" + name;
}

// Removes the file when the test ends.
struct TempFile {
    explicit TempFile(const std::string& name) : path(TestPath(name)) { unlink(path.c_str()); }
    ~TempFile() { unlink(path.c_str()); }
    const char* c_str() const { return path.c_str(); }
    std::string path;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Exists(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

uint16_t Get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Channel c (0 = B, 1 = G, 2 = R, 3 = fourth) of pixel x in memory row y.
uint32_t SampleAt(const CDibImage& image, int32_t x, int32_t y, int c) {
    const int bytes = image.BitsPerPixel() >= 48 || image.BitsPerPixel() == 16 ? 2 : 1;
    const uint8_t* p = image.Row(y) + static_cast<size_t>(x) * image.BytesPerPixel() + c * bytes;
    return bytes == 2 ? Get16(p) : *p;
}

// Distinct samples in every channel and row; the fourth channel stays 0 as in
// the pipeline. smooth: a gentle gradient, for lossy compression.
CDibImage Pattern(int32_t width, int32_t height, int bits, bool smooth = false) {
    CDibImage image;
    EXPECT_EQ(image.Create(width, height, bits), 1);
    const int channels = bits == 8 || bits == 16 ? 1 : 3;
    const bool wide = bits == 16 || bits >= 48;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                uint32_t v = smooth ? static_cast<uint32_t>(10 + 2 * x + 3 * y + 20 * c)
                                    : static_cast<uint32_t>(x * 37 + y * 101 + c * 53);
                uint8_t* p = image.Row(y) + static_cast<size_t>(x) * image.BytesPerPixel();
                if (wide) {
                    const auto w = static_cast<uint16_t>(smooth ? v * 256 + 77 : v * 263 + 0x1234);
                    std::memcpy(p + 2 * c, &w, 2);
                } else {
                    p[c] = static_cast<uint8_t>(v);
                }
            }
        }
    }
    return image;
}

// ---- BMP and raw -----------------------------------------------------------

TEST(StillBmp, Gray640x480HasPaletteAndBottomRowFirst) {
    CDibImage image = Pattern(640, 480, 8);
    TempFile file("gray.bmp");
    ASSERT_EQ(SaveImageFile(file.c_str(), &image, kStillBmp), 1);
    const std::vector<uint8_t> data = ReadAll(file.path);
    ASSERT_EQ(data.size(), 1078u + 307200u);
    EXPECT_EQ(data[0], 'B');
    EXPECT_EQ(data[1], 'M');
    EXPECT_EQ(Get32(&data[2]), 1078u + 307200u);
    EXPECT_EQ(Get32(&data[6]), 0u);
    EXPECT_EQ(Get32(&data[10]), 1078u);
    EXPECT_EQ(Get32(&data[14]), 40u);
    EXPECT_EQ(Get32(&data[18]), 640u);
    EXPECT_EQ(Get32(&data[22]), 480u);  // positive: bottom-up
    EXPECT_EQ(Get16(&data[26]), 1u);
    EXPECT_EQ(Get16(&data[28]), 8u);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(Get32(&data[54 + 4 * i]), static_cast<uint32_t>(i * 0x010101)) << i;
    }
    // The file's first row is the bottom of the picture: memory row 479.
    EXPECT_EQ(0, std::memcmp(&data[1078], image.Row(479), 640));
    EXPECT_EQ(0, std::memcmp(&data[1078 + 479 * 640], image.Row(0), 640));
}

TEST(StillBmp, RowsArePaddedAndEveryDepthIsWrittenAsHeld) {
    struct Case {
        int bits;
        uint32_t stride;
    };
    for (const Case c : {Case{24, 16}, Case{16, 12}, Case{32, 20}, Case{48, 32}, Case{64, 40}}) {
        CDibImage image = Pattern(5, 3, c.bits);
        TempFile file("pad.bmp");
        ASSERT_EQ(SaveImageFile(file.c_str(), &image, kStillBmp), 1) << c.bits;
        const std::vector<uint8_t> data = ReadAll(file.path);
        ASSERT_EQ(data.size(), 54u + c.stride * 3) << c.bits;
        EXPECT_EQ(Get32(&data[2]), 54u + c.stride * 3) << c.bits;
        EXPECT_EQ(Get32(&data[10]), 54u) << c.bits;
        EXPECT_EQ(Get16(&data[28]), c.bits);
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(0, std::memcmp(&data[54 + r * c.stride], image.Row(2 - r), c.stride)) << c.bits << " " << r;
        }
    }
}

TEST(StillRaw, DumpIsThePixelBlockWithPadding) {
    CDibImage wide = Pattern(1000, 10, 16);
    TempFile file("dump.raw");
    ASSERT_EQ(SaveImageFile(file.c_str(), &wide, kStillRaw), 1);
    std::vector<uint8_t> data = ReadAll(file.path);
    ASSERT_EQ(data.size(), 20000u);
    EXPECT_EQ(0, std::memcmp(data.data(), wide.Bits(), 20000));

    CDibImage padded = Pattern(5, 3, 8);
    ASSERT_EQ(SaveImageFile(file.c_str(), &padded, kStillRaw), 1);
    data = ReadAll(file.path);
    ASSERT_EQ(data.size(), 24u);
    EXPECT_EQ(0, std::memcmp(data.data(), padded.Bits(), 24));
}

// ---- independent decoders --------------------------------------------------

struct Decoded {
    uint32_t width = 0;
    uint32_t height = 0;
    int samples = 0;     // per pixel
    int bitDepth = 0;    // per sample
    int colorType = -1;  // PNG
    std::vector<uint32_t> values;  // row-major, top row first

    uint32_t At(uint32_t x, uint32_t y, int s) const { return values[(size_t{y} * width + x) * samples + s]; }
};

struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

bool DecodeJpeg(const std::string& path, Decoded& out, bool& progressive, uint16_t firstQuant[3]) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    jpeg_decompress_struct cinfo{};
    JpegError error{};
    cinfo.err = jpeg_std_error(&error.base);
    error.base.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); };
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(f);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    progressive = cinfo.progressive_mode != 0;
    for (int i = 0; i < 3; ++i) firstQuant[i] = cinfo.quant_tbl_ptrs[0]->quantval[i];
    jpeg_start_decompress(&cinfo);
    out.width = cinfo.output_width;
    out.height = cinfo.output_height;
    out.samples = cinfo.output_components;
    out.bitDepth = 8;
    out.values.assign(size_t{out.width} * out.height * out.samples, 0);
    std::vector<uint8_t> line(size_t{out.width} * out.samples);
    while (cinfo.output_scanline < cinfo.output_height) {
        const size_t y = cinfo.output_scanline;
        JSAMPROW row = line.data();
        jpeg_read_scanlines(&cinfo, &row, 1);
        for (size_t i = 0; i < line.size(); ++i) out.values[y * line.size() + i] = line[i];
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return true;
}

bool DecodePng(const std::string& path, Decoded& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.samples = png_get_channels(png, info);
    out.bitDepth = png_get_bit_depth(png, info);
    out.colorType = png_get_color_type(png, info);
    std::vector<uint8_t> row(png_get_rowbytes(png, info));
    out.values.clear();
    for (uint32_t y = 0; y < out.height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (size_t i = 0; i < size_t{out.width} * out.samples; ++i) {
            // Raw file bytes: 16-bit samples are big-endian.
            out.values.push_back(out.bitDepth == 16 ? (row[2 * i] << 8 | row[2 * i + 1]) : row[i]);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

// What a decoded sample s of pixel (x, y) must hold for a source image, at
// the file's sample depth: gray, or R, G, B, then the fourth sample.
uint32_t Expected(const CDibImage& image, int32_t x, int32_t y, int s, uint32_t fourth) {
    if (image.BitsPerPixel() <= 16) return SampleAt(image, x, y, 0);
    return s == 3 ? fourth : SampleAt(image, x, y, 2 - s);
}

// ---- JPEG ------------------------------------------------------------------

TEST(StillJpeg, EveryDepthDecodesUprightWithinTolerance) {
    for (const int bits : kDepths) {
        CDibImage image = Pattern(48, 32, bits, true);
        TempFile file("depth.jpg");
        ASSERT_EQ(SaveImageFile(file.c_str(), &image, kStillJpegHigh), 1) << bits;
        Decoded d;
        bool progressive = false;
        uint16_t quant[3];
        ASSERT_TRUE(DecodeJpeg(file.path, d, progressive, quant)) << bits;
        ASSERT_EQ(d.width, 48u);
        ASSERT_EQ(d.height, 32u);
        ASSERT_EQ(d.samples, bits <= 16 ? 1 : 3) << bits;
        int worst = 0;
        for (int32_t y = 0; y < 32; ++y) {
            for (int32_t x = 0; x < 48; ++x) {
                for (int s = 0; s < d.samples; ++s) {
                    uint32_t want = Expected(image, x, y, s, 0);
                    if (bits == 16 || bits >= 48) want >>= 8;  // high byte
                    worst = std::max(worst, std::abs(static_cast<int>(d.At(x, y, s)) - static_cast<int>(want)));
                }
            }
        }
        // The rows climb by 3 levels each: an upside-down picture is off by
        // up to 93.
        EXPECT_LE(worst, 6) << bits;
    }
}

TEST(StillJpeg, TypesSelectQualityAndAreProgressive) {
    // First entries of the standard luminance table (16, 11, 10) scaled for
    // qualities 100, 70 and 20.
    struct Case {
        int32_t type;
        uint16_t quant[3];
    };
    CDibImage image = Pattern(40, 24, 24, true);
    for (const Case c : {Case{kStillJpegHigh, {1, 1, 1}}, Case{kStillJpegMedium, {10, 7, 6}},
                         Case{kStillJpegLow, {40, 28, 25}}}) {
        TempFile file("quality.jpg");
        ASSERT_EQ(SaveImageFile(file.c_str(), &image, c.type), 1);
        Decoded d;
        bool progressive = false;
        uint16_t quant[3];
        ASSERT_TRUE(DecodeJpeg(file.path, d, progressive, quant));
        EXPECT_TRUE(progressive) << c.type;
        EXPECT_EQ(quant[0], c.quant[0]) << c.type;
        EXPECT_EQ(quant[1], c.quant[1]) << c.type;
        EXPECT_EQ(quant[2], c.quant[2]) << c.type;
    }
}

// ---- PNG -------------------------------------------------------------------

TEST(StillPng, EveryDepthRoundTripsExactly) {
    struct Case {
        int bits, colorType, bitDepth, samples;
        uint32_t alpha;
    };
    for (const Case c : {Case{8, PNG_COLOR_TYPE_GRAY, 8, 1, 0}, Case{16, PNG_COLOR_TYPE_GRAY, 16, 1, 0},
                         Case{24, PNG_COLOR_TYPE_RGB, 8, 3, 0}, Case{32, PNG_COLOR_TYPE_RGB_ALPHA, 8, 4, 255},
                         Case{48, PNG_COLOR_TYPE_RGB, 16, 3, 0}, Case{64, PNG_COLOR_TYPE_RGB_ALPHA, 16, 4, 65535}}) {
        CDibImage image = Pattern(13, 7, c.bits);  // odd width: padded rows
        if (c.bitDepth == 16) {
            // Read back from the file's bytes as high << 8 | low.
            const uint16_t v = 0x1234;
            std::memcpy(image.Row(0), &v, 2);
        }
        TempFile file("depth.png");
        ASSERT_EQ(SaveImageFile(file.c_str(), &image, kStillPng), 1) << c.bits;
        Decoded d;
        ASSERT_TRUE(DecodePng(file.path, d)) << c.bits;
        EXPECT_EQ(d.colorType, c.colorType) << c.bits;
        EXPECT_EQ(d.bitDepth, c.bitDepth) << c.bits;
        ASSERT_EQ(d.samples, c.samples) << c.bits;
        ASSERT_EQ(d.width, 13u);
        ASSERT_EQ(d.height, 7u);
        int mismatches = 0;
        for (int32_t y = 0; y < 7; ++y) {
            for (int32_t x = 0; x < 13; ++x) {
                for (int s = 0; s < c.samples; ++s) {
                    mismatches += d.At(x, y, s) != Expected(image, x, y, s, c.alpha);
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << c.bits;
    }
}

// ---- TIFF ------------------------------------------------------------------

TEST(StillTiff, EveryDepthRoundTripsInOneStrip) {
    struct Case {
        int bits;
        uint16_t bitsPerSample, photometric, samples;
        uint32_t fourth;
    };
    for (const Case c : {Case{8, 8, PHOTOMETRIC_MINISBLACK, 1, 0}, Case{16, 16, PHOTOMETRIC_MINISBLACK, 1, 0},
                         Case{24, 8, PHOTOMETRIC_RGB, 3, 0}, Case{32, 8, PHOTOMETRIC_RGB, 4, 255},
                         Case{48, 16, PHOTOMETRIC_RGB, 3, 0}, Case{64, 16, PHOTOMETRIC_RGB, 4, 65535}}) {
        CDibImage image = Pattern(11, 6, c.bits);
        TempFile file("depth.tif");
        ASSERT_EQ(SaveImageFile(file.c_str(), &image, kStillTiff), 1) << c.bits;
        TIFF* tiff = TIFFOpen(file.c_str(), "r");
        ASSERT_NE(tiff, nullptr) << c.bits;
        const auto tag16 = [&](uint32_t tag) {
            uint16_t v = 0;
            TIFFGetField(tiff, tag, &v);
            return v;
        };
        uint32_t width = 0, height = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        EXPECT_EQ(width, 11u);
        EXPECT_EQ(height, 6u);
        EXPECT_EQ(tag16(TIFFTAG_BITSPERSAMPLE), c.bitsPerSample) << c.bits;
        EXPECT_EQ(tag16(TIFFTAG_PHOTOMETRIC), c.photometric) << c.bits;
        EXPECT_EQ(tag16(TIFFTAG_SAMPLESPERPIXEL), c.samples) << c.bits;
        EXPECT_EQ(tag16(TIFFTAG_COMPRESSION), COMPRESSION_NONE);
        EXPECT_EQ(tag16(TIFFTAG_PLANARCONFIG), PLANARCONFIG_CONTIG);
        EXPECT_EQ(TIFFNumberOfStrips(tiff), 1u);
        if (c.samples == 4) {
            uint16_t count = 0;
            uint16_t* kinds = nullptr;
            ASSERT_EQ(TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds), 1);
            ASSERT_EQ(count, 1);
            EXPECT_EQ(kinds[0], EXTRASAMPLE_UNSPECIFIED);
        }
        ASSERT_EQ(static_cast<size_t>(TIFFScanlineSize(tiff)), size_t{11} * c.samples * (c.bitsPerSample / 8));
        std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize(tiff)));
        int mismatches = 0;
        for (uint32_t y = 0; y < 6; ++y) {
            ASSERT_EQ(TIFFReadScanline(tiff, line.data(), y, 0), 1);
            for (int32_t x = 0; x < 11; ++x) {
                for (int s = 0; s < c.samples; ++s) {
                    const size_t i = static_cast<size_t>(x) * c.samples + s;
                    const uint32_t got = c.bitsPerSample == 16 ? Get16(&line[2 * i]) : line[i];
                    mismatches += got != Expected(image, x, static_cast<int32_t>(y), s, c.fourth);
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << c.bits;
        TIFFClose(tiff);
    }
}

// ---- types, failures and replacement ---------------------------------------

// Names of the files in a directory.
std::vector<std::string> Listing(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

// A directory of its own, removed with what it holds.
struct TempDirectory {
    TempDirectory() : path(TestPath("dir")) { mkdir(path.c_str(), 0755); }
    ~TempDirectory() {
        for (const std::string& name : Listing(path)) unlink((path + "/" + name).c_str());
        rmdir(path.c_str());
    }
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

using vantix::testing_support::FileSizeLimit;

const int32_t kAllTypes[] = {kStillBmp, kStillRaw, kStillJpegHigh, kStillJpegMedium, kStillJpegLow, kStillPng,
                             kStillTiff};

TEST(StillFile, UnknownTypeOrMissingImageTouchesNothing) {
    CDibImage image = Pattern(8, 8, 24);
    TempFile file("type.bmp");
    EXPECT_EQ(SaveImageFile(file.c_str(), &image, 7), 0);
    EXPECT_EQ(SaveImageFile(file.c_str(), &image, -1), 0);
    EXPECT_FALSE(Exists(file.path));
    CDibImage empty;
    EXPECT_EQ(SaveImageFile(file.c_str(), &empty, kStillBmp), 0);
    EXPECT_EQ(SaveImageFile(file.c_str(), nullptr, kStillPng), 0);
    EXPECT_EQ(SaveImageFile(nullptr, &image, kStillPng), 0);
    EXPECT_EQ(SaveImageFile("", &image, kStillTiff), 0);
    EXPECT_FALSE(Exists(file.path));
}

TEST(StillFile, UncreatableFileFailsEveryType) {
    CDibImage image = Pattern(8, 8, 24);
    TempDirectory dir;
    for (const int32_t type : kAllTypes) {
        EXPECT_EQ(SaveImageFile("/nonexistent-vantix-dir/image.out", &image, type), 0) << type;
        // A directory in the way of the name.
        EXPECT_EQ(SaveImageFile(dir.path.c_str(), &image, type), 0) << type;
    }
    EXPECT_TRUE(Listing(dir.path).empty());
}

TEST(StillFile, WriteErrorKeepsThePreviousFileAndNoTemporary) {
    CDibImage image = Pattern(400, 300, 48);
    TempDirectory dir;
    const std::string target = dir.File("image.out");
    for (const int32_t type : kAllTypes) {
        WriteText(target, "previous");
        {
            FileSizeLimit limit(4096);
            EXPECT_EQ(SaveImageFile(target.c_str(), &image, type), 0) << type;
        }
        const std::vector<uint8_t> kept = ReadAll(target);
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous") << type;
        EXPECT_EQ(Listing(dir.path), std::vector<std::string>{"image.out"}) << type;
    }
}

TEST(StillFile, FullDeviceReportsFailure) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    CDibImage image = Pattern(300, 200, 24);
    for (const int32_t type : kAllTypes) {
        EXPECT_EQ(SaveImageFile("/dev/full", &image, type), 0) << type;
    }
}

TEST(StillFile, ReplacementKeepsPermissionsAndSymbolicLinks) {
    CDibImage image = Pattern(8, 8, 8);
    TempDirectory dir;
    const std::string target = dir.File("target.raw");
    const std::string link = dir.File("link.raw");
    WriteText(target, "old");
    chmod(target.c_str(), 0640);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(SaveImageFile(link.c_str(), &image, kStillRaw), 1);
    struct stat st{};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(target).size(), image.ImageBytes());
    EXPECT_EQ(Listing(dir.path).size(), 2u);
}

// A save killed halfway leaves its hidden temporary file behind; the next
// save into the folder removes those of processes that are gone, and no one
// else's.
TEST(StillFile, SaveRemovesTemporariesOfProcessesThatAreGone) {
    CDibImage image = Pattern(8, 8, 24);
    TempDirectory dir;
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const std::string stale = ".vantix-" + std::to_string(child) + "-0.tmp";
    const std::string live = ".vantix-" + std::to_string(getppid()) + "-0.tmp";
    WriteText(dir.File(stale), "partial");
    WriteText(dir.File(live), "partial");
    for (const int32_t type : kAllTypes) {
        WriteText(dir.File(stale), "partial");
        ASSERT_EQ(SaveImageFile(dir.File("image.out").c_str(), &image, type), 1) << type;
        std::vector<std::string> names = Listing(dir.path);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{live, "image.out"})) << type;
    }
}

// ImageMagick, when installed, must show every format upright: the top-left
// pixel of its picture is memory row 0, column 0 of the source.
TEST(StillFile, ImageMagickReadsEveryFormatUpright) {
    // Some machines carry a `convert` that is not ImageMagick: ask it.
    if (std::system("convert -version 2>/dev/null | grep -q '^Version: ImageMagick'") != 0) {
        GTEST_SKIP() << "ImageMagick not installed";
    }
    // The top half blue 10, green 20, red 200; the bottom half blue 255.
    CDibImage image;
    ASSERT_EQ(image.Create(32, 32, 24), 1);
    for (int32_t y = 0; y < 32; ++y) {
        for (int32_t x = 0; x < 32; ++x) {
            uint8_t* p = image.Row(y) + 3 * x;
            p[0] = y < 16 ? 10 : 255;
            p[1] = y < 16 ? 20 : 0;
            p[2] = y < 16 ? 200 : 0;
        }
    }
    const struct {
        int32_t type;
        const char* extension;
    } formats[] = {{kStillBmp, "bmp"}, {kStillJpegHigh, "jpg"}, {kStillPng, "png"}, {kStillTiff, "tif"}};
    for (const auto& f : formats) {
        TempFile file(std::string("magick.") + f.extension);
        TempFile rgb("magick.rgb");
        ASSERT_EQ(SaveImageFile(file.c_str(), &image, f.type), 1) << f.extension;
        const std::string command = "convert " + file.path + " -depth 8 rgb:" + rgb.path + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << f.extension;
        const std::vector<uint8_t> pixels = ReadAll(rgb.path);
        ASSERT_EQ(pixels.size(), 32u * 32 * 3) << f.extension;
        EXPECT_NEAR(pixels[0], 200, 8) << f.extension;  // red of the top-left pixel
        EXPECT_NEAR(pixels[2], 10, 8) << f.extension;
        EXPECT_NEAR(pixels[31 * 96 + 2], 255, 8) << f.extension;  // blue of the bottom-left pixel
    }
}

}  // namespace
}  // namespace vantix
