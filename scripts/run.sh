#!/usr/bin/env bash
# Sets everything up, builds, and starts Varnodel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [ -x build/src/app/varnodel ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/src/app/varnodel "$@"
fi
# No desktop to show a window on (or no desktop program): analyse the bundled sample with
# the command-line front and print its tree instead.
if [ -x build/src/app/varnodel ]; then
  echo "run.sh: no display (DISPLAY/WAYLAND_DISPLAY unset); showing the command-line analysis of the sample instead" >&2
fi
exec build/src/cli/varnodel-cli "${@:-samples/sample.mpg}"
