#!/usr/bin/env bash
# Builds the folder the release programs are compiled against: the C library, the C++
# runtime, X11, FLTK, the font libraries, libjpeg-turbo, zlib, mbed TLS, xxHash's header and
# the test libraries of Debian 11, so that the installer stub runs on any x86_64 Linux with
# glibc 2.31 or later.
# The packages come from the system's own archive (its deb lines, read at run time, with the
# suite replaced, in a private sources list: the system's apt set-up is not touched) and are
# unpacked, never installed. Prints the folder; a second run with the same package versions
# only prints it. Usage: bash scripts/linux-sysroot.sh [CACHE]
# (default: $DFM_DEPS_CACHE, or ~/.cache/dfmod-deps)
set -euo pipefail
suite=bullseye
packages=(libc6 libc6-dev linux-libc-dev libgcc-s1 libgcc-10-dev libstdc++-10-dev
  libx11-6 libx11-dev libxcb1 libxcb1-dev libxau6 libxau-dev libxdmcp6 libxdmcp-dev x11proto-dev
  libxext6 libxext-dev libxinerama1 libxinerama-dev libxfixes3 libxfixes-dev libxcursor1
  libxcursor-dev libxrender1 libxrender-dev libxft2 libxft-dev libfontconfig1 libfontconfig1-dev
  libfontconfig-dev libfreetype6 libfreetype6-dev libfreetype-dev libexpat1 libexpat1-dev
  libpng16-16 libpng-dev zlib1g zlib1g-dev libbrotli1 libbrotli-dev libuuid1 uuid-dev libbsd0
  libmd0 libfltk1.3-dev libjpeg62-turbo libjpeg62-turbo-dev libturbojpeg0 libturbojpeg0-dev
  libstdc++6 libmbedtls-dev libxxhash-dev libgtest-dev libgmock-dev libbenchmark1 libbenchmark-dev)

cache=$(mkdir -p "${1:-${DFM_DEPS_CACHE:-$HOME/.cache/dfmod-deps}}" && cd "${1:-${DFM_DEPS_CACHE:-$HOME/.cache/dfmod-deps}}" && pwd)
apt_dir=$cache/apt-$suite
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"

# The system's main archive (its first deb source that is not a security archive),
# pointed at $suite.
source "$(dirname "$0")/apt-sources.sh"
uri=$(system_deb_lines | awk '!uri && $0 !~ /security/ { for (i = 2; i <= NF && !uri; i++) if ($i ~ /:\/\//) uri = $i }
  END { print uri }')
[ -n "$uri" ] || { echo "linux-sysroot: the system names no Debian archive" >&2; exit 1; }
echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" >"$apt_dir/sources.list.new"
if ! cmp -s "$apt_dir/sources.list.new" "$apt_dir/sources.list"; then
  mv "$apt_dir/sources.list.new" "$apt_dir/sources.list"
  rm -f "$apt_dir/updated"
fi
opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
      -o Dir::State::status=/dev/null -o APT::Architecture=amd64 -o APT::Architectures=amd64)
if [ ! -e "$apt_dir/updated" ]; then
  apt-get "${opts[@]}" -qq update >&2
  touch "$apt_dir/updated"
fi

# The folder is named after the versions it holds and the way it is unpacked (layout).
layout=2
versions=$(apt-cache "${opts[@]}" policy "${packages[@]}" | awk '/^[^ ]/ { p = $1 } /Candidate:/ { print p $2 }')
key=$(printf '%s\n' "layout $layout" "$versions" | sha256sum | cut -c1-12)
root=$cache/sysroot-$suite-$key
if [ -f "$root/.complete" ]; then echo "$root"; exit 0; fi

work=$(mktemp -d "$cache/.sysroot-XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt's download user writes here
(cd "$work" && apt-get "${opts[@]}" -qq download "${packages[@]}" 2>&1 | grep -v unsandboxed >&2 || true)
[ "$(find "$work" -name '*.deb' | wc -l)" -eq ${#packages[@]} ] ||
  { echo "linux-sysroot: not every package was downloaded" >&2; exit 1; }
mkdir -p "$work/root"
for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$work/root"; done
# Links that name an absolute path point into the folder instead.
find "$work/root" -type l -lname '/*' | while read -r link; do
  target=$(readlink "$link")
  ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$work/root$target")" "$link"
done
# CMake package files that name a library by its absolute path name it by its name instead.
find "$work/root/usr/lib/x86_64-linux-gnu/cmake" -name '*Targets.cmake' \
  -exec sed -i -E 's#/usr/lib/x86_64-linux-gnu/lib([A-Za-z0-9_]+)\.so#\1#g' {} +
rm -rf "$root"
mv "$work/root" "$root"
printf '%s\n' "$versions" >"$root/.complete"
echo "$root"
