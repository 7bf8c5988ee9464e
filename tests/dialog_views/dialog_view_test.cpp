// The dialogs on an X server (a private Xvfb per test) with real GTK, opened
// through the exports in English and Japanese. Each test drives the live
// widgets found by name, checks their captions against the text table, saves
// a screenshot of every page, and checks the effect on the session and the
// settings file once the export has returned.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gdk/gdkx.h>
// After GoogleTest and GTK: Xlib's macros clash with their names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include "dialogs/dialog_texts.h"

namespace {

using vantix::dialogs::Language;
using vantix::dialogs::Text;
using vantix::dialogs::TextId;

using ShownHook = void (*)(GtkWidget*, const char*, void*);

// What a test does with the live dialog, on the toolkit's thread.
std::function<void(GtkWidget*, const std::string&)> g_script;
int g_shown = 0;

void OnShown(GtkWidget* window, const char* kind, void*) {
    ++g_shown;
    if (g_script) g_script(window, kind);
}

GtkWidget* FindIn(GtkWidget* root, const std::string& name) {
    if (name == gtk_widget_get_name(root)) return root;
    if (!GTK_IS_CONTAINER(root)) return nullptr;
    GtkWidget* found = nullptr;
    struct Search {
        const std::string* name;
        GtkWidget** found;
    } search{&name, &found};
    gtk_container_forall(
        GTK_CONTAINER(root),
        [](GtkWidget* child, gpointer data) {
            auto* s = static_cast<Search*>(data);
            if (*s->found == nullptr) *s->found = FindIn(child, *s->name);
        },
        &search);
    return found;
}

GtkWidget* Find(GtkWidget* root, const std::string& name) {
    GtkWidget* widget = FindIn(root, name);
    EXPECT_NE(widget, nullptr) << "no widget " << name;
    return widget;
}

// A caption as GTK shows it: the mnemonic marker removed.
std::string Shown(TextId id, Language language) {
    std::string text(Text(id, language));
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) continue;
        out += text[i];
    }
    return out;
}

std::string LabelText(GtkWidget* widget) {
    if (widget == nullptr) return {};
    if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
    if (GTK_IS_BUTTON(widget)) {
        std::string label = gtk_button_get_label(GTK_BUTTON(widget));
        std::string out;
        for (size_t i = 0; i < label.size(); ++i) {
            if (label[i] == '_' && i + 1 < label.size() && label[i + 1] != '_') continue;
            out += label[i];
        }
        return out;
    }
    return {};
}

// Runs the toolkit until the window has been laid out and painted again.
// Draining the pending events is not enough: the layout runs on the frame
// clock's next tick, and a toplevel that changes size waits for the X
// server's answer first, so either can still be due when the queue is empty.
void Settle(GtkWidget* window) {
    bool drawn = false;
    const gulong handler = g_signal_connect(
        window, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return FALSE;
        }),
        &drawn);
    gtk_widget_queue_draw(window);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!drawn && std::chrono::steady_clock::now() < deadline) {
        if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    g_signal_handler_disconnect(window, handler);
    while (gtk_events_pending()) gtk_main_iteration();
    EXPECT_TRUE(drawn) << "the window was not painted within 10 s";
}

// Draws the window into a picture and saves it; the picture must show more
// than a background.
void Screenshot(GtkWidget* window, const std::string& name) {
    Settle(window);
    const int width = gtk_widget_get_allocated_width(window);
    const int height = gtk_widget_get_allocated_height(window);
    ASSERT_GT(width, 100);
    ASSERT_GT(height, 100);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(window, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    int differing = 0;
    const uint32_t first = *reinterpret_cast<const uint32_t*>(data);
    for (int y = 0; y < height; y += 2) {
        for (int x = 0; x < width; x += 2) {
            differing += *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) != first;
        }
    }
    EXPECT_GT(differing, width * height / 400) << name << " looks empty";
    const std::string path = std::string(VANTIX_DIALOG_SCREENSHOT_DIR) + "/" + name + ".png";
    EXPECT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS) << path;
    cairo_surface_destroy(surface);
}

void ShowPage(GtkWidget* window, int page) {
    gtk_notebook_set_current_page(GTK_NOTEBOOK(Find(window, "c1001")), page);
    Settle(window);
}

