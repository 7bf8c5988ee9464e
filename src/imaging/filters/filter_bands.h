#pragma once
// The filters by row bands, for a pipeline that spreads a frame over
// several threads. Rows are memory rows. Each function names what it reads
// outside its rows; the caller runs the bands of one pass at once and the
// passes one after the other. Every result equals the whole-image filter's.
#include <cstdint>
#include <vector>

#include "imaging/cpu_dispatch.h"
#include "imaging/dib_image.h"
#include "imaging/filters/tone_table.h"

namespace vantix {

// Dot filter: PrepareDotFilter once, then the mark pass over all rows, then
// the fill pass over all rows. The mark pass reads raw rows one above and
// below its own; the fill pass reads unmarked samples and marks anywhere.
struct DotFilterPlan {
    CDibImage* raw = nullptr;
    uint8_t* samples = nullptr;  // raw's first memory row
    ptrdiff_t sampleStride = 0;
    const CDibImage* hotMap = nullptr;
    const CDibImage* deadMap = nullptr;
    uint8_t* marks = nullptr;  // the work map's first row, or ownMarks
    ptrdiff_t markStride = 0;
    int32_t markBytes = 1;
    int32_t threshold = 0;
};
// Per-thread scratch of the passes, kept between frames.
struct DotFilterScratch {
    std::vector<uint8_t> flags;
    std::vector<int32_t> above;
    std::vector<int32_t> belowRow;
    std::vector<int32_t> below;
};
// As ApplyDotFilter chooses the marks' place: the work map when it can hold
// them, otherwise ownMarks (resized). False when raw is not 8- or 16-bit.
bool PrepareDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap,
                      std::vector<uint8_t>& ownMarks, DotFilterPlan* plan);
void DotFilterMarkRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch);
void DotFilterFillRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch);

// Hot-pixel filter in two passes. The screen pass, by bands, marks in
// `candidates` (one byte per sample, `candidateStride` bytes per row) the
// samples whose mean test passes on the frame as delivered; it reads raw
// rows two above and below its own. The resolve pass then runs over the
// whole frame on one thread, in memory order like the whole-image filter,
// testing the candidates, the samples whose screen a replacement two rows
// up or two samples to the left may have changed, and nothing else.
void HotPixelScreenRows(const CDibImage& raw, int32_t rowBegin, int32_t rowEnd, uint8_t* candidates,
                        ptrdiff_t candidateStride);
struct HotPixelScratch {
    std::vector<int32_t> replaced[3];  // columns replaced in the last rows
};
void HotPixelResolve(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain, uint8_t* candidates,
                     ptrdiff_t candidateStride, HotPixelScratch& scratch);

// Point filters on rows [rowBegin, rowEnd) of the image, in place.
void ApplyHueSaturationRows(CDibImage& image, int32_t hue, int32_t saturation, int32_t rowBegin, int32_t rowEnd,
                            KernelLevel level);
// table.sampleBytes must match the image's channel width.
void MapToneTableRows(CDibImage& image, const filter_detail::ToneTable& table, int32_t rowBegin, int32_t rowEnd,
                      KernelLevel level);

// Gives scratch the image's size, depth and stride (re-creating it only
// when they differ), without copying pixels. 1 on success, 0 when image is
// empty or scratch cannot be created.
int PrepareFilterScratch(const CDibImage& image, CDibImage& scratch);

// Sharpness of the image's rows [rowBegin, rowEnd) from scratch (a copy of
// the image, reading its rows two above and one below); `sums` is per-thread
// scratch. The image's two-pixel border is left alone.
void ApplySharpnessRows(CDibImage& image, const CDibImage& scratch, int32_t sharpness, int32_t rowBegin,
                        int32_t rowEnd, std::vector<int32_t>& sums, KernelLevel level);

}  // namespace vantix
