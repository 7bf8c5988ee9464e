#include "recording_progress.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "cli.h"

namespace cli {
namespace {

// RIFF header, header list and the "movi" list header before the first frame;
// each frame is an 8-byte chunk header and its bytes.
constexpr int64_t kAviHeaderBytes = 232;
constexpr int64_t kChunkHeaderBytes = 8;
constexpr long kTotalFramesOffset = 48;

std::string Megabytes(long long bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

int64_t StoredFrameBytes(int32_t width, int32_t height, int32_t bitsPerPixel) {
    const int64_t stride = (int64_t{width} * (bitsPerPixel / 8) + 3) & ~int64_t{3};
    return stride * height;
}

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

RecordingProgress::RecordingProgress(std::string file, int64_t frameBytes, double seconds, bool terminal)
    : file_(std::move(file)), frameBytes_(frameBytes), seconds_(seconds), terminal_(terminal) {}

int64_t RecordingProgress::FramesWritten() const {
    const long long size = FileSize(file_);
    if (size <= kAviHeaderBytes || frameBytes_ <= 0) return 0;
    return (size - kAviHeaderBytes) / (frameBytes_ + kChunkHeaderBytes);
}

void RecordingProgress::Update(double elapsed) {
    const int64_t frames = FramesWritten();
    const double fps = elapsed > 0 ? static_cast<double>(frames) / elapsed : 0.0;
    const std::string bytes = Megabytes(std::max(0LL, FileSize(file_)));
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

}  // namespace cli
