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
#include <vantix/linux_ext.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/personalities/aptina_personality.h"
#include "../support/process_resources.h"
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

// The 0x31F0 head with its sensor's vertical drive already running (the
// FPGA's ready bit set), so opening it does not wait out the drive's restart.
void VerticalDriveRunningGreyScene(emulator::VirtualCamera& camera) {
    constexpr uint8_t kFpgaVerticalDrive = 129;
    constexpr uint8_t kVerticalDriveRuns = 0x02;
    camera.SetFpgaRegister(kFpgaVerticalDrive, kVerticalDriveRuns);
    FlatGreyScene(camera);
}

// The SWIR head's text channel through the public calls: a query given more
// room than it fills is sent up to its end, and the head's answer comes back
// as one line.
void ExpectTextChannel(int32_t handle, const ModelRow&) {
    static char query[] = "n\r\n";
    EXPECT_EQ(Vantix_SendText(handle, query, 10), 1);
    char reply[64] = {};
    const int32_t count = Vantix_ReceiveText(handle, reply, sizeof reply);
    ASSERT_GT(count, 0);
    EXPECT_EQ(std::string(reply, static_cast<size_t>(count)), "VANTIX-Q121-CL\r\n");
}

// The cooled head takes an exposure between frames while it streams: the
// call is accepted at once and the head runs at it a few frames later.
void ExpectExposureBetweenFrames(int32_t handle, const ModelRow& row) {
    constexpr int32_t kExposure = 250;
    constexpr int kFramesToWait = 50;
    constexpr uint32_t kFrameWaitMs = 10000;
    ASSERT_EQ(Vantix_SetColorMode(handle, 8), 1);
    std::vector<uint8_t> buffer(static_cast<size_t>(row.windowWidth) * static_cast<size_t>(row.windowHeight));
    VantixHwnd window = VantixExt_CreatePollableWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(Vantix_CallBackPreview(handle, window, buffer.data(), static_cast<int32_t>(buffer.size()), 0), 1);
    VantixMessage message{};
    EXPECT_EQ(VantixExt_GetMessage(window, &message, kFrameWaitMs), 1);
    EXPECT_EQ(Vantix_SetExposureTime(handle, kExposure), 1);
    int32_t ok = 0;
    for (int i = 0; i < kFramesToWait && Vantix_GetExposureTime(handle, &ok) != kExposure; ++i) {
        VantixExt_GetMessage(window, &message, kFrameWaitMs);
    }
    EXPECT_EQ(Vantix_GetExposureTime(handle, &ok), kExposure);
    EXPECT_EQ(Vantix_StopPreview(handle), 1);
    VantixExt_DestroyWindow(window);
}

// ---- The FPGA-driven heads ----

// The resident-program CCD opens at its shortest exposure, one line of its
// 1252: a scene as bright as daylight still shows at that.
void DaylightGreyScene(emulator::VirtualCamera& camera) {
    FlatGreyScene(camera);
    emulator::SceneSettings scene = camera.Scene();
    scene.brightness = 600;
    camera.SetScene(scene);
}

// The camera the session opened (the harness plugs one per case).
std::shared_ptr<emulator::VirtualCamera> OpenCamera() {
    const std::vector<std::string> paths = emulator::Emulator::Instance().PresentPaths();
    return paths.empty() ? nullptr : emulator::Emulator::Instance().Find(paths.front());
}

uint32_t FpgaExposureCount(const emulator::VirtualCamera& camera) {
    return camera.FpgaRegister(226) | camera.FpgaRegister(227) << 8 | camera.FpgaRegister(228) << 16;
}

