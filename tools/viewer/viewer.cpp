// vantix-viewer: the first program to run with a camera. It shows the live
// picture, takes snapshots, records AVI files and opens the settings dialogs.
//
// The picture is drawn by the SDK's own preview into the X11 window of a
// GtkDrawingArea (wrapped with VantixExt_WrapX11Window): frames go from the
// SDK's worker thread to the X server without passing through GTK's main
// loop, so the window stays responsive at any frame rate. The main loop only
// wakes four times a second to show the frame count and recording progress.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <memory>
#include <string>
#include <utility>

#include "cli.h"
#include "recording_progress.h"

namespace {

struct Options {
    int camera = 0;
    int bits = 24;
    int width = 1280;
    int height = 960;
    std::string snapshot;    // take one snapshot into this file once frames arrive
    std::string screenshot;  // save a picture of the window before quitting
    double quitAfter = 0.0;  // close the window after this many seconds (0: never)
    bool checkDialogs = false;
};

struct Viewer {
    Options options;
    int32_t handle = 0;
    VantixHwnd frames = nullptr;   // receives the frame messages
    VantixHwnd picture = nullptr;  // the drawing area's X11 window
    VantixHwnd owner = nullptr;    // the top-level window, owner of the dialogs
    GtkWidget* window = nullptr;
    GtkWidget* area = nullptr;
    GtkWidget* status = nullptr;
    GtkWidget* recordButton = nullptr;
    std::atomic<int64_t> frameCount{0};
    std::atomic<int32_t> rate{0};
    bool previewing = false;
    // Recording
    std::string recordFile;
    std::chrono::steady_clock::time_point recordStart;
    std::unique_ptr<cli::RecordingProgress> progress;
    bool snapshotDone = false;
    int exitStatus = 0;
};

const char* ErrorText(int32_t code) {
    switch (code) {
        case 2:
            return "no camera (VANTIX_EMULATE=3040 adds a virtual one)";
        case 4:
            return "no window could be made";
        default:
            return "the camera refused";
    }
}

void Fail(Viewer& v, const char* what) {
    const int32_t code = Vantix_GetLastError(v.handle);
    std::fprintf(stderr, "vantix-viewer: %s: %s (error %d)\n", what, ErrorText(code), code);
    v.exitStatus = 1;
}

intptr_t OnMessage(VantixHwnd, uint32_t message, uintptr_t wParam, intptr_t, void* user) {
    auto* v = static_cast<Viewer*>(user);
    if (message == VANTIX_MSG_FRAME && wParam != 0) {
        ++v->frameCount;
        v->rate = reinterpret_cast<const VantixFrameInfo*>(wParam)->rateTenths;
    }
    return 0;
}

// The SDK's picture window follows the drawing area's size.
void ResizePicture(Viewer& v) {
    if (v.picture == nullptr) return;
    const int width = gtk_widget_get_allocated_width(v.area);
    const int height = gtk_widget_get_allocated_height(v.area);
    Vantix_SetPreviewWindow(v.handle, v.picture, 0, 0, width, height);
    Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(v.area));
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, VantixExt_GetX11Window(v.picture), &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) XResizeWindow(display, children[i], width, height);
        if (children != nullptr) XFree(children);
    }
}

bool StartPreview(Viewer& v) {
    ResizePicture(v);
    v.previewing = Vantix_CallBackPreview(v.handle, v.frames, nullptr, 0, 0) == 1;
    if (!v.previewing) Fail(v, "cannot start the preview");
    return v.previewing;
}

