/* vantixsrc: a live GstPushSrc over the SDK's C interface.
 *
 * The camera streams into the SDK's current image and announces each frame
 * to a message window. The window procedure, on the SDK's dispatch thread,
 * notes the arrival time, copies the frame with Vantix_GetImage into a buffer
 * of the element's pool and queues it; create() hands queued buffers
 * downstream. Frames that find no free buffer, or that a newer frame pushes
 * out of the full queue, are counted as dropped and reported in a QoS
 * message. */
#include "gstvantixsrc.h"

#include <gst/video/video.h>
#include <string.h>

GST_DEBUG_CATEGORY_STATIC(gst_vantix_src_debug);
#define GST_CAT_DEFAULT gst_vantix_src_debug

/* The model this SDK drives; model selection is to come. */
#define SUPPORTED_MODEL 0x3040
/* The SDK's camera numbers (its device table holds 32 cameras). */
#define MAX_CAMERA_INDEX 31
/* Buffers in the pool beyond what downstream asks for: the queue, one being
 * filled, one being pushed. */
#define POOL_EXTRA_BUFFERS (GST_VANTIX_SRC_QUEUE_LENGTH + 2)
/* Largest capture window side; the SDK refuses more than its sensor. */
#define MAX_WINDOW_SIDE 65535

enum {
    PROP_0,
    PROP_CAMERA_INDEX,
    PROP_MODEL,
    PROP_EXPOSURE,
    PROP_GAIN,
    PROP_ROI_X,
    PROP_ROI_Y,
    PROP_ROI_WIDTH,
    PROP_ROI_HEIGHT,
    PROP_COLOR_MODE,
    PROP_MIRROR,
    PROP_WAIT_TIME,
    PROP_FRAMES_DROPPED,
};

#define DEFAULT_CAMERA_INDEX 0
#define DEFAULT_MODEL 0
#define DEFAULT_EXPOSURE 0.0
#define DEFAULT_GAIN -1
#define DEFAULT_ROI_ORIGIN -1
#define DEFAULT_ROI_SIZE 0
#define DEFAULT_COLOR_MODE VANTIX_SRC_FORMAT_AUTO
#define DEFAULT_MIRROR GST_VANTIX_SRC_MIRROR_CAMERA
#define DEFAULT_WAIT_TIME -1

G_DEFINE_TYPE(GstVantixSrc, gst_vantix_src, GST_TYPE_PUSH_SRC)

#define GST_TYPE_VANTIX_SRC_COLOR_MODE (gst_vantix_src_color_mode_get_type())
static GType gst_vantix_src_color_mode_get_type(void) {
    static GType type = 0;
    static const GEnumValue values[] = {
        {VANTIX_SRC_FORMAT_AUTO, "Chosen by caps negotiation, the camera's current mode first", "auto"},
        {VANTIX_SRC_FORMAT_BGR, "24-bit colour (BGR)", "bgr"},
        {VANTIX_SRC_FORMAT_BGRX, "32-bit colour (BGRx)", "bgrx"},
        {VANTIX_SRC_FORMAT_GRAY8, "8-bit gray converted from colour (GRAY8)", "gray8"},
        {VANTIX_SRC_FORMAT_GRAY16, "16-bit raw samples (GRAY16_LE)", "gray16"},
        {VANTIX_SRC_FORMAT_BGRA64, "64-bit colour, 16 bits per channel (BGRA64_LE)", "bgra64"},
        {VANTIX_SRC_FORMAT_BAYER, "8-bit raw samples in the camera's pattern (video/x-bayer)", "bayer"},
        {0, NULL, NULL},
    };
    if (g_once_init_enter(&type)) {
        g_once_init_leave(&type, g_enum_register_static("GstVantixSrcColorMode", values));
    }
    return type;
}

#define GST_TYPE_VANTIX_SRC_MIRROR (gst_vantix_src_mirror_get_type())
static GType gst_vantix_src_mirror_get_type(void) {
    static GType type = 0;
    static const GEnumValue values[] = {
        {GST_VANTIX_SRC_MIRROR_CAMERA, "As the camera's settings say", "camera"},
        {GST_VANTIX_SRC_MIRROR_NONE, "No mirroring", "none"},
        {GST_VANTIX_SRC_MIRROR_HORIZONTAL, "Left and right swapped", "horizontal"},
        {GST_VANTIX_SRC_MIRROR_VERTICAL, "Top and bottom swapped", "vertical"},
        {GST_VANTIX_SRC_MIRROR_BOTH, "Both (rotated by 180 degrees)", "both"},
        {0, NULL, NULL},
    };
    if (g_once_init_enter(&type)) {
        g_once_init_leave(&type, g_enum_register_static("GstVantixSrcMirror", values));
    }
    return type;
}

/* ---- Errors ------------------------------------------------------------------ */

static GstResourceError resource_error_of(int32_t code) {
    switch (code) {
        case 2: return GST_RESOURCE_ERROR_NOT_FOUND;
        case 7:
        case 9:
        case 11: return GST_RESOURCE_ERROR_SETTINGS;
        case 8:
        case 13: return GST_RESOURCE_ERROR_READ;
        case 5: return GST_RESOURCE_ERROR_NO_SPACE_LEFT;
        default: return GST_RESOURCE_ERROR_FAILED;
    }
}

