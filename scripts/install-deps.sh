#!/usr/bin/env bash
# Installs from Debian's archive what a task needs, by group:
#   bash scripts/install-deps.sh demo   the release programs and the demo's generator
#   bash scripts/install-deps.sh package  what scripts/package.sh needs
#   bash scripts/install-deps.sh test   everything the tests, sanitizers and fuzzers need
#                                       (the default)
# Idempotent and non-interactive; one line per step. apt-get and dpkg write into a log
# whose path is printed ($DFM_DEPS_LOG, default under the temp folder).
set -euo pipefail

# A group lists packages and other groups (@name). Add a group here and name it in the
# groups that need it.
group_build=(build-essential cmake ninja-build pkg-config libzip-dev zlib1g-dev
  libturbojpeg0-dev libjpeg62-turbo-dev libmbedtls-dev libxxhash-dev)
# the demo's generator runs python3 and makes its JPEG texture with cjpeg
group_demo=(@build python3 libjpeg-turbo-progs)
# the installer's window (FLTK) in the dev and test builds
group_gui=(libfltk1.3-dev libx11-dev libxext-dev libxft-dev libxrender-dev libxfixes-dev
  libxcursor-dev libxinerama-dev libfontconfig-dev)
# the window's smoke test (scripts/gui-smoke.sh): virtual screen, window manager, clicks,
# screenshots
group_gui_smoke=(xvfb openbox xdotool x11-utils imagemagick)
# the release programs: clang against Debian 11's libraries (scripts/linux-sysroot.sh) and
# libzip built from Debian's source package
group_release=(build-essential cmake ninja-build pkg-config clang dpkg-dev)
# windows: the MinGW-w64 cross build (scripts/build-windows-deps.sh fetches sources with
# apt-get source, dpkg-dev unpacks them), the tests under Wine, and the installer's window
# under Wine on a virtual screen (the Linux build's dfmod makes and checks the installer)
group_windows=(@build @gui_smoke g++-mingw-w64-x86-64-posix nasm dpkg-dev wine wine64 fonts-wine
  xauth python3 googletest)
# the demo on a fresh Debian 12 root (scripts/fresh-root-demo.sh)
group_fresh_root=(debootstrap git)
# the packages (scripts/package.sh) and their check (scripts/package-check.sh): dpkg-deb,
# dpkg-shlibdeps, lintian, the Windows zip
group_package=(dpkg-dev fakeroot lintian zip @fresh_root)
# locales: run.sh makes a German locale to check the log's day and month names
group_test=(@build @gui @gui_smoke @release @windows @fresh_root @package googletest libgtest-dev
  libgmock-dev libbenchmark-dev clang libclang-rt-14-dev clang-format zip unzip
  libjpeg-turbo-progs python3 locales)

packages=()
add_group() {
  local name=$1 item
  declare -p "group_$name" >/dev/null 2>&1 || { echo "install-deps: no group '$name'" >&2; exit 2; }
  local -n members="group_$name"
  for item in "${members[@]}"; do
    if [[ $item == @* ]]; then
      add_group "${item#@}"
    elif [[ " ${packages[*]} " != *" $item "* ]]; then
      packages+=("$item")
    fi
  done
}
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(test)
for g in "${groups[@]}"; do add_group "$g"; done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: ${groups[*]}: all ${#packages[@]} packages are installed"
  exit 0
fi

log=${DFM_DEPS_LOG:-${TMPDIR:-/tmp}/dfm-install-deps.log}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
step() {
  echo "install-deps: $1"
  shift
  if ! "$@" >>"$log" 2>&1; then
    echo "install-deps: failed; the end of $log:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}
: >"$log"
echo "install-deps: ${groups[*]}: ${#missing[@]} of ${#packages[@]} packages missing; log: $log"
step "updating the package lists" $SUDO apt-get update
step "installing ${missing[*]}" \
  $SUDO apt-get install -y --no-install-recommends -o Dpkg::Use-Pty=0 "${missing[@]}"
echo "install-deps: done"
