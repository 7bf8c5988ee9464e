#!/usr/bin/env bash
# Installs the Debian 12 packages the SDK needs to build, test and run.
# Idempotent: packages already present are not touched.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libusb-1.0-0-dev libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev
  libx11-dev libxext-dev libgtk-3-dev xvfb xauth
  fonts-vlgothic  # Japanese glyphs for the dialogs under Xvfb
  python3 python3-numpy python3-pytest python3-setuptools python3-wheel python3-venv
  imagemagick
  # ffprobe checks recordings; umockdev emulates USB devices for the libusb tests.
  ffmpeg umockdev libumockdev-dev
  # The GStreamer plugin and its tests: videoconvert and appsink (base),
  # pngenc and the RTP payloaders with udpsrc/udpsink (good), gst-inspect-1.0
  # and gst-launch-1.0 (tools).
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

# Benchmarks compare with OpenCV; only `--bench` installs it. The fuzz
# targets need clang with libFuzzer; `--fuzz` installs them (`make test` runs
# the fuzz targets briefly, so it asks for them).
for option in "$@"; do
  case "$option" in
    --bench) packages+=(libopencv-dev) ;;
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing: ${missing[*]}" >&2
  echo "install-deps: run this script as root, or: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
