#!/usr/bin/env bash
# Installs what is needed, builds the test configuration and runs the whole suite with CTest.
#   bash tools/test.sh           clang, AddressSanitizer and UndefinedBehaviorSanitizer (Debug)
#   bash tools/test.sh release   GCC in Release, the build tools/run.sh makes for users
# DURNEX_TEST_BUILD_ONLY=1 only builds; DURNEX_TEST_SKIP_BUILD=1 runs the suite of the build there
# is (tools/test-under-load.sh uses both); DURNEX_TEST_JOBS sets the jobs (nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${DURNEX_TEST_SKIP_BUILD:-}" ] || bash tools/install-deps.sh
jobs=${DURNEX_TEST_JOBS:-$(nproc)}
start=$(date +%s)
if [ "${1:-}" = "release" ]; then
  dir=build-release
  [ -n "${DURNEX_TEST_SKIP_BUILD:-}" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DDURNEX_BENCH=OFF >/dev/null
else
  dir=build-test
  [ -n "${DURNEX_TEST_SKIP_BUILD:-}" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DDURNEX_SANITIZE=ON -DDURNEX_FUZZ=ON -DDURNEX_BENCH=ON >/dev/null
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
if [ -z "${DURNEX_TEST_SKIP_BUILD:-}" ]; then
  cmake --build "$dir" -j "$jobs"
  echo "Build took $(( $(date +%s) - start )) s"
fi
[ -z "${DURNEX_TEST_BUILD_ONLY:-}" ] || exit 0
built=$(date +%s)
export QT_QPA_PLATFORM=offscreen
export DURNEX_SOURCE_DIR="$PWD" DURNEX_TEST_DATA="$PWD/tests/data"
status=0
ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 || status=$?
echo "Tests took $(( $(date +%s) - built )) s"
exit $status
