// vantixsrc streaming from a virtual camera: buffers, caps and timestamps,
// dropped frames when downstream is slow, settings changed while playing.
#include <gtest/gtest.h>

#include "gst_test_support.h"

namespace vantix::gsttest {
namespace {

struct Handoff {
    GstClockTime pts;
    guint64 offset;
    gsize size;
    bool discont;
};

void RecordHandoff(GstElement*, GstBuffer* buffer, GstPad*, gpointer user) {
    static_cast<std::vector<Handoff>*>(user)->push_back({GST_BUFFER_PTS(buffer), GST_BUFFER_OFFSET(buffer),
                                                         gst_buffer_get_size(buffer),
                                                         GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT)});
}

TEST(VantixSrcStream, ThirtyBuffersIntoFakesinkWithCapsAndIncreasingTimestamps) {
    Pipeline pipeline(
        "vantixsrc num-buffers=30 roi-width=640 roi-height=480 exposure=0.002 wait-time=0 "
        "! fakesink name=sink signal-handoffs=true");
    ASSERT_TRUE(pipeline.Valid());
    std::vector<Handoff> buffers;
    g_signal_connect(pipeline.Element("sink"), "handoff", G_CALLBACK(RecordHandoff), &buffers);
    ASSERT_NE(pipeline.SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstMessage* end = pipeline.WaitMessage(static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR),
                                           milliseconds(60000));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS) << ParseError(end).debug;
    gst_message_unref(end);

    // The caps: the camera's current colour mode (24-bit in a new settings
    // file), the window asked for, a variable frame rate.
    GstPad* pad = gst_element_get_static_pad(pipeline.Element("sink"), "sink");
    GstCaps* caps = gst_pad_get_current_caps(pad);
    ASSERT_NE(caps, nullptr);
    GstCaps* expected = gst_caps_from_string(
        "video/x-raw, format=BGR, width=640, height=480, framerate=0/1, pixel-aspect-ratio=1/1");
    EXPECT_TRUE(gst_caps_is_equal(caps, expected)) << gst_caps_to_string(caps);
    gst_caps_unref(expected);
    gst_caps_unref(caps);
    gst_object_unref(pad);

    ASSERT_EQ(buffers.size(), 30u);
    for (size_t i = 0; i < buffers.size(); ++i) {
        EXPECT_EQ(buffers[i].size, 640u * 3u * 480u);
        ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(buffers[i].pts)) << i;
        if (i == 0) continue;
        EXPECT_GT(buffers[i].pts, buffers[i - 1].pts) << i;
        EXPECT_GT(buffers[i].offset, buffers[i - 1].offset) << i;
    }
}

// A downstream that takes 150 ms per buffer from a camera that delivers
// faster: frames are dropped, never queued without bound, and each drop is
// visible as a gap in the offsets, a DISCONT buffer and a QoS message.
TEST(VantixSrcStream, SlowDownstreamDropsAreCountedInQosMessages) {
    Pipeline pipeline(
        "vantixsrc name=src roi-width=320 roi-height=64 exposure=0.001 wait-time=0 "
        "! identity sleep-time=150000 ! fakesink name=sink signal-handoffs=true");
    ASSERT_TRUE(pipeline.Valid());
    std::vector<Handoff> buffers;
    g_signal_connect(pipeline.Element("sink"), "handoff", G_CALLBACK(RecordHandoff), &buffers);
    ASSERT_NE(pipeline.SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    const std::vector<GstMessage*> messages =
        pipeline.CollectMessages(static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_QOS), milliseconds(2500));
    pipeline.SetState(GST_STATE_NULL);

    guint64 dropped = 0;
    g_object_get(pipeline.Element("src"), "frames-dropped", &dropped, nullptr);
    ASSERT_GE(buffers.size(), 3u);
    guint64 gaps = 0;
    for (size_t i = 1; i < buffers.size(); ++i) {
        ASSERT_GT(buffers[i].offset, buffers[i - 1].offset);
        const guint64 missing = buffers[i].offset - buffers[i - 1].offset - 1;
        gaps += missing;
        if (missing > 0) {
            EXPECT_TRUE(buffers[i].discont) << i;
        }
    }
    EXPECT_GT(gaps, 0u);
    EXPECT_GE(dropped, gaps);

    guint64 reported = 0;
    for (GstMessage* message : messages) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            ADD_FAILURE() << ParseError(message).debug;
            gst_message_unref(message);
            continue;
        }
        GstFormat format = GST_FORMAT_UNDEFINED;
        guint64 processed = 0, qosDropped = 0;
        gst_message_parse_qos_stats(message, &format, &processed, &qosDropped);
        gboolean live = FALSE;
        gst_message_parse_qos(message, &live, nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(live);
        EXPECT_EQ(format, GST_FORMAT_BUFFERS);
        EXPECT_GE(qosDropped, reported);  // running totals
        reported = qosDropped;
        gst_message_unref(message);
    }
    EXPECT_GT(reported, 0u);
    EXPECT_LE(reported, dropped);
}

