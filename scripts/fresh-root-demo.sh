#!/usr/bin/env bash
# The README's demo on a fresh machine: a minimal Debian 12 root (debootstrap's minbase
# variant plus git, nothing else installed) is unpacked afresh, gets a clone of this
# repository's HEAD, and runs `bash scripts/demo.sh` in it as root, as a new user would.
# Fails when the demo fails, when the package manager's output reaches the terminal, or
# when the demo's output does not end with where its restore point is.
# Only committed work is tried: the clone is of HEAD, uncommitted changes stay out.
# Cached in ${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps/fresh-root/: the root as a tarball
# (made again each month) and the root's package lists and downloaded packages, which are
# mounted into every fresh copy, so a warm run downloads nothing.
# One line per step; the full output goes to a log whose path is printed on failure
# ($DFM_FRESH_ROOT_LOG, default under the temp folder). Needs root (chroot and mount).
# Usage: bash scripts/fresh-root-demo.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
me=fresh-root-demo
source "$(dirname "$0")/fresh-root.sh"
fresh_root
rev=$(git -C "$repo" rev-parse HEAD)
dirty=""
[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ] ||
  dirty=" (uncommitted changes are not part of it)"
clone() {
  git clone -q --no-hardlinks "$repo" "$root/root/dfmod" &&
    git -C "$root/root/dfmod" checkout -q --detach "$rev"
}
step "cloning HEAD ${rev:0:12}$dirty" clone
# The demo as a new user runs it: a login's environment, nothing of this shell's; a demo
# that hangs is stopped after half an hour.
# Its output as it was goes to $out; the log has each line with the seconds it came at.
out=$run/demo-output.txt
demo() {
  timeout -k 10 1800 chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c 'cd /root/dfmod && bash scripts/demo.sh' 2>&1 |
    while IFS= read -r line; do
      printf '%s\n' "$line" >>"$out"
      printf '%4d s  %s\n' $((SECONDS - t0)) "$line"
    done
}
t0=$SECONDS
step "running 'bash scripts/demo.sh' in the root" demo
say "the demo took $((SECONDS - t0)) s"
# Superseded packages leave the cache.
chroot "$root" apt-get -qq autoclean >>"$log" 2>&1 || true

apt_lines='^(Reading package lists|Building dependency tree|Reading state information|Get:[0-9]|Hit:[0-9]|Ign:[0-9]|Err:[0-9]|Fetched |Selecting previously|Preparing to unpack|Unpacking |Setting up |Processing triggers|debconf: |dpkg: |[WEN]: |WARNING: apt )'
if grep -Eq "$apt_lines" "$out"; then
  echo "=== apt output that reached the terminal:" >>"$log"
  grep -E "$apt_lines" "$out" >>"$log"
  fail "the package manager's output reached the terminal"
fi
tail -n 1 "$out" | grep -q 'restore point' ||
  fail "the demo's output does not end with where its restore point is"
say "passed in $SECONDS s"