/* Posts an error or warning message for an SDK failure: `text` for people,
 * the call and the SDK's code in the debug string. */
static void post_failure(GstVantixSrc* src, GstMessageType type, const VantixFailure* failure, const char* file,
                         const char* function, int line, const char* text) {
    gchar* debug;
    if (failure->lastCode != failure->code) {
        debug = g_strdup_printf("%s failed: SDK error %d (%s), then SDK error %d", failure->call, (int)failure->code,
                                vantix_error_text(failure->code), (int)failure->lastCode);
    } else {
        debug = g_strdup_printf("%s failed: SDK error %d (%s)", failure->call, (int)failure->code,
                                vantix_error_text(failure->code));
    }
    gst_element_message_full(GST_ELEMENT(src), type, GST_RESOURCE_ERROR, resource_error_of(failure->code),
                             g_strdup(text), debug, file, function, line);
}

#define POST_FAILURE(src, type, failure, ...)                                       \
    G_STMT_START {                                                                  \
        gchar* text_ = g_strdup_printf(__VA_ARGS__);                                \
        post_failure(src, type, failure, __FILE__, GST_FUNCTION, __LINE__, text_);  \
        g_free(text_);                                                              \
    }                                                                               \
    G_STMT_END

/* ---- Frames from the SDK's dispatch thread ----------------------------------- */

/* Drops the queued buffers. Called with the lock held; the buffers go back to
 * the pool. */
static void clear_queue_locked(GstVantixSrc* src) {
    for (guint i = 0; i < src->queued; ++i) gst_buffer_unref(src->queue[i]);
    src->queued = 0;
}

/* The pipeline's running time now, or GST_CLOCK_TIME_NONE without a clock. */
static GstClockTime running_time_now(GstVantixSrc* src) {
    GST_OBJECT_LOCK(src);
    GstClock* clock = GST_ELEMENT_CLOCK(src);
    if (clock != NULL) gst_object_ref(clock);
    const GstClockTime base = GST_ELEMENT_CAST(src)->base_time;
    GST_OBJECT_UNLOCK(src);
    if (clock == NULL) return GST_CLOCK_TIME_NONE;
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    return now > base ? now - base : 0;
}

/* The frame interval from the SDK's measured rate, or NONE before the SDK has
 * measured one (about a second after the start). */
static GstClockTime frame_interval(gint32 rateTenths) {
    return rateTenths > 0 ? gst_util_uint64_scale_int(10 * GST_SECOND, 1, rateTenths) : GST_CLOCK_TIME_NONE;
}

/* A frame that was announced while playing but is not delivered. */
static void count_dropped(GstVantixSrc* src) {
    g_mutex_lock(&src->lock);
    if (src->playing) ++src->dropped;
    g_mutex_unlock(&src->lock);
}

/* The 64-bit mode leaves the fourth word of each pixel at 0; as alpha that
 * would be transparent, so it is made opaque. */
static void make_opaque(guint8* data, gsize bytes) {
    for (gsize i = 6; i + 1 < bytes; i += 8) {
        data[i] = 0xFF;
        data[i + 1] = 0xFF;
    }
}

static void take_frame(GstVantixSrc* src, const VantixFrameInfo* info) {
    /* The SDK reuses a record three frames later: read it now, field by field. */
    const gint32 width = __atomic_load_n(&info->width, __ATOMIC_RELAXED);
    const gint32 height = __atomic_load_n(&info->height, __ATOMIC_RELAXED);
    const gint32 bits = __atomic_load_n(&info->bitsPerPixel, __ATOMIC_RELAXED);
    const gint32 rate = __atomic_load_n(&info->rateTenths, __ATOMIC_RELAXED);
    const GstClockTime arrival = gst_base_src_get_do_timestamp(GST_BASE_SRC(src)) ? GST_CLOCK_TIME_NONE
                                                                                   : running_time_now(src);

    g_mutex_lock(&src->lock);
    const guint64 offset = src->sequence++;
    if (rate > 0) src->rateTenths = rate;
    const gboolean wanted = src->playing && src->pool != NULL && width == src->width && height == src->height &&
                            bits == vantix_format_bits(src->format);
    if (!wanted) {
        /* Paused, or a frame of the previous caps still in the queue. */
        if (src->playing && src->pool == NULL) ++src->dropped;
        g_mutex_unlock(&src->lock);
        return;
    }
    GstBufferPool* pool = gst_object_ref(src->pool);
    const VantixSrcFormat format = src->format;
    const gsize frameBytes = src->frameBytes;
    const GstClockTime duration = frame_interval(src->rateTenths);
    g_mutex_unlock(&src->lock);

    /* Never wait for downstream here: the dispatch thread must keep up with
     * the camera. No free buffer means this frame is dropped. */
    GstBufferPoolAcquireParams params = {.flags = GST_BUFFER_POOL_ACQUIRE_FLAG_DONTWAIT};
    GstBuffer* buffer = NULL;
    if (gst_buffer_pool_acquire_buffer(pool, &buffer, &params) != GST_FLOW_OK) {
        gst_object_unref(pool);
        count_dropped(src);
        return;
    }
    gst_object_unref(pool);
    GstMapInfo map;
    gboolean copied = FALSE;
    if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        copied = map.size >= frameBytes && vantix_camera_copy_frame(&src->camera, map.data, frameBytes);
        if (copied && format == VANTIX_SRC_FORMAT_BGRA64) make_opaque(map.data, frameBytes);
        gst_buffer_unmap(buffer, &map);
    }
    if (!copied) {
        gst_buffer_unref(buffer);
        count_dropped(src);
        return;
    }
    GST_BUFFER_PTS(buffer) = arrival;
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(buffer) = duration;
    GST_BUFFER_OFFSET(buffer) = offset;
    GST_BUFFER_OFFSET_END(buffer) = offset + 1;

    GstBuffer* pushedOut = NULL;
    g_mutex_lock(&src->lock);
    if (!src->playing) {
        pushedOut = buffer;  /* paused meanwhile */
    } else {
        if (src->queued == GST_VANTIX_SRC_QUEUE_LENGTH) {
            pushedOut = src->queue[0];
            memmove(&src->queue[0], &src->queue[1], (GST_VANTIX_SRC_QUEUE_LENGTH - 1) * sizeof src->queue[0]);
            --src->queued;
            ++src->dropped;
        }
        src->queue[src->queued++] = buffer;
        g_cond_broadcast(&src->changed);
    }
    g_mutex_unlock(&src->lock);
    if (pushedOut != NULL) gst_buffer_unref(pushedOut);
}

