// The controller against a virtual camera: vendor requests and their
// acceptance tests, serial-bus devices, frame streaming, time-outs with
// recovery, and what goes over the wire (checked through the USB trace).
#include "transport/controller.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"
#include "transport/usb_trace.h"

namespace vantix {
namespace {

using emulator::Emulator;
using emulator::FaultPlan;
using emulator::VirtualCamera;

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallDeviceDrivers();
        Emulator::Instance().Reset();
        path_ = Emulator::Instance().Plug(0x3040);
        camera_ = Emulator::Instance().Find(path_);
        camera_->SetUnthrottled(true);
        controller_ = std::make_unique<CVtxCy3Cam>();
        controller_->EnumerateDevices();
        for (int32_t i = 0; i < ProcessDeviceTable().Count(); ++i) {
            if (ProcessDeviceTable().DevicePath(i) == path_) index_ = i;
        }
        ASSERT_GE(index_, 0);
        ASSERT_TRUE(controller_->SelectDeviceIndex(index_));
        ASSERT_TRUE(controller_->PrepareStreaming());
        tracePath_ = "/tmp/vantix-trace-" + std::to_string(getpid()) + ".txt";
    }
    void TearDown() override {
        SetUsbTraceFile("");
        unlink(tracePath_.c_str());
        controller_.reset();
        Emulator::Instance().Reset();
    }
    void StartTrace() {
        unlink(tracePath_.c_str());
        SetUsbTraceFile(tracePath_);
    }
    std::vector<std::string> TraceLines() {
        SetUsbTraceFile("");
        std::vector<std::string> lines;
        std::ifstream in(tracePath_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    void SetWindow(uint16_t width, uint16_t height, bool sixteenBit) {
        ASSERT_TRUE(controller_->WriteFpgaRegister(68, static_cast<uint8_t>(width)));
        ASSERT_TRUE(controller_->WriteFpgaRegister(69, static_cast<uint8_t>(width >> 8)));
        ASSERT_TRUE(controller_->WriteFpgaRegister(64, static_cast<uint8_t>(height)));
        ASSERT_TRUE(controller_->WriteFpgaRegister(65, static_cast<uint8_t>(height >> 8)));
        ASSERT_TRUE(controller_->WriteFpgaRegister(0x3C, sixteenBit ? 2 : 1));
    }
    FrameDescriptor Frame(std::vector<uint8_t>& buffer) {
        FrameDescriptor frame{};
        frame.buffer = buffer.data();
        frame.capacity = static_cast<uint32_t>(buffer.size());
        return frame;
    }
    static uint32_t PayloadCount(const FrameDescriptor& frame) {
        return static_cast<uint32_t>(frame.header[16] | frame.header[17] << 8 | frame.header[18] << 16 |
                                     frame.header[19] << 24);
    }

    std::string path_;
    std::shared_ptr<VirtualCamera> camera_;
    std::unique_ptr<CVtxCy3Cam> controller_;
    int32_t index_ = -1;
    std::string tracePath_;
};

TEST_F(ControllerTest, FpgaAuxAndEepromRegistersRoundTrip) {
    uint8_t value = 0;
    ASSERT_TRUE(controller_->WriteFpgaRegister(0x21, 0xA5));
    ASSERT_TRUE(controller_->ReadFpgaRegister(0x21, &value));
    EXPECT_EQ(value, 0xA5);
    EXPECT_EQ(camera_->FpgaRegister(0x21), 0xA5);

    ASSERT_TRUE(controller_->WriteFpgaRegister(0x10, 0x34));
    ASSERT_TRUE(controller_->WriteFpgaRegister(0x11, 0x12));
    uint16_t word = 0;
    EXPECT_TRUE(controller_->ReadRegister16(&word));
    EXPECT_EQ(word, 0x1234);

    ASSERT_TRUE(controller_->WriteAuxRegister(7, 0x5C));
    ASSERT_TRUE(controller_->ReadAuxRegister(7, &value));
    EXPECT_EQ(value, 0x5C);

    ASSERT_TRUE(controller_->WriteSrom(0x0123, 0x42));
    ASSERT_TRUE(controller_->ReadSrom(0x0123, &value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(camera_->EepromByte(0x0123), 0x42);
}

TEST_F(ControllerTest, CameraRegisterBankTravelsInValueForWritesAndInIndexForReads) {
    StartTrace();
    ASSERT_TRUE(controller_->WriteCameraRegister(0x8001, 0xBEEF1234));
    uint32_t value = 0xFFFFFFFF;
    ASSERT_TRUE(controller_->ReadCameraRegister(0x8001, &value));
    EXPECT_EQ(value, 0x1234u);  // the reply carries 16 bits
    EXPECT_EQ(camera_->CameraRegister(0x8001), 0xBEEF1234u);
    EXPECT_EQ(camera_->CameraRegister(0x0001), 0u);
    const std::vector<std::string> lines = TraceLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "ep0 out req=0xd0 value=0x0001 index=0x0001 returned=102 result=0");
    EXPECT_EQ(lines[1], "ep0 in req=0xd1 value=0x0000 index=0x8001 returned=102 result=0");
}

TEST_F(ControllerTest, ShortRepliesSucceedButLeaveOutputsAlone) {
    FaultPlan faults;
    faults.shortRequest = 0x31;
    faults.shortBytes = 1;
    faults.shortCount = 1;
    camera_->SetFaults(faults);
    uint8_t data[2] = {0x77, 0x77};
    EXPECT_TRUE(controller_->BusRead(0x40, data, 2, 3000));
    EXPECT_EQ(data[0], 0x77);
    EXPECT_EQ(data[1], 0x77);

    // A camera-register read with a short reply yields 0, not stale data.
    faults.shortRequest = 0xD1;
    faults.shortBytes = 10;
    camera_->SetFaults(faults);
    ASSERT_TRUE(controller_->WriteCameraRegister(5, 99));
    uint32_t value = 1234;
    EXPECT_TRUE(controller_->ReadCameraRegister(5, &value));
    EXPECT_EQ(value, 0u);

    // A reply shorter than the 38-byte header is judged on the raw count.
    faults.shortRequest = 0xB0;
    faults.shortBytes = 0;
    camera_->SetFaults(faults);
    uint8_t block[64];
    std::fill(std::begin(block), std::end(block), 0xEE);
    EXPECT_TRUE(controller_->ReadDeviceBlockA(block));
    EXPECT_EQ(block[24], 0xEE);
    EXPECT_TRUE(controller_->ReadDeviceBlockA(block));
    EXPECT_EQ(block[25], 0x12);  // the full reply arrives again
}

TEST_F(ControllerTest, FailedReadsAndOversizedBusTransfersSendNothingWrong) {
    FaultPlan faults;
    faults.stallRequest = 0x31;
    faults.stallCount = 2;
    camera_->SetFaults(faults);
    uint16_t word = 0xFFFF;
    EXPECT_TRUE(controller_->ReadRegister16(&word));  // succeeds even when both reads fail
    EXPECT_EQ(word, 0);

    StartTrace();
    uint8_t data[65] = {};
    EXPECT_FALSE(controller_->BusWrite(0x40, data, 65, 3000));
    EXPECT_FALSE(controller_->BusRead(0x40, data, 65, 3000));
    EXPECT_TRUE(TraceLines().empty());
}

TEST_F(ControllerTest, StreamsAFullFrameWithHeaderAndCounter) {
    SetWindow(3856, 2764, true);
    camera_->SetFrameCounter(0xFFFFFFFE);  // the counter wraps during this test
    std::vector<uint8_t> buffer(3856 * 2764 * 2);
    FrameDescriptor frame = Frame(buffer);
    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    EXPECT_EQ(PayloadCount(frame), buffer.size());
    EXPECT_EQ(frame.frameCounter, 0xFFFFFFFFu);
    ASSERT_TRUE(controller_->ReadFramePayload(&frame, 1000));

    // The payload is the scene the camera rendered, byte for byte.
    emulator::FrameRenderer renderer;
    renderer.Prepare(camera_->Scene(), {3856, 2764, 2}, frame.frameCounter);
    std::vector<uint8_t> expected(buffer.size());
    renderer.Render(0, expected.data(), expected.size());
    EXPECT_TRUE(buffer == expected);

    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    EXPECT_EQ(frame.frameCounter, 0u);
    ASSERT_TRUE(controller_->ReadFramePayload(&frame, 1000));
}

TEST_F(ControllerTest, PayloadIsReadInHalfMebibytePieces) {
    SetWindow(1024, 512, false);  // exactly 0x80000 bytes
    std::vector<uint8_t> buffer(0x80001);
    FrameDescriptor frame = Frame(buffer);
    StartTrace();
    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    ASSERT_TRUE(controller_->ReadFramePayload(&frame, 1000));
    std::vector<std::string> lines = TraceLines();
    ASSERT_EQ(lines.size(), 3u);  // RequestFrame, header, one piece
    EXPECT_EQ(lines[2], "stream ep=0x81 requested=524288 transferred=524288 result=0");

    // A header announcing one byte more makes a second piece of one byte,
    // which the camera never sends: the read fails after its time-out.
    FaultPlan faults;
    faults.payloadCountDelta = 1;
    camera_->SetFaults(faults);
    StartTrace();
    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    EXPECT_EQ(PayloadCount(frame), 0x80001u);
    EXPECT_FALSE(controller_->ReadFramePayload(&frame, 50));
    lines = TraceLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].rfind("stream ep=0x81 requested=1 transferred=0 result=", 0), 0u);
}

TEST_F(ControllerTest, PayloadLargerThanTheBufferFailsWithoutAnyTransfer) {
    SetWindow(64, 64, false);
    std::vector<uint8_t> buffer(64 * 64 - 1);
    FrameDescriptor frame = Frame(buffer);
    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    StartTrace();
    EXPECT_FALSE(controller_->ReadFramePayload(&frame, 1000));
    EXPECT_TRUE(TraceLines().empty());
}

TEST_F(ControllerTest, LateHeadersAreRecoveredByPulsingTheStreamLogic) {
    SetWindow(64, 64, false);
    FaultPlan faults;
    faults.headerTimeouts = 2;
    camera_->SetFaults(faults);
    std::vector<uint8_t> buffer(64 * 64);
    FrameDescriptor frame = Frame(buffer);
    StartTrace();
    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    ASSERT_TRUE(controller_->ReadFramePayload(&frame, 1000));
    int pulses = 0;
    for (const std::string& line : TraceLines()) {
        // FPGA register 0x6C written through the bus (3 data bytes).
        if (line.rfind("ep0 out req=0x30 value=0x0003 index=0x0040", 0) == 0) ++pulses;
    }
    EXPECT_EQ(pulses, 4);  // set and clear after each of the two lost headers
}

TEST_F(ControllerTest, HeaderThatNeverComesFailsAfterThirtyAttempts) {
    FaultPlan faults;
    faults.headerTimeouts = 30;
    camera_->SetFaults(faults);
    std::vector<uint8_t> buffer(16);
    FrameDescriptor frame = Frame(buffer);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(controller_->ReadFrameHeader(&frame));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30 * 100));
}

