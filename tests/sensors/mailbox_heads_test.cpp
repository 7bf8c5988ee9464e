// The mailbox heads on the wire against the emulated microcontroller:
// initialisation and the information block, windows, readout mode, exposure,
// gain, temperature, sensor mode, the 4096 head's gain steps, black level,
// full scan and output mode, and a busy bit that never clears.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "emulator/personalities/mailbox_personality.h"
#include "emulator/virtual_models.h"
#include "sensors/mailbox/sensor_q119.h"
#include "sensors/mailbox/sensor_q123.h"
#include "virtual_head_fixture.h"

namespace vantix {
namespace {

using emulator::MailboxPersonality;

constexpr uint8_t kAddress = 0x6C;

class MailboxTest : public VirtualHeadFixture {
protected:
    template <typename Sensor>
    std::unique_ptr<Sensor> Open(uint16_t model) {
        const emulator::VirtualModel row = emulator::LookupVirtualModel(model);
        head_ = Connect(model, std::make_unique<MailboxPersonality>(row, emulator::MailboxDescriptionOf(row.head)));
        return std::make_unique<Sensor>(controller_.get(), kAddress);
    }
    uint8_t Fpga(uint8_t reg) const { return camera_->FpgaRegister(reg); }

    MailboxPersonality* head_ = nullptr;
};

TEST_F(MailboxTest, Q119InitialisesThroughTheMailboxAndKeepsFullRowsInItsWindows) {
    auto sensor = Open<CSensorQ119>(0x31E0);
    head_->SetBootReads(2);  // the head's processor is still starting
    ASSERT_TRUE(sensor->Initialize());
    EXPECT_EQ(Fpga(153), 86);
    EXPECT_EQ(sensor->LineLengthClocks(), 560);
    EXPECT_TRUE(sensor->IsInfoBlockValid());
    int32_t number = 0;
    int16_t word = 0;
    uint8_t bytes[2] = {};
    ASSERT_TRUE(sensor->GetInfoBlock(&number, &word, bytes));
    EXPECT_EQ(number, 0x00012345);
    EXPECT_EQ(word, 0x0210);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[1], 1);

    ASSERT_TRUE(sensor->SetArea(100, 640, 3, 101, 0));
    int32_t x = -1, width = 0, y = 0, height = 0, mode = -1;
    sensor->GetArea(&x, &width, &y, &height, &mode);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 4);
    EXPECT_EQ(width, 2048);
    EXPECT_EQ(height, 102);
    EXPECT_EQ(Fpga(154), 102);
    EXPECT_EQ(Fpga(235), 104);
    EXPECT_EQ(Fpga(233), 4);
    EXPECT_FALSE(sensor->SetArea(0, 2048, 2000, 100, 0));  // past the last row
    EXPECT_FALSE(sensor->SetArea(0, 2048, -2, 100, 0));
    EXPECT_EQ(sensor->Info().areaY, 4);
}

TEST_F(MailboxTest, Q119ReadoutModeExposureGainTemperatureAndSensorMode) {
    auto sensor = Open<CSensorQ119>(0x31E0);
    ASSERT_TRUE(sensor->Initialize());
    const uint32_t commands = head_->Commands();
    EXPECT_FALSE(sensor->SetReadoutMode(9));
    EXPECT_EQ(head_->Commands(), commands);
    EXPECT_EQ(Fpga(230), 0);
    EXPECT_EQ(Fpga(144), 0);

    // 11.2 ms in lines of 560 clocks at 50 MHz (11.2 us): 1000 lines.
    ASSERT_TRUE(sensor->SetExposureSeconds(0.0112));
    EXPECT_EQ(head_->AppliedExposureLines(), 1000u);
    EXPECT_EQ(sensor->Info().exposureTime.current, 112);
    // Readout mode 1: 1280 clocks a line, and the exposure in seconds kept.
    ASSERT_TRUE(sensor->SetReadoutMode(1));
    EXPECT_EQ(head_->AppliedLineLength(), 1280u);
    EXPECT_EQ(sensor->LineLengthClocks(), 1280);
    EXPECT_DOUBLE_EQ(sensor->Info().exposureSecondsMin, 0.000128);
    EXPECT_EQ(head_->AppliedExposureLines(), 437u);  // 11200 us / 25.6 us
    int32_t mode = -1;
    ASSERT_TRUE(sensor->GetReadoutMode(&mode));
    EXPECT_EQ(mode, 1);

    ASSERT_TRUE(sensor->SetGain(300));
    EXPECT_EQ(Fpga(136), 7);
    EXPECT_EQ(Fpga(138), 255);
    EXPECT_EQ(Fpga(139), 0);

    double celsius = 0;
    ASSERT_TRUE(sensor->GetTemperature(&celsius));
    EXPECT_NEAR(celsius, 1367 * 0.2384 - 300.91, 1e-9);

    ASSERT_TRUE(sensor->IsSensorModeSupported());
    ASSERT_TRUE(sensor->SetSensorMode(1));
    int32_t state = 0;
    ASSERT_TRUE(sensor->GetSensorMode(&state));
    EXPECT_EQ(state, 1);
    EXPECT_EQ(head_->SensorRegister(65), 241);
    EXPECT_EQ(head_->SensorRegister(69), 217);
    EXPECT_EQ(Fpga(153), 98);
    ASSERT_TRUE(sensor->SetSensorMode(0));
    ASSERT_TRUE(sensor->GetSensorMode(&state));
    EXPECT_EQ(state, 0);
    EXPECT_EQ(head_->SensorRegister(65), 245);

    ASSERT_TRUE(sensor->SetOutputMode(1));
    EXPECT_EQ(sensor->GetOutputMode(), 1);
}

