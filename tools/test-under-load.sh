#!/usr/bin/env bash
# Runs the whole suite twice in each build while every core is kept busy by other processes
# (stress-ng, one CPU worker a core), as on a loaded CI machine or a user's busy desktop: what
# depends on timing must hold there too.
#   bash tools/test-under-load.sh            both builds (clang + sanitizers, then GCC Release)
#   bash tools/test-under-load.sh release    the GCC Release build only
#   bash tools/test-under-load.sh test       the sanitizer build only
# DURNEX_LOAD_RUNS sets the runs a build (2), DURNEX_LOAD_WORKERS the busy processes (nproc);
# DURNEX_TEST_JOBS the tests run at once (nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
case "${1:-both}" in
  both) builds=(test release) ;;
  test | release) builds=("$1") ;;
  *) echo "usage: $0 [both|test|release]" >&2; exit 2 ;;
esac
# Every check runs: a missing tool fails its test rather than skipping it.
export CI=true
runs=${DURNEX_LOAD_RUNS:-2}
workers=${DURNEX_LOAD_WORKERS:-$(nproc)}

# Built first, without the load: the build is not what is being proved.
for b in "${builds[@]}"; do
  DURNEX_TEST_BUILD_ONLY=1 bash tools/test.sh "$([ "$b" = release ] && echo release || echo test)"
done

load=""
stop_load() {
  if [ -n "$load" ]; then
    kill "$load" 2>/dev/null || true
    wait "$load" 2>/dev/null || true
    load=""
  fi
}
trap stop_load EXIT INT TERM
stress-ng --cpu "$workers" --cpu-method all --timeout 0 --quiet &
load=$!
sleep 2
kill -0 "$load" || { echo "stress-ng did not start" >&2; exit 1; }
echo "Load: $workers stress-ng CPU workers (pid $load) on $(nproc) cores"

status=0
summary=()
for b in "${builds[@]}"; do
  for r in $(seq 1 "$runs"); do
    start=$(date +%s)
    if DURNEX_TEST_SKIP_BUILD=1 bash tools/test.sh "$([ "$b" = release ] && echo release || echo test)"; then
      result=passed
    else
      result=FAILED
      status=1
    fi
    summary+=("$b run $r: $result in $(( $(date +%s) - start )) s, load $(cut -d' ' -f1 /proc/loadavg)")
  done
done
stop_load
printf '%s\n' "${summary[@]}"
exit $status
