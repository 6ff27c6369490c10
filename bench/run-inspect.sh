#!/usr/bin/env bash
# The inspector on the large stream of bench/run.sh (see inspect_bench.cpp), next to
# varnodel-cli --check on the same file in the same run.
#   bash bench/run-inspect.sh [SIZE_MB] [RUNS]        (default 1024 MB, 3 runs)
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-1024}"
runs="${2:-3}"
dir="${VARNODEL_BENCH_BUILD:-build-gui}"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j"$(nproc)" --target varnodel-inspectbench varnodel-cli varnodel-mkstream >/dev/null
file="bench/out/dvd-${size}m.mpg"
mkdir -p bench/out
[ -f "$file" ] || "$dir"/bench/varnodel-mkstream "$file" "$size"
cat "$file" > /dev/null
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
# --check exits with 3 when it finds errors: only its time counts here.
check=$(for _ in $(seq "$runs"); do { /usr/bin/time -f "%e" "$dir"/src/cli/varnodel-cli --check "$file" 2>&1 >/dev/null || true; } | tail -n 1; done | median)
out=$("$dir"/bench/varnodel-inspectbench "$file" "$runs")
echo "$out"
pass=$(echo "$out" | awk '/^pass/ {print $5}')
printf 'varnodel-cli --check             %8.3f s\n' "$check"
printf 'pass / check = %.2f   (target <= 1.3)\n' "$(echo "$pass / $check" | bc -l)"