class DialogViewTest : public ::testing::TestWithParam<Language> {
protected:
    void SetUp() override {
        Display* probe = XOpenDisplay(nullptr);
        if (probe == nullptr) GTEST_SKIP() << "no X display (run under tests/support/with-xvfb.sh)";
        XCloseDisplay(probe);
        setenv("LC_ALL", Japanese() ? "ja_JP.UTF-8" : "C.UTF-8", 1);
        // The module the library loads; opened here too to watch its dialogs.
        void* module = dlopen(VANTIX_DIALOG_MODULE_PATH, RTLD_NOW);
        ASSERT_NE(module, nullptr) << dlerror();
        auto setHook = reinterpret_cast<void (*)(ShownHook, void*)>(dlsym(module, "VantixDialogView_SetShownHook"));
        ASSERT_NE(setHook, nullptr);
        setHook(OnShown, nullptr);
        std::remove(std::getenv("VANTIX_REGISTRY"));
        handle_ = Vantix_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        g_shown = 0;
    }
    void TearDown() override {
        g_script = nullptr;
        if (handle_ != 0) Vantix_Release(handle_);
    }
    bool Japanese() const { return GetParam() == Language::Japanese; }
    std::string Shot(const std::string& dialog) const { return dialog + (Japanese() ? "-ja" : "-en"); }
    int32_t Filter(int32_t id) {
        int32_t ok = 0;
        return Vantix_GetFilterValue(handle_, id, &ok);
    }
    std::string Settings(const char* key) {
        char text[8192] = {};
        VantixExt_GetSettingsText(key, text, sizeof text);
        return text;
    }
    int32_t handle_ = 0;
};

TEST_P(DialogViewTest, ImageDialogSlidersEditsAndCancelInBothPages) {
    const Language lang = GetParam();
    ASSERT_EQ(Vantix_SetColorMode(handle_, 8), 1);  // monochrome: both pages
    bool checked = false;
    int32_t brightnessWhileOpen = 0, gammaWhileOpen = 0;
    g_script = [&](GtkWidget* window, const std::string& kind) {
        EXPECT_EQ(kind, "image");
        EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(window)), Shown(TextId::Title, lang));
        GtkWidget* imagePage = Find(window, "page_image_filter");
        GtkWidget* grayPage = Find(window, "page_gray_filter");
        ASSERT_TRUE(imagePage && grayPage);
        EXPECT_EQ(LabelText(Find(window, "tab_image_filter")), Shown(TextId::TabImageFilter, lang));
        EXPECT_EQ(LabelText(Find(window, "tab_gray_filter")), Shown(TextId::TabGrayFilter, lang));
        EXPECT_EQ(LabelText(Find(imagePage, "s_brightness")), Shown(TextId::Brightness, lang));
        EXPECT_EQ(LabelText(Find(imagePage, "s_gamma")), Shown(TextId::Gamma, lang));
        EXPECT_EQ(LabelText(Find(window, "c3")), Shown(TextId::Default, lang));
        EXPECT_EQ(LabelText(Find(window, "c2")), Shown(TextId::Cancel, lang));
        EXPECT_FALSE(gtk_widget_get_visible(Find(window, "c1002")));  // no Apply here
        EXPECT_EQ(LabelText(Find(grayPage, "s_filter_mode")), Shown(TextId::FilterMode, lang));
        // Monochrome: hue is disabled, brightness is not.
        EXPECT_FALSE(gtk_widget_get_sensitive(Find(imagePage, "c2021")));
        EXPECT_TRUE(gtk_widget_get_sensitive(Find(imagePage, "c2001")));
        GtkAdjustment* range = gtk_range_get_adjustment(GTK_RANGE(Find(imagePage, "c2001")));
        EXPECT_EQ(gtk_adjustment_get_lower(range), -255);
        EXPECT_EQ(gtk_adjustment_get_upper(range), 255);
        Screenshot(window, Shot("image-filter"));

        gtk_range_set_value(GTK_RANGE(Find(imagePage, "c2001")), 77);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(Find(imagePage, "c2002"))), "77");
        gtk_entry_set_text(GTK_ENTRY(Find(imagePage, "c2082")), "180");
        EXPECT_EQ(std::lround(gtk_range_get_value(GTK_RANGE(Find(imagePage, "c2081")))), 180);
        gtk_button_clicked(GTK_BUTTON(Find(imagePage, "c2044_up")));
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(Find(imagePage, "c2042"))), "1");
        brightnessWhileOpen = Filter(1);
        gammaWhileOpen = Filter(11);

        ShowPage(window, 1);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Find(grayPage, "c1048")), TRUE);
        EXPECT_EQ(Filter(19), 2);
        Screenshot(window, Shot("image-gray-filter"));
        checked = true;
        gtk_button_clicked(GTK_BUTTON(Find(window, "c2")));
    };
    EXPECT_EQ(Vantix_SetImageDlg(handle_, nullptr), 1);
    EXPECT_TRUE(checked);
    EXPECT_EQ(brightnessWhileOpen, 77);
    EXPECT_EQ(gammaWhileOpen, 180);
    // Cancel put every value back.
    EXPECT_EQ(Filter(1), 0);
    EXPECT_EQ(Filter(11), 100);
    EXPECT_EQ(Filter(5), 0);
    EXPECT_EQ(Filter(19), 0);
}

