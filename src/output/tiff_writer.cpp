#include "output/tiff_writer.h"

#include <tiffio.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <vector>

#include "output/still_image_writer.h"

namespace vantix {

namespace {

struct TiffLayout {
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samples;
};

bool LayoutFor(int32_t bitsPerPixel, TiffLayout& layout) {
    switch (bitsPerPixel) {
    case 8:
        layout = {8, PHOTOMETRIC_MINISBLACK, 1};
        return true;
    case 16:
        layout = {16, PHOTOMETRIC_MINISBLACK, 1};
        return true;
    case 24:
        layout = {8, PHOTOMETRIC_RGB, 3};
        return true;
    case 32:
        layout = {8, PHOTOMETRIC_RGB, 4};
        return true;
    case 48:
        layout = {16, PHOTOMETRIC_RGB, 3};
        return true;
    case 64:
        layout = {16, PHOTOMETRIC_RGB, 4};
        return true;
    default:
        return false;
    }
}

// One memory row as TIFF samples: gray as it is, colour as R, G, B with B and
// R exchanged, then the fourth sample at full scale (255 or 65535): readers
// that take it for alpha despite the ExtraSamples tag still show the picture.
void ConvertRow(const uint8_t* in, uint8_t* out, int32_t width, int32_t bitsPerPixel) {
    switch (bitsPerPixel) {
    case 8:
    case 16:
        std::memcpy(out, in, static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel / 8));
        break;
    case 24:
    case 32:
        for (int32_t x = 0; x < width; ++x) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (bitsPerPixel == 32) {
                out[3] = 0xFF;
                in += 4;
                out += 4;
            } else {
                in += 3;
                out += 3;
            }
        }
        break;
    default: {  // 48, 64: 16-bit samples, written in the file's (native) order
        const uint16_t opaque = 0xFFFF;
        for (int32_t x = 0; x < width; ++x) {
            std::memcpy(out, in + 4, 2);
            std::memcpy(out + 2, in + 2, 2);
            std::memcpy(out + 4, in, 2);
            if (bitsPerPixel == 64) {
                std::memcpy(out + 6, &opaque, 2);
                in += 8;
                out += 8;
            } else {
                in += 6;
                out += 6;
            }
        }
        break;
    }
    }
}

bool EncodeTiff(TIFF* tiff, const CDibImage& image, const TiffLayout& layout, uint8_t* rowBuffer) {
    const auto width = static_cast<uint32_t>(image.Width());
    const auto height = static_cast<uint32_t>(image.Height());
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width) == 1 && TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height) == 1 &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample) == 1 &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric) == 1 &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples) == 1 &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
              // All rows in one strip.
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height) == 1;
    if (ok && layout.samples == 4) {
        // The fourth sample is padding, not transparency. Without this tag
        // readers take a fourth RGB sample for associated alpha.
        const uint16_t extra[1] = {EXTRASAMPLE_UNSPECIFIED};
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra) == 1;
    }
    for (uint32_t y = 0; ok && y < height; ++y) {
        ConvertRow(image.Row(static_cast<int32_t>(y)), rowBuffer, image.Width(), image.BitsPerPixel());
        ok = TIFFWriteScanline(tiff, rowBuffer, y, 0) == 1;
    }
    return ok && TIFFFlush(tiff) == 1;
}

}  // namespace

int WriteTiff(const char* fileName, const CDibImage& image) {
    TiffLayout layout{};
    if (image.IsEmpty() || !LayoutFor(image.BitsPerPixel(), layout)) {
        return 0;
    }
    std::vector<uint8_t> rowBuffer;
    try {
        rowBuffer.resize(static_cast<size_t>(image.Width()) * layout.samples * (layout.bitsPerSample / 8));
    } catch (const std::bad_alloc&) {
        return 0;
    }

    OutputFile file;
    if (!file.Open(fileName)) {
        return 0;
    }
    // libtiff closes the descriptor it is given; the file's own stays open
    // until Commit, which reports any error the close brings.
    const int descriptor = file.DuplicateDescriptor();
    if (descriptor < 0) {
        return 0;
    }
    TIFF* tiff = TIFFFdOpen(descriptor, fileName, "w");
    if (tiff == nullptr) {
        close(descriptor);
        return 0;
    }
    const bool encoded = EncodeTiff(tiff, image, layout, rowBuffer.data());
    TIFFClose(tiff);
    if (!encoded) {
        file.MarkFailed();
    }
    return file.Commit() ? 1 : 0;
}

}  // namespace vantix
