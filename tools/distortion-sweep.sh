#!/usr/bin/env bash
# Runs the distortion sweep (tests/dsp/DistortionSweepTest.cpp) on many cases and prints the
# worst readings, each with what replays it, and the shares of N/A per window and measure.
#   bash tools/distortion-sweep.sh [seed] [cases]      (a random seed and 100000 cases by default)
#   bash tools/distortion-sweep.sh --report FOLDER    the report of readings kept before (or so far)
# DURNEX_SWEEP_JOBS sets the processes run side by side (4); DURNEX_SWEEP_KEEP names a folder
# that keeps every reading (one line each, tab-separated). Builds the Release test binary first.
set -euo pipefail
cd "$(dirname "$0")/.."
report_only=
if [ "${1:-}" = "--report" ]; then
  report_only=1
  keep=$2
fi
seed=${1:-$(( $(date +%s%N) % 1000000007 ))}
cases=${2:-100000}
jobs=${DURNEX_SWEEP_JOBS:-4}
dir=build-release
if [ -z "$report_only" ]; then
[ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc \
  -DCMAKE_CXX_COMPILER=g++ -DDURNEX_BENCH=OFF >/dev/null
cmake --build "$dir" --target test_dsp -j "$jobs" >/dev/null
keep=${DURNEX_SWEEP_KEEP:-$(mktemp -d)}
mkdir -p "$keep"
export QT_QPA_PLATFORM=offscreen DURNEX_SOURCE_DIR="$PWD" DURNEX_TEST_DATA="$PWD/tests/data"
echo "seed $seed, $cases cases in $jobs processes"
start=$(date +%s)
pids=()
for ((k = 0; k < jobs; k++)); do
  DURNEX_SWEEP_SEED=$seed DURNEX_SWEEP_CASES=$cases DURNEX_SWEEP_SLICE=$k/$jobs DURNEX_SWEEP_OUT="$keep/$k.tsv" \
    nice "$dir/tests/test_dsp" --gtest_filter='DistortionSweep.*' >"$keep/$k.log" 2>&1 &
  pids+=($!)
done
for p in "${pids[@]}"; do wait "$p" || true; done
echo "took $(( $(date +%s) - start )) s"
fi
python3 - "$keep" <<'EOF'
import glob, math, sys
from collections import defaultdict
rows = []
for f in sorted(glob.glob(sys.argv[1] + "/*.tsv")):
    for line in open(f):
        p = line.rstrip("\n").split("\t")
        if len(p) != 12:
            continue
        rows.append(dict(seed=p[0], case=int(p[1]), window=p[2], measure=p[3], shown=p[4] == "1",
                         got=float(p[5]), truth=float(p[6]), err=float(p[7]), clear=p[8] == "1",
                         apart=p[9] == "1", judged=p[10] == "1", what=p[11]))
windows = ["Bartlett", "Blackman", "Exponential", "Flattop", "Force", "Hamming", "Hanning", "Kaiser",
           "Parzen", "Triangular", "Uniform", "Gaussian"]
measures = ["THD", "THD+N", "SNR", "SINAD", "IMD"]
cases = {(r["seed"], r["case"]) for r in rows}
print(f"{len(cases)} cases, {len(rows)} readings")
t = defaultdict(lambda: dict(n=0, shown=0, judged=0, bad=0, over=0, sum=0.0, worst=0.0, clear=0, clearNa=0))
bad = []
snr = {(r["seed"], r["case"]): r for r in rows if r["measure"] == "SNR"}
for r in rows:
    s = t[(r["window"], r["measure"])]
    s["n"] += 1
    if r["clear"] and r["judged"] and not math.isnan(r["truth"]):
        s["clear"] += 1
        s["clearNa"] += 0 if r["shown"] else 1
    if not r["shown"]:
        other = snr.get((r["seed"], r["case"]))
        if (r["measure"] in ("THD+N", "SINAD") and other and other["shown"] and r["judged"]
                and not r["apart"] and r["what"].find("; one tone") >= 0):
            bad.append((2.0, r, "N/A while SNR is shown"))
        continue
    s["shown"] += 1
    if not r["judged"]:
        continue
    s["judged"] += 1
    e = r["err"]
    if math.isfinite(e):
        s["sum"] += e
        s["over"] += abs(e) > 0.5
    a = abs(e) if not math.isnan(e) else math.inf
    s["worst"] = max(s["worst"], a)
    if a > 1.0:
        s["bad"] += 1
        bad.append((a, r, ""))
print("\nper window and measure: readings, shown, judged, >1 dB off, >0.5 dB off, mean error, "
      "N/A share of all, N/A share where clear")
for w in windows:
    for m in measures:
        s = t[(w, m)]
        if s["n"] == 0:
            continue
        mean = s["sum"] / s["judged"] if s["judged"] else 0.0
        na = 100.0 * (s["n"] - s["shown"]) / s["n"]
        cna = f"{100.0 * s['clearNa'] / s['clear']:5.1f} % of {s['clear']}" if s["clear"] else "    -"
        print(f"{w:11s} {m:6s} {s['n']:7d} {s['shown']:7d} {s['judged']:7d} {s['bad']:6d} {s['over']:6d} "
              f"{mean:8.3f} {na:6.1f} % {cna}")
bad.sort(key=lambda b: -b[0])
print(f"\n{len(bad)} readings wrong or missing; the worst:")
for a, r, note in bad[:40]:
    what = note or f"{r['got']:.3f} dB, truth " + ("N/A" if math.isnan(r["truth"]) else f"{r['truth']:.3f} dB")
    print(f"{r['measure']} {what}; DURNEX_SWEEP_SEED={r['seed']} DURNEX_SWEEP_CASE={r['case']}: {r['what']}")
EOF
echo "readings kept in $keep"
