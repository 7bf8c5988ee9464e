#!/usr/bin/env bash
# Installs the SDK into a temporary prefix and builds the C example against
# it twice, with pkg-config and with find_package(Vantix), then runs both.
# Then builds the installed examples folder as it is and runs one example on
# a virtual camera.
set -euo pipefail
build_dir=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" > /dev/null
libdir=$work/prefix/lib
export VANTIX_REGISTRY=$work/registry.reg VANTIX_DEVICE_TABLE=/U3K9-MemMap-install-test-$$

# pkg-config
PKG_CONFIG_PATH=$libdir/pkgconfig cc "$source_dir/examples/hello_vantix.c" -o "$work/hello_pc" \
  $(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs vantix)
LD_LIBRARY_PATH=$libdir "$work/hello_pc" | grep -q "release: 1, again: 0"

# find_package
mkdir -p "$work/app"
cp "$source_dir/examples/hello_vantix.c" "$work/app/"
cat > "$work/app/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(app C)
find_package(Vantix REQUIRED)
add_executable(hello hello_vantix.c)
target_link_libraries(hello PRIVATE Vantix::VantixSdk)
CMAKE
cmake -S "$work/app" -B "$work/app/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/app/build" > /dev/null
"$work/app/build/hello" | grep -q "release: 1, again: 0"
# The installed examples with their own CMakeLists.txt
examples=$work/prefix/share/doc/vantix/examples
cmake -S "$examples" -B "$work/examples-build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/examples-build" > /dev/null
VANTIX_EMULATE=3040 "$work/examples-build/grab_frame" | grep "image: 640 x 480, 24 bits per pixel" > /dev/null

rm -f /dev/shm/U3K9-MemMap-install-test-$$ /dev/shm/U3K9-MemMap-install-test-$$.lock
echo "installed SDK builds and runs with pkg-config and find_package; installed examples build and run"
