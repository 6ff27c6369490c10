#!/usr/bin/env bash
# Fuzzes the IFO reader and the disc checks: builds the libFuzzer target varnodel-fuzz-ifo
# (clang, AddressSanitizer and UndefinedBehaviorSanitizer) in build-fuzz and runs it for
# SECONDS (default 1200) with one worker, on the corpus in build-fuzz/corpus-ifo, seeded
# from the IFO files of the discs the disc tests author (each alone, and the manager's
# with each title set's after it).
#
#   scripts/fuzz-ifo.sh [SECONDS]
#
# Findings land in build-fuzz/findings-ifo, the log in build-fuzz/fuzz-ifo.log. FUZZ_ARGS
# adds libFuzzer options.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-1200}"

VARNODEL_FUZZ=1 bash scripts/setup.sh

build=build-fuzz
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target varnodel-fuzz-ifo -j"$(nproc)"

corpus="$build/corpus-ifo"
seeds="$build/seeds-ifo"
findings="$build/findings-ifo"
mkdir -p "$corpus" "$seeds" "$findings"
discs="$build/discs"
if sh tests/disc/make-discs.sh "$discs" >/dev/null 2>&1; then
  for disc in disc ntsc; do
    for ifo in "$discs/$disc"/VIDEO_TS/*.IFO; do
      cp "$ifo" "$seeds/$disc-$(basename "$ifo")"
      case "$ifo" in
        */VTS_*) cat "$discs/$disc/VIDEO_TS/VIDEO_TS.IFO" "$ifo" > "$seeds/$disc-VMG+$(basename "$ifo")" ;;
      esac
    done
  done
fi

echo "fuzz: running for ${seconds}s, corpus $corpus"
set +e
"$build/varnodel-fuzz-ifo" "$corpus" "$seeds" \
  -dict=fuzz/ifo.dict -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" ${FUZZ_ARGS:-} 2>&1 | tee "$build/fuzz-ifo.log" |
  grep --line-buffered -E "pulse|DONE|ERROR|SUMMARY|^stat::"
status=${PIPESTATUS[0]}
set -e
if [ -n "$(ls -A "$findings")" ]; then
  echo "fuzz: findings in $findings (replay one with: $build/varnodel-fuzz-ifo FILE)"
  ls -l "$findings"
fi
exit "$status"
