// What the three dialog operations do around the dialogs: no engine, no
// display, one dialog of each kind at a time, and the owner window.
#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "dialogs/image_dialog.h"
#include "platform/window_messages.h"
#include "platform/x11_window_target.h"

namespace {

using namespace dialog_test;

class SessionDialogsTest : public DialogSessionTest {};

TEST_F(SessionDialogsTest, WithoutADisplayEveryDialogFailsWithCode4AndChangesNothing) {
    presenter_.prepared = false;
    ASSERT_EQ(session_.SetCaptureWindowEx(3856, 0, 320, 2764, 0, 240), 1);
    ASSERT_EQ(session_.StartPreview(), 1);
    const vantix::ImageSettings image = session_.ImageSettingsBlock();
    EXPECT_EQ(session_.SetCameraDlg(nullptr), 0);
    EXPECT_EQ(session_.PopError(), 4);
    EXPECT_EQ(session_.SetImageDlg(nullptr), 0);
    EXPECT_EQ(session_.PopError(), 4);
    EXPECT_EQ(session_.SetAnalogDlg(nullptr), 0);
    EXPECT_EQ(session_.PopError(), 4);
    EXPECT_EQ(presenter_.runs, 0);
    EXPECT_EQ(session_.SnapShot(nullptr, 0, 0), 0);  // the preview was left running
    EXPECT_EQ(session_.PopError(), 1);
    EXPECT_EQ(session_.ImageSettingsBlock(), image);
    session_.StopPreview();

    // A dialog that could not be shown counts as cancelled.
    presenter_.prepared = true;
    presenter_.shows = false;
    presenter_.script = [&](DialogModel& dialog) { Move(dialog, 0, vantix::dialogs::image_ids::kGamma.trackbar, 10); };
    EXPECT_EQ(session_.SetImageDlg(nullptr), 0);
    EXPECT_EQ(session_.PopError(), 4);
    EXPECT_EQ(session_.ImageSettingsBlock(), image);
}

TEST_F(SessionDialogsTest, TheToolkitViewWithoutADisplayRecordsCode4) {
    ReplacePresenter(nullptr);
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    EXPECT_EQ(session_.SetAnalogDlg(nullptr), 0);
    EXPECT_EQ(session_.PopError(), 4);
    if (display != nullptr) setenv("DISPLAY", saved.c_str(), 1);
}

TEST_F(SessionDialogsTest, OneDialogOfEachKindAtATime) {
    int32_t nestedImage = -1;
    int32_t nestedAnalog = -1;
    int32_t nestedCode = -1;
    presenter_.script = [&](DialogModel& dialog) {
        if (dialog.State().kind != DialogKind::Image) {
            Press(dialog, kIdOk);
            return;
        }
        nestedImage = session_.SetImageDlg(nullptr);
        nestedCode = session_.PopError();
        nestedAnalog = session_.SetAnalogDlg(nullptr);
        Press(dialog, kIdOk);
    };
    EXPECT_EQ(session_.SetImageDlg(nullptr), 1);
    EXPECT_EQ(nestedImage, 0);
    EXPECT_EQ(nestedCode, 4);
    EXPECT_EQ(nestedAnalog, 1);
    EXPECT_EQ(presenter_.runs, 2);
    // Once closed, the kind can be opened again.
    EXPECT_EQ(session_.SetImageDlg(nullptr), 1);
}

TEST_F(SessionDialogsTest, WithoutAnEngineCode1AndTheOwnerIsPassedAsItsX11Window) {
    CVantix idle;
    EXPECT_EQ(idle.SetImageDlg(nullptr), 0);
    EXPECT_EQ(idle.PopError(), 1);
    EXPECT_EQ(presenter_.runs, 0);

    VantixHwnd wrapped = vantix::WrapX11Window(0x2a0001);
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(session_.SetAnalogDlg(wrapped), 1);
    EXPECT_EQ(presenter_.lastOwner, 0x2a0001u);
    VantixHwnd messages = vantix::CreatePollableWindow();
    EXPECT_EQ(session_.SetAnalogDlg(messages), 1);
    EXPECT_EQ(presenter_.lastOwner, 0u);  // not an X11 window: centred on the screen
    vantix::DestroyWindow(messages);
    vantix::DestroyWindow(wrapped);
}

}  // namespace
