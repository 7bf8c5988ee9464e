#include "imaging/defect_mask.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "imaging/filters/filter_kernels.h"
#include "platform/temporary_file.h"

namespace vantix {

namespace {

// Closes a file descriptor when the scope ends.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded; on a network or
    // full file system a deferred write error shows up only here.
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// read() until `size` bytes arrived; false on end of file or an error.
bool ReadFully(int fd, uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        data += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// write() until all `size` bytes went out; false on any error.
bool WriteFully(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void StoreLe32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

// Offsets of the numbers in the header.
constexpr size_t kWidthOffset = 16;
constexpr size_t kHeightOffset = 20;
constexpr size_t kPlaneSizeOffset = 24;  // four sizes, one after the other

constexpr int32_t kPlaneBits[4] = {8, 8, 16, 16};

// The bytes of a plane of the four (8, 8, 16, 16 bits per sample).
uint64_t PlaneBytes(MaskSize size, size_t plane) {
    return uint64_t{static_cast<uint32_t>(size.width)} * static_cast<uint32_t>(size.height) *
           static_cast<uint32_t>(kPlaneBits[plane] / 8);
}

// The magic must fill the first 16 bytes exactly, terminator included, and
// the six numbers must describe full-sensor planes of `size`.
bool HeaderIsValid(const uint8_t* header, MaskSize size) {
    if (std::memcmp(header, kMaskFileMagic, sizeof kMaskFileMagic) != 0) return false;
    if (LoadLe32(header + kWidthOffset) != static_cast<uint32_t>(size.width)) return false;
    if (LoadLe32(header + kHeightOffset) != static_cast<uint32_t>(size.height)) return false;
    for (size_t plane = 0; plane < 4; ++plane) {
        if (LoadLe32(header + kPlaneSizeOffset + 4 * plane) != PlaneBytes(size, plane)) return false;
    }
    return true;
}

bool IsFullSensorPlane(const CDibImage& image, size_t plane, MaskSize size) {
    return !image.IsEmpty() && image.Width() == size.width && image.Height() == size.height &&
           image.BitsPerPixel() == kPlaneBits[plane] && image.ImageBytes() == PlaneBytes(size, plane);
}

// Where the file at `path` really lives, so that saving over a symbolic link
// replaces the file it points to rather than the link. A name that does not
// exist yet is used as it is.
std::string SaveTarget(const char* path) {
    char resolved[PATH_MAX];
    if (::realpath(path, resolved) != nullptr) return resolved;
    return path;
}

template <typename Sample, typename IsDefective>
void MarkDefects(const CDibImage& reference, CDibImage* map, IsDefective isDefective) {
    const int32_t width = std::min(reference.Width(), map->Width());
    const int32_t height = std::min(reference.Height(), map->Height());
    for (int32_t y = 2; y < height - 2; ++y) {
        const Sample* in = reinterpret_cast<const Sample*>(reference.Row(y));
        Sample* out = reinterpret_cast<Sample*>(map->Row(y));
        for (int32_t x = 2; x < width - 2; ++x) out[x] = isDefective(in[x]) ? Sample{1} : Sample{0};
    }
}

// The area of the raw image the correction visits, in raw coordinates, and
// the reference offset; empty when first >= last in either direction.
struct CorrectionArea {
    int64_t firstX, lastX;  // last is exclusive
    int64_t firstY, lastY;
    int64_t originX, originY;
};

CorrectionArea AreaFor(const CDibImage& raw, const CDibImage& dark, const CDibImage& bright,
                       const FlatFieldWindow& window) {
    const int64_t margin = (window.width == kMaskWidth || window.height == kMaskHeight) ? 2 : 0;
    const int64_t width = window.width / window.divisor;
    const int64_t height = window.height / window.divisor;
    const int64_t referenceWidth = std::min(dark.Width(), bright.Width());
    const int64_t referenceHeight = std::min(dark.Height(), bright.Height());
    CorrectionArea area{};
    area.originX = window.originX;
    area.originY = window.originY;
    // Inside the margin, inside the raw image, and reading inside the references.
    area.firstX = std::max({margin, int64_t{0}, -area.originX});
    area.lastX = std::min({width - margin, int64_t{raw.Width()}, referenceWidth - area.originX});
    area.firstY = std::max({margin, int64_t{0}, -area.originY});
    area.lastY = std::min({height - margin, int64_t{raw.Height()}, referenceHeight - area.originY});
    return area;
}

// The rows of the area through the row kernels of the level.
template <typename T, typename Kernel>
void CorrectRows(CDibImage* raw, const CDibImage& dark, const CDibImage& bright, const CorrectionArea& area,
                 Kernel kernel) {
    const auto count = static_cast<int32_t>(area.lastX - area.firstX);
    for (int64_t y = area.firstY; y < area.lastY; ++y) {
        T* row = reinterpret_cast<T*>(raw->Row(static_cast<int32_t>(y))) + area.firstX;
        const T* darkRow = reinterpret_cast<const T*>(dark.Row(static_cast<int32_t>(y + area.originY)));
        const T* brightRow = reinterpret_cast<const T*>(bright.Row(static_cast<int32_t>(y + area.originY)));
        kernel(row, darkRow + area.firstX + area.originX, brightRow + area.firstX + area.originX, count);
    }
}

}  // namespace

bool ReadMaskFile(const char* path, MaskReferences* out, MaskSize size) {
    if (path == nullptr || out == nullptr || size.width <= 0 || size.height <= 0) return false;
    // Non-blocking so that a FIFO or device name cannot hang the open; only a
    // regular file is read.
    FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.IsOpen()) return false;
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;

    uint8_t header[kMaskFileHeaderBytes];
    if (!ReadFully(file.Get(), header, sizeof header) || !HeaderIsValid(header, size)) return false;

    MaskReferences loaded;
    CDibImage* planes[4] = {&loaded.dark8, &loaded.bright8, &loaded.dark16, &loaded.bright16};
    for (size_t plane = 0; plane < 4; ++plane) {
        CDibImage& image = *planes[plane];
        if (!image.Create(size.width, size.height, kPlaneBits[plane])) return false;
        if (image.ImageBytes() != PlaneBytes(size, plane)) return false;
        if (!ReadFully(file.Get(), image.Bits(), image.ImageBytes())) return false;
    }
    *out = std::move(loaded);
    return true;
}

bool WriteMaskFile(const char* path, const CDibImage& dark8, const CDibImage& bright8, const CDibImage& dark16,
                   const CDibImage& bright16) {
    if (path == nullptr || *path == '\0') return false;
    const CDibImage* planes[4] = {&dark8, &bright8, &dark16, &bright16};
    const MaskSize size{dark8.Width(), dark8.Height()};
    for (size_t plane = 0; plane < 4; ++plane) {
        if (!IsFullSensorPlane(*planes[plane], plane, size)) return false;
    }

    uint8_t header[kMaskFileHeaderBytes] = {};
    std::memcpy(header, kMaskFileMagic, sizeof kMaskFileMagic);
    StoreLe32(header + kWidthOffset, static_cast<uint32_t>(dark8.Width()));
    StoreLe32(header + kHeightOffset, static_cast<uint32_t>(dark8.Height()));
    for (size_t plane = 0; plane < 4; ++plane) {
        StoreLe32(header + kPlaneSizeOffset + 4 * plane, static_cast<uint32_t>(planes[plane]->ImageBytes()));
    }

    const std::string target = SaveTarget(path);
    // Only a regular file is replaced: renaming over a device or a FIFO would
    // turn it into a 64 MB file, and writing into one is no mask file either.
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode)) return false;
    std::string temporary;
    FileDescriptor file(CreateTemporaryFile(DirectoryOf(target), &temporary));
    if (!file.IsOpen()) return false;
    if (replacing) KeepPermissions(file.Get(), existing);

