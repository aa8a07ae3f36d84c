# Sourced by the scripts that need a fresh Debian 12 root (scripts/fresh-root-demo.sh,
# scripts/package-check.sh): `fresh_root` unpacks a fresh copy of debootstrap's minimal root
# (minbase plus git) into $root, with /proc, /sys, /dev and the cached package lists and
# downloads mounted, and removes it on exit. The root is made once a month and kept as a
# tarball in ${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps/fresh-root/, so a warm run downloads
# nothing. Set $me (the script's name) first; `say`, `step` and `fail` write as $me, the
# steps' output goes to $log. Needs root (chroot and mount).
suite=bookworm
cache=${XDG_CACHE_HOME:-$HOME/.cache}/dfmod-deps/fresh-root
log=${DFM_FRESH_ROOT_LOG:-${TMPDIR:-/tmp}/dfm-$me.log}

say() { echo "$me: $*"; }
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

fresh_root() {
  [ "$(id -u)" -eq 0 ] || { say "needs root (debootstrap, chroot, mount)" >&2; exit 2; }
  command -v debootstrap >/dev/null ||
    { say "debootstrap is missing: run 'bash scripts/install-deps.sh test' first" >&2; exit 2; }
  : >"$log"
  mkdir -p "$cache/apt-archives/partial" "$cache/apt-lists/partial"

  # The system's own archives: the main one for debootstrap, all of its lines for the root.
  source "$(dirname "${BASH_SOURCE[0]}")/apt-sources.sh"
  sources=$(system_deb_lines | awk -v s="$suite" '$0 ~ " " s "(-[a-z]+)? "')
  uri=$(printf '%s\n' "$sources" | awk '!uri && $0 !~ /security/ {
    for (i = 2; i <= NF && !uri; i++) if ($i ~ /:\/\//) uri = $i } END { print uri }')
  [ -n "$uri" ] || { say "the system's apt sources name no $suite archive" >&2; exit 1; }

  # The root's tarball, named after what it is made of and the month it was made in.
  layout=1
  key=$(printf '%s\n' "layout $layout" "$uri" "$(date +%Y-%m)" | sha256sum | cut -c1-12)
  root_tarball=$cache/root-$suite-$key.tar
  if [ ! -f "$root_tarball" ]; then
    make_root() {
      local tmp
      tmp=$(mktemp -d "$cache/.debootstrap-XXXXXX")
      debootstrap --variant=minbase --include=git "$suite" "$tmp/root" "$uri" &&
        tar -C "$tmp/root" --numeric-owner -cf "$tmp/root.tar" . &&
        mv "$tmp/root.tar" "$root_tarball"
      local rc=$?
      rm -rf --one-file-system "$tmp"
      [ $rc -eq 0 ] && find "$cache" -maxdepth 1 -name "root-$suite-*.tar" ! -name "${root_tarball##*/}" -delete
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
  step "unpacking a fresh copy of the root" tar -C "$root" --numeric-owner -xpf "$root_tarball"
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  printf '%s\n' "$sources" >"$root/etc/apt/sources.list"
  mount_in /proc -t proc proc
  mount_in /sys -t sysfs sys
  mount_in /dev --bind /dev
  mount_in /var/cache/apt/archives --bind "$cache/apt-archives"
  mount_in /var/lib/apt/lists --bind "$cache/apt-lists"
}
