#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent and non-interactive; safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  clang lld libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  portaudio19-dev libusb-1.0-0-dev
  fonts-liberation2 fonts-dejavu-core
  libgtest-dev libgmock-dev googletest libbenchmark-dev libfftw3-dev stress-ng
  sox python3 python3-numpy python3-scipy python3-soundfile poppler-utils xvfb xauth openbox xdotool wmctrl x11-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
