#pragma once
// What the library knows about each camera model, keyed by the model id (the
// USB product id): the name shown to applications, the sensor driver class,
// the sensor's bus address and the firmware variant code.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vantix {

struct ModelInfo {
    uint16_t modelId = 0;
    // printf format taking the instance number (int); null for models that
    // are not listed under a name.
    const char* nameFormat = nullptr;
    const char* sensorClass = nullptr;
    // Boards built with either of two sensors: the sensor is probed at open
    // and sensorClass or alternateSensorClass chosen.
    const char* alternateSensorClass = nullptr;
    bool needsSensorProbe = false;
    int32_t busAddress = 0;
    std::optional<int32_t> variantCode = std::nullopt;
};

// The row of a model; ids the table does not list get the generic row
// (sensor class "CSensorMT9F001", bus address 32, no name, no variant).
const ModelInfo& LookupModel(uint16_t modelId);

// Null for ids the table does not list.
const ModelInfo* FindModel(uint16_t modelId);

// Every listed model, in table order.
std::span<const ModelInfo> AllModels();

// Writes the model's device name for an instance number (printed with at
// least two digits, e.g. "Vantix-Q720LX-USB3-K9_03"). False, with out[0] set
// to NUL when outSize allows, for a model without a name, a negative instance
// or a buffer too small for the name and its NUL; never writes beyond outSize.
bool FormatDeviceName(uint16_t modelId, int32_t instance, char* out, size_t outSize);

}  // namespace vantix
