// The acquisition thread, the frame ring and the frame copies against a
// virtual camera: frame hand-over and WaitFrame results, stopping with
// waiters, giving up and recovering after lost frames, the triggered modes,
// row and pixel order, and the slot hand-over between thread and readers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "emulator/emulator.h"
#include "engine/camera_engine.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"

namespace vantix {
namespace {

using emulator::Emulator;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A sensor whose frame layout the tests choose.
class TestSensor final : public CSensorBase {
public:
    explicit TestSensor(CControllerBase* controller) : CSensorBase(controller, 0x20) {}
    void SetLayout(int32_t width, int32_t height, int32_t word84) {
        info_.areaWidth = width;
        info_.areaHeight = height;
        info_.specific84 = word84;
    }
    int32_t IsInfoBlockValid() override { return infoBlockValid; }
    int32_t infoBlockValid = 1;
};

// The engine with a test sensor, and access to the ring for the tests.
class TestEngine final : public CVantixU3K9Base {
public:
    bool Attach(int32_t model, const std::string& path, int32_t width, int32_t height, bool sixteenBit) {
        SetModelId(model);
        controller_ = std::make_unique<CVtxCy3Cam>();
        const int32_t count = controller_->EnumerateDevices();
        int32_t index = 0;
        while (index < count && ProcessDeviceTable().DevicePath(index) != path) ++index;
        if (!controller_->SelectDeviceIndex(index) || !controller_->PrepareStreaming()) return false;
        sensor_ = std::make_unique<TestSensor>(controller_.get());
        bitMode_ = sixteenBit ? 1 : 0;
        controller_->WriteFpgaRegister(0x3C, sixteenBit ? 2 : 1);
        return Resize(width, height, 3);
    }
    bool Resize(int32_t width, int32_t height, int32_t word84) {
        TheSensor().SetLayout(width, height, word84);
        AllocateFrameBuffers();
        return transferBuffer_ != nullptr;
    }
    TestSensor& TheSensor() { return static_cast<TestSensor&>(*sensor_); }
    std::vector<uint8_t> Slot(int s) const { return {ring_[s].get(), ring_[s].get() + frameBytes_}; }
    void FillSlot(int s, const std::vector<uint8_t>& bytes) { std::copy(bytes.begin(), bytes.end(), ring_[s].get()); }
    // How many different buffers the ring slots and the transfer buffer are:
    // the thread hands buffers round, and two slots sharing one would let a
    // transfer overwrite a published frame.
    size_t DistinctBuffers() const {
        std::set<const uint8_t*> buffers{transferBuffer_.get()};
        for (const auto& slot : ring_) buffers.insert(slot.get());
        return buffers.size();
    }
    void SetWriteIndex(int32_t value) { writeIndex_ = value; }
    void ForceModel(int32_t model) { modelId_ = model; }
    int32_t LastReadIndex() const { return lastReadIndex_; }
    std::atomic<int32_t>& SlotReaders(int s) { return slotReaders_[s]; }
    std::atomic<bool>& SlotWriting(int s) { return slotWriting_[s]; }
    Event& StopEvent() { return stopEvent_; }
    uint32_t LastFrameCounter() const { return lastFrameCounter_; }
};

class AcquisitionTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallDeviceDrivers();
        Emulator::Instance().Reset();
    }
    void TearDown() override {
        engine_.reset();
        Emulator::Instance().Reset();
    }
    bool Plug(uint16_t model, int32_t width, int32_t height, bool sixteenBit = false) {
        path_ = Emulator::Instance().Plug(model);
        camera_ = Emulator::Instance().Find(path_);
        camera_->SetUnthrottled(true);
        emulator::SceneSettings scene = camera_->Scene();
        scene.kind = emulator::SceneKind::Moving;
        camera_->SetScene(scene);
        engine_ = std::make_unique<TestEngine>();
        geometry_ = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), sixteenBit ? 2u : 1u};
        return engine_->Attach(model, path_, width, height, sixteenBit);
    }
    // The frame the camera sends with counter `counter`.
    std::vector<uint8_t> Rendered(uint32_t counter) const {
        emulator::FrameRenderer renderer;
        renderer.Prepare(camera_->Scene(), geometry_, counter);
        std::vector<uint8_t> frame(geometry_.PayloadBytes());
        renderer.Render(0, frame.data(), frame.size());
        return frame;
    }
    std::vector<uint8_t> CopyLatest(int32_t orientation = 0) {
        std::vector<uint8_t> image(engine_->FrameBytes());
        engine_->CopyLatestFrame(image.data(), 0, 0, 0, orientation);
        return image;
    }

    std::string path_;
    std::shared_ptr<emulator::VirtualCamera> camera_;
    std::unique_ptr<TestEngine> engine_;
    emulator::FrameGeometry geometry_;
};

