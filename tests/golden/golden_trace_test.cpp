// Golden wire traces. For each Aptina camera the virtual camera emulates, the
// USB trace with data bytes and pauses of: opening the camera and
// initialising its sensor, a snapshot in 8 and in 16 bits (prepared as the
// session prepares a capture), a window and exposure change with another
// snapshot, and closing; and the same through a session of the library's own
// model. The calls' results and a checksum of each frame sit in the trace as
// "#" lines. A restructuring of the engine, sensors, transport or emulator
// must leave every byte of these files as it is.
//
// After a change that is meant to alter the wire, VANTIX_UPDATE_GOLDEN=1
// writes the traces instead of comparing them (review the diff before
// committing it).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/personalities/aptina_personality.h"
#include "engine/vantix_u3k9_base.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"
#include "transport/usb_trace.h"

namespace vantix {
namespace {

using emulator::Emulator;

bool UpdatingGoldenFiles() {
    const char* value = std::getenv("VANTIX_UPDATE_GOLDEN");
    return value != nullptr && value[0] != '\0' && value[0] != '0';
}

// 64-bit FNV-1a: a frame's bytes in one number for the trace.
uint64_t Checksum(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ull;
    return hash;
}

// Collects the detailed USB trace in a file of its own, with "#" lines of
// the test's own between the library's lines.
class TraceRecorder {
public:
    TraceRecorder() : path_("/tmp/vantix-golden-" + std::to_string(getpid()) + ".trace") {
        std::remove(path_.c_str());
        SetUsbTraceData(true);
        SetUsbTraceFile(path_);
    }
    ~TraceRecorder() {
        Stop();
        std::remove(path_.c_str());
    }
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    // The trace is closed while the note is appended, so the two never mix.
    void Note(const std::string& text) {
        SetUsbTraceFile("");
        {
            std::ofstream out(path_, std::ios::app);
            out << "# " << text << '\n';
        }
        SetUsbTraceFile(path_);
    }
    void Result(const char* call, long long value) { Note(std::string(call) + " = " + std::to_string(value)); }

