// The virtual camera's default picture, the test chart: where each sample is
// (sensor coordinates, the corner marker), what moves, and how exposure and
// noise change it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "emulator/scene.h"

namespace vantix::emulator {
namespace {

struct Chart {
    Chart(uint32_t width, uint32_t height, uint32_t originX = 0, uint32_t originY = 0, uint32_t frame = 0,
          double brightness = 1.0, double noise = 0.0, uint32_t bytesPerSample = 1)
        : geometry{.width = width, .height = height, .bytesPerSample = bytesPerSample, .originX = originX, .originY = originY} {
        SceneSettings scene;
        scene.pattern = BayerPattern::Mono;
        scene.brightness = brightness;
        scene.noise = noise;
        EXPECT_EQ(scene.kind, SceneKind::TestChart) << "the chart is the default scene";
        renderer.Prepare(scene, geometry, frame);
        bytes.resize(geometry.PayloadBytes());
        renderer.Render(0, bytes.data(), bytes.size());
    }
    uint8_t At(uint32_t x, uint32_t y) const { return bytes[y * geometry.width + x]; }

    FrameGeometry geometry;
    FrameRenderer renderer;
    std::vector<uint8_t> bytes;
};

constexpr uint32_t kWidth = 512;
constexpr uint32_t kHeight = 300;
constexpr uint32_t kMarkerSide = 56;  // the marker's box

// Rows the moving square never crosses and columns clear of the marker.
bool Static(uint32_t x, uint32_t y) {
    return (x >= kMarkerSide || y >= kMarkerSide) && (y < kHeight / 2 - 20 || y >= kHeight / 2 + 20);
}

TEST(TestChart, TheCornerMarkerTellsMirroringAndRowOrder) {
    const Chart chart(kWidth, kHeight);
    int lit = 0;
    int differsMirrored = 0;
    int differsFlipped = 0;
    for (uint32_t y = 0; y < kMarkerSide; ++y) {
        for (uint32_t x = 0; x < 40; ++x) {
            lit += chart.At(x, y) > 128 ? 1 : 0;
            differsMirrored += chart.At(x, y) != chart.At(39 - x, y) ? 1 : 0;
            differsFlipped += chart.At(x, y) != chart.At(x, kMarkerSide - 1 - y) ? 1 : 0;
        }
    }
    EXPECT_GT(lit, 300) << "no marker";
    EXPECT_GT(differsMirrored, 100) << "the marker looks the same mirrored";
    EXPECT_GT(differsFlipped, 100) << "the marker looks the same upside down";
    // The marker belongs to the frame's first corner, wherever the window is.
    const Chart moved(kWidth, kHeight, 640, 384);
    for (uint32_t y = 0; y < kMarkerSide; ++y) {
        EXPECT_EQ(std::memcmp(&moved.bytes[y * kWidth], &chart.bytes[y * kWidth], 40), 0) << y;
    }
}

TEST(TestChart, ThePictureIsFixedToTheSensorNotTheWindow) {
    const Chart atZero(kWidth, kHeight);
    const Chart shifted(kWidth, kHeight, 128, 64);
    int compared = 0;
    for (uint32_t y = 0; y + 64 < kHeight; ++y) {
        for (uint32_t x = 0; x + 128 < kWidth; ++x) {
            if (!Static(x, y) || !Static(x + 128, y + 64)) continue;
            ASSERT_EQ(shifted.At(x, y), atZero.At(x + 128, y + 64)) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_GT(compared, 50000);
    // Grid lines every 128 sensor pixels, and the crossing at sensor
    // (128, 128) labelled "128,128": the "1" has its upper middle font pixel
    // set and its upper left one clear, two sensor pixels each.
    EXPECT_GT(atZero.At(129, 200), 200);
    EXPECT_GT(atZero.At(200, 129), 200);
    const uint32_t labelX = 128 + 6;
    const uint32_t labelY = 128 + 6;
    EXPECT_LT(atZero.At(labelX + 2, labelY), 30);
    EXPECT_GT(atZero.At(labelX, labelY), 50);
    // Colour ramps with the sensor column and row: further right and down
    // is brighter in this grey rendering.
    EXPECT_LT(atZero.At(70, 100), atZero.At(450, 100));
    EXPECT_LT(atZero.At(70, 60), atZero.At(70, 290));
}

TEST(TestChart, ASquareMovesFourColumnsPerFrameAndNothingElse) {
    const Chart first(kWidth, kHeight, 0, 0, 10);
    const Chart next(kWidth, kHeight, 0, 0, 11);
    const Chart again(kWidth, kHeight, 0, 0, 10);
    EXPECT_EQ(first.bytes, again.bytes) << "the same frame twice";
    uint32_t firstColumn = kWidth;
    uint32_t nextColumn = kWidth;
    const uint32_t middle = kHeight / 2;
    for (uint32_t x = 0; x < kWidth; ++x) {
        if (first.At(x, middle) == 242 && firstColumn == kWidth) firstColumn = x;
        if (next.At(x, middle) == 242 && nextColumn == kWidth) nextColumn = x;
    }
    ASSERT_LT(firstColumn, kWidth) << "no square";
    EXPECT_EQ(nextColumn, firstColumn + 4);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            if (Static(x, y)) {
                ASSERT_EQ(first.At(x, y), next.At(x, y)) << x << "," << y;
            }
        }
    }
    // Served in pieces, a frame is the same picture; preparing the next
    // frame in the same renderer redraws the band the square left.
    FrameRenderer renderer;
    SceneSettings scene;
    scene.pattern = BayerPattern::Mono;
    renderer.Prepare(scene, first.geometry, 10);
    renderer.Prepare(scene, first.geometry, 11);
    std::vector<uint8_t> pieces(next.bytes.size());
    for (uint64_t at = 0; at < pieces.size(); at += 1000) {
        renderer.Render(at, pieces.data() + at, std::min<uint64_t>(1000, pieces.size() - at));
    }
    EXPECT_EQ(pieces, next.bytes);
}

TEST(TestChart, ExposureScalesTheLightAndClipsAtFullScale) {
    const Chart nominal(kWidth, kHeight, 0, 0, 0, 1.0);
    const Chart half(kWidth, kHeight, 0, 0, 0, 0.5);
    const Chart bright(kWidth, kHeight, 0, 0, 0, 5.0);
    for (const auto& [x, y] : {std::pair{300u, 100u}, std::pair{70u, 250u}, std::pair{129u, 200u}}) {
        EXPECT_NEAR(half.At(x, y), nominal.At(x, y) / 2.0, 1.0) << x << "," << y;
        EXPECT_EQ(bright.At(x, y), 255) << x << "," << y;
    }
    // 16-bit samples fill the whole 16 bits.
    const Chart wide(kWidth, kHeight, 0, 0, 0, 1.0, 0.0, 2);
    uint16_t sample = 0;
    std::memcpy(&sample, &wide.bytes[2 * (100 * kWidth + 300)], 2);
    EXPECT_NEAR(sample / 257.0, nominal.At(300, 100), 1.0);
}

TEST(TestChart, NoiseIsOptionalAndRepeatsWithTheFrameNumber) {
    const Chart clean(kWidth, kHeight, 0, 0, 3);
    const Chart noisy(kWidth, kHeight, 0, 0, 3, 1.0, 0.05);
    const Chart noisyAgain(kWidth, kHeight, 0, 0, 3, 1.0, 0.05);
    const Chart noisyNext(kWidth, kHeight, 0, 0, 4, 1.0, 0.05);
    EXPECT_EQ(noisy.bytes, noisyAgain.bytes);
    int differ = 0;
    int differNext = 0;
    double sum = 0;
    int far = 0;
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            if (!Static(x, y)) continue;
            const int delta = noisy.At(x, y) - clean.At(x, y);
            differ += delta != 0 ? 1 : 0;
            differNext += noisy.At(x, y) != noisyNext.At(x, y) ? 1 : 0;
            sum += delta;
            far += delta > 14 || delta < -14 ? 1 : 0;  // 0.05 of full scale, rounded
        }
    }
    EXPECT_GT(differ, 100000);
    EXPECT_GT(differNext, 100000);
    EXPECT_EQ(far, 0);
    EXPECT_NEAR(sum / differ, 0.0, 0.5) << "noise without an offset";
}

TEST(TestChart, SceneNamesForTheEnvironment) {
    SceneKind kind = SceneKind::Flat;
    ASSERT_TRUE(ParseSceneName("bars", &kind));
    EXPECT_EQ(kind, SceneKind::ColorBars);
    ASSERT_TRUE(ParseSceneName("chart", &kind));
    EXPECT_EQ(kind, SceneKind::TestChart);
    EXPECT_FALSE(ParseSceneName("Bars", &kind));
    EXPECT_FALSE(ParseSceneName("", &kind));
    EXPECT_EQ(kind, SceneKind::TestChart);
}

}  // namespace
}  // namespace vantix::emulator