TEST_F(AcquisitionTest, WaitFrameReportsFramesNotYetRead) {
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    camera_->SetUnthrottled(false);
    camera_->SetFramePeriodUs(2000000);
    camera_->SetFrameCounter(99);
    const auto start = Clock::now();
    EXPECT_EQ(engine_->WaitFrame(2000), kWaitNoNewFrame);  // nothing started: no wait at all
    EXPECT_LT(Clock::now() - start, 1000ms);

    ASSERT_EQ(engine_->StartCapture(kCaptureContinuous), 1);
    EXPECT_EQ(engine_->WaitFrame(3000), kWaitNewFrame);
    EXPECT_EQ(engine_->WriteIndex(), 1);
    EXPECT_EQ(CopyLatest(), Rendered(100));
    EXPECT_EQ(engine_->LastReadIndex(), 1);
    EXPECT_EQ(engine_->WaitFrame(20), kWaitNoNewFrame);  // the next frame is 2 s away
    EXPECT_EQ(engine_->WaitFrame(8000), kWaitNewFrame);
    EXPECT_EQ(engine_->WriteIndex(), 2);
    EXPECT_EQ(CopyLatest(), Rendered(101));
}

TEST_F(AcquisitionTest, SingleModeDeliversOneFrameAndTheFifthWrapsToSlotZero) {
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    camera_->SetFrameCounter(0);
    for (uint32_t n = 1; n <= 5; ++n) {
        ASSERT_EQ(engine_->StartCapture(kCaptureSingle), 1);
        ASSERT_EQ(engine_->StopEvent().Wait(3000), WaitResult::Signalled) << n;
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(camera_->FrameCounter(), n);  // exactly one frame per start
        EXPECT_EQ(engine_->WriteIndex(), static_cast<int32_t>(n % kRingSlots));
    }
    EXPECT_EQ(engine_->Slot(0), Rendered(5));
    EXPECT_EQ(engine_->Slot(1), Rendered(2));
    EXPECT_EQ(engine_->Slot(3), Rendered(4));
}

TEST_F(AcquisitionTest, StopCaptureReleasesWaitersAndToleratesConcurrentCalls) {
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    camera_->SetUnthrottled(false);
    camera_->SetFramePeriodUs(10000000);
    ASSERT_EQ(engine_->StartCapture(kCaptureContinuous), 1);
    // The first frame of a stream takes a whole period; the next is 10 s later.
    ASSERT_EQ(engine_->WaitFrame(20000), kWaitNewFrame);

    std::atomic<Clock::rep> stopAt{0};
    const auto waiter = [&] {
        const int32_t result = engine_->WaitFrame(9000);
        return std::make_pair(result, Clock::now().time_since_epoch().count() - stopAt.load());
    };
    auto first = std::async(std::launch::async, waiter);
    auto second = std::async(std::launch::async, waiter);
    std::this_thread::sleep_for(50ms);
    stopAt = Clock::now().time_since_epoch().count();
    auto otherStop = std::async(std::launch::async, [&] { return engine_->StopCapture(); });
    EXPECT_EQ(engine_->StopCapture(), 1);
    EXPECT_EQ(otherStop.get(), 1);
    for (auto* w : {&first, &second}) {
        const auto [result, releasedAfter] = w->get();
        EXPECT_EQ(result, kWaitNoNewFrame);
        EXPECT_LT(std::chrono::nanoseconds(releasedAfter), 6000ms);  // not at the 9 s time-out
    }
    EXPECT_EQ(engine_->WaitFrame(1000), kWaitNoNewFrame);
}

