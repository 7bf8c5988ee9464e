// The AVI recorder, checked through a RIFF parser written here from the file
// layout alone, and through ffprobe and ffmpeg when they are installed.
#include "output/avi_recorder.h"
#include "support/file_size_limit.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <vector>

namespace vantix {
namespace {

struct TempFile {
    explicit TempFile(const std::string& name)
        : path("/tmp/vantix-avi-" + std::to_string(getpid()) + "-" + name) {
        unlink(path.c_str());
    }
    ~TempFile() { unlink(path.c_str()); }
    const char* c_str() const { return path.c_str(); }
    std::string path;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32(const std::vector<uint8_t>& d, size_t at) {
    uint32_t v;
    std::memcpy(&v, &d[at], 4);
    return v;
}

std::string Tag(const std::vector<uint8_t>& d, size_t at) {
    return std::string(reinterpret_cast<const char*>(&d[at]), 4);
}

// What a player finds in the file, walking its chunks.
struct Avi {
    std::vector<uint8_t> data;
    uint32_t riffSize = 0, hdrlSize = 0, strlSize = 0, moviSize = 0;
    size_t avih = 0, strh = 0, strf = 0;  // offsets of the chunk bodies
    size_t moviForm = 0;                  // offset of "movi"
    std::vector<size_t> frames;           // offsets of the "00db" chunks
    std::vector<uint32_t> frameSizes;
    bool hasIndex = false;
    std::vector<uint32_t> indexFlags, indexOffsets, indexLengths;

    uint32_t Main(int field) const { return U32(data, avih + 4 * field); }
    uint32_t Stream(size_t offset) const { return U32(data, strh + offset); }
    const uint8_t* Frame(size_t i) const { return &data[frames[i] + 8]; }
};

// Parses path; a structural fault fails the calling test.
void Parse(const std::string& path, Avi& avi) {
    avi.data = ReadAll(path);
    const std::vector<uint8_t>& d = avi.data;
    ASSERT_GE(d.size(), 232u);
    ASSERT_EQ(Tag(d, 0), "RIFF");
    avi.riffSize = U32(d, 4);
    ASSERT_EQ(avi.riffSize, d.size() - 8) << "RIFF size must cover the whole file";
    ASSERT_EQ(Tag(d, 8), "AVI ");
    size_t at = 12;
    while (at + 8 <= d.size()) {
        const std::string id = Tag(d, at);
        const uint32_t size = U32(d, at + 4);
        ASSERT_LE(at + 8 + size, d.size()) << id << " runs past the end";
        if (id == "LIST" && Tag(d, at + 8) == "hdrl") {
            avi.hdrlSize = size;
            ASSERT_EQ(Tag(d, at + 12), "avih");
            ASSERT_EQ(U32(d, at + 16), 56u);
            avi.avih = at + 20;
            const size_t strl = avi.avih + 56;
            ASSERT_EQ(Tag(d, strl), "LIST");
            avi.strlSize = U32(d, strl + 4);
            ASSERT_EQ(Tag(d, strl + 8), "strl");
            ASSERT_EQ(Tag(d, strl + 12), "strh");
            ASSERT_EQ(U32(d, strl + 16), 64u);
            avi.strh = strl + 20;
            ASSERT_EQ(Tag(d, avi.strh + 64), "strf");
            ASSERT_EQ(U32(d, avi.strh + 68), 40u);
            avi.strf = avi.strh + 72;
        } else if (id == "LIST" && Tag(d, at + 8) == "movi") {
            avi.moviSize = size;
            avi.moviForm = at + 8;
            for (size_t chunk = at + 12; chunk < at + 8 + size;) {
                ASSERT_EQ(Tag(d, chunk), "00db");
                avi.frames.push_back(chunk);
                avi.frameSizes.push_back(U32(d, chunk + 4));
                chunk += 8 + U32(d, chunk + 4);
                ASSERT_LE(chunk, at + 8 + size);
            }
        } else if (id == "idx1") {
            avi.hasIndex = true;
            ASSERT_EQ(size % 16, 0u);
            for (size_t e = at + 8; e < at + 8 + size; e += 16) {
                EXPECT_EQ(Tag(d, e), "00db");
                avi.indexFlags.push_back(U32(d, e + 4));
                avi.indexOffsets.push_back(U32(d, e + 8));
                avi.indexLengths.push_back(U32(d, e + 12));
            }
        }
        at += 8 + size + (size & 1);
    }
    ASSERT_EQ(at, d.size());
    ASSERT_NE(avi.avih, 0u) << "no header list";
    ASSERT_NE(avi.moviForm, 0u) << "no movi list";
    if (avi.hasIndex) {
        ASSERT_EQ(avi.indexOffsets.size(), avi.frames.size());
        for (size_t i = 0; i < avi.frames.size(); ++i) {
            EXPECT_EQ(avi.moviForm + avi.indexOffsets[i], avi.frames[i]) << i;
            EXPECT_EQ(avi.indexLengths[i], avi.frameSizes[i]) << i;
        }
    }
    EXPECT_EQ(avi.Main(4), avi.frames.size());           // dwTotalFrames
    EXPECT_EQ(avi.Stream(32), avi.frames.size());        // dwLength
}

// A width x height image whose samples differ by row, column and channel;
// the fourth channel stays 0 as in the pipeline.
CDibImage Pattern(int32_t width, int32_t height, int bits, uint32_t seed = 0) {
    CDibImage image;
    EXPECT_EQ(image.Create(width, height, bits), 1);
    const bool wide = bits == 16 || bits >= 48;
    const int channels = bits <= 16 ? 1 : 3;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = image.Row(y) + static_cast<size_t>(x) * image.BytesPerPixel();
            for (int c = 0; c < channels; ++c) {
                const uint32_t v = seed + static_cast<uint32_t>(x * 29 + y * 71 + c * 97);
                if (wide) {
                    const auto w = static_cast<uint16_t>(v * 257 + 3);
                    std::memcpy(p + 2 * c, &w, 2);
                } else {
                    p[c] = static_cast<uint8_t>(v);
                }
            }
        }
    }
    return image;
}

void Record(AviRecorder& recorder, const CDibImage& image, int frames) {
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(recorder.PrepareFrame(image), 1);
        ASSERT_EQ(recorder.WriteAviFrame(), AviFrameResult::kWritten);
    }
}

