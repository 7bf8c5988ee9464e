#pragma once
// The image dialog: the image filter page, and for monochrome colour modes
// the gray filter page. Every control writes the session's image settings at
// once, so a running preview shows the change; the caller restores the block
// it saved unless the dialog ends with OK.
#include "dialogs/dialog_base.h"
#include "dialogs/dialog_targets.h"

namespace vantix::dialogs {

// Control ids of the image filter page.
namespace image_ids {
inline constexpr SliderGroup kBrightness{0, 2001, 2004, 2002};
inline constexpr SliderGroup kContrast{0, 2011, 2014, 2012};
inline constexpr SliderGroup kHue{0, 2021, 2024, 2022};
inline constexpr SliderGroup kSaturation{0, 2031, 2034, 2032};
inline constexpr SliderGroup kSharpness{0, 2041, 2044, 2042};
inline constexpr SliderGroup kRedGain{0, 2051, 2054, 2052};
inline constexpr SliderGroup kGreenGain{0, 2061, 2063, 2062};
inline constexpr SliderGroup kBlueGain{0, 2071, 2073, 2072};
inline constexpr SliderGroup kGamma{0, 2081, 2084, 2082};
inline constexpr int kBayerMode0 = 1030;  // to 1033, on both pages
inline constexpr int kBayerMode3 = 1033;
inline constexpr int kOnce = 2074;        // on both pages
inline constexpr int kAllFrames = 1035;   // on both pages
}  // namespace image_ids

// Control ids of the gray filter page: gain and offset trackbars, each with
// its edit and up-down at the next two ids.
namespace gray_ids {
inline constexpr int kPage = 1;
inline constexpr int kGainTrackbars[4] = {2100, 2103, 2106, 2109};    // R, G1, G2, B
inline constexpr int kOffsetTrackbars[4] = {2112, 2115, 2118, 2121};  // R, G1, G2, B
inline constexpr int kModeBayer = 1046;
inline constexpr int kModeBayerConvert = 1047;
inline constexpr int kModeGrayscale = 1048;
constexpr SliderGroup Group(int trackbar) { return {kPage, trackbar, trackbar + 2, trackbar + 1}; }
}  // namespace gray_ids

class ImageDialog final : public DialogBase {
public:
    // `monochrome`: the session's colour mode is 8 or 16 bits.
    ImageDialog(ImageSettingsTarget& target, bool monochrome, Language language);
    bool HasGrayPage() const { return monochrome_; }

private:
    struct Setting {
        SliderGroup group;
        int index;  // in the image settings block
    };
    void BuildImageFilterPage();
    void BuildGrayFilterPage();
    void ShowSettings(const ImageSettings& settings);
    const Setting* SettingOf(const SliderGroup& group) const;
    void SetBayerMode(int32_t mode);
    void ApplyDefaults();
    void ReadPagesIntoBlock();

    void OnGroupValue(const SliderGroup& group, int32_t value) override;
    void OnClicked(int page, int id, int32_t value) override;

    ImageSettingsTarget& target_;
    bool monochrome_;
    std::vector<Setting> settings_;
};

}  // namespace vantix::dialogs
