#pragma once
// A dialog model shown as a GTK window built from the page templates: each
// control of the model is the template widget of the same name. The window
// reports what the user does to the model and shows the model's state after
// every event.
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"

namespace vantix::dialogs::gtk {

class DialogWindow {
public:
    explicit DialogWindow(DialogModel& model);
    ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // False when a template or one of the model's controls is missing from it.
    bool Build();
    // Shows the window for the X11 window `owner` (0: centred on the screen)
    // and runs until the model has ended.
    void Run(unsigned long owner);
    GtkWidget* Window() const { return window_; }

    // Called once the window is first drawn (tests look at it then).
    using ShownHook = void (*)(GtkWidget* window, const char* kind, void* user);
    static void SetShownHook(ShownHook hook, void* user);

private:
    struct Binding {
        DialogWindow* owner = nullptr;
        int page = -1;
        size_t index = 0;
        GtkWidget* widget = nullptr;
        int delta = 0;  // up-down buttons: the step
        std::vector<std::string> shownItems;  // combo
        int32_t shownTick = -1, shownMin = 0, shownMax = -1;  // trackbar marks
    };
    const Control& ControlOf(const Binding& binding) const;
    bool BindPage(GtkBuilder* builder, int page, const std::vector<Control>& controls);
    void Connect(Binding& binding, const Control& control, GtkBuilder* builder);
    void Sync();
    void SyncControl(Binding& binding);
    void Send(const DialogEvent& event);
    void PlaceFor(unsigned long owner);

    static void OnClicked(GtkButton* button, gpointer data);
    static void OnToggled(GtkToggleButton* button, gpointer data);
    static void OnComboChanged(GtkComboBox* combo, gpointer data);
    static void OnEntryChanged(GtkEditable* entry, gpointer data);
    static void OnValueChanged(GtkRange* range, gpointer data);
    static void OnStep(GtkButton* button, gpointer data);
    static void OnSwitchPage(GtkNotebook* notebook, GtkWidget* page, guint number, gpointer data);
    static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer data);
    static gboolean OnKey(GtkWidget* widget, GdkEventKey* event, gpointer data);
    static gboolean OnFirstDraw(GtkWidget* widget, cairo_t* cr, gpointer data);
    static gboolean CallShownHook(gpointer data);

    DialogModel& model_;
    GtkWidget* window_ = nullptr;
    GtkWidget* notebook_ = nullptr;
    GtkWidget* status_ = nullptr;
    std::vector<GtkBuilder*> builders_;
    std::vector<std::unique_ptr<Binding>> bindings_;
    GMainLoop* loop_ = nullptr;
    gulong drawHandler_ = 0;
    bool syncing_ = false;
};

}  // namespace vantix::dialogs::gtk
