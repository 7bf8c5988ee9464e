#pragma once
// Synthetic pictures of the virtual camera. The simple scenes are rendered
// once per frame into two row templates (even and odd rows, which differ by
// their Bayer colours); the test chart is kept as a whole frame that only
// changes where something moved. Either way serving any byte range of the
// payload is a copy straight into the reader's buffer, at memory speed.
#include <cstdint>
#include <vector>

namespace vantix::emulator {

enum class SceneKind : uint8_t {
    // Shows where each sample is: a grid every 128 sensor pixels labelled
    // with its sensor coordinates, colours that ramp with the sensor column
    // (red) and row (blue), a large "F" in the frame's first corner (first
    // row, first column: its shape tells mirroring and row order), and a
    // square that moves along the middle row band, four columns per frame.
    TestChart,
    ColorBars,  // eight vertical bars: white, yellow, cyan, green, magenta, red, blue, black
    Gradient,   // horizontal ramp from 0 to full scale
    Flat,       // one constant value per Bayer channel
    Moving,     // diagonal stripes that move one pixel per frame
};

// "chart", "bars", "gradient" or "moving"; false for any other name.
bool ParseSceneName(const char* name, SceneKind* kind);

// Colour of the top-left pixel of the 2 x 2 Bayer cell; Mono has no pattern.
enum class BayerPattern : uint8_t { RGGB, GRBG, GBRG, BGGR, Mono };

struct SceneSettings {
    SceneKind kind = SceneKind::TestChart;
    BayerPattern pattern = BayerPattern::GRBG;
    // Flat scene levels per channel, as a fraction of full scale (0..1).
    double flatRed = 0.5, flatGreen = 0.5, flatBlue = 0.5;
    // Multiplies every level: exposure and gain of the camera, 1 = nominal.
    double brightness = 1.0;
    // Test chart: noise added to every sample, as a fraction of full scale
    // (0: none). Deterministic: the same frame number gives the same noise.
    double noise = 0.0;
};

struct FrameGeometry {
    uint32_t width = 0;           // samples per row
    uint32_t height = 0;          // rows
    uint32_t bytesPerSample = 1;  // 1 or 2 (16-bit samples, little-endian)
    // The part of the sensor's pixel array a frame shows, for heads that say
    // so (and the window's first column on the sensor for every head): the
    // scene spans `arrayWidth` columns, and frame column x shows
    // array column originX + x * columnStep (binned readouts step 2),
    // counted from the right edge when mirrored. arrayWidth 0: the frame is
    // the whole scene.
    uint32_t arrayWidth = 0;
    uint32_t originX = 0;
    // The window's first row on the sensor (the test chart's coordinates).
    uint32_t originY = 0;
    uint32_t columnStep = 1;
    bool mirrored = false;
    uint64_t PayloadBytes() const { return uint64_t{width} * height * bytesPerSample; }
};

class FrameRenderer {
public:
    // Prepares frame number `frameIndex` of a scene.
    void Prepare(const SceneSettings& scene, const FrameGeometry& geometry, uint32_t frameIndex);
    // Copies payload bytes [offset, offset + count) into dst.
    void Render(uint64_t offset, uint8_t* dst, uint64_t count) const;
    const FrameGeometry& Geometry() const { return geometry_; }

private:
    void PrepareChart(const SceneSettings& scene, uint32_t frameIndex);
    // Samples of rows [first, last) of the chart from its levels.
    void ExposeChartRows(uint32_t first, uint32_t last, uint32_t frameIndex);
    void DrawMovingSquare(uint32_t frameIndex);

    FrameGeometry geometry_;
    uint64_t rowBytes_ = 0;
    // Even and odd row templates. For the moving scene each template is two
    // rows long and row y starts (y + frame) samples into it.
    std::vector<uint8_t> rows_[2];
    bool moving_ = false;
    uint32_t frameIndex_ = 0;

    // The test chart: its levels before exposure (16-bit fractions of full
    // scale, one per sample), the frame as served, and what they were made
    // for, so that only a change redoes them.
    std::vector<uint16_t> chartLevels_;
    std::vector<uint8_t> chartFrame_;
    bool chart_ = false;
    FrameGeometry chartGeometry_{};
    BayerPattern chartPattern_ = BayerPattern::Mono;
    double chartBrightness_ = -1;
    double chartNoise_ = 0;
    uint32_t squareRows_[2] = {0, 0};  // rows the moving square covers
    // Sample value of each level at the current exposure.
    std::vector<uint16_t> exposureTable_;
    double exposureTableGain_ = -1;
    uint32_t exposureTableBytes_ = 0;
};

}  // namespace vantix::emulator
