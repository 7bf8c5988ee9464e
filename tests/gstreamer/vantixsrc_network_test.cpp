// A camera watched over the network: vantixsrc into an RTP raw-video stream
// on the loopback interface, received and depayloaded in the same process.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gst_test_support.h"

namespace vantix::gsttest {
namespace {

// A UDP socket on 127.0.0.1 at a port the system picks, so parallel tests
// never collide.
GSocket* LoopbackSocket(guint16* port) {
    GSocket* socket = g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_DATAGRAM, G_SOCKET_PROTOCOL_UDP, nullptr);
    if (socket == nullptr) return nullptr;
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    const gboolean bound = g_socket_bind(socket, address, FALSE, nullptr);
    g_object_unref(address);
    g_object_unref(loopback);
    GSocketAddress* local = bound ? g_socket_get_local_address(socket, nullptr) : nullptr;
    if (local == nullptr) {
        g_object_unref(socket);
        return nullptr;
    }
    *port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(local));
    g_object_unref(local);
    return socket;
}

TEST(VantixSrcNetwork, RtpLoopbackStreamDeliversTheCamerasFrames) {
    guint16 port = 0;
    GSocket* socket = LoopbackSocket(&port);
    ASSERT_NE(socket, nullptr);
    // The receiver: caps as rtpvrawpay announces them for 320 x 120 BGR.
    Pipeline receiver(
        "udpsrc name=udp buffer-size=4000000 caps=\"application/x-rtp, media=video, clock-rate=90000, "
        "encoding-name=RAW, sampling=BGR, depth=(string)8, width=(string)320, height=(string)120, payload=96\" "
        "! rtpvrawdepay ! appsink name=sink sync=false");
    ASSERT_TRUE(receiver.Valid());
    g_object_set(receiver.Element("udp"), "socket", socket, nullptr);
    g_object_unref(socket);
    ASSERT_NE(receiver.SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);

    // The sender keeps each frame it sends for comparison.
    Pipeline sender("vantixsrc roi-width=320 roi-height=120 color-mode=bgr exposure=0.005 ! tee name=t "
                    "! queue ! rtpvrawpay ! udpsink host=127.0.0.1 port=" + std::to_string(port) +
                    " sync=false t. ! queue ! appsink name=sent sync=false max-buffers=50");
    ASSERT_TRUE(sender.Valid());
    ASSERT_NE(sender.SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);

    int received = 0;
    GstSample* sent = sender.Pull("sent", milliseconds(10000));
    ASSERT_NE(sent, nullptr) << WaitForError(sender, milliseconds(0)).debug;
    const std::vector<uint8_t> original = BufferBytes(gst_sample_get_buffer(sent));
    gst_sample_unref(sent);
    while (received < 3) {
        GstSample* sample = receiver.Pull("sink", milliseconds(10000));
        if (sample == nullptr) break;
        EXPECT_EQ(CapsString(sample, "format"), "BGR");
        EXPECT_EQ(CapsInt(sample, "width"), 320);
        EXPECT_EQ(CapsInt(sample, "height"), 120);
        // The virtual camera's scene is still, so every frame is the first.
        EXPECT_EQ(BufferBytes(gst_sample_get_buffer(sample)), original);
        gst_sample_unref(sample);
        ++received;
    }
    EXPECT_EQ(received, 3);
}

}  // namespace
}  // namespace vantix::gsttest