/* The window procedure of the session's message window: frame
 * announcements, lost frames and error notifications. */
static intptr_t window_proc(VantixHwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam, void* user) {
    (void)window;
    GstVantixSrc* src = user;
    if (message == VANTIX_MSG_FRAME && wParam != 0) {
        take_frame(src, (const VantixFrameInfo*)wParam);
    } else if (message == VANTIX_MSG_FRAME) {
        g_mutex_lock(&src->lock);
        if (lParam == 13) {
            /* The camera is gone and the SDK's stream has ended. */
            src->lostCode = 13;
            g_cond_broadcast(&src->changed);
        } else {
            /* A frame that could not be fetched: it has a number, but no data. */
            GST_DEBUG_OBJECT(src, "frame lost, SDK error %d", (int)lParam);
            ++src->sequence;
            if (src->playing) ++src->dropped;
        }
        g_mutex_unlock(&src->lock);
    } else if (message == VANTIX_MSG_ERROR) {
        /* Failed calls are reported where they are made; this is the SDK's
         * echo of them. */
        GST_DEBUG_OBJECT(src, "SDK error notification %d", (int)lParam);
    }
    return 0;
}

/* ---- Properties -------------------------------------------------------------- */

static void apply_exposure(GstVantixSrc* src, gdouble seconds) {
    VantixFailure failure;
    if (!vantix_camera_set_exposure(&src->camera, seconds, &failure)) {
        POST_FAILURE(src, GST_MESSAGE_WARNING, &failure, "The camera refused an exposure of %g s", seconds);
    } else {
        /* Latency follows the exposure. */
        gst_element_post_message(GST_ELEMENT(src), gst_message_new_latency(GST_OBJECT(src)));
    }
}

static void apply_gain(GstVantixSrc* src, gint gain) {
    VantixFailure failure;
    if (!vantix_camera_set_gain(&src->camera, gain, &failure)) {
        POST_FAILURE(src, GST_MESSAGE_WARNING, &failure, "The camera refused a gain of %d", gain);
    }
}

static void gst_vantix_src_set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    GstVantixSrc* src = GST_VANTIX_SRC(object);
    gboolean open;
    GST_OBJECT_LOCK(src);
    open = src->open;
    switch (id) {
        case PROP_CAMERA_INDEX: src->cameraIndex = g_value_get_int(value); break;
        case PROP_MODEL: src->model = g_value_get_uint(value); break;
        case PROP_EXPOSURE: src->exposure = g_value_get_double(value); break;
        case PROP_GAIN: src->gain = g_value_get_int(value); break;
        case PROP_ROI_X: src->roiX = g_value_get_int(value); break;
        case PROP_ROI_Y: src->roiY = g_value_get_int(value); break;
        case PROP_ROI_WIDTH: src->roiWidth = g_value_get_int(value); break;
        case PROP_ROI_HEIGHT: src->roiHeight = g_value_get_int(value); break;
        case PROP_COLOR_MODE: src->colorMode = (VantixSrcFormat)g_value_get_enum(value); break;
        case PROP_MIRROR: src->mirror = (GstVantixSrcMirror)g_value_get_enum(value); break;
        case PROP_WAIT_TIME: src->waitTime = g_value_get_int(value); break;
        default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
    GST_OBJECT_UNLOCK(src);
    /* Exposure and gain change while the camera streams; the SDK applies them
     * from the next frame. */
    if (open && id == PROP_EXPOSURE && g_value_get_double(value) > 0.0) apply_exposure(src, g_value_get_double(value));
    if (open && id == PROP_GAIN && g_value_get_int(value) >= 0) apply_gain(src, g_value_get_int(value));
}