std::string Extension(const std::string& file) {
    const size_t dot = file.rfind('.');
    std::string ext = dot == std::string::npos ? "" : file.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool SaveSnapshot(Viewer& v, const std::string& file) {
    const std::string ext = Extension(file);
    const int32_t format = ext == "bmp" ? VANTIX_FILE_BMP : ext == "raw" ? VANTIX_FILE_RAW
                         : ext == "jpg" || ext == "jpeg" ? VANTIX_FILE_JPEG_HIGH : ext == "png" ? VANTIX_FILE_PNG
                         : ext == "tif" || ext == "tiff" ? VANTIX_FILE_TIFF : -1;
    if (format < 0) {
        std::fprintf(stderr, "vantix-viewer: %s: choose .bmp, .raw, .jpg, .png or .tif\n", file.c_str());
        return false;
    }
    if (Vantix_SaveImage(v.handle, file.c_str(), format) != 1) {
        Fail(v, "cannot save the snapshot");
        return false;
    }
    std::printf("snapshot: %s\n", file.c_str());
    return true;
}

std::string ChooseFile(Viewer& v, const char* title, const char* suggestion, bool image) {
    GtkWidget* chooser = gtk_file_chooser_dialog_new(title, GTK_WINDOW(v.window), GTK_FILE_CHOOSER_ACTION_SAVE,
                                                     "_Cancel", GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), suggestion);
    if (image) {
        // The format chooser: the file type decides the format.
        const char* formats[][2] = {{"PNG image", "*.png"}, {"JPEG image", "*.jpg"}, {"TIFF image", "*.tif"},
                                    {"Bitmap", "*.bmp"},    {"Raw samples", "*.raw"}};
        for (auto& format : formats) {
            GtkFileFilter* filter = gtk_file_filter_new();
            gtk_file_filter_set_name(filter, format[0]);
            gtk_file_filter_add_pattern(filter, format[1]);
            gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
        }
    }
    std::string file;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        file = name != nullptr ? name : "";
        g_free(name);
        GtkFileFilter* filter = gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(chooser));
        if (image && filter != nullptr && Extension(file).empty()) {
            const std::string pattern = gtk_file_filter_get_name(filter);
            file += pattern == "PNG image" ? ".png" : pattern == "JPEG image" ? ".jpg" : pattern == "TIFF image" ? ".tif"
                  : pattern == "Bitmap" ? ".bmp" : ".raw";
        }
    }
    gtk_widget_destroy(chooser);
    return file;
}

void OnSnapshot(GtkButton*, gpointer data) {
    auto* v = static_cast<Viewer*>(data);
    const std::string file = ChooseFile(*v, "Save snapshot", "snapshot.png", true);
    if (!file.empty()) SaveSnapshot(*v, file);
}

void StopRecording(Viewer& v) {
    if (v.recordFile.empty()) return;
    Vantix_StopPreview(v.handle);  // finalises the file
    std::printf("recorded: %s, %lld frames\n", v.recordFile.c_str(),
                static_cast<long long>(v.progress->FramesWritten()));
    if (cli::TakeError(v.handle, cli::kSdkErrorFile)) {
        std::fprintf(stderr, "vantix-viewer: %s could not be written to the end (disk full?); it keeps the frames above\n",
                     v.recordFile.c_str());
        v.exitStatus = 1;
    }
    v.recordFile.clear();
    v.progress.reset();
    StartPreview(v);
}

void OnRecord(GtkToggleButton* button, gpointer data) {
    auto* v = static_cast<Viewer*>(data);
    if (!gtk_toggle_button_get_active(button)) {
        StopRecording(*v);
        return;
    }
    const std::string file = ChooseFile(*v, "Record to", "recording.avi", false);
    if (file.empty()) {
        gtk_toggle_button_set_active(button, FALSE);
        return;
    }
    const int32_t hour = 3600 * 1000;  // until stopped, at most an hour
    // Made first: it tells an older file of the name from the recording.
    auto progress = std::make_unique<cli::RecordingProgress>(file, 3600.0, false);
    cli::TakeError(v->handle, 0);  // what is recorded from here on concerns the recording
    if (Vantix_Record(v->handle, file.c_str(), hour, 0) != 1) {
        Fail(*v, "cannot record");
        gtk_toggle_button_set_active(button, FALSE);
        StartPreview(*v);
        return;
    }
    v->recordFile = file;
    v->recordStart = std::chrono::steady_clock::now();
    v->progress = std::move(progress);
}

void OpenDialog(Viewer& v, int32_t (*open)(int32_t, VantixHwnd)) {
    if (open(v.handle, v.owner) != 1) Fail(v, "cannot open the dialog");
}

void OnCameraDialog(GtkMenuItem*, gpointer data) { OpenDialog(*static_cast<Viewer*>(data), Vantix_SetCameraDlg); }
void OnImageDialog(GtkMenuItem*, gpointer data) { OpenDialog(*static_cast<Viewer*>(data), Vantix_SetImageDlg); }
void OnAnalogDialog(GtkMenuItem*, gpointer data) { OpenDialog(*static_cast<Viewer*>(data), Vantix_SetAnalogDlg); }

