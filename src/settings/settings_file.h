#pragma once
// The per-user settings store: what Windows keeps under HKEY_CURRENT_USER,
// kept here in a text file in the registry editor's export format, so that
// the file imports into a Windows registry editor unchanged:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Morvek\VantixQ720LXK9Sdk\Camera_00]
//   "Size"=dword:00000000
//   "ExposureEx"=hex:00,00,00,00,00,00,f0,3f
//
// The file is $VANTIX_REGISTRY, else $XDG_CONFIG_HOME/vantix/registry.reg
// (XDG_CONFIG_HOME defaults to ~/.config). It is written as UTF-8 with CRLF
// line ends, which the registry editor imports as it is; key and value names
// here are ASCII. Reading also takes LF line ends, a UTF-8 byte-order mark and
// the editor's own UTF-16LE exports.
//
// Reading works on a snapshot of the file. Writing is a transaction: under an
// exclusive flock on "<file>.lock" the current file is read again, the
// caller's changes are applied, and the result is written to a new file of a
// unique name beside it ("<file>.<pid>-<n>.tmp", never one that exists),
// synced and renamed over the file. A crash therefore leaves either the old or
// the new file, and processes saving different keys at the same time keep
// each other's keys. A settings path that is a symbolic link is written
// through: the file it names is replaced (or created, for a dangling link).
// A file that is not a regular file, or whose permissions do not let the
// process write it (a read-only file counts as such even for the superuser),
// is never replaced: the save fails.
//
// A damaged file is read line by line: every line that parses is kept, the
// rest is skipped, and the damage is reported once on the debug output. The
// next save sets the damaged file aside as "<file>.damaged-<timestamp>"
// before it replaces it.
//
// Paths given to this interface are relative to HKEY_CURRENT_USER and
// separated by backslashes ("Software\\Morvek\\VantixQ720LXK9Sdk"). Key paths
// and value names compare without regard to ASCII case, as in the registry,
// and keep the spelling they were created with. The value name "" is the
// key's default value ("@" in the file).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantix {

inline constexpr char kSettingsFileVariable[] = "VANTIX_REGISTRY";

// Registry value types as they appear in the file ("hex(N):").
inline constexpr uint32_t kSettingsTypeString = 1;
inline constexpr uint32_t kSettingsTypeBinary = 3;
inline constexpr uint32_t kSettingsTypeDword = 4;

// Limits on what is read and written. A file beyond them counts as damaged:
// its first kSettingsMaxFileBytes are read and what lies beyond a limit is
// skipped. A transaction that would exceed them fails and writes nothing.
inline constexpr size_t kSettingsMaxFileBytes = size_t{16} << 20;
inline constexpr size_t kSettingsMaxLineBytes = size_t{4} << 20;  // fits the largest value's hex text
inline constexpr size_t kSettingsMaxValueBytes = size_t{1} << 20;
inline constexpr size_t kSettingsMaxKeys = 10000;
inline constexpr size_t kSettingsMaxValues = 100000;
inline constexpr size_t kSettingsMaxNameLength = 16383;

// The settings file in use; empty when no location can be determined.
std::string SettingsFilePath();

class SettingsDocument;
struct SettingsKeyRecord;
enum class SettingsExchangeResult;

// A key of a snapshot. Stays valid (and unchanged) after the file changes.
class SettingsKey {
public:
    // Path relative to HKEY_CURRENT_USER, in the spelling of the file.
    std::string Path() const;

    // A REG_DWORD value. Leaves *value unchanged when the value is missing or
    // of another type.
    bool QueryDword(std::string_view name, uint32_t* value) const;
    // A REG_BINARY value, whole.
    bool QueryBinary(std::string_view name, std::vector<uint8_t>* data) const;
    // A REG_BINARY value of exactly buffer.size() bytes; any other size counts
    // as missing and leaves the buffer unchanged.
    bool QueryBinary(std::string_view name, std::span<uint8_t> buffer) const;
    bool HasValue(std::string_view name) const;
    std::vector<std::string> ValueNames() const;

    // A key below this one; relativePath may name several levels.
    std::optional<SettingsKey> OpenSubkey(std::string_view relativePath) const;
    bool HasSubkey(std::string_view name) const;
    // Names of the direct subkeys, in case-insensitive order.
    std::vector<std::string> SubkeyNames() const;

private:
    friend class SettingsSnapshot;
    SettingsKey(std::shared_ptr<const SettingsDocument> document, std::string fullPath,
                const SettingsKeyRecord* record);

    std::shared_ptr<const SettingsDocument> document_;
    std::string fullPath_;               // with the hive, as spelled in the file
    const SettingsKeyRecord* record_;  // null for a key that only exists as a parent of others
};

// The content of the settings file at one moment.
class SettingsSnapshot {
public:
    // Reads the settings file; a missing or unreadable file has no keys.
    static SettingsSnapshot Load();
    static SettingsSnapshot LoadFile(const std::string& path);

