#include "output/avi_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/temporary_file.h"

namespace vantix {

namespace {

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifWasCaptureFile = 0x10000;
constexpr uint32_t kAviifKeyframe = 0x10;
constexpr uint32_t kStartFramesPerSecond = 30;
constexpr uint32_t kRate = 10000000;  // dwRate; dwScale carries the frame time in its units
constexpr size_t kHeaderBytes = sizeof(AviFileHeader);

#pragma pack(push, 1)
struct ChunkHeader {
    char id[4];
    uint32_t size;
};

// The head of an "indx" super index or an "ix00" standard index, after its
// chunk header.
struct IndexHead {
    uint16_t longsPerEntry;
    uint8_t subType;
    uint8_t type;  // kIndexOfIndexes or kIndexOfChunks
    uint32_t entriesInUse;
    char chunkId[4];
    uint32_t baseOffsetLow;  // standard index: qwBaseOffset; super index: reserved
    uint32_t baseOffsetHigh;
    uint32_t reserved;
};

struct SuperIndexEntry {
    uint64_t offset;  // of the "ix00" chunk in the file
    uint32_t size;    // of that chunk, its header included
    uint32_t duration;  // frames it indexes
};
#pragma pack(pop)
static_assert(sizeof(IndexHead) == 24);
static_assert(sizeof(SuperIndexEntry) == 16);
constexpr size_t kChunkHeaderBytes = sizeof(ChunkHeader);
constexpr uint8_t kIndexOfIndexes = 0;
constexpr uint8_t kIndexOfChunks = 1;
constexpr uint32_t kStandardIndexEntryBytes = 8;  // data offset from the base, size
constexpr uint32_t kStandardIndexHeadBytes = kChunkHeaderBytes + sizeof(IndexHead);
constexpr uint32_t kIdx1HeadBytes = kChunkHeaderBytes;

// The "odml" list: "LIST", size, "odml", then "dmlh" with a 248-byte body
// whose first word is the total frame count (the rest is reserved).
constexpr uint32_t kDmlhBodyBytes = 248;
constexpr uint32_t kOdmlListBytes = 12 + kChunkHeaderBytes + kDmlhBodyBytes;
// Everything of the first RIFF's headers before the extension: up to the
// end of the format.
constexpr size_t kHeaderPrefixBytes = offsetof(AviFileHeader, moviList);
// "LIST", movi size, "movi".
constexpr size_t kMoviListHeadBytes = sizeof(AviFileHeader) - kHeaderPrefixBytes;
// A later RIFF's start: "RIFF", size, "AVIX", "LIST", movi size, "movi".
constexpr uint32_t kLaterRiffHeadBytes = 24;

constexpr size_t SuperIndexBytes(uint32_t entries) {
    return kChunkHeaderBytes + sizeof(IndexHead) + size_t{entries} * sizeof(SuperIndexEntry);
}
constexpr size_t DmlhTotalAt(uint32_t entries) {
    return SuperIndexBytes(entries) + 12 + kChunkHeaderBytes;
}

template <typename T>
void PutAt(std::vector<uint8_t>& bytes, size_t at, const T& value) {
    std::memcpy(bytes.data() + at, &value, sizeof(value));
}

void SetTag(char (&field)[4], const char* tag) {
    std::memcpy(field, tag, 4);
}

// Writes all pieces at offset. The array is consumed. False on any error.
bool WriteAllAt(int fd, iovec* pieces, int count, uint64_t offset) {
    while (count > 0) {
        if (pieces->iov_len == 0) {
            ++pieces;
            --count;
            continue;
        }
        const ssize_t written = pwritev(fd, pieces, count, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        offset += static_cast<uint64_t>(written);
        auto done = static_cast<size_t>(written);
        while (count > 0 && done >= pieces->iov_len) {
            done -= pieces->iov_len;
            ++pieces;
            --count;
        }
        if (done > 0) {
            pieces->iov_base = static_cast<uint8_t*>(pieces->iov_base) + done;
            pieces->iov_len -= done;
        }
    }
    return true;
}

bool IsOutOfSpace(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

uint32_t ClampToUint32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

// Bytes per second at framesPer100s frames per 100 s, for dwMaxBytesPerSec.
uint32_t BytesPerSecond(uint32_t frameBytes, uint32_t framesPer100s) {
    return ClampToUint32((uint64_t{frameBytes} + kChunkHeaderBytes) * framesPer100s / 100);
}

bool IsSupportedDepth(int32_t bitsPerPixel) {
    return bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32 ||
           bitsPerPixel == 48 || bitsPerPixel == 64;
}

}  // namespace

AviRecorder::AviRecorder(uint64_t maxRiffBytes, uint32_t superIndexEntries)
    : maxRiffBytes_(std::min(maxRiffBytes, kMaxRiffBytes)), superIndexEntries_(std::max<uint32_t>(superIndexEntries, 1)) {}

AviRecorder::~AviRecorder() {
    CloseAvi();
}

bool AviRecorder::IsOpen() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

uint32_t AviRecorder::FrameCount() const {
    std::lock_guard lock(mutex_);
    return frameCount_;
}

uint32_t AviRecorder::RiffCount() const {
    std::lock_guard lock(mutex_);
    return riffNumber_ + 1;
}

uint32_t AviRecorder::FrameBytes() const {
    std::lock_guard lock(mutex_);
    return frameBytes_;
}

uint32_t AviRecorder::FramesPer100s() const {
    std::lock_guard lock(mutex_);
    return framesPer100s_;
}

uint32_t AviRecorder::RiffBytes() const {
    std::lock_guard lock(mutex_);
    return riffBytes_;
}

uint32_t AviRecorder::MoviBytes() const {
    std::lock_guard lock(mutex_);
    return moviBytes_;
}

void AviRecorder::SetFramesPer100s(uint32_t framesPer100s) {
    std::lock_guard lock(mutex_);
    if (framesPer100s != 0) {
        framesPer100s_ = framesPer100s;
    }
}

uint32_t AviRecorder::MeasureFramesPer100s(uint32_t frames, uint32_t elapsedMs) {
    if (frames == 0 || elapsedMs == 0) {
        return kDefaultFramesPer100s;
    }
    return std::max<uint32_t>(ClampToUint32(uint64_t{frames} * 100000 / elapsedMs), 1);
}

AviLayout AviRecorder::LayoutFor(int32_t width, int32_t height, uint64_t framesAtMost) const {
    const int64_t stride = width > 0 && height > 0 ? CDibImage::StrideFor(width, 24) : 0;
    if (stride <= 0) {
        return AviLayout::kSingleRiff;  // OpenAvi refuses it either way
    }
    // Each frame costs its chunk and its "idx1" entry.
    const uint64_t perFrame = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) + kChunkHeaderBytes +
                              sizeof(AviIndexEntry);
    const uint64_t fixed = (kHeaderBytes - 8) + kIdx1HeadBytes;
    const bool fits = fixed <= maxRiffBytes_ && framesAtMost <= (maxRiffBytes_ - fixed) / perFrame;
    return fits ? AviLayout::kSingleRiff : AviLayout::kOpenDml;
}

int AviRecorder::OpenAvi(const char* fileName, int32_t width, int32_t height, int32_t bitsPerPixel,
                         AviLayout layout) {
    std::lock_guard lock(mutex_);
    CloseLocked();
    if (fileName == nullptr || width <= 0 || height <= 0 || !IsSupportedDepth(bitsPerPixel)) {
        return 0;
    }
    const int64_t stride = CDibImage::StrideFor(width, 24);
    if (stride <= 0) {
        return 0;
    }
    const uint64_t frameBytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    const bool openDml = layout == AviLayout::kOpenDml;
    const size_t extensionBytes = openDml ? SuperIndexBytes(superIndexEntries_) + kOdmlListBytes : 0;
    // The headers, one frame and its indexes must fit in the RIFF size.
    const uint64_t indexes = kIdx1HeadBytes + sizeof(AviIndexEntry) +
                             (openDml ? kStandardIndexHeadBytes + kStandardIndexEntryBytes : 0);
    const uint64_t smallestFile = (kHeaderBytes - 8) + extensionBytes + kChunkHeaderBytes + frameBytes + indexes;
    if (smallestFile > maxRiffBytes_) {
        return 0;
    }
    if (!frame24_.Create(width, height, 24) || (bitsPerPixel == 16 && !gray8_.Create(width, height, 8))) {
        frame24_.Release();
        gray8_.Release();
        return 0;
    }

    if (!OpenFileLocked(fileName)) {
        frame24_.Release();
        gray8_.Release();
        return 0;
    }

    width_ = width;
    height_ = height;
    bitsPerPixel_ = static_cast<uint16_t>(bitsPerPixel);
    frameBytes_ = static_cast<uint32_t>(frameBytes);
    framesPer100s_ = kDefaultFramesPer100s;
    frameCount_ = 0;
    firstRiffFrames_ = 0;
    index_.clear();
    layout_ = layout;
    headerBytes_ = static_cast<uint32_t>(kHeaderBytes + extensionBytes);
    riffStart_ = 0;
    riffNumber_ = 0;
    riffClosed_ = false;
    hasIdx1_ = false;

    AviFileHeader& h = header_;
    h = AviFileHeader{};
    SetTag(h.riff, "RIFF");
    SetTag(h.aviForm, "AVI ");
    SetTag(h.hdrlList, "LIST");
    h.hdrlSize = 200;
    SetTag(h.hdrl, "hdrl");
    SetTag(h.avih, "avih");
    h.avihSize = sizeof(AviMainHeader);
    h.main.dwMicroSecPerFrame = 1000000 / kStartFramesPerSecond;
    h.main.dwMaxBytesPerSec = BytesPerSecond(frameBytes_, kStartFramesPerSecond * 100);
    h.main.dwFlags = kAvifHasIndex | kAvifWasCaptureFile;
    h.main.dwStreams = 1;
    h.main.dwSuggestedBufferSize = frameBytes_ + kChunkHeaderBytes;
    h.main.dwWidth = static_cast<uint32_t>(width);
    h.main.dwHeight = static_cast<uint32_t>(height);
    SetTag(h.strlList, "LIST");
    h.strlSize = 124;
    SetTag(h.strl, "strl");
    SetTag(h.strh, "strh");
    h.strhSize = sizeof(AviStreamHeader);
    SetTag(h.stream.fccType, "vids");
    SetTag(h.stream.fccHandler, "DIB ");
    h.stream.dwScale = kRate / kStartFramesPerSecond;
    h.stream.dwRate = kRate;
    h.stream.dwSuggestedBufferSize = frameBytes_ + kChunkHeaderBytes;
    SetTag(h.strf, "strf");
    h.strfSize = sizeof(BitmapInfoHeader);
    h.format.biSize = sizeof(BitmapInfoHeader);
    h.format.biWidth = width;
    h.format.biHeight = height;
    h.format.biPlanes = 1;
    h.format.biBitCount = 24;
    SetTag(h.moviList, "LIST");
    SetTag(h.movi, "movi");
    static_assert(offsetof(AviFileHeader, moviSize) + 8 == kHeaderBytes);
    extension_.clear();
    if (openDml) {
        // The super index grows "strl", it and the "odml" list grow "hdrl".
        const auto superIndexBytes = static_cast<uint32_t>(SuperIndexBytes(superIndexEntries_));
        h.strlSize += superIndexBytes;
        h.hdrlSize += superIndexBytes + kOdmlListBytes;
        extension_.assign(extensionBytes, 0);
        PutAt(extension_, 0, ChunkHeader{{'i', 'n', 'd', 'x'}, superIndexBytes - 8});
        PutAt(extension_, kChunkHeaderBytes,
              IndexHead{sizeof(SuperIndexEntry) / 4, 0, kIndexOfIndexes, 0, {'0', '0', 'd', 'b'}, 0, 0, 0});
        PutAt(extension_, superIndexBytes, ChunkHeader{{'L', 'I', 'S', 'T'}, kOdmlListBytes - 8});
        std::memcpy(extension_.data() + superIndexBytes + 8, "odml", 4);
        PutAt(extension_, superIndexBytes + 12, ChunkHeader{{'d', 'm', 'l', 'h'}, kDmlhBodyBytes});
    }

    // A file recorded into in place keeps its old contents until the first
    // frame; any other gets its headers now, so a full disk shows at once.
    if ((placed_ || !inPlace_) && !WriteHeaderLocked()) {
        DiscardFileLocked();
        frame24_.Release();
        gray8_.Release();
        return 0;
    }
    writeFailed_ = false;
    riffBytes_ = headerBytes_ - 8;  // everything after the RIFF size field (224 in a single RIFF)
    moviBytes_ = 4;  // the "movi" form type
    return 1;
}

bool AviRecorder::OpenFileLocked(const char* fileName) {
    struct stat existing {};
    if (stat(fileName, &existing) != 0) {
        struct stat link {};
        // A dangling symbolic link is refused like any other name that can't
        // be created.
        if (errno != ENOENT || lstat(fileName, &link) == 0) {
            return false;
        }
        targetPath_ = fileName;
        fd_ = CreateTemporaryFile(DirectoryOf(targetPath_), &temporaryPath_);
        return fd_ >= 0;
    }
    // A device is written as it is, never replaced; there is no older file
    // to keep. Non-blocking, so that a FIFO without a reader fails at once
    // (one with a reader fails at the first write, which needs a seek).
    if (!S_ISREG(existing.st_mode)) {
        fd_ = open(fileName, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            return false;
        }
        fcntl(fd_, F_SETFL, 0);
        inPlace_ = true;
        placed_ = true;
        return true;
    }
    // The file must be writable, as opening it for writing would require.
    // Non-blocking, should the name have become a FIFO since stat().
    const int writable = open(fileName, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writable < 0) {
        return false;
    }
    char* resolved = realpath(fileName, nullptr);
    if (resolved == nullptr || fstat(writable, &existing) != 0 || !S_ISREG(existing.st_mode)) {
        std::free(resolved);
        close(writable);
        return false;
    }
    // A symbolic link stays a link: the file it points at is replaced.
    targetPath_ = resolved;
    std::free(resolved);
    fd_ = CreateTemporaryFile(DirectoryOf(targetPath_), &temporaryPath_);
    if (fd_ >= 0) {
        close(writable);
        KeepPermissions(fd_, existing);
        return true;
    }
    // No new file can be made beside the target: record into it in place.
    fcntl(writable, F_SETFL, 0);
    fd_ = writable;
    inPlace_ = true;
    return true;
}

bool AviRecorder::WriteHeaderLocked() {
    bool written = false;
    if (layout_ == AviLayout::kSingleRiff) {
        iovec piece{&header_, sizeof(header_)};
        written = WriteAllAt(fd_, &piece, 1, 0);
    } else {
        iovec pieces[3] = {{&header_, kHeaderPrefixBytes},
                           {extension_.data(), extension_.size()},
                           {&header_.moviList, kMoviListHeadBytes}};
        written = WriteAllAt(fd_, pieces, 3, 0);
    }
    return written && (riffNumber_ == 0 || WriteRiffHeaderLocked());
}

bool AviRecorder::WriteRiffHeaderLocked() {
    struct {
        ChunkHeader riff;
        char avix[4];
        ChunkHeader list;
        char movi[4];
    } head{{{'R', 'I', 'F', 'F'}, riffBytes_}, {'A', 'V', 'I', 'X'}, {{'L', 'I', 'S', 'T'}, moviBytes_}, {'m', 'o', 'v', 'i'}};
    static_assert(sizeof(head) == kLaterRiffHeadBytes);
    iovec piece{&head, sizeof(head)};
    return WriteAllAt(fd_, &piece, 1, riffStart_);
}

uint64_t AviRecorder::MoviFormLocked() const {
    return riffNumber_ == 0 ? headerBytes_ - 4 : riffStart_ + kLaterRiffHeadBytes - 4;
}

bool AviRecorder::FitsLocked(uint64_t riffBytes, uint64_t frames) const {
    uint64_t indexes = 0;
    if (riffNumber_ == 0) {
        indexes += kIdx1HeadBytes + sizeof(AviIndexEntry) * frames;
    }
    if (layout_ == AviLayout::kOpenDml) {
        indexes += kStandardIndexHeadBytes + kStandardIndexEntryBytes * frames;
    }
    return riffBytes + indexes <= maxRiffBytes_;
}

bool AviRecorder::EmptyInPlaceLocked() {
    if (ftruncate(fd_, 0) != 0) {
        return false;  // the old contents are still there, and stay
    }
    placed_ = true;
    return WriteHeaderLocked();
}

bool AviRecorder::PlaceLocked() {
    if (rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0) {
        return false;
    }
    temporaryPath_.clear();
    placed_ = true;
    return true;
}

void AviRecorder::DiscardFileLocked() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporaryPath_.empty()) {
        unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
    targetPath_.clear();
    inPlace_ = false;
    placed_ = false;
}

int AviRecorder::PrepareFrame(const CDibImage& image) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || image.IsEmpty() || image.Width() != width_ || image.Height() != height_ ||
        image.BitsPerPixel() != bitsPerPixel_) {
        return 0;
    }
    // Frame row k (the bottom of the picture first) is memory row
    // height - 1 - k of the output image (the top first).
    const int32_t w = width_;
    const int32_t h = height_;
    switch (bitsPerPixel_) {
    case 8:
        // One row at a time, so the expansion through the colour table and
        // the reversal take one pass. In picture coordinates of BlitFrom,
        // source row k lands on destination row h - 1 - k.
        for (int32_t k = 0; k < h; ++k) {
            const Rect row{0, k, w, k + 1};
            frame24_.BlitFrom(image, &row, 0, h - 1 - k);
        }
        break;
    case 16:
        // 10 significant bits; brighter samples saturate instead of wrapping.
        for (int32_t k = 0; k < h; ++k) {
            const uint8_t* in = image.Row(h - 1 - k);
            uint8_t* out = gray8_.Row(k);
            for (int32_t x = 0; x < w; ++x) {
                uint16_t v;
                std::memcpy(&v, in + 2 * static_cast<size_t>(x), sizeof(v));
                out[x] = static_cast<uint8_t>(std::min(v >> 2, 255));
            }
        }
        frame24_.BlitFrom(gray8_, nullptr, 0, 0);
        break;
    case 24:
        for (int32_t k = 0; k < h; ++k) {
            std::memcpy(frame24_.Row(k), image.Row(h - 1 - k), static_cast<size_t>(w) * 3);
        }
        break;
    case 32:
        for (int32_t k = 0; k < h; ++k) {
            const uint8_t* in = image.Row(h - 1 - k);
            uint8_t* out = frame24_.Row(k);
            for (int32_t x = 0; x < w; ++x, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        }
        break;
    default: {  // 48, 64: the high byte of each little-endian 16-bit B, G, R
        const size_t step = bitsPerPixel_ / 8;
        for (int32_t k = 0; k < h; ++k) {
            const uint8_t* in = image.Row(h - 1 - k);
            uint8_t* out = frame24_.Row(k);
            for (int32_t x = 0; x < w; ++x, in += step, out += 3) {
                out[0] = in[1];
                out[1] = in[3];
                out[2] = in[5];
            }
        }
        break;
    }
    }
    return 1;
}

