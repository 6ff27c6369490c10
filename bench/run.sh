#!/usr/bin/env bash
# Whole-file analysis speed and memory on a large DVD-style stream.
#   bash bench/run.sh [SIZE_MB] [RUNS]      (default 1024 MB, 5 runs)
# Builds a Release tree in build-bench/, writes bench/out/dvd-<SIZE>m.mpg once, reads it
# into the page cache, then times in one run:
#   a  cat FILE > /dev/null                       (reading the file)
#   b  varnodel-memchr FILE                       (memchr count of start codes: the floor)
#   c  varnodel-cli --all --summary FILE          (whole analysis, tree built, no output)
#   s  varnodel-cli --all --summary --scan-bytes FILE  (the same, walked byte by byte)
#   d  varnodel-cli --all FILE > /dev/null        (the same with the whole text output)
#   e  varnodel-cli FILE                          (the default 100-pack analysis)
#   f  varnodel-cli --streams FILE                (the stream model: demultiplexer, units, statistics)
#   g  varnodel-columns FILE                      (the column store's bytes per access unit)
#   h  varnodel-cli --check FILE                  (the stream model and all checks)
# and prints medians, the ratios c/b, s/b, d/b, f/b and h/b, peak memory and bytes per tree
# line. The commands take turns, run after run, so that a noisy machine weighs on all alike.
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-1024}"
runs="${2:-5}"
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)"; exit 1; }

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVARNODEL_GUI=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target varnodel-cli varnodel-memchr varnodel-mkstream varnodel-columns >/dev/null
cli=build-bench/src/cli/varnodel-cli
mkdir -p bench/out
file="bench/out/dvd-${size}m.mpg"
[ -f "$file" ] || build-bench/bench/varnodel-mkstream "$file" "$size"
cat "$file" > /dev/null

# median of the numbers on stdin
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
# wall seconds of a command (stdout to /dev/null), one per line for each run
# (--check exits with 3 when it finds errors: the status is not the measure)
peak_kb() { /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -n 1 || true; }

one() { /usr/bin/time -f "%e" "$@" 2>&1 >/dev/null | tail -n 1 || true; }
rm -f bench/out/times.*
for _ in $(seq "$runs"); do
  one cat "$file" >> bench/out/times.a
  one build-bench/bench/varnodel-memchr "$file" >> bench/out/times.b
  one "$cli" --all --summary "$file" >> bench/out/times.c
  one "$cli" --all --summary --scan-bytes "$file" >> bench/out/times.s
  one "$cli" --all "$file" >> bench/out/times.d
  one "$cli" --streams "$file" >> bench/out/times.f
  one "$cli" --check "$file" >> bench/out/times.h
  one "$cli" "$file" >> bench/out/times.e
done
for k in a b c s d f h e; do eval "$k=\$(median < bench/out/times.$k)"; done
# the median of the ratios of each run, steadier than the ratio of medians on a noisy machine
ratio() { paste "bench/out/times.$1" "bench/out/times.$2" | awk '$2 > 0 {print $1 / $2}' | median; }
lines=$("$cli" --all --summary "$file" | awk '/^lines/ {print $2}')
mem_c=$(peak_kb "$cli" --all --summary "$file")
mem_d=$(peak_kb "$cli" --all "$file")
mem_f=$(peak_kb "$cli" --streams "$file")
mem_h=$(peak_kb "$cli" --check "$file")

echo "file            $file ($(stat -c %s "$file") bytes, $lines tree lines)"
echo "runs            $runs (medians)"
printf 'a cat           %8.3f s\n' "$a"
printf 'b memchr        %8.3f s\n' "$b"
printf 'c analysis      %8.3f s   c/b = %.2f, by run %.2f   (target <= 1.5)\n' "$c" "$(echo "$c / $b" | bc -l)" "$(ratio c b)"
printf 's byte walk     %8.3f s   s/b = %.2f, by run %.2f   (target <= 1.9)\n' "$s" "$(echo "$s / $b" | bc -l)" "$(ratio s b)"
printf 'd text output   %8.3f s   d/b = %.2f, by run %.2f   (target <= 3); d/c = %.2f\n' "$d" "$(echo "$d / $b" | bc -l)" "$(ratio d b)" "$(echo "$d / $c" | bc -l)"
printf 'e 100 packs     %8.3f s   (target < 0.05)\n' "$e"
printf 'f streams       %8.3f s   f/b = %.2f   (target <= 1.5)\n' "$f" "$(echo "$f / $b" | bc -l)"
printf 'h check         %8.3f s   h/b = %.2f   (target <= 2)\n' "$h" "$(echo "$h / $b" | bc -l)"
printf 'peak memory c   %8.1f MB  %.1f bytes/line (target <= 16)\n' "$(echo "$mem_c / 1024" | bc -l)" "$(echo "$mem_c * 1024 / $lines" | bc -l)"
printf 'peak memory d   %8.1f MB  %.1f bytes/line (with the text output buffers)\n' "$(echo "$mem_d / 1024" | bc -l)" "$(echo "$mem_d * 1024 / $lines" | bc -l)"
printf 'peak memory f   %8.1f MB  (stream model; independent of the file size)\n' "$(echo "$mem_f / 1024" | bc -l)"
printf 'peak memory h   %8.1f MB  (checks; independent of the file size, findings aside)\n' "$(echo "$mem_h / 1024" | bc -l)"
printf 'g column store  %8.2f bytes/unit (target <= 24)\n' "$(build-bench/bench/varnodel-columns "$file" | awk '/per unit/ {print $4}')"
