#!/usr/bin/env bash
# Fuzzes the analysis: builds the libFuzzer target (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs it for SECONDS (default 600) with
# one worker, on the corpus in build-fuzz/corpus, seeded from the streams of the
# end-to-end tests and a few cut-down pieces of them.
#
#   scripts/fuzz.sh [SECONDS]
#
# Findings (crash-*, leak-*, timeout-*, oom-*) land in build-fuzz/findings; the log of
# the run in build-fuzz/fuzz.log. Set FUZZ_CORPUS to use another corpus folder, and
# FUZZ_ARGS for more libFuzzer options (e.g. FUZZ_ARGS=-len_control=0 to try long inputs
# from the start).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"

VARNODEL_FUZZ=1 bash scripts/setup.sh

build=build-fuzz
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target varnodel-fuzz varnodel-fuzz-mksample -j"$(nproc)"

corpus="${FUZZ_CORPUS:-$build/corpus}"
seeds="$build/seeds"
findings="$build/findings"
mkdir -p "$corpus" "$seeds" "$findings"

# Seeds: the test streams whole where they are small, the first packs of the large one,
# and short heads and tails that start the fuzzer off inside each kind of element.
samples="$build/samples"
mkdir -p "$samples"
"$build/varnodel-fuzz-mksample" "$samples"
for f in audio-check.mpg two-audio.mpg edge.mpg video.m2v; do
  cp "$samples/$f" "$seeds/$f"
done
head -c 8192 "$samples/sample.mpg" > "$seeds/sample-4packs.mpg"
head -c 2100 "$samples/sample.mpg" > "$seeds/sample-1pack.mpg"
head -c 600 "$samples/video.m2v" > "$seeds/video-head.m2v"
head -c 2000 "$samples/audio-check.mpg" > "$seeds/audio-check-head.mpg"
tail -c 1500 "$samples/audio-check.mpg" > "$seeds/audio-check-tail.mpg"
# The heads of real muxer output (mplex VCD and DVD, a dvdauthor VOB with navigation packs)
# for the stream model and the checks.
if sh tests/checks/make-streams.sh "$build/check-streams" >/dev/null 2>&1; then
  for f in vcd.mpg dvd.mpg authored.vob; do
    head -c 65536 "$build/check-streams/$f" > "$seeds/head-$f"
  done
fi
# The inputs the robustness tests replay: every finding so far and a small covering set.
cp tests/robustness/cases/* "$seeds/" 2>/dev/null || true

echo "fuzz: running for ${seconds}s, corpus $corpus"
# One process, so that the machine stays usable for everyone else. Inputs up to 64 KiB:
# enough for a few packs of every kind; the huge-file paths have tests of their own.
set +e
"$build/varnodel-fuzz" "$corpus" "$seeds" \
  -dict=fuzz/varnodel.dict -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" ${FUZZ_ARGS:-} 2>&1 | tee "$build/fuzz.log" |
  grep --line-buffered -E "pulse|DONE|ERROR|SUMMARY|^stat::"
status=${PIPESTATUS[0]}
set -e
if [ -n "$(ls -A "$findings")" ]; then
  echo "fuzz: findings in $findings (replay one with: $build/varnodel-fuzz FILE)"
  ls -l "$findings"
fi
exit "$status"
