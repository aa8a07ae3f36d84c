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
  libfltk1.3-dev xvfb
  python3
  # windows: the MinGW-w64 cross build (scripts/build-windows-deps.sh fetches sources with
  # apt-get source, dpkg-dev unpacks them) and the tests under Wine
  g++-mingw-w64-x86-64-posix nasm dpkg-dev
  wine wine64 fonts-wine xauth xdotool imagemagick
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
