#include "dialogs/image_dialog.h"

#include <algorithm>
#include <string>

namespace vantix::dialogs {

namespace {

using namespace image_ids;

constexpr int kImagePage = 0;

struct FilterRow {
    SliderGroup group;
    const char* label;
    TextId caption;
    int index;
    int32_t minimum, maximum, tick;
    bool colourOnly;  // enabled only for colour modes
};
constexpr FilterRow kFilterRows[] = {
    {kBrightness, "s_brightness", TextId::Brightness, vantix::kBrightness, -255, 255, 64, false},
    {kContrast, "s_contrast", TextId::Contrast, vantix::kContrast, -127, 127, 32, false},
    {kHue, "s_hue", TextId::Hue, vantix::kHue, -360, 360, 90, true},
    {kSaturation, "s_saturation", TextId::Saturation, vantix::kSaturation, -255, 255, 64, true},
    {kSharpness, "s_sharpness", TextId::Sharpness, vantix::kSharpness, 0, 30, 4, false},
    {kRedGain, "s_red_gain", TextId::RedGain, vantix::kBayerGainRed, 0, 400, 32, true},
    {kGreenGain, "s_green_gain", TextId::GreenGain, vantix::kBayerGainGreen, 0, 400, 32, true},
    {kBlueGain, "s_blue_gain", TextId::BlueGain, vantix::kBayerGainBlue, 0, 400, 32, true},
    {kGamma, "s_gamma", TextId::Gamma, vantix::kGamma, 0, 200, 32, false},
};

constexpr TextId kBayerModeTexts[4] = {TextId::BayerMode0, TextId::BayerMode1, TextId::BayerMode2, TextId::BayerMode3};
constexpr TextId kChannelTexts[4] = {TextId::Red, TextId::Green1, TextId::Green2, TextId::Blue};
constexpr const char* kChannelNames[4] = {"red", "green1", "green2", "blue"};
constexpr int kGrayGainIndex[4] = {vantix::kGrayGainR, vantix::kGrayGainG1, vantix::kGrayGainG2, vantix::kGrayGainB};
constexpr int kGrayOffsetIndex[4] = {vantix::kGrayOffsetR, vantix::kGrayOffsetG1, vantix::kGrayOffsetG2,
                                     vantix::kGrayOffsetB};

// Filter id 28 levels the gray gains on the next frame at 1 and on every
// frame at -1.
constexpr int32_t kGrayAutoOnce = 1;
constexpr int32_t kGrayAutoAllFrames = -1;

constexpr int32_t kFilterDefault = 0;
constexpr int32_t kGainDefault = 100;  // Bayer gains and gamma
constexpr int32_t kBayerModeDefault = 3;
constexpr int32_t kGrayDefault = 128;  // gray gains and offsets

}  // namespace

ImageDialog::ImageDialog(ImageSettingsTarget& target, bool monochrome, Language language)
    : DialogBase(DialogKind::Image, language), target_(target), monochrome_(monochrome) {
    AddButton(kContainer, kIdOk, TextId::Ok);
    AddButton(kContainer, kIdCancel, TextId::Cancel);
    AddButton(kContainer, kIdDefault, TextId::Default);
    BuildImageFilterPage();
    if (monochrome_) BuildGrayFilterPage();
    ShowSettings(target_.Read());
}

void ImageDialog::BuildImageFilterPage() {
    AddPage("image_filter", TextId::TabImageFilter);
    for (const FilterRow& row : kFilterRows) {
        AddSliderGroup(row.group, row.label, row.caption);
        settings_.push_back({row.group, row.index});
    }
    AddLabel(kImagePage, "s_bayer_mode", TextId::BayerMode);
    for (int mode = 0; mode < 4; ++mode) AddButton(kImagePage, kBayerMode0 + mode, kBayerModeTexts[mode], ControlKind::Radio);
    AddLabel(kImagePage, "s_auto_white_balance", TextId::AutoWhiteBalance);
    AddButton(kImagePage, kOnce, TextId::Once);
    AddButton(kImagePage, kAllFrames, TextId::AllFrames, ControlKind::Check);
}

void ImageDialog::BuildGrayFilterPage() {
    AddPage("gray_filter", TextId::TabGrayFilter);
    const int page = gray_ids::kPage;
    AddLabel(page, "s_gain", TextId::GrayGain);
    AddLabel(page, "s_offset", TextId::GrayOffset);
    for (int channel = 0; channel < 4; ++channel) {
        const SliderGroup gain = gray_ids::Group(gray_ids::kGainTrackbars[channel]);
        const SliderGroup offset = gray_ids::Group(gray_ids::kOffsetTrackbars[channel]);
        AddSliderGroup(gain, std::string("s_gain_") + kChannelNames[channel], kChannelTexts[channel]);
        AddSliderGroup(offset, std::string("s_offset_") + kChannelNames[channel], kChannelTexts[channel]);
        settings_.push_back({gain, kGrayGainIndex[channel]});
        settings_.push_back({offset, kGrayOffsetIndex[channel]});
    }
    AddLabel(page, "s_filter_mode", TextId::FilterMode);
    AddButton(page, gray_ids::kModeBayer, TextId::FilterBayer, ControlKind::Radio);
    AddButton(page, gray_ids::kModeBayerConvert, TextId::FilterBayerConvert, ControlKind::Radio);
    AddButton(page, gray_ids::kModeGrayscale, TextId::FilterGrayscale, ControlKind::Radio);
    AddLabel(page, "s_auto_gain", TextId::AutoGain);
    AddButton(page, kOnce, TextId::Once);
    AddButton(page, kAllFrames, TextId::AllFrames, ControlKind::Check);
    AddLabel(page, "s_bayer_mode", TextId::BayerMode);
    for (int mode = 0; mode < 4; ++mode) AddButton(page, kBayerMode0 + mode, kBayerModeTexts[mode], ControlKind::Radio);
}

void ImageDialog::ShowSettings(const ImageSettings& s) {
    for (const FilterRow& row : kFilterRows) {
        InitSliderGroup(row.group, row.minimum, row.maximum, row.tick, s[static_cast<size_t>(row.index)],
                        !(monochrome_ && row.colourOnly));
    }
    for (int mode = kBayerMode0; mode <= kBayerMode3; ++mode) At(kImagePage, mode).enabled = !monochrome_;
    At(kImagePage, kOnce).enabled = !monochrome_;
    At(kImagePage, kAllFrames).enabled = !monochrome_;
    // "All frames" shows a running automatic white balance, not a one-push.
    SetChecked(kImagePage, kAllFrames,
               s[kBayerGainAuto] != 0 && s[kBayerOneShotA] == 0 && s[kBayerOneShotB] == 0);
    const int32_t bayerMode = s[vantix::kBayerMode] & 3;
    CheckRadio(kImagePage, kBayerMode0, kBayerMode3, kBayerMode0 + bayerMode);
    if (!monochrome_) return;
    const int page = gray_ids::kPage;
    for (int channel = 0; channel < 4; ++channel) {
        InitSliderGroup(gray_ids::Group(gray_ids::kGainTrackbars[channel]), 0, 400, 32,
                        s[static_cast<size_t>(kGrayGainIndex[channel])], true);
        InitSliderGroup(gray_ids::Group(gray_ids::kOffsetTrackbars[channel]), -255, 255, 32,
                        s[static_cast<size_t>(kGrayOffsetIndex[channel])], true);
    }
    CheckRadio(page, gray_ids::kModeBayer, gray_ids::kModeGrayscale,
               gray_ids::kModeBayer + std::clamp(s[vantix::kGrayMode], 0, 2));
    SetChecked(page, kAllFrames, s[vantix::kFilter28] == kGrayAutoAllFrames);
    CheckRadio(page, kBayerMode0, kBayerMode3, kBayerMode0 + bayerMode);
}

const ImageDialog::Setting* ImageDialog::SettingOf(const SliderGroup& group) const {
    for (const Setting& setting : settings_) {
        if (setting.group.page == group.page && setting.group.trackbar == group.trackbar) return &setting;
    }
    return nullptr;
}

void ImageDialog::OnGroupValue(const SliderGroup& group, int32_t value) {
    if (const Setting* setting = SettingOf(group)) target_.Write(setting->index, value);
}

void ImageDialog::SetBayerMode(int32_t mode) {
    target_.Write(vantix::kBayerMode, mode);
    for (int page = 0; page < static_cast<int>(state_.pages.size()); ++page) {
        CheckRadio(page, kBayerMode0, kBayerMode3, kBayerMode0 + mode);
    }
}

void ImageDialog::OnClicked(int page, int id, int32_t value) {
    if (page == kContainer) {
        if (id == kIdDefault) ApplyDefaults();
        if (id == kIdOk) {
            ReadPagesIntoBlock();
            End(1);
        }
        if (id == kIdCancel) End(2);
        return;
    }
    if (id >= kBayerMode0 && id <= kBayerMode3) {
        SetBayerMode(id - kBayerMode0);
        return;
    }
    if (page == kImagePage) {
        if (id == kOnce) {
            // One white balance on the next frame; the conversion clears the
            // three flags when it is done.
            target_.Write(kBayerGainAuto, 1);
            target_.Write(kBayerOneShotA, 1);
            target_.Write(kBayerOneShotB, 1);
            SetChecked(kImagePage, kAllFrames, false);
        } else if (id == kAllFrames) {
            target_.Write(kBayerGainAuto, value);
            target_.Write(kBayerOneShotA, 0);
            target_.Write(kBayerOneShotB, 0);
        }
        return;
    }
    if (id >= gray_ids::kModeBayer && id <= gray_ids::kModeGrayscale) {
        target_.Write(vantix::kGrayMode, id - gray_ids::kModeBayer);
        CheckRadio(page, gray_ids::kModeBayer, gray_ids::kModeGrayscale, id);
    } else if (id == kOnce) {
        // A one-time levelling replaces levelling on every frame.
        target_.Write(vantix::kFilter28, kGrayAutoOnce);
        SetChecked(page, kAllFrames, false);
    } else if (id == kAllFrames) {
        target_.Write(vantix::kFilter28, value ? kGrayAutoAllFrames : 0);
    }
}

void ImageDialog::ApplyDefaults() {
    const auto set = [&](const SliderGroup& group, int index, int32_t value) {
        ShowGroupValue(group, value);
        target_.Write(index, value);
    };
    set(kBrightness, vantix::kBrightness, kFilterDefault);
    set(kContrast, vantix::kContrast, kFilterDefault);
    set(kHue, vantix::kHue, kFilterDefault);
    set(kSaturation, vantix::kSaturation, kFilterDefault);
    set(kSharpness, vantix::kSharpness, kFilterDefault);
    set(kRedGain, vantix::kBayerGainRed, kGainDefault);
    set(kGreenGain, vantix::kBayerGainGreen, kGainDefault);
    set(kBlueGain, vantix::kBayerGainBlue, kGainDefault);
    set(kGamma, vantix::kGamma, kGainDefault);
    SetBayerMode(kBayerModeDefault);
    if (!monochrome_) return;
    for (int channel = 0; channel < 4; ++channel) {
        set(gray_ids::Group(gray_ids::kGainTrackbars[channel]), kGrayGainIndex[channel], kGrayDefault);
        set(gray_ids::Group(gray_ids::kOffsetTrackbars[channel]), kGrayOffsetIndex[channel], kGrayDefault);
    }
}

// The values the pages show become the block's, whatever the conversion
// changed meanwhile.
void ImageDialog::ReadPagesIntoBlock() {
    for (const Setting& setting : settings_) {
        target_.Write(setting.index, At(setting.group.page, setting.group.trackbar).value);
    }
    for (int mode = kBayerMode0; mode <= kBayerMode3; ++mode) {
        if (At(kImagePage, mode).value) target_.Write(vantix::kBayerMode, mode - kBayerMode0);
    }
    if (!monochrome_) return;
    for (int id = gray_ids::kModeBayer; id <= gray_ids::kModeGrayscale; ++id) {
        if (At(gray_ids::kPage, id).value) target_.Write(vantix::kGrayMode, id - gray_ids::kModeBayer);
    }
}

}  // namespace vantix::dialogs
