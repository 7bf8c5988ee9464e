/* The pixel formats of vantixsrc and the caps built from them. */
#include "vantixsrc_formats.h"

typedef struct {
    int32_t bits;              /* SDK colour mode */
    int32_t bytesPerPixel;
    GstVideoFormat video;      /* GST_VIDEO_FORMAT_UNKNOWN: video/x-bayer */
} FormatRecord;

/* Indexed by VantixSrcFormat. */
static const FormatRecord kFormats[VANTIX_SRC_FORMAT_COUNT] = {
    [VANTIX_SRC_FORMAT_AUTO] = {0, 0, GST_VIDEO_FORMAT_UNKNOWN},
    [VANTIX_SRC_FORMAT_BGR] = {24, 3, GST_VIDEO_FORMAT_BGR},
    [VANTIX_SRC_FORMAT_BGRX] = {32, 4, GST_VIDEO_FORMAT_BGRx},
    [VANTIX_SRC_FORMAT_GRAY8] = {8, 1, GST_VIDEO_FORMAT_GRAY8},
    [VANTIX_SRC_FORMAT_GRAY16] = {16, 2, GST_VIDEO_FORMAT_GRAY16_LE},
    [VANTIX_SRC_FORMAT_BGRA64] = {64, 8, GST_VIDEO_FORMAT_BGRA64_LE},
    [VANTIX_SRC_FORMAT_BAYER] = {8, 1, GST_VIDEO_FORMAT_UNKNOWN},
};

/* GStreamer names a Bayer pattern by its first two rows. Indexed by the SDK's
 * Bayer mode: mode 0 has G, B in its first row and R, G in the second, mode 1
 * is mode 0 moved by a row, mode 2 by a column, mode 3 by both. */
static const char* const kBayerFormats[4] = {"gbrg", "rggb", "bggr", "grbg"};

static gboolean is_valid(VantixSrcFormat format) {
    return format > VANTIX_SRC_FORMAT_AUTO && format < VANTIX_SRC_FORMAT_COUNT;
}

int32_t vantix_format_bits(VantixSrcFormat format) { return is_valid(format) ? kFormats[format].bits : 0; }

gsize vantix_format_stride(VantixSrcFormat format, int32_t width) {
    if (!is_valid(format) || width <= 0) return 0;
    return GST_ROUND_UP_4((gsize)width * (gsize)kFormats[format].bytesPerPixel);
}

VantixSrcFormat vantix_format_of_mode(int32_t bits, int32_t grayMode) {
    switch (bits) {
        case 8: return grayMode == VANTIX_GRAY_MODE_COLOR_TO_GRAY ? VANTIX_SRC_FORMAT_GRAY8 : VANTIX_SRC_FORMAT_BAYER;
        case 16: return VANTIX_SRC_FORMAT_GRAY16;
        case 24: return VANTIX_SRC_FORMAT_BGR;
        case 32: return VANTIX_SRC_FORMAT_BGRX;
        case 48:
        case 64: return VANTIX_SRC_FORMAT_BGRA64;
        default: return VANTIX_SRC_FORMAT_AUTO;
    }
}

const char* vantix_format_media_type(VantixSrcFormat format) {
    return format == VANTIX_SRC_FORMAT_BAYER ? "video/x-bayer" : "video/x-raw";
}

const char* vantix_format_name(VantixSrcFormat format) {
    if (!is_valid(format) || kFormats[format].video == GST_VIDEO_FORMAT_UNKNOWN) return NULL;
    return gst_video_format_to_string(kFormats[format].video);
}

VantixSrcFormat vantix_format_from_structure(const GstStructure* structure) {
    const char* name = gst_structure_get_string(structure, "format");
    if (name == NULL) return VANTIX_SRC_FORMAT_AUTO;
    if (gst_structure_has_name(structure, "video/x-bayer")) {
        for (guint i = 0; i < G_N_ELEMENTS(kBayerFormats); ++i) {
            if (g_str_equal(name, kBayerFormats[i])) return VANTIX_SRC_FORMAT_BAYER;
        }
        return VANTIX_SRC_FORMAT_AUTO;
    }
    if (!gst_structure_has_name(structure, "video/x-raw")) return VANTIX_SRC_FORMAT_AUTO;
    const GstVideoFormat video = gst_video_format_from_string(name);
    for (int f = VANTIX_SRC_FORMAT_AUTO + 1; f < VANTIX_SRC_FORMAT_COUNT; ++f) {
        if (kFormats[f].video != GST_VIDEO_FORMAT_UNKNOWN && kFormats[f].video == video) return (VantixSrcFormat)f;
    }
    return VANTIX_SRC_FORMAT_AUTO;
}

