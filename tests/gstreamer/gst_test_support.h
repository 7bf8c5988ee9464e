#pragma once
// What the vantixsrc tests share: pipelines from gst-launch descriptions, the
// messages and samples they produce, PNG decoding, and the SDK's own pictures
// to compare with.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vantix::gsttest {

using std::chrono::milliseconds;

// gst_init, once per process. The plugin is found through GST_PLUGIN_PATH,
// which CTest points at the build folder.
void InitGStreamer();

// A pipeline built from a gst-launch description; set to NULL and freed when
// it goes out of scope.
class Pipeline {
public:
    explicit Pipeline(const std::string& description);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    bool Valid() const { return pipeline_ != nullptr; }
    GstElement* Get() const { return pipeline_; }
    // An element of the pipeline by name (the pipeline keeps it alive).
    GstElement* Element(const char* name) const;
    GstStateChangeReturn SetState(GstState state);
    // Waits for a message of one of `types`; nullptr after `timeout`. The
    // caller unrefs the message.
    GstMessage* WaitMessage(GstMessageType types, milliseconds timeout);
    // The next sample of appsink `sink`; nullptr at the time-out or EOS. The
    // caller unrefs the sample.
    GstSample* Pull(const char* sink, milliseconds timeout);
    // Every message of the given types that arrives within `duration`
    // (others are dropped). The caller unrefs them.
    std::vector<GstMessage*> CollectMessages(GstMessageType types, milliseconds duration);

private:
    GstElement* pipeline_ = nullptr;
};

// The first error message: its domain and code, and both texts.
struct ErrorReport {
    bool found = false;
    GQuark domain = 0;
    int code = 0;
    std::string message;
    std::string debug;
};
ErrorReport WaitForError(Pipeline& pipeline, milliseconds timeout);
ErrorReport ParseError(GstMessage* message);

std::vector<uint8_t> BufferBytes(GstBuffer* buffer);
// Field `field` of the first structure of a sample's caps ("" when absent).
std::string CapsString(GstSample* sample, const char* field);
int CapsInt(GstSample* sample, const char* field);

// A PNG decoded as stored: rows of `channels` samples of `bitDepth` bits
// (16-bit samples big-endian), no transformations.
struct DecodedPng {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int channels = 0;
    int bitDepth = 0;
    size_t rowBytes = 0;
    std::vector<uint8_t> pixels;
};
DecodedPng DecodePng(const std::vector<uint8_t>& file);

// A picture taken by the SDK itself (Vantix_SnapShot, first row first) from
// camera `index` with the capture window (0, 0, width, height) in colour mode
// `bits` and gray mode `grayMode`; rows padded to 4 bytes. Empty on failure.
std::vector<uint8_t> SdkSnapshot(int32_t index, int32_t width, int32_t height, int32_t bits, int32_t grayMode);

// Open file descriptors and threads of this process.
int OpenDescriptors();
int Threads();

// Counts the objects created since construction whose type name contains
// one of `names` and that are not yet destroyed, from the leaks tracer's
// activity checkpoints (GST_TRACERS=leaks). The checkpoints carry type names
// and addresses only: the tracer's list of live objects would hand over
// references it never took, and freeing it would unref live objects.
class LiveObjectCounter {
public:
    explicit LiveObjectCounter(std::vector<std::string> names);
    ~LiveObjectCounter();
    LiveObjectCounter(const LiveObjectCounter&) = delete;
    LiveObjectCounter& operator=(const LiveObjectCounter&) = delete;

    bool Active() const { return tracer_ != nullptr; }
    // Objects alive now; -1 without the tracer.
    int Live();
    // Live() once it reaches 0, or its value after `timeout`: GStreamer's
    // own pool threads (a bin's state continuation, a task's exit) may hold
    // the last references for a moment after the pipeline is released.
    int LiveAfter(milliseconds timeout);

private:
    bool Matches(const char* typeName) const;

    std::vector<std::string> names_;
    GstTracer* tracer_ = nullptr;
    int live_ = 0;
};

}  // namespace vantix::gsttest
