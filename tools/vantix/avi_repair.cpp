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

uint64_t Padded(uint32_t size) { return uint64_t{size} + (size & 1u); }

// Where the header fields to patch lie: the bodies of "avih" and of the
// first stream's "strh".
struct HeaderPlaces {
    uint64_t mainHeader = 0;
    uint64_t streamHeader = 0;
};

bool FindHeaders(const File& file, uint64_t listAt, uint32_t listSize, HeaderPlaces* places) {
    const uint64_t end = listAt + 8 + listSize;
    for (uint64_t at = listAt + 12; at + 8 <= end;) {
        Chunk chunk{};
        if (!ReadChunk(file, at, &chunk)) return false;
        if (Is(chunk.id, "avih") && chunk.size >= 56 && places->mainHeader == 0) places->mainHeader = at + 8;
        if (Is(chunk.id, "LIST") && chunk.size >= 4) {
            char form[4];
            if (!file.Read(at + 8, form, 4)) return false;
            if (Is(form, "strl") && places->streamHeader == 0) {
                Chunk strh{};
                if (ReadChunk(file, at + 12, &strh) && Is(strh.id, "strh") && strh.size >= 56) {
                    places->streamHeader = at + 20;
                }
            }
        }
        at += 8 + Padded(chunk.size);
    }
    return places->mainHeader != 0 && places->streamHeader != 0;
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

    // Every whole data chunk is kept; the first incomplete or foreign one
    // (the old index, or whatever a cut left) ends the frames.
    std::vector<uint8_t> index;
    uint64_t end = movi + 4;
    uint32_t frames = 0;
    for (;;) {
        Chunk chunk{};
        if (end + 8 > fileBytes || !ReadChunk(file, end, &chunk)) break;
        const uint64_t next = end + 8 + Padded(chunk.size);
        const bool junk = Is(chunk.id, "JUNK");
        if ((!IsStreamChunk(chunk.id) && !junk) || next > fileBytes) break;
        // The index and the headers must still fit the 32-bit RIFF size.
        if (next - 8 + 8 + index.size() + 32 > kMaxRiffBytes) break;
        if (!junk) {
            uint8_t entry[16];
            std::memcpy(entry, chunk.id, 4);
            const uint32_t fields[3] = {kKeyframe, static_cast<uint32_t>(end - movi), chunk.size};
            for (int f = 0; f < 3; ++f) {
                for (int i = 0; i < 4; ++i) entry[4 + 4 * f + i] = static_cast<uint8_t>(fields[f] >> (8 * i));
            }
            index.insert(index.end(), entry, entry + 16);
            if (std::memcmp(chunk.id + 2, "db", 2) == 0 || std::memcmp(chunk.id + 2, "dc", 2) == 0) ++frames;
        }
        end = next;
    }

    uint8_t idx1[8] = {'i', 'd', 'x', '1'};
    const auto indexBytes = static_cast<uint32_t>(index.size());
    for (int i = 0; i < 4; ++i) idx1[4 + i] = static_cast<uint8_t>(indexBytes >> (8 * i));
    uint32_t flags = 0;
    uint8_t flagBytes[4];
    if (!file.Read(places.mainHeader + 12, flagBytes, 4)) {
        result.error = "cannot read the main header";
        return result;
    }
    for (int i = 0; i < 4; ++i) flags |= static_cast<uint32_t>(flagBytes[i]) << (8 * i);
    const uint64_t riffEnd = end + 8 + indexBytes;
    const bool written = file.Truncate(end) && file.Write(end, idx1, sizeof idx1) &&
                         file.Write(end + 8, index.data(), index.size()) &&
                         file.WriteLe32(4, static_cast<uint32_t>(riffEnd - 8)) &&
                         file.WriteLe32(movi - 4, static_cast<uint32_t>(end - movi)) &&
                         file.WriteLe32(places.mainHeader + 12, flags | kHasIndex) &&
                         file.WriteLe32(places.mainHeader + 16, frames) &&
                         file.WriteLe32(places.streamHeader + 32, frames) && file.Sync();
    if (!written) {
        result.error = std::string("writing the repaired file failed: ") + std::strerror(errno);
        return result;
    }
    result.repaired = true;
    result.frames = frames;
    result.cutBytes = fileBytes > end ? fileBytes - end : 0;
    return result;
}

}  // namespace cli
