#pragma once
// Still-image files: the last converted image of a session written as BMP, a
// raw memory dump, JPEG at three qualities, PNG or TIFF.
//
// Orientation. Memory row 0 of every pipeline buffer is the first row the
// camera delivers, the top of the picture. Every format stores its rows so the
// picture is upright in a standard viewer: BMP bottom-up (the last memory row
// first), JPEG, PNG and TIFF top-down (memory row 0 first). The raw dump is the
// pixel block exactly as it lies in memory.
//
// A file is never announced as written when it was not: every writer returns
// 1 only when each byte reached the file, and a failed save leaves whatever
// was under the name before untouched (see OutputFile).
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "imaging/dib_image.h"

namespace vantix {

// File types of SaveImageFile (the format argument of Vantix_SaveImage).
inline constexpr int32_t kStillBmp = 0;
inline constexpr int32_t kStillRaw = 1;
inline constexpr int32_t kStillJpegHigh = 2;    // quality 100
inline constexpr int32_t kStillJpegMedium = 3;  // quality 70
inline constexpr int32_t kStillJpegLow = 4;     // quality 20
inline constexpr int32_t kStillPng = 5;
inline constexpr int32_t kStillTiff = 6;

// Writes image to fileName in the format of type. significantBits says how
// many bits of a 16-bit sample carry data; where a format needs 8-bit samples
// (JPEG) the top 8 of those are kept, clamped to 255. The session always
// passes 16 (full 16-bit samples); values outside 9..16 count as 16.
// Returns 1 when the whole file was written, 0 otherwise: an unknown type
// (nothing is touched), a null or empty image, a file that can't be created,
// a write error or a library failure. The caller holds the image still (the
// session's image lock) for the duration.
int SaveImageFile(const char* fileName, const CDibImage* image, int32_t type, int32_t significantBits = 16);

// Writes image as a BMP file with its rows in memory order: the file's first
// row is memory row 0, which BMP readers show at the bottom. The header is the
// image's own, the 256-entry colour table follows it when bits per pixel are 8
// or fewer, and every depth (16, 48 and 64 too) is written as held.
// SaveImageFile's BMP type stores the rows reversed so the picture is upright.
int SaveBmp(const CDibImage& image, const char* fileName);

// Writes the pixel block unchanged: height x stride bytes, row padding
// included, memory row 0 first, nothing else.
int SaveRawDump(const CDibImage& image, const char* fileName);

// BMP file header, the 14 bytes before the BITMAPINFOHEADER.
#pragma pack(push, 1)
struct BitmapFileHeader {
    uint16_t bfType;  // "BM"
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BitmapFileHeader) == 14);

// The destination of one still-image save. Unless told otherwise the bytes go
// to a new file in the target's directory and replace the target by rename()
// only once all of them were written, so a reader finds either the previous
// file or the complete new one, never a torn one; a failed or abandoned save
// removes its temporary file, and one left by a killed process goes at the
// next save into that folder (see platform/temporary_file.h). An existing
// file keeps its permission bits.
//
// The file is written in place instead (truncated, as an ordinary open for
// writing would) when the target is not a regular file (a device or FIFO) or
// when its directory doesn't let a new file be created next to an existing,
// writable target. A failed in-place save still reports failure.
//
// A target that exists but can't be opened for writing (read-only file, a
// directory) fails Open and is left alone. A symbolic link to a regular file
// stays a link: the file it points at is replaced.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when fileName (null or empty included) can't be written.
    bool Open(const char* fileName);
    // Writes all of data at the current position; false, and the save marked
    // failed, on any error.
    bool Write(const void* data, size_t size);
    // Writes the pieces in order; the array is consumed (advanced past what
    // was written).
    bool WriteVector(iovec* pieces, size_t count);
    // A stdio stream on a duplicate of the descriptor, for libraries that
    // write through FILE*. The caller closes it with CloseStream before Commit.
    FILE* OpenStream();
    // Closes a stream from OpenStream; an error flushing it fails the save.
    bool CloseStream(FILE* stream);
    // A duplicate descriptor for a library that takes ownership of one (and
    // closes it), -1 on failure.
    int DuplicateDescriptor();
    // Records that an encoder failed, so Commit will not publish the file.
    void MarkFailed() { failed_ = true; }
    // Closes the file and puts it in place. True only when nothing failed.
    bool Commit();

private:
    bool OpenTemporary(const std::string& directory);
    void Abandon();

    int fd_ = -1;
    bool failed_ = false;
    bool inPlace_ = false;
    std::string targetPath_;
    std::string temporaryPath_;
};

}  // namespace vantix
