// The table of models the conformance harness runs.
//
// Adding a model is adding one row below: its id, the name of its first
// camera, its array, colour or mono, the ranges of gain, colour gain and
// exposure, and the features to check (exposure in seconds, mirroring in the
// sensor). A model that needs its virtual camera set up first (another sensor
// on the board, a head of its own) names a prepareCamera function; checks
// that only hold for that model go into a modelChecks function. Rows whose
// sensor class the library does not contain yet are skipped, so a row can
// come before its sensor class.
#include "model_table.h"

#include "emulator/personalities/aptina_personality.h"

namespace vantix::conformance {
namespace {

// The 0x3020 board with its first sensor, which answers the board probe
// differently from the newer one.
void FitOlderSensor(emulator::VirtualCamera& camera) { camera.ReplaceSensor(emulator::MakeMt9f001Personality()); }

constexpr IntRange kAptinaExposure{1, 20000};

constexpr ModelRow kRows[] = {
    {.name = "3020_mt9f002", .modelId = 0x3020, .firstCameraName = "Vantix-Q101-USB3-K9_01",
     .width = 4608, .height = 3288, .pixels = Pixels::Colour,
     .gain = {0, 127}, .colorGain = {0, 127}, .exposure = kAptinaExposure},
    {.name = "3020_mt9f001", .modelId = 0x3020, .firstCameraName = "Vantix-Q101-USB3-K9_01",
     .width = 4608, .height = 3288, .pixels = Pixels::Colour,
     .gain = {0, 127}, .colorGain = {0, 127}, .exposure = kAptinaExposure, .prepareCamera = FitOlderSensor},
    {.name = "3030_mt9p001", .modelId = 0x3030, .firstCameraName = "Vantix-Q102-USB3-K9_01",
     .width = 2592, .height = 1944, .pixels = Pixels::Colour,
     .gain = {0, 63}, .colorGain = {0, 63}, .exposure = kAptinaExposure, .sensorMirrors = true},
    {.name = "3040_mt9j001", .modelId = 0x3040, .firstCameraName = "VantixQ720LX-USB3-K9_01",
     .width = 3856, .height = 2764, .pixels = Pixels::Colour,
     .gain = {0, 127}, .colorGain = {0, 127}, .exposure = kAptinaExposure},
};

}  // namespace

std::span<const ModelRow> ModelTable() { return kRows; }

}  // namespace vantix::conformance
