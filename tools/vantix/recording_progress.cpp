#include "recording_progress.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "cli.h"

namespace cli {
namespace {

constexpr long kTotalFramesOffset = 48;

std::string Megabytes(long long bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

// The frame count in an AVI file's main header; -1 if unreadable.
int64_t AviFrameCount(const std::string& file) {
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr) return -1;
    unsigned char header[kTotalFramesOffset + 4] = {};
    const bool read = std::fread(header, 1, sizeof header, stream) == sizeof header;
    std::fclose(stream);
    if (!read || std::memcmp(header, "RIFF", 4) != 0) return -1;
    const unsigned char* p = header + kTotalFramesOffset;
    return int64_t{p[0]} | int64_t{p[1]} << 8 | int64_t{p[2]} << 16 | int64_t{p[3]} << 24;
}

}  // namespace

RecordingProgress::RecordingProgress(std::string file, double seconds, bool terminal)
    : file_(std::move(file)), seconds_(seconds), terminal_(terminal) {
    struct stat info {};
    hadFile_ = stat(file_.c_str(), &info) == 0;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    modified_ = info.st_mtim;
}

bool RecordingProgress::IsNewFile() const {
    struct stat info {};
    if (stat(file_.c_str(), &info) != 0) return false;
    // Replaced (a new file renamed over the name) or rewritten in place.
    return !hadFile_ || info.st_dev != device_ || info.st_ino != inode_ || info.st_mtim.tv_sec != modified_.tv_sec ||
           info.st_mtim.tv_nsec != modified_.tv_nsec;
}

int64_t RecordingProgress::FramesWritten() const {
    return IsNewFile() ? std::max<int64_t>(0, AviFrameCount(file_)) : 0;
}

void RecordingProgress::Update(double elapsed) {
    const int64_t frames = FramesWritten();
    const double fps = elapsed > 0 ? static_cast<double>(frames) / elapsed : 0.0;
    const std::string bytes = Megabytes(IsNewFile() ? std::max(0LL, FileSize(file_)) : 0);
    if (terminal_) {
        const int filled = static_cast<int>(30.0 * std::min(1.0, seconds_ > 0 ? elapsed / seconds_ : 1.0));
        std::printf("\rrecording [%-30s] %5.1f s %6lld frames %6.1f fps %12s", std::string(static_cast<size_t>(filled), '#').c_str(),
                    elapsed, static_cast<long long>(frames), fps, bytes.c_str());
        std::fflush(stdout);
        return;
    }
    const int second = static_cast<int>(elapsed);
    if (second == lastSecond_) return;
    lastSecond_ = second;
    std::printf("recording %5.1f s %6lld frames %6.1f fps %12s\n", elapsed, static_cast<long long>(frames), fps,
                bytes.c_str());
    std::fflush(stdout);
}

void RecordingProgress::Finish() {
    if (terminal_) std::printf("\n");
}

bool AviSizeLimitReached(long long fileBytes, int32_t width, int32_t height) {
    if (fileBytes < 0 || width <= 0 || height <= 0) return false;
    constexpr long long kRiffLimit = 0xFFFFFFFFLL + 8;  // the RIFF size field counts all but 8 bytes
    constexpr long long kChunkHeader = 8;
    constexpr long long kIndexEntry = 16;
    const long long frameBytes = (static_cast<long long>(width) * 3 + 3) / 4 * 4 * height;
    return fileBytes + kChunkHeader + frameBytes + kIndexEntry > kRiffLimit;
}

}  // namespace cli
