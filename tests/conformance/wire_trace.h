#pragma once
// What a few calls send to the camera, from the USB trace with data bytes.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "transport/usb_trace.h"

namespace vantix::conformance {

// The USB trace of what a few calls send, with the data bytes.
class WireTrace {
public:
    WireTrace() : path_("/tmp/vantix-conformance-" + std::to_string(getpid()) + ".trace") {}
    ~WireTrace() { std::remove(path_.c_str()); }
    WireTrace(const WireTrace&) = delete;
    WireTrace& operator=(const WireTrace&) = delete;

    template <typename Calls>
    std::string Of(Calls&& calls) {
        std::remove(path_.c_str());
        SetUsbTraceData(true);
        SetUsbTraceFile(path_);
        calls();
        SetUsbTraceFile("");
        SetUsbTraceData(false);
        std::ifstream in(path_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The endpoint-0 requests that sent something to the camera.
    static std::vector<std::string> Writes(const std::string& trace) {
        std::vector<std::string> writes;
        std::istringstream lines(trace);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("ep0 out", 0) == 0) writes.push_back(line);
        }
        return writes;
    }

private:
    std::string path_;
};

}  // namespace vantix::conformance
