#include "dialogs/dialog_base.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace vantix::dialogs {

namespace {

std::string IdName(int id) { return "c" + std::to_string(id); }

}  // namespace

DialogBase::DialogBase(DialogKind kind, Language language) {
    state_.kind = kind;
    state_.language = language;
    state_.title = Text(TextId::Title, language);
}

int DialogBase::AddPage(std::string templateName, TextId tabCaption) {
    DialogPage page;
    page.templateName = std::move(templateName);
    page.tabCaption = Tr(tabCaption);
    state_.pages.push_back(std::move(page));
    return static_cast<int>(state_.pages.size()) - 1;
}

Control& DialogBase::Add(int page, Control control) {
    if (control.name.empty()) control.name = IdName(control.id);
    std::vector<Control>& list = page == kContainer ? state_.buttons : state_.pages.at(static_cast<size_t>(page)).controls;
    list.push_back(std::move(control));
    return list.back();
}

void DialogBase::AddLabel(int page, std::string name, TextId text) {
    Control label;
    label.name = std::move(name);
    label.text = Tr(text);
    Add(page, std::move(label));
}

void DialogBase::AddButton(int page, int id, TextId text, ControlKind kind) {
    Control button;
    button.id = id;
    button.kind = kind;
    button.text = Tr(text);
    Add(page, std::move(button));
}

void DialogBase::AddSliderGroup(const SliderGroup& group, std::string labelName, TextId caption) {
    AddLabel(group.page, std::move(labelName), caption);
    for (auto [id, kind] : {std::pair{group.trackbar, ControlKind::Trackbar}, std::pair{group.edit, ControlKind::Edit},
                            std::pair{group.upDown, ControlKind::UpDown}}) {
        Control control;
        control.id = id;
        control.kind = kind;
        Add(group.page, std::move(control));
    }
    groups_.push_back(group);
}

const Control* DialogBase::Find(int page, int id) const {
    const std::vector<Control>* list = nullptr;
    if (page == kContainer) {
        list = &state_.buttons;
    } else if (page >= 0 && page < static_cast<int>(state_.pages.size())) {
        list = &state_.pages[static_cast<size_t>(page)].controls;
    } else {
        return nullptr;
    }
    for (const Control& control : *list) {
        if (control.id == id && id != 0) return &control;
    }
    return nullptr;
}

Control* DialogBase::Find(int page, int id) {
    return const_cast<Control*>(static_cast<const DialogBase*>(this)->Find(page, id));
}

Control& DialogBase::At(int page, int id) {
    Control* control = Find(page, id);
    if (control == nullptr) throw std::logic_error("dialog control " + std::to_string(id) + " missing");
    return *control;
}

const SliderGroup* DialogBase::GroupWith(int page, int id, int SliderGroup::* member) const {
    for (const SliderGroup& group : groups_) {
        if (group.page == page && group.*member == id) return &group;
    }
    return nullptr;
}

void DialogBase::InitSliderGroup(const SliderGroup& group, int32_t minimum, int32_t maximum, int32_t tick,
                                 int32_t position, bool enabled) {
    for (int id : {group.trackbar, group.upDown}) {
        Control& control = At(group.page, id);
        control.minimum = minimum;
        control.maximum = std::max(minimum, maximum);
    }
    At(group.page, group.trackbar).tickFrequency = tick;
    ShowGroupValue(group, position);
    EnableSliderGroup(group, enabled);
}

void DialogBase::EnableSliderGroup(const SliderGroup& group, bool enabled) {
    for (int id : {group.trackbar, group.upDown, group.edit}) At(group.page, id).enabled = enabled;
}

void DialogBase::ShowGroupValue(const SliderGroup& group, int32_t value) {
    for (int id : {group.trackbar, group.upDown}) {
        Control& control = At(group.page, id);
        control.value = std::clamp(value, control.minimum, control.maximum);
    }
    At(group.page, group.edit).text = std::to_string(value);
}

void DialogBase::WriteEdit(int page, int id, std::string text) { EditChanged(page, id, std::move(text)); }

