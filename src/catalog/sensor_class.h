#pragma once
// The sensor classes of the camera family, as a closed set. The engine's
// factory switches over it without a default, so a class added here and not
// handled there is a compile error, never a run-time "class not available".
// Class names as text exist for display only.
#include <cstdint>

namespace vantix {

enum class SensorClass : uint8_t {
    // Aptina CMOS sensors.
    MT9F001,
    MT9F002,
    MT9P001,
    MT9J001,
    // CCD heads.
    ICX274,
    Q105,
    Q106,
    Q107,
    // IMX CMOS heads.
    IMX178,
    IMX174,
    IMX183,
    IMX159,
    IMX250,
    IMX264,
    IMX252,
    IMX226,
    IMX990,
    IMX991,
    IMX536,
    IMX487,
    IMX273,
    LI7050,
    GLUX9701,
    // Heads with their own controllers.
    Q112,
    Q113,
    Q119,
    Q120,
    Q121,
    Q123,
    // FPGA-timed InGaAs and line-scan heads.
    Q114,
    Q115,
    Q116,
    Q117,
    Q118,
    Q122,
    G1467x,
};

inline constexpr int kSensorClassCount = 36;

// "CSensorMT9J001" and so on.
const char* SensorClassName(SensorClass sensorClass);

}  // namespace vantix
