#!/usr/bin/env bash
# Runs the README's commands as a reader would: the first program, built with
# the README's build line, and the X11 example command. The README names the
# release build folder; the test runs them against the build under test.
set -euo pipefail
build_dir=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
readme=$source_dir/README.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VANTIX_REGISTRY=$work/registry.reg VANTIX_DEVICE_TABLE=/U3K9-MemMap-readme-test-$$

# The first C block is the first program.
awk '/^```c$/ {inside = 1; next} /^```$/ && inside {exit} inside {print}' "$readme" > "$work/app.c"
[ -s "$work/app.c" ] || { echo "README: no C program found" >&2; exit 1; }

# A command line of its own in backticks, with the release folder replaced by the build under test
# (in one substitution, so that a build folder named build/release is not replaced twice).
command_line() {
  grep -E "^\`$1" "$readme" | head -n 1 | sed -e 's/^`//' -e 's/`$//' -e "s#\\(\\\$PWD/\\)\\{0,1\\}build/release#${build_dir}#g"
}
build=$(command_line "cc app.c")
[ -n "$build" ] || { echo "README: no build line found" >&2; exit 1; }
(cd "$work" && ln -s "$source_dir/include" include && bash -c "$build") | grep -q "^capture 3840 x 2752$"

x11=$(command_line "VANTIX_EMULATE=3040 build/release/examples/x11_preview")
[ -n "$x11" ] || { echo "README: no X11 example command found" >&2; exit 1; }
# Shortened to one second, under a private X server.
if command -v Xvfb > /dev/null 2>&1; then
  "$source_dir/tests/support/with-xvfb.sh" bash -c "${x11% *} 1" > "$work/x11.txt" 2>&1 || {
    cat "$work/x11.txt" >&2
    exit 1
  }
else
  echo "Xvfb is not installed: the X11 example command is not run" >&2
fi
rm -f "/dev/shm/U3K9-MemMap-readme-test-$$" "/dev/shm/U3K9-MemMap-readme-test-$$.lock"
echo "the README's program builds and runs; its X11 example command runs"
