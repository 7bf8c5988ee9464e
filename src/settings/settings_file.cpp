// The settings store on disk: where the file is, reading it (capped, regular
// files only) and replacing it whole under its lock. The text inside is
// reg_format.*.
#include "settings/settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <utility>

#include "platform/debug_output.h"
#include "platform/temporary_file.h"
#include "settings/reg_format.h"

namespace vantix {

namespace {

enum class ReadResult { kRead, kMissing, kError };

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Reads at most kSettingsMaxFileBytes + 1 bytes of a regular file.
ReadResult ReadCapped(const std::string& path, std::string* bytes, FileIdentity* identity) {
    bytes->clear();
    // Non-blocking, so that a FIFO named as a settings file cannot hang the
    // open; only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing : ReadResult::kError;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return ReadResult::kError;
    }
    identity->device = status.st_dev;
    identity->inode = status.st_ino;
    identity->size = status.st_size;
    identity->modified = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    const size_t want = kSettingsMaxFileBytes + 1;
    bytes->resize(static_cast<size_t>(status.st_size) < want ? static_cast<size_t>(status.st_size) + 1 : want);
    size_t filled = 0;
    while (filled < bytes->size()) {
        const ssize_t got = ::read(fd, bytes->data() + filled, bytes->size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            bytes->clear();
            return ReadResult::kError;
        }
        if (got == 0) break;
        filled += static_cast<size_t>(got);
        if (filled == bytes->size() && bytes->size() < want) bytes->resize(std::min(want, bytes->size() * 2));
    }
    ::close(fd);
    bytes->resize(filled);
    return ReadResult::kRead;
}

void ReportDamage(const std::string& path, const FileIdentity& identity, size_t skipped, bool header,
                  bool truncated) {
    // Loads happen often; one line per damaged state of a file is enough.
    static std::mutex mutex;
    static std::string lastPath;
    static FileIdentity lastIdentity;
    std::lock_guard lock(mutex);
    if (path == lastPath && identity == lastIdentity) return;
    lastPath = path;
    lastIdentity = identity;
    DebugPrintf("settings file %s is damaged: %zu line(s) skipped%s%s; the readable keys are used", path.c_str(),
                skipped, header ? "" : ", header missing", truncated ? ", file larger than the read limit" : "");
}

// Reads and parses a settings file; a missing file gives an empty document.
ReadResult ReadDocument(const std::string& path, SettingsDocument* document, bool* nonEmpty,
                        RegParseResult* parse = nullptr) {
    std::string bytes;
    FileIdentity identity;
    const ReadResult result = ReadCapped(path, &bytes, &identity);
    *nonEmpty = !bytes.empty();
    if (result != ReadResult::kRead) return result;
    const bool truncated = bytes.size() > kSettingsMaxFileBytes;
    if (truncated) bytes.resize(kSettingsMaxFileBytes);
    const RegParseResult parsed = ParseRegText(bytes, document);
    if (truncated) document->damaged = true;
    if (document->damaged) ReportDamage(path, identity, parsed.skippedLines, parsed.headerFound, truncated);
    if (parse != nullptr) *parse = parsed;
    return result;
}

}  // namespace

// ---- Location --------------------------------------------------------------

std::string SettingsFilePath() {
    if (const char* explicitPath = std::getenv(kSettingsFileVariable); explicitPath != nullptr && *explicitPath) {
        return explicitPath;
    }
    std::string base;
    // XDG_CONFIG_HOME only counts when absolute.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        std::string homeDir = home != nullptr ? home : "";
        if (homeDir.empty()) {
            struct passwd entry {};
            struct passwd* result = nullptr;
            char buffer[4096];
            if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &result) == 0 && result != nullptr &&
                result->pw_dir != nullptr) {
                homeDir = result->pw_dir;
            }
        }
        if (homeDir.empty()) return {};
        base = homeDir + "/.config";
    }
    return base + "/vantix/registry.reg";
}

// ---- Snapshots and keys ----------------------------------------------------

SettingsKey::SettingsKey(std::shared_ptr<const SettingsDocument> document, std::string fullPath,
                         const SettingsKeyRecord* record)
    : document_(std::move(document)), fullPath_(std::move(fullPath)), record_(record) {}

std::string SettingsKey::Path() const {
    return fullPath_.size() > kSettingsUserHive.size() ? fullPath_.substr(kSettingsUserHive.size() + 1) : std::string();
}

