#pragma once
// Shows a dialog model on screen and runs it until it ends. The toolkit view
// is a module of its own, loaded on first use (view_module.cpp), so a process
// that never opens a dialog never loads a toolkit. Tests put a presenter of
// their own in its place.
#include "dialogs/dialog_model.h"

namespace vantix::dialogs {

class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    // Makes dialogs ready to be shown; false when there is no display or the
    // view cannot be loaded. Nothing is changed then.
    virtual bool Prepare() = 0;
    // Shows `model` modally for the X11 window `owner` (0: none, centred on
    // the screen) and returns when the model has ended; false when the dialog
    // could not be shown.
    virtual bool Run(DialogModel& model, unsigned long owner) = 0;
};

// The presenter the session uses: the toolkit view unless replaced.
DialogPresenter& ActivePresenter();
// Puts `presenter` in place (null: the toolkit view again); returns the one
// it replaces, null for the toolkit view.
DialogPresenter* ReplacePresenter(DialogPresenter* presenter);

// One dialog of each kind open at a time in the process: held while a dialog
// runs; a second claim of the same kind fails until the first is released.
class DialogKindClaim {
public:
    explicit DialogKindClaim(DialogKind kind);
    ~DialogKindClaim();
    DialogKindClaim(const DialogKindClaim&) = delete;
    DialogKindClaim& operator=(const DialogKindClaim&) = delete;
    explicit operator bool() const { return claimed_; }

private:
    DialogKind kind_;
    bool claimed_;
};

}  // namespace vantix::dialogs
