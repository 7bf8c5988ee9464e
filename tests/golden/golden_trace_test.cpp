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
#include "engine/camera_engine.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"
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

// A sensor with a fixed record, so that the engine's per-model FPGA
// programming can be driven for every model of the family, including those
// whose sensor classes are not part of the library.
class RecordSensor : public CSensorBase {
public:
    explicit RecordSensor(CControllerBase* controller) : CSensorBase(controller, 0x20) {
        info_.maxWidth = 1000;
        info_.maxHeight = 800;
        info_.areaX = 100;
        info_.areaY = 40;
        info_.areaWidth = 320;
        info_.areaHeight = 8;
    }
    SensorInfo& Record() { return info_; }
};

class RuleEngine : public CVantixU3K9Base {
public:
    RecordSensor* InjectSensor() {
        auto sensor = std::make_unique<RecordSensor>(controller_.get());
        RecordSensor* raw = sensor.get();
        sensor_ = std::move(sensor);
        return raw;
    }
};

// Every model id of the family; the engine's rules for each are driven with
// the same record against one virtual camera.
constexpr uint16_t kFamilyModels[] = {
    0x3020, 0x3030, 0x3040, 0x3042, 0x3050, 0x3090, 0x30B0, 0x30C0, 0x30F0, 0x3100,
    0x3110, 0x3120, 0x3130, 0x3140, 0x3150, 0x3170, 0x3180, 0x3190, 0x31A0, 0x31B0,
    0x31B4, 0x31C0, 0x31C4, 0x31D0, 0x31E0, 0x31F0, 0x3200, 0x3210, 0x3220, 0x3260,
    0x3270, 0x3280, 0x3290, 0x32A0, 0x32B0, 0x32C0, 0x32D0, 0x32E0, 0x32F0, 0x3300,
};

// Trigger mode 1 starts captures on these models (header counting, waiting
// for a triggered frame), which a wire trace cannot pin down frame by frame.
bool TriggerStartsCapture(uint16_t model) {
    return model == 0x3030 || model == 0x3050 || (model >= 0x3260 && model <= 0x3290);
}

TEST(GoldenEngineRules, PerModelFpgaProgrammingIsUnchangedOnTheWire) {
    InstallDeviceDrivers();
    Emulator::Instance().Reset();
    const std::string path = Emulator::Instance().Plug(0x3040);
    Emulator::Instance().Find(path)->SetUnthrottled(true);
    TraceRecorder trace;
    for (uint16_t model : kFamilyModels) {
        char title[32];
        std::snprintf(title, sizeof title, "model 0x%04x", model);
        trace.Note(title);
        RuleEngine engine;
        engine.SetModelId(model);
        engine.Open(0, nullptr);
        engine.EnumerateDevices(0);
        const DeviceTable& table = ProcessDeviceTable();
        for (int32_t i = 0; i < table.Count(); ++i) {
            if (table.DevicePath(i) == path) engine.Controller()->SelectDeviceIndex(i);
        }
        RecordSensor* sensor = engine.InjectSensor();
        trace.Result("InitCamera", engine.InitCamera());
        trace.Result("SetBitMode 1", engine.SetBitMode(1));
        trace.Result("SetBitMode 0", engine.SetBitMode(0));
        for (int32_t mode : {0, 1, 2}) {
            sensor->Record().areaMode = mode;
            sensor->Record().mirrorH = mode == 1;
            sensor->Record().mirrorV = mode != 1;
            trace.Result("AllocateFrameBuffers", engine.AllocateFrameBuffers());
        }
        sensor->Record().areaMode = 0;
        sensor->Record().areaWidth = 1000;
        sensor->Record().areaHeight = 800;
        trace.Result("AllocateFrameBuffers full", engine.AllocateFrameBuffers());
        trace.Result("SetTriggerMode 0", engine.SetTriggerMode(0, 1));
        if (!TriggerStartsCapture(model)) trace.Result("SetTriggerMode 1", engine.SetTriggerMode(1, 1));
        trace.Result("ResetStream", engine.ResetStream());
        trace.Result("IsOptionSwitchSupported", engine.IsOptionSwitchSupported());
        trace.Result("GetOptionSwitch", engine.GetOptionSwitch());
        trace.Result("SetOptionSwitch 1", engine.SetOptionSwitch(1));
        trace.Result("SetOptionSwitch 0", engine.SetOptionSwitch(0));
        trace.Result("SetClockMode", engine.SetClockMode(2));
        trace.Result("SetExposureTime", engine.SetExposureTime(100));
        char text[8] = "abc";
        trace.Result("SendText", engine.SendText(text, 3));
        trace.Result("ReceiveText", engine.ReceiveText(text, sizeof text));
        trace.Result("WriteFpgaRegister", engine.WriteFpgaRegister(5, 1));
        int32_t ok = 0;
        trace.Result("ReadFpgaRegister", engine.ReadFpgaRegister(5, &ok));
        trace.Result("IsModel3042", engine.IsModel3042());
        trace.Result("Close", engine.Close());
    }
    Emulator::Instance().Reset();
    CompareWithGoldenFile("engine_model_rules", trace.Finish());
}

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
