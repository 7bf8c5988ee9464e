#pragma once
// Lets the test process write at most `bytes` into any file while the object
// lives: larger writes fail with EFBIG, as on a full disk, instead of
// raising SIGXFSZ.
#include <sys/resource.h>

#include <csignal>

namespace vantix::testing_support {

struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
};

}  // namespace vantix::testing_support
