#include "recording_progress.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "avi_size_limit.h"
#include "cli.h"

namespace cli {
namespace {

std::string Megabytes(long long bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
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
    return IsNewFile() ? std::max<int64_t>(0, AviFramesRecorded(file_)) : 0;
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

}  // namespace cli