TEST(AviRecorder, ThreeFramesOf640x480) {
    TempFile file("640.avi");
    CDibImage image = Pattern(640, 480, 24);
    {
        AviRecorder recorder;
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 640, 480, 24), 1);
        EXPECT_EQ(recorder.RiffBytes(), 224u);
        EXPECT_EQ(recorder.MoviBytes(), 4u);
        Record(recorder, image, 3);
        ASSERT_EQ(recorder.CloseAvi(), 1);
        EXPECT_FALSE(recorder.IsOpen());
    }
    const uint32_t f = 921600;
    Avi avi;
    Parse(file.path, avi);
    ASSERT_EQ(avi.frames.size(), 3u);
    EXPECT_EQ(avi.frames[0], 232u);
    EXPECT_EQ(avi.riffSize, 224 + 3 * (8 + f) + 8 + 48);
    EXPECT_EQ(avi.moviSize, 4 + 3 * (8 + f));
    EXPECT_EQ(avi.indexOffsets, (std::vector<uint32_t>{4, 12 + f, 20 + 2 * f}));
    EXPECT_EQ(avi.indexFlags, (std::vector<uint32_t>{0x10, 0x10, 0x10}));
    EXPECT_EQ(avi.hdrlSize, 200u);
    EXPECT_EQ(avi.strlSize, 124u);
    EXPECT_EQ(avi.Main(3), 0x10010u);  // has index, capture file
    EXPECT_EQ(avi.Main(6), 1u);        // streams
    EXPECT_EQ(avi.Main(7), f + 8);     // suggested buffer
    EXPECT_EQ(avi.Main(8), 640u);
    EXPECT_EQ(avi.Main(9), 480u);
    EXPECT_EQ(Tag(avi.data, avi.strh), "vids");
    EXPECT_EQ(Tag(avi.data, avi.strh + 4), "DIB ");
    EXPECT_EQ(avi.Stream(36), f + 8);
    EXPECT_EQ(U32(avi.data, avi.strf), 40u);
    EXPECT_EQ(U32(avi.data, avi.strf + 4), 640u);
    EXPECT_EQ(U32(avi.data, avi.strf + 8), 480u);  // positive: bottom-up
    EXPECT_EQ(U32(avi.data, avi.strf + 12), 24u << 16 | 1u);  // planes 1, 24 bits
    EXPECT_EQ(U32(avi.data, avi.strf + 16), 0u);              // BI_RGB
}

