#include "imaging/dib_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <utility>

#include <unistd.h>

namespace vantix {
namespace {

// Pixel (x, y) in picture coordinates (row 0 at the top).
uint8_t* At(CDibImage& image, int32_t x, int32_t y) {
    return image.Row(image.Height() - 1 - y) + static_cast<size_t>(x) * image.BytesPerPixel();
}

// An 8-bit image whose picture pixel (x, y) holds 1 + x + 16 * y.
CDibImage NumberedGray(int32_t width, int32_t height) {
    CDibImage image;
    EXPECT_EQ(image.Create(width, height, 8), 1);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            *At(image, x, y) = static_cast<uint8_t>(1 + x + 16 * y);
        }
    }
    return image;
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t total = 0;
    size_t resident = 0;
    statm >> total >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

bool AllZero(const CDibImage& image) {
    for (size_t i = 0; i < image.ImageBytes(); ++i) {
        if (image.Bits()[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(DibImageCreate, StrideAndBlockSize) {
    struct Case {
        int32_t width, height, bits, stride;
        size_t bytes;
    };
    for (const Case& c : {Case{3856, 2764, 8, 3856, 10'657'984}, Case{3856, 2764, 16, 7712, 21'315'968},
                          Case{482, 10, 8, 484, 4840}, Case{5, 3, 24, 16, 48}, Case{5, 3, 48, 32, 96},
                          Case{5, 3, 64, 40, 120}}) {
        CDibImage image;
        ASSERT_EQ(image.Create(c.width, c.height, c.bits), 1) << c.width << " x " << c.bits;
        EXPECT_EQ(image.Stride(), c.stride) << c.width << " x " << c.bits;
        EXPECT_EQ(image.ImageBytes(), c.bytes) << c.width << " x " << c.bits;
    }
}

TEST(DibImageCreate, HeaderDescribesAZeroedBottomUpImageWithGrayRamp) {
    CDibImage image;
    ASSERT_EQ(image.Create(7, 4, 8), 1);
    const BitmapInfoHeader& h = image.Header().header;
    EXPECT_TRUE(h.biSize == 40 && h.biWidth == 7 && h.biHeight == 4 && h.biPlanes == 1 && h.biBitCount == 8);
    EXPECT_TRUE(h.biCompression == 0 && h.biSizeImage == 0 && h.biClrUsed == 0);
    for (int i = 0; i < kColorTableEntries; ++i) {
        const RgbQuad q = image.Header().colors[i];
        ASSERT_TRUE(q.blue == i && q.green == i && q.red == i && q.reserved == 0) << "entry " << i;
    }
    EXPECT_TRUE(AllZero(image));
}

TEST(DibImageCreate, RefusalLeavesThePreviousImage) {
    CDibImage image;
    ASSERT_EQ(image.Create(4, 4, 24), 1);
    image.Bits()[5] = 0xAB;
    const uint8_t* bits = image.Bits();
    EXPECT_EQ(image.Create(0, 4, 24), 0);
    EXPECT_EQ(image.Create(4, -1, 24), 0);
    EXPECT_EQ(image.Create(4, 4, 0), 0);
    EXPECT_EQ(image.Create(4, 4, 12), 0);
    EXPECT_EQ(image.Create(100'000, 100'000, 64), 0);        // over kMaxImageBytes
    EXPECT_EQ(image.Create(0x7FFFFFFF, 0x7FFFFFFF, 64), 0);  // stride overflows int32
    EXPECT_TRUE(image.Bits() == bits && image.Bits()[5] == 0xAB && image.Width() == 4 && image.BitsPerPixel() == 24);
}

TEST(DibImageCreate, ReleaseAndMoveLeaveAnEmptyImage) {
    CDibImage image;
    ASSERT_EQ(image.Create(300, 300, 32), 1);  // large enough to be mapped
    image.Bits()[0] = 9;
    CDibImage moved(std::move(image));
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_TRUE(moved.Bits()[0] == 9 && moved.Header().header.biWidth == 300);
    moved.Release();
    moved.Release();
    EXPECT_TRUE(moved.IsEmpty() && moved.Row(0) == nullptr);
    EXPECT_EQ(moved.Width() | moved.Height() | moved.Stride() | moved.BitsPerPixel(), 0);
    EXPECT_TRUE(moved.Header().header.biSize == 40 && moved.Header().header.biWidth == 0);
}

// Sessions hold several full-sensor buffers that are mostly never written;
// they must not take memory until they are.
TEST(DibImageCreate, UntouchedPixelsAreNotResident) {
    const size_t before = ResidentBytes();
    CDibImage image;
    ASSERT_EQ(image.Create(3856, 2764, 16), 1);
    const size_t created = ResidentBytes();
    EXPECT_LT(created, before + image.ImageBytes() / 4);
    std::memset(image.Bits(), 1, image.ImageBytes());
    EXPECT_GT(ResidentBytes(), created + image.ImageBytes() / 2);  // the measurement sees writes
}

TEST(DibImageCopyFormat, CopiesFormatAndTablesButNotPixels) {
    CDibImage source = NumberedGray(6, 5);
    const RgbQuad red{0, 0, 255, 0};
    source.SetPalette(kPaletteDevice, &red, 3, 1);
    CDibImage copy;
    ASSERT_EQ(copy.Create(2, 2, 24), 1);
    ASSERT_EQ(copy.CopyFormat(&source), 1);
    EXPECT_EQ(std::memcmp(&copy.Header(), &source.Header(), sizeof(BitmapInfo)), 0);
    EXPECT_EQ(copy.DeviceColorTable()[3].red, 255);
    EXPECT_TRUE(copy.Stride() == source.Stride() && copy.Bits() != source.Bits() && AllZero(copy));

    CDibImage empty;
    EXPECT_EQ(copy.CopyFormat(nullptr), 0);
    EXPECT_EQ(copy.CopyFormat(&empty), 0);
    EXPECT_EQ(copy.Width(), 6);

    ASSERT_EQ(source.CopyFormat(&source), 1);  // onto itself: same format, cleared
    EXPECT_TRUE(source.Width() == 6 && AllZero(source));
}

TEST(DibImageSetPalette, DeviceTableIsClippedAndHeaderTableKept) {
    CDibImage image;
    ASSERT_EQ(image.Create(4, 4, 8), 1);
    const RgbQuad entries[5] = {{0, 9, 9, 0}, {1, 9, 9, 0}, {2, 9, 9, 0}, {3, 9, 9, 0}, {4, 9, 9, 0}};
    EXPECT_EQ(image.SetPalette(kPaletteDevice, entries, -2, 5), 1);  // entries 0, 1 fall before the table
    EXPECT_EQ(image.SetPalette(kPaletteDevice, entries, 254, 5), 1);
    EXPECT_EQ(image.SetPalette(kPaletteDevice, nullptr, 0, 256), 1);
    EXPECT_EQ(image.SetPalette(7, entries, 0, 5), 1);
    const RgbQuad* device = image.DeviceColorTable();
    EXPECT_TRUE(device[0].blue == 2 && device[2].blue == 4 && device[3].green == 0 && device[255].blue == 1);
    EXPECT_EQ(image.Header().colors[2].green, 2);  // header table still the gray ramp
}

TEST(DibImageBlit, OverlappingCopyWithinOneImage) {
    CDibImage image = NumberedGray(5, 6);
    const Rect rows{0, 0, 5, 4};
    image.BlitFrom(image, &rows, 1, 2);  // down and right, overlapping
    EXPECT_EQ(*At(image, 1, 2), 1);
    EXPECT_EQ(*At(image, 4, 5), 1 + 3 + 16 * 3);
    EXPECT_EQ(*At(image, 0, 5), 1 + 16 * 5);  // outside the target: unchanged
    const Rect lower{1, 2, 5, 6};
    image.BlitFrom(image, &lower, 0, 0);      // and back up
    EXPECT_EQ(*At(image, 0, 0), 1);
    EXPECT_EQ(*At(image, 3, 3), 1 + 3 + 16 * 3);
}

struct ApplyCall {
    int calls = 0;
    Rect src{};
    int32_t dstX = -1;
    int32_t dstY = -1;
    int32_t strides[2]{};
};

int Record(uint8_t*, uint8_t*, const Rect* srcRect, int32_t dstX, int32_t dstY, uint16_t, uint16_t,
           int32_t dstStride, int32_t srcStride, void* param1, void*) {
    auto* call = static_cast<ApplyCall*>(param1);
    *call = {call->calls + 1, *srcRect, dstX, dstY, {dstStride, srcStride}};
    return 42;
}

// Copies an 8-bit rectangle the way real routines address memory.
int CopyBytes(uint8_t* dst, uint8_t* src, const Rect* r, int32_t dstX, int32_t dstY, uint16_t, uint16_t,
              int32_t dstStride, int32_t srcStride, void*, void*) {
    for (int32_t row = r->top; row < r->bottom; ++row) {
        std::memmove(dst + (dstY + row - r->top) * dstStride + dstX, src + row * srcStride + r->left,
                     static_cast<size_t>(r->right - r->left));
    }
    return 1;
}

// A 6 x 5 source applied to a 10 x 8 destination.
class DibImageApply : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = NumberedGray(6, 5);
        ASSERT_EQ(target_.Create(10, 8, 8), 1);
    }
    ApplyCall Run(const Rect* sourceRect, int32_t x, int32_t y) {
        ApplyCall call;
        result_ = target_.Apply(Record, &source_, sourceRect, x, y, &call, nullptr);
        return call;
    }
    // The routine got memory-order source rectangle m and destination (x, y).
    static void ExpectCall(const ApplyCall& call, Rect m, int32_t x, int32_t y) {
        ASSERT_EQ(call.calls, 1);
        EXPECT_TRUE(call.src.left == m.left && call.src.top == m.top && call.src.right == m.right &&
                    call.src.bottom == m.bottom)
            << call.src.left << "," << call.src.top << "," << call.src.right << "," << call.src.bottom;
        EXPECT_EQ(call.dstX, x);
        EXPECT_EQ(call.dstY, y);
    }
    CDibImage source_;
    CDibImage target_;
    int result_ = -1;
};

TEST_F(DibImageApply, NothingLeftDoesNotCallTheRoutine) {
    const Rect offSource{6, 0, 9, 3};
    const Rect inverted{4, 0, 2, 3};
    EXPECT_EQ(Run(nullptr, 10, 0).calls + Run(nullptr, 0, 8).calls + Run(nullptr, -6, 0).calls +
                  Run(nullptr, 0, -5).calls + Run(&offSource, 0, 0).calls + Run(&inverted, 0, 0).calls,
              0);
    EXPECT_EQ(result_, 0);
    EXPECT_EQ(target_.Apply(nullptr, &source_, nullptr, 0, 0, nullptr, nullptr), 0);
    CDibImage empty;
    EXPECT_EQ(target_.Apply(Record, &empty, nullptr, 0, 0, nullptr, nullptr), 0);
}

TEST_F(DibImageApply, RoutineGetsClippedRectanglesInMemoryOrder) {
    ApplyCall call = Run(nullptr, 7, 5);  // right and bottom cut: 3 x 3 remain
    ExpectCall(call, {0, 2, 3, 5}, 7, 0);
    EXPECT_EQ(result_, 42);
    EXPECT_EQ(call.strides[0], 12);
    EXPECT_EQ(call.strides[1], 8);
    ExpectCall(Run(nullptr, -2, -1), {2, 0, 6, 4}, 0, 4);  // negative point clips the source
    const Rect beforeSource{-3, -2, 3, 3};                  // source (0,0) lands at (4,3)
    ExpectCall(Run(&beforeSource, 1, 1), {0, 2, 3, 5}, 4, 2);
    const Rect pastBottom{0, 3, 6, 8};  // source rows 3..4 land at rows 0..1
    ExpectCall(Run(&pastBottom, 0, 0), {0, 0, 6, 2}, 0, 6);
}

// Whatever the placement, pixel (i, j) of the source rectangle must land on
// pixel (i, j) of the destination rectangle, and nothing else may change.
// Checked for a routine through Apply and for BlitFrom 8 -> 8, 8 -> 24 (gray
// expanded into all three channels) and 24 -> 24.
TEST_F(DibImageApply, EveryPlacementCopiesPixelForPixel) {
    CDibImage source24;
    ASSERT_EQ(source24.Create(6, 5, 24), 1);
    source24.BlitFrom(source_, nullptr, 0, 0);
    const Rect rects[] = {{0, 0, 6, 5}, {-2, -3, 4, 2}, {1, 2, 9, 9}, {-4, -4, 10, 10}, {2, 1, 3, 2}};
    for (const Rect& r : rects) {
        for (int32_t y = -9; y <= 9; y += 3) {
            for (int32_t x = -9; x <= 11; x += 2) {
                for (int method = 0; method < 4; ++method) {
                    CDibImage target;
                    ASSERT_EQ(target.Create(10, 8, method < 2 ? 8 : 24), 1);
                    if (method == 0) {
                        target.Apply(CopyBytes, &source_, &r, x, y, nullptr, nullptr);
                    } else {
                        target.BlitFrom(method == 3 ? source24 : source_, &r, x, y);
                    }
                    for (int32_t ty = 0; ty < 8; ++ty) {
                        for (int32_t tx = 0; tx < 10; ++tx) {
                            const int32_t sx = tx - x + r.left;
                            const int32_t sy = ty - y + r.top;
                            const bool inside = sx >= r.left && sx < r.right && sy >= r.top && sy < r.bottom &&
                                                sx >= 0 && sx < 6 && sy >= 0 && sy < 5;
                            const int expected = inside ? 1 + sx + 16 * sy : 0;
                            const uint8_t* p = At(target, tx, ty);
                            for (int channel = 0; channel < target.BytesPerPixel(); ++channel) {
                                ASSERT_EQ(p[channel], expected)
                                    << "method " << method << " rect " << r.left << "," << r.top << " at " << x
                                    << "," << y << " pixel " << tx << "," << ty;
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST_F(DibImageApply, InPlaceOnTheDestinationItself) {
    const Rect corner{0, 0, 2, 2};
    EXPECT_EQ(source_.Apply(CopyBytes, nullptr, &corner, 4, 3, nullptr, nullptr), 1);   // null source: itself
    EXPECT_EQ(source_.Apply(CopyBytes, &source_, &corner, 1, 0, nullptr, nullptr), 1);  // overlapping
    EXPECT_TRUE(*At(source_, 4, 3) == 1 && *At(source_, 5, 4) == 1 + 1 + 16 && *At(source_, 3, 3) == 1 + 3 + 48);
    EXPECT_TRUE(*At(source_, 1, 0) == 1 && *At(source_, 2, 1) == 2 + 16 && *At(source_, 0, 1) == 1 + 16);
}

int RecordStretch(uint8_t*, uint8_t*, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth, int32_t,
                  int32_t, int32_t srcHeight, uint16_t, uint16_t, int32_t, int32_t, void* param1, void*) {
    *static_cast<Rect*>(param1) = {dstRect->right, dstWidth, srcRect->left, srcHeight};
    return 3;
}

TEST_F(DibImageApply, StretchedGetsRectanglesUnclippedOrWholeImages) {
    Rect seen{};
    EXPECT_EQ(target_.ApplyStretched(RecordStretch, &source_, nullptr, nullptr, &seen, nullptr), 3);
    EXPECT_TRUE(seen.left == 10 && seen.top == 10 && seen.right == 0 && seen.bottom == 5);
    const Rect wide{-5, -5, 50, 50};
    EXPECT_EQ(target_.ApplyStretched(RecordStretch, &source_, &wide, &wide, &seen, nullptr), 3);
    EXPECT_TRUE(seen.left == 50 && seen.right == -5);
    EXPECT_EQ(target_.ApplyStretched(nullptr, &source_, nullptr, nullptr, &seen, nullptr), 0);
}

}  // namespace
}  // namespace vantix
