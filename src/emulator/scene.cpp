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
        case SceneKind::TestChart:
            break;  // rendered as a whole frame, see PrepareChart
    }
    return 0.0;
}

// ---- The test chart ----

constexpr uint32_t kGridPitch = 128;      // sensor pixels between grid lines
constexpr uint32_t kGridLine = 2;         // a whole Bayer cell wide
constexpr uint32_t kLabelInset = 6;       // label from the grid crossing
constexpr uint32_t kLabelScale = 2;       // font pixels to sensor pixels
constexpr uint32_t kGlyphPitch = 4;       // font columns per glyph with its gap
constexpr uint32_t kMarkerScale = 8;      // the corner "F"
constexpr uint32_t kMarkerInset = 8;
constexpr uint32_t kMarkerWidth = kMarkerInset * 2 + 3 * kMarkerScale;   // its dark box
constexpr uint32_t kMarkerHeight = kMarkerInset * 2 + 5 * kMarkerScale;
constexpr uint32_t kSquareSide = 32;
constexpr uint32_t kSquareStep = 4;       // columns per frame, a whole Bayer cell
constexpr double kRampSpan = 4096;        // sensor pixels over which a colour ramps

// Glyphs of 3 x 5 font pixels, one row per entry, bit 2 the left column.
constexpr uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};
constexpr uint8_t kComma[5] = {0, 0, 0, 2, 4};
constexpr uint8_t kLetterF[5] = {7, 4, 6, 4, 4};

bool GlyphBit(const uint8_t (&glyph)[5], uint32_t column, uint32_t row) {
    return column < 3 && row < 5 && ((glyph[row] >> (2 - column)) & 1u) != 0;
}

