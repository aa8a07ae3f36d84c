#!/usr/bin/env bash
# Builds the libraries of the Windows programs (zlib, libzip, libjpeg-turbo with its SIMD
# code) for x86_64-w64-mingw32 from Debian's source packages, static only. Each goes into
# its own folder named by the version built,
#   ${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps/x86_64-w64-mingw32/<package>-<version>,
# so a second run finds them and builds nothing. The list of the folders in use is written
# to .../x86_64-w64-mingw32/prefixes, where cmake/mingw-w64-x86_64.cmake reads it.
# Usage: bash scripts/build-windows-deps.sh
set -euo pipefail
cd "$(dirname "$0")/.."

TARGET=x86_64-w64-mingw32
CACHE=${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps
ROOT=$CACHE/$TARGET
TOOLCHAIN=$PWD/cmake/mingw-w64-x86_64.cmake
JOBS=${JOBS:-$(nproc)}
mkdir -p "$ROOT"

# Debian versions carry an epoch ("1:1.2.13.dfsg-1"); folder names drop it, as Debian's
# own file names do.
folder_of() { echo "$ROOT/$1-${2#*:}"; }

build_zlib() {  # src prefix
  (cd "$1" && CHOST=$TARGET CC=$TARGET-gcc-posix ./configure --static --prefix="$2" >/dev/null &&
    make -s -j "$JOBS" libz.a >/dev/null && make -s install >/dev/null)
}

cmake_build() {  # src prefix options...
  local src=$1 prefix=$2
  shift 2
  # An absolute library folder: libjpeg-turbo reads a relative one against its sources.
  cmake -S "$src" -B "$src/_build" -G Ninja --toolchain "$TOOLCHAIN" -DDFM_WINDOWS_DEPS= \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -Wno-dev "$@" >/dev/null
  cmake --build "$src/_build" -j "$JOBS" >/dev/null
  cmake --install "$src/_build" >/dev/null
}

build_libzip() {
  cmake_build "$1" "$2" -DBUILD_SHARED_LIBS=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
    -DZLIB_LIBRARY="$ZLIB_PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$ZLIB_PREFIX/include"
}

build_libjpeg_turbo() {
  cmake_build "$1" "$2" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
}

# Prints the install folder of $1, building it first when no build of the version the
# archive offers is there. Sources are fetched once (scripts/debian-source.sh keeps them)
# and built in a copy.
ensure() {
  local pkg=$1 src version prefix work
  src=$(bash scripts/debian-source.sh "$pkg" "$CACHE/src")
  version=${src##*/"$pkg"-}
  prefix=$(folder_of "$pkg" "$version")
  if [ -f "$prefix/.built" ]; then
    echo "$prefix"
    return
  fi
  echo "building $pkg $version for $TARGET" >&2
  work=$(mktemp -d "$ROOT/.work.XXXXXX")
  cp -a "$src" "$work/src"
  rm -rf "$prefix"
  "build_${pkg//-/_}" "$work/src" "$prefix"
  echo "$version" >"$prefix/.built"
  rm -rf "$work"
  echo "$prefix"
}

ZLIB_PREFIX=$(ensure zlib)
LIBZIP_PREFIX=$(ensure libzip)
JPEG_PREFIX=$(ensure libjpeg-turbo)
printf '%s\n' "$ZLIB_PREFIX" "$LIBZIP_PREFIX" "$JPEG_PREFIX" >"$ROOT/prefixes.new"
mv "$ROOT/prefixes.new" "$ROOT/prefixes"
cat "$ROOT/prefixes"
