#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each (default 600), from
# its seed corpus into a working corpus in the build folder, and prints the
# executions of each. Crash inputs are kept in BUILD/fuzz-crashes/.
#   scripts/run-fuzzers.sh [BUILD_DIR [SECONDS]]
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-600}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
crashes="$build/fuzz-crashes"
mkdir -p "$crashes"
export VANTIX_REGISTRY=${VANTIX_REGISTRY:-/tmp/vantix-fuzz-$$.reg}
status=0
for fuzzer in reg_format_fuzz mask_file_fuzz config_file_fuzz device_path_fuzz emulate_variable_fuzz controller_reply_fuzz; do
  work="$build/tests/fuzz-corpus/$fuzzer"
  mkdir -p "$work"
  echo "== $fuzzer: $seconds s"
  log="$build/fuzz-$fuzzer.log"
  set +e
  VANTIX_DEVICE_TABLE=/U3K9-MemMap-fuzz-$fuzzer-$$ "$build/tests/$fuzzer" -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$crashes/$fuzzer-" \
    "$work" "$source_dir/tests/fuzz/corpus/$fuzzer" > "$log" 2>&1
  result=$?
  set -e
  grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Test unit written" "$log" || true
  [ $result -eq 0 ] || status=1
done
exit $status
