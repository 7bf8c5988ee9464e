#pragma once
// What the image and analog dialogs change while they are open: the session's
// image settings, and the camera through the session, so that the session
// keeps the values it applies. The session implements these; the models
// know nothing else of it.
#include <cstdint>

#include "settings/settings_records.h"

namespace vantix::dialogs {

class ImageSettingsTarget {
public:
    virtual ~ImageSettingsTarget() = default;
    virtual ImageSettings Read() = 0;
    // One value of the image settings block (ImageSetting index).
    virtual void Write(int index, int32_t value) = 0;
};

enum class ColorChannel { Green1, Red, Blue, Green2 };

// The camera's ranges and defaults and which optional features it has.
struct AnalogCapabilities {
    int32_t gainMin = 0, gainMax = 0, gainDefault = 0;
    int32_t colorGainMin = 0, colorGainMax = 0, colorGainDefault = 0;
    int32_t exposureMin = 0, exposureMax = 0, exposureDefault = 0;  // units of 0.1 ms
    bool exposureSeconds = false;  // the camera takes exposure in seconds
    double secondsMin = 0.0, secondsMax = 0.0, secondsDefault = 0.0;
    bool blackLevel = false;
    int32_t blackLevelDefault = 0;
    bool cooler = false;
    bool shortExposureMode = false;
    bool gainMode = false;
};

class AnalogTarget {
public:
    virtual ~AnalogTarget() = default;
    virtual AnalogCapabilities Capabilities() = 0;
    // The session's camera settings block.
    virtual CameraSettings Camera() = 0;
    // Stored and applied to the camera at once.
    virtual void SetGlobalGain(int32_t gain) = 0;
    virtual void SetColorGain(ColorChannel channel, int32_t gain) = 0;
    virtual void SetExposure(int32_t tenthsOfMs) = 0;
    // False when the camera refuses the value; nothing is stored then.
    virtual bool SetExposureSeconds(double seconds) = 0;
    virtual void SetMirrorV(bool on) = 0;
    virtual void SetMirrorH(bool on) = 0;
    virtual void SetAutoIris(int32_t mode) = 0;
    virtual void SetBlackLevel(int32_t level) = 0;
    virtual void SetCooler(bool on) = 0;
    virtual void SetShortExposureMode(bool on) = 0;
    virtual void SetGainMode(int32_t mode) = 0;
    // The camera's exposure now, in 0.1 ms and in seconds (false without).
    virtual int32_t CameraExposure() = 0;
    virtual bool CameraExposureSeconds(double* seconds) = 0;
    // Stores the values the dialog shows when it closes with OK.
    virtual void StoreGainsAndExposure(int32_t global, int32_t green1, int32_t red, int32_t blue, int32_t green2,
                                       int32_t exposure) = 0;
};

}  // namespace vantix::dialogs