TEST_F(ControllerTest, TimedOutOrFailedTransfersAreAbortedAndTheNextOneWorks) {
    SetWindow(64, 64, false);
    std::vector<uint8_t> buffer(64 * 64);
    FrameDescriptor frame = Frame(buffer);
    FaultPlan faults;
    faults.payloadTimeouts = 1;
    camera_->SetFaults(faults);
    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    EXPECT_FALSE(controller_->ReadFramePayload(&frame, 30));

    // Completed by the driver, but with a non-zero status word: a failure.
    faults = FaultPlan{};
    faults.badStatusTransfers = 1;
    camera_->SetFaults(faults);
    ASSERT_TRUE(controller_->OpenStream());
    ASSERT_TRUE(controller_->RequestFrame());
    uint8_t header[64];
    uint32_t count = 0;
    EXPECT_FALSE(controller_->DirectRead(controller_->StreamHandle(), header, 64, 0x81, &count, 1000));
    EXPECT_EQ(count, 0u);

    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    EXPECT_TRUE(controller_->ReadFramePayload(&frame, 1000));
}

TEST_F(ControllerTest, DirectFramesComeFromTheirOwnEndpoint) {
    SetWindow(128, 32, true);
    std::vector<uint8_t> buffer(128 * 32 * 2);
    FrameDescriptor frame = Frame(buffer);
    frame.directBytes = static_cast<uint32_t>(buffer.size());
    EXPECT_TRUE(controller_->ReadFrameDirect(&frame));
    frame.directBytes = static_cast<uint32_t>(buffer.size()) + 2;  // more than fits
    EXPECT_FALSE(controller_->ReadFrameDirect(&frame));

    // A direct-frame read that times out is aborted on its own endpoint and
    // returns; the next frame arrives normally.
    uint32_t count = 0;
    EXPECT_FALSE(controller_->DirectRead(controller_->StreamHandle(), buffer.data(), 64, 0x83, &count, 50));
    frame.directBytes = static_cast<uint32_t>(buffer.size());
    EXPECT_TRUE(controller_->ReadFrameDirect(&frame));
}

