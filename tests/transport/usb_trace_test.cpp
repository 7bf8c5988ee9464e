// Where the wire trace may go: regular files are appended to; a FIFO, a
// device or a symbolic link turns the trace off, with a line saying why,
// and never blocks the camera requests.
#include "transport/usb_trace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>

#include "drivers/transfer_record.h"

namespace vantix {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class UsbTraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantix-trace-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        const char* debug = std::getenv("VANTIX_DEBUG");
        savedDebug_ = debug != nullptr ? debug : "";
        hadDebug_ = debug != nullptr;
        setenv("VANTIX_DEBUG", "1", 1);
    }
    void TearDown() override {
        SetUsbTraceFile("");
        if (hadDebug_) {
            setenv("VANTIX_DEBUG", savedDebug_.c_str(), 1);
        } else {
            unsetenv("VANTIX_DEBUG");
        }
        fs::remove_all(dir_);
    }
    // Redirects the trace to `path`; the diagnostic lines written meanwhile
    // go to *said.
    bool Redirect(const fs::path& path, std::string* said) {
        ::testing::internal::CaptureStderr();
        const bool on = SetUsbTraceFile(path.string());
        *said = ::testing::internal::GetCapturedStderr();
        return on;
    }
    static void TraceOneRequest() {
        TransferHeader header{};
        header.requestType = 0xC0;
        header.request = 0x31;
        TraceEp0(header, 40, 0);
    }

    fs::path dir_;
    std::string savedDebug_;
    bool hadDebug_ = false;
};

TEST_F(UsbTraceTest, RegularFilesAreCreatedOrAppendedTo) {
    const fs::path file = dir_ / "trace.txt";
    std::string said;
    ASSERT_TRUE(Redirect(file, &said));
    TraceOneRequest();
    std::ofstream(dir_ / "kept.txt") << "earlier\n";
    ASSERT_TRUE(Redirect(dir_ / "kept.txt", &said));
    TraceOneRequest();
    SetUsbTraceFile("");
    const std::string line = "ep0 in req=0x31 value=0x0000 index=0x0000 returned=40 result=0\n";
    EXPECT_EQ(ReadText(file), line);
    EXPECT_EQ(ReadText(dir_ / "kept.txt"), "earlier\n" + line);
    EXPECT_EQ(said, "");
}

TEST_F(UsbTraceTest, FifoDeviceOrLinkTurnsTheTraceOffWithoutBlocking) {
    const fs::path fifo = dir_ / "trace.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO without a reader for writing would wait for one.
    auto redirected = std::async(std::launch::async, [&] { return SetUsbTraceFile(fifo.string()); });
    if (redirected.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // lets it go
        redirected.wait();
        close(reader);
        FAIL() << "the trace waited for a reader of the FIFO";
    }
    EXPECT_FALSE(redirected.get());

    // With a reader the FIFO could be written, but is still not a file.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string said;
    EXPECT_FALSE(Redirect(fifo, &said));
    EXPECT_NE(said.find(fifo.string() + " is not a regular file"), std::string::npos) << said;
    TraceOneRequest();
    char byte = 0;
    EXPECT_EQ(read(reader, &byte, 1), 0) << "nothing reached the FIFO";
    close(reader);

    EXPECT_FALSE(Redirect("/dev/null", &said));
    EXPECT_NE(said.find("/dev/null is not a regular file"), std::string::npos) << said;

    // A link planted under the name is not followed.
    std::ofstream(dir_ / "victim.txt") << "victim\n";
    fs::create_symlink(dir_ / "victim.txt", dir_ / "link.txt");
    EXPECT_FALSE(Redirect(dir_ / "link.txt", &said));
    EXPECT_NE(said.find("is a symbolic link"), std::string::npos) << said;
    TraceOneRequest();
    EXPECT_EQ(ReadText(dir_ / "victim.txt"), "victim\n");
}

}  // namespace
}  // namespace vantix
