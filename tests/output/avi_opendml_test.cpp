// Recordings past one RIFF: the OpenDML layout, checked by a reader written
// here from the format (it reads headers and indexes, never whole frames, so
// it copes with files of many gigabytes), by ffprobe when it is installed,
// and after kills, cuts and a full disk through `vantix avi repair`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "avi_repair.h"
#include "avi_size_limit.h"
#include "output/avi_recorder.h"
#include "support/file_size_limit.h"

namespace vantix {
namespace {

struct TempFile {
    explicit TempFile(const std::string& name)
        : path("/tmp/vantix-odml-" + std::to_string(getpid()) + "-" + name) {
        unlink(path.c_str());
    }
    ~TempFile() { unlink(path.c_str()); }
    const char* c_str() const { return path.c_str(); }
    std::string path;
};

class Reader {
public:
    explicit Reader(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat info {};
        size_ = fd_ >= 0 && fstat(fd_, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    }
    ~Reader() {
        if (fd_ >= 0) close(fd_);
    }
    uint64_t Size() const { return size_; }
    bool Has(uint64_t at, uint64_t n) const { return at + n <= size_; }
    std::string Tag(uint64_t at) const {
        char tag[4] = {};
        return pread(fd_, tag, 4, static_cast<off_t>(at)) == 4 ? std::string(tag, 4) : std::string();
    }
    uint32_t U32(uint64_t at) const {
        uint32_t v = 0;
        return pread(fd_, &v, 4, static_cast<off_t>(at)) == 4 ? v : 0xDEADBEEF;
    }
    uint64_t U64(uint64_t at) const { return U32(at) | uint64_t{U32(at + 4)} << 32; }

private:
    int fd_;
    uint64_t size_ = 0;
};

// What an OpenDML reader finds in a recording.
struct Recording {
    uint32_t hdrlSize = 0, strlSize = 0;
    uint64_t firstFrame = 0;
    uint32_t frameBytes = 0;
    uint32_t mainFrames = 0, streamLength = 0, dmlhFrames = 0;
    bool hasSuperIndex = false;
    std::vector<uint64_t> frames;      // offsets of the frame chunks, in file order
    std::vector<uint32_t> riffFrames;  // frames of each RIFF
    std::vector<uint32_t> stamps;      // the first word of each frame's pixels
};

// Walks one "movi" list: its frames and, at its end, its "ix00", which must
// index exactly those frames.
void ReadMovi(const Reader& r, uint64_t list, bool openDml, Recording& rec) {
    ASSERT_EQ(r.Tag(list), "LIST");
    ASSERT_EQ(r.Tag(list + 8), "movi");
    const uint64_t form = list + 8;
    const uint64_t end = form + r.U32(list + 4);
    ASSERT_TRUE(r.Has(form, end - form)) << "movi runs past the end";
    const size_t first = rec.frames.size();
    bool indexed = false;
    for (uint64_t at = form + 4; at < end;) {
        const std::string id = r.Tag(at);
        const uint32_t size = r.U32(at + 4);
        ASSERT_LE(at + 8 + size, end) << id << " runs past its movi list";
        if (id == "00db") {
            ASSERT_FALSE(indexed) << "a frame after the RIFF's index";
            ASSERT_EQ(size, rec.frameBytes);
            rec.frames.push_back(at);
            rec.stamps.push_back(r.U32(at + 8));
        } else {
            ASSERT_EQ(id, "ix00");
            ASSERT_TRUE(openDml);
            const uint32_t count = r.U32(at + 12);
            ASSERT_EQ(size, 24 + 8 * count);
            EXPECT_EQ(r.U32(at + 8), 2u | 1u << 24);  // two longs per entry, an index of chunks
            EXPECT_EQ(r.Tag(at + 16), "00db");
            const uint64_t base = r.U64(at + 20);
            ASSERT_EQ(count, rec.frames.size() - first);
            for (uint32_t i = 0; i < count; ++i) {
                ASSERT_EQ(base + r.U32(at + 32 + 8 * i) - 8, rec.frames[first + i]) << "ix00 entry " << i;
                ASSERT_EQ(r.U32(at + 36 + 8 * i), rec.frameBytes);
            }
            indexed = true;
        }
        at += 8 + size;
    }
    ASSERT_TRUE(indexed || !openDml) << "a RIFF without its ix00";
    rec.riffFrames.push_back(static_cast<uint32_t>(rec.frames.size() - first));
}

// Reads a finished recording; any structural fault fails the calling test.
void ReadRecording(const std::string& path, Recording& rec) {
    const Reader r(path);
    ASSERT_TRUE(r.Has(0, 232));
    ASSERT_EQ(r.Tag(0), "RIFF");
    ASSERT_EQ(r.Tag(8), "AVI ");
    // The headers sit where a single-RIFF file has them, up to the format.
    ASSERT_EQ(r.Tag(12), "LIST");
    rec.hdrlSize = r.U32(16);
    ASSERT_EQ(r.Tag(24), "avih");
    ASSERT_EQ(r.Tag(100), "strh");
    ASSERT_EQ(r.Tag(172), "strf");
    rec.strlSize = r.U32(92);
    rec.mainFrames = r.U32(48);
    rec.streamLength = r.U32(140);
    rec.frameBytes = r.U32(180 + 20) != 0 ? r.U32(180 + 20) : r.U32(60) - 8;  // biSizeImage or the buffer size
    uint64_t superIndex = 0;
    if (rec.strlSize > 124) {
        ASSERT_EQ(r.Tag(220), "indx");
        superIndex = 220;
        rec.hasSuperIndex = true;
        const uint64_t odml = 96 + rec.strlSize;
        ASSERT_EQ(r.Tag(odml), "LIST");
        ASSERT_EQ(r.Tag(odml + 8), "odml");
        ASSERT_EQ(r.Tag(odml + 12), "dmlh");
        rec.dmlhFrames = r.U32(odml + 20);
    }
    const uint64_t movi = 20 + rec.hdrlSize;
    rec.firstFrame = movi + 12;
    ReadMovi(r, movi, rec.hasSuperIndex, rec);
    const uint64_t moviEnd = movi + 8 + r.U32(movi + 4);
    // The first RIFF is an AVI 1.0 file: its idx1 indexes its frames.
    ASSERT_EQ(r.Tag(moviEnd), "idx1");
    ASSERT_EQ(r.U32(moviEnd + 4), 16 * rec.riffFrames[0]);
    for (uint32_t i = 0; i < rec.riffFrames[0]; ++i) {
        const uint64_t e = moviEnd + 8 + 16 * uint64_t{i};
        ASSERT_EQ(r.Tag(e), "00db");
        ASSERT_EQ(r.U32(e + 4), 0x10u);
        ASSERT_EQ(movi + 8 + r.U32(e + 8), rec.frames[i]) << "idx1 entry " << i;
    }
    uint64_t riff = 0;
    std::vector<uint64_t> standardIndexes;
    for (;;) {
        const uint64_t next = riff + 8 + r.U32(riff + 4);
        ASSERT_LE(next, r.Size()) << "RIFF at " << riff << " runs past the end";
        if (next == r.Size()) break;
        ASSERT_TRUE(rec.hasSuperIndex) << "more after the only RIFF";
        ASSERT_EQ(r.Tag(next), "RIFF");
        ASSERT_EQ(r.Tag(next + 8), "AVIX");
        riff = next;
        ReadMovi(r, riff + 12, true, rec);
    }
    EXPECT_EQ(rec.mainFrames, rec.riffFrames[0]);
    EXPECT_EQ(rec.streamLength, rec.frames.size());
    if (rec.hasSuperIndex) {
        EXPECT_EQ(rec.dmlhFrames, rec.frames.size());
        ASSERT_EQ(r.U32(superIndex + 8), 4u);  // four longs per entry, an index of indexes
        ASSERT_EQ(r.U32(superIndex + 12), rec.riffFrames.size());
        uint64_t riffAt = 0;
        for (size_t i = 0; i < rec.riffFrames.size(); ++i) {
            const uint64_t e = superIndex + 32 + 16 * i;
            const uint64_t ix = r.U64(e);
            EXPECT_EQ(r.Tag(ix), "ix00") << "super index entry " << i;
            EXPECT_EQ(r.U32(e + 8), 8 + r.U32(ix + 4));
            EXPECT_EQ(r.U32(e + 12), rec.riffFrames[i]);
            EXPECT_GT(ix, riffAt);
            riffAt = ix;
        }
    }
}

std::string CommandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        pclose(pipe);
    }
    return output;
}

bool HaveFfprobe() { return std::system("command -v ffprobe >/dev/null 2>&1") == 0; }

// Packets ffprobe's demuxer reads from the file (-1 when it fails).
long FfprobePackets(const std::string& path) {
    const std::string out = CommandOutput("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                                          "stream=nb_read_packets -of csv=p=0 " + path + " 2>&1");
    char* end = nullptr;
    const long n = std::strtol(out.c_str(), &end, 10);
    return end != out.c_str() ? n : -1;
}

// Frames of width x height, each with its number in its first word.
class Frames {
public:
    Frames(AviRecorder& recorder, int32_t width, int32_t height) : recorder_(recorder) {
        pixels_.resize(static_cast<size_t>((width * 3 + 3) / 4 * 4) * static_cast<size_t>(height));
        for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = static_cast<uint8_t>(i * 7);
    }
    AviFrameResult Write() {
        std::memcpy(pixels_.data(), &next_, 4);
        const AviFrameResult result = recorder_.WriteAviFrame(pixels_.data());
        if (result == AviFrameResult::kWritten) ++next_;
        return result;
    }
    uint32_t Written() const { return next_; }

private:
    AviRecorder& recorder_;
    std::vector<uint8_t> pixels_;
    uint32_t next_ = 0;
};

void ExpectFramesInOrder(const Recording& rec, uint32_t count) {
    ASSERT_EQ(rec.frames.size(), count);
    for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(rec.stamps[i], i) << "frame " << i;
}

// Small RIFFs: 64 KiB hold about 190 frames of 10 x 10.
constexpr uint64_t kSmallRiff = 64 * 1024;
constexpr uint32_t kSmallFrames = 1000;

void RecordSmall(const std::string& path, uint32_t frames, uint64_t riffLimit = kSmallRiff) {
    AviRecorder recorder(riffLimit);
    ASSERT_EQ(recorder.OpenAvi(path.c_str(), 10, 10, 24, AviLayout::kOpenDml), 1);
    Frames source(recorder, 10, 10);
    for (uint32_t i = 0; i < frames; ++i) ASSERT_EQ(source.Write(), AviFrameResult::kWritten) << i;
    EXPECT_GT(recorder.RiffCount(), 1u);
    ASSERT_EQ(recorder.CloseAvi(), 1);
}

TEST(AviOpenDml, TheLayoutFollowsWhatTheRecordingCanReach) {
    AviRecorder recorder;
    // 640 x 480: 921600-byte frames, 4660 of them and their idx1 fit 4 GiB.
    EXPECT_EQ(recorder.LayoutFor(640, 480, 4660), AviLayout::kSingleRiff);
    EXPECT_EQ(recorder.LayoutFor(640, 480, 4661), AviLayout::kOpenDml);
    EXPECT_EQ(recorder.LayoutFor(3856, 2764, 1u << 30), AviLayout::kOpenDml);
    AviRecorder small(224 + 8 + 3 * (320 + 8 + 16));
    EXPECT_EQ(small.LayoutFor(10, 10, 3), AviLayout::kSingleRiff);
    EXPECT_EQ(small.LayoutFor(10, 10, 4), AviLayout::kOpenDml);
}

TEST(AviOpenDml, AShortRecordingIsOneRiffThatOlderReadersTake) {
    TempFile file("short.avi");
    {
        AviRecorder recorder;
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 10, 10, 24, AviLayout::kOpenDml), 1);
        Frames source(recorder, 10, 10);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(source.Write(), AviFrameResult::kWritten);
        EXPECT_EQ(recorder.RiffCount(), 1u);
    }
    Recording rec;
    ReadRecording(file.path, rec);
    ExpectFramesInOrder(rec, 3);
    EXPECT_TRUE(rec.hasSuperIndex);
    // The reserved headers grow the lists; everything before them stays.
    EXPECT_EQ(rec.strlSize, 124u + 32 + 16 * AviRecorder::kSuperIndexEntries);
    EXPECT_EQ(rec.hdrlSize, 200u + 32 + 16 * AviRecorder::kSuperIndexEntries + 268);
    if (HaveFfprobe()) {
        EXPECT_EQ(FfprobePackets(file.path), 3);
    }
}

