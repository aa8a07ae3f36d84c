#!/usr/bin/env bash
# The packages people install, made from the release build (build/release: the programs for
# glibc 2.31 and later, the manual page) and, when it has been made, the Windows build
# (build/windows, bash scripts/windows-test.sh). Writes into dist/:
#   dfmod_<version>_amd64.deb               /usr/bin/dfmod, the stubs in /usr/lib/dfmod/,
#                                           man page, bash completion, docs, copyright
#   dfmod-<version>-linux-x86_64.tar.gz     the same files under one folder, runnable there
#   dfmod-<version>-windows-x86_64.zip      dfmod.exe, DFModInstaller.exe, docs, licences
#   SHA256SUMS                              of the three
# The copyright files name every library the link commands put into the programs
# (scripts/linked-libraries.sh), with each one's Debian copyright text.
# Usage: bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
REL=build/release
WIN=build/windows
DIST=dist
bash scripts/install-deps.sh package
version=$(sed -n 's/^project(DFModInstaller VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
maintainer=${DFM_MAINTAINER:-$(git log -1 --format='%an <%ae>')}

echo "=== package: the release programs and the manual page (cmake --preset release)"
cmake --preset release >/dev/null
cmake --build --preset release -j "${JOBS:-$(nproc)}" --target dfmod DFModInstaller man |
  grep -v '^\[' || true
windows=0
if [ -f "$WIN/build.ninja" ]; then
  echo "=== package: the Windows programs (cmake --build --preset windows)"
  cmake --build --preset windows -j "${JOBS:-$(nproc)}" --target dfmod DFModInstaller |
    grep -v '^\[' || true
  windows=1
else
  echo "package: no Windows build (bash scripts/windows-test.sh makes it): no Windows stub, no zip"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$DIST"
mkdir -p "$DIST"

# copyright TITLE BUILD PROGRAM...: the libraries linked into PROGRAMs, then their texts.
libraries() { bash scripts/linked-libraries.sh "$@" >"$work/libs-${1##*/}"; }
libraries "$REL" dfmod DFModInstaller
[ $windows = 0 ] || libraries "$WIN" dfmod DFModInstaller
copyright() {
  local list
  echo "DF Mod Installer: dfmod, the command-line tool for mods of the Delta Force games, and"
  echo "DFModInstaller, the installer program it puts in front of a mod."
  echo
  echo "The programs are linked statically with the libraries below (the Linux programs use"
  echo "no other shared library than the C library and X11). Each library's copyright and"
  echo "licence follow, as its Debian package states them."
  for list in "$@"; do
    echo
    echo "${list%%:*}:"
    awk -F'\t' '{ printf "  %-28s %s\n", $1, $3 }' "$work/libs-${list#*:}"
  done
  local -A shown=()
  for list in "$@"; do
    while IFS=$'\t' read -r pkg file archives; do
      [ -z "${shown[$file]+x}" ] || continue
      shown[$file]=1
      printf '\n%s\n%s (%s)\n%s\n\n' "$(printf '=%.0s' {1..78})" "$pkg" "$archives" \
        "$(printf '=%.0s' {1..78})"
      cat "$file"
    done <"$work/libs-${list#*:}"
  done
}

# The tree both Linux packages hold: PREFIX/{bin,lib/dfmod,share/...}.
stage() {
  local root=$1 doc=$1/share/doc/dfmod
  install -D -m 0755 "$REL/dfmod" "$root/bin/dfmod"
  install -D -m 0755 "$REL/DFModInstaller" "$root/lib/dfmod/DFModInstaller"
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/bin/dfmod" \
    "$root/lib/dfmod/DFModInstaller"
  [ $windows = 0 ] || install -m 0644 "$WIN/DFModInstaller.exe" "$root/lib/dfmod/DFModInstaller.exe"
  install -D -m 0644 "$REL/dfmod.1" "$root/share/man/man1/dfmod.1"
  gzip -9n "$root/share/man/man1/dfmod.1"
  install -D -m 0644 packaging/dfmod.bash-completion "$root/share/bash-completion/completions/dfmod"
  install -D -m 0644 README.md "$doc/README.md"
  install -m 0644 docs/*.md "$doc/"
  if [ $windows = 0 ]; then
    copyright "Linux programs:release" >"$doc/copyright"
  else
    copyright "Linux programs:release" "Windows installer program (DFModInstaller.exe):windows" >"$doc/copyright"
  fi
  chmod 0644 "$doc/copyright"
  printf '%s (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' dfmod "$version" \
    "$version" "$maintainer" "$(date -R -u -d "@$SOURCE_DATE_EPOCH")" | gzip -9n >"$doc/changelog.gz"
}

echo "=== package: $DIST/dfmod_${version}_amd64.deb"
deb=$work/deb
stage "$deb/usr"
mkdir -p "$deb/usr/share/lintian/overrides"
# The release programs carry their libraries on purpose: a player's machine needs none.
cp packaging/lintian-overrides "$deb/usr/share/lintian/overrides/dfmod"
chmod 0644 "$deb/usr/share/lintian/overrides/dfmod"
mkdir -p "$work/src/debian" "$deb/DEBIAN"
printf 'Source: dfmod\n\nPackage: dfmod\nArchitecture: amd64\n' >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O "$deb/usr/bin/dfmod" "$deb/usr/lib/dfmod/DFModInstaller" \
  2> >(grep -v "useless dependency" >&2) |
  sed -n 's/^shlibs:Depends=//p')
cat >"$deb/DEBIAN/control" <<EOF
Package: dfmod
Version: $version
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $(du -sk --apparent-size "$deb/usr" | cut -f1)
Depends: $depends
Section: utils
Priority: optional
Description: builds, inspects and runs installers of Delta Force mods
 dfmod builds the self-extracting installer of a Delta Force, Delta Force 2 or
 Land Warrior mod from its folder and Control.ini, lints the install script,
 inspects installers, lists and changes the games' PFF archives, converts
 textures, installs mods without a window and undoes installs from their
 restore points. The installer program it puts in front of a mod is in
 /usr/lib/dfmod (the Windows one too, when it was built).
EOF
(cd "$deb" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$deb/DEBIAN/md5sums"
chmod 0644 "$deb/DEBIAN/control" "$deb/DEBIAN/md5sums"
find "$deb" -type d -exec chmod 0755 {} +
dpkg-deb --root-owner-group -Zxz --build "$deb" "$DIST/dfmod_${version}_amd64.deb" >/dev/null

name=dfmod-$version-linux-x86_64
echo "=== package: $DIST/$name.tar.gz"
stage "$work/$name"
tar -C "$work" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
  -cf - "$name" | gzip -9n >"$DIST/$name.tar.gz"

if [ $windows = 1 ]; then
  name=dfmod-$version-windows-x86_64
  echo "=== package: $DIST/$name.zip"
  zipdir=$work/$name
  mkdir -p "$zipdir/docs"
  cp "$WIN/dfmod.exe" "$WIN/DFModInstaller.exe" "$zipdir/"
  # Text for Notepad: CR LF line ends, .txt names.
  sed 's/$/\r/' README.md >"$zipdir/README.txt"
  for f in docs/*.md; do sed 's/$/\r/' "$f" >"$zipdir/docs/$(basename "$f" .md).txt"; done
  copyright "Windows programs (dfmod.exe, DFModInstaller.exe):windows" | sed 's/$/\r/' \
    >"$zipdir/LICENSES.txt"
  find "$zipdir" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$work" && find "$name" | sort | zip -X -q -9 "$OLDPWD/$DIST/$name.zip" -@)
fi

(cd "$DIST" && sha256sum -- *.deb *.tar.gz $( [ $windows = 0 ] || echo ./*.zip) |
  sed 's| \./| |' >SHA256SUMS)
echo "=== package: lintian $DIST/dfmod_${version}_amd64.deb"
lintian --fail-on error "$DIST/dfmod_${version}_amd64.deb"
ls -l "$DIST"
