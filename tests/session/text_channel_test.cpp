// The session's text channel: free text reaches the SWIR head and its
// replies come back when the session drives that model; a camera without a
// text channel refuses with code 11.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "emulator/emulator.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

namespace {

using vantix::emulator::Emulator;

class TextChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
    }
    void TearDown() override { Emulator::Instance().Reset(); }
};

TEST_F(TextChannelTest, TextReachesTheHeadOfAModelWithATextChannel) {
    Emulator::Instance().Find(Emulator::Instance().Plug(0x3180))->SetUnthrottled(true);
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    session.Engine()->SetModelId(0x3180);
    ASSERT_EQ(session.SetDeviceNumber(0), 1);
    while (session.PopError() != 0) {
    }
    char command[] = "n\r\n";
    ASSERT_EQ(session.SendText(command, 3), 1);
    char reply[64] = {};
    ASSERT_EQ(session.ReceiveText(reply, sizeof reply), 16);
    EXPECT_EQ(std::string(reply), "VANTIX-Q121-CL\r\n");
    EXPECT_EQ(session.SendText(nullptr, 3), 0);
    EXPECT_EQ(session.PopError(), 9);
    EXPECT_EQ(session.PopError(), 0);
}

TEST_F(TextChannelTest, ACameraWithoutATextChannelRefusesWithNotSupported) {
    Emulator::Instance().Find(Emulator::Instance().Plug(0x3040))->SetUnthrottled(true);
    CVantix session;
    ASSERT_TRUE(session.Initialize(nullptr));
    char text[] = "n\r\n";
    EXPECT_EQ(session.SendText(text, 3), 0);
    EXPECT_EQ(session.PopError(), 11);
    EXPECT_EQ(session.ReceiveText(text, 3), 0);
    EXPECT_EQ(session.PopError(), 11);
}

}  // namespace