TEST(AviOpenDml, ARecordingGoesOnThroughFurtherRiffs) {
    TempFile file("riffs.avi");
    RecordSmall(file.path, kSmallFrames);
    Recording rec;
    ReadRecording(file.path, rec);
    ExpectFramesInOrder(rec, kSmallFrames);
    EXPECT_GE(rec.riffFrames.size(), 5u);
    for (const uint32_t n : rec.riffFrames) EXPECT_GT(n, 0u);
    if (HaveFfprobe()) {
        EXPECT_EQ(FfprobePackets(file.path), kSmallFrames);
    }
}

TEST(AviOpenDml, AFullSuperIndexEndsTheRecordingWithAValidFile) {
    TempFile file("full-index.avi");
    {
        AviRecorder recorder(8192, 3);
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 10, 10, 24, AviLayout::kOpenDml), 1);
        Frames source(recorder, 10, 10);
        AviFrameResult result = AviFrameResult::kWritten;
        for (int i = 0; i < 1000 && result == AviFrameResult::kWritten; ++i) result = source.Write();
        EXPECT_EQ(result, AviFrameResult::kFileFull);
        EXPECT_EQ(recorder.RiffCount(), 3u);
        ASSERT_EQ(recorder.CloseAvi(), 1);
    }
    Recording rec;
    ReadRecording(file.path, rec);
    EXPECT_EQ(rec.riffFrames.size(), 3u);
}

