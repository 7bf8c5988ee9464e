#!/usr/bin/env bash
# Runs every benchmark of a release build and prints throughput ratios.
set -euo pipefail
build=${1:-build/release}
"$build/bench/vantix_bench" --benchmark_min_time=1
