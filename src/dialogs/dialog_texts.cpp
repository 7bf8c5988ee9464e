// The dialogs' texts. English captions, combo items and formats are the
// product's own; the Japanese column says the same in the words a Japanese
// camera user expects, with the mnemonic letter in parentheses as Japanese
// desktop software writes it.
#include "dialogs/dialog_texts.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace vantix::dialogs {

namespace {

using T = TextId;
constexpr std::array<TextEntry, static_cast<size_t>(TextId::Count)> kTexts = {{
    {T::Title, "Property", "プロパティ"},
    {T::TabStreamFormat, "Stream Format", "ストリーム形式"},
    {T::TabImageFilter, "Image Filter", "画像フィルター"},
    {T::TabGrayFilter, "Gray Filter", "グレーフィルター"},
    {T::TabAnalogGain, "Analog Gain", "アナログゲイン"},
    {T::Ok, "OK", "OK"},
    {T::Cancel, "Cancel", "キャンセル"},
    {T::Default, "Default(&D)", "既定値(&D)"},
    {T::Apply, "Apply(&A)", "適用(&A)"},

    {T::ColorCompression, "Color / Compression", "カラー / 圧縮"},
    {T::Size, "Size", "サイズ"},
    {T::SubSample, "Sub Sample", "サブサンプル"},
    {T::CameraSize, "Camera Size", "カメラサイズ"},
    {T::HTotal, "H Total", "水平トータル"},
    {T::VTotal, "V Total", "垂直トータル"},
    {T::HEffective, "H Effective", "水平有効"},
    {T::VEffective, "V Effective", "垂直有効"},
    {T::HStart, "H Start", "水平開始"},
    {T::VStart, "V Start", "垂直開始"},
    {T::WaitTime, "Wait Time", "待ち時間"},
    {T::Milliseconds, "ms", "ms"},
    {T::Clock, "Clock", "クロック"},
    {T::WordModeNote, "* In the WORD forwarding mode, please set the clock to the half.",
     "* WORD 転送モードでは、クロックをハーフに設定してください。"},
    {T::Monochrome8, "Monochrome 8bit", "モノクロ 8bit"},
    {T::MonochromeBitsFormat, "Monochrome %dbit *", "モノクロ %dbit *"},
    {T::Color24, "Color 24bit", "カラー 24bit"},
    {T::Color32, "Color 32bit", "カラー 32bit"},
    {T::Color48, "Color 48bit *", "カラー 48bit *"},
    {T::Color64, "Color 64bit *", "カラー 64bit *"},
    {T::Custom, "Custom", "カスタム"},
    {T::SubSampleFull, "1/1", "1/1"},
    {T::SubSampleHalf, "1/2 Skip", "1/2 間引き"},
    {T::SubSampleQuarter, "1/4 Skip", "1/4 間引き"},
    {T::ClockNormal, "Nomal(24MHz)", "標準(24MHz)"},
    {T::ClockHalf, "Half(12MHz)", "ハーフ(12MHz)"},
    {T::ClockHighFormat, "High(%dMHz)", "高速(%dMHz)"},
    {T::InvalidCaptureSize, "The capture size does not fit the sensor.", "撮像サイズがセンサーに収まりません。"},
    {T::InvalidWaitTime, "The wait time must be a number of milliseconds, 0 or more.",
     "待ち時間は 0 以上のミリ秒で指定してください。"},
    {T::TooManySizes, "No room for another size (at most 100).", "これ以上サイズを追加できません (最大 100)。"},
    {T::SettingsNotSaved, "The settings could not be saved.", "設定を保存できませんでした。"},

    {T::Brightness, "&Brightness", "明るさ(&B)"},
    {T::Contrast, "&Contrast", "コントラスト(&C)"},
    {T::Hue, "&Hue", "色相(&H)"},
    {T::Saturation, "&Saturation", "彩度(&S)"},
    {T::Sharpness, "Shar&pness", "シャープネス(&P)"},
    {T::RedGain, "&R Gain", "R ゲイン(&R)"},
    {T::GreenGain, "&G Gain", "G ゲイン(&G)"},
    {T::BlueGain, "&B Gain", "B ゲイン(&B)"},
    {T::Gamma, "&Gamma", "ガンマ(&G)"},
    {T::BayerMode, "Bayer Mode", "ベイヤーモード"},
    {T::BayerMode0, "Mode 0", "モード 0"},
    {T::BayerMode1, "Mode 1", "モード 1"},
    {T::BayerMode2, "Mode 2", "モード 2"},
    {T::BayerMode3, "Mode 3", "モード 3"},
    {T::AutoWhiteBalance, "Auto white balance", "オートホワイトバランス"},
    {T::Once, "Once", "1 回"},
    {T::AllFrames, "All frames", "全フレーム"},
    {T::GrayGain, "Gain", "ゲイン"},
    {T::GrayOffset, "Offset", "オフセット"},
    {T::Red, "Red", "赤"},
    {T::Green1, "Green1", "緑1"},
    {T::Green2, "Green2", "緑2"},
    {T::Blue, "Blue", "青"},
    {T::FilterMode, "Filter mode", "フィルターモード"},
    {T::FilterBayer, "Bayer", "ベイヤー"},
    {T::FilterBayerConvert, "Bayer convert", "ベイヤー変換"},
    {T::FilterGrayscale, "Grayscale", "グレースケール"},
    {T::AutoGain, "Auto Gain", "オートゲイン"},

    {T::GlobalGain, "&Global Gain", "グローバルゲイン(&G)"},
    {T::ColorGainG1, "&Color Gain G1", "カラーゲイン G1(&C)"},
    {T::ColorGainR, "R", "R"},
    {T::ColorGainB, "B", "B"},
    {T::ColorGainG2, "G2", "G2"},
    {T::Exposure, "&Exposure", "露光時間(&E)"},
    {T::ExposureMillisecondsFormat, "=%.2fms", "=%.2fms"},
    {T::ExposureSeconds, "Exposure time", "露光時間 (単位指定)"},
    {T::ExposureRangeFormat, "range: %d%s - %d%s", "範囲: %d%s - %d%s"},
    {T::UnitNanoseconds, "ns", "ns"},
    {T::UnitMicroseconds, "µs", "µs"},
    {T::UnitMilliseconds, "ms", "ms"},
    {T::UnitSeconds, "sec", "秒"},
    {T::AutoIris, "Auto Iris", "オートアイリス"},
    {T::AutoIrisGain, "Gain", "ゲイン"},
    {T::AutoIrisExposure, "Exposure", "露光"},
    {T::MirrorV, "Mirror V", "上下反転"},
    {T::MirrorH, "Mirror H", "左右反転"},
}};

// The table is indexed by TextId: each entry must sit at its own index.
constexpr bool TableInOrder() {
    for (size_t i = 0; i < kTexts.size(); ++i) {
        if (static_cast<size_t>(kTexts[i].id) != i) return false;
    }
    return true;
}
static_assert(TableInOrder(), "dialog texts out of TextId order");

}  // namespace

Language LanguageOfLocale(const char* locale) {
    if (locale == nullptr) return Language::English;
    // "ll", "ll_CC", "ll.codeset" or "ll@modifier": the language is the part
    // before the first '_', '.' or '@'.
    const size_t length = std::strcspn(locale, "_.@");
    return length == 2 && std::strncmp(locale, "ja", 2) == 0 ? Language::Japanese : Language::English;
}

Language UserLanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return LanguageOfLocale(value);
    }
    return Language::English;
}

std::string_view Text(TextId id, Language language) {
    const TextEntry& entry = kTexts[static_cast<size_t>(id)];
    return language == Language::Japanese ? entry.japanese : entry.english;
}

const TextEntry* TextTable(int* count) {
    *count = static_cast<int>(kTexts.size());
    return kTexts.data();
}

}  // namespace vantix::dialogs
