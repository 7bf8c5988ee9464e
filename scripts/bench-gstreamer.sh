#!/usr/bin/env bash
# Frames per second at the full sensor (3856 x 2764, 24-bit BGR, 10 ms
# exposure) through `vantixsrc ! fakesink` and through the C callback example
# (examples/callback_preview.c), one after the other on the same camera, and
# their ratio. Both rates are measured from the first to the last frame's
# arrival, so start-up is left out of both.
#   scripts/bench-gstreamer.sh [BUILD_DIR [FRAMES]]     defaults: build/release, 60
# Uses a virtual camera unless VANTIX_EMULATE is set (empty: real cameras).
set -euo pipefail
build=${1:-build/release}
frames=${2:-60}
width=3856
height=2764
work=$(mktemp -d)
table=/U3K9-MemMap-gst-bench-$$
trap 'rm -rf "$work"; rm -f /dev/shm$table /dev/shm$table.lock' EXIT
export VANTIX_EMULATE=${VANTIX_EMULATE-3040} VANTIX_REGISTRY=$work/settings.reg VANTIX_DEVICE_TABLE=$table
export GST_PLUGIN_PATH=$build/gstreamer GST_REGISTRY=$work/registry.bin

callback=$("$build/examples/callback_preview" "$frames" 120 full)
callback_fps=$(sed -n 's/^frames: [0-9]* in [0-9.]* s, \([0-9.]*\) fps$/\1/p' <<< "$callback")

# fakesink prints each buffer's timestamp: the running time of its arrival.
launch=$(gst-launch-1.0 -v vantixsrc num-buffers="$frames" roi-x=0 roi-y=0 roi-width="$width" \
  roi-height="$height" color-mode=bgr exposure=0.01 ! fakesink silent=false)
gst_fps=$(grep -o 'chain .*pts: [0-9:.]*' <<< "$launch" | sed 's/.*pts: //' | awk -F: '
  { t = $1 * 3600 + $2 * 60 + $3; if (n == 0) first = t; last = t; n++ }
  END { if (n > 1 && last > first) printf "%.1f", (n - 1) / (last - first); else print "0" }')
# Offsets number the frames the SDK announced: gaps are frames not passed on.
read -r buffers dropped < <(grep -o 'chain .*offset: [0-9]*' <<< "$launch" | sed 's/.*offset: //' | awk '
  { if (n > 0) gaps += $1 - previous - 1; previous = $1; n++ } END { print n + 0, gaps + 0 }')

printf '%-34s %10s\n' "full sensor ${width} x ${height}, BGR" "frames/s"
printf '%-34s %10s\n' "C callback example" "$callback_fps"
printf '%-34s %10s   (%s buffers, %s frames dropped between them)\n' "vantixsrc ! fakesink" "$gst_fps" "$buffers" "$dropped"
awk -v g="$gst_fps" -v c="$callback_fps" 'BEGIN { if (c > 0) printf "vantixsrc / callback example: %.2f\n", g / c }'