gboolean UpdateStatus(gpointer data) {
    auto* v = static_cast<Viewer*>(data);
    char text[256];
    if (!v->recordFile.empty()) {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - v->recordStart).count();
        std::snprintf(text, sizeof text, "Recording %02d:%02d  %lld frames  %s", static_cast<int>(elapsed) / 60,
                      static_cast<int>(elapsed) % 60, static_cast<long long>(v->progress->FramesWritten()),
                      v->recordFile.c_str());
    } else {
        std::snprintf(text, sizeof text, "%d x %d, %d bits   %lld frames   %.1f frames/s", Vantix_Width(v->handle),
                      Vantix_Height(v->handle), Vantix_GetColorMode(v->handle),
                      static_cast<long long>(v->frameCount.load()), v->rate.load() / 10.0);
    }
    gtk_label_set_text(GTK_LABEL(v->status), text);
    if (!v->options.snapshot.empty() && !v->snapshotDone && v->frameCount > 0) {
        v->snapshotDone = true;
        if (!SaveSnapshot(*v, v->options.snapshot)) v->exitStatus = 1;
    }
    return G_SOURCE_CONTINUE;
}

// Closes every other top-level window: the dialog that the check opened.
gboolean CloseOtherWindows(gpointer data) {
    auto* v = static_cast<Viewer*>(data);
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr; item = item->next) {
        if (item->data != v->window && gtk_widget_get_visible(GTK_WIDGET(item->data))) gtk_window_close(GTK_WINDOW(item->data));
    }
    g_list_free(windows);
    return G_SOURCE_REMOVE;
}

// Opens each dialog from the main loop, as the menu does, and closes it.
gboolean CheckDialogs(gpointer data) {
    auto* v = static_cast<Viewer*>(data);
    using Open = int32_t (*)(int32_t, VantixHwnd);
    const std::pair<const char*, Open> dialogs[] = {
        {"camera", Vantix_SetCameraDlg}, {"image", Vantix_SetImageDlg}, {"analog", Vantix_SetAnalogDlg}};
    for (auto [name, open] : dialogs) {
        g_timeout_add(500, CloseOtherWindows, v);
        const int32_t result = open(v->handle, v->owner);
        std::printf("%s dialog: %d\n", name, result);
        if (result != 1) v->exitStatus = 1;
    }
    return G_SOURCE_REMOVE;
}

void SaveScreenshot(Viewer& v) {
    GdkWindow* window = gtk_widget_get_window(v.window);
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window), gdk_window_get_height(window));
    if (picture == nullptr || !gdk_pixbuf_save(picture, v.options.screenshot.c_str(), "png", nullptr, nullptr)) {
        std::fprintf(stderr, "vantix-viewer: cannot save %s\n", v.options.screenshot.c_str());
        v.exitStatus = 1;
    }
    if (picture != nullptr) g_object_unref(picture);
}

gboolean QuitNow(gpointer data) {
    auto* v = static_cast<Viewer*>(data);
    if (!v->options.screenshot.empty()) SaveScreenshot(*v);
    gtk_window_close(GTK_WINDOW(v->window));  // the same path as the close button
    return G_SOURCE_REMOVE;
}

gboolean OnClose(GtkWidget*, GdkEvent*, gpointer data) {
    auto* v = static_cast<Viewer*>(data);
    StopRecording(*v);
    Vantix_Close(v->handle);
    gtk_main_quit();
    return FALSE;
}

void OnAreaRealize(GtkWidget* area, gpointer data) {
    auto* v = static_cast<Viewer*>(data);
    GdkWindow* window = gtk_widget_get_window(area);
    gdk_window_ensure_native(window);
    v->picture = VantixExt_WrapX11Window(GDK_WINDOW_XID(window));
}

void OnAreaResize(GtkWidget*, GdkRectangle*, gpointer data) { ResizePicture(*static_cast<Viewer*>(data)); }