bool SettingsKey::QueryDword(std::string_view name, uint32_t* value) const {
    const SettingsValueRecord* found = record_ != nullptr ? record_->Find(name) : nullptr;
    if (found == nullptr || found->type != kSettingsTypeDword || found->data.size() != 4) return false;
    *value = static_cast<uint32_t>(found->data[0]) | static_cast<uint32_t>(found->data[1]) << 8 |
             static_cast<uint32_t>(found->data[2]) << 16 | static_cast<uint32_t>(found->data[3]) << 24;
    return true;
}

bool SettingsKey::QueryBinary(std::string_view name, std::vector<uint8_t>* data) const {
    const SettingsValueRecord* found = record_ != nullptr ? record_->Find(name) : nullptr;
    if (found == nullptr || found->type != kSettingsTypeBinary) return false;
    *data = found->data;
    return true;
}

bool SettingsKey::QueryBinary(std::string_view name, std::span<uint8_t> buffer) const {
    const SettingsValueRecord* found = record_ != nullptr ? record_->Find(name) : nullptr;
    if (found == nullptr || found->type != kSettingsTypeBinary || found->data.size() != buffer.size()) return false;
    std::copy(found->data.begin(), found->data.end(), buffer.begin());
    return true;
}

bool SettingsKey::HasValue(std::string_view name) const {
    return record_ != nullptr && record_->Find(name) != nullptr;
}

std::vector<std::string> SettingsKey::ValueNames() const {
    std::vector<std::string> names;
    if (record_ == nullptr) return names;
    for (const auto& [order, value] : record_->values) names.push_back(value.name);
    return names;
}

std::optional<SettingsKey> SettingsKey::OpenSubkey(std::string_view relativePath) const {
    if (!ValidSettingsKeyPath(relativePath, false)) return std::nullopt;
    std::string spelling;
    const SettingsKeyRecord* record = nullptr;
    if (!document_->Find(fullPath_ + "\\" + std::string(relativePath), &spelling, &record)) return std::nullopt;
    return SettingsKey(document_, std::move(spelling), record);
}

bool SettingsKey::HasSubkey(std::string_view name) const { return OpenSubkey(name).has_value(); }

std::vector<std::string> SettingsKey::SubkeyNames() const {
    std::vector<std::string> names;
    const std::string prefix = fullPath_ + "\\";
    for (auto it = document_->keys.lower_bound(prefix); it != document_->keys.end() && StartsWithSettingsName(it->first, prefix);
         ++it) {
        const std::string_view rest = std::string_view(it->first).substr(prefix.size());
        const std::string_view child = rest.substr(0, rest.find('\\'));
        // Descendants are sorted, so all keys below one child are adjacent.
        if (names.empty() || !EqualSettingsNames(names.back(), child)) names.emplace_back(child);
    }
    return names;
}

SettingsSnapshot::SettingsSnapshot(std::shared_ptr<const SettingsDocument> document) : document_(std::move(document)) {}

SettingsSnapshot SettingsSnapshot::Load() { return LoadFile(SettingsFilePath()); }

SettingsSnapshot SettingsSnapshot::LoadFile(const std::string& path) {
    auto document = std::make_shared<SettingsDocument>();
    bool nonEmpty = false;
    if (!path.empty()) (void)ReadDocument(path, document.get(), &nonEmpty);
    return SettingsSnapshot(std::move(document));
}

std::optional<SettingsKey> SettingsSnapshot::OpenKey(std::string_view path) const {
    if (!ValidSettingsKeyPath(path, false)) return std::nullopt;
    std::string spelling;
    const SettingsKeyRecord* record = nullptr;
    if (!document_->Find(SettingsUserPath(path), &spelling, &record)) return std::nullopt;
    return SettingsKey(document_, std::move(spelling), record);
}

bool SettingsSnapshot::Damaged() const { return document_->damaged; }

std::optional<SettingsKey> OpenKeyForReading(std::string_view path) { return SettingsSnapshot::Load().OpenKey(path); }

// ---- Transactions ----------------------------------------------------------

struct SettingsTransaction::Change {
    enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue, kRequireMissingKey } kind;
    std::string fullPath;
    SettingsValueRecord value;
};

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}


