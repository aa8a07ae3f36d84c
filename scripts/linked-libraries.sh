#!/usr/bin/env bash
# The libraries a build links into its programs, read from the link commands themselves, so
# the list stays true when a library is added: every static archive (and the C++ and C
# runtimes that -static-libstdc++, -static-libgcc and -static bring in) with the Debian
# copyright file that covers it. Prints one line per copyright file:
#   PACKAGE<TAB>COPYRIGHT-FILE<TAB>ARCHIVE[ ARCHIVE...]
# Fails naming an archive whose package it cannot tell.
# Usage: bash scripts/linked-libraries.sh BUILD-DIR PROGRAM...
set -euo pipefail
build=$1
shift
cache=${DFM_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps}
cache_var() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
compiler_var() { sed -n "s/^set($1 \"\(.*\)\")$/\1/p" "$build"/CMakeFiles/[0-9]*/CMakeCXXCompiler.cmake | head -n 1; }
cxx=$(compiler_var CMAKE_CXX_COMPILER)
target=$(compiler_var CMAKE_CXX_COMPILER_TARGET)
sysroot=$(cache_var DFM_SYSROOT)

archives=()
for program in "$@"; do
  link=$(ninja -C "$build" -t commands "$program" | tail -n 1)
  for word in $link; do
    case $word in
      /*.a) archives+=("$word") ;;
      -static-libstdc++) archives+=(libstdc++.a) ;;
      -static-libgcc) archives+=(libgcc.a) ;;
      -static) archives+=(libwinpthread.a libmingwex.a) ;;
    esac
  done
done
# A runtime named by its file name: where this build's compiler takes it from.
resolve() {
  case $1 in
    /*) readlink -f "$1" ;;
    *) readlink -f "$("$cxx" ${target:+--target=$target} ${sysroot:+--sysroot=$sysroot} -print-file-name="$1")" ;;
  esac
}
# PACKAGE<TAB>COPYRIGHT of one archive: built here from a Debian source package (its folder
# in the cache is named after it), unpacked into the sysroot, or installed on this system.
owner() {
  local file=$1 rel dir src pkg
  for src in "$cache"/src/*/; do
    src=${src%/}
    dir=${src##*/}
    dir=${dir/[0-9]:/}  # the source folder keeps the version's epoch, the build folders not
    local name=${dir%%-[0-9]*}
    [[ $file == "$cache"/*"$dir"/* || $file == "$cache/$name-static-${dir#"$name"-}"* ]] || continue
    printf '%s\t%s\n' "$name" "$src/debian/copyright"
    return
  done
  rel=/${file#"$sysroot"/}
  [ -n "$sysroot" ] && [[ $file == "$sysroot"/* ]] || rel=$file
  pkg=$(dpkg -S "$rel" 2>/dev/null | head -n 1 | cut -d: -f1 || true)
  if [ -z "$pkg" ] && [[ $rel =~ ^/usr/lib/gcc/.*/(lib(stdc\+\+|gcc)\.a)$ ]]; then
    # The sysroot's GCC runtime: its licence is that of this system's GCC runtime.
    pkg=$(dpkg -S "$(readlink -f "$(c++ -print-file-name="${BASH_REMATCH[1]}")")" | head -n 1 | cut -d: -f1)
  fi
  [ -n "$pkg" ] || { echo "linked-libraries: which Debian package ships $file?" >&2; exit 1; }
  local copyright=${sysroot:+$sysroot}/usr/share/doc/$pkg/copyright
  [ -f "$copyright" ] || copyright=/usr/share/doc/$pkg/copyright
  [ -f "$copyright" ] || { echo "linked-libraries: no copyright file of $pkg" >&2; exit 1; }
  printf '%s\t%s\n' "$pkg" "$(readlink -f "$copyright")"
}

declare -A files_of=() package_of=()
order=()
for a in $(printf '%s\n' "${archives[@]}" | awk '!seen[$0]++'); do
  file=$(resolve "$a")
  IFS=$'\t' read -r pkg copyright < <(owner "$file")
  # Packages of one source share one copyright file: it is given once.
  key=$(sha256sum <"$copyright" | cut -c1-16)
  [ -n "${files_of[$key]+x}" ] || { order+=("$key"); package_of[$key]=$pkg$'\t'$copyright; }
  files_of[$key]+="${files_of[$key]:+ }${a##*/}"
done
for k in "${order[@]}"; do printf '%s\t%s\n' "${package_of[$k]}" "${files_of[$k]}"; done