TEST_F(MailboxTest, AStuckBusyBitFailsTheCommandInsteadOfHanging) {
    auto sensor = Open<CSensorQ119>(0x31E0);
    ASSERT_TRUE(sensor->Initialize());
    head_->SetStuckBusy(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sensor->SetExposureLines(2000));
    EXPECT_EQ(sensor->Info().exposureLines.current, 1240);
    double celsius = 0;
    EXPECT_FALSE(sensor->GetTemperature(&celsius));
    EXPECT_FALSE(sensor->Initialize());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    head_->SetStuckBusy(false);
    EXPECT_TRUE(sensor->SetExposureLines(2000));
    EXPECT_EQ(head_->AppliedExposureLines(), 2000u);
}

TEST_F(MailboxTest, Q123GainStepsLabelsBlackLevelAndMirrors) {
    auto sensor = Open<CSensorQ123>(0x32D0);
    ASSERT_TRUE(sensor->Initialize());
    char label[8] = {};
    EXPECT_FALSE(sensor->GetGainStepLabel(8, label));
    EXPECT_FALSE(sensor->GetGainStepLabel(-1, label));
    ASSERT_TRUE(sensor->GetGainStepLabel(4, label));
    EXPECT_STREQ(label, "1.29x");

    ASSERT_TRUE(sensor->SetGainStep(5));
    int32_t step = -1;
    ASSERT_TRUE(sensor->GetGainStep(&step));
    EXPECT_EQ(step, 5);
    EXPECT_EQ(head_->SensorRegister(89) & 0x80, 0x80);  // the step's low bit
    EXPECT_FALSE(sensor->SetGainStep(8));

    ASSERT_TRUE(sensor->SetBlackLevel(1000));
    int32_t level = 0;
    EXPECT_EQ(sensor->GetBlackLevel(&level), 1);
    EXPECT_EQ(level, 1000);
    EXPECT_FALSE(sensor->SetBlackLevel(16384));
    EXPECT_EQ(sensor->Info().blackLevel.current, 1000);

    ASSERT_TRUE(sensor->SetMirrorH(1));
    ASSERT_TRUE(sensor->SetMirrorV(1));
    EXPECT_EQ(Fpga(216), 105);
    EXPECT_EQ(Fpga(217), 58);

    // The head's exposure takes all 32 bits.
    ASSERT_TRUE(sensor->SetExposureLines(-1));
    EXPECT_EQ(head_->AppliedExposureLines(), 0xFFFFFFFFu);
    double celsius = 0;
    ASSERT_TRUE(sensor->GetTemperature(&celsius));
    EXPECT_NEAR(celsius, 637 * 0.5031 - 295.64, 1e-9);
}

TEST_F(MailboxTest, Q123FullScanRefusesOutputModeChanges) {
    auto sensor = Open<CSensorQ123>(0x32D0);
    ASSERT_TRUE(sensor->Initialize());
    EXPECT_EQ(sensor->Info().areaWidth, 2048);
    EXPECT_EQ(sensor->GetOutputMode(), 1);
    ASSERT_TRUE(sensor->SetArea(0, 4096, 0, 4096, 0));
    EXPECT_EQ(sensor->GetScanMode(), 1);
    EXPECT_EQ(Fpga(224), 111);
    EXPECT_EQ(Fpga(128), 2);
    EXPECT_EQ(sensor->Info().areaHeight, 4096);
    EXPECT_FALSE(sensor->SetOutputMode(0));
    EXPECT_EQ(Fpga(128), 2);

    ASSERT_TRUE(sensor->SetArea(0, 1000, 10, 1000, 0));  // any other size is the half size
    EXPECT_EQ(sensor->GetScanMode(), 0);
    EXPECT_EQ(sensor->Info().areaWidth, 2048);
    EXPECT_EQ(sensor->Info().areaY, 10);
    ASSERT_TRUE(sensor->SetOutputMode(0));
    EXPECT_EQ(Fpga(128), 1);
    EXPECT_EQ(Fpga(224), 95);
    int32_t defaultStep = 0;
    sensor->GetGainStepDefault(&defaultStep);
    EXPECT_EQ(defaultStep, 7);
    EXPECT_EQ(sensor->GetOutputMode(), 0);
    EXPECT_FALSE(sensor->SetArea(0, 2048, 2050, 2048, 0));
}

}  // namespace
}  // namespace vantix
