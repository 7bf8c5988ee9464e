#include "catalog/model_catalog.h"

#include <cstdio>

namespace vantix {
namespace {

using S = SensorClass;

constexpr ModelRow kGenericModel{.sensorClass = S::MT9F001, .busAddress = 32};

// Facts shared by several rows.
constexpr EngineFacts kImxHead{.depth = DepthControl::SensorThenFpga};
constexpr EngineFacts kImx990Head{.depth = DepthControl::SensorThenFpga,
                                  .readout = ReadoutRule::Imx990,
                                  .trigger = TriggerRule::WaitForTriggeredFrame};
constexpr EngineFacts kRightAlignedImxHead{.depth = DepthControl::SensorThenFpga,
                                           .readout = ReadoutRule::RightAligned,
                                           .resetPipeOnRecovery = true};
constexpr EngineFacts kCcdHead{.restClocksOnClose = true};
constexpr EngineFacts kFpgaTimedInGaAsHead{.trigger = TriggerRule::FpgaMaskOnly,
                                           .optionSwitch = OptionSwitch::FpgaLevel,
                                           .resetPipeOnRecovery = true};
constexpr EngineFacts kMailboxHead{.fpgaWindow = FpgaWindow::Wide,
                                   .depth = DepthControl::WideRegister,
                                   .readout = ReadoutRule::MailboxHead,
                                   .resetPipeOnRecovery = true};

// One row per model; the name formats print the instance number.
constexpr ModelRow kModels[] = {
    {.modelId = 0x3020, .nameFormat = "Vantix-Q101-USB3-K9_%02d", .sensorClass = S::MT9F002,
     .probedAlternative = S::MT9F001, .busAddress = 32, .engine = {.readout = ReadoutRule::SettlePause}},
    {.modelId = 0x3030, .nameFormat = "Vantix-Q102-USB3-K9_%02d", .sensorClass = S::MT9P001, .busAddress = 144,
     .engine = {.trigger = TriggerRule::FpgaGateWithHeaderCount}},
    {.modelId = 0x3040, .nameFormat = "Vantix-Q720LX-USB3-K9_%02d", .sensorClass = S::MT9J001, .busAddress = 32},
    {.modelId = 0x3042, .nameFormat = "Vantix-Q103-USB3-K9_%02d", .sensorClass = S::MT9J001, .busAddress = 32,
     .engine = {.stream = StreamKind::DirectFrames, .fpgaWindow = FpgaWindow::CameraSized, .fpgaRegisters = false,
                .depth = DepthControl::ModeByte, .wakeUp = WakeUp::CameraOwnsSensorBus,
                .fastClockNeedsSuperSpeed = false}},
    {.modelId = 0x3050, .nameFormat = "Vantix-Q104-USB3-K9_%02d", .sensorClass = S::ICX274, .busAddress = 0,
     .engine = {.trigger = TriggerRule::FpgaGateWithHeaderCount}},
    {.modelId = 0x3090, .nameFormat = "Vantix-Q105-USB3-K9_%02d", .sensorClass = S::Q105, .busAddress = 0,
     .engine = kCcdHead},
    {.modelId = 0x30B0, .nameFormat = "Vantix-Q106-USB3-K9_%02d", .sensorClass = S::Q106, .busAddress = 0,
     .engine = {.readout = ReadoutRule::CcdWindow192, .restClocksOnClose = true}},
    {.modelId = 0x30C0, .nameFormat = "Vantix-Q107-USB3-K9_%02d", .sensorClass = S::Q107, .busAddress = 0,
     .engine = {.readout = ReadoutRule::CcdWindow34Strobe, .restClocksOnClose = true, .strobeOnStreamReset = false}},
    {.modelId = 0x30F0, .nameFormat = "Vantix-Q108-USB3-K9_%02d", .sensorClass = S::IMX178, .busAddress = 72,
     .engine = {.readout = ReadoutRule::ByFirmwareRevision, .trigger = TriggerRule::ArmRegister}},
    {.modelId = 0x3100, .nameFormat = "Vantix-Q109-USB3-K9_%02d", .sensorClass = S::IMX174, .busAddress = 72,
     .engine = {.depth = DepthControl::SensorThenFpga, .readout = ReadoutRule::Imx174,
                .trigger = TriggerRule::ArmRegister, .resetPipeOnRecovery = true}},
    {.modelId = 0x3110, .nameFormat = "Vantix-Q110-USB3-K9_%02d", .sensorClass = S::IMX183, .busAddress = 72},
    {.modelId = 0x3120, .nameFormat = "Vantix-Q111-USB3-K9_%02d", .sensorClass = S::IMX159, .busAddress = 72},
    {.modelId = 0x3130, .nameFormat = "VtxCnv-Q112_%02d", .sensorClass = S::Q112, .busAddress = 66,
     .engine = {.depth = DepthControl::ConverterRegister, .planes = 3, .readout = ReadoutRule::Converter,
                .resetPipeOnRecovery = true}},
    {.modelId = 0x3140, .nameFormat = "Vantix-Q113-USB3-K9_%02d", .sensorClass = S::Q113, .busAddress = 108,
     .engine = {.wakeUp = WakeUp::FpgaPowerSequence}},
    {.modelId = 0x3150, .sensorClass = S::Q114, .busAddress = 108,
     .engine = {.trigger = TriggerRule::FpgaMaskOnly, .optionSwitch = OptionSwitch::FpgaLevel,
                .streamResetPauseMs = 100, .resetPipeOnRecovery = true}},
    {.modelId = 0x3170, .sensorClass = S::Q115, .busAddress = 108, .engine = kFpgaTimedInGaAsHead},
    {.modelId = 0x3180, .sensorClass = S::Q121, .busAddress = 72,
     .engine = {.depth = DepthControl::FixedSixteenBits, .wakeUp = WakeUp::HandshakeIfSilent, .textChannel = true}},
    {.modelId = 0x3190, .sensorClass = S::Q117, .busAddress = 32, .engine = {.lostTriggeredFrameEndsCapture = true}},
    {.modelId = 0x31A0, .sensorClass = S::Q116, .busAddress = 32},
    {.modelId = 0x31B0, .sensorClass = S::IMX250, .busAddress = 72, .variantCode = 59, .engine = kRightAlignedImxHead},
    {.modelId = 0x31B4, .sensorClass = S::IMX264, .busAddress = 72, .engine = kRightAlignedImxHead},
    {.modelId = 0x31C0, .sensorClass = S::IMX252, .busAddress = 72,
     .engine = {.depth = DepthControl::SensorThenFpga, .readout = ReadoutRule::RightAligned252,
                .resetPipeOnRecovery = true}},
    {.modelId = 0x31C4, .sensorClass = S::IMX252, .busAddress = 72,
     .engine = {.depth = DepthControl::SensorThenFpga, .readout = ReadoutRule::LeftAligned252,
                .resetPipeOnRecovery = true}},
    {.modelId = 0x31D0, .sensorClass = S::Q118, .busAddress = 32},
    {.modelId = 0x31E0, .sensorClass = S::Q119, .busAddress = 108,
     .engine = {.fpgaWindow = FpgaWindow::Wide, .depth = DepthControl::WideRegister,
                .wakeUp = WakeUp::WaitForHeadProcessor, .readout = ReadoutRule::MailboxHead,
                .optionSwitch = OptionSwitch::ReadoutModeMemory, .resetPipeOnRecovery = true,
                .lastRowCarriesStatus = true}},
    {.modelId = 0x31F0, .sensorClass = S::IMX226, .busAddress = 72, .engine = {.readout = ReadoutRule::Imx226}},
    {.modelId = 0x3200, .sensorClass = S::Q120, .busAddress = 72, .engine = {.exposureBetweenFrames = true}},
    {.modelId = 0x3210, .sensorClass = S::Q122, .busAddress = 32},
    {.modelId = 0x3220, .sensorClass = S::G1467x, .busAddress = 108, .variantCode = 105,
     .engine = {.optionSwitch = OptionSwitch::FpgaLevel}},
    {.modelId = 0x3260, .sensorClass = S::IMX990, .busAddress = 72, .variantCode = 109,
     .engine = {.depth = DepthControl::SensorThenFpga, .readout = ReadoutRule::Imx990,
                .trigger = TriggerRule::WaitForTriggeredFrame, .optionSwitch = OptionSwitch::FpgaBit}},
    {.modelId = 0x3270, .sensorClass = S::IMX990, .busAddress = 72, .variantCode = 110, .engine = kImx990Head},
    {.modelId = 0x3280, .sensorClass = S::IMX991, .busAddress = 72, .variantCode = 111, .engine = kImx990Head},
    {.modelId = 0x3290, .sensorClass = S::IMX991, .busAddress = 72, .variantCode = 112, .engine = kImx990Head},
    {.modelId = 0x32A0, .sensorClass = S::IMX250, .busAddress = 72, .variantCode = 113, .engine = kRightAlignedImxHead},
    {.modelId = 0x32B0, .sensorClass = S::LI7050, .busAddress = 72, .variantCode = 61,
     .engine = {.readout = ReadoutRule::Li7050}},
    {.modelId = 0x32C0, .sensorClass = S::GLUX9701, .busAddress = 72, .variantCode = 114,
     .engine = {.readout = ReadoutRule::Glux9701}},
    {.modelId = 0x32D0, .sensorClass = S::Q123, .busAddress = 108, .engine = kMailboxHead},
    {.modelId = 0x32E0, .sensorClass = S::IMX536, .busAddress = 72,
     .engine = {.depth = DepthControl::SensorThenFpga, .readout = ReadoutRule::Imx536}},
    {.modelId = 0x32F0, .sensorClass = S::IMX487, .busAddress = 72,
     .engine = {.depth = DepthControl::SensorThenFpga, .readout = ReadoutRule::Imx536}},
    {.modelId = 0x3300, .sensorClass = S::IMX273, .busAddress = 72,
     .engine = {.depth = DepthControl::SensorThenFpga, .readout = ReadoutRule::Imx273}},
};

}  // namespace

const ModelRow* FindModel(uint16_t modelId) {
    for (const ModelRow& model : kModels) {
        if (model.modelId == modelId) return &model;
    }
    return nullptr;
}

const ModelRow& LookupModel(uint16_t modelId) {
    const ModelRow* model = FindModel(modelId);
    return model != nullptr ? *model : kGenericModel;
}

std::span<const ModelRow> AllModels() { return kModels; }

bool FormatDeviceName(uint16_t modelId, int32_t instance, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0) return false;
    out[0] = '\0';
    const char* format = LookupModel(modelId).nameFormat;
    if (format == nullptr || instance < 0) return false;
    // Formatted aside first so a name that does not fit leaves no truncated
    // text behind for the caller to mistake for a device name.
    char name[64];
    const int length = std::snprintf(name, sizeof name, format, instance);
    if (length < 0 || static_cast<size_t>(length) >= sizeof name || static_cast<size_t>(length) >= outSize) {
        return false;
    }
    for (int i = 0; i < length + 1; ++i) out[i] = name[i];
    return true;
}

}  // namespace vantix
