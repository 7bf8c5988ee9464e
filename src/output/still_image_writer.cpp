#include "output/still_image_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "output/jpeg_writer.h"
#include "output/png_writer.h"
#include "output/tiff_writer.h"
#include "platform/temporary_file.h"

namespace vantix {

namespace {

// Linux accepts at most this many pieces in one writev().
constexpr size_t kMaxWritevParts = 1024;

constexpr uint32_t kBmpHeaderBytes = sizeof(BitmapFileHeader) + sizeof(BitmapInfoHeader);  // 54
constexpr uint32_t kBmpPaletteHeaderBytes = kBmpHeaderBytes + sizeof(RgbQuad) * kColorTableEntries;  // 1078

bool CloseDescriptor(int fd) {
    // Linux releases the descriptor even when close() is interrupted.
    return close(fd) == 0 || errno == EINTR;
}

// ---- BMP and raw dump ------------------------------------------------------

int WriteBmpFile(const CDibImage& image, const char* fileName, bool reverseRows) {
    if (image.IsEmpty()) {
        return 0;
    }
    const BitmapInfo& info = image.Header();
    const bool hasPalette = image.BitsPerPixel() <= 8;
    const uint32_t offBits = hasPalette ? kBmpPaletteHeaderBytes : kBmpHeaderBytes;
    // The pixel block is at most kMaxImageBytes, so the file size fits.
    const BitmapFileHeader fileHeader{0x4D42, static_cast<uint32_t>(offBits + image.ImageBytes()), 0, 0, offBits};

    std::vector<iovec> pieces;
    try {
        pieces.reserve(3 + (reverseRows ? static_cast<size_t>(image.Height()) : 1));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    pieces.push_back({const_cast<BitmapFileHeader*>(&fileHeader), sizeof(fileHeader)});
    pieces.push_back({const_cast<BitmapInfoHeader*>(&info.header), sizeof(info.header)});
    if (hasPalette) {
        pieces.push_back({const_cast<RgbQuad*>(info.colors), sizeof(info.colors)});
    }
    auto* bits = const_cast<uint8_t*>(image.Bits());
    if (reverseRows) {
        const auto stride = static_cast<size_t>(image.Stride());
        for (int32_t i = image.Height() - 1; i >= 0; --i) {
            pieces.push_back({bits + static_cast<size_t>(i) * stride, stride});
        }
    } else {
        pieces.push_back({bits, image.ImageBytes()});
    }

    OutputFile file;
    if (!file.Open(fileName)) {
        return 0;
    }
    file.WriteVector(pieces.data(), pieces.size());
    return file.Commit() ? 1 : 0;
}

// ---- JPEG line sources -----------------------------------------------------
// Scanline k of a JPEG is memory row k of the image (the top of the picture
// first), converted to 8-bit gray or R, G, B one line at a time, so no
// full-size temporary image is needed. 16-bit samples are reduced to their top
// 8 significant bits; 32- and 64-bit pixels lose their fourth channel.

struct JpegLines {
    const CDibImage* image;
    int shift;  // 16-bit samples: value >> shift, clamped to 255
};

uint8_t Reduce16(const uint8_t* sample, int shift) {
    uint16_t v;
    std::memcpy(&v, sample, sizeof(v));
    return static_cast<uint8_t>(std::min(v >> shift, 255));
}

void GrayLine8(const void* context, int32_t line, uint8_t* out) {
    const auto* lines = static_cast<const JpegLines*>(context);
    std::memcpy(out, lines->image->Row(line), static_cast<size_t>(lines->image->Width()));
}

void GrayLine16(const void* context, int32_t line, uint8_t* out) {
    const auto* lines = static_cast<const JpegLines*>(context);
    const uint8_t* row = lines->image->Row(line);
    for (int32_t x = 0; x < lines->image->Width(); ++x) {
        out[x] = Reduce16(row + 2 * static_cast<size_t>(x), lines->shift);
    }
}

// 24- and 32-bit pixels: B, G, R (and a fourth byte, dropped).
void ColorLine8(const void* context, int32_t line, uint8_t* out) {
    const auto* lines = static_cast<const JpegLines*>(context);
    const uint8_t* pixel = lines->image->Row(line);
    const size_t step = lines->image->BytesPerPixel();
    for (int32_t x = 0; x < lines->image->Width(); ++x, pixel += step, out += 3) {
        out[0] = pixel[2];
        out[1] = pixel[1];
        out[2] = pixel[0];
    }
}

// 48- and 64-bit pixels: 16-bit B, G, R (and a fourth word, dropped).
void ColorLine16(const void* context, int32_t line, uint8_t* out) {
    const auto* lines = static_cast<const JpegLines*>(context);
    const uint8_t* pixel = lines->image->Row(line);
    const size_t step = lines->image->BytesPerPixel();
    for (int32_t x = 0; x < lines->image->Width(); ++x, pixel += step, out += 3) {
        out[0] = Reduce16(pixel + 4, lines->shift);
        out[1] = Reduce16(pixel + 2, lines->shift);
        out[2] = Reduce16(pixel, lines->shift);
    }
}

int SaveJpeg(const char* fileName, const CDibImage& image, int quality, int32_t significantBits) {
    const int32_t bits = (significantBits >= 9 && significantBits <= 16) ? significantBits : 16;
    const JpegLines lines{&image, bits - 8};
    switch (image.BitsPerPixel()) {
    case 8:
        return WriteJpegLines(fileName, image.Width(), image.Height(), 1, quality, GrayLine8, &lines);
    case 16:
        return WriteJpegLines(fileName, image.Width(), image.Height(), 1, quality, GrayLine16, &lines);
    case 24:
    case 32:
        return WriteJpegLines(fileName, image.Width(), image.Height(), 3, quality, ColorLine8, &lines);
    case 48:
    case 64:
        return WriteJpegLines(fileName, image.Width(), image.Height(), 3, quality, ColorLine16, &lines);
    default:
        return 0;
    }
}

}  // namespace

int SaveBmp(const CDibImage& image, const char* fileName) {
    return WriteBmpFile(image, fileName, false);
}

int SaveRawDump(const CDibImage& image, const char* fileName) {
    if (image.IsEmpty()) {
        return 0;
    }
    OutputFile file;
    if (!file.Open(fileName)) {
        return 0;
    }
    file.Write(image.Bits(), image.ImageBytes());
    return file.Commit() ? 1 : 0;
}

int SaveImageFile(const char* fileName, const CDibImage* image, int32_t type, int32_t significantBits) {
    if (type < kStillBmp || type > kStillTiff || image == nullptr || image->IsEmpty()) {
        return 0;
    }
    // No exception may leave the library; the writers allocate row buffers.
    try {
        switch (type) {
        case kStillBmp:
            // Bottom-up rows: the last memory row (the bottom of the picture)
            // goes first. The rows are gathered straight from the image for
            // one writev() rather than copied into a reversed temporary image.
            return WriteBmpFile(*image, fileName, true);
        case kStillRaw:
            return SaveRawDump(*image, fileName);
        case kStillJpegHigh:
            return SaveJpeg(fileName, *image, 100, significantBits);
        case kStillJpegMedium:
            return SaveJpeg(fileName, *image, 70, significantBits);
        case kStillJpegLow:
            return SaveJpeg(fileName, *image, 20, significantBits);
        case kStillPng:
            return WritePng(fileName, image->Bits(), image->Width(), image->Height(), image->BitsPerPixel());
        case kStillTiff:
            return WriteTiff(fileName, *image);
        default:
            return 0;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

// ---- OutputFile ------------------------------------------------------------

OutputFile::~OutputFile() {
    Abandon();
}

void OutputFile::Abandon() {
    if (fd_ >= 0) {
        CloseDescriptor(fd_);
        fd_ = -1;
    }
    if (!temporaryPath_.empty()) {
        unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
    targetPath_.clear();
    failed_ = false;
    inPlace_ = false;
}

bool OutputFile::OpenTemporary(const std::string& directory) {
    fd_ = CreateTemporaryFile(directory, &temporaryPath_);
    return fd_ >= 0;
}

bool OutputFile::Open(const char* fileName) {
    Abandon();
    if (fileName == nullptr || fileName[0] == '\0') {
        return false;
    }
    struct stat target{};
    if (stat(fileName, &target) != 0) {
        if (errno != ENOENT) {
            return false;
        }
        struct stat linkStat{};
        if (lstat(fileName, &linkStat) == 0) {
            // A dangling symbolic link: create the file it names, as an
            // ordinary open would.
            fd_ = open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            inPlace_ = fd_ >= 0;
            return fd_ >= 0;
        }
        targetPath_ = fileName;
        return OpenTemporary(DirectoryOf(targetPath_));
    }

    if (!S_ISREG(target.st_mode)) {
        // Devices and FIFOs are written as they are. A FIFO without a reader
        // fails instead of blocking the caller.
        fd_ = open(fileName, O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            return false;
        }
        const int flags = fcntl(fd_, F_GETFL);
        fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
        inPlace_ = true;
        return true;
    }

    // The target must be writable to be replaced, exactly as opening it for
    // writing would require: a read-only file stays as it is.
    const int existing = open(fileName, O_WRONLY | O_CLOEXEC);
    if (existing < 0) {
        return false;
    }
    char* resolved = realpath(fileName, nullptr);
    if (resolved == nullptr) {
        CloseDescriptor(existing);
        return false;
    }
    targetPath_ = resolved;
    std::free(resolved);
    if (OpenTemporary(DirectoryOf(targetPath_))) {
        CloseDescriptor(existing);
        KeepPermissions(fd_, target);
        return true;
    }
    // No new file can be made beside the target: overwrite it in place.
    if (ftruncate(existing, 0) != 0) {
        CloseDescriptor(existing);
        return false;
    }
    fd_ = existing;
    inPlace_ = true;
    return true;
}

bool OutputFile::WriteVector(iovec* pieces, size_t count) {
    if (fd_ < 0 || failed_) {
        failed_ = true;
        return false;
    }
    while (count > 0) {
        if (pieces->iov_len == 0) {
            ++pieces;
            --count;
            continue;
        }
        const ssize_t written = writev(fd_, pieces, static_cast<int>(std::min(count, kMaxWritevParts)));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
            return false;
        }
        auto done = static_cast<size_t>(written);
        while (count > 0 && done >= pieces->iov_len) {
            done -= pieces->iov_len;
            ++pieces;
            --count;
        }
        if (done > 0) {
            pieces->iov_base = static_cast<uint8_t*>(pieces->iov_base) + done;
            pieces->iov_len -= done;
        }
    }
    return true;
}

bool OutputFile::Write(const void* data, size_t size) {
    iovec piece{const_cast<void*>(data), size};
    return WriteVector(&piece, 1);
}

int OutputFile::DuplicateDescriptor() {
    if (fd_ < 0) {
        return -1;
    }
    const int copy = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        failed_ = true;
    }
    return copy;
}

FILE* OutputFile::OpenStream() {
    const int copy = DuplicateDescriptor();
    if (copy < 0) {
        return nullptr;
    }
    FILE* stream = fdopen(copy, "wb");
    if (stream == nullptr) {
        CloseDescriptor(copy);
        failed_ = true;
    }
    return stream;
}

bool OutputFile::CloseStream(FILE* stream) {
    if (stream == nullptr) {
        failed_ = true;
        return false;
    }
    const bool hadError = std::ferror(stream) != 0;
    if (std::fclose(stream) != 0 || hadError) {
        failed_ = true;
        return false;
    }
    return true;
}

bool OutputFile::Commit() {
    if (fd_ < 0) {
        Abandon();
        return false;
    }
    bool ok = !failed_;
    if (!CloseDescriptor(fd_)) {
        ok = false;
    }
    fd_ = -1;
    if (!inPlace_) {
        if (ok && rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0) {
            ok = false;
        }
        if (ok) {
            temporaryPath_.clear();  // now the target: nothing to remove
        }
    }
    Abandon();
    return ok;
}

}  // namespace vantix
