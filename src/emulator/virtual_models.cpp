#include "emulator/virtual_models.h"

namespace vantix::emulator {
namespace {

using P = BayerPattern;
using S = EmulatedSensor;
using H = EmulatedHead;

// Bus addresses are 8-bit write addresses: 0x20 the Aptina and line-scan
// heads, 0x90 the 5-megapixel Aptina sensor, 0x48 the IMX heads and their
// relatives, 0x42 the video converter, 0x6C the InGaAs and mailbox heads,
// 0x00 the CCD heads (they have no sensor bus).
constexpr VirtualModel kModels[] = {
    {.modelId = 0x3020, .sensorAddress = 0x20, .width = 4608, .height = 3288, .pattern = P::GRBG, .sensor = S::MT9F002},
    {.modelId = 0x3030, .sensorAddress = 0x90, .width = 2592, .height = 1944, .pattern = P::GRBG, .sensor = S::MT9P001},
    {.modelId = 0x3040, .sensorAddress = 0x20, .width = 3856, .height = 2764, .pattern = P::GRBG, .sensor = S::MT9J001},
    {.modelId = 0x3042, .sensorAddress = 0x20, .width = 3856, .height = 2764, .pattern = P::GRBG,
     .window = WindowRegisters::CameraSized, .depth = DepthSetting::ModeByte, .sensor = S::MT9J001},
    // CCD heads: the reference is the frame's line count the shutter works in.
    {.modelId = 0x3050, .sensorAddress = 0x00, .width = 1600, .height = 1200, .head = H::CcdResidentProgram,
     .exposureReference = 1252},
    {.modelId = 0x3090, .sensorAddress = 0x00, .width = 2336, .height = 1752, .head = H::CcdLoadedProgram,
     .exposureReference = 902},
    {.modelId = 0x30B0, .sensorAddress = 0x00, .width = 4896, .height = 3264, .head = H::CcdLoadedProgram,
     .exposureReference = 1712},
    {.modelId = 0x30C0, .sensorAddress = 0x00, .width = 6576, .height = 4384, .head = H::CcdLoadedFpgaGain,
     .exposureReference = 2228},
    {.modelId = 0x30F0, .sensorAddress = 0x48, .width = 3072, .height = 2048, .sensor = S::IMX178},
    {.modelId = 0x3100, .sensorAddress = 0x48, .width = 1920, .height = 1200, .sensor = S::IMX174},
    {.modelId = 0x3110, .sensorAddress = 0x48, .width = 5520, .height = 3680, .sensor = S::IMX183},
    {.modelId = 0x3120, .sensorAddress = 0x48, .width = 4800, .height = 3520, .sensor = S::IMX159,
     .head = H::SensorBusEeprom},
    {.modelId = 0x3130, .sensorAddress = 0x42, .width = 1920, .height = 1080, .depth = DepthSetting::ConverterRegister,
     .head = EmulatedHead::VideoConverter},
    {.modelId = 0x3140, .sensorAddress = 0x6C, .width = 1280, .height = 1024, .sensor = S::Q113},
    // FPGA-timed InGaAs heads: nominal at 10 ms in 6.25 MHz clocks.
    {.modelId = 0x3150, .sensorAddress = 0x6C, .width = 640, .height = 512, .head = H::FpgaTimedArea,
     .exposureReference = 62500},
    {.modelId = 0x3170, .sensorAddress = 0x6C, .width = 320, .height = 256, .head = H::FpgaTimedArea,
     .exposureReference = 62500},
    {.modelId = 0x3180, .sensorAddress = 0x48, .width = 1280, .height = 1024, .head = EmulatedHead::SerialBridge},
    // Line sensors: the height is the lines gathered per frame (64 at power-on).
    {.modelId = 0x3190, .sensorAddress = 0x20, .width = 512, .height = 64, .head = H::FpgaTimedLines,
     .exposureReference = 3000},
    {.modelId = 0x31A0, .sensorAddress = 0x20, .width = 256, .height = 64, .head = H::FpgaTimedLines,
     .exposureReference = 3000},
    {.modelId = 0x31B0, .sensorAddress = 0x48, .width = 2448, .height = 2048, .sensor = S::IMX250, .head = H::ImxBus},
    {.modelId = 0x31B4, .sensorAddress = 0x48, .width = 2448, .height = 2048, .sensor = S::IMX264, .head = H::ImxBus},
    {.modelId = 0x31C0, .sensorAddress = 0x48, .width = 2048, .height = 1536, .sensor = S::IMX252, .head = H::ImxBus},
    {.modelId = 0x31C4, .sensorAddress = 0x48, .width = 2048, .height = 1536, .sensor = S::IMX252, .head = H::ImxBus},
    {.modelId = 0x31D0, .sensorAddress = 0x20, .width = 1024, .height = 64, .head = H::FpgaTimedLines,
     .exposureReference = 1500},
    {.modelId = 0x31E0, .sensorAddress = 0x6C, .width = 2048, .height = 2048, .window = WindowRegisters::Wide,
     .depth = DepthSetting::WideRegister, .head = EmulatedHead::Mailbox2048},
    {.modelId = 0x31F0, .sensorAddress = 0x48, .width = 4168, .height = 3062, .sensor = S::IMX226},
    {.modelId = 0x3200, .sensorAddress = 0x48, .width = 640, .height = 512, .head = EmulatedHead::CooledInGaAs},
    {.modelId = 0x3210, .sensorAddress = 0x20, .width = 2048, .height = 64, .head = H::FpgaTimedLines,
     .exposureReference = 1500},
    // The cooled InGaAs head counts 8 ms steps above 50 ms: nominal at 98 ms.
    {.modelId = 0x3220, .sensorAddress = 0x6C, .width = 320, .height = 256, .head = H::FpgaTimedCooledArea,
     .exposureReference = 6},
    {.modelId = 0x3260, .sensorAddress = 0x48, .width = 1280, .height = 1024, .sensor = S::IMX990, .head = H::ImxBus},
    {.modelId = 0x3270, .sensorAddress = 0x48, .width = 1280, .height = 1024, .sensor = S::IMX990, .head = H::ImxBus},
    {.modelId = 0x3280, .sensorAddress = 0x48, .width = 640, .height = 512, .sensor = S::IMX991, .head = H::ImxBus},
    {.modelId = 0x3290, .sensorAddress = 0x48, .width = 640, .height = 512, .sensor = S::IMX991, .head = H::ImxBus},
    {.modelId = 0x32A0, .sensorAddress = 0x48, .width = 2448, .height = 2048, .sensor = S::IMX250, .head = H::ImxBus},
    {.modelId = 0x32B0, .sensorAddress = 0x48, .width = 1936, .height = 1096, .sensor = S::LI7050},
    {.modelId = 0x32C0, .sensorAddress = 0x48, .width = 1280, .height = 1024, .sensor = S::GLUX9701,
     .head = H::SensorStatusWord},
    {.modelId = 0x32D0, .sensorAddress = 0x6C, .width = 4096, .height = 4096, .window = WindowRegisters::Wide,
     .depth = DepthSetting::WideRegister, .head = EmulatedHead::Mailbox4096},
    {.modelId = 0x32E0, .sensorAddress = 0x48, .width = 2848, .height = 2848, .sensor = S::IMX536, .head = H::ImxBus},
    {.modelId = 0x32F0, .sensorAddress = 0x48, .width = 2848, .height = 2848, .sensor = S::IMX487, .head = H::ImxBus},
    {.modelId = 0x3300, .sensorAddress = 0x48, .width = 1440, .height = 1080, .sensor = S::IMX273, .head = H::ImxBus},
};

}  // namespace

VirtualModel LookupVirtualModel(uint16_t modelId) {
    for (const VirtualModel& model : kModels) {
        if (model.modelId == modelId) return model;
    }
    VirtualModel other;
    other.modelId = modelId;
    return other;
}

}  // namespace vantix::emulator
