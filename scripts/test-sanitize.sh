#!/usr/bin/env bash
# Builds the core, the command-line front and their tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (no desktop program) in build-asan, and runs every test there.
# Any sanitizer report fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# -O1 with line tables only: a quicker compile than -O2 -g, and a report
# still names file and line; assertions stay on.
cmake -S . -B build-asan -DVARNODEL_SANITIZE=ON -DVARNODEL_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" >/dev/null
cmake --build build-asan -j"$(nproc)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