static void gst_vantix_src_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    GstVantixSrc* src = GST_VANTIX_SRC(object);
    GST_OBJECT_LOCK(src);
    switch (id) {
        case PROP_CAMERA_INDEX: g_value_set_int(value, src->cameraIndex); break;
        case PROP_MODEL: g_value_set_uint(value, src->model); break;
        case PROP_EXPOSURE: g_value_set_double(value, src->exposure); break;
        case PROP_GAIN: g_value_set_int(value, src->gain); break;
        case PROP_ROI_X: g_value_set_int(value, src->roiX); break;
        case PROP_ROI_Y: g_value_set_int(value, src->roiY); break;
        case PROP_ROI_WIDTH: g_value_set_int(value, src->roiWidth); break;
        case PROP_ROI_HEIGHT: g_value_set_int(value, src->roiHeight); break;
        case PROP_COLOR_MODE: g_value_set_enum(value, src->colorMode); break;
        case PROP_MIRROR: g_value_set_enum(value, src->mirror); break;
        case PROP_WAIT_TIME: g_value_set_int(value, src->waitTime); break;
        case PROP_FRAMES_DROPPED:
            g_mutex_lock(&src->lock);
            g_value_set_uint64(value, src->dropped);
            g_mutex_unlock(&src->lock);
            break;
        default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec); break;
    }
    GST_OBJECT_UNLOCK(src);
}

/* ---- Opening and closing the camera ------------------------------------------ */

static gboolean gst_vantix_src_start(GstBaseSrc* base) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    GST_OBJECT_LOCK(src);
    const gint index = src->cameraIndex;
    const guint model = src->model;
    const GstVantixSrcMirror mirror = src->mirror;
    VantixCameraSettings settings = {
        .colorBits = 0, .grayMode = -1, .x = 0, .y = 0, .width = 0, .height = 0,
        .mirrorH = mirror == GST_VANTIX_SRC_MIRROR_CAMERA ? -1 : (mirror & GST_VANTIX_SRC_MIRROR_HORIZONTAL) != 0,
        .mirrorV = mirror == GST_VANTIX_SRC_MIRROR_CAMERA ? -1 : (mirror & GST_VANTIX_SRC_MIRROR_VERTICAL) != 0,
        .exposureSeconds = src->exposure, .gain = src->gain, .waitTimeMs = src->waitTime,
    };
    GST_OBJECT_UNLOCK(src);

    if (model != 0 && model != SUPPORTED_MODEL) {
        GST_ELEMENT_ERROR(src, RESOURCE, SETTINGS, ("Camera model 0x%04x is not supported", model),
                          ("this SDK drives model 0x%04x; set model to 0 or 0x%04x", SUPPORTED_MODEL,
                           SUPPORTED_MODEL));
        return FALSE;
    }
    VantixFailure failure;
    if (!vantix_camera_open(&src->camera, index, model, window_proc, src, &failure)) {
        if (model != 0 && failure.code == 2) {
            POST_FAILURE(src, GST_MESSAGE_ERROR, &failure, "No camera of model 0x%04x at number %d", model, index);
        } else {
            POST_FAILURE(src, GST_MESSAGE_ERROR, &failure, "Could not open camera number %d", index);
        }
        return FALSE;
    }
    if (!vantix_window_limits(src->camera.model, src->camera.sensorWidth, src->camera.sensorHeight, &src->limits)) {
        GST_ELEMENT_ERROR(src, RESOURCE, SETTINGS, ("Camera model 0x%04x is not supported", src->camera.model),
                          ("no capture window rules for a %d x %d sensor of this model", src->camera.sensorWidth,
                           src->camera.sensorHeight));
        vantix_camera_close(&src->camera);
        return FALSE;
    }
    if (!vantix_camera_configure(&src->camera, &settings, &failure)) {
        POST_FAILURE(src, GST_MESSAGE_ERROR, &failure, "The camera refused a setting");
        vantix_camera_close(&src->camera);
        return FALSE;
    }
    src->mirrorH = settings.mirrorH < 0 ? src->camera.mirrorH : settings.mirrorH != 0;
    src->mirrorV = settings.mirrorV < 0 ? src->camera.mirrorV : settings.mirrorV != 0;

    g_mutex_lock(&src->lock);
    src->format = VANTIX_SRC_FORMAT_AUTO;
    src->flushing = FALSE;
    src->lostCode = 0;
    src->sequence = src->delivered = src->dropped = src->droppedReported = src->nextOffset = 0;
    src->rateTenths = 0;
    g_mutex_unlock(&src->lock);
    GST_OBJECT_LOCK(src);
    src->open = TRUE;
    GST_OBJECT_UNLOCK(src);
    GST_INFO_OBJECT(src, "camera %d open: model 0x%04x, sensor %d x %d", index, src->camera.model,
                    src->camera.sensorWidth, src->camera.sensorHeight);
    return TRUE;
}

