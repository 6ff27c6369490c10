#!/usr/bin/env bash
# The desktop program on a large stream (see gui_bench.cpp), side by side with the CLI.
#   bash bench/run-gui.sh [SIZE_MB] [RUNS]      (default 1024 MB, 5 runs; the stream of bench/run.sh)
# In one run, alternating so both see the same machine:
#   cli  varnodel-cli --all --summary FILE      (whole analysis, tree built, no output)
#   gui  varnodel-guibench FILE                 (whole analysis in the window, tree shown,
#                                                "Packet structure" opened and scrolled to its end)
# and prints the medians and the ratios gui/cli of: the complete run (the CLI's whole
# process against the window's run up to the tree shown; also the median of the ratios of
# each pair of runs), peak memory (whole processes),
# and for information the GUI's whole process (Qt's start and the expand included); then
# the details of one GUI run (timer lateness during the run) and of a run stopped after
# 300 ms.
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-1024}"
runs="${2:-5}"
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)"; exit 1; }
cmake -S . -B build-gui -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-gui -j"$(nproc)" --target varnodel-guibench varnodel-mkstream varnodel-cli >/dev/null
cli=build-gui/src/cli/varnodel-cli
gui=build-gui/bench/varnodel-guibench
file="bench/out/dvd-${size}m.mpg"
mkdir -p bench/out
[ -f "$file" ] || build-gui/bench/varnodel-mkstream "$file" "$size"
cat "$file" > /dev/null
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

# median of the numbers on stdin
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for i in $(seq "$runs"); do
  /usr/bin/time -f "%e %M" -o "$out/cli.$i" "$cli" --all --summary "$file" >/dev/null
  /usr/bin/time -f "%e %M" -o "$out/gui.$i" "$gui" "$file" >"$out/gui-details" 2>/dev/null
  awk '/^run/ {r = $2} /^tree shown/ {s = $3} END {print (r + s) / 1000}' "$out/gui-details" > "$out/run.$i"
done
field() { cat "$out"/"$1".* | awk -v f="$2" '{print $f}' | median; }
cli_s=$(field cli 1); gui_s=$(field gui 1); run_s=$(field run 1)
cli_kb=$(field cli 2); gui_kb=$(field gui 2)

echo "file            $file ($(stat -c %s "$file") bytes)"
echo "runs            $runs, alternating (medians)"
printf 'cli run         %8.3f s   (whole process)\n' "$cli_s"
printf 'gui run         %8.3f s   gui/cli = %.2f   (target <= 1.2; run until the tree is shown)\n' "$run_s" "$(echo "$run_s / $cli_s" | bc -l)"
printf 'gui process     %8.3f s   gui/cli = %.2f   (Qt start, expand, scroll and exit included)\n' "$gui_s" "$(echo "$gui_s / $cli_s" | bc -l)"
# Each GUI run against the CLI run just before it: on a noisy machine the median of these
# pairs is steadier than the ratio of the two medians.
pairs=$(for i in $(seq "$runs"); do echo "$(cat "$out/run.$i") $(awk '{print $1}' "$out/cli.$i")"; done | awk '{print $1 / $2}' | median)
printf 'gui/cli pairs   %8.2f     (median of the %d side-by-side pairs)\n' "$pairs" "$runs"
printf 'cli peak        %8.1f MB\n' "$(echo "$cli_kb / 1024" | bc -l)"
printf 'gui peak        %8.1f MB  gui/cli = %.2f   (target <= 1.2)\n' "$(echo "$gui_kb / 1024" | bc -l)" "$(echo "$gui_kb / $cli_kb" | bc -l)"
echo "== the last GUI run"
cat "$out/gui-details"
echo "== stopped 300 ms into a run"
"$gui" "$file" 300 2>/dev/null