// An 8-bit snapshot of a window of the array's width and `height` lines.
std::vector<uint8_t> GraySnapshot(int32_t handle, const ModelRow& row, int32_t height) {
    EXPECT_EQ(Vantix_SetCaptureWindowEx(handle, row.width, 0, row.width, row.height, 0, height), 1);
    EXPECT_EQ(Vantix_SetColorMode(handle, 8), 1);
    std::vector<uint8_t> image((static_cast<size_t>(row.width) + 3) / 4 * 4 * static_cast<size_t>(height));
    if (Vantix_SnapShot(handle, image.data(), static_cast<int32_t>(image.size()), 0) != 1) return {};
    return image;
}

// A line head's frame is as high as the lines it was told to gather: the
// line count reaches FPGA registers 64/65 and the picture has that many
// lines, each the one before it moved on by a step of the passing pattern.
void ExpectFramesOfTheProgrammedLines(int32_t handle, const ModelRow& row) {
    const auto camera = OpenCamera();
    ASSERT_NE(camera, nullptr);
    emulator::SceneSettings scene = camera->Scene();
    scene.kind = emulator::SceneKind::Moving;
    camera->SetScene(scene);
    for (int32_t lines : {1000, 130}) {
        SCOPED_TRACE("lines " + std::to_string(lines));
        const std::vector<uint8_t> image = GraySnapshot(handle, row, lines);
        ASSERT_FALSE(image.empty()) << "error " << Vantix_GetLastError(handle);
        EXPECT_EQ(Vantix_Height(handle), lines);
        EXPECT_EQ(camera->FpgaRegister(64) | camera->FpgaRegister(65) << 8, lines);
        // Samples that match the line above moved one step right or left;
        // the session's pixel filters may touch a few at the pattern's edges.
        const auto w = static_cast<size_t>(row.width);
        size_t moved[2] = {0, 0};
        int unmoved = 0;
        for (size_t y = 1; y < static_cast<size_t>(lines); ++y) {
            const uint8_t* above = image.data() + (y - 1) * w;
            const uint8_t* line = image.data() + y * w;
            unmoved += std::equal(line, line + w, above);
            for (size_t x = 0; x + 2 < w; ++x) {
                moved[0] += line[x + 2] == above[x];
                moved[1] += line[x] == above[x + 2];
            }
        }
        const size_t compared = (static_cast<size_t>(lines) - 1) * (w - 2);
        EXPECT_GT(std::max(moved[0], moved[1]), compared * 99 / 100) << moved[0] << " / " << moved[1];
        EXPECT_EQ(unmoved, 0);
    }
}

// 10 ms at the 6.25 MHz clock is 62493 clocks once the FPGA's offset of
// 6.25 clocks is taken off, in seconds as in units of 0.1 ms.
void ExpectClocksOfTenMilliseconds(int32_t handle, const ModelRow&) {
    const auto camera = OpenCamera();
    ASSERT_NE(camera, nullptr);
    ASSERT_EQ(Vantix_SetExposureTime(handle, 100), 1);
    EXPECT_EQ(FpgaExposureCount(*camera), 62493u);
    ASSERT_EQ(Vantix_SetExposureTimeEx(handle, 0.02), 1);
    EXPECT_EQ(FpgaExposureCount(*camera), 124993u);
}

