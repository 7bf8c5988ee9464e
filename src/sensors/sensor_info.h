#pragma once
// SensorInfo: the record of 86 32-bit words that every sensor keeps and the
// engine copies out whole. Doubles occupy word pairs. The layout is part of
// the engine's contract and is checked below.
#include <cstddef>
#include <cstdint>

namespace vantix {

// minimum, maximum, current, default, and a fifth word: the step (gain,
// exposure and colour-gain ranges) or a supported flag (black level, gain step).
struct ParameterRange {
    int32_t min;
    int32_t max;
    int32_t current;
    int32_t defaultValue;
    int32_t stepOrSupported;
};

struct SensorInfo {
    int32_t maxWidth;              // 0: full pixel array, columns
    int32_t maxHeight;             // 1: rows (line sensors: lines per frame)
    int32_t defaultX;              // 2
    int32_t defaultY;              // 3
    int32_t defaultWidth;          // 4
    int32_t defaultHeight;         // 5
    int32_t capability1;           // 6: sensor-specific flag (free width)
    int32_t capability2;           // 7: sensor-specific flag (free height)
    int32_t areaX;                 // 8
    int32_t areaY;                 // 9
    int32_t areaWidth;             // 10: image size delivered per frame
    int32_t areaHeight;            // 11
    int32_t totalWidth;            // 12: line length in pixels, blanking included
    int32_t totalHeight;           // 13: frame length in lines
    int32_t areaMode;              // 14: mode of the last successful SetArea
    int32_t specific15;            // 15: default area mode of some heads
    int32_t specific16;            // 16
    ParameterRange gain;           // 17-21
    ParameterRange exposureLines;  // 22-26
    ParameterRange colorGainRed;   // 27-31
    ParameterRange colorGainGreen1;  // 32-36
    ParameterRange colorGainGreen2;  // 37-41
    ParameterRange colorGainBlue;    // 42-46
    ParameterRange exposureTime;     // 47-51: units of 0.1 ms
    ParameterRange blackLevel;       // 52-56: fifth word = supported
    ParameterRange gainStep;         // 57-61: fifth word = supported
    double exposureSecondsMin;       // 62-63
    double exposureSecondsMax;       // 64-65
    double exposureSeconds;          // 66-67
    double exposureSecondsDefault;   // 68-69
    int32_t exposureSecondsSupported;  // 70
    int32_t specific71[5];           // 71-75
    int32_t mirrorH;                 // 76
    int32_t mirrorHDefault;          // 77
    int32_t mirrorHSupported;        // 78
    int32_t mirrorV;                 // 79
    int32_t mirrorVDefault;          // 80
    int32_t mirrorVSupported;        // 81
    int32_t bitDepth;                // 82: bits per pixel of the transfer
    int32_t pixelClockKHz;           // 83: base of every time conversion
    int32_t specific84;              // 84: frame layout word (row and pixel order)
    int32_t reserved85;              // 85
};

inline constexpr size_t kSensorInfoWords = 86;
static_assert(sizeof(SensorInfo) == kSensorInfoWords * 4);

// Word offsets, as the engine and the tests address them.
#define VANTIX_SENSOR_WORD(field, word) static_assert(offsetof(SensorInfo, field) == (word) * 4)
VANTIX_SENSOR_WORD(areaX, 8);
VANTIX_SENSOR_WORD(areaMode, 14);
VANTIX_SENSOR_WORD(gain, 17);
VANTIX_SENSOR_WORD(exposureLines, 22);
VANTIX_SENSOR_WORD(colorGainRed, 27);
VANTIX_SENSOR_WORD(colorGainBlue, 42);
VANTIX_SENSOR_WORD(exposureTime, 47);
VANTIX_SENSOR_WORD(blackLevel, 52);
VANTIX_SENSOR_WORD(gainStep, 57);
VANTIX_SENSOR_WORD(exposureSecondsMin, 62);
VANTIX_SENSOR_WORD(exposureSeconds, 66);
VANTIX_SENSOR_WORD(exposureSecondsDefault, 68);
VANTIX_SENSOR_WORD(exposureSecondsSupported, 70);
VANTIX_SENSOR_WORD(mirrorH, 76);
VANTIX_SENSOR_WORD(mirrorV, 79);
VANTIX_SENSOR_WORD(bitDepth, 82);
VANTIX_SENSOR_WORD(pixelClockKHz, 83);
VANTIX_SENSOR_WORD(specific84, 84);
#undef VANTIX_SENSOR_WORD

}  // namespace vantix
