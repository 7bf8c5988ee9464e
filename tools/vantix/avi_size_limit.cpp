#include "avi_size_limit.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace cli {
namespace {

constexpr size_t kFrameWidthOffset = 64;   // avih dwWidth, then dwHeight
constexpr size_t kStrlSizeOffset = 92;
constexpr size_t kStreamLengthOffset = 140;  // strh dwLength: the frames of every RIFF
constexpr size_t kSingleRiffStrlSize = 124;
constexpr size_t kSuperIndexOffset = 220;    // "indx" after the format, in an OpenDML file
constexpr size_t kHeadBytes = kSuperIndexOffset + 16;

uint32_t Le32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The first bytes of an AVI file, up to the super index's head; false if
// unreadable or no AVI.
bool ReadHead(const std::string& file, unsigned char (&head)[kHeadBytes]) {
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr) return false;
    const bool read = std::fread(head, 1, sizeof head, stream) == sizeof head;
    std::fclose(stream);
    return read && std::memcmp(head, "RIFF", 4) == 0;
}

}  // namespace

int64_t AviFramesRecorded(const std::string& file) {
    unsigned char head[kHeadBytes] = {};
    return ReadHead(file, head) ? int64_t{Le32(head + kStreamLengthOffset)} : -1;
}

bool AviFrameSize(const std::string& file, int32_t* width, int32_t* height) {
    unsigned char head[kHeadBytes] = {};
    if (!ReadHead(file, head)) return false;
    *width = static_cast<int32_t>(Le32(head + kFrameWidthOffset));
    *height = static_cast<int32_t>(Le32(head + kFrameWidthOffset + 4));
    return *width > 0 && *height > 0;
}

bool AviSizeLimitReached(const std::string& file, int32_t width, int32_t height, long long maxRiffBytes) {
    unsigned char head[kHeadBytes] = {};
    if (width <= 0 || height <= 0 || !ReadHead(file, head)) return false;
    if (Le32(head + kStrlSizeOffset) != kSingleRiffStrlSize) {
        // OpenDML: every RIFF its super index has room for is in use.
        if (std::memcmp(head + kSuperIndexOffset, "indx", 4) != 0) return false;
        const uint32_t entries = (Le32(head + kSuperIndexOffset + 4) - 24) / 16;
        return Le32(head + kSuperIndexOffset + 12) >= entries;
    }
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) return false;
    constexpr long long kChunkHeader = 8;
    constexpr long long kIndexEntry = 16;
    const long long frameBytes = (static_cast<long long>(width) * 3 + 3) / 4 * 4 * height;
    // The RIFF size field counts all but the first 8 bytes.
    return static_cast<long long>(info.st_size) + kChunkHeader + frameBytes + kIndexEntry > maxRiffBytes + 8;
}

}  // namespace cli
