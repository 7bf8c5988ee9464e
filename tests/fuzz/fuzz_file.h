#pragma once
// An in-memory file with a path, for fuzz targets of loaders that open files
// by name: the input never touches the disk and each run starts clean.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace vantix::fuzz {

class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("vantix-fuzz", MFD_CLOEXEC)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the contents with size bytes of data.
    void Assign(const uint8_t* data, size_t size) {
        if (ftruncate(fd_, 0) != 0) std::abort();
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<size_t>(n);
        }
    }
    // Grows (with zeros) or cuts the file to bytes.
    void Resize(size_t bytes) {
        if (ftruncate(fd_, static_cast<off_t>(bytes)) != 0) std::abort();
    }
    const char* Path() const { return path_.c_str(); }

private:
    int fd_;
    std::string path_;
};

}  // namespace vantix::fuzz
