#include "dialogs/gtk/dialog_window.h"

#include <gdk/gdkx.h>

#include <cmath>
#include <cstdio>

namespace vantix::dialogs::gtk {

namespace {

constexpr char kResourcePrefix[] = "/vantix/dialogs/";

DialogWindow::ShownHook g_shownHook = nullptr;
void* g_shownHookUser = nullptr;

// Windows marks a mnemonic with "&" ("&&" for the character itself), GTK with
// "_" ("__").
std::string Mnemonic(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            out += "__";
        } else if (text[i] == '&' && i + 1 < text.size()) {
            out += text[i + 1] == '&' ? '&' : '_';
            if (text[i + 1] == '&') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

GtkBuilder* LoadTemplate(const std::string& name) {
    GtkBuilder* builder = gtk_builder_new();
    GError* error = nullptr;
    if (!gtk_builder_add_from_resource(builder, (kResourcePrefix + name + ".ui").c_str(), &error)) {
        std::fprintf(stderr, "vantix dialogs: template %s: %s\n", name.c_str(), error != nullptr ? error->message : "?");
        g_clear_error(&error);
        g_object_unref(builder);
        return nullptr;
    }
    return builder;
}

}  // namespace

void DialogWindow::SetShownHook(ShownHook hook, void* user) {
    g_shownHook = hook;
    g_shownHookUser = user;
}

DialogWindow::DialogWindow(DialogModel& model) : model_(model) {}

DialogWindow::~DialogWindow() {
    if (window_ != nullptr) gtk_widget_destroy(window_);
    for (GtkBuilder* builder : builders_) g_object_unref(builder);
    if (loop_ != nullptr) g_main_loop_unref(loop_);
}

const Control& DialogWindow::ControlOf(const Binding& binding) const {
    const DialogState& state = model_.State();
    const std::vector<Control>& list =
        binding.page < 0 ? state.buttons : state.pages[static_cast<size_t>(binding.page)].controls;
    return list[binding.index];
}

bool DialogWindow::Build() {
    GtkBuilder* container = LoadTemplate("container");
    if (container == nullptr) return false;
    builders_.push_back(container);
    window_ = GTK_WIDGET(gtk_builder_get_object(container, "dialog"));
    notebook_ = GTK_WIDGET(gtk_builder_get_object(container, "c1001"));
    status_ = GTK_WIDGET(gtk_builder_get_object(container, "status"));
    if (window_ == nullptr || notebook_ == nullptr || status_ == nullptr) return false;
    // The window belongs to us, not to the builder.
    g_object_ref_sink(window_);
    gtk_widget_set_name(window_, "dialog");
    gtk_widget_set_name(notebook_, "c1001");
    gtk_widget_set_name(status_, "status");
    // Container buttons the model does not have stay hidden.
    for (const char* name : {"c1", "c2", "c3", "c1002"}) {
        GObject* button = gtk_builder_get_object(container, name);
        if (button == nullptr) return false;
        gtk_widget_set_name(GTK_WIDGET(button), name);
        gtk_widget_set_no_show_all(GTK_WIDGET(button), TRUE);
    }
    if (!BindPage(container, -1, model_.State().buttons)) return false;
    for (const char* name : {"c1", "c2", "c3", "c1002"}) {
        GtkWidget* button = GTK_WIDGET(gtk_builder_get_object(container, name));
        bool used = false;
        for (const Control& control : model_.State().buttons) used |= control.name == name;
        gtk_widget_set_visible(button, used);
    }
    const std::vector<DialogPage>& pages = model_.State().pages;
    for (size_t page = 0; page < pages.size(); ++page) {
        GtkBuilder* builder = LoadTemplate(pages[page].templateName);
        if (builder == nullptr) return false;
        builders_.push_back(builder);
        GtkWidget* root = GTK_WIDGET(gtk_builder_get_object(builder, "page"));
        if (root == nullptr) return false;
        gtk_widget_set_name(root, ("page_" + pages[page].templateName).c_str());
        GtkWidget* tab = gtk_label_new(pages[page].tabCaption.c_str());
        gtk_widget_set_name(tab, ("tab_" + pages[page].templateName).c_str());
        gtk_notebook_append_page(GTK_NOTEBOOK(notebook_), root, tab);
        if (!BindPage(builder, static_cast<int>(page), pages[page].controls)) return false;
    }
    gtk_window_set_title(GTK_WINDOW(window_), model_.State().title.c_str());
    gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
    g_signal_connect(notebook_, "switch-page", G_CALLBACK(OnSwitchPage), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKey), this);
    return true;
}

bool DialogWindow::BindPage(GtkBuilder* builder, int page, const std::vector<Control>& controls) {
    for (size_t i = 0; i < controls.size(); ++i) {
        const Control& control = controls[i];
        GObject* object = gtk_builder_get_object(builder, control.name.c_str());
        if (object == nullptr || !GTK_IS_WIDGET(object)) {
            std::fprintf(stderr, "vantix dialogs: control %s is missing from its template\n", control.name.c_str());
            return false;
        }
        auto binding = std::make_unique<Binding>();
        binding->owner = this;
        binding->page = page;
        binding->index = i;
        binding->widget = GTK_WIDGET(object);
        gtk_widget_set_name(binding->widget, control.name.c_str());
        Connect(*binding, control, builder);
        bindings_.push_back(std::move(binding));
    }
    return true;
}

void DialogWindow::Connect(Binding& binding, const Control& control, GtkBuilder* builder) {
    GtkWidget* widget = binding.widget;
    switch (control.kind) {
        case ControlKind::Label:
            break;
        case ControlKind::Button:
            g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), &binding);
            break;
        case ControlKind::Check:
        case ControlKind::Radio:
            g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), &binding);
            break;
        case ControlKind::Combo:
            g_signal_connect(widget, "changed", G_CALLBACK(OnComboChanged), &binding);
            break;
        case ControlKind::Edit:
            g_signal_connect(widget, "changed", G_CALLBACK(OnEntryChanged), &binding);
            break;
        case ControlKind::Trackbar:
            g_signal_connect(widget, "value-changed", G_CALLBACK(OnValueChanged), &binding);
            break;
        case ControlKind::UpDown:
            // Its two buttons step the bound edit by one.
            for (auto [suffix, delta] : {std::pair{"_up", +1}, std::pair{"_down", -1}}) {
                GObject* button = gtk_builder_get_object(builder, (control.name + suffix).c_str());
                if (button == nullptr) continue;
                gtk_widget_set_name(GTK_WIDGET(button), (control.name + suffix).c_str());
                auto step = std::make_unique<Binding>(binding);
                step->widget = GTK_WIDGET(button);
                step->delta = delta;
                g_signal_connect(button, "clicked", G_CALLBACK(OnStep), step.get());
                bindings_.push_back(std::move(step));
            }
            break;
    }
}

