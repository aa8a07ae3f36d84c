#!/usr/bin/env bash
# Builds libzip as a static library (zlib behind it, nothing else) from Debian's source
# package, for the release installer stub, and prints the install prefix. Everything lives
# in a cache folder outside the repository, keyed by the package version, so a second run
# costs nothing. With DFM_SYSROOT set, it is compiled against that folder
# (cmake/linux-sysroot.cmake) and kept apart from the build machine's own.
# Usage: bash scripts/build-static-libzip.sh [CACHE]
# (default: $DFM_DEPS_CACHE, or ~/.cache/dfmod-deps)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${1:-${DFM_DEPS_CACHE:-$HOME/.cache/dfmod-deps}}
src=$(bash "$here/debian-source.sh" libzip "$cache/src")
version=${src##*/libzip-}
prefix=$cache/libzip-static-$version
# Against that folder, mbed TLS (static there) decrypts AES entries.
toolchain=(-DENABLE_MBEDTLS=OFF)
if [ -n "${DFM_SYSROOT:-}" ]; then
  prefix=$prefix-${DFM_SYSROOT##*/}
  toolchain=(-DCMAKE_TOOLCHAIN_FILE="$here/../cmake/linux-sysroot.cmake" -DDFM_SYSROOT="$DFM_SYSROOT"
    -DENABLE_MBEDTLS=ON -DMbedTLS_LIBRARY="$DFM_SYSROOT/usr/lib/x86_64-linux-gnu/libmbedcrypto.a")
fi
if [ -f "$prefix/lib/libzip.a" ]; then echo "$prefix"; exit 0; fi
build=$cache/build/libzip-$version
rm -rf "$build"
cmake -S "$src" -B "$build" -G Ninja "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
  -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_GNUTLS=OFF -DENABLE_OPENSSL=OFF \
  -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
  -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >&2
cmake --build "$build" -j "${JOBS:-2}" >&2
cmake --install "$build" >&2
echo "$prefix"