// `vantix record` names the size limit when it, and nothing else, ended a
// recording, in either layout; the frames it reports count every RIFF.
TEST(AviOpenDml, TheToolTellsTheSizeLimitFromTheFile) {
    constexpr uint64_t kRiff = 8192;
    TempFile single("limit-single.avi");
    TempFile openDml("limit-odml.avi");
    for (const AviLayout layout : {AviLayout::kSingleRiff, AviLayout::kOpenDml}) {
        const TempFile& file = layout == AviLayout::kSingleRiff ? single : openDml;
        AviRecorder recorder(kRiff, 3);
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 10, 10, 24, layout), 1);
        Frames source(recorder, 10, 10);
        ASSERT_EQ(source.Write(), AviFrameResult::kWritten);
        ASSERT_EQ(recorder.CloseAvi(), 1);
        EXPECT_FALSE(cli::AviSizeLimitReached(file.path, 10, 10, kRiff)) << "one frame";
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 10, 10, 24, layout), 1);
        AviFrameResult result = AviFrameResult::kWritten;
        while (result == AviFrameResult::kWritten) result = source.Write();
        ASSERT_EQ(result, AviFrameResult::kFileFull);
        ASSERT_EQ(recorder.CloseAvi(), 1);
        EXPECT_TRUE(cli::AviSizeLimitReached(file.path, 10, 10, kRiff));
        EXPECT_EQ(cli::AviFramesRecorded(file.path), source.Written() - 1);
    }
    EXPECT_FALSE(cli::AviSizeLimitReached("/nonexistent-vantix.avi", 10, 10));
}

