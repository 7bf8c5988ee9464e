#!/usr/bin/env bash
# Runs every benchmark of a release build and prints throughput ratios.
set -euo pipefail
build=${1:-build/release}
[ $# -gt 0 ] && shift
# The drawing benchmarks need an X server that holds a whole frame.
VANTIX_XVFB_SCREEN=4096x3072x24 "$(dirname "$0")/../tests/support/with-xvfb.sh" \
  "$build/bench/vantix_bench" --benchmark_min_time=1 "$@"
# Frames through libusb from a camera on the umockdev test bed, against memcpy.
if [ -x "$build/bench/vantix_usb_bench" ]; then
  env -u VANTIX_EMULATE LD_PRELOAD=libumockdev-preload.so.0 "$build/bench/vantix_usb_bench" --benchmark_min_time=1 "$@"
fi
# Python stream() against the C callback example at full size.
if /usr/bin/python3 -c "import numpy" 2> /dev/null; then
  /usr/bin/python3 "$(dirname "$0")/../bench/python_stream.py" "$build"
fi
# The GStreamer source against the C callback example, when the plugin is built.
if [ -f "$build/gstreamer/libgstvantix.so" ]; then
  "$(dirname "$0")/bench-gstreamer.sh" "$build"
fi
