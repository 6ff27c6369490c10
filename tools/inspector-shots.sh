#!/usr/bin/env bash
# The inspector's pictures in docs/: the 1 GB benchmark stream (bench/run.sh makes it)
# and a damaged DVD stream (20 s authored with dvdauthor, then a stretch of garbage, a
# pack's SCR set back and a smaller video buffer signalled), each inspected under Xvfb
# with openbox managing the windows (so the pictures show them as a user does) and
# taken with ImageMagick's import.
#   bash tools/inspector-shots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
cmake --build "$dir" --target varnodel_inspector_shots varnodel-mkstream >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

big=bench/out/dvd-1024m.mpg
mkdir -p bench/out
[ -f "$big" ] || "$dir"/bench/varnodel-mkstream "$big" 1024

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
ff -f lavfi -i "testsrc2=size=720x576:rate=25:duration=20" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=20" \
   -c:v mpeg2video -g 12 -bf 2 -b:v 5000k -maxrate 8000k -bufsize 1835k -c:a mp2 -b:a 224k -f dvd "$work/dvd.mpg"
VIDEO_FORMAT=PAL dvdauthor -o "$work/dvd" -t "$work/dvd.mpg" >/dev/null 2>&1
vob="$work/damaged.vob"
cp "$work/dvd/VIDEO_TS/VTS_01_1.VOB" "$vob"
python3 - "$vob" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
# Garbage over 5000 bytes a third of the way in.
at = len(data) // 3
data[at:at + 5000] = b'\xff' * 5000
# The SCR of a pack two thirds in set back by about half a second (90 kHz base, MPEG-2).
pack = (len(data) * 2 // 3) // 2048 * 2048
b = data[pack + 4:pack + 10]
base = ((b[0] >> 3) & 7) << 30 | (b[0] & 3) << 28 | b[1] << 20 | (b[2] >> 3) << 15 | (b[2] & 3) << 13 | b[3] << 5 | b[4] >> 3
base = max(base - 45000, 0)
data[pack + 4] = (data[pack + 4] & 0xC4) | ((base >> 30) & 7) << 3 | ((base >> 28) & 3)
data[pack + 5] = (base >> 20) & 0xFF
data[pack + 6] = (data[pack + 6] & 0x04) | ((base >> 15) & 0x1F) << 3 | ((base >> 13) & 3)
data[pack + 7] = (base >> 5) & 0xFF
data[pack + 8] = (data[pack + 8] & 0x07) | (base & 0x1F) << 3
open(path, 'wb').write(data)
PY
shoot() {
  xvfb-run -a -s "-screen 0 2000x1000x24" sh -c 'openbox & wm=$!; sleep 1; "$0" "$@"; status=$?; kill $wm; exit $status' \
    "$dir"/tests/app/varnodel_inspector_shots "$@"
}
shoot "$vob" docs inspector-dvd
shoot "$big" docs inspector-1g