const char* vantix_bayer_format(int32_t bayerMode, gboolean mirrorH, gboolean mirrorV) {
    /* Reversing an even number of rows moves the pattern by a row (mode bit
     * 0), reversing each row of even length by a column (mode bit 1). */
    int32_t mode = bayerMode & 3;
    if (mirrorV) mode ^= 1;
    if (mirrorH) mode ^= 2;
    return kBayerFormats[mode];
}

/* Known window rules per model; the sensor size comes from the camera. */
typedef struct {
    uint16_t model;
    int32_t minWidth, minHeight, widthStep, heightStep, originStep;
} ModelWindowRules;

static const ModelWindowRules kModelRules[] = {
    {.model = 0x3040, .minWidth = 320, .minHeight = 8, .widthStep = 16, .heightStep = 2, .originStep = 2},
};

gboolean vantix_window_limits(uint16_t model, int32_t sensorWidth, int32_t sensorHeight, VantixWindowLimits* limits) {
    for (guint i = 0; i < G_N_ELEMENTS(kModelRules); ++i) {
        const ModelWindowRules* rules = &kModelRules[i];
        if (rules->model != model) continue;
        if (sensorWidth < rules->minWidth || sensorHeight < rules->minHeight) return FALSE;
        limits->maxWidth = sensorWidth - sensorWidth % rules->widthStep;
        limits->maxHeight = sensorHeight - sensorHeight % rules->heightStep;
        limits->minWidth = rules->minWidth;
        limits->minHeight = rules->minHeight;
        limits->widthStep = rules->widthStep;
        limits->heightStep = rules->heightStep;
        limits->originStep = rules->originStep;
        return TRUE;
    }
    return FALSE;
}

/* A fixed value, or the stepped range of sizes from min to max. */
static void set_size_field(GstStructure* structure, const char* field, int32_t fixed, int32_t min, int32_t max,
                           int32_t step) {
    GValue value = G_VALUE_INIT;
    if (fixed > 0 || min == max) {
        g_value_init(&value, G_TYPE_INT);
        g_value_set_int(&value, fixed > 0 ? fixed : min);
    } else {
        g_value_init(&value, GST_TYPE_INT_RANGE);
        gst_value_set_int_range_step(&value, min, max, step);
    }
    gst_structure_take_value(structure, field, &value);
}

GstCaps* vantix_caps_for(const VantixSrcFormat* formats, guint count, const VantixWindowLimits* limits,
                         int32_t width, int32_t height, const char* bayerFormat) {
    GstCaps* caps = gst_caps_new_empty();
    for (guint i = 0; i < count; ++i) {
        const VantixSrcFormat format = formats[i];
        if (!is_valid(format)) continue;
        GstStructure* structure = gst_structure_new_empty(vantix_format_media_type(format));
        gst_structure_set(structure, "format", G_TYPE_STRING,
                          format == VANTIX_SRC_FORMAT_BAYER ? bayerFormat : vantix_format_name(format), NULL);
        set_size_field(structure, "width", width, limits->minWidth, limits->maxWidth, limits->widthStep);
        set_size_field(structure, "height", height, limits->minHeight, limits->maxHeight, limits->heightStep);
        /* The frame rate follows exposure, window and bus load and is not
         * known in advance: a variable rate, as GStreamer writes it. */
        gst_structure_set(structure, "framerate", GST_TYPE_FRACTION, 0, 1, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1,
                          1, NULL);
        gst_caps_append_structure(caps, structure);
    }
    return caps;
}

GstCaps* vantix_template_caps(void) {
    GstCaps* caps = gst_caps_new_empty();
    for (int f = VANTIX_SRC_FORMAT_AUTO + 1; f < VANTIX_SRC_FORMAT_COUNT; ++f) {
        GstStructure* structure = gst_structure_new_empty(vantix_format_media_type((VantixSrcFormat)f));
        if (f == VANTIX_SRC_FORMAT_BAYER) {
            GValue list = G_VALUE_INIT;
            gst_value_list_init(&list, G_N_ELEMENTS(kBayerFormats));
            for (guint i = 0; i < G_N_ELEMENTS(kBayerFormats); ++i) {
                GValue name = G_VALUE_INIT;
                g_value_init(&name, G_TYPE_STRING);
                g_value_set_static_string(&name, kBayerFormats[i]);
                gst_value_list_append_and_take_value(&list, &name);
            }
            gst_structure_take_value(structure, "format", &list);
        } else {
            gst_structure_set(structure, "format", G_TYPE_STRING, vantix_format_name((VantixSrcFormat)f), NULL);
        }
        gst_structure_set(structure, "width", GST_TYPE_INT_RANGE, 1, G_MAXINT, "height", GST_TYPE_INT_RANGE, 1,
                          G_MAXINT, "framerate", GST_TYPE_FRACTION, 0, 1, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1,
                          1, NULL);
        gst_caps_append_structure(caps, structure);
    }
    return caps;
}