// mkdir -p; directories created here are private to the user.
bool MakeDirectories(const std::string& directory) {
    struct stat status {};
    if (::stat(directory.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
    const std::string parent = DirectoryOf(directory);
    if (parent != directory && !MakeDirectories(parent)) return false;
    return ::mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

bool SyncDirectory(const std::string& directory) {
    FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

bool CopyFile(const std::string& from, const std::string& to) {
    FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return false;
    FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) return false;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        if (!WriteAll(out.get(), std::string_view(buffer, static_cast<size_t>(got)))) return false;
    }
    return ::fsync(out.get()) == 0 && out.Close();
}

// Keeps the damaged file as "<file>.damaged-<timestamp>" (a hard link, or a
// copy where links are not available).
bool SetDamagedFileAside(const std::string& path) {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        if (attempt > 0) {
            std::snprintf(suffix, sizeof suffix, ".damaged-%s-%d", stamp, attempt);
        } else {
            std::snprintf(suffix, sizeof suffix, ".damaged-%s", stamp);
        }
        const std::string aside = path + suffix;
        if (::link(path.c_str(), aside.c_str()) == 0 || (errno != EEXIST && CopyFile(path, aside))) {
            DebugPrintf("damaged settings file kept as %s", aside.c_str());
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// The file a path names: a symbolic link (or a chain of them) is followed to
// the file it points at, which need not exist yet, so that a linked settings
// file is replaced where it lives and a dangling link gets its target created
// instead of being replaced itself. False for a loop or an unreadable link.
bool ResolveLinks(const std::string& path, std::string* target) {
    constexpr int kMaxLinks = 40;  // as the kernel allows in one lookup
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            *target = std::move(current);
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<size_t>(length) >= link.size()) return false;
        link.resize(static_cast<size_t>(length));
        current = link[0] == '/' ? link : DirectoryOf(current) + "/" + link;
    }
    return false;
}

// Whether `target` may be replaced: it is missing, or a regular file that its
// permissions let this process write. The mode bits are checked as well as
// access(), since a process with override rights would otherwise replace a
// file its owner made read-only. *original gets its status when it exists.
bool MayReplace(const std::string& target, struct stat* original, bool* exists) {
    *exists = ::stat(target.c_str(), original) == 0;
    if (!*exists) return errno == ENOENT;
    return S_ISREG(original->st_mode) && (original->st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// Replaces `target` (no symbolic link) with `text`: written to a new file of
// a unique name beside it, synced and renamed over it, so the target is
// replaced whole or not at all. The temporary is made with O_EXCL|O_NOFOLLOW
// (a file or link planted under a guessed name is never written through), and
// making it first removes the temporaries that killed savers left behind.
// Refuses what MayReplace refuses; the new file keeps the old one's permissions.
bool ReplaceFile(const std::string& target, std::string_view text) {
    struct stat original {};
    bool exists = false;
    if (!MayReplace(target, &original, &exists)) return false;
    std::string temporary;
    FileDescriptor out(CreateTemporaryFile(DirectoryOf(target), &temporary));
    if (out.get() < 0) return false;
    if (exists) KeepPermissions(out.get(), original);
    if (!WriteAll(out.get(), text) || ::fsync(out.get()) != 0 || !out.Close() ||
        ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename is durable only once the directory is synced; the file
    // itself is in place either way, so a failure here is not reported.
    (void)SyncDirectory(DirectoryOf(target));
    return true;
}

}  // namespace

SettingsTransaction::SettingsTransaction() : SettingsTransaction(SettingsFilePath()) {}
SettingsTransaction::SettingsTransaction(std::string filePath) : filePath_(std::move(filePath)) {}
SettingsTransaction::~SettingsTransaction() = default;
SettingsTransaction::SettingsTransaction(SettingsTransaction&&) noexcept = default;
SettingsTransaction& SettingsTransaction::operator=(SettingsTransaction&&) noexcept = default;

bool SettingsTransaction::CreateKey(std::string_view path) {
    if (!ValidSettingsKeyPath(path, false)) return false;
    changes_.push_back(Change{Change::Kind::kCreateKey, SettingsUserPath(path), {}});
    return true;
}

bool SettingsTransaction::DeleteKey(std::string_view path) {
    if (!ValidSettingsKeyPath(path, false)) return false;
    changes_.push_back(Change{Change::Kind::kDeleteKey, SettingsUserPath(path), {}});
    return true;
}

bool SettingsTransaction::SetDword(std::string_view keyPath, std::string_view name, uint32_t value) {
    if (!ValidSettingsKeyPath(keyPath, false) || !ValidSettingsValueName(name)) return false;
    SettingsValueRecord record{std::string(name), kSettingsTypeDword,
                               {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)},
                               false};
    changes_.push_back(Change{Change::Kind::kSetValue, SettingsUserPath(keyPath), std::move(record)});
    return true;
}

bool SettingsTransaction::SetBinary(std::string_view keyPath, std::string_view name, std::span<const uint8_t> data) {
    if (!ValidSettingsKeyPath(keyPath, false) || !ValidSettingsValueName(name) || data.size() > kSettingsMaxValueBytes) return false;
    SettingsValueRecord record{std::string(name), kSettingsTypeBinary, {data.begin(), data.end()}, false};
    changes_.push_back(Change{Change::Kind::kSetValue, SettingsUserPath(keyPath), std::move(record)});
    return true;
}

bool SettingsTransaction::DeleteValue(std::string_view keyPath, std::string_view name) {
    if (!ValidSettingsKeyPath(keyPath, false) || !ValidSettingsValueName(name)) return false;
    changes_.push_back(Change{Change::Kind::kDeleteValue, SettingsUserPath(keyPath), {std::string(name), 0, {}, false}});
    return true;
}

bool SettingsTransaction::RequireMissingKey(std::string_view path) {
    if (!ValidSettingsKeyPath(path, false)) return false;
    changes_.push_back(Change{Change::Kind::kRequireMissingKey, SettingsUserPath(path), {}});
    return true;
}

bool SettingsTransaction::Commit() {
    if (committed_ || filePath_.empty()) return false;
    committed_ = true;
    std::string path;
    if (!ResolveLinks(filePath_, &path)) return false;
    if (!MakeDirectories(DirectoryOf(path))) return false;

    // The lock file is never removed: removing it would let two savers lock
    // different files of the same name. A link in its place is not followed,
    // so the lock never creates or touches a file elsewhere.
    FileDescriptor lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (lock.get() < 0) return false;
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }

    SettingsDocument document;
    bool nonEmpty = false;
    const ReadResult read = ReadDocument(path, &document, &nonEmpty);
    // A file that exists but cannot be read is not replaced: its keys would be lost.
    if (read == ReadResult::kError) return false;
    for (Change& change : changes_) {
        switch (change.kind) {
            case Change::Kind::kCreateKey:
                if (document.CreateKey(change.fullPath) == nullptr) return false;
                break;
            case Change::Kind::kDeleteKey:
                document.DeleteKey(change.fullPath);
                break;
            case Change::Kind::kSetValue: {
                SettingsKeyRecord* key = document.CreateKey(change.fullPath);
                if (key == nullptr || !document.SetValue(key, std::move(change.value))) return false;
                break;
            }
            case Change::Kind::kRequireMissingKey: {
                std::string spelling;
                const SettingsKeyRecord* record = nullptr;
                if (document.Find(change.fullPath, &spelling, &record)) return false;
                break;
            }
            case Change::Kind::kDeleteValue:
                if (const auto key = document.keys.find(change.fullPath); key != document.keys.end()) {
                    document.DeleteValue(&key->second, change.value.name);
                }
                break;
        }
    }
    const std::string text = document.Serialize();
    if (text.size() > kSettingsMaxFileBytes) return false;
    // A file that may not be replaced is left as it is, and nothing is set aside.
    struct stat original {};
    bool exists = false;
    if (!MayReplace(path, &original, &exists)) return false;
    if (document.damaged && nonEmpty && !SetDamagedFileAside(path)) return false;
    return ReplaceFile(path, text);
}

// ---- Keys in files of their own ---------------------------------------------

namespace {

bool AtOrBelow(std::string_view fullPath, std::string_view ancestor) {
    return StartsWithSettingsName(fullPath, ancestor) &&
           (fullPath.size() == ancestor.size() || fullPath[ancestor.size()] == '\\');
}

// Writes `text` over `file`, or over the file a link at `file` names.
bool WriteReplacing(const std::string& file, std::string_view text) {
    std::string target;
    return ResolveLinks(file, &target) && ReplaceFile(target, text);
}

}  // namespace

bool ValidSettingsKeyPath(std::string_view path) { return ValidSettingsKeyPath(path, false); }

std::optional<std::string> SettingsKeyText(std::string_view path) {
    if (!ValidSettingsKeyPath(path, false)) return std::nullopt;
    const std::string file = SettingsFilePath();
    if (file.empty()) return std::nullopt;
    SettingsDocument store;
    bool nonEmpty = false;
    (void)ReadDocument(file, &store, &nonEmpty);
    std::string spelling;
    const SettingsKeyRecord* record = nullptr;
    if (!store.Find(SettingsUserPath(path), &spelling, &record)) return std::nullopt;
    // The separator sorts first, so the key's descendants directly follow it.
    SettingsDocument part;
    for (auto it = store.keys.lower_bound(spelling); it != store.keys.end() && AtOrBelow(it->first, spelling); ++it) {
        part.keys.emplace(it->first, it->second);
    }
    return part.Serialize();
}

SettingsExchangeResult ExportSettingsKey(std::string_view path, const std::string& file) {
    if (file.empty() || !ValidSettingsKeyPath(path, false)) return SettingsExchangeResult::kBadArgument;
    const std::optional<std::string> text = SettingsKeyText(path);
    if (!text) return SettingsExchangeResult::kNoSuchKey;
    return WriteReplacing(file, *text) ? SettingsExchangeResult::kDone : SettingsExchangeResult::kWriteFailed;
}

namespace {

// Reads `file` as a file to import below `root`; on refusal `problem` names
// the first line at fault (number 0 when no line is: an empty file).
SettingsExchangeResult ReadImport(const std::string& file, std::string_view root, SettingsDocument* imported,
                                  RegLine* problem) {
    if (file.empty() || !ValidSettingsKeyPath(root, false)) return SettingsExchangeResult::kBadArgument;
    bool nonEmpty = false;
    RegParseResult parsed;
    if (ReadDocument(file, imported, &nonEmpty, &parsed) != ReadResult::kRead) {
        return SettingsExchangeResult::kUnreadable;
    }
    const auto refuse = [&](const RegLine& line) {
        if (problem != nullptr) *problem = line;
        return SettingsExchangeResult::kNotSettings;
    };
    if (!parsed.headerFound) return refuse(parsed.firstLine);
    if (imported->damaged) return refuse(parsed.firstSkipped);
    if (imported->deletions) return refuse(parsed.firstDeletion);
    const std::string rootPath = SettingsUserPath(root);
    for (const auto& entry : imported->keys) {
        if (AtOrBelow(entry.first, rootPath)) continue;
        RegLine line;
        const auto found = parsed.keyLines.find(entry.first);
        if (found != parsed.keyLines.end()) {
            line.number = found->second;
            line.text = "[" + entry.first + "]";
        }
        return refuse(line);
    }
    return SettingsExchangeResult::kDone;
}

}  // namespace

SettingsExchangeResult CheckSettingsImport(const std::string& file, std::string_view root, RegLine* problem) {
    SettingsDocument imported;
    return ReadImport(file, root, &imported, problem);
}

SettingsExchangeResult ImportSettingsFile(const std::string& file, std::string_view root) {
    SettingsDocument imported;
    const SettingsExchangeResult read = ReadImport(file, root, &imported, nullptr);
    if (read != SettingsExchangeResult::kDone) return read;
    SettingsTransaction transaction;
    for (auto& [path, record] : imported.keys) {
        transaction.changes_.push_back(SettingsTransaction::Change{SettingsTransaction::Change::Kind::kCreateKey, path, {}});
        for (auto& [order, value] : record.values) {
            transaction.changes_.push_back(
                SettingsTransaction::Change{SettingsTransaction::Change::Kind::kSetValue, path, std::move(value)});
        }
    }
    return transaction.Commit() ? SettingsExchangeResult::kDone : SettingsExchangeResult::kWriteFailed;
}

SettingsExchangeResult DeleteSettingsKey(std::string_view path) {
    if (!ValidSettingsKeyPath(path, false)) return SettingsExchangeResult::kBadArgument;
    if (!SettingsSnapshot::Load().OpenKey(path)) return SettingsExchangeResult::kNoSuchKey;
    SettingsTransaction transaction;
    transaction.DeleteKey(path);
    return transaction.Commit() ? SettingsExchangeResult::kDone : SettingsExchangeResult::kWriteFailed;
}

}  // namespace vantix
