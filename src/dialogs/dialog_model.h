#pragma once
// The toolkit-neutral form of a settings dialog, as a view sees it: a title,
// the container's buttons and one page per tab, each a list of controls with
// their state; and the events the view reports back. The model changes the
// state in response; the view shows the state after every event.
//
// This header is shared with the view module, which is loaded at run time and
// reaches the model only through DialogModel's virtual functions and the
// plain structures below; kDialogInterfaceVersion changes with any of them.
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/dialog_texts.h"

namespace vantix::dialogs {

inline constexpr int kDialogInterfaceVersion = 1;

// Control ids of the containers.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdDefault = 3;
inline constexpr int kIdTab = 1001;
inline constexpr int kIdApply = 1002;

enum class DialogKind { Camera, Image, Analog };
inline constexpr int kDialogKinds = 3;

enum class ControlKind { Label, Button, Check, Radio, Combo, Edit, Trackbar, UpDown };

struct Control {
    int id = 0;        // 0 for static texts
    std::string name;  // widget name in the page template: "c<id>", or the static text's name
    ControlKind kind = ControlKind::Label;
    std::string text;  // caption, label text or edit contents
    bool enabled = true;
    bool visible = true;
    // Trackbar and up-down: position; check and radio: 1 when checked; combo:
    // the selected item (-1 none).
    int32_t value = 0;
    int32_t minimum = 0;  // trackbar and up-down range
    int32_t maximum = 0;
    int32_t tickFrequency = 0;  // trackbar
    std::vector<std::string> items;  // combo
};

struct DialogPage {
    std::string templateName;  // the page's template: camera, image_filter, gray_filter, analog
    std::string tabCaption;
    std::vector<Control> controls;
};

struct DialogState {
    DialogKind kind = DialogKind::Camera;
    Language language = Language::English;
    std::string title;
    std::vector<Control> buttons;  // of the container, in the order shown
    std::vector<DialogPage> pages;
    int selectedTab = 0;
    int result = 0;  // 0 while open; 1 OK, 2 Cancel
    std::string status;  // why the last Apply or OK did not go through; empty otherwise
};

enum class EventKind {
    TrackbarMoved,  // value: the new position
    EditChanged,    // text: the new contents
    UpDownStep,     // value: +1 or -1
    ComboSelected,  // value: the item
    Clicked,        // buttons; checks and radios with value = the new check state
    TabSelected,    // value: the page
    CloseRequested, // the window's close button: the same as Cancel
};

struct DialogEvent {
    EventKind kind = EventKind::Clicked;
    int page = -1;  // -1: a container control
    int id = 0;
    int32_t value = 0;
    std::string text;
};

class DialogModel {
public:
    virtual ~DialogModel() = default;
    virtual const DialogState& State() const = 0;
    virtual void Handle(const DialogEvent& event) = 0;
};

inline const char* DialogKindName(DialogKind kind) {
    switch (kind) {
        case DialogKind::Camera:
            return "camera";
        case DialogKind::Image:
            return "image";
        case DialogKind::Analog:
            return "analog";
    }
    return "";
}

}  // namespace vantix::dialogs
