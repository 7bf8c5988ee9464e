// The video converter's packet protocol on the wire against the emulated
// converter: packets, answers, replies with their status, refusals, a bus
// that never frees and a reply that does not fit.
#include "sensors/standalone/sensor_q112.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "emulator/personalities/video_converter_personality.h"
#include "emulator/virtual_models.h"
#include "virtual_head_fixture.h"

namespace vantix {
namespace {

using emulator::VideoConverterPersonality;

class Q112Test : public VirtualHeadFixture {
protected:
    void SetUp() override {
        head_ = Connect(0x3130, std::make_unique<VideoConverterPersonality>(emulator::LookupVirtualModel(0x3130)));
        sensor_ = std::make_unique<CSensorQ112>(controller_.get(), 0x42);
    }
    void TearDown() override {
        sensor_.reset();
        VirtualHeadFixture::TearDown();
    }
    int32_t Send(const std::string& text) {
        uint8_t buffer[16] = {static_cast<uint8_t>(text.size())};
        std::memcpy(buffer + 1, text.data(), std::min<size_t>(text.size(), 15));
        return sensor_->AccessDevice(0, buffer);
    }
    std::string Receive(int32_t* result) {
        char reply[CSensorQ112::kMaxReplyBytes + 1];
        std::memset(reply, '#', sizeof reply);
        *result = sensor_->AccessDevice(1, reply);
        return *result ? std::string(reply) : std::string();
    }

    VideoConverterPersonality* head_ = nullptr;
    std::unique_ptr<CSensorQ112> sensor_;
};

TEST_F(Q112Test, CommandsTravelAsPacketsAndRepliesEndInTheirStatus) {
    EXPECT_TRUE(sensor_->Detect());
    EXPECT_TRUE(sensor_->Initialize());
    ASSERT_EQ(Send("ver"), 1);  // the converter knows upper case only
    EXPECT_EQ(head_->LastCommand(), "VER");
    int32_t result = 0;
    EXPECT_EQ(Receive(&result), "CNV-1.02o");
    EXPECT_EQ(result, 1);
    ASSERT_EQ(Send("SIG"), 1);
    EXPECT_EQ(Receive(&result), "1080P60o");
    ASSERT_EQ(Send("RST"), 1);
    EXPECT_EQ(Receive(&result), "o");
    // A refusal is an answer too; its reply is the status alone.
    ASSERT_EQ(Send("XYZ"), 1);
    EXPECT_EQ(Receive(&result), "n");
    EXPECT_EQ(result, 1);
}

TEST_F(Q112Test, MalformedRequestsAndASilentOrBusyConverterFail) {
    const uint32_t packets = head_->Packets();
    EXPECT_EQ(Send("TOOLONGXY"), 0);  // nine characters
    EXPECT_EQ(Send(""), 0);
    EXPECT_EQ(head_->Packets(), packets);
    EXPECT_EQ(sensor_->AccessDevice(2, nullptr), 0);
    uint8_t buffer[4] = {3, 'V', 'E', 'R'};
    EXPECT_EQ(sensor_->AccessDevice(2, buffer), 0);
    // Nothing answered yet: nothing to receive.
    int32_t result = 1;
    Receive(&result);
    EXPECT_EQ(result, 0);

    head_->SetBusBusy(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Send("VER"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(head_->Packets(), packets);  // nothing was sent on a busy bus
    head_->SetBusBusy(false);

    // A reply longer than 64 bytes is refused before it is read.
    ASSERT_EQ(Send("VER"), 1);
    camera_->SetFpgaRegister(4, 65);
    Receive(&result);
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace vantix