// The cooled head reads its thermistor: 25 degrees at power-on.
void ExpectAmbientTemperature(int32_t handle, const ModelRow&) {
    int32_t ok = 0;
    const double celsius = Vantix_GetTemperatureEx(handle, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_NEAR(celsius, 25.0, 0.5);
}

// The largest CCD: an idle session reserves its full-sensor images without
// making them resident, and a full-size snapshot's time is reported.
void ReportLargestCcdCosts(int32_t handle, const ModelRow& row) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<uint8_t> image = GraySnapshot(handle, row, row.height);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(image.empty()) << "error " << Vantix_GetLastError(handle);
    // A second session of the model, opened and left idle, costs what it
    // adds to the process. (Its release rests the head's clocks, so it
    // comes after the snapshot.)
    const long beforeKiB = vantix::testing::ReadProcessResources().residentKiB;
    const int32_t idle = Vantix_Initialize(nullptr);
    ASSERT_NE(idle, 0);
    ASSERT_EQ(VantixExt_SetModelId(idle, row.modelId), 1);
    const long idleKiB = vantix::testing::ReadProcessResources().residentKiB - beforeKiB;
    EXPECT_EQ(Vantix_Release(idle), 1);
    // Ten full-sensor images are reserved: five of 8 and five of 16 bits.
    const long reservedKiB = static_cast<long>(row.width) * row.height * 15 / 1024;
    std::printf("%s: %d x %d snapshot in %lld ms; an idle session adds %ld KiB resident "
                "(%ld KiB of full-sensor images reserved)\n",
                row.name, row.width, row.height, static_cast<long long>(ms), idleKiB, reservedKiB);
#if !defined(__SANITIZE_ADDRESS__)
    // ASan's quarantine keeps freed memory resident by design.
    EXPECT_LT(idleKiB, reservedKiB / 8);
#endif
}