// The mean of a GRAY16_LE frame's samples.
double MeanSample(GstSample* sample) {
    const std::vector<uint8_t> bytes = BufferBytes(gst_sample_get_buffer(sample));
    double sum = 0.0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) sum += bytes[i] | (bytes[i + 1] << 8);
    return sum / static_cast<double>(bytes.size() / 2);
}

// Waits for a frame whose mean differs from `before` by at least `factor`;
// returns the last mean seen.
double MeanAfterChange(Pipeline& pipeline, double before, double factor) {
    double mean = before;
    for (int i = 0; i < 40; ++i) {
        GstSample* sample = pipeline.Pull("sink", milliseconds(5000));
        if (sample == nullptr) break;
        mean = MeanSample(sample);
        gst_sample_unref(sample);
        if (mean > before * factor || mean < before / factor) break;
    }
    return mean;
}

TEST(VantixSrcStream, ExposureAndGainChangeWhilePlaying) {
    Pipeline pipeline(
        "vantixsrc name=src roi-width=320 roi-height=64 exposure=0.001 gain=8 wait-time=0 color-mode=gray16 "
        "! appsink name=sink max-buffers=2 drop=true sync=false");
    ASSERT_TRUE(pipeline.Valid());
    ASSERT_NE(pipeline.SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstSample* first = pipeline.Pull("sink", milliseconds(10000));
    ASSERT_NE(first, nullptr);
    const double dark = MeanSample(first);
    gst_sample_unref(first);

    GstElement* src = pipeline.Element("src");
    g_object_set(src, "gain", 64, nullptr);
    const double brighter = MeanAfterChange(pipeline, dark, 2.0);
    EXPECT_GT(brighter, dark * 2.0) << "gain 8 -> 64";
    g_object_set(src, "exposure", 0.0002, nullptr);
    const double shorter = MeanAfterChange(pipeline, brighter, 2.0);
    EXPECT_LT(shorter, brighter / 2.0) << "exposure 1 ms -> 0.2 ms";

    // A value the camera refuses is a warning with the SDK's code; the
    // stream goes on.
    g_object_set(src, "gain", 100000, nullptr);
    GstMessage* warning = pipeline.WaitMessage(GST_MESSAGE_WARNING, milliseconds(5000));
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(GST_MESSAGE_SRC(warning), GST_OBJECT(src));
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_warning(warning, &error, &debug);
    EXPECT_EQ(error->domain, GST_RESOURCE_ERROR);
    EXPECT_NE(std::string(debug).find("SDK error 9"), std::string::npos) << debug;
    g_error_free(error);
    g_free(debug);
    gst_message_unref(warning);
    GstSample* after = pipeline.Pull("sink", milliseconds(5000));
    EXPECT_NE(after, nullptr);
    if (after != nullptr) gst_sample_unref(after);
}

}  // namespace
}  // namespace vantix::gsttest
