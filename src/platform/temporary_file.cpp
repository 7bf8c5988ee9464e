#include "platform/temporary_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>

namespace vantix {

namespace {

constexpr std::string_view kPrefix = ".vantix-";
constexpr std::string_view kSuffix = ".tmp";

std::string TemporaryName(pid_t pid, uint32_t sequence) {
    return std::string(kPrefix) + std::to_string(pid) + "-" + std::to_string(sequence) + std::string(kSuffix);
}

// A decimal number as std::to_string writes it: digits only, no sign and no
// leading zero. Other spellings of the same number are not ours.
template <typename Number>
bool ParseCanonical(std::string_view text, Number* value) {
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && stop == end;
}

bool ProcessIsGone(pid_t pid) {
    // EPERM: the process exists but belongs to someone else.
    return ::kill(pid, 0) == -1 && errno == ESRCH;
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool ParseTemporaryName(std::string_view name, pid_t* pid) {
    if (name.size() <= kPrefix.size() + kSuffix.size() || name.substr(0, kPrefix.size()) != kPrefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix) {
        return false;
    }
    const std::string_view middle = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    const size_t dash = middle.find('-');
    if (dash == std::string_view::npos) return false;
    pid_t parsedPid = 0;
    uint32_t sequence = 0;
    if (!ParseCanonical(middle.substr(0, dash), &parsedPid) || parsedPid <= 0 ||
        !ParseCanonical(middle.substr(dash + 1), &sequence)) {
        return false;
    }
    *pid = parsedPid;
    return true;
}

int RemoveStaleTemporaries(const std::string& directory) {
    DIR* folder = ::opendir(directory.c_str());
    if (folder == nullptr) return 0;
    const int folderFd = ::dirfd(folder);
    const pid_t self = ::getpid();
    int removed = 0;
    while (const dirent* entry = ::readdir(folder)) {
        pid_t pid = 0;
        if (!ParseTemporaryName(entry->d_name, &pid) || pid == self || !ProcessIsGone(pid)) continue;
        struct stat status {};
        if (::fstatat(folderFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)) {
            continue;
        }
        // Should the entry change in between, unlinkat removes the name
        // itself, never what a symbolic link points at.
        if (::unlinkat(folderFd, entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(folder);
    return removed;
}

int CreateTemporaryFile(const std::string& directory, std::string* path) {
    static std::atomic<uint32_t> sequence{0};
    RemoveStaleTemporaries(directory);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = directory + "/" + TemporaryName(::getpid(), sequence.fetch_add(1));
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *path = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

void KeepPermissions(int fd, const struct stat& replaced) {
    // chown first: it may clear set-id bits that fchmod then restores.
    if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
        // Not root: the new file keeps our owner.
    }
    (void)::fchmod(fd, replaced.st_mode & 07777);
}

}  // namespace vantix
