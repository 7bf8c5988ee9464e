#pragma once
// Driving a dialog model as a user would, and a presenter that runs a script
// on the model instead of showing it.
#include <functional>
#include <stdexcept>
#include <string>

#include "dialogs/dialog_base.h"
#include "dialogs/dialog_presenter.h"

namespace dialog_test {

using namespace vantix::dialogs;

inline const Control& ControlOf(const DialogModel& model, int page, int id) {
    const std::vector<Control>& list =
        page == kContainer ? model.State().buttons : model.State().pages.at(static_cast<size_t>(page)).controls;
    for (const Control& control : list) {
        if (control.id == id) return control;
    }
    throw std::runtime_error("no control " + std::to_string(id) + " on page " + std::to_string(page));
}

inline const Control& NamedControl(const DialogModel& model, int page, const std::string& name) {
    for (const Control& control : model.State().pages.at(static_cast<size_t>(page)).controls) {
        if (control.name == name) return control;
    }
    throw std::runtime_error("no control " + name);
}

inline void Move(DialogModel& model, int page, int trackbar, int32_t position) {
    model.Handle({EventKind::TrackbarMoved, page, trackbar, position, {}});
}
inline void Type(DialogModel& model, int page, int edit, const std::string& text) {
    model.Handle({EventKind::EditChanged, page, edit, 0, text});
}
inline void Step(DialogModel& model, int page, int upDown, int32_t delta) {
    model.Handle({EventKind::UpDownStep, page, upDown, delta, {}});
}
inline void Choose(DialogModel& model, int page, int combo, int32_t item) {
    model.Handle({EventKind::ComboSelected, page, combo, item, {}});
}
inline void Click(DialogModel& model, int page, int id, int32_t checked = 0) {
    model.Handle({EventKind::Clicked, page, id, checked, {}});
}
inline void Press(DialogModel& model, int button) { Click(model, kContainer, button); }

class ScriptedPresenter final : public DialogPresenter {
public:
    bool Prepare() override { return prepared; }
    bool Run(DialogModel& model, unsigned long owner) override {
        ++runs;
        lastOwner = owner;
        if (script) script(model);
        // A script that leaves the dialog open closes it as the window's
        // close button would.
        if (model.State().result == 0) model.Handle({EventKind::CloseRequested, kContainer, 0, 0, {}});
        return shows;
    }
    bool prepared = true;
    bool shows = true;
    int runs = 0;
    unsigned long lastOwner = 0;
    std::function<void(DialogModel&)> script;
};

}  // namespace dialog_test

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "emulator/emulator.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

namespace dialog_test {

// A session with one virtual camera selected, whose dialogs run scripts.
class DialogSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        vantix::emulator::Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        const std::string path = vantix::emulator::Emulator::Instance().Plug(0x3040);
        vantix::emulator::Emulator::Instance().Find(path)->SetUnthrottled(true);
        previous_ = ReplacePresenter(&presenter_);
        ASSERT_TRUE(session_.Initialize(nullptr));
        ASSERT_NE(session_.Engine()->Sensor(), nullptr);
        while (session_.PopError() != 0) {
        }
    }
    void TearDown() override {
        ReplacePresenter(previous_);
        vantix::emulator::Emulator::Instance().Reset();
    }
    int32_t Filter(int32_t id) {
        int32_t ok = 0;
        return session_.GetFilterValue(id, &ok);
    }

    ScriptedPresenter presenter_;
    DialogPresenter* previous_ = nullptr;
    CVantix session_;
};

}  // namespace dialog_test