uint32_t DecimalDigits(uint32_t value) {
    uint32_t digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// Digit `position` (0: the most significant) of value, of `digits` digits.
uint32_t DigitAt(uint32_t value, uint32_t digits, uint32_t position) {
    for (uint32_t i = position + 1; i < digits; ++i) value /= 10;
    return value % 10;
}

// Whether font pixel (column, row) of the label "X,Y" is set.
bool LabelBit(uint32_t x, uint32_t y, uint32_t column, uint32_t row) {
    const uint32_t glyph = column / kGlyphPitch;
    const uint32_t inner = column % kGlyphPitch;
    const uint32_t xDigits = DecimalDigits(x);
    if (glyph < xDigits) return GlyphBit(kDigits[DigitAt(x, xDigits, glyph)], inner, row);
    if (glyph == xDigits) return GlyphBit(kComma, inner, row);
    const uint32_t yDigits = DecimalDigits(y);
    const uint32_t position = glyph - xDigits - 1;
    return position < yDigits && GlyphBit(kDigits[DigitAt(y, yDigits, position)], inner, row);
}

constexpr double kGridLevel = 0.85;
constexpr double kInkLevel = 0.05;   // label digits and the marker's box
constexpr double kLitLevel = 0.9;    // the marker's "F"
constexpr double kGreenLevel = 0.4;
constexpr double kSquareLevel = 0.95;

// Red along the sensor's columns, blue along its rows.
double RampLevel(uint32_t sensorPosition) {
    return 0.15 + 0.55 * std::min(1.0, sensorPosition / kRampSpan);
}

double MarkerLevel(uint32_t x, uint32_t y) {
    const bool lit = x >= kMarkerInset && y >= kMarkerInset &&
                     GlyphBit(kLetterF, (x - kMarkerInset) / kMarkerScale, (y - kMarkerInset) / kMarkerScale);
    return lit ? kLitLevel : kInkLevel;
}

// A deterministic value in [-1, 1) from a sample's place and the frame.
double NoiseAt(uint32_t x, uint32_t y, uint32_t frame) {
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ frame * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return static_cast<double>(h >> 8) / static_cast<double>(1u << 23) - 1.0;
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

bool ParseSceneName(const char* name, SceneKind* kind) {
    static constexpr struct {
        const char* name;
        SceneKind kind;
    } kNames[] = {{"chart", SceneKind::TestChart}, {"bars", SceneKind::ColorBars},
                  {"gradient", SceneKind::Gradient}, {"moving", SceneKind::Moving}};
    for (const auto& entry : kNames) {
        if (std::strcmp(name, entry.name) == 0) {
            *kind = entry.kind;
            return true;
        }
    }
    return false;
}

void FrameRenderer::Prepare(const SceneSettings& scene, const FrameGeometry& geometry, uint32_t frameIndex) {
    geometry_ = geometry;
    rowBytes_ = uint64_t{geometry.width} * geometry.bytesPerSample;
    chart_ = scene.kind == SceneKind::TestChart;
    if (chart_) {
        PrepareChart(scene, frameIndex);
        return;
    }
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

void FrameRenderer::PrepareChart(const SceneSettings& scene, uint32_t frameIndex) {
    const FrameGeometry& g = geometry_;
    const bool sameLayout = g.width == chartGeometry_.width && g.height == chartGeometry_.height &&
                            g.originX == chartGeometry_.originX && g.originY == chartGeometry_.originY &&
                            scene.pattern == chartPattern_;
    const uint64_t samples = uint64_t{g.width} * g.height;
    if (!sameLayout) {
        chartLevels_.resize(samples);
        // Per column: where it lies in its grid cell and its red ramp.
        std::vector<uint32_t> cellColumn(g.width);
        std::vector<double> red(g.width);
        for (uint32_t x = 0; x < g.width; ++x) {
            cellColumn[x] = (g.originX + x) % kGridPitch;
            red[x] = RampLevel(g.originX + x);
        }
        for (uint32_t y = 0; y < g.height; ++y) {
            uint16_t* row = chartLevels_.data() + uint64_t{y} * g.width;
            const uint32_t sy = g.originY + y;
            const uint32_t cy = sy % kGridPitch;
            const bool gridRow = cy < kGridLine;
            const bool labelRow = cy >= kLabelInset && cy < kLabelInset + 5 * kLabelScale;
            const double blue = RampLevel(sy);
            for (uint32_t x = 0; x < g.width; ++x) {
                const uint32_t cx = cellColumn[x];
                double level[3];  // red, green, blue
                if (x < kMarkerWidth && y < kMarkerHeight) {
                    level[0] = level[1] = level[2] = MarkerLevel(x, y);
                } else if (gridRow || cx < kGridLine) {
                    level[0] = level[1] = level[2] = kGridLevel;
                } else if (labelRow && cx >= kLabelInset &&
                           LabelBit(g.originX + x - cx, sy - cy, (cx - kLabelInset) / kLabelScale,
                                    (cy - kLabelInset) / kLabelScale)) {
                    level[0] = level[1] = level[2] = kInkLevel;
                } else {
                    level[0] = red[x];
                    level[1] = kGreenLevel;
                    level[2] = blue;
                }
                // The window's first sample has the pattern's first colour,
                // as for the other scenes.
                const double value = scene.pattern == BayerPattern::Mono
                                         ? (level[0] + level[1] + level[2]) / 3.0
                                         : level[ChannelAt(scene.pattern, x, y)];
                row[x] = static_cast<uint16_t>(value * 65535.0 + 0.5);
            }
        }
        chartGeometry_ = g;
        chartPattern_ = scene.pattern;
        chartBrightness_ = -1;
    }
    const bool noisy = scene.noise > 0;
    chartFrame_.resize(samples * g.bytesPerSample);
    const bool exposureChanged = scene.brightness != chartBrightness_ || scene.noise != chartNoise_ ||
                                 g.bytesPerSample != chartGeometry_.bytesPerSample;
    chartBrightness_ = scene.brightness;
    chartNoise_ = scene.noise;
    chartGeometry_.bytesPerSample = g.bytesPerSample;
    frameIndex_ = frameIndex;
    if (exposureChanged || noisy) {
        ExposeChartRows(0, g.height, frameIndex);
    } else {
        // Only the moving square's band changed since the last frame.
        ExposeChartRows(squareRows_[0], squareRows_[1], frameIndex);
    }
    DrawMovingSquare(frameIndex);
}

void FrameRenderer::ExposeChartRows(uint32_t first, uint32_t last, uint32_t frameIndex) {
    const FrameGeometry& g = geometry_;
    // Brightness scales the collected light, as exposure and gain do on the
    // sensor; the sample clips at full scale.
    const double gain = chartBrightness_ / 65535.0;
    if (chartNoise_ > 0) {
        for (uint32_t y = first; y < last && y < g.height; ++y) {
            const uint16_t* levels = chartLevels_.data() + uint64_t{y} * g.width;
            uint8_t* row = chartFrame_.data() + uint64_t{y} * rowBytes_;
            for (uint32_t x = 0; x < g.width; ++x) {
                Store(row, x, g.bytesPerSample, levels[x] * gain + chartNoise_ * NoiseAt(x, y, frameIndex));
            }
        }
        return;
    }
    // Without noise each level has one sample value: a table per exposure.
    if (exposureTable_.size() != 65536 || exposureTableGain_ != gain || exposureTableBytes_ != g.bytesPerSample) {
        exposureTable_.resize(65536);
        const double scale = g.bytesPerSample == 1 ? 255.0 : 65535.0;
        for (uint32_t level = 0; level < 65536; ++level) {
            exposureTable_[level] = static_cast<uint16_t>(std::min(level * gain, 1.0) * scale + 0.5);
        }
        exposureTableGain_ = gain;
        exposureTableBytes_ = g.bytesPerSample;
    }
    const uint16_t* table = exposureTable_.data();
    for (uint32_t y = first; y < last && y < g.height; ++y) {
        const uint16_t* levels = chartLevels_.data() + uint64_t{y} * g.width;
        uint8_t* row = chartFrame_.data() + uint64_t{y} * rowBytes_;
        if (g.bytesPerSample == 1) {
            for (uint32_t x = 0; x < g.width; ++x) row[x] = static_cast<uint8_t>(table[levels[x]]);
        } else {
            for (uint32_t x = 0; x < g.width; ++x) {
                const uint16_t value = table[levels[x]];
                row[2 * x] = static_cast<uint8_t>(value);
                row[2 * x + 1] = static_cast<uint8_t>(value >> 8);
            }
        }
    }
}

void FrameRenderer::DrawMovingSquare(uint32_t frameIndex) {
    const FrameGeometry& g = geometry_;
    const uint32_t side = std::min({kSquareSide, g.width, g.height}) & ~1u;
    if (side == 0) {
        squareRows_[0] = squareRows_[1] = 0;
        return;
    }
    // Even columns and rows keep the Bayer phase of what it covers.
    const uint32_t span = g.width - side + 1;
    const uint32_t x0 = static_cast<uint32_t>((uint64_t{frameIndex} * kSquareStep) % span) & ~1u;
    const uint32_t y0 = ((g.height - side) / 2) & ~1u;
    squareRows_[0] = y0;
    squareRows_[1] = y0 + side;
    for (uint32_t y = y0; y < y0 + side; ++y) {
        uint8_t* row = chartFrame_.data() + uint64_t{y} * rowBytes_;
        for (uint32_t x = x0; x < x0 + side; ++x) Store(row, x, g.bytesPerSample, kSquareLevel * chartBrightness_);
    }
}

void FrameRenderer::Render(uint64_t offset, uint8_t* dst, uint64_t count) const {
    if (rowBytes_ == 0) return;
    if (chart_) {
        const uint64_t available = chartFrame_.size() > offset ? chartFrame_.size() - offset : 0;
        std::memcpy(dst, chartFrame_.data() + offset, std::min(count, available));
        return;
    }
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