static gboolean gst_vantix_src_stop(GstBaseSrc* base) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    GST_OBJECT_LOCK(src);
    src->open = FALSE;
    GST_OBJECT_UNLOCK(src);
    g_mutex_lock(&src->lock);
    src->playing = FALSE;
    src->flushing = TRUE;
    g_cond_broadcast(&src->changed);
    g_mutex_unlock(&src->lock);
    /* After this no window procedure runs: nothing refills the queue. */
    vantix_camera_close(&src->camera);
    g_mutex_lock(&src->lock);
    clear_queue_locked(src);
    GstBufferPool* pool = src->pool;
    src->pool = NULL;
    g_mutex_unlock(&src->lock);
    if (pool != NULL) gst_object_unref(pool);
    return TRUE;
}

/* ---- Caps ---------------------------------------------------------------------- */

/* The formats to offer, the camera's current mode first. */
static guint offered_formats(GstVantixSrc* src, VantixSrcFormat colorMode, VantixSrcFormat* formats) {
    if (colorMode != VANTIX_SRC_FORMAT_AUTO) {
        formats[0] = colorMode;
        return 1;
    }
    guint count = 0;
    const VantixSrcFormat current = vantix_format_of_mode(src->camera.colorBits, src->camera.grayMode);
    if (current != VANTIX_SRC_FORMAT_AUTO) formats[count++] = current;
    for (int f = VANTIX_SRC_FORMAT_AUTO + 1; f < VANTIX_SRC_FORMAT_COUNT; ++f) {
        if ((VantixSrcFormat)f != current) formats[count++] = (VantixSrcFormat)f;
    }
    return count;
}

static GstCaps* gst_vantix_src_get_caps(GstBaseSrc* base, GstCaps* filter) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    GST_OBJECT_LOCK(src);
    const gboolean open = src->open;
    const VantixSrcFormat colorMode = src->colorMode;
    const gint roiX = src->roiX, roiY = src->roiY, roiWidth = src->roiWidth, roiHeight = src->roiHeight;
    GST_OBJECT_UNLOCK(src);

    GstCaps* caps;
    if (!open) {
        caps = gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(base));
    } else {
        /* A fixed origin leaves less room for the window. */
        VantixWindowLimits limits = src->limits;
        if (roiX > 0) limits.maxWidth -= GST_ROUND_UP_N(roiX, limits.widthStep);
        if (roiY > 0) limits.maxHeight -= GST_ROUND_UP_N(roiY, limits.heightStep);
        if (limits.maxWidth < limits.minWidth || limits.maxHeight < limits.minHeight) return gst_caps_new_empty();
        VantixSrcFormat formats[VANTIX_SRC_FORMAT_COUNT];
        const guint count = offered_formats(src, colorMode, formats);
        caps = vantix_caps_for(formats, count, &limits, roiWidth, roiHeight,
                               vantix_bayer_format(src->camera.bayerMode, src->mirrorH, src->mirrorV));
    }
    if (filter != NULL) {
        GstCaps* filtered = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = filtered;
    }
    return caps;
}

/* Fixes a size field at the allowed value nearest `target`. */
static void fixate_size(GstStructure* structure, const char* field, gint target) {
    const GValue* value = gst_structure_get_value(structure, field);
    if (value == NULL || !GST_VALUE_HOLDS_INT_RANGE(value)) return;
    const gint min = gst_value_get_int_range_min(value);
    const gint max = gst_value_get_int_range_max(value);
    const gint step = MAX(gst_value_get_int_range_step(value), 1);
    const gint clamped = CLAMP(target, min, max);
    gint below = min + (clamped - min) / step * step;
    if (clamped - below > step / 2 && below + step <= max) below += step;
    gst_structure_set(structure, field, G_TYPE_INT, below, NULL);
}

static GstCaps* gst_vantix_src_fixate(GstBaseSrc* base, GstCaps* caps) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    caps = gst_caps_truncate(gst_caps_make_writable(caps));
    GstStructure* structure = gst_caps_get_structure(caps, 0);
    /* Free sizes become the camera's current capture window. */
    fixate_size(structure, "width", src->camera.windowWidth);
    fixate_size(structure, "height", src->camera.windowHeight);
    return GST_BASE_SRC_CLASS(gst_vantix_src_parent_class)->fixate(base, caps);
}

/* Where the window of the negotiated size lies: the origin properties, else
 * the camera's window when it has that size, else the centre of the sensor. */
static void window_origin(GstVantixSrc* src, gint width, gint height, gint roiX, gint roiY, gint* x, gint* y) {
    const VantixCamera* camera = &src->camera;
    const gint step = src->limits.originStep;
    const gboolean sameSize = width == camera->windowWidth && height == camera->windowHeight;
    if (roiX >= 0) {
        *x = roiX;
    } else if (sameSize) {
        *x = camera->windowX;
    } else {
        *x = (camera->sensorWidth - width) / 2 / step * step;
    }
    if (roiY >= 0) {
        *y = roiY;
    } else if (sameSize) {
        *y = camera->windowY;
    } else {
        *y = (camera->sensorHeight - height) / 2 / step * step;
    }
}

