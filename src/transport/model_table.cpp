#include "transport/model_table.h"

#include <cstdio>

namespace vantix {
namespace {

constexpr ModelInfo kGenericModel{.sensorClass = "CSensorMT9F001", .busAddress = 32};

// One row per model; the name formats print the instance number.
constexpr ModelInfo kModels[] = {
    {.modelId = 0x3020, .nameFormat = "Vantix-Q101-USB3-K9_%02d", .sensorClass = "CSensorMT9F002",
     .alternateSensorClass = "CSensorMT9F001", .needsSensorProbe = true, .busAddress = 32},
    {.modelId = 0x3030, .nameFormat = "Vantix-Q102-USB3-K9_%02d", .sensorClass = "CSensorMT9P001", .busAddress = 144},
    {.modelId = 0x3040, .nameFormat = "Vantix-Q720LX-USB3-K9_%02d", .sensorClass = "CSensorMT9J001", .busAddress = 32},
    {.modelId = 0x3042, .nameFormat = "Vantix-Q103-USB3-K9_%02d", .sensorClass = "CSensorMT9J001", .busAddress = 32},
    {.modelId = 0x3050, .nameFormat = "Vantix-Q104-USB3-K9_%02d", .sensorClass = "CSensorICX274", .busAddress = 0},
    {.modelId = 0x3090, .nameFormat = "Vantix-Q105-USB3-K9_%02d", .sensorClass = "CSensorQ105", .busAddress = 0},
    {.modelId = 0x30B0, .nameFormat = "Vantix-Q106-USB3-K9_%02d", .sensorClass = "CSensorQ106", .busAddress = 0},
    {.modelId = 0x30C0, .nameFormat = "Vantix-Q107-USB3-K9_%02d", .sensorClass = "CSensorQ107", .busAddress = 0},
    {.modelId = 0x30F0, .nameFormat = "Vantix-Q108-USB3-K9_%02d", .sensorClass = "CSensorIMX178", .busAddress = 72},
    {.modelId = 0x3100, .nameFormat = "Vantix-Q109-USB3-K9_%02d", .sensorClass = "CSensorIMX174", .busAddress = 72},
    {.modelId = 0x3110, .nameFormat = "Vantix-Q110-USB3-K9_%02d", .sensorClass = "CSensorIMX183", .busAddress = 72},
    {.modelId = 0x3120, .nameFormat = "Vantix-Q111-USB3-K9_%02d", .sensorClass = "CSensorIMX159", .busAddress = 72},
    {.modelId = 0x3130, .nameFormat = "VtxCnv-Q112_%02d", .sensorClass = "CSensorQ112", .busAddress = 66},
    {.modelId = 0x3140, .nameFormat = "Vantix-Q113-USB3-K9_%02d", .sensorClass = "CSensorQ113", .busAddress = 108},
    {.modelId = 0x3150, .sensorClass = "CSensorQ114", .busAddress = 108},
    {.modelId = 0x3170, .sensorClass = "CSensorQ115", .busAddress = 108},
    {.modelId = 0x3180, .sensorClass = "CSensorQ121", .busAddress = 72},
    {.modelId = 0x3190, .sensorClass = "CSensorQ117", .busAddress = 32},
    {.modelId = 0x31A0, .sensorClass = "CSensorQ116", .busAddress = 32},
    {.modelId = 0x31B0, .sensorClass = "CSensorIMX250", .busAddress = 72, .variantCode = 59},
    {.modelId = 0x31B4, .sensorClass = "CSensorIMX264", .busAddress = 72},
    {.modelId = 0x31C0, .sensorClass = "CSensorIMX252", .busAddress = 72},
    {.modelId = 0x31C4, .sensorClass = "CSensorIMX252", .busAddress = 72},
    {.modelId = 0x31D0, .sensorClass = "CSensorQ118", .busAddress = 32},
    {.modelId = 0x31E0, .sensorClass = "CSensorQ119", .busAddress = 108},
    {.modelId = 0x31F0, .sensorClass = "CSensorIMX226", .busAddress = 72},
    {.modelId = 0x3200, .sensorClass = "CSensorQ120", .busAddress = 72},
    {.modelId = 0x3210, .sensorClass = "CSensorQ122", .busAddress = 32},
    {.modelId = 0x3220, .sensorClass = "CSensorG1467x", .busAddress = 108, .variantCode = 105},
    {.modelId = 0x3260, .sensorClass = "CSensorIMX990", .busAddress = 72, .variantCode = 109},
    {.modelId = 0x3270, .sensorClass = "CSensorIMX990", .busAddress = 72, .variantCode = 110},
    {.modelId = 0x3280, .sensorClass = "CSensorIMX991", .busAddress = 72, .variantCode = 111},
    {.modelId = 0x3290, .sensorClass = "CSensorIMX991", .busAddress = 72, .variantCode = 112},
    {.modelId = 0x32A0, .sensorClass = "CSensorIMX250", .busAddress = 72, .variantCode = 113},
    {.modelId = 0x32B0, .sensorClass = "CSensorLI7050", .busAddress = 72, .variantCode = 61},
    {.modelId = 0x32C0, .sensorClass = "CSensorGLUX9701", .busAddress = 72, .variantCode = 114},
    {.modelId = 0x32D0, .sensorClass = "CSensorQ123", .busAddress = 108},
    {.modelId = 0x32E0, .sensorClass = "CSensorIMX536", .busAddress = 72},
    {.modelId = 0x32F0, .sensorClass = "CSensorIMX487", .busAddress = 72},
    {.modelId = 0x3300, .sensorClass = "CSensorIMX273", .busAddress = 72},
};

}  // namespace

const ModelInfo* FindModel(uint16_t modelId) {
    for (const ModelInfo& model : kModels) {
        if (model.modelId == modelId) return &model;
    }
    return nullptr;
}

const ModelInfo& LookupModel(uint16_t modelId) {
    const ModelInfo* model = FindModel(modelId);
    return model != nullptr ? *model : kGenericModel;
}

std::span<const ModelInfo> AllModels() { return kModels; }

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
    for (int i = 0; i <= length; ++i) out[i] = name[i];
    return true;
}

}  // namespace vantix
