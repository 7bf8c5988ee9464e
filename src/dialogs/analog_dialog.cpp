#include "dialogs/analog_dialog.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vantix::dialogs {

namespace {

using namespace analog_ids;

constexpr int kPage = 0;
// The integer exposure reaches the camera as 16 bits.
constexpr int32_t kExposureWordMax = 0xFFFF;

struct ColorGainRow {
    SliderGroup group;
    ColorChannel channel;
};
constexpr ColorGainRow kColorGains[] = {
    {kColorGainG1, ColorChannel::Green1},
    {kColorGainR, ColorChannel::Red},
    {kColorGainB, ColorChannel::Blue},
    {kColorGainG2, ColorChannel::Green2},
};

std::string Format(std::string_view format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, std::string(format).c_str(), value);
    return text;
}

std::optional<double> ParseNumber(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    while (*end == ' ') ++end;
    if (*end != '\0' || !std::isfinite(value) || value < 0.0) return std::nullopt;
    return value;
}

}  // namespace

AnalogDialog::AnalogDialog(AnalogTarget& target, Language language)
    : DialogBase(DialogKind::Analog, language), target_(target), caps_(target.Capabilities()) {
    AddButton(kContainer, kIdOk, TextId::Ok);
    AddButton(kContainer, kIdCancel, TextId::Cancel);
    AddButton(kContainer, kIdDefault, TextId::Default);
    AddPage("analog", TextId::TabAnalogGain);
    AddSliderGroup(kGlobalGain, "s_global_gain", TextId::GlobalGain);
    AddSliderGroup(kColorGainG1, "s_color_gain_g1", TextId::ColorGainG1);
    AddSliderGroup(kColorGainR, "s_color_gain_r", TextId::ColorGainR);
    AddSliderGroup(kColorGainB, "s_color_gain_b", TextId::ColorGainB);
    AddSliderGroup(kColorGainG2, "s_color_gain_g2", TextId::ColorGainG2);
    AddSliderGroup(kExposure, "s_exposure", TextId::Exposure);
    Control label;
    label.id = kExposureMs;
    Add(kPage, label);
    AddLabel(kPage, "s_exposure_seconds", TextId::ExposureSeconds);
    Control edit;
    edit.id = kExposureSeconds;
    edit.kind = ControlKind::Edit;
    Add(kPage, edit);
    Control units;
    units.id = kExposureUnit;
    units.kind = ControlKind::Combo;
    Add(kPage, units);
    label.id = kExposureRange;
    Add(kPage, label);
    AddLabel(kPage, "s_auto_iris", TextId::AutoIris);
    AddButton(kPage, kAutoIrisGain, TextId::AutoIrisGain, ControlKind::Check);
    AddButton(kPage, kAutoIrisExposure, TextId::AutoIrisExposure, ControlKind::Check);
    AddButton(kPage, kMirrorV, TextId::MirrorV, ControlKind::Check);
    AddButton(kPage, kMirrorH, TextId::MirrorH, ControlKind::Check);

    // The 0.1 ms exposure travels in 16 bits: a camera whose range does not
    // fit is set in seconds only.
    exposureGroupVisible_ = !(caps_.exposureSeconds && caps_.exposureMax > kExposureWordMax);
    for (int id : {kExposure.trackbar, kExposure.upDown, kExposure.edit}) At(kPage, id).visible = exposureGroupVisible_;
    for (Control& control : state_.pages[kPage].controls) {
        if (control.name == "s_exposure") control.visible = exposureGroupVisible_;
        if (control.name == "s_exposure_seconds") control.visible = caps_.exposureSeconds;
    }
    for (int id : {kExposureSeconds, kExposureUnit, kExposureRange}) At(kPage, id).visible = caps_.exposureSeconds;
    At(kPage, kExposureMs).visible = exposureGroupVisible_ && !caps_.exposureSeconds;
    if (caps_.exposureSeconds) {
        // Units from that of the shortest exposure up to seconds.
        firstUnit_ = UnitForSeconds(caps_.secondsMin);
        Control& combo = At(kPage, kExposureUnit);
        for (int unit = static_cast<int>(firstUnit_); unit < kExposureUnits; ++unit) {
            combo.items.emplace_back(Tr(UnitText(static_cast<ExposureUnit>(unit))));
        }
        const ExposureUnit minUnit = UnitForSeconds(caps_.secondsMin);
        const ExposureUnit maxUnit = UnitForSeconds(caps_.secondsMax);
        char range[128];
        std::snprintf(range, sizeof range, std::string(Tr(TextId::ExposureRangeFormat)).c_str(),
                      static_cast<int>(caps_.secondsMin * UnitsPerSecond(minUnit)), std::string(Tr(UnitText(minUnit))).c_str(),
                      static_cast<int>(caps_.secondsMax * UnitsPerSecond(maxUnit)), std::string(Tr(UnitText(maxUnit))).c_str());
        At(kPage, kExposureRange).text = range;
    }
    ShowCamera();
}

void AnalogDialog::ShowCamera() {
    const CameraSettings camera = target_.Camera();
    InitSliderGroup(kGlobalGain, caps_.gainMin, caps_.gainMax, 0, camera.globalGain, true);
    const int32_t colorGains[] = {camera.colorGainGreen1, camera.colorGainRed, camera.colorGainBlue, camera.colorGainGreen2};
    for (size_t i = 0; i < std::size(kColorGains); ++i) {
        InitSliderGroup(kColorGains[i].group, caps_.colorGainMin, caps_.colorGainMax, 0, colorGains[i], true);
    }
    InitSliderGroup(kExposure, caps_.exposureMin, caps_.exposureMax, 0, camera.exposure, true);
    At(kPage, kExposureMs).text = Format(Tr(TextId::ExposureMillisecondsFormat), camera.exposure / 10.0);
    if (caps_.exposureSeconds) ShowSeconds(camera.exposureSeconds, UnitForSeconds(camera.exposureSeconds));
    SetChecked(kPage, kAutoIrisGain, camera.autoIris == 2);
    SetChecked(kPage, kAutoIrisExposure, camera.autoIris == 1);
    SetChecked(kPage, kMirrorV, camera.mirrorV != 0);
    SetChecked(kPage, kMirrorH, camera.mirrorH != 0);
}