TEST_P(DialogViewTest, AnalogDialogTypedInputReachesTheCameraAndOkKeepsIt) {
    const Language lang = GetParam();
    bool checked = false;
    g_script = [&](GtkWidget* window, const std::string&) {
        EXPECT_EQ(LabelText(Find(window, "s_global_gain")), Shown(TextId::GlobalGain, lang));
        EXPECT_EQ(LabelText(Find(window, "c1028")), Shown(TextId::MirrorV, lang));
        EXPECT_EQ(LabelText(Find(window, "tab_analog")), Shown(TextId::TabAnalogGain, lang));
        EXPECT_FALSE(gtk_widget_get_visible(Find(window, "c2131")));  // this camera has no seconds setting
        Screenshot(window, Shot("analog"));
        // Key presses typed into the exposure edit, through GTK's event
        // handling as the X server's would arrive.
        GtkWidget* edit = Find(window, "c1027");
        gtk_entry_set_text(GTK_ENTRY(edit), "");
        gtk_widget_grab_focus(edit);
        GdkDisplay* display = gtk_widget_get_display(window);
        GdkDevice* keyboard = gdk_seat_get_keyboard(gdk_display_get_default_seat(display));
        GdkEvent* focus = gdk_event_new(GDK_FOCUS_CHANGE);
        focus->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
        focus->focus_change.in = TRUE;
        gdk_event_set_device(focus, keyboard);
        gtk_main_do_event(focus);
        gdk_event_free(focus);
        for (guint key : {GDK_KEY_2, GDK_KEY_5, GDK_KEY_0}) {
            for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
                GdkEvent* event = gdk_event_new(type);
                event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
                event->key.time = GDK_CURRENT_TIME;
                event->key.keyval = key;
                GdkKeymapKey* keys = nullptr;
                gint count = 0;
                if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), key, &keys, &count) && count > 0) {
                    event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
                }
                g_free(keys);
                gdk_event_set_device(event, keyboard);
                gtk_main_do_event(event);
                gdk_event_free(event);
            }
        }
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(edit)), "250");
        EXPECT_EQ(LabelText(Find(window, "c1049")), "=25.00ms");
        gtk_range_set_value(GTK_RANGE(Find(window, "c1013")), 90);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Find(window, "c1029")), TRUE);
        checked = true;
        gtk_button_clicked(GTK_BUTTON(Find(window, "c1")));
    };
    EXPECT_EQ(Vantix_SetAnalogDlg(handle_, nullptr), 1);
    EXPECT_TRUE(checked);
    int32_t ok = 0;
    EXPECT_EQ(Vantix_GetExposureTime(handle_, &ok), 250);
    EXPECT_EQ(Vantix_GetGlobalGain(handle_, &ok), 90);
    EXPECT_EQ(Vantix_GetColorGainRed(handle_, &ok), 90);
    EXPECT_EQ(Vantix_GetMirrorH(handle_), 1);
}

