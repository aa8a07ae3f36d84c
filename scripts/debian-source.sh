#!/usr/bin/env bash
# Fetches and unpacks the Debian source package PKG into CACHE/PKG-VERSION (once: a second
# run with the same version only prints the folder) and prints that folder. The archive
# and suites are the system's own (its deb lines, read at run time, turned into deb-src
# lines in a private sources list under CACHE/apt); the system's apt set-up is not touched.
# Usage: bash scripts/debian-source.sh PKG CACHE
set -euo pipefail
pkg=$1
cache=$(mkdir -p "$2" && cd "$2" && pwd)
apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"

# deb-src lines for the system's deb sources.
source "$(dirname "$0")/apt-sources.sh"
system_deb_lines | sed 's/^deb /deb-src /' >"$apt_dir/sources.list.new"
if ! cmp -s "$apt_dir/sources.list.new" "$apt_dir/sources.list"; then
  mv "$apt_dir/sources.list.new" "$apt_dir/sources.list"
  rm -f "$apt_dir/updated"
fi
opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
if [ ! -e "$apt_dir/updated" ]; then
  apt-get "${opts[@]}" -qq update >&2
  touch "$apt_dir/updated"
fi

# Every version the archive offers, newest first; a version whose files are missing on the
# mirror (a security update may be) gives way to the next.
mapfile -t versions < <(apt-cache "${opts[@]}" showsrc "$pkg" | awk '/^Version:/ {print $2}' | sort -rV -u)
[ ${#versions[@]} -gt 0 ] || { echo "debian-source: no source package $pkg" >&2; exit 1; }
for version in "${versions[@]}"; do
  dest=$cache/$pkg-$version
  if [ -f "$dest/.complete" ]; then echo "$dest"; exit 0; fi
  work=$(mktemp -d "$cache/.fetch-XXXXXX")
  if (cd "$work" && apt-get "${opts[@]}" -qq source "$pkg=$version" >&2); then
    unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
    rm -rf "$dest"
    mv "$unpacked" "$dest"
    touch "$dest/.complete"
    rm -rf "$work"
    echo "$dest"
    exit 0
  fi
  rm -rf "$work"
  echo "debian-source: $pkg $version could not be fetched; trying an older one" >&2
done
exit 1
