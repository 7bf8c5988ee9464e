// The SWIR IMX heads (IMX990, IMX991) against their emulated FPGA head and
// register file: the bus hand-over of their checked transfers, variants and
// the cooler, the window and exposure arithmetic, the temperature reading
// and the trigger timing program.
#include <gtest/gtest.h>

#include <memory>

#include "catalog/model_catalog.h"
#include "engine/sensor_factory.h"
#include "imx_head_controller.h"
#include "sensors/imx/imx_swir_sensor.h"

namespace vantix {
namespace {

using testing_imx::ImxHeadController;
using testing_imx::Writes;
using Wire = std::vector<std::pair<int, uint32_t>>;

constexpr int kSensorWrite = ImxHeadController::kSensorWrite;
constexpr int kSensorRead = ImxHeadController::kSensorRead;
constexpr int kFpgaWrite = ImxHeadController::kFpgaWrite;

class ImxSwirTest : public ::testing::Test {
protected:
    CImxSwirSensor& Open(uint16_t model) {
        controller_ = std::make_unique<ImxHeadController>(model);
        SensorCreation outcome{};
        sensor_ = CreateSensorForModel(LookupModel(model), controller_.get(), &outcome);
        EXPECT_EQ(outcome, SensorCreation::Created);
        return dynamic_cast<CImxSwirSensor&>(*sensor_);
    }
    ImxHeadController& Wire() { return *controller_; }