TEST(AviRecorder, MeasuredRateIsPatchedIntoTheHeaders) {
    EXPECT_EQ(AviRecorder::MeasureFramesPer100s(150, 5000), 3000u);
    EXPECT_EQ(AviRecorder::MeasureFramesPer100s(0, 5000), AviRecorder::kDefaultFramesPer100s);
    EXPECT_EQ(AviRecorder::MeasureFramesPer100s(1, 0), AviRecorder::kDefaultFramesPer100s);
    EXPECT_EQ(AviRecorder::MeasureFramesPer100s(1, 200000), 1u);  // never 0: no division by zero
    EXPECT_EQ(AviRecorder::MeasureFramesPer100s(100000, 1000), 10000000u);  // no 32-bit overflow

    TempFile file("rate.avi");
    CDibImage image = Pattern(8, 2, 8);
    AviRecorder recorder;
    ASSERT_EQ(recorder.OpenAvi(file.c_str(), 8, 2, 8), 1);
    Record(recorder, image, 150);
    recorder.SetFramesPer100s(AviRecorder::MeasureFramesPer100s(recorder.FrameCount(), 5000));
    ASSERT_EQ(recorder.CloseAvi(), 1);
    Avi avi;
    Parse(file.path, avi);
    EXPECT_EQ(avi.frames.size(), 150u);
    EXPECT_EQ(avi.Main(0), 33333u);              // microseconds per frame
    EXPECT_EQ(avi.Main(1), (48u + 8) * 30);      // bytes per second at 30 fps
    EXPECT_EQ(avi.Stream(20), 333333u);          // dwScale
    EXPECT_EQ(avi.Stream(24), 10000000u);        // dwRate
}

TEST(AviRecorder, Width638PadsRowsTo1916Bytes) {
    TempFile file("638.avi");
    CDibImage image = Pattern(638, 3, 24);
    AviRecorder recorder;
    ASSERT_EQ(recorder.OpenAvi(file.c_str(), 638, 3, 24), 1);
    EXPECT_EQ(recorder.FrameBytes(), 1916u * 3);
    Record(recorder, image, 1);
    ASSERT_EQ(recorder.CloseAvi(), 1);
    Avi avi;
    Parse(file.path, avi);
    ASSERT_EQ(avi.frameSizes, std::vector<uint32_t>{1916u * 3});
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(avi.Frame(0)[row * 1916 + 1914], 0) << row;  // padding
        EXPECT_EQ(avi.Frame(0)[row * 1916 + 1915], 0) << row;
    }
}

// Frame row k is memory row height - 1 - k of the source, in B, G, R.
TEST(AviRecorder, EveryDepthBecomesBottomUpBgr) {
    for (const int bits : {8, 16, 24, 32, 48, 64}) {
        TempFile file("depth.avi");
        CDibImage image = Pattern(6, 4, bits);
        if (bits == 16) {
            // Values above 10 bits saturate instead of wrapping.
            const uint16_t bright = 0xFFF0;
            std::memcpy(image.Row(0), &bright, 2);
            const uint16_t tenBits = 0x3FF;
            std::memcpy(image.Row(0) + 2, &tenBits, 2);
        }
        AviRecorder recorder;
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 6, 4, bits), 1) << bits;
        Record(recorder, image, 1);
        ASSERT_EQ(recorder.CloseAvi(), 1);
        Avi avi;
        Parse(file.path, avi);
        ASSERT_EQ(avi.frameSizes, std::vector<uint32_t>{20u * 4}) << bits;
        int mismatches = 0;
        for (int32_t k = 0; k < 4; ++k) {
            const uint8_t* source = image.Row(3 - k);
            for (int32_t x = 0; x < 6; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const uint8_t* p = source + static_cast<size_t>(x) * image.BytesPerPixel();
                    uint32_t want = 0;
                    if (bits == 8) {
                        want = p[0];
                    } else if (bits == 16) {
                        uint16_t v;
                        std::memcpy(&v, p, 2);
                        want = std::min(v >> 2, 255);
                    } else if (bits <= 32) {
                        want = p[c];
                    } else {
                        want = p[2 * c + 1];
                    }
                    mismatches += avi.Frame(0)[k * 20 + x * 3 + c] != want;
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << bits;
        if (bits == 16) {
            EXPECT_EQ(avi.Frame(0)[3 * 20], 255);      // 0xFFF0, in the frame's last row
            EXPECT_EQ(avi.Frame(0)[3 * 20 + 3], 255);  // 0x3FF
        }
    }
}

