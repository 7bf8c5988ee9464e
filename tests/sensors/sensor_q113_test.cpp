// The 1280 x 1024 head's sensor on the wire against its emulated register
// map: initialisation, window grid, exposure, gain table, transfer width and
// mirrors.
#include "sensors/standalone/sensor_q113.h"

#include <gtest/gtest.h>

#include <memory>

#include "emulator/head_personality.h"
#include "emulator/personalities/q113_sensor_personality.h"
#include "emulator/register_map_sensor.h"
#include "emulator/virtual_models.h"
#include "virtual_head_fixture.h"

namespace vantix {
namespace {

class Q113Test : public VirtualHeadFixture {
protected:
    void SetUp() override {
        Connect(0x3140, std::make_unique<emulator::HeadPersonality>(emulator::LookupVirtualModel(0x3140)));
        camera_->ReplaceSensor(emulator::MakeQ113SensorPersonality());
        sensor_ = std::make_unique<CSensorQ113>(controller_.get(), 0x6C);
    }
    void TearDown() override {
        sensor_.reset();
        VirtualHeadFixture::TearDown();
    }
    uint16_t Word(uint16_t address) { return static_cast<emulator::RegisterMapSensor&>(camera_->Sensor()).Word(address); }

    std::unique_ptr<CSensorQ113> sensor_;
};

TEST_F(Q113Test, InitialisesTheFullWindowAndKeepsWindowsOnTheirGrid) {
    ASSERT_TRUE(sensor_->Initialize());
    EXPECT_EQ(Word(62), 0);  // out of standby
    EXPECT_EQ(Word(4), 68);
    EXPECT_EQ(Word(5), 1024);
    EXPECT_EQ(Word(6), 132);
    EXPECT_EQ(Word(7), 1280);
    EXPECT_EQ(Word(15), 1240);
    EXPECT_EQ(Word(35), 2 * 257);
    EXPECT_DOUBLE_EQ(camera_->Sensor().Brightness(), 1.0);

    ASSERT_TRUE(sensor_->SetArea(5, 637, 3, 99, 0));
    EXPECT_EQ(sensor_->Info().areaX, 8);
    EXPECT_EQ(sensor_->Info().areaWidth, 640);
    EXPECT_EQ(sensor_->Info().areaY, 4);
    EXPECT_EQ(sensor_->Info().areaHeight, 100);
    EXPECT_EQ(Word(4), 72);
    EXPECT_EQ(Word(6), 140);
    EXPECT_FALSE(sensor_->SetArea(644, 640, 0, 100, 0));  // 648 + 640 columns: past the array
    EXPECT_FALSE(sensor_->SetArea(0, 0, 0, 100, 0));
    EXPECT_EQ(sensor_->Info().areaWidth, 640);
}

TEST_F(Q113Test, ExposureGainWidthAndMirrorsReachTheSensor) {
    ASSERT_TRUE(sensor_->Initialize());
    // 1280 clocks a line at 37.125 MHz: 0.0345 units of 0.1 ms. 20 ms = 580 lines.
    ASSERT_TRUE(sensor_->SetExposureTime(200));
    EXPECT_EQ(Word(15), 580);
    EXPECT_EQ(sensor_->Info().exposureTime.current, 200);
    // Beyond the longest exposure: the maximum lines and the time they give.
    ASSERT_TRUE(sensor_->SetExposureTime(30000));
    EXPECT_EQ(Word(15), 1372);
    EXPECT_EQ(sensor_->Info().exposureTime.current, 473);
    EXPECT_FALSE(sensor_->SetExposureTime(0));

    ASSERT_TRUE(sensor_->SetGain(6));
    EXPECT_EQ(Word(35), 56 * 257);
    EXPECT_EQ(Word(36), 56 * 257);
    ASSERT_TRUE(sensor_->SetGain(12));  // above the table: its last code, not 0
    EXPECT_EQ(Word(35), 61 * 257);
    EXPECT_EQ(sensor_->Info().gain.current, 11);
    EXPECT_FALSE(sensor_->SetGain(-1));

    ASSERT_TRUE(sensor_->SetBitDepth(1));
    EXPECT_EQ(Word(0x21A), 924 & 0xFF);
    EXPECT_EQ(Word(0x21B), 924 >> 8);
    EXPECT_EQ(Word(0x21C) & 1, 1);
    EXPECT_EQ(sensor_->Info().totalWidth, 924 * 8);
    ASSERT_TRUE(sensor_->SetBitDepth(0));
    EXPECT_EQ(Word(0x21C) & 1, 0);

    ASSERT_TRUE(sensor_->SetMirrorH(1));
    ASSERT_TRUE(sensor_->SetMirrorV(1));
    EXPECT_EQ(Word(2) & 3, 3);
    EXPECT_EQ(Word(1), 0);  // the register hold released
    ASSERT_TRUE(sensor_->SetMirrorH(0));
    EXPECT_EQ(Word(2) & 3, 2);
    int32_t on = -1;
    ASSERT_TRUE(sensor_->GetMirrorV(&on));
    EXPECT_EQ(on, 1);
}

}  // namespace
}  // namespace vantix