void DialogWindow::Sync() {
    syncing_ = true;
    for (const std::unique_ptr<Binding>& binding : bindings_) {
        if (binding->delta == 0) SyncControl(*binding);
    }
    const DialogState& state = model_.State();
    if (gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook_)) != state.selectedTab) {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook_), state.selectedTab);
    }
    gtk_label_set_text(GTK_LABEL(status_), state.status.c_str());
    gtk_widget_set_visible(status_, !state.status.empty());
    syncing_ = false;
}

void DialogWindow::SyncControl(Binding& binding) {
    const Control& control = ControlOf(binding);
    GtkWidget* widget = binding.widget;
    if (binding.page >= 0) gtk_widget_set_visible(widget, control.visible);
    gtk_widget_set_sensitive(widget, control.enabled);
    switch (control.kind) {
        case ControlKind::Label: {
            const std::string text = Mnemonic(control.text);
            if (text != gtk_label_get_label(GTK_LABEL(widget))) gtk_label_set_text_with_mnemonic(GTK_LABEL(widget), text.c_str());
            break;
        }
        case ControlKind::Button:
        case ControlKind::Check:
        case ControlKind::Radio: {
            const std::string text = Mnemonic(control.text);
            const char* shown = gtk_button_get_label(GTK_BUTTON(widget));
            if (shown == nullptr || text != shown) {
                gtk_button_set_label(GTK_BUTTON(widget), text.c_str());
                gtk_button_set_use_underline(GTK_BUTTON(widget), TRUE);
            }
            if (control.kind == ControlKind::Check ||
                (control.kind == ControlKind::Radio && control.value != 0)) {
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), control.value != 0);
            }
            break;
        }
        case ControlKind::Combo: {
            GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(widget);
            if (binding.shownItems != control.items) {
                gtk_combo_box_text_remove_all(combo);
                for (const std::string& item : control.items) gtk_combo_box_text_append_text(combo, item.c_str());
                binding.shownItems = control.items;
            }
            if (gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) != control.value) {
                gtk_combo_box_set_active(GTK_COMBO_BOX(combo), control.value);
            }
            break;
        }
        case ControlKind::Edit:
            if (control.text != gtk_entry_get_text(GTK_ENTRY(widget))) {
                gtk_entry_set_text(GTK_ENTRY(widget), control.text.c_str());
            }
            break;
        case ControlKind::Trackbar: {
            GtkRange* range = GTK_RANGE(widget);
            if (binding.shownMin != control.minimum || binding.shownMax != control.maximum ||
                binding.shownTick != control.tickFrequency) {
                gtk_range_set_range(range, control.minimum, std::max(control.maximum, control.minimum + 1));
                gtk_range_set_increments(range, 1, control.tickFrequency > 0 ? control.tickFrequency : 1);
                gtk_scale_clear_marks(GTK_SCALE(widget));
                if (control.tickFrequency > 0) {
                    for (int64_t tick = control.minimum; tick <= control.maximum; tick += control.tickFrequency) {
                        gtk_scale_add_mark(GTK_SCALE(widget), static_cast<double>(tick), GTK_POS_BOTTOM, nullptr);
                    }
                }
                binding.shownMin = control.minimum;
                binding.shownMax = control.maximum;
                binding.shownTick = control.tickFrequency;
            }
            if (std::lround(gtk_range_get_value(range)) != control.value) gtk_range_set_value(range, control.value);
            break;
        }
        case ControlKind::UpDown:
            break;
    }
}

