#pragma once
// What a process holds, read from /proc/self: resident memory, open file
// descriptors and threads. For tests and runs that check nothing grows.
#include <dirent.h>

#include <cstdio>
#include <cstring>

namespace vantix::testing {

struct ProcessResources {
    long residentKiB = 0;
    int fileDescriptors = 0;
    int threads = 0;
};

inline ProcessResources ReadProcessResources() {
    ProcessResources r;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::strncmp(line, "VmRSS:", 6) == 0) std::sscanf(line + 6, "%ld", &r.residentKiB);
            if (std::strncmp(line, "Threads:", 8) == 0) std::sscanf(line + 8, "%d", &r.threads);
        }
        std::fclose(status);
    }
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(fds)) r.fileDescriptors += entry->d_name[0] != '.';
        closedir(fds);
        --r.fileDescriptors;  // the one opendir holds
    }
    return r;
}

}  // namespace vantix::testing
