#pragma once
// The automatic exposure step of the frame conversion: five windows of the
// raw frame are measured and the camera's exposure time or global gain is
// scaled to bring them into range.
#include <array>
#include <cstdint>

#include "imaging/dib_image.h"

namespace vantix {

// The camera controls the automatic exposure step drives. The session
// implements them along the same paths as its property setters, so that the
// values it stores, its settings dialog and the camera all follow a change.
class ExposureControl {
public:
    virtual ~ExposureControl() = default;

    virtual int32_t GlobalGain() = 0;
    virtual int32_t MinGlobalGain() = 0;
    virtual int32_t MaxGlobalGain() = 0;
    // As Vantix_SetGlobalGain: records the value as the global gain and as
    // each of the four colour gains, and shows it in an open camera dialog.
    virtual void SetGlobalGain(int32_t gain) = 0;

    // Exposure time in the session's units (0.1 ms).
    virtual int32_t ExposureTime() = 0;
    virtual int32_t MinExposureTime() = 0;
    virtual int32_t MaxExposureTime() = 0;
    // As Vantix_SetExposureTime: records the value, and the real-time
    // exposure reading when the camera offers one, and shows it in an open
    // camera dialog.
    virtual void SetExposureTime(int32_t exposure) = 0;
};

enum AutoExposureMode : int32_t {
    kAutoExposureOff = 0,
    kAutoExposureByTime = 1,
    kAutoExposureByGain = 2,
};

inline constexpr int kExposureWindowCount = 5;
// Marks a window that holds no sample (images under ten samples across).
inline constexpr int32_t kExposureWindowEmpty = -1;

// Integer means of the five windows, in top-down picture coordinates with
// each edge a fraction of the width w or height h, truncated (right and
// bottom edges exclusive): (0.1w, 0.1h)-(0.2w, 0.2h), (0.1w, 0.8h)-(0.2w,
// 0.9h), (0.45w, 0.45h)-(0.55w, 0.55h), (0.8w, 0.1h)-(0.9w, 0.2h),
// (0.8w, 0.8h)-(0.9w, 0.9h). 16-bit samples count as (v >> 2) & 0xFF.
std::array<int32_t, kExposureWindowCount> MeasureExposureWindows(const CDibImage& raw);

// The correction factor in hundredths: 100, less 15 for every window mean
// above 200, less 10 for every mean in 161..200, plus 5 for every mean below
// 100 (empty windows count for nothing).
int32_t ExposureFactorPercent(const std::array<int32_t, kExposureWindowCount>& means);

// The new setting for the current value and a factor in hundredths, or the
// current value when the factor lies strictly between 60 and 120.
//  by gain: g = max(current, 4), t = trunc(g x f), at least 4 when f > 1,
//  by time: t = trunc(current x f), at least 1 and at most 65535;
// then clamped to [minimum, maximum] (a value at or above the maximum
// becomes the maximum).
int32_t ScaledGain(int32_t current, int32_t factorPercent, int32_t minimum, int32_t maximum);
int32_t ScaledExposure(int32_t current, int32_t factorPercent, int32_t minimum, int32_t maximum);

// Runs the step for `mode` on an 8- or 16-bit raw frame. Returns true when
// it called a setter of `control`.
bool RunAutoExposure(const CDibImage& raw, int32_t mode, ExposureControl& control);

}  // namespace vantix
