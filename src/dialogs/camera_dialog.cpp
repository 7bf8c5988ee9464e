#include "dialogs/camera_dialog.h"

#include <cstdio>
#include <string>

#include "settings/settings_persistence.h"

namespace vantix::dialogs {

namespace {

using namespace camera_ids;

constexpr int kPage = 0;
constexpr int32_t kNewPresetBuffers = 4;
// The 16-bit monochrome item names its depth through a format.
constexpr int32_t kMonochromeWideBits = 16;
// The clock list always shows its third item, 48 MHz, and cannot be changed.
constexpr int32_t kHighClockMHz = 48;
constexpr int32_t kShownClockItem = 2;

std::string SizeItem(const CaptureGeometry& preset) {
    char text[48];
    std::snprintf(text, sizeof text, "%d x %d", preset.width, preset.height);
    return text;
}

std::string WithNumber(std::string_view format, int32_t number) {
    char text[96];
    std::snprintf(text, sizeof text, std::string(format).c_str(), number);
    return text;
}

// The six geometry edits in the order of their ids.
int32_t CaptureGeometry::* const kGeometryFields[6] = {
    &CaptureGeometry::totalWidth, &CaptureGeometry::totalHeight, &CaptureGeometry::width,
    &CaptureGeometry::height,     &CaptureGeometry::startX,      &CaptureGeometry::startY,
};
constexpr TextId kGeometryTexts[6] = {TextId::HTotal,     TextId::VTotal, TextId::HEffective,
                                      TextId::VEffective, TextId::HStart, TextId::VStart};
constexpr const char* kGeometryLabels[6] = {"s_h_total",     "s_v_total", "s_h_effective",
                                            "s_v_effective", "s_h_start", "s_v_start"};

}  // namespace

CameraDialog::CameraDialog(SettingsOwner camera, bool freeWidth, bool freeHeight, WindowCheck check, Language language)
    : DialogBase(DialogKind::Camera, language), camera_(camera), check_(std::move(check)) {
    AddButton(kContainer, kIdOk, TextId::Ok);
    AddButton(kContainer, kIdCancel, TextId::Cancel);
    AddButton(kContainer, kIdApply, TextId::Apply);
    AddPage("camera", TextId::TabStreamFormat);

    // Controls are added first and filled afterwards: adding moves them.
    const auto addCombo = [&](int id, const char* label, TextId caption) {
        AddLabel(kPage, label, caption);
        Control combo;
        combo.id = id;
        combo.kind = ControlKind::Combo;
        Add(kPage, std::move(combo));
    };
    addCombo(kColor, "s_color", TextId::ColorCompression);
    addCombo(kSize, "s_size", TextId::Size);
    addCombo(kSubSample, "s_sub_sample", TextId::SubSample);
    AddLabel(kPage, "s_camera_size", TextId::CameraSize);
    for (int i = 0; i < 6; ++i) {
        AddLabel(kPage, kGeometryLabels[i], kGeometryTexts[i]);
        Control edit;
        edit.id = kGeometryEdits[i];
        edit.kind = ControlKind::Edit;
        // H edits (even positions) need a free width, V edits a free height.
        edit.enabled = i % 2 == 0 ? freeWidth : freeHeight;
        Add(kPage, std::move(edit));
    }
    AddLabel(kPage, "s_wait_time", TextId::WaitTime);
    Control wait;
    wait.id = kWaitTime;
    wait.kind = ControlKind::Edit;
    Add(kPage, std::move(wait));
    AddLabel(kPage, "s_wait_time_unit", TextId::Milliseconds);
    addCombo(kClock, "s_clock", TextId::Clock);
    AddLabel(kPage, "s_note", TextId::WordModeNote);

    Control& color = At(kPage, kColor);
    color.items = {std::string(Tr(TextId::Monochrome8)), WithNumber(Tr(TextId::MonochromeBitsFormat), kMonochromeWideBits),
                   std::string(Tr(TextId::Color24)),     std::string(Tr(TextId::Color32)),
                   std::string(Tr(TextId::Color48)),     std::string(Tr(TextId::Color64))};
    Control& subSample = At(kPage, kSubSample);
    subSample.items = {std::string(Tr(TextId::SubSampleFull)), std::string(Tr(TextId::SubSampleHalf)),
                       std::string(Tr(TextId::SubSampleQuarter))};
    Control& clock = At(kPage, kClock);
    clock.items = {std::string(Tr(TextId::ClockNormal)), std::string(Tr(TextId::ClockHalf)),
                   WithNumber(Tr(TextId::ClockHighFormat), kHighClockMHz)};
    clock.value = kShownClockItem;
    clock.enabled = false;

    // The stored values; a camera without a key shows the defaults.
    format_ = CaptureFormat{0, 2, 0, 1, 0};
    LoadSizePresets(camera_, &presets_, &format_);
    FillSizeCombo();
    Control& size = At(kPage, kSize);
    size.enabled = freeWidth || freeHeight;
    const bool storedPreset = format_.sizeIndex >= 0 && format_.sizeIndex < CustomItem();
    size.value = storedPreset ? format_.sizeIndex : CustomItem();
    ShowPreset(storedPreset ? presets_[static_cast<size_t>(format_.sizeIndex)] : kDefaultPreset);
    color.value = format_.colorModeIndex >= 0 && format_.colorModeIndex < 6 ? format_.colorModeIndex : 0;
    subSample.value = format_.subSample >= 0 && format_.subSample <= 2 ? format_.subSample : 0;
    At(kPage, kWaitTime).text = std::to_string(format_.waitTimeMs);
    EnableApply(false);
}

void CameraDialog::FillSizeCombo() {
    Control& size = At(kPage, kSize);
    size.items.clear();
    for (const CaptureGeometry& preset : presets_) size.items.push_back(SizeItem(preset));
    size.items.emplace_back(Tr(TextId::Custom));
}

void CameraDialog::ShowPreset(const CaptureGeometry& preset) {
    for (int i = 0; i < 6; ++i) At(kPage, kGeometryEdits[i]).text = std::to_string(preset.*kGeometryFields[i]);
}

void CameraDialog::OnEditChanged(int, int, const std::string&) { EnableApply(true); }

void CameraDialog::OnComboSelected(int page, int id, int32_t item) {
    if (page == kPage && id == kSize && item < CustomItem()) ShowPreset(presets_[static_cast<size_t>(item)]);
    EnableApply(true);
}

void CameraDialog::OnClicked(int page, int id, int32_t) {
    if (page != kContainer) return;
    if (id == kIdApply && Save()) EnableApply(false);
    if (id == kIdOk && Save()) End(1);
    if (id == kIdCancel) End(2);
}

bool CameraDialog::Save() {
    const auto refuse = [&](TextId reason) {
        state_.status = Tr(reason);
        return false;
    };
    const std::optional<int32_t> wait = EditInteger(kPage, kWaitTime);
    if (!wait || *wait < 0) return refuse(TextId::InvalidWaitTime);
    const int32_t item = At(kPage, kSize).value;
    const bool custom = item >= CustomItem() || item < 0;
    CaptureGeometry geometry = custom ? kDefaultPreset : presets_[static_cast<size_t>(item)];
    if (custom) geometry.bufferCount = kNewPresetBuffers;
    for (int i = 0; i < 6; ++i) {
        const std::optional<int32_t> value = EditInteger(kPage, kGeometryEdits[i]);
        if (!value || *value < 0) return refuse(TextId::InvalidCaptureSize);
        geometry.*kGeometryFields[i] = *value;
    }
    const int32_t subSample = At(kPage, kSubSample).value;
    if (!check_(geometry, subSample)) return refuse(TextId::InvalidCaptureSize);

    std::vector<CaptureGeometry> presets = presets_;
    int32_t selected = item;
    if (custom) {
        if (static_cast<int32_t>(presets.size()) >= kMaxSizePresets) return refuse(TextId::TooManySizes);
        presets.push_back(geometry);
        selected = static_cast<int32_t>(presets.size()) - 1;
    } else {
        presets[static_cast<size_t>(item)] = geometry;
    }
    const CaptureFormat format{selected, At(kPage, kColor).value, subSample, *wait, At(kPage, kClock).value};
    if (!SaveSizePresets(camera_, presets, format)) return refuse(TextId::SettingsNotSaved);
    presets_ = std::move(presets);
    format_ = format;
    FillSizeCombo();  // a new preset's item goes before "Custom"
    At(kPage, kSize).value = selected;
    state_.status.clear();
    return true;
}

}  // namespace vantix::dialogs
