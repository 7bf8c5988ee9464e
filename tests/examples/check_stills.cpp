// Decodes the stills written by the save_every_format example and checks that
// they show one and the same picture: the BMP is the reference; raw, PNG and
// TIFF must match it exactly, the JPEGs within a bound that grows as the
// quality falls.
//
//   check_stills DIR WIDTH HEIGHT
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace {

// Top row first, R, G, B bytes without padding.
using Rgb = std::vector<uint8_t>;

int32_t g_width = 0;
int32_t g_height = 0;

size_t Stride() { return (static_cast<size_t>(g_width) * 3 + 3) & ~size_t{3}; }

bool ReadFile(const std::string& path, std::vector<uint8_t>* data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Rows of B, G, R with padding, top row first, into Rgb.
Rgb FromBgrRows(const uint8_t* rows, bool bottomUp) {
    Rgb out(static_cast<size_t>(g_width) * g_height * 3);
    for (int32_t y = 0; y < g_height; ++y) {
        const uint8_t* in = rows + static_cast<size_t>(bottomUp ? g_height - 1 - y : y) * Stride();
        uint8_t* o = out.data() + static_cast<size_t>(y) * g_width * 3;
        for (int32_t x = 0; x < g_width; ++x, in += 3, o += 3) {
            o[0] = in[2];
            o[1] = in[1];
            o[2] = in[0];
        }
    }
    return out;
}

bool LoadBmp(const std::string& path, Rgb* out) {
    std::vector<uint8_t> data;
    if (!ReadFile(path, &data) || data.size() < 54 || data[0] != 'B' || data[1] != 'M') return false;
    const uint32_t offset = Le32(&data[10]);
    const auto height = static_cast<int32_t>(Le32(&data[22]));
    if (static_cast<int32_t>(Le32(&data[18])) != g_width || std::abs(height) != g_height || data[28] != 24 ||
        data.size() < offset + Stride() * g_height) {
        return false;
    }
    *out = FromBgrRows(&data[offset], height > 0);  // a positive height stores the bottom row first
    return true;
}

bool LoadRaw(const std::string& path, Rgb* out) {
    std::vector<uint8_t> data;
    if (!ReadFile(path, &data) || data.size() != Stride() * g_height) return false;
    *out = FromBgrRows(data.data(), false);
    return true;
}

bool LoadPng(const std::string& path, Rgb* out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    if (static_cast<int32_t>(image.width) != g_width || static_cast<int32_t>(image.height) != g_height) {
        png_image_free(&image);
        return false;
    }
    out->assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, out->data(), 0, nullptr) != 0;
}

bool LoadTiff(const std::string& path, Rgb* out) {
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) return false;
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    bool ok = static_cast<int32_t>(width) == g_width && static_cast<int32_t>(height) == g_height && bits == 8 &&
              samples == 3 && TIFFScanlineSize(tiff) == static_cast<tmsize_t>(g_width) * 3;
    if (ok) {
        out->assign(static_cast<size_t>(g_width) * g_height * 3, 0);
        for (uint32_t y = 0; ok && y < height; ++y) {
            ok = TIFFReadScanline(tiff, out->data() + static_cast<size_t>(y) * g_width * 3, y) == 1;
        }
    }
    TIFFClose(tiff);
    return ok;
}

bool LoadJpeg(const std::string& path, Rgb* out) {
    std::vector<uint8_t> data;
    if (!ReadFile(path, &data) || data.empty()) return false;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    // libjpeg's default error handler ends the process, which fails the test
    // just as well as a false return.
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    bool ok = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
    if (ok) {
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        ok = static_cast<int32_t>(info.output_width) == g_width && static_cast<int32_t>(info.output_height) == g_height &&
             info.output_components == 3;
        if (ok) {
            out->assign(static_cast<size_t>(g_width) * g_height * 3, 0);
            while (info.output_scanline < info.output_height) {
                JSAMPROW row = out->data() + static_cast<size_t>(info.output_scanline) * g_width * 3;
                jpeg_read_scanlines(&info, &row, 1);
            }
            jpeg_finish_decompress(&info);
        }
    }
    jpeg_destroy_decompress(&info);
    return ok;
}

double MeanAbsoluteDifference(const Rgb& a, const Rgb& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    return sum / static_cast<double>(a.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIR WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    g_width = std::atoi(argv[2]);
    g_height = std::atoi(argv[3]);

    Rgb reference;
    if (!LoadBmp(dir + "/snapshot.bmp", &reference)) {
        std::fprintf(stderr, "FAIL: snapshot.bmp is not a %d x %d 24-bit BMP\n", g_width, g_height);
        return 1;
    }
    int failures = 0;
    struct Exact {
        const char* file;
        bool (*load)(const std::string&, Rgb*);
    };
    for (const Exact& check : {Exact{"snapshot.raw", LoadRaw}, Exact{"snapshot.png", LoadPng},
                               Exact{"snapshot.tif", LoadTiff}}) {
        Rgb pixels;
        if (!check.load(dir + "/" + check.file, &pixels)) {
            std::fprintf(stderr, "FAIL: %s does not decode as a %d x %d RGB picture\n", check.file, g_width, g_height);
            ++failures;
        } else if (pixels != reference) {
            std::fprintf(stderr, "FAIL: %s differs from the BMP (mean difference %.2f)\n", check.file,
                         MeanAbsoluteDifference(pixels, reference));
            ++failures;
        } else {
            std::printf("%-18s same pixels as the BMP\n", check.file);
        }
    }
    struct Lossy {
        const char* file;
        double bound;  // mean absolute difference per sample
    };
    double previous = -1;
    for (const Lossy& check : {Lossy{"snapshot-q100.jpg", 2.0}, Lossy{"snapshot-q70.jpg", 6.0},
                               Lossy{"snapshot-q20.jpg", 15.0}}) {
        Rgb pixels;
        if (!LoadJpeg(dir + "/" + check.file, &pixels)) {
            std::fprintf(stderr, "FAIL: %s does not decode as a %d x %d colour JPEG\n", check.file, g_width, g_height);
            ++failures;
            continue;
        }
        const double difference = MeanAbsoluteDifference(pixels, reference);
        std::printf("%-18s mean difference from the BMP %.2f\n", check.file, difference);
        if (difference > check.bound) {
            std::fprintf(stderr, "FAIL: %s is too far from the BMP (%.2f > %.2f)\n", check.file, difference, check.bound);
            ++failures;
        }
        if (difference < previous) {
            std::fprintf(stderr, "FAIL: %s is closer to the BMP than a higher quality\n", check.file);
            ++failures;
        }
        previous = difference;
    }
    return failures == 0 ? 0 : 1;
}