static gboolean gst_vantix_src_set_caps(GstBaseSrc* base, GstCaps* caps) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    const GstStructure* structure = gst_caps_get_structure(caps, 0);
    const VantixSrcFormat format = vantix_format_from_structure(structure);
    gint width = 0, height = 0;
    if (format == VANTIX_SRC_FORMAT_AUTO || !gst_structure_get_int(structure, "width", &width) ||
        !gst_structure_get_int(structure, "height", &height) || width > MAX_WINDOW_SIDE ||
        height > MAX_WINDOW_SIDE) {
        GST_ELEMENT_ERROR(src, CORE, NEGOTIATION, (NULL), ("caps the camera cannot deliver: %" GST_PTR_FORMAT, (void*)caps));
        return FALSE;
    }
    GST_OBJECT_LOCK(src);
    const gint roiX = src->roiX, roiY = src->roiY;
    GST_OBJECT_UNLOCK(src);

    /* New caps while streaming: the stream restarts with the new window. */
    vantix_camera_stop(&src->camera);
    g_mutex_lock(&src->lock);
    clear_queue_locked(src);
    src->format = format;
    src->width = width;
    src->height = height;
    src->frameBytes = vantix_format_stride(format, width) * (gsize)height;
    src->sequence = 0;
    g_mutex_unlock(&src->lock);

    VantixCameraSettings settings = {
        .colorBits = vantix_format_bits(format), .grayMode = -1, .width = width, .height = height,
        .mirrorH = -1, .mirrorV = -1, .exposureSeconds = 0.0, .gain = -1, .waitTimeMs = -1,
    };
    if (format == VANTIX_SRC_FORMAT_GRAY8) {
        settings.grayMode = VANTIX_GRAY_MODE_COLOR_TO_GRAY;
    } else if (format == VANTIX_SRC_FORMAT_BAYER && src->camera.grayMode == VANTIX_GRAY_MODE_COLOR_TO_GRAY) {
        /* Gray mode 1 (channel gains) keeps the pattern; only 2 loses it. */
        settings.grayMode = VANTIX_GRAY_MODE_OFF;
    } else if (format == VANTIX_SRC_FORMAT_BAYER || src->camera.grayModeChanged) {
        settings.grayMode = src->camera.grayMode;
    }
    window_origin(src, width, height, roiX, roiY, &settings.x, &settings.y);
    VantixFailure failure;
    if (!vantix_camera_configure(&src->camera, &settings, &failure) || !vantix_camera_start(&src->camera, &failure)) {
        POST_FAILURE(src, GST_MESSAGE_ERROR, &failure, "Could not stream %d x %d from (%d, %d) in %s", width, height,
                     settings.x, settings.y, gst_structure_get_string(structure, "format"));
        return FALSE;
    }
    GST_INFO_OBJECT(src, "streaming %" GST_PTR_FORMAT " from (%d, %d)", (void*)caps, settings.x, settings.y);
    return TRUE;
}

/* ---- Buffers ------------------------------------------------------------------ */

/* Always the element's own pool: the SDK writes rows padded to 4 bytes, which
 * a downstream pool with other strides would not match. */
static gboolean gst_vantix_src_decide_allocation(GstBaseSrc* base, GstQuery* query) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    GstCaps* caps = NULL;
    gst_query_parse_allocation(query, &caps, NULL);
    if (caps == NULL) return FALSE;
    guint downstreamMin = 0;
    if (gst_query_get_n_allocation_pools(query) > 0) {
        gst_query_parse_nth_allocation_pool(query, 0, NULL, NULL, &downstreamMin, NULL);
    }
    g_mutex_lock(&src->lock);
    const gsize size = src->frameBytes;
    const gboolean video = src->format != VANTIX_SRC_FORMAT_BAYER;
    g_mutex_unlock(&src->lock);

    /* A fixed number of buffers: when downstream holds them all, frames are
     * dropped instead of memory growing. */
    const guint count = downstreamMin + POOL_EXTRA_BUFFERS;
    GstBufferPool* pool = video ? gst_video_buffer_pool_new() : gst_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, (guint)size, count, count);
    if (!gst_buffer_pool_set_config(pool, config)) {
        gst_object_unref(pool);
        GST_ELEMENT_ERROR(src, RESOURCE, SETTINGS, (NULL), ("the buffer pool refused %u buffers of %" G_GSIZE_FORMAT
                                                            " bytes", count, size));
        return FALSE;
    }
    if (gst_query_get_n_allocation_pools(query) > 0) {
        gst_query_set_nth_allocation_pool(query, 0, pool, (guint)size, count, count);
    } else {
        gst_query_add_allocation_pool(query, pool, (guint)size, count, count);
    }
    g_mutex_lock(&src->lock);
    GstBufferPool* previous = src->pool;
    src->pool = pool;  /* the query holds its own reference */
    g_mutex_unlock(&src->lock);
    if (previous != NULL) gst_object_unref(previous);
    return TRUE;
}

/* Reports drops since the last report in a QoS message about `buffer`. */
static void post_qos(GstVantixSrc* src, GstBuffer* buffer, guint64 delivered, guint64 dropped) {
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    GstMessage* message = gst_message_new_qos(GST_OBJECT(src), TRUE, pts, GST_CLOCK_TIME_NONE, pts,
                                              GST_BUFFER_DURATION(buffer));
    gst_message_set_qos_stats(message, GST_FORMAT_BUFFERS, delivered, dropped);
    gst_element_post_message(GST_ELEMENT(src), message);
}

