#!/usr/bin/env bash
# Installs the SDK into a temporary prefix and checks that GStreamer finds
# vantixsrc in the prefix's plugin folder (gst-inspect-1.0) and that
# gst-launch-1.0 streams from a virtual camera through the installed plugin,
# which finds the installed library by itself.
set -euo pipefail
build_dir=$1
work=$(mktemp -d)
table=/U3K9-MemMap-gst-install-test-$$
trap 'rm -rf "$work"; rm -f /dev/shm$table /dev/shm$table.lock' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" > /dev/null
plugins=$(find "$work/prefix" -type d -name gstreamer-1.0 -path '*/lib*')
[ -f "$plugins/libgstvantix.so" ] || { echo "no libgstvantix.so under $work/prefix" >&2; exit 1; }
export GST_PLUGIN_PATH=$plugins GST_REGISTRY=$work/registry.bin
export VANTIX_REGISTRY=$work/settings.reg VANTIX_DEVICE_TABLE=$table VANTIX_EMULATE=3040
inspect=$(gst-inspect-1.0 vantixsrc)
grep -q "Filename *$plugins/libgstvantix.so" <<< "$inspect"
grep -q "Long-name *Vantix camera source" <<< "$inspect"
gst-launch-1.0 -q vantixsrc num-buffers=3 roi-width=320 roi-height=240 ! fakesink
echo "gst-inspect-1.0 lists vantixsrc from $plugins; gst-launch-1.0 streamed 3 buffers"
