#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Varnodel need.
# Only packages that are missing are installed, so a second run costs a dpkg query.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev googletest
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libqcustomplot-dev libqcustomplot2.1-qt6 qt6-svg-dev
  xvfb xauth
  time bc
  ffmpeg mjpegtools dvdauthor
  libdvdread-dev lsdvd
  vcdimager mencoder
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
)
if [ "${VARNODEL_FUZZ:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