static GstFlowReturn gst_vantix_src_create(GstPushSrc* push, GstBuffer** out) {
    GstVantixSrc* src = GST_VANTIX_SRC(push);
    g_mutex_lock(&src->lock);
    while (src->queued == 0 && !src->flushing && src->lostCode == 0) g_cond_wait(&src->changed, &src->lock);
    if (src->flushing) {
        g_mutex_unlock(&src->lock);
        return GST_FLOW_FLUSHING;
    }
    if (src->queued == 0) {
        const gint32 code = src->lostCode;
        g_mutex_unlock(&src->lock);
        const VantixFailure failure = {.call = "the camera's stream", .code = code, .lastCode = code};
        POST_FAILURE(src, GST_MESSAGE_ERROR, &failure, "The camera was lost");
        return GST_FLOW_ERROR;
    }
    GstBuffer* buffer = src->queue[0];
    memmove(&src->queue[0], &src->queue[1], (GST_VANTIX_SRC_QUEUE_LENGTH - 1) * sizeof src->queue[0]);
    --src->queued;
    /* A gap in the frame numbers (drops, a pause) is a discontinuity. */
    const gboolean gap = src->delivered > 0 && GST_BUFFER_OFFSET(buffer) != src->nextOffset;
    src->nextOffset = GST_BUFFER_OFFSET(buffer) + 1;
    const guint64 delivered = ++src->delivered;
    const guint64 dropped = src->dropped;
    const gboolean newDrops = dropped != src->droppedReported;
    src->droppedReported = dropped;
    g_mutex_unlock(&src->lock);

    if (gap) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    if (newDrops) post_qos(src, buffer, delivered, dropped);
    *out = buffer;
    return GST_FLOW_OK;
}

static gboolean gst_vantix_src_unlock(GstBaseSrc* base) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    g_mutex_lock(&src->lock);
    src->flushing = TRUE;
    g_cond_broadcast(&src->changed);
    g_mutex_unlock(&src->lock);
    return TRUE;
}

static gboolean gst_vantix_src_unlock_stop(GstBaseSrc* base) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    g_mutex_lock(&src->lock);
    src->flushing = FALSE;
    g_mutex_unlock(&src->lock);
    return TRUE;
}

/* A frame reaches the element about one frame time after its exposure began:
 * the SDK's measured frame interval, or the exposure before it has one. */
static gboolean gst_vantix_src_query(GstBaseSrc* base, GstQuery* query) {
    GstVantixSrc* src = GST_VANTIX_SRC(base);
    if (GST_QUERY_TYPE(query) != GST_QUERY_LATENCY) {
        return GST_BASE_SRC_CLASS(gst_vantix_src_parent_class)->query(base, query);
    }
    GST_OBJECT_LOCK(src);
    const gboolean open = src->open;
    GST_OBJECT_UNLOCK(src);
    if (!open) return FALSE;
    g_mutex_lock(&src->lock);
    GstClockTime latency = frame_interval(src->rateTenths);
    g_mutex_unlock(&src->lock);
    if (!GST_CLOCK_TIME_IS_VALID(latency)) {
        const double exposure = vantix_camera_exposure(&src->camera);
        latency = exposure > 0.0 ? (GstClockTime)(exposure * GST_SECOND) : 0;
    }
    gst_query_set_latency(query, TRUE, latency, latency * (GST_VANTIX_SRC_QUEUE_LENGTH + 1));
    return TRUE;
}

static GstStateChangeReturn gst_vantix_src_change_state(GstElement* element, GstStateChange transition) {
    GstVantixSrc* src = GST_VANTIX_SRC(element);
    if (transition == GST_STATE_CHANGE_PLAYING_TO_PAUSED) {
        g_mutex_lock(&src->lock);
        src->playing = FALSE;
        clear_queue_locked(src);
        g_mutex_unlock(&src->lock);
    }
    const GstStateChangeReturn result =
        GST_ELEMENT_CLASS(gst_vantix_src_parent_class)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_PLAYING && result != GST_STATE_CHANGE_FAILURE) {
        /* Frames are stamped from the base time set for this state. */
        g_mutex_lock(&src->lock);
        clear_queue_locked(src);
        src->playing = TRUE;
        g_mutex_unlock(&src->lock);
    }
    return result;
}

/* ---- Type ---------------------------------------------------------------------- */

static void gst_vantix_src_finalize(GObject* object) {
    GstVantixSrc* src = GST_VANTIX_SRC(object);
    g_mutex_clear(&src->lock);
    g_cond_clear(&src->changed);
    G_OBJECT_CLASS(gst_vantix_src_parent_class)->finalize(object);
}

static void gst_vantix_src_init(GstVantixSrc* src) {
    src->cameraIndex = DEFAULT_CAMERA_INDEX;
    src->model = DEFAULT_MODEL;
    src->exposure = DEFAULT_EXPOSURE;
    src->gain = DEFAULT_GAIN;
    src->roiX = src->roiY = DEFAULT_ROI_ORIGIN;
    src->roiWidth = src->roiHeight = DEFAULT_ROI_SIZE;
    src->colorMode = DEFAULT_COLOR_MODE;
    src->mirror = DEFAULT_MIRROR;
    src->waitTime = DEFAULT_WAIT_TIME;
    g_mutex_init(&src->lock);
    g_cond_init(&src->changed);
    gst_base_src_set_live(GST_BASE_SRC(src), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(src), GST_FORMAT_TIME);
}

