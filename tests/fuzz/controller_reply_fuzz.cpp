// libFuzzer target: the controller's handling of what a camera answers.
// The input fills the virtual camera's fault plan (vendor-request replies
// replaced, cut short or reported longer than the data stage; frame headers
// replaced or cut; stalls; bad status words; a wrong payload count) and then
// names the controller operations to run against it. No reply may make the
// controller read or write outside its buffers, and afterwards the camera
// must still answer normally.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "controller_reply_input.h"
#include "emulator/emulator.h"
#include "transport/controller.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"

namespace {

using vantix::CVtxCy3Cam;
using vantix::emulator::Emulator;

// A 64 x 16 window of 8-bit samples: 1 KiB frames.
constexpr uint32_t kFrameBytes = 64 * 16;
constexpr uint32_t kPayloadTimeoutMs = 20;

struct Rig {
    std::shared_ptr<vantix::emulator::VirtualCamera> camera;
    std::unique_ptr<CVtxCy3Cam> controller;
};

void SetWindow(CVtxCy3Cam& c) {
    c.WriteFpgaRegister(68, 64);
    c.WriteFpgaRegister(69, 0);
    c.WriteFpgaRegister(64, 16);
    c.WriteFpgaRegister(65, 0);
    c.WriteFpgaRegister(0x3C, 1);
}

Rig& TheRig() {
    static Rig* rig = [] {
        auto* r = new Rig;
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        const std::string path = Emulator::Instance().Plug(0x3040);
        r->camera = Emulator::Instance().Find(path);
        r->camera->SetUnthrottled(true);
        r->controller = std::make_unique<CVtxCy3Cam>();
        r->controller->EnumerateDevices();
        int32_t index = -1;
        for (int32_t i = 0; i < vantix::ProcessDeviceTable().Count(); ++i) {
            if (vantix::ProcessDeviceTable().DevicePath(i) == path) index = i;
        }
        if (index < 0 || !r->controller->SelectDeviceIndex(index) || !r->controller->PrepareStreaming()) std::abort();
        SetWindow(*r->controller);
        return r;
    }();
    return *rig;
}

void RunOperation(CVtxCy3Cam& c, uint8_t op) {
    uint8_t bytes[64] = {};
    uint32_t word = 0;
    uint16_t half = 0;
    switch (op % 10) {
        case 0: c.ReadCameraRegister(op, &word); break;
        case 1: c.BusRead(0x40, bytes, 1 + op % 32, 100); break;
        case 2: c.ReadSrom(op, bytes); break;
        case 3: c.ReadModeByte(bytes); break;
        case 4: c.ReadReadyFlag(bytes); break;
        case 5: c.ReadDeviceBlockA(bytes); break;
        case 6: c.QueryWord(op, &word); break;
        case 7: c.ReadRegister16(&half); break;
        case 8: c.ReadAuxRegister(op, bytes); break;
        default: {
            std::vector<uint8_t> buffer(kFrameBytes + 4096);
            vantix::FrameDescriptor frame{};
            frame.buffer = buffer.data();
            frame.capacity = static_cast<uint32_t>(buffer.size());
            if (c.OpenStream() && c.ReadFrameHeader(&frame)) c.ReadFramePayload(&frame, kPayloadTimeoutMs);
            c.CloseStream();
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Rig& rig = TheRig();
    const vantix::fuzz::ControllerReplyInput input = vantix::fuzz::DecodeControllerReplyInput(data, size);
    rig.camera->SetFaults(input.faults);
    for (uint8_t op : input.operations) RunOperation(*rig.controller, op);

    // Whatever the camera said before, a clean camera answers again.
    rig.camera->SetFaults({});
    rig.controller->RestartStream();
    SetWindow(*rig.controller);
    uint8_t flag = 0;
    if (!rig.controller->ReadReadyFlag(&flag) || flag != 1) std::abort();
    return 0;
}
