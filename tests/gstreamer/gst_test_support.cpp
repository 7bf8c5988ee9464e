#include "gst_test_support.h"

#include <dirent.h>
#include <unistd.h>
#include <png.h>
#include <vantix/exports.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace vantix::gsttest {

namespace {

// Has gst-inspect-1.0, a plain program, enter the system's plugins into the
// tests' registry. This process then scans only the plugin under test: under
// AddressSanitizer, loading every system plugin here would report GLib's
// deliberately kept quark blocks as leaks.
void RegisterSystemPlugins() {
    if (access(VANTIX_GST_REGISTRY, F_OK) == 0) return;
    const std::string command = std::string("env -u GST_PLUGIN_PATH -u LD_PRELOAD GST_REGISTRY='") +
                                VANTIX_GST_REGISTRY + "' gst-inspect-1.0 coreelements > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0) g_printerr("gst-inspect-1.0 could not prepare the registry\n");
}

}  // namespace

// The tests compare frames taken at different moments, so the virtual
// cameras show the still colour bars rather than the moving test chart; set
// before the library makes its first camera.
const bool kStillScene = [] { return setenv("VANTIX_EMULATE_SCENE", "bars", 0) == 0; }();

void InitGStreamer() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterSystemPlugins();
        // The plugin from the build folder, scanned in this process (not by
        // gst-plugin-scanner, which could not load an instrumented plugin),
        // so the sanitizer builds check it too; the leaks tracer lets tests
        // see GStreamer objects left alive.
        setenv("GST_PLUGIN_PATH", VANTIX_GST_PLUGIN_DIR, 1);
        setenv("GST_REGISTRY", VANTIX_GST_REGISTRY, 1);
        setenv("GST_REGISTRY_FORK", "no", 1);
        setenv("GST_TRACERS", "leaks", 1);
        gst_init(nullptr, nullptr);
    });
}

Pipeline::Pipeline(const std::string& description) {
    InitGStreamer();
    GError* error = nullptr;
    pipeline_ = gst_parse_launch(description.c_str(), &error);
    if (error != nullptr) {
        g_printerr("pipeline \"%s\": %s\n", description.c_str(), error->message);
        g_error_free(error);
        if (pipeline_ != nullptr) gst_object_unref(pipeline_);
        pipeline_ = nullptr;
    }
}

Pipeline::~Pipeline() {
    if (pipeline_ == nullptr) return;
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
}

GstElement* Pipeline::Element(const char* name) const {
    GstElement* element = gst_bin_get_by_name(GST_BIN(pipeline_), name);
    if (element != nullptr) gst_object_unref(element);
    return element;
}

GstStateChangeReturn Pipeline::SetState(GstState state) { return gst_element_set_state(pipeline_, state); }

GstMessage* Pipeline::WaitMessage(GstMessageType types, milliseconds timeout) {
    GstBus* bus = gst_element_get_bus(pipeline_);
    GstMessage* message =
        gst_bus_timed_pop_filtered(bus, static_cast<GstClockTime>(timeout.count()) * GST_MSECOND, types);
    gst_object_unref(bus);
    return message;
}

std::vector<GstMessage*> Pipeline::CollectMessages(GstMessageType types, milliseconds duration) {
    std::vector<GstMessage*> messages;
    GstBus* bus = gst_element_get_bus(pipeline_);
    const gint64 end = g_get_monotonic_time() + duration.count() * 1000;
    for (gint64 now = g_get_monotonic_time(); now < end; now = g_get_monotonic_time()) {
        GstMessage* message = gst_bus_timed_pop_filtered(bus, static_cast<GstClockTime>(end - now) * GST_USECOND, types);
        if (message != nullptr) messages.push_back(message);
    }
    gst_object_unref(bus);
    return messages;
}

GstSample* Pipeline::Pull(const char* sink, milliseconds timeout) {
    GstElement* element = Element(sink);
    if (element == nullptr) return nullptr;
    return gst_app_sink_try_pull_sample(GST_APP_SINK(element),
                                        static_cast<GstClockTime>(timeout.count()) * GST_MSECOND);
}

ErrorReport ParseError(GstMessage* message) {
    ErrorReport report;
    if (message == nullptr || GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) return report;
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    report.found = true;
    report.domain = error->domain;
    report.code = error->code;
    report.message = error->message != nullptr ? error->message : "";
    report.debug = debug != nullptr ? debug : "";
    g_error_free(error);
    g_free(debug);
    return report;
}

ErrorReport WaitForError(Pipeline& pipeline, milliseconds timeout) {
    GstMessage* message = pipeline.WaitMessage(GST_MESSAGE_ERROR, timeout);
    ErrorReport report = ParseError(message);
    if (message != nullptr) gst_message_unref(message);
    return report;
}

std::vector<uint8_t> BufferBytes(GstBuffer* buffer) {
    std::vector<uint8_t> bytes(gst_buffer_get_size(buffer));
    gst_buffer_extract(buffer, 0, bytes.data(), bytes.size());
    return bytes;
}

std::string CapsString(GstSample* sample, const char* field) {
    const GstStructure* structure = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    if (std::strcmp(field, "media") == 0) return gst_structure_get_name(structure);
    const char* value = gst_structure_get_string(structure, field);
    return value != nullptr ? value : "";
}

