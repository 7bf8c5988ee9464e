#pragma once
// Creates the sensor object of a camera model, as its catalog row names it.
// Sensor classes are added to the library family by family; a model whose
// class is not part of it yet gets no sensor rather than the wrong one.
#include <cstdint>
#include <memory>

#include "catalog/model_catalog.h"
#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix {

enum class SensorCreation { Created, ClassNotAvailable, ProbeFailed };

// True when the library contains the class (the compiler checks that every
// class is answered).
bool IsSensorClassBuilt(SensorClass sensorClass);

// True when the library can create every sensor class the model's row names.
bool IsSensorClassAvailable(const ModelRow& model);

// Creates and returns the sensor of `model` (with its model variant set), or
// null with the reason in *outcome. A row with a probed alternative asks its
// sensor class's probe which of the two sensors the board carries.
std::unique_ptr<CSensorBase> CreateSensorForModel(const ModelRow& model, CControllerBase* controller,
                                                  SensorCreation* outcome);

// The record the model's sensor starts with (its array, default window,
// ranges and features), taken from a sensor object made without a camera:
// sensor constructors only fill their record. A row with a probed
// alternative gives the record of the class named first. False, with *info
// unchanged, when the model's sensor class is not built.
bool ModelSensorRecord(const ModelRow& model, SensorInfo* info);

}  // namespace vantix
