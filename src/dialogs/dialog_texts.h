#pragma once
// Every text the settings dialogs show, in English and Japanese, side by side
// in one table (dialog_texts.cpp). Captions keep their Windows-style mnemonic
// marker "&"; a view turns it into its toolkit's own.
#include <string_view>

namespace vantix::dialogs {

enum class Language { English, Japanese };

// The language of a locale name such as "ja_JP.UTF-8": Japanese for the
// language "ja", English for anything else (null and "C" included).
Language LanguageOfLocale(const char* locale);
// The language of the user's messages locale: LC_ALL, else LC_MESSAGES, else
// LANG, as the C library resolves them.
Language UserLanguage();

enum class TextId {
    // Containers
    Title, TabStreamFormat, TabImageFilter, TabGrayFilter, TabAnalogGain,
    Ok, Cancel, Default, Apply,
    // Camera dialog
    ColorCompression, Size, SubSample, CameraSize, HTotal, VTotal, HEffective, VEffective, HStart, VStart,
    WaitTime, Milliseconds, Clock, WordModeNote,
    Monochrome8, MonochromeBitsFormat, Color24, Color32, Color48, Color64, Custom,
    SubSampleFull, SubSampleHalf, SubSampleQuarter,
    ClockNormal, ClockHalf, ClockHighFormat,
    InvalidCaptureSize, InvalidWaitTime, TooManySizes, SettingsNotSaved,
    // Image filter and gray filter pages
    Brightness, Contrast, Hue, Saturation, Sharpness, RedGain, GreenGain, BlueGain, Gamma,
    BayerMode, BayerMode0, BayerMode1, BayerMode2, BayerMode3,
    AutoWhiteBalance, Once, AllFrames,
    GrayGain, GrayOffset, Red, Green1, Green2, Blue,
    FilterMode, FilterBayer, FilterBayerConvert, FilterGrayscale, AutoGain,
    // Analog page
    GlobalGain, ColorGainG1, ColorGainR, ColorGainB, ColorGainG2, Exposure,
    ExposureMillisecondsFormat, ExposureSeconds, ExposureRangeFormat,
    UnitNanoseconds, UnitMicroseconds, UnitMilliseconds, UnitSeconds,
    AutoIris, AutoIrisGain, AutoIrisExposure, MirrorV, MirrorH,
    Count
};

struct TextEntry {
    TextId id;
    std::string_view english;
    std::string_view japanese;
};

std::string_view Text(TextId id, Language language);
// The whole table, in TextId order, for checks that every text has both
// languages.
const TextEntry* TextTable(int* count);

}  // namespace vantix::dialogs
