#!/usr/bin/env bash
# Fetches a Debian source package with `apt-get source`, through a private deb-src list
# and lists folder made from the machine's own apt sources. The system's apt
# configuration is read, never changed.
#
#   debian-source.sh PKG DESTDIR     unpacks PKG's source tree into DESTDIR (which must
#                                    not exist) and prints the version it fetched
#   debian-source.sh --versions PKG  prints PKG's source versions, newest first
#
# The newest version is tried first; a security update whose source the archive does not
# serve falls back to the next one (the main suite's). The private lists live in
# $DFM_APT_CACHE (default: ${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps/apt) and are
# fetched only when missing or when no version could be downloaded.
set -euo pipefail

APT_CACHE=${DFM_APT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps/apt}
SOURCES=$APT_CACHE/deb-src.list

die() {
  echo "debian-source.sh: $*" >&2
  exit 1
}

# One-line deb-src entries for every "deb" entry of the machine's sources, deb822 files
# and one-line lists alike.
machine_sources() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no" && uris != "" && suites != "") {
          n = split(uris, u, " "); m = split(suites, s, " ")
          opt = (signed ~ /^\//) ? "[signed-by=" signed "] " : ""
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
            print "deb-src " opt u[i] " " s[j] " " comps
        }
        types = uris = suites = comps = signed = enabled = ""
      }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ { next }
      {
        key = tolower($1); sub(/:$/, "", key)
        val = $0; sub(/^[^:]*:[ \t]*/, "", val)
        if (key == "types") types = val
        else if (key == "uris") uris = val
        else if (key == "suites") suites = val
        else if (key == "components") comps = val
        else if (key == "signed-by") signed = val
        else if (key == "enabled") enabled = tolower(val)
      }
      END { flush() }
    ' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n -E 's/^[ \t]*deb[ \t]+/deb-src /p' "$f"
  done
}

APT_OPTS=(
  -o "Dir::Etc::SourceList=$SOURCES"
  -o "Dir::Etc::SourceParts=/dev/null"
  -o "Dir::State::Lists=$APT_CACHE/lists"
  -o "Dir::Cache=$APT_CACHE/cache"
  -o "APT::Sandbox::User=root"
)

update_lists() {
  mkdir -p "$APT_CACHE/lists/partial" "$APT_CACHE/cache/archives/partial"
  machine_sources | sort -u >"$SOURCES.new"
  [ -s "$SOURCES.new" ] || die "no deb entries in the machine's apt sources"
  mv "$SOURCES.new" "$SOURCES"
  apt-get "${APT_OPTS[@]}" -qq update >&2 || die "apt-get update failed"
}

have_lists() {
  [ -f "$SOURCES" ] && compgen -G "$APT_CACHE/lists/*_Sources*" >/dev/null
}

# Source versions of $1 in the private lists, newest first.
versions() {
  local all v sorted=()
  all=$(apt-cache "${APT_OPTS[@]}" showsrc --only-source "$1" 2>/dev/null |
    sed -n 's/^Version: //p' | sort -u)
  for v in $all; do
    local i=0
    while [ $i -lt ${#sorted[@]} ] && dpkg --compare-versions "${sorted[$i]}" gt "$v"; do
      i=$((i + 1))
    done
    sorted=("${sorted[@]:0:$i}" "$v" "${sorted[@]:$i}")
  done
  [ ${#sorted[@]} -gt 0 ] && printf '%s\n' "${sorted[@]}"
  return 0
}

# Downloads and unpacks version $2 of $1 into $3; fails when the archive lacks it.
fetch() {
  local pkg=$1 version=$2 dest=$3 dl
  dl=$(mktemp -d "$APT_CACHE/download.XXXXXX")
  if (cd "$dl" && apt-get "${APT_OPTS[@]}" -qq --download-only source "$pkg=$version" >&2); then
    dpkg-source --no-check -x "$dl"/*.dsc "$dest" >&2
    rm -rf "$dl"
    return 0
  fi
  rm -rf "$dl"
  return 1
}

list_versions() {
  have_lists || update_lists
  local found
  found=$(versions "$1")
  if [ -z "$found" ]; then
    update_lists
    found=$(versions "$1")
  fi
  [ -n "$found" ] || die "no source package $1 in the archive"
  echo "$found"
}

main() {
  if [ "${1:-}" = "--versions" ] && [ $# -eq 2 ]; then
    list_versions "$2"
    return
  fi
  [ $# -eq 2 ] || die "usage: debian-source.sh PKG DESTDIR | --versions PKG"
  local pkg=$1 dest=$2 v attempt
  [ -e "$dest" ] && die "$dest exists"
  mkdir -p "$(dirname "$dest")"
  for attempt in cached fresh; do
    [ $attempt = fresh ] && update_lists
    for v in $(list_versions "$pkg"); do
      if fetch "$pkg" "$v" "$dest"; then
        echo "$v"
        return
      fi
      echo "debian-source.sh: $pkg $v could not be fetched; trying an older version" >&2
    done
  done
  die "no version of $pkg could be fetched"
}

main "$@"
