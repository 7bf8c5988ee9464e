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

# The installed tool finds the library of its prefix by its own run path.
env -u LD_LIBRARY_PATH "$work/prefix/bin/vantix" --version | grep -q "library version"
# pkg-config names the prefix plainly, without .. steps.
flags=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs vantix | xargs)
[ "$flags" = "-I$work/prefix/include -L$libdir -lVantixSdk_Q720LX_USB3_K9" ] || {
  echo "pkg-config gives: $flags" >&2
  exit 1
}

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
# ... and installed into a prefix of their own, they still find the library.
cmake --install "$work/examples-build" --prefix "$work/examples-prefix" > /dev/null
env -u LD_LIBRARY_PATH VANTIX_EMULATE=3040 "$work/examples-prefix/bin/grab_frame" |
  grep "image: 640 x 480, 24 bits per pixel" > /dev/null

# The installed Python package loads the library of its own prefix; and the
# package installs with pip into a fresh virtual environment (offline: the
# Debian setuptools, numpy from the system). Both take a picture.
python=/usr/bin/python3
snap='import vantix, sys
with vantix.Camera() as cam:
    cam.roi = (0, 0, 640, 480)
    assert cam.snap().shape == (480, 640, 3)
print(vantix.load_library()._name)'
python_checked=""
if "$python" -c "import numpy, setuptools, venv" 2> /dev/null; then
  loaded=$(env -u VANTIX_LIBRARY PYTHONPATH="$work/prefix/lib/python3/dist-packages" VANTIX_EMULATE=3040 "$python" -c "$snap")
  case $loaded in "$libdir"/*) ;; *) echo "the installed package loaded $loaded" >&2; exit 1 ;; esac
  cp -r "$source_dir/python" "$work/python-source"
  "$python" -m venv --system-site-packages "$work/venv"
  "$work/venv/bin/pip" install --quiet --no-index --no-build-isolation "$work/python-source" > /dev/null
  (cd "$work" && VANTIX_LIBRARY="$libdir/libVantixSdk_Q720LX_USB3_K9.so.1" VANTIX_EMULATE=3040 "$work/venv/bin/python" -c "$snap") > /dev/null
  python_checked="; the Python package runs installed and from a pip install in a virtual environment"
fi

rm -f /dev/shm/U3K9-MemMap-install-test-$$ /dev/shm/U3K9-MemMap-install-test-$$.lock
echo "installed SDK builds and runs with pkg-config and find_package; installed examples build and run$python_checked"