TEST_F(AcquisitionTest, FiveLostFramesInARowEndTheRunFewerAreRecovered) {
    for (uint32_t lost : {4u, 5u}) {
        ASSERT_TRUE(Plug(0x3040, 320, 8));
        engine_->SetReadTimeout(50);
        emulator::FaultPlan faults;
        faults.payloadTimeouts = lost;
        camera_->SetFaults(faults);
        ASSERT_EQ(engine_->StartCapture(kCaptureContinuous), 1);
        // A waiter that is already waiting learns of the failure too.
        EXPECT_EQ(engine_->WaitFrame(5000), lost == 5 ? kWaitTransferFailed : kWaitNewFrame) << lost;
        EXPECT_EQ(engine_->TransferFailed(), lost == 5);
        if (lost == 5) {
            const auto start = Clock::now();
            EXPECT_EQ(engine_->WaitFrame(5000), kWaitTransferFailed);
            EXPECT_EQ(engine_->WriteIndex(), 0);
            EXPECT_EQ(engine_->StopCapture(), 1);  // the thread is gone: nothing to wait for
            EXPECT_LT(Clock::now() - start, 1000ms);
        }
        engine_.reset();
        Emulator::Instance().Reset();
    }
}

// A header that announces fewer or more bytes than the programmed frame is a
// lost frame: a short payload would leave the previous frame's bytes behind.
TEST_F(AcquisitionTest, HeadersAnnouncingAnotherPayloadSizeAreLostFrames) {
    constexpr int32_t kFrameBytes = 320 * 8;
    for (int32_t delta : {-kFrameBytes, -1, 1}) {
        ASSERT_TRUE(Plug(0x3040, 320, 8));
        engine_->SetReadTimeout(50);
        ASSERT_EQ(engine_->StartCapture(kCaptureSingle), 1);
        ASSERT_EQ(engine_->WaitFrame(5000), kWaitNewFrame);
        const std::vector<uint8_t> good = CopyLatest();

        emulator::FaultPlan faults;
        faults.payloadCountDelta = delta;
        camera_->SetFaults(faults);
        ASSERT_EQ(engine_->StartCapture(kCaptureSingle), 1);
        EXPECT_EQ(engine_->WaitFrame(5000), kWaitTransferFailed) << delta;
        EXPECT_EQ(engine_->WriteIndex(), 1) << delta;  // nothing published after the good frame
        EXPECT_EQ(CopyLatest(), good);

        // With honest headers again the stream is back in step.
        camera_->SetFaults(emulator::FaultPlan{});
        ASSERT_EQ(engine_->StartCapture(kCaptureSingle), 1);
        ASSERT_EQ(engine_->WaitFrame(5000), kWaitNewFrame) << delta;
        EXPECT_EQ(CopyLatest(), Rendered(engine_->LastFrameCounter())) << delta;
        engine_.reset();
        Emulator::Instance().Reset();
    }
}

TEST_F(AcquisitionTest, TriggeredModesWaitForTheCounterOrReadOnlyAHeader) {
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    camera_->SetFrameCounter(7);
    ASSERT_EQ(engine_->StartCapture(kCaptureOnCounterChange), 1);
    EXPECT_EQ(engine_->WaitFrame(100), kWaitNoNewFrame);  // the counter has not moved
    EXPECT_EQ(camera_->FrameCounter(), 7u);
    camera_->SetFrameCounter(8);  // the trigger
    EXPECT_EQ(engine_->WaitFrame(3000), kWaitNewFrame);
    EXPECT_EQ(engine_->StopEvent().Wait(3000), WaitResult::Signalled);  // one frame, then the end
    EXPECT_EQ(engine_->WriteIndex(), 0);  // slot 3 was filled: the index restarts at the last read one

    camera_->SetFrameCounter(41);
    ASSERT_EQ(engine_->StartCapture(kCaptureHeaderOnly), 1);
    EXPECT_EQ(engine_->StopEvent().Wait(3000), WaitResult::Signalled);
    engine_->StopCapture();
    EXPECT_EQ(engine_->LastFrameCounter(), 42u);
    EXPECT_EQ(engine_->WriteIndex(), 0);  // no frame was published
}

