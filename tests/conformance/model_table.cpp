// The table of models the conformance harness runs.
//
// Adding a model is adding one row below: its id, the name of its first
// camera, its array, colour or mono, the ranges of gain, colour gain and
// exposure, and the features to check (exposure in seconds, mirroring in the
// sensor). A model that needs its virtual camera set up first (another sensor
// on the board, a head of its own) names a prepareCamera function; checks
// that only hold for that model go into a modelChecks function. Rows whose
// sensor class the library does not contain yet are skipped, so a row can
// come before its sensor class.
#include "model_table.h"

#include <gtest/gtest.h>
#include <vantix/exports.h>

#include <cstdlib>
#include <string>

#include "emulator/emulator.h"
#include "emulator/personalities/aptina_personality.h"
#include "emulator/personalities/imx_personality.h"
#include "wire_trace.h"

namespace vantix::conformance {
namespace {

// The 0x3020 board with its first sensor, which answers the board probe
// differently from the newer one.
void FitOlderSensor(emulator::VirtualCamera& camera) { camera.ReplaceSensor(emulator::MakeMt9f001Personality()); }

// The line length (register 0x0342) the 0x3020 sensor is given when a
// binned capture of its whole array is prepared (the last value written):
// fixed at 2624 pixels on the newer sensor, the binned width and blanking
// (2304 + 312) on the older one. So the board's probe shows in the sensor
// class the library chose.
long BinnedLineLength(int32_t handle, const ModelRow& row) {
    WireTrace trace;
    const std::string sent = trace.Of([&] {
        EXPECT_EQ(Vantix_SetSubSample(handle, 1), 1);
        EXPECT_EQ(Vantix_SetCaptureWindowEx(handle, row.width, 0, row.width, row.height, 0, row.height), 1);
        EXPECT_EQ(Vantix_Capture(handle), 1);
    });
    Vantix_Close(handle);
    long length = -1;
    for (const std::string& line : WireTrace::Writes(sent)) {
        const size_t data = line.find("data=0342");
        if (data != std::string::npos && line.size() >= data + 13) {
            length = std::strtol(line.substr(data + 9, 4).c_str(), nullptr, 16);
        }
    }
    return length;
}

void ExpectFixedBinnedLine(int32_t handle, const ModelRow& row) { EXPECT_EQ(BinnedLineLength(handle, row), 2624); }
void ExpectComputedBinnedLine(int32_t handle, const ModelRow& row) { EXPECT_EQ(BinnedLineLength(handle, row), 2616); }

constexpr IntRange kAptinaExposure{1, 20000};

// The IMX sensor of the session's camera on its virtual camera.
const emulator::ImxPersonality& ImxSensor() {
    const auto camera = emulator::Emulator::Instance().Find(emulator::Emulator::Instance().PresentPaths().front());
    return dynamic_cast<const emulator::ImxPersonality&>(camera->Sensor());
}

// The frame-rate heads: rate 0 is refused, one frame per second is the
// longest frame length they program (65535 lines).
void ExpectFrameRateInTheSensor(int32_t handle, const ModelRow&) {
    EXPECT_EQ(Vantix_SetSamplingRate(handle, 0), 0);
    EXPECT_EQ(Vantix_SetSamplingRate(handle, 1), 1);
    EXPECT_EQ(ImxSensor().FrameLength(), 65535u);
}

// The SWIR heads read their die temperature: the virtual camera's 25
// degrees, or 20 below on the variants with a cooler, which the session
// switches on when it opens them.
void ExpectTemperature(int32_t handle, double celsius) {
    int32_t ok = 0;
    EXPECT_DOUBLE_EQ(Vantix_GetTemperatureEx(handle, &ok), celsius);
    EXPECT_EQ(ok, 1);
}
void ExpectDieTemperature(int32_t handle, const ModelRow&) { ExpectTemperature(handle, 25.0); }
void ExpectCooledDieTemperature(int32_t handle, const ModelRow&) { ExpectTemperature(handle, 5.0); }
// The IMX heads take 0.1 ms to 2 s.
constexpr IntRange kImxExposure{1, 20000};

// A mono head shows an even grey, which the colour modes keep grey.
void FlatGreyScene(emulator::VirtualCamera& camera) {
    emulator::SceneSettings scene = camera.Scene();
    scene.kind = emulator::SceneKind::Flat;
    camera.SetScene(scene);
}

constexpr ModelRow kRows[] = {
    {.name = "3020_mt9f002", .modelId = 0x3020, .firstCameraName = "Vantix-Q101-USB3-K9_01",
     .width = 4608, .height = 3288, .pixels = Pixels::Colour,
     .gain = {0, 127}, .colorGain = {0, 127}, .exposure = kAptinaExposure, .modelChecks = ExpectFixedBinnedLine},
    {.name = "3020_mt9f001", .modelId = 0x3020, .firstCameraName = "Vantix-Q101-USB3-K9_01",
     .width = 4608, .height = 3288, .pixels = Pixels::Colour,
     .gain = {0, 127}, .colorGain = {0, 127}, .exposure = kAptinaExposure, .prepareCamera = FitOlderSensor,
     .modelChecks = ExpectComputedBinnedLine},
    {.name = "3030_mt9p001", .modelId = 0x3030, .firstCameraName = "Vantix-Q102-USB3-K9_01",
     .width = 2592, .height = 1944, .pixels = Pixels::Colour,
     .gain = {0, 63}, .colorGain = {0, 63}, .exposure = kAptinaExposure, .sensorMirrors = true},
    {.name = "3040_mt9j001", .modelId = 0x3040, .firstCameraName = "VantixQ720LX-USB3-K9_01",
     .width = 3856, .height = 2764, .pixels = Pixels::Colour,
     .gain = {0, 127}, .colorGain = {0, 127}, .exposure = kAptinaExposure},
    {.name = "3042_mt9j001", .modelId = 0x3042, .firstCameraName = "Vantix-Q103-USB3-K9_01",
     .width = 3856, .height = 2764, .pixels = Pixels::Colour,
     .gain = {0, 127}, .colorGain = {0, 127}, .exposure = kAptinaExposure},
    // Heads with controllers of their own. The 1280 x 1024 head reaches 1372
    // lines (47 ms), so its exposure probe stays below; the mailbox head reads
    // whole 2048-column rows.
    {.name = "3140_q113", .modelId = 0x3140, .firstCameraName = "Vantix-Q113-USB3-K9_01",
     .width = 1280, .height = 1024, .pixels = Pixels::Mono,
     .gain = {0, 11}, .colorGain = {0, 0}, .exposure = {1, 30000}, .exposureProbe = {100, 400},
     .sensorMirrors = true,
     .prepareCamera = FlatGreyScene},
    {.name = "31e0_q119", .modelId = 0x31E0, .firstCameraName = "Vantix-31E0_01",
     .width = 2048, .height = 2048, .pixels = Pixels::Mono,
     .gain = {0, 255}, .colorGain = {0, 0}, .exposure = {1, 10000}, .exposureSeconds = true,
     .windowWidth = 2048, .windowHeight = 480, .fixedWindow = true, .prepareCamera = FlatGreyScene},
    // IMX heads: mono sensors without a name format (their first camera is
    // "Vantix-<model id>_01"), mirroring in the sensor.
    {.name = "3300_imx273", .modelId = 0x3300, .firstCameraName = "Vantix-3300_01",
     .width = 1440, .height = 1080, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = kImxExposure, .exposureSeconds = true, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene},
    {.name = "31b0_imx250", .modelId = 0x31B0, .firstCameraName = "Vantix-31B0_01",
     .width = 2448, .height = 2048, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = kImxExposure, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectFrameRateInTheSensor},
    {.name = "32a0_imx250", .modelId = 0x32A0, .firstCameraName = "Vantix-32A0_01",
     .width = 2448, .height = 2048, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = kImxExposure, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectFrameRateInTheSensor},
    {.name = "31b4_imx264", .modelId = 0x31B4, .firstCameraName = "Vantix-31B4_01",
     .width = 2448, .height = 2048, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = kImxExposure, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectFrameRateInTheSensor},
    {.name = "31c0_imx252", .modelId = 0x31C0, .firstCameraName = "Vantix-31C0_01",
     .width = 2048, .height = 1536, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = kImxExposure, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectFrameRateInTheSensor},
    {.name = "31c4_imx252", .modelId = 0x31C4, .firstCameraName = "Vantix-31C4_01",
     .width = 2048, .height = 1536, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = kImxExposure, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectFrameRateInTheSensor},
    {.name = "32e0_imx536", .modelId = 0x32E0, .firstCameraName = "Vantix-32E0_01",
     .width = 2848, .height = 2848, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = kImxExposure, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene},
    {.name = "32f0_imx487", .modelId = 0x32F0, .firstCameraName = "Vantix-32F0_01",
     .width = 2848, .height = 2848, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = kImxExposure, .exposureSeconds = true, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene},
    {.name = "3260_imx990", .modelId = 0x3260, .firstCameraName = "Vantix-3260_01",
     .width = 1280, .height = 1024, .pixels = Pixels::Mono,
     .gain = {0, 420}, .colorGain = {0, 0}, .exposure = kImxExposure, .exposureSeconds = true, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectDieTemperature},
    {.name = "3270_imx990", .modelId = 0x3270, .firstCameraName = "Vantix-3270_01",
     .width = 1280, .height = 1024, .pixels = Pixels::Mono,
     .gain = {0, 420}, .colorGain = {0, 0}, .exposure = kImxExposure, .exposureSeconds = true, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectCooledDieTemperature},
    {.name = "3280_imx991", .modelId = 0x3280, .firstCameraName = "Vantix-3280_01",
     .width = 640, .height = 512, .pixels = Pixels::Mono,
     .gain = {0, 420}, .colorGain = {0, 0}, .exposure = kImxExposure, .exposureSeconds = true, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectDieTemperature},
    {.name = "3290_imx991", .modelId = 0x3290, .firstCameraName = "Vantix-3290_01",
     .width = 640, .height = 512, .pixels = Pixels::Mono,
     .gain = {0, 420}, .colorGain = {0, 0}, .exposure = kImxExposure, .exposureSeconds = true, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectCooledDieTemperature},
};

}  // namespace

std::span<const ModelRow> ModelTable() { return kRows; }

}  // namespace vantix::conformance