TEST(AviRecorder, EveryStopFinalisesTheFile) {
    TempFile first("first.avi");
    TempFile second("second.avi");
    CDibImage image = Pattern(16, 4, 32);
    {
        AviRecorder recorder;
        ASSERT_EQ(recorder.OpenAvi(first.c_str(), 16, 4, 32), 1);
        Record(recorder, image, 2);
        // Opening another file closes the first one properly.
        ASSERT_EQ(recorder.OpenAvi(second.c_str(), 16, 4, 32), 1);
        Record(recorder, image, 3);
        // The destructor closes the second.
    }
    Avi a;
    Parse(first.path, a);
    EXPECT_TRUE(a.hasIndex);
    EXPECT_EQ(a.frames.size(), 2u);
    Avi b;
    Parse(second.path, b);
    EXPECT_TRUE(b.hasIndex);
    EXPECT_EQ(b.frames.size(), 3u);
}

TEST(AviRecorder, RefusesWhatItCannotDo) {
    AviRecorder recorder;
    TempFile file("refuse.avi");
    EXPECT_EQ(recorder.OpenAvi("/nonexistent-vantix-dir/x.avi", 8, 8, 24), 0);
    EXPECT_EQ(recorder.OpenAvi(file.c_str(), 0, 8, 24), 0);
    EXPECT_EQ(recorder.OpenAvi(file.c_str(), 8, 8, 12), 0);
    EXPECT_EQ(recorder.WriteAviFrame(), AviFrameResult::kNotOpen);
    EXPECT_EQ(recorder.CloseAvi(), 0);
    ASSERT_EQ(recorder.OpenAvi(file.c_str(), 8, 8, 24), 1);
    CDibImage otherSize = Pattern(8, 9, 24);
    CDibImage otherDepth = Pattern(8, 8, 48);
    EXPECT_EQ(recorder.PrepareFrame(otherSize), 0);
    EXPECT_EQ(recorder.PrepareFrame(otherDepth), 0);
    ASSERT_EQ(recorder.CloseAvi(), 1);
    EXPECT_EQ(recorder.WriteAviFrame(), AviFrameResult::kNotOpen);
}

// ---- the RIFF limit and write errors ----------------------------------------

TEST(AviRecorder, FrameBeyondTheRiffLimitIsRefusedAndTheFileStaysValid) {
    TempFile file("limit.avi");
    CDibImage image = Pattern(10, 10, 24);
    const uint32_t f = 320;  // 32-byte rows
    // Room for exactly two frames and their index.
    AviRecorder recorder(224 + 2 * (8 + f) + 8 + 32);
    ASSERT_EQ(recorder.OpenAvi(file.c_str(), 10, 10, 24), 1);
    Record(recorder, image, 2);
    ASSERT_EQ(recorder.PrepareFrame(image), 1);
    EXPECT_EQ(recorder.WriteAviFrame(), AviFrameResult::kFileFull);
    ASSERT_EQ(recorder.CloseAvi(), 1);
    Avi avi;
    Parse(file.path, avi);
    EXPECT_EQ(avi.frames.size(), 2u);
    EXPECT_EQ(avi.riffSize, 224 + 2 * (8 + f) + 8 + 32);
    // A recorder that can't hold one frame refuses to start.
    AviRecorder tiny(224 + 8 + f + 8 + 15);
    EXPECT_EQ(tiny.OpenAvi(file.c_str(), 10, 10, 24), 0);
}

using vantix::testing_support::FileSizeLimit;

TEST(AviRecorder, WriteErrorEndsWithAPlayableFileOfTheWholeFrames) {
    TempFile file("error.avi");
    CDibImage image = Pattern(10, 10, 24);
    const uint32_t f = 320;
    AviRecorder recorder;
    {
        // The third frame breaks off halfway.
        FileSizeLimit limit(232 + 2 * (8 + f) + 8 + f / 2);
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 10, 10, 24), 1);
        Record(recorder, image, 2);
        ASSERT_EQ(recorder.PrepareFrame(image), 1);
        EXPECT_EQ(recorder.WriteAviFrame(), AviFrameResult::kWriteFailed);
        EXPECT_EQ(recorder.WriteAviFrame(), AviFrameResult::kWriteFailed);
        EXPECT_EQ(recorder.CloseAvi(), 0);  // finalised, but a frame was lost
    }
    Avi avi;
    Parse(file.path, avi);
    EXPECT_TRUE(avi.hasIndex);
    EXPECT_EQ(avi.frames.size(), 2u);
}