// Shows a seconds value in the edit, in `unit` or the combo's first unit
// where the value is smaller; the edit's handler does not run.
void AnalogDialog::ShowSeconds(double seconds, ExposureUnit unit) {
    if (unit < firstUnit_) unit = firstUnit_;
    At(kPage, kExposureUnit).value = static_cast<int>(unit) - static_cast<int>(firstUnit_);
    At(kPage, kExposureSeconds).text = FormatExposureNumber(seconds * UnitsPerSecond(unit));
}

ExposureUnit AnalogDialog::SelectedUnit() const {
    const Control* combo = Find(kPage, kExposureUnit);
    const int item = combo == nullptr || combo->value < 0 ? 0 : combo->value;
    return static_cast<ExposureUnit>(std::min(static_cast<int>(firstUnit_) + item, kExposureUnits - 1));
}

// After an exposure change: the camera's exposure as it took it.
void AnalogDialog::ShowExposureFromCamera() {
    const int32_t exposure = target_.CameraExposure();
    ShowGroupValue(kExposure, exposure);
    if (At(kPage, kExposureMs).visible) {
        At(kPage, kExposureMs).text = Format(Tr(TextId::ExposureMillisecondsFormat), exposure / 10.0);
    }
    double seconds = 0.0;
    if (caps_.exposureSeconds && target_.CameraExposureSeconds(&seconds)) ShowSeconds(seconds, UnitForSeconds(seconds));
}

void AnalogDialog::OnGroupValue(const SliderGroup& group, int32_t value) {
    if (group.trackbar == kGlobalGain.trackbar) {
        target_.SetGlobalGain(value);
        // The colour gains follow the global gain, each applying itself.
        for (const ColorGainRow& row : kColorGains) WriteEdit(kPage, row.group.edit, std::to_string(value));
        return;
    }
    for (const ColorGainRow& row : kColorGains) {
        if (group.trackbar == row.group.trackbar) {
            target_.SetColorGain(row.channel, value);
            return;
        }
    }
    if (group.trackbar == kExposure.trackbar) {
        target_.SetExposure(value);
        ShowExposureFromCamera();
    }
}

void AnalogDialog::OnEditChanged(int page, int id, const std::string& text) {
    if (page != kPage || id != kExposureSeconds) return;
    const std::optional<double> typed = ParseNumber(text);
    if (!typed) return;
    if (!target_.SetExposureSeconds(*typed / UnitsPerSecond(SelectedUnit()))) return;
    // The slider follows; the typed text stays as it is while being typed.
    const int32_t exposure = target_.CameraExposure();
    ShowGroupValue(kExposure, exposure);
}

void AnalogDialog::OnComboSelected(int page, int id, int32_t) {
    if (page != kPage || id != kExposureUnit) return;
    double seconds = 0.0;
    if (target_.CameraExposureSeconds(&seconds)) ShowSeconds(seconds, SelectedUnit());
}

void AnalogDialog::OnClicked(int page, int id, int32_t value) {
    if (page == kContainer) {
        if (id == kIdDefault) ApplyDefaults();
        if (id == kIdOk) {
            const auto shown = [&](const SliderGroup& group) { return At(kPage, group.trackbar).value; };
            target_.StoreGainsAndExposure(shown(kGlobalGain), shown(kColorGainG1), shown(kColorGainR),
                                          shown(kColorGainB), shown(kColorGainG2), shown(kExposure));
            End(1);
        }
        if (id == kIdCancel) End(2);
        return;
    }
    switch (id) {
        case kAutoIrisGain:
        case kAutoIrisExposure: {
            // One automatic control at a time: gain (mode 2) or exposure (1).
            const int other = id == kAutoIrisGain ? kAutoIrisExposure : kAutoIrisGain;
            if (value) SetChecked(kPage, other, false);
            target_.SetAutoIris(value ? (id == kAutoIrisGain ? 2 : 1) : 0);
            return;
        }
        case kMirrorV:
            target_.SetMirrorV(value != 0);
            return;
        case kMirrorH:
            target_.SetMirrorH(value != 0);
            return;
        default:
            return;
    }
}

void AnalogDialog::ApplyDefaults() {
    WriteEdit(kPage, kGlobalGain.edit, std::to_string(caps_.gainDefault));
    for (const ColorGainRow& row : kColorGains) WriteEdit(kPage, row.group.edit, std::to_string(caps_.colorGainDefault));
    if (caps_.exposureSeconds && target_.SetExposureSeconds(caps_.secondsDefault)) ShowExposureFromCamera();
    if (exposureGroupVisible_) WriteEdit(kPage, kExposure.edit, std::to_string(caps_.exposureDefault));
    if (caps_.blackLevel) target_.SetBlackLevel(caps_.blackLevelDefault);
    if (caps_.cooler) target_.SetCooler(true);
    if (caps_.shortExposureMode) target_.SetShortExposureMode(false);
    if (caps_.gainMode) target_.SetGainMode(0);
}

}  // namespace vantix::dialogs