// Ends the calling process at once, as a crash or kill -9 would.
[[noreturn]] void Killed() {
    kill(getpid(), SIGKILL);
    _exit(3);
}

TEST(AviOpenDml, AProgramKilledInALaterRiffLeavesAFileThatPlaysAndRepairs) {
    TempFile file("killed.avi");
    const pid_t child = fork();
    if (child == 0) {
        AviRecorder recorder(kSmallRiff);
        if (recorder.OpenAvi(file.c_str(), 10, 10, 24, AviLayout::kOpenDml) != 1) _exit(2);
        Frames source(recorder, 10, 10);
        for (uint32_t i = 0; i < kSmallFrames; ++i) {
            if (source.Write() != AviFrameResult::kWritten) _exit(2);
        }
        Killed();
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child's recording failed";
    const Reader killed(file.path);
    EXPECT_EQ(killed.U32(140), kSmallFrames) << "the headers count every frame written";
    if (HaveFfprobe()) {
        EXPECT_EQ(FfprobePackets(file.path), kSmallFrames);
    }

    const cli::AviRepairResult repaired = cli::RepairAvi(file.c_str());
    ASSERT_TRUE(repaired.repaired) << repaired.error;
    EXPECT_EQ(repaired.frames, kSmallFrames);
    Recording rec;
    ReadRecording(file.path, rec);
    ExpectFramesInOrder(rec, kSmallFrames);
    EXPECT_EQ(repaired.riffs, rec.riffFrames.size());
}

TEST(AviOpenDml, ACutAnywhereRepairsToTheLastWholeFrame) {
    TempFile whole("whole.avi");
    RecordSmall(whole.path, 600);
    Recording original;
    ReadRecording(whole.path, original);
    std::vector<char> data(Reader(whole.path).Size());
    {
        FILE* in = std::fopen(whole.c_str(), "rb");
        ASSERT_NE(in, nullptr);
        ASSERT_EQ(std::fread(data.data(), 1, data.size(), in), data.size());
        std::fclose(in);
    }
    // Cuts inside later RIFFs, at their starts and inside their heads, in
    // the first RIFF's indexes, and at random.
    const uint64_t second = original.frames[original.riffFrames[0]];
    std::vector<uint64_t> cuts = {original.firstFrame + 3, second - 24, second - 10, second - 1, second,
                                  second + 100, data.size() - 5, data.size()};
    const uint64_t ix00 = original.frames[original.riffFrames[0] - 1] + 8 + original.frameBytes;
    cuts.push_back(ix00 + 4);
    cuts.push_back(ix00 + 40);
    std::mt19937 rng(25);
    for (int i = 0; i < 8; ++i) cuts.push_back(std::uniform_int_distribution<uint64_t>(second, data.size())(rng));
    for (const uint64_t cut : cuts) {
        TempFile piece("cut.avi");
        FILE* out = std::fopen(piece.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(data.data(), 1, cut, out), cut);
        std::fclose(out);
        uint32_t expected = 0;
        for (const uint64_t at : original.frames) expected += at + 8 + original.frameBytes <= cut ? 1 : 0;
        const cli::AviRepairResult repaired = cli::RepairAvi(piece.c_str());
        ASSERT_TRUE(repaired.repaired) << "cut at " << cut << ": " << repaired.error;
        EXPECT_EQ(repaired.frames, expected) << "cut at " << cut;
        Recording rec;
        ReadRecording(piece.path, rec);
        if (HasFatalFailure()) {
            ADD_FAILURE() << "cut at " << cut;
            return;
        }
        ExpectFramesInOrder(rec, expected);
    }
}

using vantix::testing_support::FileSizeLimit;

TEST(AviOpenDml, AFullDiskInALaterRiffLeavesAPlayableFile) {
    // Where the third RIFF begins, from a recording with room.
    TempFile reference("reference.avi");
    RecordSmall(reference.path, 600);
    Recording ref;
    ReadRecording(reference.path, ref);
    ASSERT_GE(ref.riffFrames.size(), 3u);
    const uint64_t third = ref.frames[ref.riffFrames[0] + ref.riffFrames[1]] - 24;
    // Disks that fill at the third RIFF's head, inside it, inside its first
    // frame, and some frames later.
    for (const uint64_t into : {uint64_t{0}, uint64_t{10}, uint64_t{30}, uint64_t{400}, uint64_t{5000}}) {
        TempFile file("full.avi");
        uint32_t written = 0;
        {
            FileSizeLimit limit(third + into);
            AviRecorder recorder(kSmallRiff);
            ASSERT_EQ(recorder.OpenAvi(file.c_str(), 10, 10, 24, AviLayout::kOpenDml), 1);
            Frames source(recorder, 10, 10);
            AviFrameResult result = AviFrameResult::kWritten;
            for (int i = 0; i < 1000 && result == AviFrameResult::kWritten; ++i) result = source.Write();
            EXPECT_EQ(result, AviFrameResult::kWriteFailed) << into;
            EXPECT_EQ(recorder.CloseAvi(), 0) << into;
            written = source.Written();
        }
        Recording rec;
        ReadRecording(file.path, rec);
        ASSERT_FALSE(HasFatalFailure()) << into;
        EXPECT_LE(rec.frames.size(), written) << into;
        EXPECT_GE(rec.frames.size(), ref.riffFrames[0] + ref.riffFrames[1]) << into;
        for (uint32_t i = 0; i < rec.frames.size(); ++i) ASSERT_EQ(rec.stamps[i], i);
    }
}

// One real recording past 4 GiB, of full-sensor frames (32 MB each).
TEST(AviOpenDml, AFiveGibRecordingReadsBackWhole) {
    TempFile file("5gib.avi");
    constexpr int32_t kWidth = 3856;
    constexpr int32_t kHeight = 2764;
    constexpr uint64_t kFiveGib = uint64_t{5} << 30;
    uint32_t frames = 0;
    {
        AviRecorder recorder;
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), kWidth, kHeight, 24, AviLayout::kOpenDml), 1);
        Frames source(recorder, kWidth, kHeight);
        while (uint64_t{source.Written()} * recorder.FrameBytes() < kFiveGib) {
            ASSERT_EQ(source.Write(), AviFrameResult::kWritten) << source.Written();
        }
        frames = source.Written();
        EXPECT_EQ(recorder.RiffCount(), 2u);
        ASSERT_EQ(recorder.CloseAvi(), 1);
    }
    Recording rec;
    ReadRecording(file.path, rec);
    EXPECT_GT(Reader(file.path).Size(), kFiveGib);
    ExpectFramesInOrder(rec, frames);
    if (HaveFfprobe()) {
        EXPECT_EQ(FfprobePackets(file.path), frames);
    }
}

}  // namespace
}  // namespace vantix