void DialogBase::CheckRadio(int page, int first, int last, int id) {
    for (int radio = first; radio <= last; ++radio) {
        if (Control* control = Find(page, radio)) control->value = radio == id;
    }
}

void DialogBase::SetChecked(int page, int id, bool checked) { At(page, id).value = checked ? 1 : 0; }

std::optional<int32_t> DialogBase::ParseInteger(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int32_t> DialogBase::EditInteger(int page, int id) const {
    const Control* control = Find(page, id);
    return control == nullptr ? std::nullopt : ParseInteger(control->text);
}

void DialogBase::EditChanged(int page, int id, std::string text) {
    Control* edit = Find(page, id);
    if (edit == nullptr || edit->kind != ControlKind::Edit) return;
    edit->text = std::move(text);
    if (const SliderGroup* group = GroupWith(page, id, &SliderGroup::edit)) {
        const std::optional<int32_t> value = ParseInteger(edit->text);
        if (!value) return;  // a number being typed, or no number: nothing to apply
        const Control& trackbar = At(page, group->trackbar);
        const int32_t limited = std::clamp(*value, trackbar.minimum, trackbar.maximum);
        for (int control : {group->trackbar, group->upDown}) At(page, control).value = limited;
        OnGroupValue(*group, limited);
        return;
    }
    OnEditChanged(page, id, edit->text);
}

void DialogBase::Handle(const DialogEvent& event) {
    if (state_.result != 0) return;  // ended: the view is closing
    switch (event.kind) {
        case EventKind::TrackbarMoved:
            if (const SliderGroup* group = GroupWith(event.page, event.id, &SliderGroup::trackbar)) {
                const Control& trackbar = At(event.page, group->trackbar);
                if (!trackbar.enabled) return;
                WriteEdit(event.page, group->edit, std::to_string(std::clamp(event.value, trackbar.minimum, trackbar.maximum)));
            }
            return;
        case EventKind::UpDownStep:
            if (const SliderGroup* group = GroupWith(event.page, event.id, &SliderGroup::upDown)) {
                const Control& upDown = At(event.page, group->upDown);
                if (!upDown.enabled) return;
                const int32_t current = EditInteger(event.page, group->edit).value_or(upDown.value);
                const int64_t next = std::clamp<int64_t>(int64_t{current} + event.value, upDown.minimum, upDown.maximum);
                WriteEdit(event.page, group->edit, std::to_string(next));
            }
            return;
        case EventKind::EditChanged: {
            const Control* edit = Find(event.page, event.id);
            if (edit == nullptr || !edit->enabled || edit->text == event.text) return;
            WriteEdit(event.page, event.id, event.text);
            return;
        }
        case EventKind::ComboSelected: {
            Control* combo = Find(event.page, event.id);
            if (combo == nullptr || combo->kind != ControlKind::Combo || !combo->enabled) return;
            if (event.value < 0 || event.value >= static_cast<int32_t>(combo->items.size())) return;
            combo->value = event.value;
            OnComboSelected(event.page, event.id, event.value);
            return;
        }
        case EventKind::Clicked: {
            Control* control = Find(event.page, event.id);
            if (control == nullptr || !control->enabled || !control->visible) return;
            if (control->kind == ControlKind::Check) control->value = event.value != 0;
            if (control->kind == ControlKind::Radio) control->value = 1;
            OnClicked(event.page, event.id, control->value);
            return;
        }
        case EventKind::TabSelected:
            if (event.value < 0 || event.value >= static_cast<int32_t>(state_.pages.size())) return;
            state_.selectedTab = event.value;
            OnTabSelected(event.value);
            return;
        case EventKind::CloseRequested:
            OnClicked(kContainer, kIdCancel, 0);
            return;
    }
}

void DialogBase::OnGroupValue(const SliderGroup&, int32_t) {}
void DialogBase::OnEditChanged(int, int, const std::string&) {}
void DialogBase::OnClicked(int, int, int32_t) {}
void DialogBase::OnComboSelected(int, int, int32_t) {}
void DialogBase::OnTabSelected(int) {}

}  // namespace vantix::dialogs
