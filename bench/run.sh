#!/usr/bin/env bash
# Whole-file analysis speed and memory on a large DVD-style stream.
#   bash bench/run.sh [SIZE_MB] [RUNS]      (default 1024 MB, 5 runs)
# Builds a Release tree in build-bench/, writes bench/out/dvd-<SIZE>m.mpg once, reads it
# into the page cache, then times in one run:
#   a  cat FILE > /dev/null                       (reading the file)
#   b  varnodel-memchr FILE                       (memchr count of start codes: the floor)
#   c  varnodel-cli --all --summary FILE          (whole analysis, tree built, no output)
#   d  varnodel-cli --all FILE > /dev/null        (the same with the whole text output)
#   e  varnodel-cli FILE                          (the default 100-pack analysis)
#   f  varnodel-cli --streams FILE                (the stream model: demultiplexer, units, statistics)
#   g  varnodel-columns FILE                      (the column store's bytes per access unit)
#   h  varnodel-cli --check FILE                  (the stream model and all checks)
# and prints medians, the ratios c/b, d/c, f/b and h/b, peak memory and bytes per tree line.
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
timed() { for _ in $(seq "$runs"); do /usr/bin/time -f "%e" "$@" 2>&1 >/dev/null | tail -n 1 || true; done; }
peak_kb() { /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -n 1 || true; }

a=$(timed cat "$file" | median)
b=$(timed build-bench/bench/varnodel-memchr "$file" | median)
c=$(timed "$cli" --all --summary "$file" | median)
d=$(timed "$cli" --all "$file" | median)
f=$(timed "$cli" --streams "$file" | median)
h=$(timed "$cli" --check "$file" | median)
e=$(for _ in $(seq "$runs"); do /usr/bin/time -f "%e" "$cli" "$file" 2>&1 >/dev/null | tail -n 1; done | median)
lines=$("$cli" --all --summary "$file" | awk '/^lines/ {print $2}')
mem_c=$(peak_kb "$cli" --all --summary "$file")
mem_d=$(peak_kb "$cli" --all "$file")
mem_f=$(peak_kb "$cli" --streams "$file")
mem_h=$(peak_kb "$cli" --check "$file")

echo "file            $file ($(stat -c %s "$file") bytes, $lines tree lines)"
echo "runs            $runs (medians)"
printf 'a cat           %8.3f s\n' "$a"
printf 'b memchr        %8.3f s\n' "$b"
printf 'c analysis      %8.3f s   c/b = %.2f   (target <= 3)\n' "$c" "$(echo "$c / $b" | bc -l)"
printf 'd text output   %8.3f s   d/c = %.2f   (target <= 2)\n' "$d" "$(echo "$d / $c" | bc -l)"
printf 'e 100 packs     %8.3f s   (target < 0.05)\n' "$e"
printf 'f streams       %8.3f s   f/b = %.2f   (target <= 1.5)\n' "$f" "$(echo "$f / $b" | bc -l)"
printf 'h check         %8.3f s   h/b = %.2f   (target <= 2)\n' "$h" "$(echo "$h / $b" | bc -l)"
printf 'peak memory c   %8.1f MB  %.1f bytes/line (target <= 40)\n' "$(echo "$mem_c / 1024" | bc -l)" "$(echo "$mem_c * 1024 / $lines" | bc -l)"
printf 'peak memory d   %8.1f MB  %.1f bytes/line (child index built)\n' "$(echo "$mem_d / 1024" | bc -l)" "$(echo "$mem_d * 1024 / $lines" | bc -l)"
printf 'peak memory f   %8.1f MB  (stream model; independent of the file size)\n' "$(echo "$mem_f / 1024" | bc -l)"
printf 'peak memory h   %8.1f MB  (checks; independent of the file size, findings aside)\n' "$(echo "$mem_h / 1024" | bc -l)"
printf 'g column store  %8.2f bytes/unit (target <= 24)\n' "$(build-bench/bench/varnodel-columns "$file" | awk '/per unit/ {print $4}')"