    std::string Finish() {
        Stop();
        std::ifstream in(path_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    void Stop() {
        SetUsbTraceFile("");
        SetUsbTraceData(false);
    }
    std::string path_;
};

void CompareWithGoldenFile(const std::string& name, const std::string& trace) {
    const std::string path = std::string(VANTIX_GOLDEN_DIR) + "/" + name + ".trace";
    if (UpdatingGoldenFiles()) {
        std::ofstream out(path, std::ios::trunc);
        out << trace;
        ASSERT_TRUE(out.good()) << path;
        return;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in.good()) << path << " is missing; VANTIX_UPDATE_GOLDEN=1 writes it";
    std::stringstream golden;
    golden << in.rdbuf();
    if (golden.str() == trace) return;
    // Name the first line that differs: the files run to thousands of lines.
    std::istringstream expected(golden.str());
    std::istringstream actual(trace);
    std::string want;
    std::string got;
    for (int line = 1;; ++line) {
        const bool moreExpected = static_cast<bool>(std::getline(expected, want));
        const bool moreActual = static_cast<bool>(std::getline(actual, got));
        if (!moreExpected && !moreActual) break;
        if (!moreExpected || !moreActual || want != got) {
            FAIL() << path << " differs at line " << line << "\n  golden: " << (moreExpected ? want : "<end>")
                   << "\n  now:    " << (moreActual ? got : "<end>");
        }
    }
    FAIL() << path << " differs";
}

struct EngineCase {
    const char* name;
    uint16_t model;
    bool olderSensor;  // the 0x3020 board with its first sensor
};

class GoldenEngineTrace : public ::testing::TestWithParam<EngineCase> {
protected:
    void SetUp() override {
        InstallDeviceDrivers();
        Emulator::Instance().Reset();
        const std::string path = Emulator::Instance().Plug(GetParam().model);
        camera_ = Emulator::Instance().Find(path);
        camera_->SetUnthrottled(true);
        if (GetParam().olderSensor) camera_->ReplaceSensor(emulator::MakeMt9f001Personality());
    }
    void TearDown() override { Emulator::Instance().Reset(); }

    // What the session's capture preparation and snapshot send to the engine.
    void Snapshot(CVantixU3K9Base& engine, TraceRecorder& trace, int32_t bitMode) {
        trace.Result("SetBitMode", engine.SetBitMode(bitMode));
        int32_t x = 0, y = 0, width = 0, height = 0, mode = 0;
        engine.GetCaptureWindow(&x, &y, &width, &height, &mode);
        trace.Result("SetCaptureWindow", engine.SetCaptureWindow(x, y, width, height, mode));
        trace.Result("SetMirrorH", engine.SetMirrorH(0));
        trace.Result("SetMirrorV", engine.SetMirrorV(0));
        trace.Result("SetTriggerMode", engine.SetTriggerMode(0, 1));
        trace.Result("SetGain", engine.SetGain(engine.GetGainDefault()));
        trace.Result("SetColorGainGreen1", engine.SetColorGainGreen1(engine.GetColorGainDefault()));
        trace.Result("SetColorGainRed", engine.SetColorGainRed(engine.GetColorGainDefault()));
        trace.Result("SetColorGainBlue", engine.SetColorGainBlue(engine.GetColorGainDefault()));
        trace.Result("SetColorGainGreen2", engine.SetColorGainGreen2(engine.GetColorGainDefault()));
        trace.Result("SetExposureTime", engine.SetExposureTime(engine.GetExposureTime()));
        trace.Result("RestartReadout", engine.RestartReadout());
        trace.Result("CaptureSingleFrame", engine.CaptureSingleFrame());
        trace.Result("FrameBytes", engine.FrameBytes());
        std::vector<uint8_t> frame(engine.FrameBytes());
        trace.Result("CopyFirstSlot", engine.CopyFirstSlot(frame.data(), 0, 0, 0, 0));
        trace.Note("frame checksum " + std::to_string(Checksum(frame)));
    }

    std::shared_ptr<emulator::VirtualCamera> camera_;
};

TEST_P(GoldenEngineTrace, OpenSnapshotsWindowAndExposureAreUnchangedOnTheWire) {
    const EngineCase& c = GetParam();
    TraceRecorder trace;
    {
        CVantixUSB3K9SimpleSdk engine;
        trace.Note("open");
        trace.Result("SetModelId", engine.SetModelId(c.model));
        trace.Result("Open", engine.Open(0, nullptr));
        trace.Result("EnumerateDevices", engine.EnumerateDevices(c.model));
        trace.Result("IsDeviceAttached", engine.IsDeviceAttached(0));
        trace.Result("SelectDevice", engine.SelectDevice(0));
        SensorInfo info{};
        if (engine.GetSensorInfo(&info)) {
            trace.Note("sensor " + std::to_string(info.maxWidth) + " x " + std::to_string(info.maxHeight) +
                       ", area " + std::to_string(info.areaWidth) + " x " + std::to_string(info.areaHeight) +
                       ", line " + std::to_string(info.totalWidth) + ", frame " + std::to_string(info.totalHeight) +
                       ", clock " + std::to_string(info.pixelClockKHz));
        }
        trace.Note("snapshot in 8 bits");
        Snapshot(engine, trace, 0);
        trace.Note("snapshot in 16 bits");
        Snapshot(engine, trace, 1);
        trace.Note("window and exposure");
        trace.Result("SetCaptureWindow", engine.SetCaptureWindow(64, 32, 640, 480, 0));
        trace.Result("SetExposureTime", engine.SetExposureTime(500));
        trace.Result("GetExposureTime", engine.GetExposureTime());
        trace.Result("GetExposureLines", engine.GetExposureLines());
        Snapshot(engine, trace, 0);
        trace.Note("close");
        trace.Result("Close", engine.Close());
    }
    CompareWithGoldenFile(std::string("engine_") + c.name, trace.Finish());
}

INSTANTIATE_TEST_SUITE_P(AptinaModels, GoldenEngineTrace,
                         ::testing::Values(EngineCase{"3020_mt9f002", 0x3020, false},
                                           EngineCase{"3020_mt9f001", 0x3020, true},
                                           EngineCase{"3030_mt9p001", 0x3030, false},
                                           EngineCase{"3040_mt9j001", 0x3040, false},
                                           EngineCase{"3042_mt9j001", 0x3042, false}),
                         [](const ::testing::TestParamInfo<EngineCase>& param) { return std::string(param.param.name); });

// The library's own model through a session, with the settings a fresh
// settings file gives.
TEST(GoldenSessionTrace, InitializeSnapshotsWindowExposureAndReleaseAreUnchangedOnTheWire) {
    InstallDeviceDrivers();
    Emulator::Instance().Reset();
    std::remove(std::getenv("VANTIX_REGISTRY"));
    Emulator::Instance().Find(Emulator::Instance().Plug(0x3040))->SetUnthrottled(true);
    TraceRecorder trace;
    {
        CVantix session;
        trace.Note("initialize");
        trace.Result("Initialize", session.Initialize(nullptr));
        std::vector<uint8_t> image(3856u * 2764u * 2u);
        for (int32_t bits : {8, 16}) {
            trace.Note("snapshot in " + std::to_string(bits) + " bits");
            trace.Result("SetColorMode", session.SetColorMode(bits));
            trace.Result("SnapShot", session.SnapShot(image.data(), static_cast<int32_t>(image.size()), 0));
        }
        trace.Note("window and exposure");
        trace.Result("SetColorMode", session.SetColorMode(8));
        trace.Result("SetCaptureWindowEx", session.SetCaptureWindowEx(3856, 64, 640, 2764, 32, 480));
        trace.Result("SetRealExposureTime", session.SetRealExposureTime(50000));
        trace.Result("SnapShot", session.SnapShot(image.data(), static_cast<int32_t>(image.size()), 0));
        const std::vector<uint8_t> picture(image.begin(), image.begin() + 640 * 480);
        trace.Note("image checksum " + std::to_string(Checksum(picture)));
        trace.Note("release");
    }
    Emulator::Instance().Reset();
    CompareWithGoldenFile("session_3040", trace.Finish());
}

}  // namespace
}  // namespace vantix