    bool written = WriteFully(file.Get(), header, sizeof header);
    for (size_t plane = 0; plane < 4 && written; ++plane) {
        written = WriteFully(file.Get(), planes[plane]->Bits(), planes[plane]->ImageBytes());
    }
    written = written && ::fsync(file.Get()) == 0;
    written = file.Close() && written;
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool BuildDefectMap(const CDibImage& reference, CDibImage* map, DefectSource source) {
    if (map == nullptr || reference.IsEmpty() || map->IsEmpty()) return false;
    if (reference.BitsPerPixel() != map->BitsPerPixel()) return false;
    const bool dark = source == DefectSource::kDark;
    switch (reference.BitsPerPixel()) {
    case 8:
        if (dark) {
            MarkDefects<uint8_t>(reference, map, [](uint8_t v) { return v > 192; });
        } else {
            MarkDefects<uint8_t>(reference, map, [](uint8_t v) { return v < 64; });
        }
        return true;
    case 16:
        if (dark) {
            MarkDefects<uint16_t>(reference, map, [](uint16_t v) { return v > 0x3000; });
        } else {
            MarkDefects<uint16_t>(reference, map, [](uint16_t v) { return v < 4096; });
        }
        return true;
    default:
        return false;
    }
}

bool FlatFieldCorrection(CDibImage* raw, const CDibImage& dark, const CDibImage& bright,
                         const FlatFieldWindow& window) {
    return FlatFieldCorrection(raw, dark, bright, window, 0, raw != nullptr ? raw->Height() : 0, ActiveKernelLevel());
}

bool FlatFieldCorrection(CDibImage* raw, const CDibImage& dark, const CDibImage& bright, const FlatFieldWindow& window,
                         int32_t rowBegin, int32_t rowEnd, KernelLevel level) {
    if (raw == nullptr || raw->IsEmpty() || dark.IsEmpty() || bright.IsEmpty() || window.divisor <= 0) return false;
    const uint16_t depth = raw->BitsPerPixel();
    if ((depth != 8 && depth != 16) || dark.BitsPerPixel() != depth || bright.BitsPerPixel() != depth) return false;
    CorrectionArea area = AreaFor(*raw, dark, bright, window);
    area.firstY = std::max<int64_t>(area.firstY, rowBegin);
    area.lastY = std::min<int64_t>(area.lastY, rowEnd);
    if (area.firstX >= area.lastX || area.firstY >= area.lastY) return true;
    const filter_detail::FilterKernels& kernels = filter_detail::FilterKernelsFor(level);
    if (depth == 8) {
        CorrectRows<uint8_t>(raw, dark, bright, area, kernels.flatField8);
    } else {
        CorrectRows<uint16_t>(raw, dark, bright, area, kernels.flatField16);
    }
    return true;
}

}  // namespace vantix
