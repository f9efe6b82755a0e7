#!/usr/bin/env bash
# Installs what is needed, builds the test configuration (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole suite with CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
jobs=$(nproc)
start=$(date +%s)
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DDURNEX_SANITIZE=ON -DDURNEX_FUZZ=ON -DDURNEX_BENCH=ON >/dev/null
cmake --build build-test -j "$jobs"
built=$(date +%s)
echo "Build took $((built - start)) s"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
export DURNEX_SOURCE_DIR="$PWD" DURNEX_TEST_DATA="$PWD/tests/data"
status=0
ctest --test-dir build-test -j "$jobs" --output-on-failure --timeout 600 || status=$?
echo "Tests took $(( $(date +%s) - built )) s"
exit $status