AviFrameResult AviRecorder::WriteAviFrame() {
    std::lock_guard lock(mutex_);
    return WriteFrameLocked(frame24_.Bits());
}

AviFrameResult AviRecorder::WriteAviFrame(const uint8_t* frame) {
    std::lock_guard lock(mutex_);
    return WriteFrameLocked(frame);
}

AviFrameResult AviRecorder::WriteFrameLocked(const uint8_t* frame) {
    if (fd_ < 0 || frame == nullptr) {
        return AviFrameResult::kNotOpen;
    }
    if (writeFailed_) {
        return AviFrameResult::kWriteFailed;
    }
    if (inPlace_ && !placed_ && !EmptyInPlaceLocked()) {
        writeFailed_ = true;
        return AviFrameResult::kWriteFailed;
    }
    // After this frame the RIFF's indexes, one entry longer, must still fit;
    // an OpenDML file goes on in a new RIFF while its super index has room.
    if (!FitsLocked(uint64_t{riffBytes_} + kChunkHeaderBytes + frameBytes_, index_.size() + 1)) {
        if (layout_ != AviLayout::kOpenDml || riffNumber_ + 1 >= superIndexEntries_) {
            return AviFrameResult::kFileFull;
        }
        if (!StartNextRiffLocked()) {
            writeFailed_ = true;
            return AviFrameResult::kWriteFailed;
        }
    }
    try {
        index_.push_back(AviIndexEntry{{'0', '0', 'd', 'b'}, kAviifKeyframe, moviBytes_, frameBytes_});
    } catch (const std::bad_alloc&) {
        writeFailed_ = true;
        return AviFrameResult::kWriteFailed;
    }
    ChunkHeader chunk{{'0', '0', 'd', 'b'}, frameBytes_};
    iovec pieces[2] = {{&chunk, sizeof(chunk)}, {const_cast<uint8_t*>(frame), frameBytes_}};
    const uint64_t end = EndLocked();
    if (!WriteAllAt(fd_, pieces, 2, end)) {
        // Cut off the partial chunk: the file ends with the last whole frame.
        index_.pop_back();
        if (ftruncate(fd_, static_cast<off_t>(end)) != 0) {
            // CloseAvi writes the index at the same offset regardless.
        }
        writeFailed_ = true;
        return AviFrameResult::kWriteFailed;
    }
    riffBytes_ += kChunkHeaderBytes + frameBytes_;
    moviBytes_ += kChunkHeaderBytes + frameBytes_;
    ++frameCount_;
    if (riffNumber_ == 0) {
        ++firstRiffFrames_;
    }
    // The headers follow every frame, so that a recording never closed (its
    // program killed) still tells a reader its sizes and frames. Rewriting
    // them takes no new space.
    PatchHeaderLocked(hasIdx1_);
    if (!WriteHeaderLocked()) {
        writeFailed_ = true;
        return AviFrameResult::kWriteFailed;
    }
    // The first whole frame puts the recording in place of whatever file had
    // the name; until then that file stays as it was.
    if (!placed_ && !PlaceLocked()) {
        writeFailed_ = true;
        return AviFrameResult::kWriteFailed;
    }
    return AviFrameResult::kWritten;
}

