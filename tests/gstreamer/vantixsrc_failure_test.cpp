// vantixsrc when things go wrong: a missing camera, refused settings, a
// camera unplugged mid-stream (error messages with the SDK's code, never a
// stall), and many start-stop cycles that must leave nothing behind.
#include <gtest/gtest.h>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include <ostream>

#include "gst_test_support.h"

namespace vantix::gsttest {
namespace {

struct FailureCase {
    const char* name;
    const char* properties;
    int code;             // GstResourceError
    const char* debug;    // in the debug text
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.properties; }

class VantixSrcFailures : public testing::TestWithParam<FailureCase> {};

TEST_P(VantixSrcFailures, BecomeErrorMessagesWithTheSdkCode) {
    const FailureCase& c = GetParam();
    Pipeline pipeline(std::string("vantixsrc ") + c.properties + " ! fakesink");
    ASSERT_TRUE(pipeline.Valid());
    pipeline.SetState(GST_STATE_PLAYING);
    const ErrorReport error = WaitForError(pipeline, milliseconds(10000));
    ASSERT_TRUE(error.found) << c.properties;
    EXPECT_EQ(error.domain, GST_RESOURCE_ERROR) << error.debug;
    EXPECT_EQ(error.code, c.code) << error.debug;
    EXPECT_NE(error.debug.find(c.debug), std::string::npos) << error.debug;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VantixSrcFailures,
    testing::Values(FailureCase{"NoCamera", "camera-index=5", GST_RESOURCE_ERROR_NOT_FOUND, "SDK error 2"},
                    FailureCase{"OtherModel", "model=0x3100", GST_RESOURCE_ERROR_SETTINGS, "model 0x3040"},
                    FailureCase{"ExposureTooLong", "exposure=10", GST_RESOURCE_ERROR_SETTINGS, "SDK error 9"},
                    FailureCase{"GainTooHigh", "gain=1000", GST_RESOURCE_ERROR_SETTINGS, "SDK error 9"},
                    FailureCase{"OddOrigin", "roi-x=1 roi-width=320 roi-height=240", GST_RESOURCE_ERROR_SETTINGS,
                                "SDK error 7"}),
    [](const testing::TestParamInfo<FailureCase>& param) { return std::string(param.param.name); });

// The device path of camera `index`, as the SDK lists it.
std::string DevicePath(int32_t index) {
    const int32_t handle = Vantix_Initialize(nullptr);
    VantixDeviceDetails details{};
    const bool found = handle != 0 && VantixExt_GetDeviceDetails(handle, index, &details) == 1;
    if (handle != 0) Vantix_Release(handle);
    return found ? details.path : "";
}

TEST(VantixSrcLostCamera, UnpluggedCameraEndsThePipelineWithAnError) {
    // Camera 1 of the two virtual cameras, so that camera 0 keeps working.
    const std::string path = DevicePath(1);
    ASSERT_FALSE(path.empty());
    Pipeline pipeline("vantixsrc camera-index=1 roi-width=320 roi-height=64 exposure=0.002 "
                      "! appsink name=sink max-buffers=2 drop=true");
    ASSERT_TRUE(pipeline.Valid());
    ASSERT_NE(pipeline.SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    for (int i = 0; i < 3; ++i) {
        GstSample* sample = pipeline.Pull("sink", milliseconds(10000));
        ASSERT_NE(sample, nullptr);
        gst_sample_unref(sample);
    }
    ASSERT_EQ(VantixExt_SetVirtualCameraPlugged(path.c_str(), 0), 1);
    const ErrorReport error = WaitForError(pipeline, milliseconds(15000));
    EXPECT_EQ(VantixExt_SetVirtualCameraPlugged(path.c_str(), 1), 1);
    ASSERT_TRUE(error.found);
    EXPECT_EQ(error.domain, GST_RESOURCE_ERROR);
    EXPECT_EQ(error.code, GST_RESOURCE_ERROR_READ);
    EXPECT_NE(error.debug.find("SDK error 13"), std::string::npos) << error.debug;
    EXPECT_EQ(pipeline.SetState(GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
}

// Counts buffers leaving the source.
GstPadProbeReturn CountBuffer(GstPad*, GstPadProbeInfo*, gpointer user) {
    g_atomic_int_inc(static_cast<gint*>(user));
    return GST_PAD_PROBE_OK;
}

// One NULL -> PLAYING -> NULL cycle that streams at least one buffer.
bool Cycle(Pipeline& pipeline, gint* buffers) {
    const gint before = g_atomic_int_get(buffers);
    if (pipeline.SetState(GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return false;
    for (int i = 0; i < 500 && g_atomic_int_get(buffers) == before; ++i) g_usleep(10000);
    const bool streamed = g_atomic_int_get(buffers) > before;
    return pipeline.SetState(GST_STATE_NULL) == GST_STATE_CHANGE_SUCCESS && streamed;
}

TEST(VantixSrcLifecycle, FiftyNullPlayingNullCyclesLeaveNothingBehind) {
    const std::vector<std::string> ours = {"GstVantixSrc", "GstBuffer", "GstVideoBufferPool", "GstBufferPool"};
    LiveObjectCounter objects(ours);
    if (!objects.Active()) GTEST_SKIP() << "run with GST_TRACERS=leaks to check objects";
    gint buffers = 0;
    int descriptors = 0, threads = 0;
    {
        Pipeline pipeline("vantixsrc name=src roi-width=320 roi-height=64 exposure=0.001 wait-time=0 ! fakesink");
        ASSERT_TRUE(pipeline.Valid());
        GstPad* pad = gst_element_get_static_pad(pipeline.Element("src"), "src");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, CountBuffer, &buffers, nullptr);
        gst_object_unref(pad);
        ASSERT_TRUE(Cycle(pipeline, &buffers));
        descriptors = OpenDescriptors();
        threads = Threads();
        for (int cycle = 1; cycle < 50; ++cycle) ASSERT_TRUE(Cycle(pipeline, &buffers)) << "cycle " << cycle;
        // Sessions, windows and their threads are closed with each cycle.
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_LE(Threads(), threads + 2);  // GStreamer's thread pool may keep idle threads
        EXPECT_GT(objects.Live(), 0) << "the counter sees the element while it lives";
    }
    // With the pipeline gone, no element, pool or buffer of it lives on.
    EXPECT_EQ(objects.LiveAfter(milliseconds(5000)), 0);
}

}  // namespace
}  // namespace vantix::gsttest
