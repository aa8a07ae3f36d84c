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
suite=bookworm
cache=${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps/fresh-root
log=${DFM_FRESH_ROOT_LOG:-${TMPDIR:-/tmp}/dfm-fresh-root-demo.log}

say() { echo "fresh-root-demo: $*"; }
fail() {
  say "$1; the end of $log:" >&2
  tail -n 30 "$log" >&2
  exit 1
}
step() {
  local what=$1 t0=$SECONDS
  shift
  say "$what"
  echo "=== $what" >>"$log"
  "$@" >>"$log" 2>&1 || fail "failed: $what"
  echo "=== $what: $((SECONDS - t0)) s" >>"$log"
}

[ "$(id -u)" -eq 0 ] || { say "needs root (debootstrap, chroot, mount)" >&2; exit 2; }
command -v debootstrap >/dev/null ||
  { say "debootstrap is missing: run 'bash scripts/install-deps.sh test' first" >&2; exit 2; }
: >"$log"
mkdir -p "$cache/apt-archives/partial" "$cache/apt-lists/partial"

# The system's own archives: the main one for debootstrap, all of its lines for the root.
source "$(dirname "$0")/apt-sources.sh"
sources=$(system_deb_lines | awk -v s="$suite" '$0 ~ " " s "(-[a-z]+)? "')
uri=$(printf '%s\n' "$sources" | awk '!uri && $0 !~ /security/ {
  for (i = 2; i <= NF && !uri; i++) if ($i ~ /:\/\//) uri = $i } END { print uri }')
[ -n "$uri" ] || { say "the system's apt sources name no $suite archive" >&2; exit 1; }

# The root's tarball, named after what it is made of and the month it was made in.
layout=1
key=$(printf '%s\n' "layout $layout" "$uri" "$(date +%Y-%m)" | sha256sum | cut -c1-12)
tarball=$cache/root-$suite-$key.tar
if [ ! -f "$tarball" ]; then
  make_root() {
    local tmp
    tmp=$(mktemp -d "$cache/.debootstrap-XXXXXX")
    debootstrap --variant=minbase --include=git "$suite" "$tmp/root" "$uri" &&
      tar -C "$tmp/root" --numeric-owner -cf "$tmp/root.tar" . &&
      mv "$tmp/root.tar" "$tarball"
    local rc=$?
    rm -rf --one-file-system "$tmp"
    [ $rc -eq 0 ] && find "$cache" -maxdepth 1 -name "root-$suite-*.tar" ! -name "${tarball##*/}" -delete
    return $rc
  }
  step "making the Debian 12 root (debootstrap --variant=minbase --include=git)" make_root
fi

run=$(mktemp -d "$cache/run-XXXXXX")
root=$run/root
mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
  done
  # Nothing is removed while anything is still mounted below the root.
  if grep -q " $root/" /proc/self/mountinfo; then
    say "left $run in place: something is still mounted in it" >&2
  else
    rm -rf --one-file-system "$run"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mount_in() { # mount_in TARGET MOUNT-ARGS...
  local target=$root$1
  shift
  mount "$@" "$target"
  mounted+=("$target")
}

mkdir "$root"
step "unpacking a fresh copy of the root" tar -C "$root" --numeric-owner -xpf "$tarball"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
printf '%s\n' "$sources" >"$root/etc/apt/sources.list"
rev=$(git -C "$repo" rev-parse HEAD)
dirty=""
[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ] ||
  dirty=" (uncommitted changes are not part of it)"
clone() {
  git clone -q --no-hardlinks "$repo" "$root/root/dfmod" &&
    git -C "$root/root/dfmod" checkout -q --detach "$rev"
}
step "cloning HEAD ${rev:0:12}$dirty" clone
mount_in /proc -t proc proc
mount_in /sys -t sysfs sys
mount_in /dev --bind /dev
mount_in /var/cache/apt/archives --bind "$cache/apt-archives"
mount_in /var/lib/apt/lists --bind "$cache/apt-lists"

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