bool AviRecorder::StartNextRiffLocked() {
    // A frame given up for the index (full disk) ends the recording here.
    if (!WriteIndexLocked() || writeFailed_) {
        return false;
    }
    PatchHeaderLocked(hasIdx1_);
    if (!WriteHeaderLocked()) {
        return false;
    }
    previousRiff_ = {riffStart_, riffBytes_, moviBytes_};
    riffStart_ = EndLocked();
    ++riffNumber_;
    riffBytes_ = kLaterRiffHeadBytes - 8;
    moviBytes_ = 4;
    index_.clear();
    riffClosed_ = false;
    return WriteRiffHeaderLocked();
}

void AviRecorder::DropEmptyRiffLocked() {
    if (ftruncate(fd_, static_cast<off_t>(riffStart_)) != 0) {
        // The header still says what the file holds; a reader skips the rest.
    }
    // The one before is closed: its indexes and sizes are written.
    --riffNumber_;
    riffStart_ = previousRiff_.start;
    riffBytes_ = previousRiff_.riffBytes;
    moviBytes_ = previousRiff_.moviBytes;
    index_.clear();
    riffClosed_ = true;
}

void AviRecorder::DropLastFrameLocked() {
    index_.pop_back();
    --frameCount_;
    if (riffNumber_ == 0) {
        --firstRiffFrames_;
    }
    riffBytes_ -= kChunkHeaderBytes + frameBytes_;
    moviBytes_ -= kChunkHeaderBytes + frameBytes_;
}

