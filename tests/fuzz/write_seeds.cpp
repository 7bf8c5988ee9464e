// Writes the fuzz targets' seed corpora with the SDK's own writers: a
// settings file saved by the settings store, the header and first bytes of a
// mask file written by the mask writer, a configuration file of the stored
// filters, device paths formed by the USB driver and given by the emulator,
// VANTIX_EMULATE lists, and controller replies captured from a virtual
// camera. Usage: vantix_fuzz_seeds CORPUS_DIR (one folder per target).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "controller_reply_input.h"
#include "drivers/usb_device_path.h"
#include "emulator/emulator.h"
#include "imaging/defect_mask.h"
#include "settings/settings_persistence.h"
#include "settings/settings_records.h"
#include "transport/controller.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"

namespace {

std::string g_root;

void Write(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string dir = g_root + "/" + target;
    mkdir(dir.c_str(), 0755);
    std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
        std::exit(1);
    }
}

void Write(const std::string& target, const std::string& name, const std::string& text) {
    Write(target, name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadFile(const std::string& path, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(limit);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

std::string Temporary(const char* suffix) {
    return "/tmp/vantix-fuzz-seed-" + std::to_string(getpid()) + suffix;
}

void SettingsSeeds() {
    const std::string path = Temporary(".reg");
    setenv("VANTIX_REGISTRY", path.c_str(), 1);
    vantix::ImageSettings image{};
    vantix::LoadFilterSettings(0, &image);
    vantix::LoadGraySettings(0, &image);
    vantix::CameraSettings camera{};
    camera.globalGain = 8;
    camera.exposure = 100;
    if (!vantix::SaveFilterSettings(0, image) || !vantix::SaveGraySettings(0, image) ||
        !vantix::SaveCameraSettings(1, camera)) {
        std::fprintf(stderr, "the settings store did not save\n");
        std::exit(1);
    }
    Write("reg_format_fuzz", "saved-settings.reg", ReadFile(path, 1 << 20));
    unlink(path.c_str());
}

void MaskSeeds() {
    vantix::CDibImage planes[4];
    const int32_t bits[4] = {8, 8, 16, 16};
    for (int i = 0; i < 4; ++i) {
        if (!planes[i].Create(vantix::kMaskWidth, vantix::kMaskHeight, bits[i])) std::exit(1);
    }
    const std::string path = Temporary(".msk");
    if (!vantix::WriteMaskFile(path.c_str(), planes[0], planes[1], planes[2], planes[3])) std::exit(1);
    // The whole file is 61 MiB; the target grows a header-long input to that size.
    const std::vector<uint8_t> head = ReadFile(path, vantix::kMaskFileHeaderBytes + 64);
    Write("mask_file_fuzz", "header-and-first-bytes", head);
    Write("mask_file_fuzz", "header-only",
          std::vector<uint8_t>(head.begin(), head.begin() + vantix::kMaskFileHeaderBytes));
    unlink(path.c_str());
}

void ConfigSeeds() {
    std::vector<uint8_t> bytes;
    const auto put = [&](int32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    };
    for (const vantix::StoredFilter& filter : vantix::kStoredFilters) {
        put(filter.id);
        put(filter.range.max);
    }
    Write("config_file_fuzz", "stored-filters", bytes);
    bytes.push_back(0x7F);  // and a partial record
    Write("config_file_fuzz", "stored-filters-and-a-partial-record", bytes);
}

void DevicePathSeeds(const std::vector<std::string>& emulated) {
    vantix::UsbDevicePath device;
    device.vendorId = vantix::kDefaultUsbVendorId;
    device.productId = 0x3040;
    device.bus = 2;
    device.ports = {1, 4};
    Write("device_path_fuzz", "usb-hub-port", vantix::FormUsbDevicePath(device));
    device.ports = {1, 2, 3, 4, 5, 6, 7};
    device.bus = 255;
    Write("device_path_fuzz", "usb-deepest", vantix::FormUsbDevicePath(device));
    for (size_t i = 0; i < emulated.size(); ++i) Write("device_path_fuzz", "emulated-" + std::to_string(i), emulated[i]);
}

void EmulateSeeds() {
    Write("emulate_variable_fuzz", "one", std::string("3040"));
    Write("emulate_variable_fuzz", "counts", std::string("3040:2,3100,30a0:32"));
}

void ControllerSeeds() {
    vantix::InstallDeviceDrivers();
    auto& emulator = vantix::emulator::Emulator::Instance();
    emulator.Reset();
    const std::string path = emulator.Plug(0x3040);
    auto camera = emulator.Find(path);
    camera->SetUnthrottled(true);
    DevicePathSeeds({path, emulator.Plug(0x3100)});

    vantix::CVtxCy3Cam controller;
    controller.EnumerateDevices();
    int32_t index = -1;
    for (int32_t i = 0; i < vantix::ProcessDeviceTable().Count(); ++i) {
        if (vantix::ProcessDeviceTable().DevicePath(i) == path) index = i;
    }
    if (index < 0 || !controller.SelectDeviceIndex(index) || !controller.PrepareStreaming()) std::exit(1);
    controller.WriteFpgaRegister(68, 64);
    controller.WriteFpgaRegister(69, 0);
    controller.WriteFpgaRegister(64, 16);
    controller.WriteFpgaRegister(65, 0);
    controller.WriteFpgaRegister(0x3C, 1);

    uint8_t block[64] = {};
    std::vector<uint8_t> buffer(64 * 16);
    vantix::FrameDescriptor frame{};
    frame.buffer = buffer.data();
    frame.capacity = static_cast<uint32_t>(buffer.size());
    if (!controller.ReadDeviceBlockA(block) || !controller.OpenStream() || !controller.ReadFrameHeader(&frame) ||
        !controller.ReadFramePayload(&frame, 1000)) {
        std::exit(1);
    }
    controller.CloseStream();

    vantix::fuzz::ControllerReplyInput input;
    for (uint8_t op = 0; op < 10; ++op) input.operations.push_back(op);
    Write("controller_reply_fuzz", "every-operation", vantix::fuzz::EncodeControllerReplyInput(input));

    // The camera's own device block, answered over-long.
    input.faults.replyRequest = 0xB0;
    input.faults.replyCount = 1;
    input.faults.replyBytes = 100;
    std::copy(block, block + 64, input.faults.replyData.begin());
    input.operations = {5, 5, 4};
    Write("controller_reply_fuzz", "device-block-over-long", vantix::fuzz::EncodeControllerReplyInput(input));

    // The camera's own frame header, cut short once, then announcing more.
    input.faults = {};
    input.faults.headerCount = 1;
    input.faults.headerBytes = 32;
    std::copy(frame.header, frame.header + 64, input.faults.headerData.begin());
    input.faults.payloadCountDelta = 512;
    input.operations = {9, 9};
    Write("controller_reply_fuzz", "frame-header-short-then-long", vantix::fuzz::EncodeControllerReplyInput(input));

    // Bus reads answered short, a stalled frame request and bad status words.
    input.faults = {};
    input.faults.shortRequest = 0x31;
    input.faults.shortBytes = 1;
    input.faults.shortCount = 2;
    input.faults.stallRequest = 0xC2;
    input.faults.stallCount = 1;
    input.faults.badStatusTransfers = 2;
    input.operations = {1, 2, 9, 9};
    Write("controller_reply_fuzz", "short-stall-bad-status", vantix::fuzz::EncodeControllerReplyInput(input));
    emulator.Reset();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    mkdir(g_root.c_str(), 0755);
    setenv("VANTIX_DEVICE_TABLE", ("/U3K9-MemMap-fuzz-seeds-" + std::to_string(getpid())).c_str(), 1);
    SettingsSeeds();
    MaskSeeds();
    ConfigSeeds();
    EmulateSeeds();
    ControllerSeeds();
    return 0;
}