int CapsInt(GstSample* sample, const char* field) {
    int value = -1;
    gst_structure_get_int(gst_caps_get_structure(gst_sample_get_caps(sample), 0), field, &value);
    return value;
}

namespace {

struct PngReader {
    const std::vector<uint8_t>* file;
    size_t offset;
};

void ReadPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (reader->offset + length > reader->file->size()) png_error(png, "truncated");
    std::memcpy(data, reader->file->data() + reader->offset, length);
    reader->offset += length;
}

}  // namespace

DecodedPng DecodePng(const std::vector<uint8_t>& file) {
    DecodedPng decoded;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return decoded;
    }
    PngReader reader{&file, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return DecodedPng{};
    }
    png_set_read_fn(png, &reader, ReadPngBytes);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    decoded.width = png_get_image_width(png, info);
    decoded.height = png_get_image_height(png, info);
    decoded.channels = png_get_channels(png, info);
    decoded.bitDepth = png_get_bit_depth(png, info);
    decoded.rowBytes = png_get_rowbytes(png, info);
    png_bytepp rows = png_get_rows(png, info);
    decoded.pixels.resize(decoded.rowBytes * decoded.height);
    for (uint32_t y = 0; y < decoded.height; ++y) {
        std::memcpy(decoded.pixels.data() + y * decoded.rowBytes, rows[y], decoded.rowBytes);
    }
    decoded.ok = true;
    png_destroy_read_struct(&png, &info, nullptr);
    return decoded;
}

std::vector<uint8_t> SdkSnapshot(int32_t index, int32_t width, int32_t height, int32_t bits, int32_t grayMode) {
    const int32_t handle = Vantix_Initialize(nullptr);
    if (handle == 0) return {};
    VantixCameraInfo info{};
    info.size = static_cast<int32_t>(sizeof info);
    const size_t stride = (static_cast<size_t>(width) * static_cast<size_t>(bits / 8) + 3) & ~size_t{3};
    std::vector<uint8_t> image(stride * static_cast<size_t>(height));
    const bool ok = Vantix_SetDeviceNumber(handle, index) && Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0) &&
                    Vantix_GetCameraInfo(handle, &info) &&
                    Vantix_SetCaptureWindowEx(handle, info.totalWidth, 0, width, info.totalHeight, 0, height) &&
                    Vantix_SetSubSample(handle, 0) && Vantix_SetColorMode(handle, bits) &&
                    Vantix_SetGrayMode(handle, grayMode) &&
                    Vantix_SnapShot(handle, image.data(), static_cast<int32_t>(image.size()), 1);
    // The next session finds the gray mode as it was.
    Vantix_SetGrayMode(handle, 0);
    Vantix_Release(handle);
    return ok ? image : std::vector<uint8_t>{};
}

namespace {

int CountEntries(const char* folder) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}

}  // namespace

int OpenDescriptors() { return CountEntries("/proc/self/fd"); }
int Threads() { return CountEntries("/proc/self/task"); }

LiveObjectCounter::LiveObjectCounter(std::vector<std::string> names) : names_(std::move(names)) {
    InitGStreamer();
    GList* tracers = gst_tracing_get_active_tracers();
    for (GList* item = tracers; item != nullptr; item = item->next) {
        if (std::strcmp(G_OBJECT_TYPE_NAME(item->data), "GstLeaksTracer") == 0) {
            tracer_ = GST_TRACER(gst_object_ref(item->data));
        }
    }
    g_list_free_full(tracers, gst_object_unref);
    if (tracer_ != nullptr) g_signal_emit_by_name(tracer_, "activity-start-tracking");
}

LiveObjectCounter::~LiveObjectCounter() {
    if (tracer_ == nullptr) return;
    g_signal_emit_by_name(tracer_, "activity-stop-tracking");
    gst_object_unref(tracer_);
}

bool LiveObjectCounter::Matches(const char* typeName) const {
    for (const std::string& name : names_) {
        if (typeName != nullptr && std::strstr(typeName, name.c_str()) != nullptr) return true;
    }
    return false;
}

int LiveObjectCounter::Live() {
    if (tracer_ == nullptr) return -1;
    GstStructure* checkpoint = nullptr;
    g_signal_emit_by_name(tracer_, "activity-get-checkpoint", &checkpoint);
    if (checkpoint == nullptr) return -1;
    // Each checkpoint lists what was created and destroyed since the last;
    // counting both keeps the total right even when an address is reused.
    const std::pair<const char*, int> lists[] = {{"objects-created-list", 1}, {"objects-removed-list", -1}};
    for (const auto& [field, sign] : lists) {
        const GValue* list = gst_structure_get_value(checkpoint, field);
        for (guint i = 0; list != nullptr && i < gst_value_list_get_size(list); ++i) {
            const GstStructure* entry = gst_value_get_structure(gst_value_list_get_value(list, i));
            if (Matches(gst_structure_get_string(entry, "type-name"))) live_ += sign;
        }
    }
    gst_structure_free(checkpoint);
    return live_;
}

int LiveObjectCounter::LiveAfter(milliseconds timeout) {
    const gint64 end = g_get_monotonic_time() + timeout.count() * 1000;
    int live = Live();
    while (live > 0 && g_get_monotonic_time() < end) {
        g_usleep(10000);
        live = Live();
    }
    return live;
}

}  // namespace vantix::gsttest