    std::unique_ptr<ImxHeadController> controller_;
    std::unique_ptr<CSensorBase> sensor_;
};

TEST_F(ImxSwirTest, CheckedTransfersTakeTheBusFromTheFpgaAndAlwaysGiveItBack) {
    CImxSwirSensor& sensor = Open(0x3260);
    ASSERT_EQ(sensor.WriteRegisterChecked(0x714, 0x21), 1);
    EXPECT_EQ(Wire().wire, (::vantix::Wire{{kFpgaWrite, 159 << 8 | 1}, {kSensorWrite, 0x714}, {kFpgaWrite, 159 << 8 | 0}}))
        << "one write, no read-back";
    EXPECT_EQ(Wire().Register(0x714), 0x21u);
    // Without the hand-over the FPGA owns the bus: the sensor does not answer.
    EXPECT_EQ(sensor.WriteRegister(0x714, 0x22), 0);
    EXPECT_EQ(Wire().Register(0x714), 0x21u);

    // Busy for three reads: three pauses, then the transfer.
    Wire().ClearRecords();
    Wire().busyReadsLeft = 3;
    uint32_t value = 0;
    ASSERT_EQ(sensor.ReadRegisterChecked(0x714, &value), 1);
    EXPECT_EQ(value, 0x21u);
    EXPECT_EQ(Wire().busyReads, 4);
    EXPECT_EQ(Wire().wire, (::vantix::Wire{{kFpgaWrite, 159 << 8 | 1}, {kSensorRead, 0}, {kFpgaWrite, 159 << 8 | 0}}));

    // Busy for good: 100 attempts, nothing sent, and the bus still handed back.
    Wire().ClearRecords();
    Wire().busyReadsLeft = ImxHeadController::kAlwaysBusy;
    EXPECT_EQ(sensor.WriteRegisterChecked(0x714, 0x30), 0);
    EXPECT_EQ(Wire().busyReads, 100);
    EXPECT_TRUE(Wire().sensorWrites.empty());
    EXPECT_EQ(Wire().FpgaWritesTo(159), (std::vector<uint32_t>{1, 0}));
    EXPECT_FALSE(Wire().head.HostOwnsSensorBus());
}

TEST_F(ImxSwirTest, VariantsChooseTheFrameLayoutWordAndWhetherThereIsACooler) {
    struct Case {
        uint16_t model;
        int32_t word84;
        bool cooler;
    };
    for (const Case& c : {Case{0x3260, 4, false}, Case{0x3270, 1, true}, Case{0x3280, 4, false}, Case{0x3290, 4, true}}) {
        SCOPED_TRACE(c.model);
        CImxSwirSensor& sensor = Open(c.model);
        EXPECT_EQ(sensor.Info().specific84, c.word84);
        EXPECT_EQ(sensor.IsCoolingSupported(), c.cooler ? 1 : 0);
        EXPECT_EQ(sensor.SetCooling(1), c.cooler ? 1 : 0);
        int32_t on = -1;
        EXPECT_EQ(sensor.GetCooling(&on), c.cooler ? 1 : 0);
        if (c.cooler) {
            EXPECT_EQ(on, 1);
            EXPECT_EQ(Wire().FpgaWritesTo(151), std::vector<uint32_t>{1});
        } else {
            EXPECT_EQ(on, -1);
            EXPECT_TRUE(Wire().FpgaWritesTo(151).empty()) << "no cooler is switched on a head without one";
        }
    }
    // Each class takes its own two codes only.
    CImxSwirSensor& imx990 = Open(0x3260);
    EXPECT_EQ(imx990.SetModelVariant(111), 0);
    EXPECT_EQ(imx990.ModelVariant(), 109);
    EXPECT_EQ(imx990.SetModelVariant(110), 1);
    EXPECT_EQ(imx990.Info().specific84, 1);
    EXPECT_EQ(imx990.SetModelVariant(109), 1);
    EXPECT_EQ(imx990.Info().specific84, 4);
    CImxSwirSensor& imx991 = Open(0x3280);
    EXPECT_EQ(imx991.SetModelVariant(110), 0);
}

TEST_F(ImxSwirTest, WindowsAreRoundedOntoTheGridAndTheirFrameLengthsScaledToTheClock) {
    CImxSwirSensor& sensor = Open(0x3260);
    ASSERT_EQ(sensor.SetExposureLines(100), 1);
    ASSERT_EQ(sensor.SetArea(0, 1280, 0, 1024, 0), 1);
    EXPECT_EQ(Wire().Register(0x2D4, 2), 1078u);
    EXPECT_EQ(Wire().Register(0x2D8, 2), 972u);
    EXPECT_EQ(Wire().Register(0x304), 0u);
    EXPECT_EQ(sensor.Info().totalWidth, 972);
    EXPECT_EQ(sensor.Info().totalHeight, 1078);

    // x and y rounded up to 8, width down to 4, height down to 8; the rows
    // of a window start 4 further down.
    ASSERT_EQ(sensor.SetArea(3, 643, 10, 503, 0), 1);
    EXPECT_EQ(Wire().Register(0x320, 2), 8u);
    EXPECT_EQ(Wire().Register(0x322, 2), 20u);
    EXPECT_EQ(Wire().Register(0x324, 2), 640u);
    EXPECT_EQ(Wire().Register(0x326, 2), 496u);
    EXPECT_EQ(Wire().Register(0x304), 2u);
    EXPECT_EQ(Wire().Register(0x2D4, 3), 537u);  // (496 + 36) scaled
    EXPECT_EQ(sensor.Info().areaX, 8);
    EXPECT_EQ(sensor.Info().areaHeight, 496);
    EXPECT_EQ(Wire().Sensor().ExposureLines(), 100u) << "the exposure follows the new frame end";

    ASSERT_EQ(sensor.SetArea(0, 1280, 0, 1024, 1), 1);
    EXPECT_EQ(Wire().Register(0x23C), 17u);
    EXPECT_EQ(Wire().Register(0x2D4, 2), 557u);
    EXPECT_EQ(sensor.Info().areaWidth, 640);
    EXPECT_EQ(sensor.Info().areaHeight, 512);

    Wire().ClearRecords();
    EXPECT_EQ(sensor.SetArea(8, 1280, 0, 1024, 0), 0);  // leaves the array
    EXPECT_EQ(sensor.SetArea(0, 3, 0, 1024, 0), 0);     // rounds down to no columns
    EXPECT_EQ(sensor.SetArea(-8, 640, 0, 512, 0), 0);
    EXPECT_TRUE(Wire().sensorWrites.empty());

    CImxSwirSensor& small = Open(0x3280);
    ASSERT_EQ(small.SetExposureLines(100), 1);
    ASSERT_EQ(small.SetArea(0, 640, 0, 512, 0), 1);
    EXPECT_EQ(Wire().Register(0x2D4, 2), 561u);
    ASSERT_EQ(small.SetArea(0, 640, 0, 512, 1), 1);
    EXPECT_EQ(Wire().Register(0x2D4, 2), 299u);
}

TEST_F(ImxSwirTest, LongExposuresStretchTheFrameMostSignificantByteFirstAndShortOnesRestoreIt) {
    CImxSwirSensor& sensor = Open(0x3260);
    ASSERT_EQ(sensor.SetArea(0, 1280, 0, 1024, 0), 1);
    Wire().ClearRecords();
    ASSERT_EQ(sensor.SetExposureLines(2000), 1);
    EXPECT_EQ(Wire().sensorWrites, (Writes{{0x2D6, 0}, {0x2D5, 0x07}, {0x2D4, 0xDF}, {0x440, 15}, {0x441, 0}, {0x442, 0}}));
    EXPECT_EQ(Wire().Sensor().FrameLength(), 2015u);
    ASSERT_EQ(sensor.SetExposureLines(100), 1);
    EXPECT_EQ(Wire().Sensor().FrameLength(), 1078u);
    EXPECT_EQ(Wire().Sensor().ShutterStart(), 978u);
    EXPECT_EQ(sensor.Info().totalHeight, 1078) << "the stretch does not become the area's frame length";
    // The longest exposure still fits the 24-bit frame length with its margin.
    ASSERT_EQ(sensor.SetExposureLines(sensor.Info().exposureLines.max), 1);
    EXPECT_EQ(Wire().Sensor().FrameLength(), 0xFFFFFFu);
    EXPECT_EQ(Wire().Sensor().ExposureLines(), 0xFFFFFFu - 15u);
    // Below the minimum: 15 lines.
    ASSERT_EQ(sensor.SetExposureLines(1), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 15);
}

TEST_F(ImxSwirTest, ExposureTimesConvertInNanosecondsWithTheLineTimeOfTheWindow) {
    CImxSwirSensor& sensor = Open(0x3260);
    ASSERT_EQ(sensor.SetArea(0, 1280, 0, 1024, 0), 1);
    ASSERT_EQ(sensor.SetExposureTime(138), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 1064);  // (13.8 ms - 7372 ns) / 12959.94 ns
    EXPECT_DOUBLE_EQ(sensor.Info().exposureSeconds, 0.0138);
    ASSERT_EQ(sensor.SetExposureSeconds(1.0), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 77160);
    EXPECT_EQ(sensor.Info().exposureTime.current, 10000);
    ASSERT_EQ(sensor.SetArea(0, 1280, 0, 512, 0), 1);
    ASSERT_EQ(sensor.SetExposureSeconds(1.0), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 77149);  // the window's longer line
    ASSERT_EQ(sensor.SetExposureTime(0), 1);
    EXPECT_EQ(sensor.Info().exposureTime.current, 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 15) << "7 lines raised to the minimum";
}

TEST_F(ImxSwirTest, TheVerticalMirrorMovesTheFpgaRowOffset) {
    CImxSwirSensor& sensor = Open(0x3260);
    ASSERT_EQ(sensor.SetMirrorV(1), 1);
    EXPECT_EQ(Wire().Register(0x404), 2u);
    EXPECT_EQ(Wire().FpgaWritesTo(76).back(), 104u);
    EXPECT_EQ(Wire().FpgaWritesTo(77).back(), 0u);
    ASSERT_EQ(sensor.SetArea(0, 1280, 0, 1024, 1), 1);
    ASSERT_EQ(sensor.SetMirrorV(0), 1);
    EXPECT_EQ(Wire().FpgaWritesTo(76).back(), 4u);
    ASSERT_EQ(sensor.SetMirrorV(1), 1);
    EXPECT_EQ(Wire().FpgaWritesTo(76).back(), 52u);
}

TEST(ImxSwirTemperature, TheRegistersHoldASignedCountOfEighthsOfADegree) {
    struct Case {
        uint32_t low, high;
        double celsius;
    };
    for (const Case& c : {Case{0xC8, 0x00, 25.0}, Case{0x07, 0x00, 0.875}, Case{0xFF, 0x0F, -0.125},
                          Case{0x5C, 0x0F, -20.5}, Case{0xFA, 0x03, 127.25}, Case{0x00, 0x08, -256.0}}) {
        EXPECT_DOUBLE_EQ(CImxSwirSensor::TemperatureFromRegisters(c.low, c.high), c.celsius)
            << std::hex << c.low << " " << c.high;
    }
}

TEST_F(ImxSwirTest, TheTemperatureIsReadLatchedAndFollowsTheCooler) {
    CImxSwirSensor& sensor = Open(0x3270);
    Wire().Sensor().SetAmbientTemperature(31.25);
    double celsius = 0;
    ASSERT_EQ(sensor.GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, 31.25);
    EXPECT_EQ(Wire().sensorWrites, (Writes{{0x788, 1}, {0x788, 0}}));
    ASSERT_EQ(sensor.SetCooling(1), 1);
    ASSERT_EQ(sensor.GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, 11.25);
}

TEST_F(ImxSwirTest, TheTriggerProgramCarriesTheExposureAndTheFrameAndFollowsExposureChanges) {
    CImxSwirSensor& sensor = Open(0x3280);
    ASSERT_EQ(sensor.SetArea(0, 640, 0, 512, 0), 1);
    ASSERT_EQ(sensor.SetExposureLines(0x12345), 1);
    Wire().ClearRecords();
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    std::vector<std::pair<uint32_t, uint32_t>> program;
    for (const auto& w : Wire().fpgaWrites) {
        if (w.first != 159) program.push_back(w);
    }
    const uint32_t frame = 0x12345 + 512 + 9;
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {88, 0}, {133, 0x45}, {134, 0x23}, {155, 0x01}, {84, 195}, {85, 2},
        {80, frame & 0xFF}, {81, (frame >> 8) & 0xFF}, {82, frame >> 16}, {88, 2},
        // then the auxiliary pulse, the output off (aux mode 0) and the settings strobe
        {89, 4}, {89, 132}, {89, 4}, {89, 0}, {108, 1}, {108, 0},
    };
    EXPECT_EQ(program, expected);
    EXPECT_EQ(Wire().sensorWrites, (Writes{{0x200, 1}, {0x430, 19}, {0x600, 1}, {0x200, 0}}));
    int32_t on = 0;
    ASSERT_EQ(sensor.GetTriggerMode(&on), 1);
    EXPECT_EQ(on, 1);