TEST_F(AcquisitionTest, CopiesNeedABufferOfAFrameAndARing) {
    TestEngine bare;
    std::vector<uint8_t> image(4096);
    EXPECT_EQ(bare.StartCapture(kCaptureContinuous), 0);
    EXPECT_EQ(bare.CaptureSingleFrame(), 2);
    EXPECT_EQ(bare.CopyFrame(image.data(), 4096, 0, 0), 0);

    ASSERT_TRUE(Plug(0x3040, 320, 8));
    const auto bytes = static_cast<int32_t>(engine_->FrameBytes());
    ASSERT_EQ(bytes, 2560);
    EXPECT_EQ(engine_->CopyFrame(image.data(), bytes, 0, 0), 1);
    EXPECT_EQ(engine_->CopyFrame(image.data(), bytes - 1, 0, 0), 0);
    EXPECT_EQ(engine_->CopyFrame(image.data(), -1, 1, 0), 0);
    EXPECT_EQ(engine_->CopyFrame(nullptr, bytes, 0, 0), 0);
    EXPECT_EQ(engine_->CopyFirstSlot(nullptr, 0, 0, 0, 0), -2);
    EXPECT_EQ(engine_->CopyFirstSlot(image.data(), 0, 0, 0, 0), 0);
}

TEST_F(AcquisitionTest, RowAndPixelOrderFollowSensorWord84) {
    struct Case {
        int32_t model, width, height, word84, orientation, infoBlockValid;
        bool sixteenBit;
        std::vector<uint8_t> expected;  // from a source frame of 1, 2, 3, ...
    };
    const std::vector<Case> cases = {
        {0x3040, 3, 2, 3, 0, 1, false, {1, 2, 3, 4, 5, 6}},
        {0x3040, 3, 2, 0, 1, 1, false, {1, 2, 3, 4, 5, 6}},
        {0x3040, 3, 2, 1, 0, 1, false, {4, 5, 6, 1, 2, 3}},
        {0x3040, 3, 2, 2, 1, 1, false, {3, 2, 1, 6, 5, 4}},
        {0x3040, 3, 2, 2, 0, 1, false, {6, 5, 4, 3, 2, 1}},
        {0x3040, 3, 2, 4, 1, 1, false, {6, 5, 4, 3, 2, 1}},
        {0x3040, 3, 2, 4, 0, 1, false, {3, 2, 1, 6, 5, 4}},
        // Two-byte pixels move as units.
        {0x3040, 3, 1, 2, 1, 1, true, {5, 6, 3, 4, 1, 2}},
        // Rows long enough for the eight-byte moves, and an odd rest.
        {0x3040, 11, 1, 4, 1, 1, false, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
        {0x3040, 5, 1, 2, 1, 1, true, {9, 10, 7, 8, 5, 6, 3, 4, 1, 2}},
        // Model 0x31E0 ignores word 84; without a valid information block its
        // last row is replaced by the one above.
        {0x31E0, 3, 3, 4, 1, 1, false, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {0x31E0, 3, 3, 4, 1, 0, false, {1, 2, 3, 4, 5, 6, 4, 5, 6}},
    };
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    for (const Case& c : cases) {
        engine_->ForceModel(0x3040);
        engine_->SetBitMode(c.sixteenBit ? 1 : 0);
        ASSERT_TRUE(engine_->Resize(c.width, c.height, c.word84));
        ASSERT_EQ(engine_->FrameBytes(), c.expected.size());
        std::vector<uint8_t> source(c.expected.size());
        for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i + 1);
        engine_->FillSlot(3, source);
        engine_->SetWriteIndex(0);  // slot 3 is the newest
        engine_->ForceModel(c.model);
        engine_->TheSensor().infoBlockValid = c.infoBlockValid;
        EXPECT_EQ(CopyLatest(c.orientation), c.expected) << "word84 " << c.word84 << " orientation " << c.orientation;
    }
    // A window that no longer matches the frame in the ring: passed on as it is.
    engine_->ForceModel(0x3040);
    engine_->TheSensor().SetLayout(2, 2, 4);
    EXPECT_EQ(CopyLatest(1), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(AcquisitionTest, ThreadSkipsHeldSlotsAndReadersStepBackFromTheFilledOne) {
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    const std::vector<uint8_t> marker(engine_->FrameBytes(), 0xAB);
    engine_->FillSlot(1, marker);
    engine_->SlotReaders(1) = 1;  // a reader holds slot 1 throughout
    camera_->SetFrameCounter(0);
    ASSERT_EQ(engine_->StartCapture(kCaptureContinuous), 1);
    const auto deadline = Clock::now() + 3s;
    while (camera_->FrameCounter() < 40 && Clock::now() < deadline) {
        EXPECT_NE(engine_->WriteIndex(), 2);  // slot 1 is never published
        std::this_thread::yield();
    }
    engine_->StopCapture();
    EXPECT_GE(camera_->FrameCounter(), 40u);
    EXPECT_EQ(engine_->Slot(1), marker);

    // With every slot held the frames are dropped; the thread does not wait.
    for (int s = 0; s < kRingSlots; ++s) engine_->SlotReaders(s) = 1;
    const int32_t index = engine_->WriteIndex();
    ASSERT_EQ(engine_->StartCapture(kCaptureContinuous), 1);
    EXPECT_EQ(engine_->WaitFrame(100), kWaitNoNewFrame);
    engine_->StopCapture();
    EXPECT_EQ(engine_->WriteIndex(), index);
    for (int s = 0; s < kRingSlots; ++s) engine_->SlotReaders(s) = 0;

    // A reader whose newest slot is being filled waits for the fill to end.
    engine_->SetWriteIndex(1);
    engine_->SlotWriting(0) = true;
    auto copy = std::async(std::launch::async, [&] { return CopyLatest(); });
    EXPECT_EQ(copy.wait_for(50ms), std::future_status::timeout);
    engine_->SlotWriting(0) = false;
    ASSERT_EQ(copy.wait_for(3s), std::future_status::ready);
    EXPECT_EQ(engine_->LastReadIndex(), 1);
}

TEST_F(AcquisitionTest, ConcurrentCopiesAreNeverTorn) {
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    // The moving scene repeats every width / 2 frames; a torn copy matches none.
    std::set<std::vector<uint8_t>> frames;
    for (uint32_t c = 0; c < 160; ++c) frames.insert(Rendered(c));
    for (int s = 0; s < kRingSlots; ++s) engine_->FillSlot(s, Rendered(0));
    ASSERT_EQ(engine_->StartCapture(kCaptureContinuous), 1);
    const auto reader = [&](bool firstSlot) {
        int torn = 0;
        int copies = 0;
        std::vector<uint8_t> image(engine_->FrameBytes());
        for (const auto end = Clock::now() + 300ms; Clock::now() < end; ++copies) {
            if (firstSlot) {
                engine_->CopyFirstSlot(image.data(), 0, 0, 0, 0);
            } else {
                engine_->CopyLatestFrame(image.data(), 0, 0, 0, 0);
            }
            torn += frames.count(image) == 0;
        }
        return std::make_pair(torn, copies);
    };
    auto latest = std::async(std::launch::async, reader, false);
    auto first = std::async(std::launch::async, reader, true);
    for (auto* r : {&latest, &first}) {
        const auto [torn, copies] = r->get();
        EXPECT_EQ(torn, 0);
        EXPECT_GT(copies, 0);
    }
    engine_->StopCapture();
    EXPECT_GT(camera_->FrameCounter(), 20u);
    EXPECT_EQ(engine_->DistinctBuffers(), kRingSlots + 1u);
}

// The frame in progress is received outside the ring: a camera lost half-way
// through a frame leaves every published frame as it was, for the newest-slot
// and the first-slot readers alike.
TEST_F(AcquisitionTest, AFrameCutOffHalfWayLeavesEveryRingSlotAsItWas) {
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    engine_->SetReadTimeout(50);
    camera_->SetFrameCounter(0);
    for (int n = 1; n <= kRingSlots; ++n) {
        ASSERT_EQ(engine_->StartCapture(kCaptureSingle), 1);
        ASSERT_EQ(engine_->StopEvent().Wait(3000), WaitResult::Signalled) << n;
    }
    ASSERT_EQ(engine_->WriteIndex(), 0);
    ASSERT_EQ(CopyLatest(), Rendered(kRingSlots));  // every frame so far is read

    emulator::FaultPlan faults;
    faults.removeAfterPayloadBytes = engine_->FrameBytes() / 2;
    camera_->SetFaults(faults);
    ASSERT_EQ(engine_->StartCapture(kCaptureSingle), 1);
    EXPECT_EQ(engine_->WaitFrame(5000), kWaitTransferFailed);
    engine_->StopCapture();

    EXPECT_EQ(engine_->WriteIndex(), 0);
    for (int s = 0; s < kRingSlots; ++s) EXPECT_EQ(engine_->Slot(s), Rendered(static_cast<uint32_t>(s + 1))) << s;
    std::vector<uint8_t> first(engine_->FrameBytes());
    engine_->CopyFirstSlot(first.data(), 0, 0, 0, 0);
    EXPECT_EQ(first, Rendered(1));
    EXPECT_EQ(CopyLatest(), Rendered(kRingSlots));
    EXPECT_EQ(engine_->DistinctBuffers(), kRingSlots + 1u);
}

TEST_F(AcquisitionTest, CaptureSingleFrameFillsSlotZero) {
    ASSERT_TRUE(Plug(0x3040, 320, 8));
    camera_->SetFrameCounter(10);
    EXPECT_EQ(engine_->CaptureSingleFrame(), 0);
    EXPECT_FALSE(engine_->TransferFailed());
    EXPECT_EQ(engine_->Slot(0), Rendered(11));
    EXPECT_EQ(engine_->WriteIndex(), 0);

    ASSERT_EQ(engine_->StartCapture(kCaptureContinuous), 1);
    EXPECT_EQ(engine_->CaptureSingleFrame(), 2);  // the thread owns the stream
    engine_->StopCapture();

    Emulator::Instance().Unplug(path_);
    EXPECT_EQ(engine_->CaptureSingleFrame(), 0);
    EXPECT_TRUE(engine_->TransferFailed());
    EXPECT_EQ(engine_->WaitFrame(0), kWaitTransferFailed);
}

TEST_F(AcquisitionTest, DirectFrameModelStreamsAndGivesUpWhenUnplugged) {
    ASSERT_TRUE(Plug(0x3042, 320, 8));
    ASSERT_EQ(engine_->StartCapture(kCaptureContinuous), 1);
    EXPECT_EQ(engine_->WaitFrame(3000), kWaitNewFrame);
    Emulator::Instance().Unplug(path_);
    const auto start = Clock::now();
    int32_t result = kWaitNewFrame;
    while (result != kWaitTransferFailed && Clock::now() - start < 10s) result = engine_->WaitFrame(1000);
    EXPECT_EQ(result, kWaitTransferFailed);
    EXPECT_EQ(engine_->StopCapture(), 1);
}

// The engine as a session drives it: the model's own sensor, created and
// initialised by SelectDevice, and the window set through the engine.
TEST_F(AcquisitionTest, SelectedCameraStreamsThroughItsOwnSensor) {
    path_ = Emulator::Instance().Plug(0x3040);
    Emulator::Instance().Find(path_)->SetUnthrottled(true);
    CVantixUSB3K9SimpleSdk engine;
    engine.SetModelId(0x3040);
    ASSERT_EQ(engine.Open(0, nullptr), 1);
    ASSERT_EQ(engine.EnumerateDevices(0x3040), 1);
    ASSERT_EQ(engine.SelectDevice(0), 1);
    ASSERT_EQ(engine.SetCaptureWindow(0, 0, 320, 8, 0), 1);
    ASSERT_EQ(engine.StartCapture(kCaptureContinuous), 1);
    EXPECT_EQ(engine.FrameBytes(), 320u * 8u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(engine.WaitFrame(3000), kWaitNewFrame);
        std::vector<uint8_t> image(engine.FrameBytes());
        engine.CopyLatestFrame(image.data(), 0, 0, 0, 0);
    }
    EXPECT_EQ(engine.StopCapture(), 1);
    EXPECT_FALSE(engine.TransferFailed());
}

}  // namespace
}  // namespace vantix