int AviRecorder::CloseAvi() {
    std::lock_guard lock(mutex_);
    return CloseLocked();
}

bool AviRecorder::WriteIndexLocked() {
    const bool openDml = layout_ == AviLayout::kOpenDml;
    for (;;) {
        const auto count = static_cast<uint32_t>(index_.size());
        const uint64_t end = EndLocked();
        // "ix00" closes the "movi" list: each entry is the offset of a frame's
        // pixels from the "movi" form type, and its size.
        std::vector<uint32_t> standard;
        if (openDml) {
            try {
                standard.resize((kStandardIndexHeadBytes + size_t{count} * kStandardIndexEntryBytes) / 4);
            } catch (const std::bad_alloc&) {
                return false;
            }
            const uint64_t base = MoviFormLocked();
            const ChunkHeader chunk{{'i', 'x', '0', '0'},
                                    static_cast<uint32_t>(sizeof(IndexHead) + count * kStandardIndexEntryBytes)};
            const IndexHead head{kStandardIndexEntryBytes / 4, 0, kIndexOfChunks, count, {'0', '0', 'd', 'b'},
                                 static_cast<uint32_t>(base), static_cast<uint32_t>(base >> 32), 0};
            std::memcpy(standard.data(), &chunk, sizeof(chunk));
            std::memcpy(standard.data() + 2, &head, sizeof(head));
            for (uint32_t i = 0; i < count; ++i) {
                standard[8 + 2 * i] = index_[i].dwChunkOffset + kChunkHeaderBytes;
                standard[9 + 2 * i] = index_[i].dwChunkLength;
            }
        }
        const auto standardBytes = static_cast<uint32_t>(standard.size() * 4);
        const bool idx1 = riffNumber_ == 0;
        const uint32_t size = count * static_cast<uint32_t>(sizeof(AviIndexEntry));
        ChunkHeader chunk{{'i', 'd', 'x', '1'}, size};
        iovec pieces[3] = {{standard.data(), standardBytes}, {&chunk, idx1 ? sizeof(chunk) : 0},
                           {index_.data(), idx1 ? size : 0}};
        if (WriteAllAt(fd_, pieces, 3, end)) {
            if (openDml) {
                const SuperIndexEntry entry{end, standardBytes, count};
                PutAt(extension_, kChunkHeaderBytes + sizeof(IndexHead) + riffNumber_ * sizeof(SuperIndexEntry),
                      entry);
                PutAt(extension_, kChunkHeaderBytes + offsetof(IndexHead, entriesInUse), riffNumber_ + 1);
                riffBytes_ += standardBytes;
                moviBytes_ += standardBytes;
            }
            if (idx1) {
                riffBytes_ += 8 + size;
                hasIdx1_ = true;
            }
            riffClosed_ = true;
            return true;
        }
        const int error = errno;
        if (ftruncate(fd_, static_cast<off_t>(end)) != 0 || !IsOutOfSpace(error)) {
            return false;
        }
        if (count == 0) {
            if (riffNumber_ == 0) {
                return false;
            }
            // A later RIFF whose last frame went for want of space: the file
            // ends with the RIFF before, which is whole.
            writeFailed_ = true;
            DropEmptyRiffLocked();
            return true;
        }
        // Out of space: give up the last frame to make room for the index.
        // The file stays playable, but the recording is no longer whole.
        writeFailed_ = true;
        DropLastFrameLocked();
        if (ftruncate(fd_, static_cast<off_t>(EndLocked())) != 0) {
            return false;
        }
    }
}

