#pragma once
// The camera dialog: colour mode, capture size presets, sub-sampling, wait
// time and clock of one camera, read from and saved to the settings file.
// Apply and OK save; the caller reloads the session's format on OK only.
#include <functional>
#include <vector>

#include "dialogs/dialog_base.h"
#include "settings/settings_persistence.h"
#include "settings/settings_records.h"

namespace vantix::dialogs {

namespace camera_ids {
inline constexpr int kColor = 1009;
inline constexpr int kSize = 1010;
inline constexpr int kSubSample = 1012;
inline constexpr int kClock = 1014;
// H Total, V Total, H Effective, V Effective, H Start, V Start.
inline constexpr int kGeometryEdits[6] = {1039, 1040, 1041, 1042, 1043, 1044};
inline constexpr int kWaitTime = 1045;
}  // namespace camera_ids

class CameraDialog final : public DialogBase {
public:
    // A capture window the session accepts with a sub-sampling mode.
    using WindowCheck = std::function<bool(const CaptureGeometry&, int32_t subSample)>;
    CameraDialog(SettingsOwner camera, bool freeWidth, bool freeHeight, WindowCheck check, Language language);

    // What the last successful Apply or OK saved.
    const std::vector<CaptureGeometry>& Presets() const { return presets_; }

private:
    int CustomItem() const { return static_cast<int>(presets_.size()); }
    void FillSizeCombo();
    void ShowPreset(const CaptureGeometry& preset);
    void EnableApply(bool enabled) { At(kContainer, kIdApply).enabled = enabled; }
    // Reads and saves the controls; false (with the reason in the status)
    // when a value cannot be a setting or the settings file refused them.
    bool Save();

    void OnEditChanged(int page, int id, const std::string& text) override;
    void OnComboSelected(int page, int id, int32_t item) override;
    void OnClicked(int page, int id, int32_t value) override;

    SettingsOwner camera_;
    WindowCheck check_;
    std::vector<CaptureGeometry> presets_;
    CaptureFormat format_;
};

}  // namespace vantix::dialogs
