#!/usr/bin/env bash
# The desktop program on a large stream (see gui_bench.cpp): tree shown, "Packet
# structure" expanded and scrolled to its end, timer lateness during the run, and the
# time "stop" takes to end a run.
#   bash bench/run-gui.sh [SIZE_MB]        (default 1024; the stream of bench/run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-1024}"
cmake -S . -B build-gui -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-gui -j"$(nproc)" --target varnodel-guibench varnodel-mkstream >/dev/null
file="bench/out/dvd-${size}m.mpg"
mkdir -p bench/out
[ -f "$file" ] || build-gui/bench/varnodel-mkstream "$file" "$size"
cat "$file" > /dev/null
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
echo "== full run"
build-gui/bench/varnodel-guibench "$file"
echo "== stopped 300 ms into a run"
build-gui/bench/varnodel-guibench "$file" 300