void DialogWindow::Send(const DialogEvent& event) {
    if (syncing_) return;
    try {
        model_.Handle(event);
    } catch (...) {
        // A fault of the model must not unwind through GTK: end the dialog.
        std::fprintf(stderr, "vantix dialogs: the dialog failed and is closed\n");
        model_.Handle({EventKind::CloseRequested, -1, 0, 0, {}});
    }
    Sync();
    if (model_.State().result != 0 && loop_ != nullptr) g_main_loop_quit(loop_);
}

void DialogWindow::OnClicked(GtkButton*, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    const Control& control = b->owner->ControlOf(*b);
    b->owner->Send({EventKind::Clicked, b->page, control.id, 0, {}});
}

void DialogWindow::OnToggled(GtkToggleButton* button, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    const Control& control = b->owner->ControlOf(*b);
    const bool active = gtk_toggle_button_get_active(button) != FALSE;
    // A radio button reports being unchecked too; only checking it counts.
    if (control.kind == ControlKind::Radio && !active) return;
    b->owner->Send({EventKind::Clicked, b->page, control.id, active ? 1 : 0, {}});
}

void DialogWindow::OnComboChanged(GtkComboBox* combo, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    const int item = gtk_combo_box_get_active(combo);
    if (item >= 0) b->owner->Send({EventKind::ComboSelected, b->page, b->owner->ControlOf(*b).id, item, {}});
}

