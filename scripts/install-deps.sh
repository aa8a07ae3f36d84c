#!/usr/bin/env bash
# Installs what the build, the tests, the fuzzers and the demo need, from Debian's archive.
# Idempotent and non-interactive; does nothing when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  libzip-dev zlib1g-dev zip unzip
  libturbojpeg0-dev libjpeg62-turbo-dev libjpeg-turbo-progs
  libfltk1.3-dev
  # the release stub links FLTK statically; X11 and its extensions stay shared
  libx11-dev libxext-dev libxft-dev libxrender-dev libxfixes-dev libxcursor-dev
  libxinerama-dev libfontconfig-dev dpkg-dev
  # the installer window's smoke test (scripts/gui-smoke.sh): a virtual screen, a window
  # manager, clicks and keys, screenshots
  xvfb openbox xdotool x11-utils imagemagick
  python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
