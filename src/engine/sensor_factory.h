#pragma once
// Creates the sensor object of a camera model, as the model table names it.
// Sensor classes are added to the library family by family; a model whose
// class is not part of it yet gets no sensor rather than the wrong one.
#include <cstdint>
#include <memory>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix {

enum class SensorCreation { Created, ClassNotAvailable, ProbeFailed };

// True when the library can create the sensor class of `modelId`.
bool IsSensorClassAvailable(uint16_t modelId);

// Creates and returns the sensor of `modelId` (with its model variant set),
// or null with the reason in *outcome. Model 0x3020 probes the bus to tell
// its two possible sensors apart.
std::unique_ptr<CSensorBase> CreateSensorForModel(uint16_t modelId, CControllerBase* controller,
                                                  SensorCreation* outcome);

}  // namespace vantix
