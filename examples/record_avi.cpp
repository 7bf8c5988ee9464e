// record_avi: record about one second of video into an uncompressed AVI file
// without a preview window, then check what was written.
//
//   record_avi [DIR]     DIR: where recording.avi goes (default: .)
//
// Vantix_Record starts the preview and a recorder that appends every new frame
// until the duration has passed; Vantix_StopPreview (or Vantix_Close, or
// releasing the session) ends it early. Either way the file is finalised with
// its index and the measured frame rate.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <vantix/exports.h>

namespace {

// A small window keeps the file small: every frame is stored uncompressed.
constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr int32_t kDurationMs = 1000;
constexpr int32_t kExposureUs = 10000;  // 10 ms: short enough for a fast frame rate

bool Check(int32_t handle, int32_t result, const std::string& what) {
    if (result != 0) return true;
    std::fprintf(stderr, "error: %s failed, SDK error %d\n", what.c_str(), Vantix_GetLastError(handle));
    return false;
}

uint32_t Le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads the main header of an AVI file: "RIFF" size "AVI " "LIST" size "hdrl"
// "avih" size, then the header whose fifth field is the frame count and whose
// ninth and tenth are the frame size.
bool ReadAviHeader(const std::filesystem::path& file, uint32_t* riffBytes, uint32_t* frames, uint32_t* width,
                   uint32_t* height) {
    unsigned char head[88] = {};
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
    if (std::string(reinterpret_cast<char*>(head), 4) != "RIFF" ||
        std::string(reinterpret_cast<char*>(head) + 8, 4) != "AVI " ||
        std::string(reinterpret_cast<char*>(head) + 24, 4) != "avih") {
        return false;
    }
    *riffBytes = Le32(head + 4);
    *frames = Le32(head + 48);
    *width = Le32(head + 64);
    *height = Le32(head + 68);
    return true;
}

int Record(int32_t handle, const std::filesystem::path& file) {
    VantixCameraInfo info{};
    info.size = sizeof info;
    if (!Check(handle, Vantix_SetDeviceNumber(handle, 0), "selecting camera 0") ||
        !Check(handle, Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), "switching the preview window off") ||
        !Check(handle, Vantix_GetCameraInfo(handle, &info), "reading the camera information") ||
        !Check(handle, Vantix_SetCaptureWindowEx(handle, info.totalWidth, 0, kWidth, info.totalHeight, 0, kHeight),
               "setting the capture window") ||
        !Check(handle, Vantix_SetColorMode(handle, 24), "setting the colour mode") ||
        !Check(handle, Vantix_SetRealExposureTime(handle, kExposureUs), "setting the exposure time")) {
        return 1;
    }

    // The last argument 0: no preview window while recording.
    const auto start = std::chrono::steady_clock::now();
    if (!Check(handle, Vantix_Record(handle, file.c_str(), kDurationMs, 0), "starting the recording of " + file.string())) {
        return 1;
    }
    // The recorder measures the duration from the first frame it writes;
    // allow for that frame to arrive, then stop the preview, which also
    // finalises the file.
    std::this_thread::sleep_for(std::chrono::milliseconds(kDurationMs + 300));
    if (!Check(handle, Vantix_StopPreview(handle), "stopping the recording")) return 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(file, error);
    uint32_t riffBytes = 0, frames = 0, width = 0, height = 0;
    if (error || !ReadAviHeader(file, &riffBytes, &frames, &width, &height)) {
        std::fprintf(stderr, "error: %s is missing or not an AVI file\n", file.c_str());
        return 1;
    }
    std::printf("%s: %ju bytes, %u frames of %u x %u in %.1f s\n", file.c_str(), bytes, frames, width, height,
                seconds);
    // A finalised file's RIFF size covers the whole file; each frame is stored
    // whole, as 24-bit rows padded to 4 bytes.
    const std::uintmax_t frameBytes = ((static_cast<std::uintmax_t>(width) * 3 + 3) & ~std::uintmax_t{3}) * height;
    if (riffBytes + std::uintmax_t{8} != bytes) {
        std::fprintf(stderr, "error: the file was not finalised (RIFF size %u, file %ju bytes)\n", riffBytes, bytes);
        return 1;
    }
    if (frames == 0 || width != kWidth || height != kHeight || bytes < frames * frameBytes) {
        std::fprintf(stderr, "error: the recording is empty or its header does not match the capture\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [DIR]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argc == 2 ? argv[1] : ".";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "error: cannot create %s: %s\n", dir.c_str(), error.message().c_str());
        return 1;
    }

    const int32_t handle = Vantix_Initialize(nullptr);
    if (handle == 0) {
        std::fprintf(stderr, "error: no SDK session could be created\n");
        return 1;
    }
    int status = Record(handle, dir / "recording.avi");
    if (!Vantix_Release(handle)) {
        std::fprintf(stderr, "error: releasing the session failed\n");
        status = 1;
    }
    return status;
}
