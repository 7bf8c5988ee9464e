#include "emulator/scene.h"

#include <algorithm>
#include <cstring>

namespace vantix::emulator {
namespace {

enum Channel { kRed, kGreen, kBlue };

Channel ChannelAt(BayerPattern pattern, uint32_t x, uint32_t y) {
    // Index in the 2 x 2 cell: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right.
    const unsigned cell = (y & 1u) * 2 + (x & 1u);
    static constexpr Channel kCells[4][4] = {
        {kRed, kGreen, kGreen, kBlue},  // RGGB
        {kGreen, kRed, kBlue, kGreen},  // GRBG
        {kGreen, kBlue, kRed, kGreen},  // GBRG
        {kBlue, kGreen, kGreen, kRed},  // BGGR
    };
    return kCells[static_cast<unsigned>(pattern)][cell];
}

// Level of one channel in [0, 1] at column x (of `width`) for the static
// scenes; the moving scene uses the bar colours along a diagonal.
double Level(const SceneSettings& scene, Channel channel, uint32_t x, uint32_t width) {
    switch (scene.kind) {
        case SceneKind::ColorBars:
        case SceneKind::Moving: {
            // Bits of the bar number: 4 = red absent, 2 = green absent, 1 = blue
            // absent in the order white, yellow, cyan, green, magenta, red, blue, black.
            static constexpr uint8_t kBars[8] = {0b111, 0b110, 0b011, 0b010, 0b101, 0b100, 0b001, 0b000};
            const uint32_t bar = width ? std::min<uint32_t>(7, x * 8 / width) : 0;
            const uint8_t rgb = kBars[bar];
            const uint8_t bit = channel == kRed ? 0b100 : channel == kGreen ? 0b010 : 0b001;
            return (rgb & bit) ? 0.75 : 0.0;
        }
        case SceneKind::Gradient:
            return width > 1 ? static_cast<double>(x) / (width - 1) : 0.0;
        case SceneKind::Flat:
            return channel == kRed ? scene.flatRed : channel == kGreen ? scene.flatGreen : scene.flatBlue;
    }
    return 0.0;
}

void Store(uint8_t* row, uint32_t x, uint32_t bytesPerSample, double level) {
    level = std::clamp(level, 0.0, 1.0);
    if (bytesPerSample == 1) {
        row[x] = static_cast<uint8_t>(level * 255.0 + 0.5);
    } else {
        const auto value = static_cast<uint16_t>(level * 65535.0 + 0.5);
        row[2 * x] = static_cast<uint8_t>(value);
        row[2 * x + 1] = static_cast<uint8_t>(value >> 8);
    }
}

// The scene column a frame column shows (the frame column itself unless the
// geometry places the frame in the pixel array).
uint32_t ArrayColumn(const FrameGeometry& g, uint32_t frameX) {
    if (g.arrayWidth == 0) return frameX;
    const uint64_t column = std::min<uint64_t>(uint64_t{g.originX} + uint64_t{frameX} * g.columnStep, g.arrayWidth - 1u);
    return static_cast<uint32_t>(g.mirrored ? g.arrayWidth - 1u - column : column);
}

}  // namespace

void FrameRenderer::Prepare(const SceneSettings& scene, const FrameGeometry& geometry, uint32_t frameIndex) {
    geometry_ = geometry;
    rowBytes_ = uint64_t{geometry.width} * geometry.bytesPerSample;
    moving_ = scene.kind == SceneKind::Moving;
    frameIndex_ = frameIndex;
    const uint32_t templateWidth = moving_ ? geometry.width * 2 : geometry.width;
    for (uint32_t parity = 0; parity < 2; ++parity) {
        std::vector<uint8_t>& row = rows_[parity];
        row.assign(uint64_t{templateWidth} * geometry.bytesPerSample, 0);
        for (uint32_t x = 0; x < templateWidth; ++x) {
            // The moving template repeats the bars twice so that any shifted
            // window of one row width is a contiguous slice.
            const uint32_t frameX = moving_ ? x % geometry.width : x;
            const uint32_t sceneX = ArrayColumn(geometry, frameX);
            const uint32_t sceneWidth = geometry.arrayWidth != 0 ? geometry.arrayWidth : geometry.width;
            const BayerPattern pattern = scene.pattern;
            double level;
            if (pattern == BayerPattern::Mono) {
                level = (Level(scene, kRed, sceneX, sceneWidth) + Level(scene, kGreen, sceneX, sceneWidth) +
                         Level(scene, kBlue, sceneX, sceneWidth)) / 3.0;
            } else {
                level = Level(scene, ChannelAt(pattern, x, parity), sceneX, sceneWidth);
            }
            Store(row.data(), x, geometry.bytesPerSample, level * scene.brightness);
        }
    }
}

void FrameRenderer::Render(uint64_t offset, uint8_t* dst, uint64_t count) const {
    if (rowBytes_ == 0) return;
    while (count > 0) {
        const uint64_t y = offset / rowBytes_;
        const uint64_t column = offset % rowBytes_;
        const uint64_t n = std::min(count, rowBytes_ - column);
        uint64_t start = column;
        if (moving_) {
            // Shift by an even number of samples so the Bayer phase is kept.
            const uint64_t shift = ((y + frameIndex_) * 2) % geometry_.width;
            start += shift * geometry_.bytesPerSample;
        }
        std::memcpy(dst, rows_[y & 1].data() + start, n);
        dst += n;
        offset += n;
        count -= n;
    }
}

}  // namespace vantix::emulator
