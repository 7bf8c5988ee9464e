#pragma once
// The model catalog: one row per camera model id (the USB product id) with
// everything the library knows about that model: the name shown to
// applications, the sensor class, the sensor's bus address and firmware
// variant code, and what the engine does differently for it. Adding a model
// is adding a row.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "catalog/engine_facts.h"
#include "catalog/sensor_class.h"

namespace vantix {

struct ModelRow {
    uint16_t modelId = 0;
    // printf format taking the instance number (int); null for models that
    // are not listed under a name.
    const char* nameFormat = nullptr;
    SensorClass sensorClass = SensorClass::MT9F001;
    // Boards built with either of two sensors: at open, sensorClass's probe
    // tells whether its sensor is fitted, and this class is created when not.
    std::optional<SensorClass> probedAlternative = std::nullopt;
    // Handed to the sensor at construction (the 8-bit bus write address for
    // the heads on the serial bus).
    int32_t busAddress = 0;
    // Passed to the sensor's SetModelVariant right after construction.
    std::optional<int32_t> variantCode = std::nullopt;
    EngineFacts engine = {};
};

// The row of a model; ids the catalog does not list get the generic row
// (sensor class MT9F001 at bus address 32, no name, no variant).
const ModelRow& LookupModel(uint16_t modelId);

// Null for ids the catalog does not list.
const ModelRow* FindModel(uint16_t modelId);

// Every listed model, in catalog order.
std::span<const ModelRow> AllModels();

// Writes the model's device name for an instance number (printed with at
// least two digits, e.g. "Vantix-Q720LX-USB3-K9_03"). False, with out[0] set
// to NUL when outSize allows, for a model without a name, a negative instance
// or a buffer too small for the name and its NUL; never writes beyond outSize.
bool FormatDeviceName(uint16_t modelId, int32_t instance, char* out, size_t outSize);

}  // namespace vantix
