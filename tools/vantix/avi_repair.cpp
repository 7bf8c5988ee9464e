#include "avi_repair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace cli {
namespace {

constexpr uint32_t kHasIndex = 0x10;
constexpr uint32_t kKeyframe = 0x10;
constexpr uint64_t kMaxRiffBytes = 0xFFFFFFFFu;
constexpr uint64_t kIdx1EntryBytes = 16;
// "ix00": chunk header, a 24-byte head, then (data offset, size) per frame.
constexpr uint64_t kStandardIndexHeadBytes = 32;
constexpr uint64_t kStandardIndexEntryBytes = 8;
// A later RIFF's start: "RIFF", size, "AVIX", "LIST", movi size, "movi".
constexpr uint64_t kLaterRiffHeadBytes = 24;
constexpr uint64_t kSuperIndexHeadBytes = 32;  // chunk header and the 24-byte head
constexpr uint64_t kSuperIndexEntryBytes = 16;

class File {
public:
    explicit File(const char* path) : fd_(open(path, O_RDWR | O_CLOEXEC)) {}
    ~File() {
        if (fd_ >= 0) close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    uint64_t Size() const {
        struct stat info {};
        return fstat(fd_, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    }
    bool Read(uint64_t at, void* out, size_t n) const {
        auto* p = static_cast<uint8_t*>(out);
        while (n > 0) {
            const ssize_t got = pread(fd_, p, n, static_cast<off_t>(at));
            if (got <= 0) return false;
            p += got;
            at += static_cast<uint64_t>(got);
            n -= static_cast<size_t>(got);
        }
        return true;
    }
    bool Write(uint64_t at, const void* data, size_t n) {
        const auto* p = static_cast<const uint8_t*>(data);
        while (n > 0) {
            const ssize_t put = pwrite(fd_, p, n, static_cast<off_t>(at));
            if (put <= 0) return false;
            p += put;
            at += static_cast<uint64_t>(put);
            n -= static_cast<size_t>(put);
        }
        return true;
    }
    bool WriteLe32(uint64_t at, uint32_t value) {
        uint8_t bytes[4];
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
        return Write(at, bytes, 4);
    }
    bool Truncate(uint64_t size) { return ftruncate(fd_, static_cast<off_t>(size)) == 0; }
    bool Sync() { return fsync(fd_) == 0; }

private:
    int fd_;
};

struct Chunk {
    char id[4];
    uint32_t size;
};

bool ReadChunk(const File& file, uint64_t at, Chunk* chunk) {
    uint8_t bytes[8];
    if (!file.Read(at, bytes, sizeof bytes)) return false;
    std::memcpy(chunk->id, bytes, 4);
    chunk->size = static_cast<uint32_t>(bytes[4]) | static_cast<uint32_t>(bytes[5]) << 8 |
                  static_cast<uint32_t>(bytes[6]) << 16 | static_cast<uint32_t>(bytes[7]) << 24;
    return true;
}

bool Is(const char* id, const char* tag) { return std::memcmp(id, tag, 4) == 0; }

// A stream's data chunk: two digits (the stream) and "db", "dc", "wb" or "pc".
bool IsStreamChunk(const char* id) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(id[0]) && digit(id[1]) &&
           (std::memcmp(id + 2, "db", 2) == 0 || std::memcmp(id + 2, "dc", 2) == 0 ||
            std::memcmp(id + 2, "wb", 2) == 0 || std::memcmp(id + 2, "pc", 2) == 0);
}

// A stream's standard index: "ix" and two digits.
bool IsStandardIndex(const char* id) {
    return id[0] == 'i' && id[1] == 'x' && id[2] >= '0' && id[2] <= '9' && id[3] >= '0' && id[3] <= '9';
}

bool IsFrame(const char* id) { return std::memcmp(id + 2, "db", 2) == 0 || std::memcmp(id + 2, "dc", 2) == 0; }

uint64_t Padded(uint32_t size) { return uint64_t{size} + (size & 1u); }

void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A four-character code.
void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

// Where the header fields to patch lie: the bodies of "avih" and of the
// first stream's "strh", and in an OpenDML file its super index ("indx" in
// that stream's list) and the "dmlh" body.
struct HeaderPlaces {
    uint64_t mainHeader = 0;
    uint64_t streamHeader = 0;
    uint64_t superIndex = 0;  // of the "indx" chunk
    uint32_t superIndexSize = 0;
    uint64_t dmlh = 0;
};

bool FindHeaders(const File& file, uint64_t listAt, uint32_t listSize, HeaderPlaces* places) {
    const uint64_t end = listAt + 8 + listSize;
    for (uint64_t at = listAt + 12; at + 8 <= end;) {
        Chunk chunk{};
        if (!ReadChunk(file, at, &chunk)) return false;
        if (Is(chunk.id, "avih") && chunk.size >= 56 && places->mainHeader == 0) places->mainHeader = at + 8;
        if (Is(chunk.id, "dmlh") && chunk.size >= 4 && places->dmlh == 0) places->dmlh = at + 8;
        if (Is(chunk.id, "LIST") && chunk.size >= 4) {
            char form[4];
            if (!file.Read(at + 8, form, 4)) return false;
            const bool firstStream = Is(form, "strl") && places->streamHeader == 0;
            if (firstStream || Is(form, "odml")) {
                // The lists inside: the first stream's headers, or "dmlh".
                const uint64_t listEnd = at + 8 + chunk.size;
                for (uint64_t inner = at + 12; inner + 8 <= listEnd;) {
                    Chunk child{};
                    if (!ReadChunk(file, inner, &child)) return false;
                    if (firstStream && Is(child.id, "strh") && child.size >= 56) places->streamHeader = inner + 8;
                    if (firstStream && Is(child.id, "indx") && child.size >= kSuperIndexHeadBytes - 8) {
                        places->superIndex = inner;
                        places->superIndexSize = child.size;
                    }
                    if (Is(child.id, "dmlh") && child.size >= 4 && places->dmlh == 0) places->dmlh = inner + 8;
                    inner += 8 + Padded(child.size);
                }
            }
        }
        at += 8 + Padded(chunk.size);
    }
    return places->mainHeader != 0 && places->streamHeader != 0;
}

// One RIFF of the file as found: its whole data chunks and its standard
// index, if one was written.
struct Riff {
    uint64_t start = 0;     // of "RIFF"
    uint64_t moviForm = 0;  // of its "movi" form type
    uint64_t framesEnd = 0;  // after its last whole data chunk
    std::vector<Chunk> chunks;
    std::vector<uint64_t> offsets;  // of each chunk, from moviForm
    uint32_t frames = 0;
    uint64_t standardIndex = 0;  // of its "ix00", 0 if none
    uint32_t standardIndexBytes = 0;
};

uint64_t IndexBytes(bool openDml, bool first, uint64_t entries) {
    return (openDml ? kStandardIndexHeadBytes + kStandardIndexEntryBytes * entries : 0) +
           (first ? 8 + kIdx1EntryBytes * entries : 0);
}

// Walks the frames from the first "movi" on: every whole data chunk is kept;
// in an OpenDML file indexes are passed over and "AVIX" RIFFs followed; the
// first incomplete or foreign chunk (a plain file's "idx1", whatever a cut
// left) ends the walk.
std::vector<Riff> WalkFrames(const File& file, uint64_t fileBytes, uint64_t movi, bool openDml) {
    std::vector<Riff> riffs(1);
    riffs[0].moviForm = movi;
    riffs[0].framesEnd = movi + 4;
    for (uint64_t at = movi + 4;;) {
        Chunk chunk{};
        if (at + 8 > fileBytes || !ReadChunk(file, at, &chunk)) break;
        Riff& riff = riffs.back();
        const uint64_t next = at + 8 + Padded(chunk.size);
        if (Is(chunk.id, "RIFF") && openDml) {
            char form[16];  // "AVIX", "LIST", movi size, "movi"
            if (at + kLaterRiffHeadBytes > fileBytes || !file.Read(at + 8, form, sizeof form) ||
                !Is(form, "AVIX") || !Is(form + 4, "LIST") || !Is(form + 12, "movi")) {
                break;
            }
            Riff later;
            later.start = at;
            later.moviForm = at + kLaterRiffHeadBytes - 4;
            later.framesEnd = at + kLaterRiffHeadBytes;
            riffs.push_back(later);
            at += kLaterRiffHeadBytes;
            continue;
        }
        if (next > fileBytes) break;
        if (IsStreamChunk(chunk.id)) {
            // The RIFF, this chunk and its indexes must fit the 32-bit RIFF size.
            const uint64_t riffBytes = next - (riff.start + 8);
            if (riffBytes + IndexBytes(openDml, riffs.size() == 1, riff.chunks.size() + 1) > kMaxRiffBytes) break;
            riff.chunks.push_back(chunk);
            riff.offsets.push_back(at - riff.moviForm);
            riff.frames += IsFrame(chunk.id) ? 1 : 0;
            riff.framesEnd = next;
        } else if (openDml && IsStandardIndex(chunk.id)) {
            riff.standardIndex = at;
            riff.standardIndexBytes = static_cast<uint32_t>(8 + Padded(chunk.size));
        } else if (!Is(chunk.id, "JUNK") && !(openDml && Is(chunk.id, "idx1"))) {
            break;
        }
        at = next;
    }
    // A RIFF begun without a whole frame is dropped, as is whatever follows.
    while (riffs.size() > 1 && riffs.back().chunks.empty()) riffs.pop_back();
    return riffs;
}

// "ix00" of a RIFF's chunks: offsets of the pixels from its "movi" form type.
std::vector<uint8_t> StandardIndex(const Riff& riff) {
    std::vector<uint8_t> out;
    const auto count = static_cast<uint32_t>(riff.chunks.size());
    PutTag(out, "ix00");
    PutLe(out, 24 + kStandardIndexEntryBytes * count, 4);
    PutLe(out, 2, 2);  // longs per entry
    out.push_back(0);  // sub-type
    out.push_back(1);  // an index of chunks
    PutLe(out, count, 4);
    PutTag(out, "00db");
    if (count > 0) std::memcpy(out.data() + out.size() - 4, riff.chunks[0].id, 4);
    PutLe(out, riff.moviForm, 8);
    PutLe(out, 0, 4);
    for (uint32_t i = 0; i < count; ++i) {
        PutLe(out, riff.offsets[i] + 8, 4);
        PutLe(out, riff.chunks[i].size, 4);
    }
    return out;
}

std::vector<uint8_t> Idx1(const Riff& riff) {
    std::vector<uint8_t> out;
    PutTag(out, "idx1");
    PutLe(out, kIdx1EntryBytes * riff.chunks.size(), 4);
    for (size_t i = 0; i < riff.chunks.size(); ++i) {
        out.insert(out.end(), riff.chunks[i].id, riff.chunks[i].id + 4);
        PutLe(out, kKeyframe, 4);
        PutLe(out, riff.offsets[i], 4);
        PutLe(out, riff.chunks[i].size, 4);
    }
    return out;
}

}  // namespace

AviRepairResult RepairAvi(const char* path) {
    AviRepairResult result;
    File file(path);
    if (!file.IsOpen()) {
        result.error = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return result;
    }
    const uint64_t fileBytes = file.Size();
    char form[12];
    if (!file.Read(0, form, sizeof form) || !Is(form, "RIFF") || !Is(form + 8, "AVI ")) {
        result.error = "not an AVI file (no RIFF AVI header)";
        return result;
    }
    // The top-level lists up to "movi": the header list first, then the frames.
    HeaderPlaces places;
    uint64_t movi = 0;  // offset of the "movi" form type
    for (uint64_t at = 12; at + 12 <= fileBytes && movi == 0;) {
        Chunk chunk{};
        char type[4] = {};
        if (!ReadChunk(file, at, &chunk) || !file.Read(at + 8, type, 4)) break;
        if (Is(chunk.id, "LIST") && Is(type, "hdrl")) {
            if (at + 8 + chunk.size > fileBytes || !FindHeaders(file, at, chunk.size, &places)) break;
        } else if (Is(chunk.id, "LIST") && Is(type, "movi")) {
            movi = at + 8;
            break;
        }
        at += 8 + Padded(chunk.size);
    }
    if (places.mainHeader == 0 || movi == 0) {
        result.error = "the headers are damaged: no stream header or no frame list";
        return result;
    }

    const bool openDml = places.superIndex != 0;
    const std::vector<Riff> riffs = WalkFrames(file, fileBytes, movi, openDml);
    const uint64_t superIndexEntries =
        openDml ? (places.superIndexSize + 8 - kSuperIndexHeadBytes) / kSuperIndexEntryBytes : 0;
    if (openDml && riffs.size() > superIndexEntries) {
        result.error = "the super index has no room for the file's " + std::to_string(riffs.size()) + " RIFFs";
        return result;
    }
    // The RIFFs before the last were closed by the recorder, their indexes
    // written; the last one gets its indexes now.
    for (size_t r = 0; r + 1 < riffs.size(); ++r) {
        if (riffs[r].standardIndex == 0) {
            result.error = "RIFF " + std::to_string(r) + " of the file has no index of its own";
            return result;
        }
    }
    const Riff& last = riffs.back();
    const bool lastIsFirst = riffs.size() == 1;
    const uint64_t end = last.framesEnd;
    std::vector<uint8_t> standard;
    if (openDml) standard = StandardIndex(last);
    const std::vector<uint8_t> idx1 = lastIsFirst ? Idx1(last) : std::vector<uint8_t>();
    const uint64_t moviEnd = end + standard.size();
    const uint64_t riffEnd = moviEnd + idx1.size();

    uint32_t frames = 0;
    for (const Riff& riff : riffs) frames += riff.frames;
    uint32_t flags = 0;
    uint8_t flagBytes[4];
    if (!file.Read(places.mainHeader + 12, flagBytes, 4)) {
        result.error = "cannot read the main header";
        return result;
    }
    for (int i = 0; i < 4; ++i) flags |= static_cast<uint32_t>(flagBytes[i]) << (8 * i);
    bool written = file.Truncate(end) && file.Write(end, standard.data(), standard.size()) &&
                   file.Write(moviEnd, idx1.data(), idx1.size()) &&
                   file.WriteLe32(last.start + 4, static_cast<uint32_t>(riffEnd - last.start - 8)) &&
                   file.WriteLe32(last.moviForm - 4, static_cast<uint32_t>(moviEnd - last.moviForm)) &&
                   file.WriteLe32(places.mainHeader + 12, flags | kHasIndex) &&
                   file.WriteLe32(places.mainHeader + 16, riffs[0].frames) &&
                   file.WriteLe32(places.streamHeader + 32, frames);
    if (openDml && written) {
        // The super index: one entry per RIFF, the others cleared.
        std::vector<uint8_t> entries;
        for (size_t r = 0; r < superIndexEntries; ++r) {
            const bool used = r < riffs.size();
            const bool isLast = r + 1 == riffs.size();
            PutLe(entries, !used ? 0 : isLast ? end : riffs[r].standardIndex, 8);
            PutLe(entries, !used ? 0 : isLast ? standard.size() : riffs[r].standardIndexBytes, 4);
            PutLe(entries, used ? riffs[r].frames : 0, 4);
        }
        written = file.WriteLe32(places.superIndex + 12, static_cast<uint32_t>(riffs.size())) &&
                  file.Write(places.superIndex + kSuperIndexHeadBytes, entries.data(), entries.size()) &&
                  (places.dmlh == 0 || file.WriteLe32(places.dmlh, frames));
    }
    if (!written || !file.Sync()) {
        result.error = std::string("writing the repaired file failed: ") + std::strerror(errno);
        return result;
    }
    result.repaired = true;
    result.frames = frames;
    result.riffs = static_cast<uint32_t>(riffs.size());
    result.cutBytes = fileBytes > end ? fileBytes - end : 0;
    return result;
}

}  // namespace cli
