#!/usr/bin/env bash
# Sets everything up, builds, and runs every test (ctest), the GUI tests offscreen; then
# builds the core, the command-line front and their tests again with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs those tests too.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
if [ "${VARNODEL_SKIP_SANITIZE:-0}" != 1 ]; then
  bash scripts/test-sanitize.sh
fi
