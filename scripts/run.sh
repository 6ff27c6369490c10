#!/usr/bin/env bash
# Sets everything up, builds, and starts Varnodel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [ -x build/src/app/varnodel ]; then
  exec build/src/app/varnodel "$@"
fi
# Without the desktop program, analyse the bundled sample and print the tree.
exec build/src/cli/varnodel-cli "${@:-samples/sample.mpg}"
