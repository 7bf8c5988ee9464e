#pragma once
// The models the conformance harness runs, one row each, and what is
// expected of every one of them. See conformance_test.cpp for the checks and
// for how to add a model.
#include <cstdint>
#include <ostream>
#include <span>

#include "emulator/virtual_camera.h"

namespace vantix::conformance {

struct IntRange {
    int32_t min;
    int32_t max;
};

enum class Pixels { Colour, Mono };

// What a model's sensor delivers and accepts, as its documentation states
// it; the harness compares the library's answers with these numbers.
struct ModelRow {
    // The test name suffix, e.g. "3020_mt9f002".
    const char* name;
    uint16_t modelId;
    // The name of its first camera in Vantix_EnumDevice's list.
    const char* firstCameraName;
    // The pixel array Vantix_GetCameraInfo reports.
    int32_t width;
    int32_t height;
    Pixels pixels;
    IntRange gain;
    IntRange colorGain;
    IntRange exposure;  // units of 0.1 ms
    // Two exposures (0.1 ms) for the round trip where the quarter and the
    // half of the range are beyond what the head reaches or would make the
    // run slow; {0, 0}: those two.
    IntRange exposureProbe = {0, 0};
    // The camera takes exposure in seconds (Vantix_SetExposureTimeEx).
    bool exposureSeconds = false;
    // The sensor mirrors itself: setting a mirror writes to the camera.
    bool sensorMirrors = false;
    // A capture window the sensor takes, for the snapshots, the preview and
    // the recording (keeps the runs short on large arrays).
    int32_t windowWidth = 640;
    int32_t windowHeight = 480;
    // The colour mode (bits per pixel) of the callback preview and the
    // recording: a large mono array streams in 8 bits, which skip the
    // colour conversion, so the runs keep up on a busy machine.
    int32_t streamBits = 24;
    // How long the recording check may record: it stops the recording once
    // two frames are in the file.
    int32_t recordingMs = 10000;
    // The head delivers its standard window only (windowWidth x
    // windowHeight): the capture-window check takes that one and refuses
    // another size.
    bool fixedWindow = false;
    // Sets the virtual camera up before the session opens it (another
    // sensor on the board, a head personality); null for none.
    void (*prepareCamera)(emulator::VirtualCamera& camera) = nullptr;
    // Checks of this model alone, run by the ModelSpecific case against an
    // open session (for example "a line-scan frame is as high as the
    // programmed line count"); null for none.
    void (*modelChecks)(int32_t handle, const ModelRow& row) = nullptr;
};

// Test names and failure messages show a row by its name.
inline void PrintTo(const ModelRow& row, std::ostream* out) { *out << row.name; }

// Every row of the table (model_table.cpp).
std::span<const ModelRow> ModelTable();

}  // namespace vantix::conformance
