#!/usr/bin/env bash
# Configures and builds the project into build/ (or $VARNODEL_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${VARNODEL_BUILD_DIR:-build}"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="${VARNODEL_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
