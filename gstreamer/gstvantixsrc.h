/* vantixsrc: a live source of frames from a Vantix USB3 camera. */
#ifndef GST_VANTIX_SRC_H
#define GST_VANTIX_SRC_H

#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

#include "vantixsrc_camera.h"
#include "vantixsrc_formats.h"

G_BEGIN_DECLS

#define GST_TYPE_VANTIX_SRC (gst_vantix_src_get_type())
G_DECLARE_FINAL_TYPE(GstVantixSrc, gst_vantix_src, GST, VANTIX_SRC, GstPushSrc)

/* The mirror property: keep the camera's setting, or set both mirrors. */
typedef enum {
    GST_VANTIX_SRC_MIRROR_CAMERA = -1,
    GST_VANTIX_SRC_MIRROR_NONE = 0,
    GST_VANTIX_SRC_MIRROR_HORIZONTAL = 1,
    GST_VANTIX_SRC_MIRROR_VERTICAL = 2,
    GST_VANTIX_SRC_MIRROR_BOTH = 3,
} GstVantixSrcMirror;

/* Frames handed from the SDK's dispatch thread to the streaming thread. A
 * short queue: when it is full the oldest frame is dropped, since a live
 * source delivers the newest. */
#define GST_VANTIX_SRC_QUEUE_LENGTH 2

struct _GstVantixSrc {
    GstPushSrc parent;

    /* Properties, under the object lock. */
    gint cameraIndex;
    guint model;
    gdouble exposure;
    gint gain;
    gint roiX, roiY, roiWidth, roiHeight;
    VantixSrcFormat colorMode;
    GstVantixSrcMirror mirror;
    gint waitTime;

    /* The camera between start and stop; its calls are made by the
     * application and streaming threads, and by the window procedure. */
    VantixCamera camera;
    gboolean open;
    VantixWindowLimits limits;
    gboolean mirrorH, mirrorV; /* in effect while open */

    /* Shared with the window procedure, under `lock`. */
    GMutex lock;
    GCond changed;
    GstBufferPool* pool;
    VantixSrcFormat format;   /* negotiated */
    gint width, height;
    gsize frameBytes;
    gboolean playing;  /* frames are taken only in PLAYING */
    gboolean flushing; /* create returns at once */
    gint32 lostCode;   /* the SDK's code when the camera was lost, else 0 */
    GstBuffer* queue[GST_VANTIX_SRC_QUEUE_LENGTH];
    guint queued;
    guint64 sequence;         /* frames the SDK announced since streaming began */
    guint64 delivered;        /* buffers handed to the streaming thread */
    guint64 dropped;          /* frames announced while playing and not delivered */
    guint64 droppedReported;  /* dropped frames already in a QoS message */
    guint64 nextOffset;       /* the offset that follows the last buffer pushed */
    gint32 rateTenths;        /* the SDK's measured frame rate, frames per 10 s */
};

G_END_DECLS

#endif /* GST_VANTIX_SRC_H */