TEST_P(DialogViewTest, CameraDialogCustomSizeApplyThenOkWithAnOwnerWindow) {
    const Language lang = GetParam();
    // The application's window, made on a connection of the test's own.
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 80, 900, 700, 0, 0, 0);
    XMapWindow(display, owner);
    XSync(display, False);
    VantixHwnd wrapped = VantixExt_WrapX11Window(owner);
    ASSERT_NE(wrapped, nullptr);
    bool checked = false;
    g_script = [&](GtkWidget* window, const std::string&) {
        // The owner is the dialog's transient parent, and the dialog sits over it.
        Window parent = 0;
        const Window self = GDK_WINDOW_XID(gtk_widget_get_window(window));
        XGetTransientForHint(display, self, &parent);
        EXPECT_EQ(parent, owner);
        int x = 0, y = 0;
        gdk_window_get_origin(gtk_widget_get_window(window), &x, &y);
        const int width = gtk_widget_get_allocated_width(window);
        EXPECT_NEAR(x + width / 2, 100 + 450, 40);
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));

        EXPECT_EQ(LabelText(Find(window, "s_color")), Shown(TextId::ColorCompression, lang));
        EXPECT_EQ(LabelText(Find(window, "s_note")), Shown(TextId::WordModeNote, lang));
        EXPECT_EQ(LabelText(Find(window, "c1002")), Shown(TextId::Apply, lang));
        EXPECT_FALSE(gtk_widget_get_sensitive(Find(window, "c1002")));
        EXPECT_FALSE(gtk_widget_get_sensitive(Find(window, "c1014")));
        Screenshot(window, Shot("camera"));
        GtkComboBox* size = GTK_COMBO_BOX(Find(window, "c1010"));
        gtk_combo_box_set_active(size, 1);  // Custom
        gtk_entry_set_text(GTK_ENTRY(Find(window, "c1041")), "800");
        gtk_entry_set_text(GTK_ENTRY(Find(window, "c1042")), "600");
        EXPECT_TRUE(gtk_widget_get_sensitive(Find(window, "c1002")));
        gtk_button_clicked(GTK_BUTTON(Find(window, "c1002")));
        gchar* item = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(size));
        EXPECT_STREQ(item, "800 x 600");
        g_free(item);
        EXPECT_FALSE(gtk_widget_get_sensitive(Find(window, "c1002")));
        // Saved, but the session does not have it yet.
        EXPECT_NE(Settings("Camera_00\\Size_01").find("\"EH\"=dword:00000320"), std::string::npos);
        EXPECT_EQ(Vantix_Width(handle_), 3840);
        gtk_combo_box_set_active(GTK_COMBO_BOX(Find(window, "c1009")), 0);
        checked = true;
        gtk_button_clicked(GTK_BUTTON(Find(window, "c1")));
    };
    EXPECT_EQ(Vantix_SetCameraDlg(handle_, wrapped), 1);
    EXPECT_TRUE(checked);
    EXPECT_EQ(Vantix_Width(handle_), 800);
    EXPECT_EQ(Vantix_Height(handle_), 600);
    EXPECT_EQ(Vantix_GetColorMode(handle_), 8);
    EXPECT_NE(Settings("Camera_00").find("\"Size\"=dword:00000001"), std::string::npos);
    VantixExt_DestroyWindow(wrapped);
    XDestroyWindow(display, owner);
    XCloseDisplay(display);
}

// Disabled: in about half the runs the first Vantix_SetImageDlg of this test
// returns 0 before the dialog is shown (seen alone and under load); the cause
// is open. Run it with --gtest_also_run_disabled_tests.
TEST_P(DialogViewTest, WithoutAnOwnerTheDialogIsCentredOnTheScreen) {
    ASSERT_EQ(Vantix_SetColorMode(handle_, 24), 1);
    g_script = [&](GtkWidget* window, const std::string&) {
        int x = 0, y = 0;
        gdk_window_get_origin(gtk_widget_get_window(window), &x, &y);
        GdkRectangle screen{};
        gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gtk_widget_get_display(window)), &screen);
        EXPECT_NEAR(x + gtk_widget_get_allocated_width(window) / 2, screen.width / 2, 40);
        EXPECT_NEAR(y + gtk_widget_get_allocated_height(window) / 2, screen.height / 2, 40);
        EXPECT_EQ(FindIn(window, "page_gray_filter"), nullptr);  // colour: no gray page
        Screenshot(window, Shot("image-colour"));
        // The window's close button is Cancel.
        GdkEvent* close = gdk_event_new(GDK_DELETE);
        close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
        gtk_main_do_event(close);
        gdk_event_free(close);
    };
    EXPECT_EQ(Vantix_SetImageDlg(handle_, nullptr), 1);
    EXPECT_EQ(g_shown, 1);
    // Dialogs open again after one closed, from another thread too.
    g_script = [&](GtkWidget* window, const std::string&) { gtk_button_clicked(GTK_BUTTON(Find(window, "c2"))); };
    int32_t result = 0;
    std::thread([&] { result = Vantix_SetAnalogDlg(handle_, nullptr); }).join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(g_shown, 2);
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogViewTest, ::testing::Values(Language::English, Language::Japanese),
                         [](const ::testing::TestParamInfo<Language>& param) {
                             return param.param == Language::Japanese ? "Japanese" : "English";
                         });

}  // namespace