constexpr IntRange kGainOf1023{0, 1023};
constexpr IntRange kInterlineGain{15, 1023};
constexpr IntRange kNoColorGain{0, 0};
constexpr IntRange kFpgaGain{0, 255};
constexpr IntRange kLineExposure{89, 5039};

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
    // IMX family. The 0x3100 head's lines reach 4085 lines of 3.6 us (148 in
    // units of 0.1 ms), so its exposure probe stays below; the 0x31F0 head's
    // half range is beyond its 16-bit shutter.
    {.name = "30f0_imx178", .modelId = 0x30F0, .firstCameraName = "Vantix-Q108-USB3-K9_01",
     .width = 3072, .height = 2048, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = {1, 20000}, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene},
    {.name = "3100_imx174", .modelId = 0x3100, .firstCameraName = "Vantix-Q109-USB3-K9_01",
     .width = 1920, .height = 1200, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = {1, 30000}, .exposureProbe = {50, 120},
     .sensorMirrors = true, .prepareCamera = FlatGreyScene},
    {.name = "3110_imx183", .modelId = 0x3110, .firstCameraName = "Vantix-Q110-USB3-K9_01",
     .width = 5520, .height = 3680, .pixels = Pixels::Mono,
     .gain = {0, 2047}, .colorGain = {0, 0}, .exposure = {1, 20000}, .sensorMirrors = true,
     .prepareCamera = FlatGreyScene},
    {.name = "3120_imx159", .modelId = 0x3120, .firstCameraName = "Vantix-Q111-USB3-K9_01",
     .width = 4800, .height = 3520, .pixels = Pixels::Mono,
     .gain = {0, 2047}, .colorGain = {0, 0}, .exposure = {1, 1250}, .prepareCamera = FlatGreyScene},
    {.name = "31f0_imx226", .modelId = 0x31F0, .firstCameraName = "Vantix-31F0_01",
     .width = 4168, .height = 3062, .pixels = Pixels::Mono,
     .gain = {0, 2047}, .colorGain = {0, 0}, .exposure = {1, 20000}, .exposureProbe = {100, 400},
     .sensorMirrors = true, .prepareCamera = VerticalDriveRunningGreyScene},
    {.name = "32b0_li7050", .modelId = 0x32B0, .firstCameraName = "Vantix-32B0_01",
     .width = 1936, .height = 1096, .pixels = Pixels::Mono,
     .gain = {0, 480}, .colorGain = {0, 0}, .exposure = {1, 20000}, .exposureSeconds = true,
     .sensorMirrors = true, .prepareCamera = FlatGreyScene},
    {.name = "32c0_glux9701", .modelId = 0x32C0, .firstCameraName = "Vantix-32C0_01",
     .width = 1280, .height = 1024, .pixels = Pixels::Mono,
     .gain = {0, 255}, .colorGain = {0, 0}, .exposure = {1, 20000}, .exposureSeconds = true,
     .sensorMirrors = true, .prepareCamera = FlatGreyScene},
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
    // The video converter has no sensor settings and sends its whole picture.
    {.name = "3130_q112", .modelId = 0x3130, .firstCameraName = "VtxCnv-Q112_01",
     .width = 1920, .height = 1080, .pixels = Pixels::Colour,
     .gain = {0, 0}, .colorGain = {0, 0}, .exposure = {0, 0},
     .windowWidth = 1920, .windowHeight = 1080, .fixedWindow = true},
    // The SWIR head always sends its whole frame.
    {.name = "3180_q121", .modelId = 0x3180, .firstCameraName = "Vantix-3180_01",
     .width = 1280, .height = 1024, .pixels = Pixels::Mono,
     .gain = {0, 255}, .colorGain = {0, 0}, .exposure = {1, 10000},
     .windowWidth = 1280, .windowHeight = 1024, .fixedWindow = true, .prepareCamera = FlatGreyScene,
     .modelChecks = ExpectTextChannel},
    // The cooled head reads three fixed windows; the harness takes the whole one.
    {.name = "3200_q120", .modelId = 0x3200, .firstCameraName = "Vantix-3200_01",
     .width = 640, .height = 512, .pixels = Pixels::Mono,
     .gain = {0, 0}, .colorGain = {0, 0}, .exposure = {1, 1230329}, .exposureProbe = {100, 400000},
     .windowWidth = 640, .windowHeight = 512, .fixedWindow = true, .prepareCamera = FlatGreyScene,
     .modelChecks = ExpectExposureBetweenFrames},
    // The 4096 x 4096 mailbox head reads 2048 or 4096 columns and rows.
    {.name = "32d0_q123", .modelId = 0x32D0, .firstCameraName = "Vantix-32D0_01",
     .width = 4096, .height = 4096, .pixels = Pixels::Mono,
     .gain = {0, 0}, .colorGain = {0, 0}, .exposure = {1, 10000000}, .exposureProbe = {100, 20000},
     .exposureSeconds = true, .sensorMirrors = true, .windowWidth = 2048, .windowHeight = 2048, .streamBits = 8,
     .recordingMs = 60000, .fixedWindow = true, .prepareCamera = FlatGreyScene},
    // CCD heads read their whole array; the interline heads' exposure is
    // the shutter line within the frame (probes the frame can hold).
    {.name = "3050_icx274", .modelId = 0x3050, .firstCameraName = "Vantix-Q104-USB3-K9_01",
     .width = 1600, .height = 1200, .pixels = Pixels::Mono,
     .gain = kGainOf1023, .colorGain = kNoColorGain, .exposure = {1, 1252},
     .windowWidth = 1600, .windowHeight = 1200, .fixedWindow = true, .prepareCamera = DaylightGreyScene},
    {.name = "3090_q105", .modelId = 0x3090, .firstCameraName = "Vantix-Q105-USB3-K9_01",
     .width = 2336, .height = 1752, .pixels = Pixels::Mono,
     .gain = kInterlineGain, .colorGain = kNoColorGain, .exposure = {1, 8191}, .exposureProbe = {50, 150},
     .sensorMirrors = true, .windowWidth = 2336, .windowHeight = 1752, .fixedWindow = true,
     .prepareCamera = FlatGreyScene},
    {.name = "30b0_q106", .modelId = 0x30B0, .firstCameraName = "Vantix-Q106-USB3-K9_01",
     .width = 4896, .height = 3264, .pixels = Pixels::Mono,
     .gain = kInterlineGain, .colorGain = kNoColorGain, .exposure = {1, 8191}, .exposureProbe = {50, 150},
     .sensorMirrors = true, .windowWidth = 4896, .windowHeight = 3264, .streamBits = 8, .recordingMs = 60000,
     .fixedWindow = true, .prepareCamera = FlatGreyScene},
    {.name = "30c0_q107", .modelId = 0x30C0, .firstCameraName = "Vantix-Q107-USB3-K9_01",
     .width = 6576, .height = 4384, .pixels = Pixels::Mono,
     .gain = kGainOf1023, .colorGain = kNoColorGain, .exposure = {1, 2233},
     .sensorMirrors = true, .windowWidth = 6576, .windowHeight = 4384, .streamBits = 8, .recordingMs = 60000,
     .fixedWindow = true, .prepareCamera = FlatGreyScene, .modelChecks = ReportLargestCcdCosts},
    // FPGA-timed InGaAs heads.
    {.name = "3150_q114", .modelId = 0x3150, .firstCameraName = "Vantix-3150_01",
     .width = 640, .height = 512, .pixels = Pixels::Mono,
     .gain = kFpgaGain, .colorGain = kNoColorGain, .exposure = {1, 10000}, .exposureSeconds = true,
     .prepareCamera = FlatGreyScene, .modelChecks = ExpectClocksOfTenMilliseconds},
    {.name = "3170_q115", .modelId = 0x3170, .firstCameraName = "Vantix-3170_01",
     .width = 320, .height = 256, .pixels = Pixels::Mono,
     .gain = kFpgaGain, .colorGain = kNoColorGain, .exposure = {1, 10000},
     .windowWidth = 320, .windowHeight = 240, .prepareCamera = FlatGreyScene},
    // Up to 10000 s: the probes stay within the session's 16-bit exposure.
    {.name = "3220_g1467x", .modelId = 0x3220, .firstCameraName = "Vantix-3220_01",
     .width = 320, .height = 256, .pixels = Pixels::Mono,
     .gain = kFpgaGain, .colorGain = kNoColorGain, .exposure = {500, 100000000}, .exposureProbe = {1000, 5000},
     .windowWidth = 320, .windowHeight = 240, .prepareCamera = FlatGreyScene,
     .modelChecks = ExpectAmbientTemperature},
    // Line-scan heads: the height is the lines gathered into one frame.
    {.name = "3190_q117", .modelId = 0x3190, .firstCameraName = "Vantix-3190_01",
     .width = 512, .height = 32768, .pixels = Pixels::Mono,
     .gain = kFpgaGain, .colorGain = kNoColorGain, .exposure = kLineExposure,
     .windowWidth = 512, .windowHeight = 480, .prepareCamera = FlatGreyScene,
     .modelChecks = ExpectFramesOfTheProgrammedLines},
    {.name = "31a0_q116", .modelId = 0x31A0, .firstCameraName = "Vantix-31A0_01",
     .width = 256, .height = 32768, .pixels = Pixels::Mono,
     .gain = kFpgaGain, .colorGain = kNoColorGain, .exposure = kLineExposure,
     .windowWidth = 256, .windowHeight = 480, .prepareCamera = FlatGreyScene,
     .modelChecks = ExpectFramesOfTheProgrammedLines},
    {.name = "31d0_q118", .modelId = 0x31D0, .firstCameraName = "Vantix-31D0_01",
     .width = 1024, .height = 32768, .pixels = Pixels::Mono,
     .gain = kFpgaGain, .colorGain = kNoColorGain, .exposure = {136, 5039},
     .windowWidth = 1024, .windowHeight = 480, .prepareCamera = FlatGreyScene,
     .modelChecks = ExpectFramesOfTheProgrammedLines},
    {.name = "3210_q122", .modelId = 0x3210, .firstCameraName = "Vantix-3210_01",
     .width = 2048, .height = 32768, .pixels = Pixels::Mono,
     .gain = kFpgaGain, .colorGain = kNoColorGain, .exposure = kLineExposure,
     .windowWidth = 2048, .windowHeight = 480, .prepareCamera = FlatGreyScene,
     .modelChecks = ExpectFramesOfTheProgrammedLines},
};

}  // namespace

std::span<const ModelRow> ModelTable() { return kRows; }

}  // namespace vantix::conformance