    // Fails when the key does not exist. A key exists when it has a section
    // of its own or is the parent of one.
    std::optional<SettingsKey> OpenKey(std::string_view path) const;
    // True when lines were skipped or the header was missing.
    bool Damaged() const;

private:
    explicit SettingsSnapshot(std::shared_ptr<const SettingsDocument> document);
    std::shared_ptr<const SettingsDocument> document_;
};

// Opens a key of a fresh snapshot of the settings file.
std::optional<SettingsKey> OpenKeyForReading(std::string_view path);

// One save. The changes are recorded here and applied to the file as it is at
// Commit, in the order recorded. Setting a value creates its key; creating a
// key makes its parents exist.
class SettingsTransaction {
public:
    SettingsTransaction();  // on SettingsFilePath()
    explicit SettingsTransaction(std::string filePath);
    ~SettingsTransaction();
    SettingsTransaction(const SettingsTransaction&) = delete;
    SettingsTransaction& operator=(const SettingsTransaction&) = delete;
    SettingsTransaction(SettingsTransaction&&) noexcept;
    SettingsTransaction& operator=(SettingsTransaction&&) noexcept;

    // These fail (and record nothing) for an empty path component, a control
    // character in a name or a name or value beyond the limits.
    bool CreateKey(std::string_view path);
    bool DeleteKey(std::string_view path);  // with its subkeys
    bool SetDword(std::string_view keyPath, std::string_view name, uint32_t value);
    bool SetBinary(std::string_view keyPath, std::string_view name, std::span<const uint8_t> data);
    bool DeleteValue(std::string_view keyPath, std::string_view name);
    // Makes Commit write nothing and fail when the key exists by then, so
    // that first-use defaults never overwrite what another process saved.
    bool RequireMissingKey(std::string_view path);

    // Writes the file. False, with the file unchanged, when the location is
    // not writable, the current file exists but cannot be read, or the result
    // would exceed the limits. A transaction commits at most once.
    bool Commit();

private:
    friend SettingsExchangeResult ImportSettingsFile(const std::string& file, std::string_view root);
// What ImportSettingsFile would answer, changing nothing; a refused file's
// first line at fault in `problem` (number 0 when none is: an empty file).
struct RegLine;
SettingsExchangeResult CheckSettingsImport(const std::string& file, std::string_view root, RegLine* problem);
    struct Change;
    std::string filePath_;
    std::vector<Change> changes_;
    bool committed_ = false;
};

// ---- Keys in files of their own ---------------------------------------------
// A key with its subkeys can be copied out of the store into a file of the
// same format (so the copy also imports into a Windows registry editor) and
// merged back in later, here or on another machine.

enum class SettingsExchangeResult {
    kDone,
    kBadArgument,  // empty file name or invalid key path
    kNoSuchKey,    // the key to export or delete is not in the store
    kUnreadable,   // the file to import is missing, not a regular file, or cannot be read
    kNotSettings,  // the file to import is not a whole settings file, or holds keys outside the root
    kWriteFailed,  // the target could not be written; it is unchanged
};

// A key path this interface takes: backslash-separated components, none
// empty or longer than 255 characters, no control characters.
bool ValidSettingsKeyPath(std::string_view path);

// The key at `path` (relative to HKEY_CURRENT_USER) and every key below it, as
// the text of a settings file: the header, then one section per key with a
// section of its own, in the store's order. Nothing when the key does not
// exist in a fresh snapshot of the store.
std::optional<std::string> SettingsKeyText(std::string_view path);

// Writes SettingsKeyText(path) to `file`: to a new file beside it, synced, then
// renamed over it, so `file` is replaced whole or not at all. A symbolic link
// is followed and the file it names is replaced.
SettingsExchangeResult ExportSettingsKey(std::string_view path, const std::string& file);

// Merges a settings file into the store, as the registry editor imports one:
// its keys are created and its values set, other keys and values stay. The
// file must be whole, since a cut or damaged file would restore half a camera:
// its header present, every line readable, within the read limits, no
// deletion entries ("[-key]" or "name"=-), and every key at or below `root`
// (relative to HKEY_CURRENT_USER). Otherwise, or when the store cannot be
// saved, nothing changes. The merge is one transaction.
SettingsExchangeResult ImportSettingsFile(const std::string& file, std::string_view root);
// What ImportSettingsFile would answer, changing nothing; a refused file's
// first line at fault in `problem` (number 0 when none is: an empty file).
struct RegLine;
SettingsExchangeResult CheckSettingsImport(const std::string& file, std::string_view root, RegLine* problem);

// Removes the key at `path` with its subkeys in one transaction; kNoSuchKey
// (and no write) when it does not exist.
SettingsExchangeResult DeleteSettingsKey(std::string_view path);

}  // namespace vantix
