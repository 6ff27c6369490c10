#!/usr/bin/env bash
# The verdict engine's speed and memory on real DVD streams, side by side with the memchr
# start-code scan (the floor), in one run:
#   bash bench/run-verdict.sh [MINUTES] [RUNS]     (default 24 minutes, 5 runs)
# Makes once, in bench/out/:
#   pal-dvd-<MINUTES>m.mpg   a clean stream from ffmpeg -target pal-dvd (MPEG-2 video at
#                            5.5 Mbit/s, AC-3 audio): about 1 GB at 24 minutes
#   joined-350.mpg           350 copies of a 4 s ffmpeg DVD stream joined as they are (no
#                            end codes): one fault per join
# then takes turns, RUNS times, between
#   b  varnodel-memchr FILE           (the scan)
#   f  varnodel-cli --streams FILE    (the stream model and its statistics)
#   h  varnodel-cli --check FILE      (the model and every check)
# on the clean stream, and b and h on the joined file, and prints the medians, the
# ratios f/b and h/b (each run's ratio, their median), the findings of the joined file
# and the peak memory of --check on the whole clean stream and on its first tenth.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:-24}"
runs="${2:-5}"
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)"; exit 1; }
command -v ffmpeg >/dev/null || { echo "needs ffmpeg"; exit 1; }

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVARNODEL_GUI=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target varnodel-cli varnodel-memchr >/dev/null
cli=build-bench/src/cli/varnodel-cli
scan=build-bench/bench/varnodel-memchr
mkdir -p bench/out
clean="bench/out/pal-dvd-${minutes}m.mpg"
joined="bench/out/joined-350.mpg"
ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
if [ ! -f "$clean" ]; then
  ff -f lavfi -i "testsrc2=size=720x576:rate=25" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
     -t "$((minutes * 60))" -target pal-dvd -b:v 5500k -c:a ac3 -b:a 192k "$clean.part"
  mv "$clean.part" "$clean"
fi
if [ ! -f "$joined" ]; then
  ff -f lavfi -i "testsrc2=size=720x576:rate=25" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
     -t 4 -target pal-dvd -b:v 5500k -c:a ac3 -b:a 192k bench/out/one-4s.mpg
  for _ in $(seq 350); do cat bench/out/one-4s.mpg; done > "$joined.part"
  mv "$joined.part" "$joined"
fi
tenth="bench/out/pal-dvd-${minutes}m-tenth.mpg"
[ -f "$tenth" ] || head -c "$(( $(stat -c %s "$clean") / 10 / 2048 * 2048 ))" "$clean" > "$tenth"
cat "$clean" "$joined" > /dev/null

median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
# wall seconds of one run (--check exits with 3 when it finds errors: not the measure)
wall() { /usr/bin/time -f "%e" "$@" 2>&1 >/dev/null | tail -n 1 || true; }
peak_kb() { /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -n 1 || true; }

b=() f=() h=() jb=() jh=() rf=() rh=() rj=()
for _ in $(seq "$runs"); do
  tb=$(wall "$scan" "$clean"); tf=$(wall "$cli" --streams "$clean"); th=$(wall "$cli" --check "$clean")
  tjb=$(wall "$scan" "$joined"); tjh=$(wall "$cli" --check "$joined")
  b+=("$tb") f+=("$tf") h+=("$th") jb+=("$tjb") jh+=("$tjh")
  rf+=("$(echo "$tf / $tb" | bc -l)") rh+=("$(echo "$th / $tb" | bc -l)") rj+=("$(echo "$tjh / $tjb" | bc -l)")
done
m() { printf '%s\n' "$@" | median; }

echo "clean    $clean ($(stat -c %s "$clean") bytes)"
echo "joined   $joined ($(stat -c %s "$joined") bytes, 350 copies)"
echo "runs     $runs (medians; ratios: the median of each run's ratio, then the ratio of the medians)"
printf 'b memchr scan         %8.3f s   (runs: %s)\n' "$(m "${b[@]}")" "${b[*]}"
printf 'f --streams           %8.3f s   f/b = %.2f, %.2f   (target <= 1.2)\n' "$(m "${f[@]}")" "$(m "${rf[@]}")" \
  "$(echo "$(m "${f[@]}") / $(m "${b[@]}")" | bc -l)"
printf 'h --check             %8.3f s   h/b = %.2f, %.2f   (target <= 1.2)\n' "$(m "${h[@]}")" "$(m "${rh[@]}")" \
  "$(echo "$(m "${h[@]}") / $(m "${b[@]}")" | bc -l)"
printf 'joined: memchr scan   %8.3f s\n' "$(m "${jb[@]}")"
printf 'joined: --check       %8.3f s   h/b = %.2f, %.2f   (target <= 1.5)\n' "$(m "${jh[@]}")" "$(m "${rj[@]}")" \
  "$(echo "$(m "${jh[@]}") / $(m "${jb[@]}")" | bc -l)"
echo "joined: $("$cli" --check "$joined" | tail -n 1 || true)"
echo "joined: findings by check: $({ "$cli" --check "$joined" || true; } | sed '$d' | awk '{print $2}' | sort | uniq -c | tr -s ' \n' ' ')"
echo "clean:  $("$cli" --check "$clean" | tail -n 1 || true)"
printf 'peak memory --check   %8.1f MB on the whole stream, %.1f MB on its first tenth\n' \
  "$(echo "$(peak_kb "$cli" --check "$clean") / 1024" | bc -l)" "$(echo "$(peak_kb "$cli" --check "$tenth") / 1024" | bc -l)"
printf 'peak memory --streams %8.1f MB on the whole stream, %.1f MB on its first tenth\n' \
  "$(echo "$(peak_kb "$cli" --streams "$clean") / 1024" | bc -l)" "$(echo "$(peak_kb "$cli" --streams "$tenth") / 1024" | bc -l)"
