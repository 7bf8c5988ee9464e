// The cooled InGaAs head on the wire against its emulated FPGA: the three
// fixed windows, exposure in lines of the window's line time, the frame
// rate, cooler and auxiliary power, and the temperature monitor's life:
// start, stop, restart, destruction while it runs, and control from two
// threads (run under the tsan preset too).
#include "sensors/standalone/sensor_q120.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "emulator/personalities/cooled_ingaas_personality.h"
#include "emulator/virtual_models.h"
#include "virtual_head_fixture.h"

namespace vantix {
namespace {

using emulator::CooledInGaAsPersonality;

class Q120Test : public VirtualHeadFixture {
protected:
    void SetUp() override {
        head_ = Connect(0x3200, std::make_unique<CooledInGaAsPersonality>(emulator::LookupVirtualModel(0x3200)));
        sensor_ = std::make_unique<CSensorQ120>(controller_.get(), 0x48);
    }
    void TearDown() override {
        sensor_.reset();
        VirtualHeadFixture::TearDown();
    }
    uint8_t Fpga(uint8_t reg) const { return camera_->FpgaRegister(reg); }
    // Waits (at most 10 s) for the monitor's first sample.
    bool WaitForTemperature(double* celsius) {
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
            if (sensor_->GetTemperature(celsius)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    CooledInGaAsPersonality* head_ = nullptr;
    std::unique_ptr<CSensorQ120> sensor_;
};

TEST_F(Q120Test, OnlyTheThreeFixedWindowsAreProgrammed) {
    ASSERT_TRUE(sensor_->Initialize());
    EXPECT_EQ(Fpga(68) | Fpga(69) << 8, 640);
    EXPECT_EQ(Fpga(64) | Fpga(65) << 8, 512);
    EXPECT_EQ(Fpga(143), 99);
    EXPECT_EQ(sensor_->Info().totalWidth, 640);

    // Rounded onto the grid, the middle window; auxiliary power off changes
    // its register 143.
    ASSERT_TRUE(sensor_->SetAuxPower(0));
    ASSERT_TRUE(sensor_->SetArea(158, 318, 135, 238, 0));
    EXPECT_EQ(sensor_->Info().areaX, 160);
    EXPECT_EQ(sensor_->Info().areaY, 136);
    EXPECT_EQ(sensor_->Info().areaWidth, 320);
    EXPECT_EQ(sensor_->Info().areaHeight, 240);
    EXPECT_EQ(Fpga(68) | Fpga(69) << 8, 320);
    EXPECT_EQ(Fpga(64), 240);
    EXPECT_EQ(Fpga(131), 12);
    EXPECT_EQ(Fpga(137), 39);
    EXPECT_EQ(Fpga(135), 21);
    EXPECT_EQ(Fpga(138), 59);
    EXPECT_EQ(Fpga(136), 34);
    EXPECT_EQ(Fpga(143), 3);
    EXPECT_EQ(Fpga(129) & 1, 1);  // the readout runs again
    EXPECT_EQ(Fpga(108), 0);      // the strobe is down
    EXPECT_EQ(sensor_->Info().totalWidth, 320);

    ASSERT_TRUE(sensor_->SetAuxPower(1));
    ASSERT_TRUE(sensor_->SetArea(240, 160, 196, 120, 0));
    EXPECT_EQ(Fpga(68), 160);
    EXPECT_EQ(Fpga(84) | Fpga(85) << 8, 320);
    EXPECT_EQ(Fpga(143), 99);

    EXPECT_FALSE(sensor_->SetArea(0, 320, 0, 240, 0));
    EXPECT_EQ(Fpga(68), 160);
    EXPECT_FALSE(sensor_->SetAuxPower(2));
    camera_->SetFpgaRegister(130, 5);  // a value auxiliary power never has
    int32_t on = -1;
    EXPECT_FALSE(sensor_->GetAuxPower(&on));
    EXPECT_FALSE(sensor_->SetArea(0, 640, 0, 512, 0));
}

TEST_F(Q120Test, ExposureFollowsTheLineTimeAndTheFrameRateKeepsTheExposureTime) {
    ASSERT_TRUE(sensor_->Initialize());
    // 640 pixels a line: (640 / 16 + 26) / 9 MHz = 7.33 us a line.
    ASSERT_TRUE(sensor_->SetExposureTime(100));
    EXPECT_EQ(head_->ExposureLines(), 1363u);
    int32_t value = 0;
    ASSERT_TRUE(sensor_->GetExposureTimeMax(&value));
    EXPECT_EQ(value, 1230329);  // 16777215 lines
    ASSERT_TRUE(sensor_->GetExposureTimeMin(&value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(sensor_->SetExposureLines(20000000));
    EXPECT_EQ(head_->ExposureLines(), 16777215u);

    int32_t rate = 0;
    EXPECT_FALSE(sensor_->AccessDevice(0, &rate));
    rate = 30;
    ASSERT_TRUE(sensor_->AccessDevice(0, &rate));
    EXPECT_EQ(sensor_->Info().totalHeight, 34375);
    // The exposure time of 10 ms programmed again in lines (not the time
    // word taken for a line count).
    EXPECT_EQ(head_->ExposureLines(), 1363u);
    rate = 100000;  // faster than the window allows
    ASSERT_TRUE(sensor_->AccessDevice(0, &rate));
    EXPECT_EQ(sensor_->Info().totalHeight, 512 + 46);
    EXPECT_FALSE(sensor_->AccessDevice(1, &rate));
}

TEST_F(Q120Test, CoolerAndTemperatureNeedNewerFirmware) {
    ASSERT_TRUE(sensor_->IsCoolingSupported());
    ASSERT_TRUE(sensor_->SetCooling(1));
    EXPECT_EQ(Fpga(151) & 1, 1);
    int32_t on = 0;
    ASSERT_TRUE(sensor_->GetCooling(&on));
    EXPECT_EQ(on, 1);

    CSensorQ120 older(controller_.get(), 0x48);
    camera_->SetFpgaRegister(0x11, 0);
    camera_->SetFpgaRegister(0x10, 255);
    EXPECT_FALSE(older.IsCoolingSupported());
    EXPECT_FALSE(older.IsTemperatureSupported());
    EXPECT_FALSE(older.SetCooling(0));
    EXPECT_EQ(Fpga(151) & 1, 1);
}

TEST_F(Q120Test, TemperatureMonitorStartsStopsRestartsAndEndsWithItsSensor) {
    double celsius = 0;
    EXPECT_FALSE(sensor_->GetTemperature(&celsius));  // no samples yet
    head_->SetTemperature(-12.5);
    sensor_->StartTemperatureMonitor();
    EXPECT_TRUE(sensor_->TemperatureMonitorRunning());
    ASSERT_TRUE(WaitForTemperature(&celsius));
    EXPECT_DOUBLE_EQ(celsius, -12.5);

    sensor_->StopTemperatureMonitor();
    EXPECT_FALSE(sensor_->TemperatureMonitorRunning());
    EXPECT_FALSE(sensor_->GetTemperature(&celsius));  // the samples went with it
    const uint32_t reads = head_->TemperatureReads();
    EXPECT_GE(reads, 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(head_->TemperatureReads(), reads);  // the thread is gone
    sensor_->StopTemperatureMonitor();  // harmless twice

    // A restart, and a start while running, sample afresh.
    head_->SetTemperature(30.25);
    sensor_->StartTemperatureMonitor();
    sensor_->StartTemperatureMonitor();
    ASSERT_TRUE(WaitForTemperature(&celsius));
    EXPECT_DOUBLE_EQ(celsius, 30.25);

    // Starting and stopping from two threads at once leaves one monitor or none.
    std::thread other([this] {
        for (int i = 0; i < 5; ++i) {
            sensor_->StartTemperatureMonitor();
            sensor_->StopTemperatureMonitor();
        }
    });
    for (int i = 0; i < 5; ++i) {
        sensor_->StartTemperatureMonitor();
        double unused = 0;
        sensor_->GetTemperature(&unused);
    }
    other.join();
    sensor_->StartTemperatureMonitor();
    ASSERT_TRUE(WaitForTemperature(&celsius));
    // Destroyed while the monitor runs: the thread ends with the sensor.
    sensor_.reset();
}

}  // namespace
}  // namespace vantix
