#!/usr/bin/env bash
# Runs each example with no camera attached (no VANTIX_EMULATE): each must
# exit with status 1 and say on stderr why, with the SDK's error code where an
# SDK call failed (2: camera absent).
#   run_without_camera.sh OUTPUT_DIR EXAMPLE...
set -u
out=$1
shift
unset VANTIX_EMULATE
failures=0
for example in "$@"; do
  name=$(basename "$example")
  args=()
  expected="selecting camera 0 failed, SDK error 2"
  case $name in
    grab_frame) expected="camera 0 is not attached" ;;
    save_every_format | record_avi) args=("$out") ;;
  esac
  stderr=$("$example" "${args[@]}" 2>&1 >/dev/null)
  status=$?
  if [ "$status" -ne 1 ] || [[ $stderr != *"$expected"* ]]; then
    echo "FAIL: $name exited with $status and said: $stderr"
    failures=$((failures + 1))
  else
    echo "ok: $name: $stderr"
  fi
done
[ "$failures" -eq 0 ]
