/* The pixel formats of vantixsrc: which SDK colour mode (and gray mode)
 * produces which GStreamer caps, and the caps that describe a camera. */
#ifndef VANTIXSRC_FORMATS_H
#define VANTIXSRC_FORMATS_H

#include <gst/gst.h>
#include <gst/video/video.h>
#include <stdint.h>

G_BEGIN_DECLS

/* The formats in the order the element offers them when nothing else
 * decides. AUTO is only a property value: "whatever caps negotiation picks". */
typedef enum {
    VANTIX_SRC_FORMAT_AUTO = 0,
    VANTIX_SRC_FORMAT_BGR,    /* 24-bit mode: B, G, R bytes */
    VANTIX_SRC_FORMAT_BGRX,   /* 32-bit mode: B, G, R and an unused byte */
    VANTIX_SRC_FORMAT_GRAY8,  /* 8-bit mode, colour turned into gray by the SDK */
    VANTIX_SRC_FORMAT_GRAY16, /* 16-bit mode: the raw 16-bit samples, little-endian */
    VANTIX_SRC_FORMAT_BGRA64, /* 64-bit mode: B, G, R words, alpha filled in opaque */
    VANTIX_SRC_FORMAT_BAYER,  /* 8-bit mode, the raw samples in the camera's pattern */
    VANTIX_SRC_FORMAT_COUNT
} VantixSrcFormat;

/* The SDK's gray-mode setting for the 8-bit formats. */
#define VANTIX_GRAY_MODE_OFF 0
#define VANTIX_GRAY_MODE_COLOR_TO_GRAY 2

/* The colour mode (bits per pixel) an SDK image of this format has. */
int32_t vantix_format_bits(VantixSrcFormat format);
/* Bytes from one row to the next: the SDK pads rows to 4 bytes, as
 * GStreamer's default strides of these formats do. */
gsize vantix_format_stride(VantixSrcFormat format, int32_t width);
/* The format of an SDK image in colour mode `bits` with gray mode
 * `grayMode`. The 48-bit mode has no GStreamer format; it maps to the 64-bit
 * format, which carries the same samples. */
VantixSrcFormat vantix_format_of_mode(int32_t bits, int32_t grayMode);
/* The format a fixed caps structure names, or AUTO when none matches. */
VantixSrcFormat vantix_format_from_structure(const GstStructure* structure);

/* The video/x-bayer format of 8-bit frames: `bayerMode` is the SDK's Bayer
 * mode (0..3, the pattern of an unmirrored frame), the mirrors those applied.
 * Valid for even frame sizes, the only ones offered with Bayer caps. */
const char* vantix_bayer_format(int32_t bayerMode, gboolean mirrorH, gboolean mirrorV);

/* Limits of the capture window: the sizes and origins the camera accepts. */
typedef struct {
    int32_t maxWidth, maxHeight; /* the sensor array */
    int32_t minWidth, minHeight;
    int32_t widthStep, heightStep; /* sizes are multiples of these */
    int32_t originStep;            /* origins are multiples of this */
} VantixWindowLimits;

/* The limits of a model, with the sensor size the camera reports; FALSE for a
 * model the element does not know. */
gboolean vantix_window_limits(uint16_t model, int32_t sensorWidth, int32_t sensorHeight,
                              VantixWindowLimits* limits);

/* Caps for the formats in `formats` (in that order), each with the width and
 * height the limits allow (a fixed value where width or height is non-zero),
 * a variable frame rate, and for Bayer the pattern given. */
GstCaps* vantix_caps_for(const VantixSrcFormat* formats, guint count, const VantixWindowLimits* limits,
                         int32_t width, int32_t height, const char* bayerFormat);
/* The template caps: every format at any size. */
GstCaps* vantix_template_caps(void);

/* The format's media type and format name inside a caps structure. */
const char* vantix_format_media_type(VantixSrcFormat format);
const char* vantix_format_name(VantixSrcFormat format);

G_END_DECLS

#endif /* VANTIXSRC_FORMATS_H */