TEST(AviRecorder, FullDiskGivesUpTheLastFrameToFitTheIndex) {
    TempFile file("full.avi");
    CDibImage image = Pattern(10, 10, 24);
    const uint32_t f = 320;
    AviRecorder recorder;
    {
        // Two frames fit, but not their 40-byte index.
        FileSizeLimit limit(232 + 2 * (8 + f) + 20);
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 10, 10, 24), 1);
        Record(recorder, image, 2);
        EXPECT_EQ(recorder.CloseAvi(), 0);  // playable, but a frame was lost
    }
    Avi avi;
    Parse(file.path, avi);
    EXPECT_TRUE(avi.hasIndex);
    EXPECT_EQ(avi.frames.size(), 1u);
    EXPECT_EQ(avi.Main(3), 0x10010u);
}

// ---- the name: older files, killed recordings, special files ----------------

// A folder of its own: a recording clears stale temporaries beside it.
struct TempDirectory {
    TempDirectory() {
        char pattern[] = "/tmp/vantix-avi-dir-XXXXXX";
        path = mkdtemp(pattern) != nullptr ? pattern : "";
    }
    ~TempDirectory() { std::filesystem::remove_all(path); }
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string path;
};

// Ends the calling process at once, as a crash or kill -9 would: no
// destructor runs.
[[noreturn]] void Killed() {
    kill(getpid(), SIGKILL);
    _exit(3);
}

// Runs `record` in a child process, which must end in Killed() while its
// recorder is open; it returns only when it failed.
void RecordAndGetKilled(const std::function<void()>& record) {
    const pid_t child = fork();
    if (child == 0) {
        record();
        _exit(2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child's recording failed";
}

TEST(AviRecorder, AnOlderFileOfTheNameLastsUntilTheFirstWholeFrame) {
    TempDirectory dir;
    const std::string name = dir.File("clip.avi");
    const std::string older = "an older recording";
    std::ofstream(name, std::ios::binary) << older;
    const auto ReadName = [&] {
        const std::vector<uint8_t> data = ReadAll(name);
        return std::string(data.begin(), data.end());
    };
    CDibImage image = Pattern(10, 10, 24);
    const uint32_t f = 320;

    // Killed before its first frame: the older file is as it was.
    RecordAndGetKilled([&] {
        AviRecorder recorder;
        if (recorder.OpenAvi(name.c_str(), 10, 10, 24) == 1) Killed();
    });
    EXPECT_EQ(ReadName(), older);
    EXPECT_EQ(dir.Listing().size(), 2u);  // and the killed recording's temporary

    // Its first frame cannot be written: the same, and nothing left behind.
    {
        AviRecorder recorder;
        FileSizeLimit limit(232 + 8 + f / 2);
        ASSERT_EQ(recorder.OpenAvi(name.c_str(), 10, 10, 24), 1);
        ASSERT_EQ(recorder.PrepareFrame(image), 1);
        EXPECT_EQ(recorder.WriteAviFrame(), AviFrameResult::kWriteFailed);
        EXPECT_EQ(recorder.CloseAvi(), 0);
    }
    EXPECT_EQ(ReadName(), older);
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"clip.avi"}) << "the dead process's temporary is cleared too";

    // Killed after two frames: the recording has the name, and its headers
    // count what it holds although no index was written.
    RecordAndGetKilled([&] {
        AviRecorder recorder;
        if (recorder.OpenAvi(name.c_str(), 10, 10, 24) != 1) return;
        for (int i = 0; i < 2; ++i) {
            if (recorder.PrepareFrame(image) != 1 || recorder.WriteAviFrame() != AviFrameResult::kWritten) return;
        }
        Killed();
    });
    Avi avi;
    Parse(name, avi);
    EXPECT_FALSE(avi.hasIndex);
    EXPECT_EQ(avi.frames.size(), 2u);
    EXPECT_EQ(avi.moviSize, 4 + 2 * (8 + f));
    EXPECT_EQ(avi.Main(3), 0x10000u) << "no index, and the flags say so";
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"clip.avi"});
}