    Wire().ClearRecords();
    ASSERT_EQ(sensor.SetExposureLines(300), 1);
    EXPECT_EQ(Wire().FpgaWritesTo(133), std::vector<uint32_t>{300 & 0xFF});
    EXPECT_EQ(Wire().FpgaWritesTo(80), std::vector<uint32_t>{(300 + 512 + 9) & 0xFF});

    Wire().ClearRecords();
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_EQ(Wire().sensorWrites, (Writes{{0x200, 1}, {0x430, 17}, {0x600, 0}, {0x200, 0}}));
    Wire().ClearRecords();
    ASSERT_EQ(sensor.SetExposureLines(200), 1);
    EXPECT_TRUE(Wire().FpgaWritesTo(133).empty()) << "free running: no program";
}

TEST_F(ImxSwirTest, InitializeWritesItsSetUpThenTheDefaultsAndLastTheExposure) {
    CImxSwirSensor& sensor = Open(0x3260);
    ASSERT_EQ(sensor.Initialize(), 1);
    const Writes& w = Wire().sensorWrites;
    ASSERT_GE(w.size(), 5u);
    EXPECT_EQ(Writes(w.begin(), w.begin() + 5), (Writes{{0x702, 0}, {0x7C0, 60}, {0x7C1, 0}, {0x714, 0}, {0x715, 0}}));
    EXPECT_EQ(w.back().first, 0x442u) << "the exposure's shutter start last";
    EXPECT_EQ(Wire().Sensor().ExposureLines(), 1064u);
    // 1064 lines leave less than the 15-line margin in the 1078-line frame.
    EXPECT_EQ(Wire().Sensor().FrameLength(), 1064u + 15u);
    EXPECT_FALSE(Wire().head.HostOwnsSensorBus());
}

}  // namespace
}  // namespace vantix
