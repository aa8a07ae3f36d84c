#!/usr/bin/env bash
# Builds the libraries of the Windows programs (zlib, mbed TLS, libzip with mbed TLS for its
# AES decryption, libjpeg-turbo with its SIMD code, and xxHash's header) for
# x86_64-w64-mingw32 from Debian's source packages, static only. Each goes into its own
# folder named by the version built (libzip's by mbed TLS's too),
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

# Debian's configuration of mbed TLS, less its threads (the programs share no context
# between threads, and MinGW's pthreads would have to be linked in).
build_mbedtls() {
  (cd "$1" && python3 scripts/config.py unset MBEDTLS_THREADING_C &&
    python3 scripts/config.py unset MBEDTLS_THREADING_PTHREAD)
  cmake_build "$1" "$2" -DENABLE_PROGRAMS=OFF -DENABLE_TESTING=OFF -DMBEDTLS_FATAL_WARNINGS=OFF \
    -DUSE_STATIC_MBEDTLS_LIBRARY=ON -DUSE_SHARED_MBEDTLS_LIBRARY=OFF
}

build_libzip() {
  cmake_build "$1" "$2" -DBUILD_SHARED_LIBS=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=ON -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
    -DZLIB_LIBRARY="$ZLIB_PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$ZLIB_PREFIX/include" \
    -DMbedTLS_INCLUDE_DIR="$MBEDTLS_PREFIX/include" \
    -DMbedTLS_LIBRARY="$MBEDTLS_PREFIX/lib/libmbedcrypto.a"
  grep -q '^#define HAVE_MBEDTLS' "$1/_build/config.h" ||
    { echo "build-windows-deps: libzip was configured without mbed TLS" >&2; exit 1; }
}

# Only the header: the programs compile XXH3 in (XXH_INLINE_ALL).
build_xxhash() {
  install -D -m 644 "$1/xxhash.h" "$2/include/xxhash.h"
}

build_libjpeg_turbo() {
  cmake_build "$1" "$2" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
}

# Prints the install folder of $1, building it first when no build of the version the
# archive offers is there ($2: added to the folder's name, for a library it is built
# with). Sources are fetched once (scripts/debian-source.sh keeps them)
# and built in a copy.
ensure() {
  local pkg=$1 key=${2:-} src version prefix work
  src=$(bash scripts/debian-source.sh "$pkg" "$CACHE/src")
  version=${src##*/"$pkg"-}
  prefix=$(folder_of "$pkg" "$version")$key
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
MBEDTLS_PREFIX=$(ensure mbedtls)
LIBZIP_PREFIX=$(ensure libzip "-${MBEDTLS_PREFIX##*/}")
JPEG_PREFIX=$(ensure libjpeg-turbo)
XXHASH_PREFIX=$(ensure xxhash)
printf '%s\n' "$ZLIB_PREFIX" "$MBEDTLS_PREFIX" "$LIBZIP_PREFIX" "$JPEG_PREFIX" "$XXHASH_PREFIX" \
  >"$ROOT/prefixes.new"
mv "$ROOT/prefixes.new" "$ROOT/prefixes"
cat "$ROOT/prefixes"
