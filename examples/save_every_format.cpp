// save_every_format: take one picture and save it in every still-image format
// of Vantix_SaveImage, then list the files with their sizes.
//
//   save_every_format [DIR]     DIR: where the files go (default: .)
//
// Each file is checked after saving: it must exist, start with its format's
// signature, and the three JPEG qualities must give files of falling size.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <vantix/exports.h>

namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;
constexpr int32_t kBitsPerPixel = 24;

struct Format {
    int32_t type;           // VANTIX_FILE_...
    const char* fileName;
    std::string signature;  // the first bytes of a file of this format; empty: none
};

const std::vector<Format> kFormats = {
    {VANTIX_FILE_BMP, "snapshot.bmp", "BM"},
    {VANTIX_FILE_RAW, "snapshot.raw", ""},  // the pixel block alone, no header
    {VANTIX_FILE_JPEG_HIGH, "snapshot-q100.jpg", "\xFF\xD8\xFF"},
    {VANTIX_FILE_JPEG_MEDIUM, "snapshot-q70.jpg", "\xFF\xD8\xFF"},
    {VANTIX_FILE_JPEG_LOW, "snapshot-q20.jpg", "\xFF\xD8\xFF"},
    {VANTIX_FILE_PNG, "snapshot.png", "\x89PNG\r\n\x1A\n"},
    {VANTIX_FILE_TIFF, "snapshot.tif", std::string("II*\0", 4)},  // little-endian TIFF
};

// True when an SDK call succeeded; otherwise prints what failed with the
// newest code of the session's error history (which the read removes).
bool Check(int32_t handle, int32_t result, const std::string& what) {
    if (result != 0) return true;
    std::fprintf(stderr, "error: %s failed, SDK error %d\n", what.c_str(), Vantix_GetLastError(handle));
    return false;
}

bool StartsWith(const std::filesystem::path& file, const std::string& signature) {
    std::ifstream in(file, std::ios::binary);
    std::string head(signature.size(), '\0');
    return in.read(head.data(), static_cast<std::streamsize>(head.size())) && head == signature;
}

// Selects the first camera and prepares a small 24-bit colour capture
// without a preview window.
bool Configure(int32_t handle) {
    VantixCameraInfo info{};
    info.size = sizeof info;
    return Check(handle, Vantix_SetDeviceNumber(handle, 0), "selecting camera 0") &&
           Check(handle, Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), "switching the preview window off") &&
           Check(handle, Vantix_GetCameraInfo(handle, &info), "reading the camera information") &&
           Check(handle, Vantix_SetCaptureWindowEx(handle, info.totalWidth, 0, kWidth, info.totalHeight, 0, kHeight),
                 "setting the capture window") &&
           Check(handle, Vantix_SetColorMode(handle, kBitsPerPixel), "setting the colour mode");
}

int SaveAll(int32_t handle, const std::filesystem::path& dir) {
    if (!Configure(handle) || !Check(handle, Vantix_SnapShot(handle, nullptr, 0, 1), "taking a picture")) return 1;

    // Every format is written from the same picture, kept by the session.
    std::vector<std::uintmax_t> sizes;
    for (const Format& format : kFormats) {
        const std::filesystem::path file = dir / format.fileName;
        if (!Check(handle, Vantix_SaveImage(handle, file.c_str(), format.type), "saving " + file.string())) return 1;
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        if (error || size == 0) {
            std::fprintf(stderr, "error: %s is missing or empty\n", file.c_str());
            return 1;
        }
        if (!StartsWith(file, format.signature)) {
            std::fprintf(stderr, "error: %s does not start like a %s file\n", file.c_str(), format.fileName);
            return 1;
        }
        sizes.push_back(size);
        std::printf("%-20s type %d  %9ju bytes\n", format.fileName, format.type, size);
    }

    // The raw file is the image's rows, each padded to a multiple of 4 bytes.
    const std::uintmax_t stride = (static_cast<std::uintmax_t>(kWidth) * (kBitsPerPixel / 8) + 3) & ~std::uintmax_t{3};
    if (sizes[1] != stride * kHeight) {
        std::fprintf(stderr, "error: the raw file has %ju bytes, expected %ju\n", sizes[1], stride * kHeight);
        return 1;
    }
    // Higher JPEG quality keeps more detail and needs more bytes.
    if (!(sizes[2] > sizes[3] && sizes[3] > sizes[4])) {
        std::fprintf(stderr, "error: JPEG sizes do not fall with quality (%ju, %ju, %ju bytes)\n", sizes[2], sizes[3],
                     sizes[4]);
        return 1;
    }
    std::printf("all %zu files written to %s\n", kFormats.size(), dir.c_str());
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
    int status = SaveAll(handle, dir);
    if (!Vantix_Release(handle)) {
        std::fprintf(stderr, "error: releasing the session failed\n");
        status = 1;
    }
    return status;
}
