// vantixsrc formats and caps negotiation: every format through videoconvert
// and pngenc compared with the SDK's own snapshot, the Bayer pattern in the
// caps against the samples, and the formats and windows a capsfilter asks for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

#include "gst_test_support.h"

namespace vantix::gsttest {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct FormatCase {
    const char* format;  // GStreamer's name
    int bits;            // the SDK's colour mode
    int grayMode;        // 2 turns colour into gray
    int pngChannels;     // what videoconvert ! pngenc makes of it
    int pngBitDepth;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.format; }

class VantixSrcFormats : public testing::TestWithParam<FormatCase> {};

// The PNG pixel (x, y) channel c as a number.
int PngSample(const DecodedPng& png, int x, int y, int c) {
    const uint8_t* p = png.pixels.data() + static_cast<size_t>(y) * png.rowBytes;
    if (png.bitDepth == 16) {
        const size_t i = (static_cast<size_t>(x) * static_cast<size_t>(png.channels) + static_cast<size_t>(c)) * 2;
        return (p[i] << 8) | p[i + 1];
    }
    return p[static_cast<size_t>(x) * static_cast<size_t>(png.channels) + static_cast<size_t>(c)];
}

TEST_P(VantixSrcFormats, PngOfTheStreamMatchesTheSdkSnapshot) {
    const FormatCase& c = GetParam();
    const std::vector<uint8_t> snapshot = SdkSnapshot(0, kWidth, kHeight, c.bits, c.grayMode);
    ASSERT_FALSE(snapshot.empty());
    Pipeline pipeline(std::string("vantixsrc num-buffers=1 roi-x=0 roi-y=0 ! video/x-raw,format=") + c.format +
                      ",width=320,height=240 ! videoconvert dither=none ! pngenc ! appsink name=sink");
    ASSERT_TRUE(pipeline.Valid());
    ASSERT_NE(pipeline.SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstSample* sample = pipeline.Pull("sink", milliseconds(20000));
    ASSERT_NE(sample, nullptr) << WaitForError(pipeline, milliseconds(0)).debug;
    const DecodedPng png = DecodePng(BufferBytes(gst_sample_get_buffer(sample)));
    gst_sample_unref(sample);
    ASSERT_TRUE(png.ok);
    ASSERT_EQ(png.width, static_cast<uint32_t>(kWidth));
    ASSERT_EQ(png.height, static_cast<uint32_t>(kHeight));
    ASSERT_EQ(png.channels, c.pngChannels);
    ASSERT_EQ(png.bitDepth, c.pngBitDepth);

    const size_t stride = snapshot.size() / kHeight;
    const int bytesPerPixel = c.bits / 8;
    int mismatches = 0;
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* row = snapshot.data() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* pixel = row + x * bytesPerPixel;
            bool same = true;
            switch (c.bits) {
                case 8: same = PngSample(png, x, y, 0) == pixel[0]; break;
                case 16: same = PngSample(png, x, y, 0) == (pixel[0] | (pixel[1] << 8)); break;
                case 24:
                case 32:  // B, G, R in the SDK's image; R, G, B in the PNG
                    for (int ch = 0; ch < 3; ++ch) same = same && PngSample(png, x, y, ch) == pixel[2 - ch];
                    break;
                case 64:  // 16-bit channels made 8-bit by videoconvert
                    for (int ch = 0; ch < 3; ++ch) {
                        const int word = pixel[(2 - ch) * 2] | (pixel[(2 - ch) * 2 + 1] << 8);
                        same = same && std::abs(PngSample(png, x, y, ch) - (word >> 8)) <= 1;
                    }
                    break;
                default: same = false;
            }
            // Four channels: the alpha of a camera picture is opaque.
            if (png.channels == 4) same = same && PngSample(png, x, y, 3) == 255;
            if (!same && ++mismatches <= 3) ADD_FAILURE() << c.format << ": pixel (" << x << ", " << y << ") differs";
        }
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, VantixSrcFormats,
                         testing::Values(FormatCase{"GRAY8", 8, 2, 1, 8}, FormatCase{"GRAY16_LE", 16, 0, 1, 16},
                                         FormatCase{"BGR", 24, 0, 3, 8}, FormatCase{"BGRx", 32, 0, 3, 8},
                                         FormatCase{"BGRA64_LE", 64, 0, 4, 8}),
                         [](const testing::TestParamInfo<FormatCase>& param) { return std::string(param.param.format); });

// Raw 8-bit frames: the bytes are the SDK's, and the pattern the caps name
// is the pattern of the samples. The scene's colour bars from the left are
// white, yellow, cyan, green, magenta, red, blue and black; in the yellow
// bar blue samples are dark, in the cyan bar red ones, whichever way the
// picture is mirrored.
struct MirrorCase {
    const char* mirror;
    const char* pattern;
};

void PrintTo(const MirrorCase& c, std::ostream* out) { *out << "mirror=" << c.mirror; }

class VantixSrcBayer : public testing::TestWithParam<MirrorCase> {};

TEST_P(VantixSrcBayer, CapsNameThePatternOfTheSamples) {
    const MirrorCase& c = GetParam();
    // Unmirrored, the bytes are the SDK's own picture (taken first: the
    // pipeline keeps the camera open).
    const bool unmirrored = std::string(c.mirror) == "none";
    const std::vector<uint8_t> snapshot = unmirrored ? SdkSnapshot(0, kWidth, kHeight, 8, 0) : std::vector<uint8_t>{};
    ASSERT_EQ(snapshot.empty(), !unmirrored);
    Pipeline pipeline(std::string("vantixsrc num-buffers=1 roi-x=0 roi-y=0 mirror=") + c.mirror +
                      " ! video/x-bayer,width=320,height=240 ! appsink name=sink");
    ASSERT_TRUE(pipeline.Valid());
    ASSERT_NE(pipeline.SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstSample* sample = pipeline.Pull("sink", milliseconds(20000));
    ASSERT_NE(sample, nullptr) << WaitForError(pipeline, milliseconds(0)).debug;
    const std::string pattern = CapsString(sample, "format");
    const std::vector<uint8_t> frame = BufferBytes(gst_sample_get_buffer(sample));
    gst_sample_unref(sample);
    EXPECT_EQ(pattern, c.pattern);
    ASSERT_EQ(frame.size(), static_cast<size_t>(kWidth * kHeight));
    ASSERT_EQ(pattern.size(), 4u);

    const bool mirroredH = std::string(c.mirror) == "horizontal" || std::string(c.mirror) == "both";
    const int barWidth = kWidth / 8;
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (x % barWidth < 4 || x % barWidth >= barWidth - 4) continue;  // bar edges
            const int bar = mirroredH ? 7 - x / barWidth : x / barWidth;
            const char colour = pattern[static_cast<size_t>((y % 2) * 2 + x % 2)];
            const bool dark = frame[static_cast<size_t>(y * kWidth + x)] < 64;
            if (bar == 1 && dark != (colour == 'b')) ++wrong;
            if (bar == 2 && dark != (colour == 'r')) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0) << "samples whose colour does not fit the pattern " << pattern;

    if (unmirrored) {
        EXPECT_EQ(frame, snapshot);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryMirror, VantixSrcBayer,
                         testing::Values(MirrorCase{"none", "grbg"}, MirrorCase{"horizontal", "rggb"},
                                         MirrorCase{"vertical", "bggr"}, MirrorCase{"both", "gbrg"}),
                         [](const testing::TestParamInfo<MirrorCase>& param) { return std::string(param.param.mirror); });

// The first sample of a pipeline, with its caps; nullptr when it fails.
GstSample* FirstSample(Pipeline& pipeline) {
    if (!pipeline.Valid() || pipeline.SetState(GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return nullptr;
    return pipeline.Pull("sink", milliseconds(20000));
}

TEST(VantixSrcCaps, CapsfilterChoosesFormatAndWindow) {
    {
        Pipeline pipeline("vantixsrc ! video/x-raw,format=GRAY16_LE,width=480,height=320 ! appsink name=sink");
        GstSample* sample = FirstSample(pipeline);
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(CapsString(sample, "format"), "GRAY16_LE");
        EXPECT_EQ(CapsInt(sample, "width"), 480);
        EXPECT_EQ(CapsInt(sample, "height"), 320);
        EXPECT_EQ(gst_buffer_get_size(gst_sample_get_buffer(sample)), 480u * 2u * 320u);
        gst_sample_unref(sample);
    }
    {
        // A range downstream is met at the largest window inside it that the
        // camera takes (widths in steps of 16).
        Pipeline pipeline("vantixsrc ! video/x-raw,format=BGRx,width=[400,410],height=[100,101] ! appsink name=sink");
        GstSample* sample = FirstSample(pipeline);
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(CapsInt(sample, "width"), 400);
        EXPECT_EQ(CapsInt(sample, "height"), 100);
        gst_sample_unref(sample);
    }
    {
        // Unconstrained: the camera's current capture window and colour mode.
        Pipeline pipeline("vantixsrc num-buffers=1 ! appsink name=sink");
        GstSample* sample = FirstSample(pipeline);
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(CapsString(sample, "format"), "BGR");
        EXPECT_EQ(CapsInt(sample, "width"), 3840);
        EXPECT_EQ(CapsInt(sample, "height"), 2752);
        gst_sample_unref(sample);
    }
}

TEST(VantixSrcCaps, RequestsOutsideTheCameraFailNegotiation) {
    for (const char* request : {"video/x-raw,width=100",                 // below the smallest window
                                "video/x-raw,width=648,height=480",      // not a multiple of 16
                                "video/x-bayer,height=241",              // rows in pairs
                                "video/x-raw,width=4000"}) {             // wider than the sensor
        Pipeline pipeline(std::string("vantixsrc ! ") + request + " ! fakesink");
        ASSERT_TRUE(pipeline.Valid());
        pipeline.SetState(GST_STATE_PLAYING);
        const ErrorReport error = WaitForError(pipeline, milliseconds(10000));
        EXPECT_TRUE(error.found) << request;
        EXPECT_EQ(error.domain, GST_STREAM_ERROR) << request << ": " << error.debug;
        EXPECT_NE(error.debug.find("not-negotiated"), std::string::npos) << request << ": " << error.debug;
    }
    // The colour-mode property narrows the caps to its format.
    Pipeline pipeline("vantixsrc color-mode=bayer ! video/x-raw ! fakesink");
    ASSERT_TRUE(pipeline.Valid());
    pipeline.SetState(GST_STATE_PLAYING);
    EXPECT_TRUE(WaitForError(pipeline, milliseconds(10000)).found);
}

}  // namespace
}  // namespace vantix::gsttest