GtkWidget* BuildWindow(Viewer& v) {
    v.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(v.window), "Vantix Viewer");
    gtk_window_set_default_size(GTK_WINDOW(v.window), 800, 640);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(v.window), box);

    GtkWidget* menus = gtk_menu_bar_new();
    GtkWidget* settings = gtk_menu_item_new_with_mnemonic("_Settings");
    GtkWidget* menu = gtk_menu_new();
    for (auto [label, handler] : {std::pair{"_Camera…", G_CALLBACK(OnCameraDialog)},
                                  std::pair{"_Image…", G_CALLBACK(OnImageDialog)},
                                  std::pair{"_Analog…", G_CALLBACK(OnAnalogDialog)}}) {
        GtkWidget* item = gtk_menu_item_new_with_mnemonic(label);
        g_signal_connect(item, "activate", handler, &v);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(settings), menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(menus), settings);
    gtk_box_pack_start(GTK_BOX(box), menus, FALSE, FALSE, 0);

    GtkWidget* tools = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(tools), 4);
    GtkWidget* snapshot = gtk_button_new_with_mnemonic("S_napshot…");
    g_signal_connect(snapshot, "clicked", G_CALLBACK(OnSnapshot), &v);
    v.recordButton = gtk_toggle_button_new_with_mnemonic("_Record");
    g_signal_connect(v.recordButton, "toggled", G_CALLBACK(OnRecord), &v);
    v.status = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(v.status), 0.0f);
    gtk_box_pack_start(GTK_BOX(tools), snapshot, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(tools), v.recordButton, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(tools), v.status, TRUE, TRUE, 6);
    gtk_box_pack_start(GTK_BOX(box), tools, FALSE, FALSE, 0);

    v.area = gtk_drawing_area_new();
    gtk_widget_set_size_request(v.area, 320, 240);
    g_signal_connect(v.area, "realize", G_CALLBACK(OnAreaRealize), &v);
    g_signal_connect(v.area, "size-allocate", G_CALLBACK(OnAreaResize), &v);
    gtk_box_pack_start(GTK_BOX(box), v.area, TRUE, TRUE, 0);
    g_signal_connect(v.window, "delete-event", G_CALLBACK(OnClose), &v);
    return v.window;
}

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--camera" && hasValue) {
            o->camera = std::atoi(argv[++i]);
        } else if (arg == "--bits" && hasValue) {
            o->bits = std::atoi(argv[++i]);
        } else if (arg == "--width" && hasValue) {
            o->width = std::atoi(argv[++i]);
        } else if (arg == "--height" && hasValue) {
            o->height = std::atoi(argv[++i]);
        } else if (arg == "--snapshot" && hasValue) {
            o->snapshot = argv[++i];
        } else if (arg == "--screenshot" && hasValue) {
            o->screenshot = argv[++i];
        } else if (arg == "--quit-after" && hasValue) {
            o->quitAfter = std::atof(argv[++i]);
        } else if (arg == "--check-dialogs") {
            o->checkDialogs = true;
        } else {
            std::printf(
                "usage: vantix-viewer [--camera N] [--bits 8|16|24|32|48|64] [--width W --height H]\n"
                "                     [--snapshot FILE] [--screenshot FILE.png] [--quit-after SECONDS] [--check-dialogs]\n"
                "Shows a camera's live picture; Snapshot and Record save it, Settings opens the camera, image\n"
                "and analog dialogs. --snapshot saves one picture once frames arrive, --screenshot a picture of\n"
                "the window when --quit-after closes it.\n");
            return arg == "--help";
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Viewer v;
    if (!ParseOptions(argc, argv, &v.options)) return 2;
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "vantix-viewer: no display\n");
        return 1;
    }
    v.frames = VantixExt_CreateMessageWindow(OnMessage, &v);
    v.handle = Vantix_Initialize(nullptr);
    if (v.handle == 0) {
        std::fprintf(stderr, "vantix-viewer: the SDK cannot start\n");
        return 1;
    }
    if (Vantix_SetDeviceNumber(v.handle, v.options.camera) != 1) {
        Fail(v, "cannot open the camera");
        Vantix_Release(v.handle);
        return 1;
    }
    Vantix_SetColorMode(v.handle, v.options.bits);
    Vantix_SetCaptureWindowEx(v.handle, 3856, 0, v.options.width, 2764, 0, v.options.height);
    gtk_widget_show_all(BuildWindow(v));
    v.owner = VantixExt_WrapX11Window(GDK_WINDOW_XID(gtk_widget_get_window(v.window)));
    if (!StartPreview(v)) {
        Vantix_Release(v.handle);
        return 1;
    }
    g_timeout_add(250, UpdateStatus, &v);
    if (v.options.checkDialogs) g_timeout_add(1000, CheckDialogs, &v);
    if (v.options.quitAfter > 0) g_timeout_add(static_cast<guint>(v.options.quitAfter * 1000), QuitNow, &v);
    gtk_main();
    std::printf("frames shown: %lld\n", static_cast<long long>(v.frameCount.load()));
    Vantix_Release(v.handle);
    VantixExt_DestroyWindow(v.frames);
    VantixExt_DestroyWindow(v.picture);
    VantixExt_DestroyWindow(v.owner);
    if (!v.options.snapshot.empty() && !v.snapshotDone) {
        std::fprintf(stderr, "vantix-viewer: no frame arrived for the snapshot\n");
        return 1;
    }
    return v.exitStatus;
}
