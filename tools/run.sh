#!/usr/bin/env bash
# Installs what is needed, builds the analyser and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DDURNEX_TESTS=OFF -DDURNEX_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)"
# The analyser keeps its data (waves, configurations, calibrations, ...) in the user's own
# Documents/Durnex folder, not in the build tree: the install profile beside the program says so.
[ -f build/DurnexInstall.ini ] || printf '[Install]\r\nWindowsInstall=1\r\n' > build/DurnexInstall.ini
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "No display found. Start the analyser under a virtual display with:"
  echo "  xvfb-run -s '-screen 0 1920x1080x24' ./build/Durnex"
  exit 1
fi
# Without a KDR-5200 on the bus, the analyser runs on its built-in simulator.
if [ -z "${DURNEX_DEVICE:-}" ] && ! ./build/durnex-usbprobe; then
  echo "No KDR-5200 found on the USB bus: starting on the built-in simulator (DURNEX_DEVICE=simulator)."
  export DURNEX_DEVICE=simulator
fi
exec ./build/Durnex "$@"