static void gst_vantix_src_class_init(GstVantixSrcClass* klass) {
    GObjectClass* object = G_OBJECT_CLASS(klass);
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    GstPushSrcClass* push = GST_PUSH_SRC_CLASS(klass);
    GST_DEBUG_CATEGORY_INIT(gst_vantix_src_debug, "vantixsrc", 0, "Vantix camera source");

    object->set_property = gst_vantix_src_set_property;
    object->get_property = gst_vantix_src_get_property;
    object->finalize = gst_vantix_src_finalize;

    const GParamFlags rw = (GParamFlags)(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    const GParamFlags live = (GParamFlags)(rw | GST_PARAM_MUTABLE_PLAYING);
    g_object_class_install_property(
        object, PROP_CAMERA_INDEX,
        g_param_spec_int("camera-index", "Camera index", "Number of the attached camera to open, from 0", 0,
                         MAX_CAMERA_INDEX, DEFAULT_CAMERA_INDEX, rw));
    g_object_class_install_property(
        object, PROP_MODEL,
        g_param_spec_uint("model", "Model", "Model id the camera must have, 0 for any (this SDK drives 0x3040 only)",
                          0, 0xFFFF, DEFAULT_MODEL, rw));
    g_object_class_install_property(
        object, PROP_EXPOSURE,
        g_param_spec_double("exposure", "Exposure", "Exposure time in seconds, 0 to keep the camera's", 0.0, 3600.0,
                            DEFAULT_EXPOSURE, live));
    g_object_class_install_property(
        object, PROP_GAIN,
        g_param_spec_int("gain", "Gain", "Global gain in the camera's range, -1 to keep the camera's", -1, G_MAXINT,
                         DEFAULT_GAIN, live));
    g_object_class_install_property(
        object, PROP_ROI_X,
        g_param_spec_int("roi-x", "ROI x", "Left edge of the capture window on the sensor, -1 to place it",
                         -1, MAX_WINDOW_SIDE, DEFAULT_ROI_ORIGIN, rw));
    g_object_class_install_property(
        object, PROP_ROI_Y,
        g_param_spec_int("roi-y", "ROI y", "Top edge of the capture window on the sensor, -1 to place it",
                         -1, MAX_WINDOW_SIDE, DEFAULT_ROI_ORIGIN, rw));
    g_object_class_install_property(
        object, PROP_ROI_WIDTH,
        g_param_spec_int("roi-width", "ROI width", "Width of the capture window, 0 to negotiate it", 0,
                         MAX_WINDOW_SIDE, DEFAULT_ROI_SIZE, rw));
    g_object_class_install_property(
        object, PROP_ROI_HEIGHT,
        g_param_spec_int("roi-height", "ROI height", "Height of the capture window, 0 to negotiate it", 0,
                         MAX_WINDOW_SIDE, DEFAULT_ROI_SIZE, rw));
    g_object_class_install_property(
        object, PROP_COLOR_MODE,
        g_param_spec_enum("color-mode", "Colour mode", "Output format of the camera", GST_TYPE_VANTIX_SRC_COLOR_MODE,
                          DEFAULT_COLOR_MODE, rw));
    g_object_class_install_property(
        object, PROP_MIRROR,
        g_param_spec_enum("mirror", "Mirror", "Mirroring in the camera", GST_TYPE_VANTIX_SRC_MIRROR, DEFAULT_MIRROR,
                          rw));
    g_object_class_install_property(
        object, PROP_WAIT_TIME,
        g_param_spec_int("wait-time", "Wait time",
                         "Pause of the SDK before each frame in milliseconds, -1 to keep the camera's", -1, G_MAXINT,
                         DEFAULT_WAIT_TIME, rw));
    g_object_class_install_property(
        object, PROP_FRAMES_DROPPED,
        g_param_spec_uint64("frames-dropped", "Frames dropped",
                            "Frames the camera delivered while playing that were not passed on", 0, G_MAXUINT64, 0,
                            (GParamFlags)(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));

    gst_element_class_set_static_metadata(element, "Vantix camera source", "Source/Video/Hardware",
                                          "Live frames from a Vantix USB3 camera", "Vantix SDK");
    GstCaps* caps = vantix_template_caps();
    gst_element_class_add_pad_template(element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);
    element->change_state = gst_vantix_src_change_state;

    base->start = gst_vantix_src_start;
    base->stop = gst_vantix_src_stop;
    base->get_caps = gst_vantix_src_get_caps;
    base->fixate = gst_vantix_src_fixate;
    base->set_caps = gst_vantix_src_set_caps;
    base->decide_allocation = gst_vantix_src_decide_allocation;
    base->query = gst_vantix_src_query;
    base->unlock = gst_vantix_src_unlock;
    base->unlock_stop = gst_vantix_src_unlock_stop;
    push->create = gst_vantix_src_create;

    gst_type_mark_as_plugin_api(GST_TYPE_VANTIX_SRC_COLOR_MODE, 0);
    gst_type_mark_as_plugin_api(GST_TYPE_VANTIX_SRC_MIRROR, 0);
}
