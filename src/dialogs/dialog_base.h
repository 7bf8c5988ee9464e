#pragma once
// What the three dialog models share: building pages out of controls, the
// event dispatch, and slider groups. A slider group is a trackbar, an edit
// box and an up-down control bound to the edit: moving the trackbar or
// stepping the up-down writes the edit, and a change of the edit moves the
// trackbar and applies the value.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/dialog_model.h"

namespace vantix::dialogs {

inline constexpr int kContainer = -1;  // page index of the container's buttons

struct SliderGroup {
    int page = 0;
    int trackbar = 0;
    int upDown = 0;
    int edit = 0;
};

class DialogBase : public DialogModel {
public:
    const DialogState& State() const override { return state_; }
    void Handle(const DialogEvent& event) override;

    // For tests and views: a control by page and id, null when absent.
    const Control* Find(int page, int id) const;

protected:
    DialogBase(DialogKind kind, Language language);

    std::string_view Tr(TextId id) const { return Text(id, state_.language); }
    int AddPage(std::string templateName, TextId tabCaption);
    Control& Add(int page, Control control);
    void AddLabel(int page, std::string name, TextId text);
    void AddButton(int page, int id, TextId text, ControlKind kind = ControlKind::Button);
    void AddSliderGroup(const SliderGroup& group, std::string labelName, TextId caption);
    Control* Find(int page, int id);
    Control& At(int page, int id);

    // Range, tick frequency, position and enable state of all three controls;
    // the edit shows the position. No handler runs.
    void InitSliderGroup(const SliderGroup& group, int32_t minimum, int32_t maximum, int32_t tick, int32_t position,
                         bool enabled);
    void EnableSliderGroup(const SliderGroup& group, bool enabled);
    // Shows `value` in the group as the dialog itself does: no handler runs.
    void ShowGroupValue(const SliderGroup& group, int32_t value);
    // Writes an edit as the user would: its change handler runs.
    void WriteEdit(int page, int id, std::string text);
    // Checks `id` and unchecks the other radio buttons in [first, last].
    void CheckRadio(int page, int first, int last, int id);
    void SetChecked(int page, int id, bool checked);

    static std::optional<int32_t> ParseInteger(std::string_view text);
    std::optional<int32_t> EditInteger(int page, int id) const;
    void End(int result) { state_.result = result; }

    // Handlers. OnGroupValue receives a changed slider-group edit's value,
    // limited to the group's range.
    virtual void OnGroupValue(const SliderGroup& group, int32_t value);
    virtual void OnEditChanged(int page, int id, const std::string& text);
    virtual void OnClicked(int page, int id, int32_t value);
    virtual void OnComboSelected(int page, int id, int32_t item);
    virtual void OnTabSelected(int page);

    DialogState state_;

private:
    const SliderGroup* GroupWith(int page, int id, int SliderGroup::* member) const;
    void EditChanged(int page, int id, std::string text);
    std::vector<SliderGroup> groups_;
};

}  // namespace vantix::dialogs