void DialogWindow::OnEntryChanged(GtkEditable* entry, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    b->owner->Send({EventKind::EditChanged, b->page, b->owner->ControlOf(*b).id, 0, gtk_entry_get_text(GTK_ENTRY(entry))});
}

void DialogWindow::OnValueChanged(GtkRange* range, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    const auto position = static_cast<int32_t>(std::lround(gtk_range_get_value(range)));
    b->owner->Send({EventKind::TrackbarMoved, b->page, b->owner->ControlOf(*b).id, position, {}});
}

void DialogWindow::OnStep(GtkButton*, gpointer data) {
    auto* b = static_cast<Binding*>(data);
    b->owner->Send({EventKind::UpDownStep, b->page, b->owner->ControlOf(*b).id, b->delta, {}});
}

void DialogWindow::OnSwitchPage(GtkNotebook*, GtkWidget*, guint number, gpointer data) {
    static_cast<DialogWindow*>(data)->Send({EventKind::TabSelected, -1, kIdTab, static_cast<int32_t>(number), {}});
}

gboolean DialogWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<DialogWindow*>(data)->Send({EventKind::CloseRequested, -1, 0, 0, {}});
    return TRUE;  // the window goes when the model has ended
}

gboolean DialogWindow::OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape) return FALSE;
    static_cast<DialogWindow*>(data)->Send({EventKind::CloseRequested, -1, 0, 0, {}});
    return TRUE;
}

gboolean DialogWindow::OnFirstDraw(GtkWidget* widget, cairo_t*, gpointer data) {
    auto* self = static_cast<DialogWindow*>(data);
    g_signal_handler_disconnect(widget, self->drawHandler_);
    self->drawHandler_ = 0;
    if (g_shownHook != nullptr) g_idle_add(CallShownHook, self);
    return FALSE;
}

gboolean DialogWindow::CallShownHook(gpointer data) {
    auto* self = static_cast<DialogWindow*>(data);
    if (g_shownHook != nullptr && self->model_.State().result == 0) {
        g_shownHook(self->window_, DialogKindName(self->model_.State().kind), g_shownHookUser);
    }
    return G_SOURCE_REMOVE;
}

// A wrapped X11 owner becomes the transient parent and the dialog is centred
// over it; without one the dialog is centred on the screen.
void DialogWindow::PlaceFor(unsigned long owner) {
    GdkWindow* parent = nullptr;
    GdkDisplay* display = gtk_widget_get_display(window_);
    if (owner != 0 && GDK_IS_X11_DISPLAY(display)) {
        gdk_x11_display_error_trap_push(display);
        parent = gdk_x11_window_foreign_new_for_display(display, owner);
        gdk_x11_display_error_trap_pop_ignored(display);
    }
    if (parent == nullptr) {
        gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
        return;
    }
    gtk_widget_realize(window_);
    gdk_window_set_transient_for(gtk_widget_get_window(window_), parent);
    int x = 0, y = 0;
    gdk_window_get_origin(parent, &x, &y);
    GtkRequisition size{};
    gtk_widget_get_preferred_size(window_, nullptr, &size);
    const int left = x + (gdk_window_get_width(parent) - size.width) / 2;
    const int top = y + (gdk_window_get_height(parent) - size.height) / 2;
    gtk_window_move(GTK_WINDOW(window_), std::max(left, 0), std::max(top, 0));
    g_object_unref(parent);
}

void DialogWindow::Run(unsigned long owner) {
    Sync();
    PlaceFor(owner);
    drawHandler_ = g_signal_connect_after(window_, "draw", G_CALLBACK(OnFirstDraw), this);
    gtk_widget_show(window_);
    Sync();  // showing may have shown what the model hides
    loop_ = g_main_loop_new(nullptr, FALSE);
    if (model_.State().result == 0) g_main_loop_run(loop_);
    gtk_widget_hide(window_);
    gdk_display_flush(gtk_widget_get_display(window_));
}

}  // namespace vantix::dialogs::gtk
