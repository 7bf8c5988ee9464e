#pragma once
// Synthetic pictures of the virtual camera. A frame is rendered once into two
// row templates (even and odd rows, which differ by their Bayer colours), so
// that serving any byte range of the payload is a copy from a template
// straight into the reader's buffer, at memory speed.
#include <cstdint>
#include <vector>

namespace vantix::emulator {

enum class SceneKind : uint8_t {
    ColorBars,  // eight vertical bars: white, yellow, cyan, green, magenta, red, blue, black
    Gradient,   // horizontal ramp from 0 to full scale
    Flat,       // one constant value per Bayer channel
    Moving,     // diagonal stripes that move one pixel per frame
};

// Colour of the top-left pixel of the 2 x 2 Bayer cell; Mono has no pattern.
enum class BayerPattern : uint8_t { RGGB, GRBG, GBRG, BGGR, Mono };

struct SceneSettings {
    SceneKind kind = SceneKind::ColorBars;
    BayerPattern pattern = BayerPattern::GRBG;
    // Flat scene levels per channel, as a fraction of full scale (0..1).
    double flatRed = 0.5, flatGreen = 0.5, flatBlue = 0.5;
    // Multiplies every level: exposure and gain of the camera, 1 = nominal.
    double brightness = 1.0;
};

struct FrameGeometry {
    uint32_t width = 0;           // samples per row
    uint32_t height = 0;          // rows
    uint32_t bytesPerSample = 1;  // 1 or 2 (16-bit samples, little-endian)
    // The part of the sensor's pixel array a frame shows, for heads that say
    // so: the scene spans `arrayWidth` columns, and frame column x shows
    // array column originX + x * columnStep (binned readouts step 2),
    // counted from the right edge when mirrored. arrayWidth 0: the frame is
    // the whole scene.
    uint32_t arrayWidth = 0;
    uint32_t originX = 0;
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
    FrameGeometry geometry_;
    uint64_t rowBytes_ = 0;
    // Even and odd row templates. For the moving scene each template is two
    // rows long and row y starts (y + frame) samples into it.
    std::vector<uint8_t> rows_[2];
    bool moving_ = false;
    uint32_t frameIndex_ = 0;
};

}  // namespace vantix::emulator
