#!/usr/bin/env bash
# Soak run on a release build: callback preview with a recording restarted
# every minute (default 10 minutes) on a virtual camera unless VANTIX_EMULATE
# says otherwise; prints resident memory, descriptors and threads at the start,
# every minute and at the end, and fails when descriptors or threads grew.
#   scripts/soak.sh [BUILD_DIR [MINUTES]]
set -euo pipefail
build=${1:-build/release}
minutes=${2:-10}
export VANTIX_EMULATE=${VANTIX_EMULATE:-3040}
export VANTIX_REGISTRY=${VANTIX_REGISTRY:-/tmp/vantix-soak-$$.reg}
export VANTIX_DEVICE_TABLE=${VANTIX_DEVICE_TABLE:-/U3K9-MemMap-soak-$$}
exec "$build/bench/vantix_soak" "$minutes" "${TMPDIR:-/tmp}"
