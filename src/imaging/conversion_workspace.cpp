#include "imaging/conversion_workspace.h"

#include <algorithm>

#include "imaging/filters/filters.h"

namespace vantix {

ConversionWorkspace::ConversionWorkspace(int32_t threads)
    : threads_(threads > 0 ? threads : DefaultWorkerThreads()), scratch_(static_cast<size_t>(threads_)) {}

WorkerPool& ConversionWorkspace::Pool() {
    if (pool_ == nullptr) {
        pool_ = std::make_unique<WorkerPool>(threads_);
    }
    return *pool_;
}

const filter_detail::ToneTable& ConversionWorkspace::Cached(CachedTable& cache, int32_t sampleBytes, int32_t gamma,
                                                            int32_t contrast, int32_t brightness,
                                                            bool foldBrightness) {
    if (cache.valid && cache.sampleBytes == sampleBytes && cache.gamma == gamma && cache.contrast == contrast &&
        cache.brightness == brightness && cache.foldBrightness == foldBrightness) {
        return cache.table;
    }
    // The same clamping as the whole-image filters.
    const int32_t g = std::clamp(gamma, kGammaMin, kGammaMax);
    const int32_t c = std::clamp(contrast, kContrastMin, kContrastMax);
    filter_detail::ToneTable& table = cache.table;
    table.Reset(sampleBytes);
    if (gamma != kGammaNeutral) {
        table.Then([g](uint8_t* t) { filter_detail::BuildGammaTable(g, t); },
                   [g](uint16_t* t) { filter_detail::BuildGammaTable(g, t); });
    }
    if (contrast != 0) {
        table.Then([c](uint8_t* t) { filter_detail::BuildContrastTable(c, t); },
                   [c](uint16_t* t) { filter_detail::BuildContrastTable(c, t); });
    }
    if (foldBrightness && brightness != 0) {
        table.Then([brightness](uint8_t* t) { filter_detail::BuildBrightnessTable(brightness, t); },
                   [brightness](uint16_t* t) { filter_detail::BuildBrightnessTable(brightness, t); });
    }
    table.IndexHighBytes();
    cache.valid = true;
    cache.sampleBytes = sampleBytes;
    cache.gamma = gamma;
    cache.contrast = contrast;
    cache.brightness = brightness;
    cache.foldBrightness = foldBrightness;
    return table;
}

const filter_detail::ToneTable& ConversionWorkspace::ToneTableFor(int32_t sampleBytes, int32_t gamma,
                                                                  int32_t contrast, int32_t brightness,
                                                                  bool foldBrightness) {
    return Cached(tones_, sampleBytes, gamma, contrast, brightness, foldBrightness);
}

const filter_detail::ToneTable& ConversionWorkspace::BrightnessTableFor(int32_t sampleBytes, int32_t brightness) {
    return Cached(brightness_, sampleBytes, kGammaNeutral, 0, brightness, true);
}

}  // namespace vantix