void AviRecorder::PatchHeaderLocked(bool hasIndex) {
    AviFileHeader& h = header_;
    // A later RIFF's sizes go into its own head (WriteRiffHeaderLocked).
    if (riffNumber_ == 0) {
        h.riffSize = riffBytes_;
        h.moviSize = moviBytes_;
    }
    // AVI 1.0 readers see the first RIFF; the stream's length and "dmlh"
    // count every frame.
    h.main.dwTotalFrames = firstRiffFrames_;
    h.stream.dwLength = frameCount_;
    if (layout_ == AviLayout::kOpenDml) {
        PutAt(extension_, DmlhTotalAt(superIndexEntries_), frameCount_);
    }
    h.main.dwMicroSecPerFrame = 100000000 / framesPer100s_;
    h.stream.dwScale = 1000000000 / framesPer100s_;
    h.main.dwMaxBytesPerSec = BytesPerSecond(frameBytes_, framesPer100s_);
    if (hasIndex) {
        h.main.dwFlags |= kAvifHasIndex;
    } else {
        h.main.dwFlags &= ~kAvifHasIndex;
    }
    static_assert(offsetof(AviFileHeader, riffSize) == 4);
    static_assert(offsetof(AviFileHeader, main.dwMicroSecPerFrame) == 32);
    static_assert(offsetof(AviFileHeader, main.dwTotalFrames) == 48);
    static_assert(offsetof(AviFileHeader, stream.dwScale) == 128);
    static_assert(offsetof(AviFileHeader, stream.dwLength) == 140);
}

