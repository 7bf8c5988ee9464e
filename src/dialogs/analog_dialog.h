#pragma once
// The analog dialog: global and colour gains, exposure (in 0.1 ms and, for
// cameras that take it, in seconds with a unit), auto-iris and mirroring.
// Every control applies its value to the camera at once; the caller puts the
// camera back unless the dialog ends with OK.
#include "dialogs/dialog_base.h"
#include "dialogs/dialog_targets.h"
#include "dialogs/exposure_units.h"

namespace vantix::dialogs {

namespace analog_ids {
inline constexpr SliderGroup kGlobalGain{0, 1013, 1038, 1015};
inline constexpr SliderGroup kColorGainG1{0, 1018, 1039, 1019};
inline constexpr SliderGroup kColorGainR{0, 1020, 1040, 1021};
inline constexpr SliderGroup kColorGainB{0, 1022, 1041, 1023};
inline constexpr SliderGroup kColorGainG2{0, 1024, 1042, 1025};
inline constexpr SliderGroup kExposure{0, 1026, 1043, 1027};
inline constexpr int kExposureMs = 1049;       // "=%.2fms"
inline constexpr int kExposureSeconds = 2131;  // edit, in the unit of kExposureUnit
inline constexpr int kExposureUnit = 2132;
inline constexpr int kExposureRange = 2133;
inline constexpr int kAutoIrisGain = 1036;
inline constexpr int kAutoIrisExposure = 1037;
inline constexpr int kMirrorV = 1028;
inline constexpr int kMirrorH = 1029;
}  // namespace analog_ids

class AnalogDialog final : public DialogBase {
public:
    AnalogDialog(AnalogTarget& target, Language language);

private:
    void ShowCamera();
    void ShowExposureFromCamera();
    void ShowSeconds(double seconds, ExposureUnit unit);
    ExposureUnit SelectedUnit() const;
    void ApplyDefaults();

    void OnGroupValue(const SliderGroup& group, int32_t value) override;
    void OnEditChanged(int page, int id, const std::string& text) override;
    void OnComboSelected(int page, int id, int32_t item) override;
    void OnClicked(int page, int id, int32_t value) override;

    AnalogTarget& target_;
    AnalogCapabilities caps_;
    ExposureUnit firstUnit_ = ExposureUnit::Seconds;  // of the unit combo's first item
    bool exposureGroupVisible_ = true;
};

}  // namespace vantix::dialogs
