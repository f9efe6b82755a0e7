#!/usr/bin/env bash
# Installs what is needed, builds the test configuration and runs the whole suite with CTest.
#   bash tools/test.sh           clang, AddressSanitizer and UndefinedBehaviorSanitizer (Debug)
#   bash tools/test.sh release   GCC in Release, the build tools/run.sh makes for users
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
jobs=$(nproc)
start=$(date +%s)
if [ "${1:-}" = "release" ]; then
  dir=build-release
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DDURNEX_BENCH=OFF >/dev/null
else
  dir=build-test
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DDURNEX_SANITIZE=ON -DDURNEX_FUZZ=ON -DDURNEX_BENCH=ON >/dev/null
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake --build "$dir" -j "$jobs"
built=$(date +%s)
echo "Build took $((built - start)) s"
export QT_QPA_PLATFORM=offscreen
export DURNEX_SOURCE_DIR="$PWD" DURNEX_TEST_DATA="$PWD/tests/data"
status=0
ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 || status=$?
echo "Tests took $(( $(date +%s) - built )) s"
exit $status
