// The conformance harness: the same checks, through the C interface, against
// a virtual camera of every model in the table of model_table.cpp whose
// sensor class the library contains: open and info (name, array, ranges),
// a snapshot in every colour mode, the capture window at its limits and one
// step beyond, exposure and gain round trips that must reach the wire,
// mirrors, a callback preview of 20 frames with their information records, a
// one-second recording decoded by ffprobe, and release.
//
// To add a model, add its row to the table in model_table.cpp (see there);
// nothing here changes. Each case runs as Conformance/<Check>/<row name>, so
// `--gtest_filter='*3030*'` runs one model.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include "catalog/model_catalog.h"
#include "emulator/emulator.h"
#include "engine/sensor_factory.h"
#include "model_table.h"
#include "wire_trace.h"
#include "platform/clock.h"
#include "transport/device_drivers.h"

namespace vantix::conformance {
namespace {

using emulator::Emulator;

constexpr int32_t kErrorCaptureWindow = 7;
constexpr int32_t kBitsOfEachColourMode[] = {8, 16, 24, 32, 48, 64};
constexpr int kPreviewFrames = 20;
// Generous: a full frame of the largest arrays converts slowly on a busy machine.
constexpr uint32_t kFrameWaitMs = 30000;

std::string CommandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

class Conformance : public ::testing::TestWithParam<ModelRow> {
protected:
    void SetUp() override {
        const ModelRow& row = GetParam();
        if (!IsSensorClassAvailable(LookupModel(row.modelId))) {
            GTEST_SKIP() << "the sensor class of model " << std::hex << row.modelId << " is not built yet";
        }
        InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        path_ = Emulator::Instance().Plug(row.modelId);
        camera_ = Emulator::Instance().Find(path_);
        ASSERT_NE(camera_, nullptr);
        camera_->SetUnthrottled(true);
        if (row.prepareCamera != nullptr) row.prepareCamera(*camera_);
        handle_ = Vantix_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(VantixExt_SetModelId(handle_, row.modelId), 1);
        ASSERT_EQ(Vantix_GetLastError(handle_), 0) << "opening the camera failed";
        // Frames are checked, not shown: no preview window.
        ASSERT_EQ(Vantix_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    }
    void TearDown() override {
        if (handle_ != 0) Vantix_Release(handle_);
        Emulator::Instance().Reset();
    }

    // A window of the row's size at the array's origin.
    void UseSmallWindow() {
        const ModelRow& row = GetParam();
        ASSERT_EQ(Vantix_SetCaptureWindowEx(handle_, row.width, 0, row.windowWidth, row.height, 0, row.windowHeight),
                  1);
    }

    // A snapshot of the current window in a colour mode; empty on failure.
    std::vector<uint8_t> Snapshot(int32_t bits, int32_t width, int32_t height) {
        EXPECT_EQ(Vantix_SetColorMode(handle_, bits), 1);
        const size_t stride = (static_cast<size_t>(width) * static_cast<size_t>(bits) / 8 + 3) & ~size_t{3};
        std::vector<uint8_t> image(stride * static_cast<size_t>(height));
        if (Vantix_SnapShot(handle_, image.data(), static_cast<int32_t>(image.size()), 0) != 1) return {};
        return image;
    }

    int32_t handle_ = 0;
    std::string path_;
    std::shared_ptr<emulator::VirtualCamera> camera_;
};

TEST_P(Conformance, OpensUnderItsNameWithItsArrayRangesAndFeatures) {
    const ModelRow& row = GetParam();
    EXPECT_EQ(VantixExt_GetModelId(handle_), row.modelId);
    std::vector<char> names(VANTIX_NAME_LIST_ENTRIES * VANTIX_NAME_LIST_ENTRY_CHARS, 'x');
    ASSERT_EQ(Vantix_EnumDevice(handle_, names.data()), 1);
    EXPECT_STREQ(names.data(), row.firstCameraName);
    char name[64] = {};
    ASSERT_EQ(Vantix_GetDeviceName(handle_, 0, name, sizeof name), 1);
    EXPECT_STREQ(name, row.firstCameraName);
    VantixDeviceDetails details{};
    ASSERT_EQ(VantixExt_GetDeviceDetails(handle_, 0, &details), 1);
    EXPECT_EQ(details.productId, row.modelId);
    EXPECT_EQ(details.path, path_);

    VantixCameraInfo info{};
    info.size = sizeof info;
    ASSERT_EQ(Vantix_GetCameraInfo(handle_, &info), 1);
    EXPECT_EQ(info.totalWidth, row.width);
    EXPECT_EQ(info.totalHeight, row.height);
    EXPECT_EQ(info.gainMin, row.gain.min);
    EXPECT_EQ(info.gainMax, row.gain.max);
    EXPECT_EQ(info.colorGainMin, row.colorGain.min);
    EXPECT_EQ(info.colorGainMax, row.colorGain.max);
    EXPECT_EQ(info.exposureMin, row.exposure.min);
    EXPECT_EQ(info.exposureMax, row.exposure.max);
    if (row.exposureSeconds) {
        EXPECT_GT(info.exposureSecondsMax, info.exposureSecondsMin);
    }
    // Exposure in seconds is refused (code 11) exactly where it is missing.
    const int32_t taken = Vantix_SetExposureTimeEx(handle_, 0.01);
    EXPECT_EQ(taken, row.exposureSeconds ? 1 : 0);
    EXPECT_EQ(Vantix_GetLastError(handle_), row.exposureSeconds ? 0 : 11);
}

TEST_P(Conformance, SnapshotsInEveryColourModeShowTheScene) {
    const ModelRow& row = GetParam();
    UseSmallWindow();
    for (int32_t bits : kBitsOfEachColourMode) {
        SCOPED_TRACE("bits per pixel " + std::to_string(bits));
        const std::vector<uint8_t> image = Snapshot(bits, row.windowWidth, row.windowHeight);
        ASSERT_FALSE(image.empty()) << "error " << Vantix_GetLastError(handle_);
        bool anyLight = false;
        bool anyColoured = false;
        const int32_t bytesPerPixel = bits / 8;
        // 16-bit grey and the 48- and 64-bit colour modes carry two bytes per sample.
        const size_t sampleBytes = (bits == 16 || bits >= 48) ? 2 : 1;
        const size_t stride = (static_cast<size_t>(row.windowWidth) * static_cast<size_t>(bytesPerPixel) + 3) & ~size_t{3};
        for (int32_t y = 0; y < row.windowHeight; ++y) {
            for (int32_t x = 0; x < row.windowWidth; ++x) {
                const uint8_t* pixel = image.data() + static_cast<size_t>(y) * stride +
                                       static_cast<size_t>(x) * static_cast<size_t>(bytesPerPixel);
                // The high byte of each sample (little-endian words).
                const uint8_t first = pixel[sampleBytes - 1];
                anyLight = anyLight || first > 16;
                if (bits >= 24) {
                    const uint8_t second = pixel[2 * sampleBytes - 1];
                    const uint8_t third = pixel[3 * sampleBytes - 1];
                    anyColoured = anyColoured || first != second || second != third;
                }
            }
        }
        EXPECT_TRUE(anyLight) << "a black picture";
        if (bits >= 24) {
            EXPECT_EQ(anyColoured, row.pixels == Pixels::Colour);
        }
    }
}

TEST_P(Conformance, CaptureWindowTakesItsLimitsAndRefusesOneStepBeyond) {
    const ModelRow& row = GetParam();
    const int32_t w = row.width;
    const int32_t h = row.height;
    if (row.fixedWindow) {
        EXPECT_EQ(Vantix_SetCaptureWindowEx(handle_, w, 0, row.windowWidth + 4, h, 0, row.windowHeight), 0);
        EXPECT_NE(Vantix_GetLastError(handle_), 0);
        ASSERT_EQ(Vantix_SetCaptureWindowEx(handle_, w, 0, row.windowWidth, h, 0, row.windowHeight), 1);
        EXPECT_FALSE(Snapshot(8, row.windowWidth, row.windowHeight).empty()) << "error " << Vantix_GetLastError(handle_);
        return;
    }
    EXPECT_EQ(Vantix_SetCaptureWindowEx(handle_, w, 0, w + 1, h, 0, h), 0);
    EXPECT_EQ(Vantix_GetLastError(handle_), kErrorCaptureWindow);
    EXPECT_EQ(Vantix_SetCaptureWindowEx(handle_, w, 0, w, h, 0, h + 1), 0);
    EXPECT_EQ(Vantix_GetLastError(handle_), kErrorCaptureWindow);
    EXPECT_EQ(Vantix_SetCaptureWindowEx(handle_, w, 2, w, h, 0, h), 0);
    EXPECT_EQ(Vantix_GetLastError(handle_), kErrorCaptureWindow);
    EXPECT_EQ(Vantix_SetCaptureWindowEx(handle_, w, 0, w, h, 2, h), 0);
    EXPECT_EQ(Vantix_GetLastError(handle_), kErrorCaptureWindow);
    // The whole array is a window the camera delivers.
    ASSERT_EQ(Vantix_SetCaptureWindowEx(handle_, w, 0, w, h, 0, h), 1);
    EXPECT_FALSE(Snapshot(8, w, h).empty()) << "error " << Vantix_GetLastError(handle_);
    EXPECT_EQ(Vantix_Width(handle_), w);
    EXPECT_EQ(Vantix_Height(handle_), h);
}

TEST_P(Conformance, ExposureAndGainRoundTripAndReachTheCamera) {
    const ModelRow& row = GetParam();
    WireTrace trace;
    int32_t ok = 0;
    const auto checkRoundTrip = [&](const char* what, auto set, auto get, IntRange range, IntRange probe = {0, 0}) {
        SCOPED_TRACE(what);
        // A head without the setting (a range of one value) has nothing to round-trip.
        if (range.max <= range.min) return;
        const bool probed = probe.max > probe.min;
        const int32_t low = probed ? probe.min : range.min + (range.max - range.min) / 4;
        const int32_t high = probed ? probe.max : range.min + (range.max - range.min) / 2;
        const std::string first = trace.Of([&] { EXPECT_EQ(set(handle_, low), 1); });
        EXPECT_EQ(get(handle_, &ok), low);
        EXPECT_EQ(ok, 1);
        const std::string second = trace.Of([&] { EXPECT_EQ(set(handle_, high), 1); });
        EXPECT_EQ(get(handle_, &ok), high);
        // Each value is written to the camera, and the value is what differs.
        const std::vector<std::string> lowWrites = WireTrace::Writes(first);
        const std::vector<std::string> highWrites = WireTrace::Writes(second);
        EXPECT_FALSE(lowWrites.empty()) << first;
        EXPECT_FALSE(highWrites.empty()) << second;
        EXPECT_NE(lowWrites, highWrites);
    };
    checkRoundTrip("exposure", Vantix_SetExposureTime, Vantix_GetExposureTime, row.exposure, row.exposureProbe);
    checkRoundTrip("global gain", Vantix_SetGlobalGain, Vantix_GetGlobalGain, row.gain);
    if (row.pixels == Pixels::Colour) {
        checkRoundTrip("red gain", Vantix_SetColorGainRed, Vantix_GetColorGainRed, row.colorGain);
        checkRoundTrip("blue gain", Vantix_SetColorGainBlue, Vantix_GetColorGainBlue, row.colorGain);
    }
}

TEST_P(Conformance, MirrorsRoundTrip) {
    const ModelRow& row = GetParam();
    WireTrace trace;
    for (int32_t on : {1, 0}) {
        const std::string horizontal = trace.Of([&] { EXPECT_EQ(Vantix_SetMirrorH(handle_, on), 1); });
        EXPECT_EQ(Vantix_GetMirrorH(handle_), on);
        const std::string vertical = trace.Of([&] { EXPECT_EQ(Vantix_SetMirrorV(handle_, on), 1); });
        EXPECT_EQ(Vantix_GetMirrorV(handle_), on);
        if (row.sensorMirrors) {
            EXPECT_FALSE(WireTrace::Writes(horizontal).empty()) << "on " << on;
            EXPECT_FALSE(WireTrace::Writes(vertical).empty()) << "on " << on;
        }
    }
}

TEST_P(Conformance, CallbackPreviewAnnouncesTwentyFramesWithTheirRecords) {
    const ModelRow& row = GetParam();
    UseSmallWindow();
    ASSERT_EQ(Vantix_SetColorMode(handle_, row.streamBits), 1);
    const size_t stride =
        (static_cast<size_t>(row.windowWidth) * static_cast<size_t>(row.streamBits) / 8 + 3) & ~size_t{3};
    std::vector<uint8_t> buffer(stride * static_cast<size_t>(row.windowHeight));
    VantixHwnd window = VantixExt_CreatePollableWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(Vantix_CallBackPreview(handle_, window, buffer.data(), static_cast<int32_t>(buffer.size()), 0), 1);
    int frames = 0;
    VantixMessage message{};
    while (frames < kPreviewFrames && VantixExt_GetMessage(window, &message, kFrameWaitMs) == 1) {
        ASSERT_EQ(message.message, VANTIX_MSG_FRAME);
        ASSERT_NE(message.wParam, 0u) << "a frame failed with code " << message.lParam;
        const auto* record = reinterpret_cast<const VantixFrameInfo*>(message.wParam);
        EXPECT_EQ(record->width, row.windowWidth);
        EXPECT_EQ(record->height, row.windowHeight);
        EXPECT_EQ(record->bitsPerPixel, row.streamBits);
        EXPECT_EQ(record->clientBuffer, buffer.data());
        ++frames;
    }
    EXPECT_EQ(Vantix_StopPreview(handle_), 1);
    VantixExt_DestroyWindow(window);
    EXPECT_EQ(frames, kPreviewFrames);
}

TEST_P(Conformance, ShortRecordingDecodes) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
    const ModelRow& row = GetParam();
    UseSmallWindow();
    ASSERT_EQ(Vantix_SetColorMode(handle_, row.streamBits), 1);
    const std::string file = "/tmp/vantix-conformance-" + std::to_string(getpid()) + "-" + row.name + ".avi";
    std::remove(file.c_str());
    ASSERT_EQ(Vantix_Record(handle_, file.c_str(), row.recordingMs, 0), 1);
    // The recording is stopped once its header counts two frames (the
    // total-frames word of the main header, rewritten after every frame),
    // however slowly a busy machine lets the frames come.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(row.recordingMs);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream avi(file, std::ios::binary);
        uint8_t total[4] = {};
        avi.seekg(48);
        if (avi.read(reinterpret_cast<char*>(total), 4) && (total[0] | total[1] << 8) >= 2) break;
        vantix::Sleep(100);
    }
    EXPECT_EQ(Vantix_StopPreview(handle_), 1);
    const std::string probe = CommandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                            "stream=width,height,nb_read_frames -of default=noprint_wrappers=1 " +
                                            file);
    std::remove(file.c_str());
    EXPECT_NE(probe.find("width=" + std::to_string(row.windowWidth) + "\n"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=" + std::to_string(row.windowHeight) + "\n"), std::string::npos) << probe;
    const size_t frames = probe.find("nb_read_frames=");
    ASSERT_NE(frames, std::string::npos) << probe;
    EXPECT_GT(std::atoi(probe.c_str() + frames + 15), 1) << probe;
}

TEST_P(Conformance, ModelSpecificChecks) {
    const ModelRow& row = GetParam();
    if (row.modelChecks == nullptr) GTEST_SKIP() << "no checks of this model alone";
    row.modelChecks(handle_, row);
}

TEST_P(Conformance, ReleaseEndsTheSessionAndItsCamera) {
    EXPECT_EQ(Vantix_Release(handle_), 1);
    EXPECT_EQ(VantixExt_GetModelId(handle_), -1);
    EXPECT_EQ(Vantix_Release(handle_), 0);
    const int32_t released = handle_;
    handle_ = 0;
    // The camera is free for the next session of the model.
    const int32_t next = Vantix_Initialize(nullptr);
    ASSERT_NE(next, 0);
    EXPECT_NE(next, released);
    EXPECT_EQ(VantixExt_SetModelId(next, GetParam().modelId), 1);
    VantixCameraInfo info{};
    info.size = sizeof info;
    EXPECT_EQ(Vantix_GetCameraInfo(next, &info), 1);
    EXPECT_EQ(info.totalWidth, GetParam().width);
    EXPECT_EQ(Vantix_Release(next), 1);
}

INSTANTIATE_TEST_SUITE_P(Models, Conformance, ::testing::ValuesIn(ModelTable().begin(), ModelTable().end()),
                         [](const ::testing::TestParamInfo<ModelRow>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace vantix::conformance