TEST_F(ControllerTest, BufferedBulkTransfersAreLimitedTo64MiB) {
    ASSERT_TRUE(controller_->OpenStream());
    ASSERT_TRUE(controller_->RequestFrame());
    std::vector<uint8_t> data(kMaxTransferBytes + 1);
    uint32_t count = 0;
    // The whole 64 MiB is accepted; the camera answers with what it has, the
    // frame header.
    EXPECT_TRUE(controller_->BulkRead(controller_->StreamHandle(), 0x81, data.data(), kMaxTransferBytes, &count));
    EXPECT_EQ(count, 64u);
    StartTrace();
    EXPECT_FALSE(controller_->BulkRead(controller_->StreamHandle(), 0x81, data.data(), kMaxTransferBytes + 1, &count));
    EXPECT_TRUE(TraceLines().empty());
}

TEST_F(ControllerTest, UnpluggedCameraFailsRequestsAndKeepsTheSelection) {
    uint32_t speed = 0;
    EXPECT_TRUE(controller_->GetSpeed(&speed));
    EXPECT_EQ(speed, 4u);  // SuperSpeed

    Emulator::Instance().Unplug(path_);
    uint8_t value = 0;
    EXPECT_FALSE(controller_->ReadFpgaRegister(0, &value));
    EXPECT_FALSE(controller_->SelectDeviceIndex(index_));
    EXPECT_EQ(controller_->DeviceIndex(), index_);
    EXPECT_FALSE(controller_->SelectDeviceIndex(32));
    EXPECT_FALSE(controller_->SelectDeviceIndex(ProcessDeviceTable().Count()));

    Emulator::Instance().Replug(path_);
    EXPECT_TRUE(controller_->SelectDeviceIndex(index_));
    EXPECT_TRUE(controller_->ReadFpgaRegister(0, &value));
}

TEST_F(ControllerTest, RemovalInTheMiddleOfAFrameFailsThePayload) {
    SetWindow(1024, 1024, false);
    std::vector<uint8_t> buffer(1024 * 1024);
    FrameDescriptor frame = Frame(buffer);
    FaultPlan faults;
    faults.removeAfterPayloadBytes = 0x80000 + 100;
    camera_->SetFaults(faults);
    ASSERT_TRUE(controller_->ReadFrameHeader(&frame));
    EXPECT_FALSE(controller_->ReadFramePayload(&frame, 200));
    EXPECT_FALSE(camera_->Present());
}

}  // namespace
}  // namespace vantix
