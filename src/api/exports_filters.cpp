// Exports: settings addressed by filter id, exposure, temperature, channel
// gains and offsets, auto-iris and the reserved format queries.
#include <vantix/exports.h>

#include "api/export_call.h"

using vantix::CallSession;

namespace {
// Channel n (1..4) of the channel exports is filter id base + n.
constexpr int32_t kChannelGainBase = 28;
constexpr int32_t kChannelOffsetBase = 32;

bool IsChannel(int32_t channel) { return channel >= 1 && channel <= 4; }
}  // namespace

extern "C" {

VANTIX_API int32_t Vantix_SetFilterValue(int32_t handle, int32_t id, int32_t value) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetFilterValue(id, value); });
}

VANTIX_API int32_t Vantix_GetFilterValue(int32_t handle, int32_t id, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetFilterValue(id, ok); });
}

VANTIX_API int32_t Vantix_SetExposureTimeEx(int32_t handle, double seconds) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetExposureTimeEx(seconds); });
}

VANTIX_API double Vantix_GetExposureTimeEx(int32_t handle, int32_t* ok) {
    return CallSession(handle, 0.0, [&](CVantix& s) { return s.GetExposureTimeEx(ok); });
}

VANTIX_API int32_t Vantix_SetRealExposureTime(int32_t handle, int32_t microseconds) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetRealExposureTime(microseconds); });
}

VANTIX_API int32_t Vantix_GetRealExposureTime(int32_t handle, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetRealExposureTime(ok); });
}

VANTIX_API double Vantix_GetTemperatureEx(int32_t handle, int32_t* ok) {
    return CallSession(handle, 0.0, [&](CVantix& s) { return s.GetTemperatureEx(ok); });
}

VANTIX_API int32_t Vantix_SetChannelGain(int32_t handle, int32_t channel, int32_t value) {
    if (!IsChannel(channel)) return 0;
    return Vantix_SetFilterValue(handle, kChannelGainBase + channel, value);
}

VANTIX_API int32_t Vantix_GetChannelGain(int32_t handle, int32_t channel, int32_t* ok) {
    if (!IsChannel(channel)) return 0;
    return Vantix_GetFilterValue(handle, kChannelGainBase + channel, ok);
}

VANTIX_API int32_t Vantix_SetChannelOffset(int32_t handle, int32_t channel, int32_t value) {
    if (!IsChannel(channel)) return 0;
    return Vantix_SetFilterValue(handle, kChannelOffsetBase + channel, value);
}

VANTIX_API int32_t Vantix_GetChannelOffset(int32_t handle, int32_t channel, int32_t* ok) {
    if (!IsChannel(channel)) return 0;
    return Vantix_GetFilterValue(handle, kChannelOffsetBase + channel, ok);
}

VANTIX_API int32_t Vantix_SetAutoIris(int32_t handle, int32_t mode) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetAutoIris(mode); });
}

VANTIX_API int32_t Vantix_GetAutoIris(int32_t handle, int32_t* ok) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetAutoIris(ok); });
}

VANTIX_API int32_t Vantix_SetSamplingRate(int32_t handle, int32_t rate) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetSamplingRate(rate); });
}

// Reserved queries, one body for both names: the value is always 0.
static int32_t ReservedFormatQuery(int32_t handle, int32_t* value) {
    return CallSession(handle, 0, [&](CVantix&) {
        if (value != nullptr) *value = 0;
        return 0;
    });
}

VANTIX_API int32_t Vantix_GetSamplingRate(int32_t handle, int32_t* value) {
    return ReservedFormatQuery(handle, value);
}

VANTIX_API int32_t Vantix_GetVideoFormat(int32_t handle, int32_t* value) {
    return ReservedFormatQuery(handle, value);
}

VANTIX_API int32_t Vantix_SetConfigFilter(int32_t handle, int32_t /*reserved*/) {
    return CallSession(handle, 0, [](CVantix& s) {
        s.RecordError(vantix::kErrorNotSupported);
        return -1;
    });
}

VANTIX_API int32_t Vantix_GetConfigFilter(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) {
        s.RecordError(vantix::kErrorNotSupported);
        return -1;
    });
}

// Each fixed-id pair is a named shortcut for one filter id.
#define VANTIX_FILTER_EXPORTS(Name, id)                                      \
    VANTIX_API int32_t Vantix_Set##Name(int32_t handle, int32_t value) {     \
        return Vantix_SetFilterValue(handle, id, value);                     \
    }                                                                        \
    VANTIX_API int32_t Vantix_Get##Name(int32_t handle, int32_t* ok) {       \
        return Vantix_GetFilterValue(handle, id, ok);                        \
    }

VANTIX_FILTER_EXPORTS(Brightness, 1)
VANTIX_FILTER_EXPORTS(Contrast, 2)
VANTIX_FILTER_EXPORTS(Hue, 3)
VANTIX_FILTER_EXPORTS(Saturation, 4)
VANTIX_FILTER_EXPORTS(Sharpness, 5)
VANTIX_FILTER_EXPORTS(BayerGainRGB, 6)
VANTIX_FILTER_EXPORTS(BayerGainRed, 7)
VANTIX_FILTER_EXPORTS(BayerGainGreen, 8)
VANTIX_FILTER_EXPORTS(BayerGainBlue, 9)
VANTIX_FILTER_EXPORTS(BayerGainAuto, 10)
VANTIX_FILTER_EXPORTS(Gamma, 11)
VANTIX_FILTER_EXPORTS(BayerMode, 12)
VANTIX_FILTER_EXPORTS(GlobalGain, 13)
VANTIX_FILTER_EXPORTS(ColorGainRed, 14)
VANTIX_FILTER_EXPORTS(ColorGainGreen1, 15)
VANTIX_FILTER_EXPORTS(ColorGainGreen2, 16)
VANTIX_FILTER_EXPORTS(ColorGainBlue, 17)
VANTIX_FILTER_EXPORTS(ExposureTime, 18)
VANTIX_FILTER_EXPORTS(GrayMode, 19)
VANTIX_FILTER_EXPORTS(GrayGainR, 20)
VANTIX_FILTER_EXPORTS(GrayGainG1, 21)
VANTIX_FILTER_EXPORTS(GrayGainG2, 22)
VANTIX_FILTER_EXPORTS(GrayGainB, 23)
VANTIX_FILTER_EXPORTS(GrayOffsetR, 24)
VANTIX_FILTER_EXPORTS(GrayOffsetG1, 25)
VANTIX_FILTER_EXPORTS(GrayOffsetG2, 26)
VANTIX_FILTER_EXPORTS(GrayOffsetB, 27)
VANTIX_FILTER_EXPORTS(Peltier, 100)
VANTIX_FILTER_EXPORTS(DotFilter, 102)
VANTIX_FILTER_EXPORTS(MaskFilter, 103)
#undef VANTIX_FILTER_EXPORTS

VANTIX_API int32_t Vantix_GetTemperature(int32_t handle, int32_t* ok) { return Vantix_GetFilterValue(handle, 101, ok); }

}  // extern "C"
