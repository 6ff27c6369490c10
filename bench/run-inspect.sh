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
# --check and the inspector's pass take turns, so that a busy machine slows both alike.
# --check exits with 3 when it finds errors: only its time counts here.
# Wall and processor times (user + system) of each.
checks=() passes=() checkcpu=() passcpu=()
for _ in $(seq "$runs"); do
  read -r w c < <({ /usr/bin/time -f "%e %U %S" "$dir"/src/cli/varnodel-cli --check "$file" 2>&1 >/dev/null || true; } |
                  tail -n 1 | awk '{print $1, $2 + $3}')
  checks+=("$w") checkcpu+=("$c")
  read -r w c < <("$dir"/bench/varnodel-inspectbench "$file" 1 --pass-only 2>/dev/null | awk '/^pass/ {print $5, $8}')
  passes+=("$w") passcpu+=("$c")
done
check=$(printf '%s\n' "${checks[@]}" | median)
pass=$(printf '%s\n' "${passes[@]}" | median)
check_cpu=$(printf '%s\n' "${checkcpu[@]}" | median)
pass_cpu=$(printf '%s\n' "${passcpu[@]}" | median)
"$dir"/bench/varnodel-inspectbench "$file" 1 2>/dev/null | tail -n +2
printf 'varnodel-cli --check             %8.3f s   (runs: %s)\n' "$check" "${checks[*]}"
printf 'inspector pass                   %8.3f s   (runs: %s)\n' "$pass" "${passes[*]}"
printf 'processor time: check %.3f s, pass %.3f s\n' "$check_cpu" "$pass_cpu"
printf 'pass / check = %.2f wall, %.2f processor   (target <= 1.3)\n' "$(echo "$pass / $check" | bc -l)" \
  "$(echo "$pass_cpu / $check_cpu" | bc -l)"