// When no file can be made beside the name (here: no descriptor left for
// one), the older file itself is recorded into, but emptied only by the
// first frame.
TEST(AviRecorder, WithoutRoomForATemporaryTheOlderFileIsKeptUntilTheFirstFrame) {
    TempDirectory dir;
    const std::string name = dir.File("clip.avi");
    std::ofstream(name, std::ios::binary) << "an older recording";
    struct stat older {};
    ASSERT_EQ(stat(name.c_str(), &older), 0);
    CDibImage image = Pattern(10, 10, 24);
    AviRecorder recorder;
    {
        // The lowest free descriptor is the last one allowed: the existing
        // file gets it, the temporary file none.
        const int lowestFree = dup(0);
        ASSERT_GE(lowestFree, 0);
        close(lowestFree);
        rlimit previous{};
        ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &previous), 0);
        rlimit limited = previous;
        limited.rlim_cur = static_cast<rlim_t>(lowestFree) + 1;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limited), 0);
        const int opened = recorder.OpenAvi(name.c_str(), 10, 10, 24);
        setrlimit(RLIMIT_NOFILE, &previous);
        ASSERT_EQ(opened, 1);
    }
    const std::vector<uint8_t> before = ReadAll(name);
    EXPECT_EQ(std::string(before.begin(), before.end()), "an older recording");
    Record(recorder, image, 1);
    EXPECT_EQ(recorder.CloseAvi(), 1);
    struct stat recorded {};
    ASSERT_EQ(stat(name.c_str(), &recorded), 0);
    EXPECT_EQ(recorded.st_ino, older.st_ino) << "written in place";
    Avi avi;
    Parse(name, avi);
    EXPECT_TRUE(avi.hasIndex);
    EXPECT_EQ(avi.frames.size(), 1u);
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"clip.avi"});
}

TEST(AviRecorder, FifoAndSocketNamesAreNeitherWaitedOnNorReplaced) {
    TempDirectory dir;
    const std::string fifo = dir.File("camera.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = dir.File("camera.sock");
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    // Without a reader, opening a FIFO for writing would wait for one.
    auto opened = std::async(std::launch::async, [&] {
        AviRecorder recorder;
        return recorder.OpenAvi(fifo.c_str(), 8, 8, 24);
    });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // lets it go
        opened.wait();
        close(reader);
        FAIL() << "OpenAvi waited for a reader of the FIFO";
    }
    EXPECT_EQ(opened.get(), 0);
    // With a reader it fails too: the file is written with seeks.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    AviRecorder recorder;
    EXPECT_EQ(recorder.OpenAvi(fifo.c_str(), 8, 8, 24), 0);
    close(reader);
    EXPECT_EQ(recorder.OpenAvi(socketPath.c_str(), 8, 8, 24), 0);
    close(listener);

    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);
    EXPECT_EQ(std::filesystem::status(socketPath).type(), std::filesystem::file_type::socket);
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"camera.fifo", "camera.sock"}));
}

// ---- an independent player ----------------------------------------------------

std::string CommandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

TEST(AviRecorder, FfmpegPlaysTheRecording) {
    if (std::system("command -v ffprobe >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    TempFile file("ffmpeg.avi");
    CDibImage image = Pattern(38, 6, 24);  // 114-byte rows, padded to 116
    {
        AviRecorder recorder;
        ASSERT_EQ(recorder.OpenAvi(file.c_str(), 38, 6, 24), 1);
        Record(recorder, image, 3);
        recorder.SetFramesPer100s(2500);
    }
    const std::string probe = CommandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                  "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames "
                                  "-of default=noprint_wrappers=1 " + file.path);
    EXPECT_NE(probe.find("codec_name=rawvideo"), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=38"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=6"), std::string::npos) << probe;
    EXPECT_NE(probe.find("pix_fmt=bgr24"), std::string::npos) << probe;
    EXPECT_NE(probe.find("r_frame_rate=25/1"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=3"), std::string::npos) << probe;

    // Decoded top-down, the picture's first row is memory row 0 of the source.
    const std::string rgb =
        CommandOutput("ffmpeg -v error -i " + file.path + " -frames:v 1 -f rawvideo -pix_fmt bgr24 - 2>/dev/null");
    ASSERT_EQ(rgb.size(), 38u * 6 * 3);
    for (int32_t y = 0; y < 6; ++y) {
        EXPECT_EQ(0, std::memcmp(rgb.data() + y * 114, image.Row(y), 114)) << y;
    }
}

}  // namespace
}  // namespace vantix
