#include "output/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/dib_image.h"
#include "output/still_image_writer.h"

namespace vantix {

namespace {

// zlib effort. The session holds its image lock while a picture is saved, so
// the preview waits for the encoder: level 2 saves a full-sensor picture
// about five times faster than zlib's default (6), for files some 15% larger.
constexpr int kCompressionLevel = 2;

struct PngLayout {
    int colorType;
    int bitDepth;
    int samples;  // per pixel, in the file
};

bool LayoutFor(int32_t bitsPerPixel, PngLayout& layout) {
    switch (bitsPerPixel) {
    case 8:
        layout = {PNG_COLOR_TYPE_GRAY, 8, 1};
        return true;
    case 16:
        layout = {PNG_COLOR_TYPE_GRAY, 16, 1};
        return true;
    case 24:
        layout = {PNG_COLOR_TYPE_RGB, 8, 3};
        return true;
    case 32:
        layout = {PNG_COLOR_TYPE_RGB_ALPHA, 8, 4};
        return true;
    case 48:
        layout = {PNG_COLOR_TYPE_RGB, 16, 3};
        return true;
    case 64:
        layout = {PNG_COLOR_TYPE_RGB_ALPHA, 16, 4};
        return true;
    default:
        return false;
    }
}

void PutBigEndian(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

uint16_t Word(const uint8_t* in) {
    uint16_t value;
    std::memcpy(&value, in, sizeof(value));
    return value;
}

// One memory row in the file's sample order: R, G, B from B, G, R, 16-bit
// samples big-endian, alpha as in the table of png_writer.h.
void ConvertRow(const uint8_t* in, uint8_t* out, int32_t width, int32_t bitsPerPixel) {
    switch (bitsPerPixel) {
    case 16:
        for (int32_t x = 0; x < width; ++x, in += 2, out += 2) {
            PutBigEndian(out, Word(in));
        }
        break;
    case 24:
    case 32:
        for (int32_t x = 0; x < width; ++x) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (bitsPerPixel == 32) {
                out[3] = static_cast<uint8_t>(~in[3]);
                in += 4;
                out += 4;
            } else {
                in += 3;
                out += 3;
            }
        }
        break;
    case 48:
    case 64:
        for (int32_t x = 0; x < width; ++x) {
            PutBigEndian(out, Word(in + 4));
            PutBigEndian(out + 2, Word(in + 2));
            PutBigEndian(out + 4, Word(in));
            if (bitsPerPixel == 64) {
                PutBigEndian(out + 6, 0xFFFF);
                in += 8;
                out += 8;
            } else {
                in += 6;
                out += 6;
            }
        }
        break;
    default:
        std::memcpy(out, in, static_cast<size_t>(width));
        break;
    }
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    std::fprintf(stderr, "libpng error: %s\n", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Nothing with a destructor may live in this frame: a libpng error leaves it
// through longjmp. The row buffer belongs to the caller.
bool EncodePng(FILE* file, const uint8_t* pixels, int32_t width, int32_t height, int32_t bitsPerPixel,
               size_t stride, const PngLayout& layout, uint8_t* rowBuffer) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, kCompressionLevel);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), layout.bitDepth,
                 layout.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        if (bitsPerPixel == 8) {
            png_write_row(png, row);
        } else {
            ConvertRow(row, rowBuffer, width, bitsPerPixel);
            png_write_row(png, rowBuffer);
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

int WritePng(const char* fileName, const uint8_t* pixels, int32_t width, int32_t height, int32_t bitsPerPixel) {
    PngLayout layout{};
    const int64_t stride = CDibImage::StrideFor(width, bitsPerPixel);
    if (pixels == nullptr || width <= 0 || height <= 0 || stride <= 0 || !LayoutFor(bitsPerPixel, layout)) {
        return 0;
    }
    std::vector<uint8_t> rowBuffer;
    try {
        rowBuffer.resize(static_cast<size_t>(width) * static_cast<size_t>(layout.samples) *
                         static_cast<size_t>(layout.bitDepth / 8));
    } catch (const std::bad_alloc&) {
        return 0;
    }

    OutputFile file;
    if (!file.Open(fileName)) {
        return 0;
    }
    FILE* stream = file.OpenStream();
    if (stream == nullptr) {
        return 0;
    }
    const bool encoded = EncodePng(stream, pixels, width, height, bitsPerPixel, static_cast<size_t>(stride),
                                   layout, rowBuffer.data());
    file.CloseStream(stream);
    if (!encoded) {
        file.MarkFailed();
    }
    return file.Commit() ? 1 : 0;
}

}  // namespace vantix
