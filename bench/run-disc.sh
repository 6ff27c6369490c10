#!/usr/bin/env bash
# A whole disc judged against the same VOBs judged as one file.
#   bash bench/run-disc.sh [MINUTES] [RUNS]      (default 24 minutes, about 1.1 GB; 5 runs)
# Builds a Release tree in build-bench/, authors bench/out/disc-<MINUTES>m once with
# dvdauthor (a VMG menu of one menu, one title set of one title, a chapter every 5
# minutes, its VOB set over 1 GiB and so in two files, from one minute of ffmpeg's
# pal-dvd output joined MINUTES times), joins the title VOBs into one file, reads both into
# the page cache, then times side by side, run after run:
#   a  varnodel-cli --check DISC        (the disc: IFOs, BUPs, every VOB set, all checks)
#   b  varnodel-cli --check JOINED      (the same title VOBs as one file)
#   c  varnodel-cli --disc DISC         (the IFOs alone)
#   d  varnodel-memchr JOINED           (the start-code scan, the floor)
# and prints the medians, a/b (target <= 1.3) as the ratio of the medians and as the
# median of the run-by-run ratios, and the peak memory of a and b.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:-24}"
runs="${2:-5}"
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian package time)"; exit 1; }

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVARNODEL_GUI=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target varnodel-cli varnodel-memchr >/dev/null
cli=build-bench/src/cli/varnodel-cli
out="bench/out/disc-${minutes}m"
mkdir -p "$out"
if [ ! -f "$out/disc/VIDEO_TS/VTS_01_0.IFO" ]; then
  ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
  ff -f lavfi -i "testsrc2=size=720x576:rate=25:duration=60" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60" \
     -target pal-dvd -aspect 4:3 -b:v 5800k -g 12 -ac 2 "$out/minute.mpg"
  ff -f lavfi -i "color=c=blue:size=720x576:rate=25:duration=2" -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=2" \
     -target pal-dvd -aspect 4:3 -b:v 2000k -g 12 -ac 2 "$out/menu.mpg"
  : > "$out/list.txt"
  for _ in $(seq "$minutes"); do echo "file 'minute.mpg'" >> "$out/list.txt"; done
  ff -f concat -safe 0 -i "$out/list.txt" -c copy -f dvd -muxrate 10080000 -packetsize 2048 "$out/title.mpg"
  chapters=0
  for m in $(seq 5 5 $((minutes - 1))); do chapters="$chapters,$m:00"; done
  cat > "$out/disc.xml" <<XML
<dvdauthor dest="disc">
  <vmgm><menus><pgc entry="title"><vob file="menu.mpg"/><post>jump title 1;</post></pgc></menus></vmgm>
  <titleset><titles><pgc><vob file="title.mpg" chapters="$chapters"/></pgc></titles></titleset>
</dvdauthor>
XML
  (cd "$out" && rm -rf disc && VIDEO_FORMAT=PAL dvdauthor -x disc.xml >/dev/null 2>&1)
  rm -f "$out/minute.mpg" "$out/title.mpg"
fi
disc="$out/disc"
joined="$out/joined.vob"
[ -f "$joined" ] || cat "$disc"/VIDEO_TS/VTS_01_[1-9].VOB > "$joined"
cat "$disc"/VIDEO_TS/* "$joined" > /dev/null

median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
once() { /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -n 1 || true; }
: > "$out/times"
for _ in $(seq "$runs"); do
  ta=$(once "$cli" --check "$disc")
  tb=$(once "$cli" --check "$joined")
  tc=$(once "$cli" --disc "$disc")
  td=$(once build-bench/bench/varnodel-memchr "$joined")
  echo "$ta $tb $tc $td" >> "$out/times"
done
col() { awk -v c="$1" '{print $c}' "$out/times" | median; }
a=$(col 1); b=$(col 3); c=$(col 5); d=$(col 7)
ma=$(col 2); mb=$(col 4)
ratio=$(awk '{print $1 / $3}' "$out/times" | median)

echo "disc            $disc ($(du -sb "$disc/VIDEO_TS" | cut -f1) bytes in $(ls "$disc/VIDEO_TS" | wc -l) files)"
echo "joined          $joined ($(stat -c %s "$joined") bytes)"
echo "runs            $runs (medians, the runs side by side)"
printf 'a disc check    %8.3f s   a/b = %.3f, median of run ratios %.3f   (target <= 1.3)\n' "$a" "$(echo "$a / $b" | bc -l)" "$ratio"
printf 'b joined check  %8.3f s   b/d = %.2f\n' "$b" "$(echo "$b / $d" | bc -l)"
printf 'c IFOs alone    %8.3f s\n' "$c"
printf 'd memchr        %8.3f s\n' "$d"
printf 'peak memory     a %.1f MB, b %.1f MB\n' "$(echo "$ma / 1024" | bc -l)" "$(echo "$mb / 1024" | bc -l)"
# (--check exits with 3 when it finds errors)
echo "disc:   $("$cli" --check "$disc" | tail -n 1 || true)"
echo "joined: $("$cli" --check "$joined" | tail -n 1 || true)"
