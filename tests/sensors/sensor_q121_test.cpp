// The SWIR head's command protocol on the wire against the emulated head
// controller: handshake, text in both directions, exposure and gain
// commands, debug mode kept once per process, replies over a slow link, and
// a head that does not answer, answers garbled, was restarted, or is driven
// from two threads.
#include "sensors/serial_head/sensor_q121.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "emulator/personalities/serial_head_personality.h"
#include "emulator/virtual_models.h"
#include "virtual_head_fixture.h"

namespace vantix {
namespace {

using emulator::SerialHeadPersonality;

constexpr uint16_t kModel = 0x3180;
constexpr uint8_t kBridgeAddress = 0x48;

class Q121Test : public VirtualHeadFixture {
protected:
    void SetUp() override {
        CSensorQ121::ResetDebugModeForTesting();
        head_ = Connect(kModel, NewHead());
        sensor_ = std::make_unique<CSensorQ121>(controller_.get(), kBridgeAddress);
    }
    void TearDown() override {
        sensor_.reset();
        VirtualHeadFixture::TearDown();
    }
    static std::unique_ptr<SerialHeadPersonality> NewHead() {
        return std::make_unique<SerialHeadPersonality>(emulator::LookupVirtualModel(kModel));
    }
    long CountOf(const std::string& command) const {
        return std::count(head_->Commands().begin(), head_->Commands().end(), command);
    }

    SerialHeadPersonality* head_ = nullptr;
    std::unique_ptr<CSensorQ121> sensor_;
};

TEST_F(Q121Test, HandshakeWakesTheHeadAndExchangesItsIdentity) {
    EXPECT_FALSE(sensor_->Detect());  // a head just powered on is silent
    ASSERT_TRUE(sensor_->Handshake());
    EXPECT_TRUE(sensor_->Detect());
    EXPECT_EQ(head_->Commands(), (std::vector<std::string>{"n", "x -c"}));
    EXPECT_EQ(camera_->FpgaRegister(60), 2);
    ASSERT_TRUE(sensor_->Initialize());
    EXPECT_EQ(sensor_->Info().areaWidth, 2048);
    EXPECT_EQ(sensor_->Info().areaHeight, 1024);
}

TEST_F(Q121Test, TextTravelsByteByByteAndLinesEndAsTheHeadEndsThem) {
    // Three letters with room for ten: three bytes, nothing more.
    EXPECT_EQ(sensor_->SendText("abc", 10), 1);
    EXPECT_EQ(head_->ReceivedBytes(), "abc");
    EXPECT_EQ(sensor_->SendText("", 10), 0);
    EXPECT_EQ(sensor_->SendText("xyz", 0), 0);
    EXPECT_EQ(head_->ReceivedBytes(), "abc");

    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    head_->InjectReply("OK\r");
    ASSERT_EQ(sensor_->ReceiveText(buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 5), "OK\r\n#");  // no NUL added
    head_->InjectReply("\n");
    EXPECT_EQ(sensor_->ReceiveText(buffer, sizeof buffer), 0);
    EXPECT_EQ(sensor_->ReceiveText(buffer, sizeof buffer), 0);  // nothing left

    // The caller's length limits the copy, not the count.
    std::memset(buffer, '#', sizeof buffer);
    head_->InjectReply("HELLO\n");
    EXPECT_EQ(sensor_->ReceiveText(buffer, 2), 6);
    EXPECT_EQ(std::string(buffer, 3), "HE#");
    // A line that never ends within 256 bytes is no line.
    head_->InjectReply(std::string(300, 'z'));
    EXPECT_EQ(sensor_->ReceiveText(buffer, sizeof buffer), 0);
}

TEST_F(Q121Test, ExposureAndGainAreCommandsInTheHeadsUnits) {
    ASSERT_TRUE(sensor_->SetExposureTime(100));  // 10 ms: 100 x 40 x 100 / 70 = 5714.28
    EXPECT_EQ(head_->Commands().back(), "i -v 5714");
    EXPECT_EQ(head_->ExposureLines(), 5714);
    EXPECT_EQ(sensor_->Info().exposureLines.current, 5714);
    EXPECT_EQ(sensor_->Info().exposureTime.current, 100);
    ASSERT_TRUE(sensor_->SetGain(300));
    EXPECT_EQ(head_->Commands().back(), "g -v 255");
    EXPECT_EQ(head_->Gain(), 255);
    ASSERT_TRUE(sensor_->SetExposureLines(5000000));
    EXPECT_EQ(head_->ExposureLines(), 1000000);
    ASSERT_TRUE(sensor_->SetExposureLines(-5));  // never a count the head cannot take
    EXPECT_EQ(head_->ExposureLines(), 1);
}

TEST_F(Q121Test, DebugModeIsEnteredOncePerProcessForHeadFpgaWrites) {
    ASSERT_TRUE(sensor_->SetTriggerMode(1));
    EXPECT_EQ(head_->HeadFpgaRegister(48), 1);
    EXPECT_EQ(head_->HeadFpgaRegister(60), 1);
    ASSERT_TRUE(sensor_->SetTriggerMode(0));
    EXPECT_EQ(head_->HeadFpgaRegister(48), 0);
    int32_t mode = -1;
    ASSERT_TRUE(sensor_->GetTriggerMode(&mode));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(CountOf("d -y 7306418"), 1);
    EXPECT_EQ(CountOf("q -w x3c x00"), 2);
    // Another object of the class knows the head is in debug mode already.
    CSensorQ121 other(controller_.get(), kBridgeAddress);
    ASSERT_TRUE(other.SetTriggerMode(1));
    EXPECT_EQ(CountOf("d -y 7306418"), 1);
    EXPECT_EQ(CSensorQ121::KnownDebugMode(), CSensorQ121::DebugMode::On);
}

TEST_F(Q121Test, AHeadThatIsSilentOrGarbledFailsTheCommandInBoundedTime) {
    // A stale "OK" from before the command must not pass for its answer.
    head_->InjectReply("OK\r\n");
    head_->SetSilent(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sensor_->SetGain(10));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));  // it used to wait forever or pass
    EXPECT_EQ(sensor_->Info().gain.current, 128);
    EXPECT_EQ(CSensorQ121::KnownDebugMode(), CSensorQ121::DebugMode::Unknown);

