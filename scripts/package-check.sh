#!/usr/bin/env bash
# The packages as people install them (run bash scripts/package.sh first). In a fresh
# Debian 12 root (scripts/fresh-root.sh), with nothing built in it:
#   apt-get install ./dfmod_*.deb; `man dfmod` renders every subcommand; dfmod --version
#   names the packaged stubs; `dfmod build --mod demo/mod` takes /usr/lib/dfmod's stub
#   (and with --stub windows the Windows one); the installer it writes installs the demo
#   mod without a window; the completion of `dfmod restore <Tab>` lists the install's
#   restore point; `dpkg -r dfmod` leaves none of the package's files behind;
#   the tarball, unpacked, does the same from its folder.
# Then, on this machine, the Windows zip's two programs run under Wine (dfmod.exe
# --version, the demo installer without a window). package.sh has run lintian.
# One line per step; the steps' output goes to a log printed on failure. Needs root.
# Usage: bash scripts/package-check.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
me=package-check
source "$(dirname "$0")/fresh-root.sh"
cd "$repo"
version=$(sed -n 's/^project(DFModInstaller VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=dist/dfmod_${version}_amd64.deb
tarball=dist/dfmod-$version-linux-x86_64.tar.gz
zip=dist/dfmod-$version-windows-x86_64.zip
for f in "$deb" "$tarball"; do
  [ -f "$f" ] || { echo "$me: $f is missing: run bash scripts/package.sh first" >&2; exit 2; }
done
t_start=$SECONDS
step "checksums (dist/SHA256SUMS)" bash -c 'cd dist && sha256sum -c --quiet SHA256SUMS'

fresh_root
# The demo mod and game folder, made here (python3, cjpeg): the root gets only the files.
demo=$run/demo
make_demo() {
  mkdir "$demo" && cp -r demo/mod "$demo/mod" && python3 demo/make_demo_files.py mod "$demo/mod" &&
    python3 demo/make_demo_files.py game "$demo/game"
}
step "the demo mod and game folder" make_demo
cp -r "$demo" "$root/root/demo"
cp "$deb" "$tarball" "$root/root/"
in_root() { # in_root SCRIPT: bash -c SCRIPT in the root, a login's environment
  timeout -k 10 600 chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LC_ALL=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -euo pipefail -c "$1"
}
# The checks one installation passes: $1 is the folder of bin/dfmod.
uses() {
  in_root "
    d=$1 && cd /root
    \$d/dfmod --version >version.txt && cat version.txt
    grep -qx \"stub: \$(readlink -f \$d/../lib/dfmod/DFModInstaller)\" version.txt
    \$d/dfmod build --mod demo/mod -o Setup
    \$d/dfmod build --mod demo/mod --stub windows -o Setup.exe >/dev/null
    [ \"\$(head -c 2 Setup.exe)\" = MZ ] && rm Setup.exe
    cp -r demo/game game && ./Setup --game-folder 3=/root/game >install.txt 2>&1 ||
      { cat install.txt; exit 1; }
    grep -qx 'Installation Completed!' install.txt
    source \$d/../share/bash-completion/completions/dfmod
    id=\$(\$d/dfmod restore --list | cut -d' ' -f1)
    COMP_WORDS=(\$d/dfmod restore '') && COMP_CWORD=2 && _dfmod
    [ \"\${COMPREPLY[*]}\" = \"\$id\" ] || { echo \"completion: \${COMPREPLY[*]}, expected \$id\"; exit 1; }
    COMP_WORDS=(\$d/dfmod bu) && COMP_CWORD=1 && _dfmod && [ \"\${COMPREPLY[*]}\" = build ]
    \$d/dfmod restore >/dev/null && rm -rf game Setup install.txt version.txt ~/.local/share/dfmod"
}
step "installing $deb (apt-get install ./${deb##*/}, and man-db to read the manual)" in_root "
  echo 'man-db man-db/auto-update boolean false' | debconf-set-selections
  cd /root && apt-get install -y -qq --no-install-recommends ./${deb##*/} man-db >/dev/null"
man_page() {
  in_root 'MANWIDTH=100 man dfmod >/tmp/man.txt 2>/tmp/man.err && ! [ -s /tmp/man.err ]
    for s in $(dfmod --help | sed -n "/^subcommands:/,/^\$/s/^  \([a-z]\+\( [a-z0-9]\+\)\?\)  .*/\1/p" | tr " " _); do
      grep -q "^   dfmod ${s/_/ }\$" /tmp/man.txt || { echo "man dfmod lacks dfmod ${s/_/ }"; exit 1; }
    done
    grep -q -- "--restore-dir DIR" /tmp/man.txt && grep -q "EXIT STATUS" /tmp/man.txt'
}
step "man dfmod shows every subcommand" man_page
step "the package's dfmod: build, install, restore <Tab>" uses /usr/bin
removed() {
  in_root 'files=$(dpkg -L dfmod | while read -r f; do [ -d "$f" ] || echo "$f"; done)
    dpkg -r dfmod >/dev/null
    for f in $files; do [ ! -e "$f" ] || { echo "left behind: $f"; exit 1; }; done
    [ ! -e /usr/lib/dfmod ]'
}
step "dpkg -r dfmod removes its files" removed
step "the tarball from its folder" in_root "
  cd /root && tar -xzf ${tarball##*/} && [ ! -e /usr/bin/dfmod ]"
step "the tarball's dfmod: build, install, restore <Tab>" uses "/root/dfmod-$version-linux-x86_64/bin"

# The Windows zip under Wine, without a display: the installer installs without its window.
wine_zip() {
  local w=$run/windows d=$run/windows/dfmod-$version-windows-x86_64
  local wine=(env -u DISPLAY WINEPREFIX="$repo/build/package-check/wineprefix" bash scripts/wine-run.sh)
  mkdir -p "$w" && unzip -q "$zip" -d "$w" && cp -r "$demo/game" "$w/game"
  "${wine[@]}" "$d/dfmod.exe" --version | tr -d '\r' | tee "$w/version.txt"
  grep -qx 'stub: .*\\DFModInstaller.exe' "$w/version.txt"
  "${wine[@]}" "$d/dfmod.exe" build --mod "Z:$demo/mod" -o "Z:$w/Setup.exe"
  "${wine[@]}" "$w/Setup.exe" --game-folder "3=Z:$w/game" --restore-dir "Z:$w/restore" |
    tr -d '\r' | tee "$w/install.txt"
  grep -qx 'Installation Completed!' "$w/install.txt"
}
if [ -f "$zip" ]; then
  step "the Windows zip under Wine: dfmod.exe --version, build, the installer without a window" wine_zip
else
  say "no $zip (no Windows build): not checked"
fi
say "passed in $((SECONDS - t_start)) s"
