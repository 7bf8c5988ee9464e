// Saving a full-sensor 3856 x 2764 24-bit image in each still-image format,
// and recording full-size AVI frames, each against plain write() of the same
// bytes measured in the same run (the Baseline benchmarks of each family).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "output/avi_recorder.h"
#include "output/still_image_writer.h"

namespace {

constexpr int32_t kWidth = 3856;
constexpr int32_t kHeight = 2764;

// Files go to memory (/dev/shm) unless VANTIX_BENCH_DIR names a directory:
// on a disk, writeback throttling makes single runs vary by a factor of
// several, drowning the difference between the writers and plain write().
std::string BenchPath(const char* name) {
    const char* directory = std::getenv("VANTIX_BENCH_DIR");
    if (directory == nullptr || directory[0] == '\0') {
        directory = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    }
    return std::string(directory) + "/vantix-bench-output-" + std::to_string(getpid()) + "-" + name;
}

// A camera-like picture: smooth gradients in each channel with a little
// noise, so the compressors see neither flat nor random data.
const vantix::CDibImage& Picture() {
    static vantix::CDibImage image = [] {
        vantix::CDibImage made;
        made.Create(kWidth, kHeight, 24);
        uint32_t noise = 12345;
        for (int32_t y = 0; y < kHeight; ++y) {
            uint8_t* p = made.Row(y);
            for (int32_t x = 0; x < kWidth; ++x, p += 3) {
                noise = noise * 1664525u + 1013904223u;
                const uint32_t jitter = (noise >> 28) & 7;
                p[0] = static_cast<uint8_t>((x / 16 + jitter) & 0xFF);
                p[1] = static_cast<uint8_t>((y / 12 + jitter) & 0xFF);
                p[2] = static_cast<uint8_t>(((x + y) / 26 + jitter) & 0xFF);
            }
        }
        return made;
    }();
    return image;
}

// Writes size bytes to a fresh file of that name, as one write() call.
void PlainWrite(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    size_t done = 0;
    while (fd >= 0 && done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    if (fd >= 0) close(fd);
}

void Output_BaselineWrite(benchmark::State& state) {
    const vantix::CDibImage& image = Picture();
    const std::string path = BenchPath("baseline.raw");
    for (auto _ : state) {
        PlainWrite(path, image.Bits(), image.ImageBytes());
    }
    unlink(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.ImageBytes()));
}
BENCHMARK(Output_BaselineWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void SaveAs(benchmark::State& state, int32_t type, const char* name) {
    const vantix::CDibImage& image = Picture();
    const std::string path = BenchPath(name);
    for (auto _ : state) {
        if (vantix::SaveImageFile(path.c_str(), &image, type) != 1) {
            state.SkipWithError("save failed");
            break;
        }
    }
    unlink(path.c_str());
    // Throughput in source bytes, comparable with the baseline's.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.ImageBytes()));
}

void Output_Bmp(benchmark::State& state) { SaveAs(state, vantix::kStillBmp, "image.bmp"); }
void Output_Raw(benchmark::State& state) { SaveAs(state, vantix::kStillRaw, "image.raw"); }
void Output_JpegQuality100(benchmark::State& state) { SaveAs(state, vantix::kStillJpegHigh, "image.jpg"); }
void Output_JpegQuality70(benchmark::State& state) { SaveAs(state, vantix::kStillJpegMedium, "image.jpg"); }
void Output_JpegQuality20(benchmark::State& state) { SaveAs(state, vantix::kStillJpegLow, "image.jpg"); }
void Output_Png(benchmark::State& state) { SaveAs(state, vantix::kStillPng, "image.png"); }
void Output_Tiff(benchmark::State& state) { SaveAs(state, vantix::kStillTiff, "image.tif"); }
BENCHMARK(Output_Bmp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Output_Raw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Output_JpegQuality100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Output_JpegQuality70)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Output_JpegQuality20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Output_Png)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Output_Tiff)->Unit(benchmark::kMillisecond)->UseRealTime();

// Frames per file before starting over, so the benchmark's disk use stays
// near 1 GiB (a full-size frame is 32 MB; the 4 GiB limit is ~130 frames).
constexpr int kFramesPerFile = 32;

// Appends one frame-sized chunk (8-byte header and pixels) per iteration.
void OutputAvi_BaselineAppend(benchmark::State& state) {
    const vantix::CDibImage& image = Picture();
    const std::string path = BenchPath("baseline.avi");
    const size_t chunk = image.ImageBytes() + 8;
    std::vector<uint8_t> header(8, 0);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int frames = 0;
    for (auto _ : state) {
        if (frames++ == kFramesPerFile) {
            state.PauseTiming();
            if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) {
                state.SkipWithError("cannot start over");
                break;
            }
            frames = 1;
            state.ResumeTiming();
        }
        const iovec pieces[2] = {{header.data(), 8}, {const_cast<uint8_t*>(image.Bits()), image.ImageBytes()}};
        if (writev(fd, pieces, 2) != static_cast<ssize_t>(chunk)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    close(fd);
    unlink(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chunk));
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(OutputAvi_BaselineAppend)->Unit(benchmark::kMillisecond)->UseRealTime();

// One recorded frame per iteration: the 24-bit output image turned into a
// bottom-up frame (what the recording thread does under the image lock) and
// appended to the file.
void OutputAvi_Record(benchmark::State& state) {
    const vantix::CDibImage& image = Picture();
    const std::string path = BenchPath("record.avi");
    vantix::AviRecorder recorder;
    if (recorder.OpenAvi(path.c_str(), kWidth, kHeight, 24) != 1) {
        state.SkipWithError("cannot open the file");
        return;
    }
    int frames = 0;
    for (auto _ : state) {
        if (frames++ == kFramesPerFile) {
            state.PauseTiming();
            recorder.OpenAvi(path.c_str(), kWidth, kHeight, 24);
            frames = 1;
            state.ResumeTiming();
        }
        recorder.PrepareFrame(image);
        if (recorder.WriteAviFrame() != vantix::AviFrameResult::kWritten) {
            state.SkipWithError("frame not written");
            break;
        }
    }
    recorder.CloseAvi();
    unlink(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (image.ImageBytes() + 8)));
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(OutputAvi_Record)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
