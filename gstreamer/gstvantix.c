/* The gstvantix plugin: GStreamer elements for Vantix USB3 cameras. */
#include <gst/gst.h>

#include "gstvantixsrc.h"

static gboolean plugin_init(GstPlugin* plugin) {
    return gst_element_register(plugin, "vantixsrc", GST_RANK_NONE, GST_TYPE_VANTIX_SRC);
}

/* The plugin description leaves GStreamer's padding to the compiler. */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, vantix, "Vantix USB3 camera elements", plugin_init,
                  VANTIX_PLUGIN_VERSION, "Proprietary", "Vantix SDK", "Vantix SDK")
#pragma GCC diagnostic pop
