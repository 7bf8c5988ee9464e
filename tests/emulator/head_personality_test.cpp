// The virtual camera's head: its ports as the wire reaches them, a head that
// answers on ports of its own, the busy word counted in reads, the sensor
// register map described as data, and the emulator's own model table
// checked against the library's catalog (two tables written apart must
// agree).
#include "emulator/head_personality.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "catalog/model_catalog.h"
#include "emulator/register_map_sensor.h"
#include "emulator/virtual_camera.h"
#include "emulator/virtual_models.h"
#include "engine/sensor_factory.h"

namespace vantix::emulator {
namespace {

constexpr uint8_t kFpga = 0x40;
constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xC0;
constexpr uint8_t kBusyWord = 2;

uint8_t ReadFpgaOverBus(HeadPersonality& head, uint8_t reg) {
    EXPECT_TRUE(head.BusWrite(kFpga, &reg, 1));
    uint8_t reply[2] = {0xFF, 0xFF};
    EXPECT_TRUE(head.BusRead(kFpga, reply, sizeof reply));
    return reply[1];
}

TEST(HeadPersonality, SensorBusBusyWordCountsReadsAfterEachSensorTransfer) {
    HeadPersonality head(LookupVirtualModel(0x3040));
    const uint8_t write[4] = {0x30, 0x1A, 0x00, 0x01};
    ASSERT_TRUE(head.BusWrite(0x20, write, sizeof write));
    EXPECT_EQ(ReadFpgaOverBus(head, kBusyWord), 0);  // by default never busy

    head.SetSensorBusBusyReads(2);
    ASSERT_TRUE(head.BusWrite(0x20, write, sizeof write));
    EXPECT_EQ(ReadFpgaOverBus(head, kBusyWord), 1);
    EXPECT_EQ(ReadFpgaOverBus(head, kBusyWord), 1);
    EXPECT_EQ(ReadFpgaOverBus(head, kBusyWord), 0);
    EXPECT_EQ(ReadFpgaOverBus(head, kBusyWord), 0);
    // A read of the sensor is a transfer too; other FPGA registers do not count.
    uint8_t value[2];
    ASSERT_TRUE(head.BusRead(0x20, value, sizeof value));
    EXPECT_EQ(ReadFpgaOverBus(head, 64), head.FpgaRegisterValue(64));
    EXPECT_EQ(ReadFpgaOverBus(head, kBusyWord), 1);
}

// A head with a byte bridge at bus address 0x60 and its own camera register 5.
class BridgeHead : public HeadPersonality {
public:
    using HeadPersonality::HeadPersonality;
    bool BusWrite(uint8_t address, const uint8_t* data, size_t count) override {
        if (address != kBridge) return HeadPersonality::BusWrite(address, data, count);
        received.insert(received.end(), data, data + count);
        return true;
    }
    uint32_t ReadCameraRegister(uint16_t key) override {
        return key == 5 ? 0xCAFE : HeadPersonality::ReadCameraRegister(key);
    }
    static constexpr uint8_t kBridge = 0x60;
    std::vector<uint8_t> received;
};

uint32_t Request(VirtualCamera& camera, uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                 std::vector<uint8_t> data, std::vector<uint8_t>* reply) {
    uint8_t stage[kControlDataBytes] = {};
    for (size_t i = 0; i < data.size(); ++i) stage[i] = data[i];
    uint32_t replyBytes = 0;
    const uint32_t result = camera.ControlRequest({type, request, value, index}, stage, &replyBytes);
    if (reply != nullptr) reply->assign(stage, stage + replyBytes);
    return result;
}

TEST(HeadPersonality, ADerivedHeadAnswersOnTheWireThroughItsOwnPorts) {
    VirtualCamera camera(ProfileForModel(0x3040));
    std::vector<uint8_t> reply;
    // The standard head has nothing at the bridge's address.
    EXPECT_NE(Request(camera, kVendorOut, 0x30, 2, BridgeHead::kBridge, {'O', 'K'}, nullptr),
              kErrorSuccess);
    auto bridge = std::make_unique<BridgeHead>(LookupVirtualModel(0x3040));
    BridgeHead* head = bridge.get();
    camera.ReplaceHead(std::move(bridge));
    EXPECT_EQ(Request(camera, kVendorOut, 0x30, 2, BridgeHead::kBridge, {'O', 'K'}, nullptr),
              kErrorSuccess);
    EXPECT_EQ(head->received, (std::vector<uint8_t>{'O', 'K'}));
    ASSERT_EQ(Request(camera, kVendorIn, 0xD1, 0, 5, {}, &reply), kErrorSuccess);
    ASSERT_GE(reply.size(), 2u);
    EXPECT_EQ(reply[0] | reply[1] << 8, 0xCAFE);
    // What the head does not override stays the standard head's.
    ASSERT_EQ(Request(camera, kVendorOut, 0x30, 3, kFpga, {68, 0, 0x2A}, nullptr), kErrorSuccess);
    EXPECT_EQ(camera.FpgaRegister(68), 0x2A);
}

// A sensor with 8-bit registers at 16-bit addresses, whose frame length
// spans three registers and line length two, lowest byte first.
constexpr RegisterWord kBytePowerOn[] = {{0x3000, 0x5A}, {0x3010, 0x10}, {0x3011, 0x00}, {0x3012, 0x00},
                                         {0x3014, 0x20}, {0x3015, 0x00}, {0x3020, 0x08}, {0x3030, 0x04}};
constexpr uint16_t kByteReadOnly[] = {0x3000};
constexpr RegisterMapDescription kByteMap{
    .addressBytes = 2, .valueBytes = 1, .bytesPerAddress = 1,
    .powerOn = kBytePowerOn, .readOnly = kByteReadOnly,
    .lineLength = {0x3014, 2}, .frameLength = {0x3010, 3},
    .exposureLines = {0x3020, 2}, .gainCode = {0x3030, 1, 0x00FF}, .pixelClockKHz = 1000,
};

TEST(RegisterMapSensor, ByteRegistersCarryMultiByteFieldsLowestFirst) {
    RegisterMapSensor sensor(kByteMap);
    EXPECT_EQ(sensor.FrameLengthLines(), 0x10u);
    EXPECT_EQ(sensor.LineLengthPixels(), 0x20u);
    EXPECT_DOUBLE_EQ(sensor.Brightness(), 1.0);
    // Frame length 0x011234 lines: one write of three bytes from 0x3010 on.
    const uint8_t frame[5] = {0x30, 0x10, 0x34, 0x12, 0x01};
    ASSERT_TRUE(sensor.Write(frame, sizeof frame));
    EXPECT_EQ(sensor.FrameLengthLines(), 0x011234u);
    // 0x20 pixels x 0x011234 lines at 1 MHz.
    EXPECT_EQ(sensor.FramePeriodUs(), 0x20u * 0x011234u);
    // The read-only identity keeps its value; the pointer moves on past it.
    const uint8_t identity[4] = {0x30, 0x00, 0x00, 0x77};
    ASSERT_TRUE(sensor.Write(identity, sizeof identity));
    EXPECT_EQ(sensor.Word(0x3000), 0x5A);
    EXPECT_EQ(sensor.Word(0x3001), 0x77);
    // Twice the exposure and twice the gain: four times as bright.
    const uint8_t exposure[3] = {0x30, 0x20, 0x10};
    const uint8_t gain[3] = {0x30, 0x30, 0x08};
    ASSERT_TRUE(sensor.Write(exposure, sizeof exposure));
    ASSERT_TRUE(sensor.Write(gain, sizeof gain));
    EXPECT_DOUBLE_EQ(sensor.Brightness(), 4.0);
    uint8_t read[3] = {};
    const uint8_t address[2] = {0x30, 0x10};
    ASSERT_TRUE(sensor.Write(address, sizeof address));
    ASSERT_TRUE(sensor.Read(read, sizeof read));
    EXPECT_EQ(std::vector<uint8_t>(read, read + 3), (std::vector<uint8_t>{0x34, 0x12, 0x01}));
}

TEST(VirtualModels, BusAddressesAndArraysAgreeWithTheLibrarysCatalog) {
    for (const ModelRow& row : AllModels()) {
        EXPECT_EQ(LookupVirtualModel(row.modelId).sensorAddress, row.busAddress) << std::hex << row.modelId;
    }
    // The emulated sensors' arrays against the library's sensor records.
    for (uint16_t model : {0x3030, 0x3040, 0x3042, 0x3130, 0x3140, 0x3180, 0x31E0, 0x3200, 0x32D0, 0x3300}) {
        SensorCreation outcome = SensorCreation::Created;
        const auto sensor = CreateSensorForModel(LookupModel(model), nullptr, &outcome);
        ASSERT_NE(sensor, nullptr) << std::hex << model;
        EXPECT_EQ(LookupVirtualModel(model).width, static_cast<uint32_t>(sensor->Info().maxWidth)) << model;
        EXPECT_EQ(LookupVirtualModel(model).height, static_cast<uint32_t>(sensor->Info().maxHeight)) << model;
    }
    EXPECT_EQ(LookupVirtualModel(0x1234).sensorAddress, LookupModel(0x1234).busAddress);
}

}  // namespace
}  // namespace vantix::emulator
