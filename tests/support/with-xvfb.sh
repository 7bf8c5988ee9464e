#!/usr/bin/env bash
# Runs a command with DISPLAY naming a private Xvfb server (1280 x 1024, 24
# bits) that exists only for the command. Without Xvfb the command runs with
# DISPLAY unset, and tests that need a display report themselves skipped.
# VANTIX_XVFB_SCREEN overrides the screen (WIDTHxHEIGHTxDEPTH).
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with-xvfb: Xvfb is not installed; running without a display" >&2
  unset DISPLAY
  exec "$@"
fi

number_file=$(mktemp)
# -displayfd: the server picks a free display number and writes it when ready.
Xvfb -displayfd 3 -screen 0 "${VANTIX_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp -nolisten unix -listen unix \
  3>"$number_file" >/dev/null 2>&1 &
server=$!
cleanup() { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$number_file"; }
trap cleanup EXIT

for _ in $(seq 1 100); do
  [ -s "$number_file" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "with-xvfb: Xvfb did not start" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -s "$number_file" ]; then
  echo "with-xvfb: Xvfb did not report a display within 5 s" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$number_file")"
"$@"