    head_->SetSilent(false);
    head_->SetGarbled(true);
    EXPECT_FALSE(sensor_->SetExposureLines(200));
    EXPECT_EQ(sensor_->Info().exposureLines.current, 10000);
    EXPECT_FALSE(sensor_->SetTriggerMode(1));
    EXPECT_FALSE(sensor_->Handshake());

    head_->SetGarbled(false);
    ASSERT_TRUE(sensor_->SetExposureLines(200));
    // The garbled greeting left the mode unknown: it is entered again.
    ASSERT_TRUE(sensor_->SetTriggerMode(1));
    EXPECT_EQ(CSensorQ121::KnownDebugMode(), CSensorQ121::DebugMode::On);
}

TEST_F(Q121Test, RepliesThatTrickleInOverASlowLinkAreStillOneLine) {
    // The link runs dry between any two bytes, also right before the CR.
    head_->SetSlowLink(true);
    ASSERT_TRUE(sensor_->SetGain(42));
    EXPECT_EQ(head_->Gain(), 42);
    ASSERT_TRUE(sensor_->SetTriggerMode(1));
    EXPECT_EQ(head_->HeadFpgaRegister(48), 1);
    EXPECT_EQ(CSensorQ121::KnownDebugMode(), CSensorQ121::DebugMode::On);
    // A wrong reply stays wrong however it arrives.
    head_->SetGarbled(true);
    EXPECT_FALSE(sensor_->SetGain(43));
    EXPECT_EQ(sensor_->Info().gain.current, 42);
}

TEST_F(Q121Test, ARestartedHeadIsPutBackIntoDebugModeOnce) {
    ASSERT_TRUE(sensor_->SetTriggerMode(1));
    // The head restarts (out of debug mode); the process still believes it on.
    head_ = NewHead().release();
    camera_->ReplaceHead(std::unique_ptr<SerialHeadPersonality>(head_));
    ASSERT_TRUE(sensor_->SetTriggerMode(0));
    EXPECT_EQ(CountOf("d -y 7306418"), 1);
    EXPECT_TRUE(head_->DebugMode());
    EXPECT_EQ(head_->HeadFpgaRegister(60), 1);
}

TEST_F(Q121Test, CommandsFromTwoThreadsNeverInterleave) {
    constexpr int kRounds = 4;
    int gainFailures = 0;
    int exposureFailures = 0;
    std::thread gains([&] {
        for (int i = 0; i < kRounds; ++i) gainFailures += sensor_->SetGain(100 + i) ? 0 : 1;
    });
    std::thread exposures([&] {
        for (int i = 0; i < kRounds; ++i) exposureFailures += sensor_->SetExposureLines(3000 + i) ? 0 : 1;
    });
    gains.join();
    exposures.join();
    EXPECT_EQ(gainFailures, 0);
    EXPECT_EQ(exposureFailures, 0);
    ASSERT_EQ(head_->Commands().size(), 2u * kRounds);
    for (const std::string& command : head_->Commands()) {
        const bool gain = command.rfind("g -v 10", 0) == 0 && command.size() == 8;
        const bool exposure = command.rfind("i -v 300", 0) == 0 && command.size() == 9;
        EXPECT_TRUE(gain || exposure) << command;
    }
    EXPECT_EQ(CountOf("g -v 103"), 1);
    EXPECT_EQ(CountOf("i -v 3003"), 1);
}

}  // namespace
}  // namespace vantix