int AviRecorder::CloseLocked() {
    if (fd_ < 0) {
        return 0;
    }
    // A recording closed before its first frame empties a file recorded into
    // in place now.
    if (inPlace_ && !placed_ && !writeFailed_ && !EmptyInPlaceLocked()) {
        writeFailed_ = true;
    }
    bool complete = false;
    if (placed_ || !writeFailed_) {
        // A later RIFF whose first frame failed is cut away.
        if (riffNumber_ > 0 && !riffClosed_ && index_.empty()) {
            DropEmptyRiffLocked();
        }
        const bool indexed = riffClosed_ || WriteIndexLocked();
        PatchHeaderLocked(hasIdx1_);
        // The header block lies inside the file already: rewriting it takes
        // no new space, so it succeeds on a full disk too.
        const bool patched = WriteHeaderLocked();
        const bool closed = close(fd_) == 0 || errno == EINTR;
        fd_ = -1;
        complete = indexed && hasIdx1_ && patched && closed && !writeFailed_;
        // Without frames the finished, empty recording takes the name now.
        if (!placed_) {
            complete = complete && PlaceLocked();
        }
    }
    // A recording that failed before its first whole frame leaves the file
    // that had the name as it was.
    DiscardFileLocked();
    writeFailed_ = false;
    index_.clear();
    index_.shrink_to_fit();
    frame24_.Release();
    gray8_.Release();
    return complete ? 1 : 0;
}

}  // namespace vantix
