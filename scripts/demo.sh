#!/usr/bin/env bash
# The demo: builds the two programs it runs (release, no tests), makes a demo Land Warrior
# folder with a generated Dflw.pff, puts the demo mod together (demo/mod plus generated
# models, pictures, sound and a JPEG texture), builds its installer with `dfmod build`,
# installs it without a window with `dfmod run`, and shows what changed: the run's status
# lines and summary, the install log, the files put into the game folder, the records of
# the game's archive before and after, and the restore point that can undo the install.
# Everything it writes goes to demo-out/.
set -euo pipefail
cd "$(dirname "$0")/.."

OUT=demo-out
DFMOD=build/demo/dfmod
GAME=$OUT/game
MOD=$OUT/mod
SETUP=$OUT/download/DryCreekSetup

# Only what the demo runs: dfmod and the installer program, optimised (the demo preset
# builds no tests and no benchmarks).
build() {
  bash scripts/install-deps.sh demo
  echo "=== building dfmod and DFModInstaller (cmake --preset demo)"
  cmake --preset demo >/dev/null
  cmake --build --preset demo -j "${JOBS:-$(nproc)}" | grep -v '^\[' || true
  [ -x "$DFMOD" ] && [ -x build/demo/DFModInstaller ]
}

prepare() {
  rm -rf "$OUT"
  mkdir -p "$OUT/download"
  echo "=== a demo Land Warrior folder: $GAME"
  python3 demo/make_demo_files.py game "$GAME"
  "$DFMOD" pff list "$GAME/Dflw.pff" >"$OUT/pff-before.txt"
  head -n 5 "$OUT/pff-before.txt"
  "$DFMOD" pff list "$GAME/Dflw.pff" --json >"$OUT/pff-before.json"
  echo "=== the demo mod: demo/mod plus its generated files, in $MOD"
  cp -r demo/mod "$MOD"
  python3 demo/make_demo_files.py mod "$MOD"
  (cd "$MOD" && find . -type f | sed 's|^\./||' | sort)
}

lint_control_file() {
  echo "=== dfmod lint $MOD/Control.ini"
  if "$DFMOD" lint "$MOD/Control.ini"; then
    echo "no findings: every line is one the installer accepts"
  else
    echo "dfmod lint reported the findings above" >&2
    return 1
  fi
}

build_installer() {
  echo "=== dfmod build --mod $MOD -o $SETUP"
  # Its first line; the layout table that follows it, inspect shows too.
  "$DFMOD" build --mod "$MOD" -o "$SETUP" >"$OUT/build.txt"
  head -n 1 "$OUT/build.txt"
  echo "=== dfmod inspect $SETUP"
  "$DFMOD" inspect "$SETUP"
}

run_installer() {
  # dfmod run installs as the installer's window does, without the window. The restore
  # point goes into demo-out/ too, not into the user's data folder.
  echo "=== dfmod run $SETUP --game-folder 3=$GAME --restore-dir $OUT/restore-points"
  echo "    (status lines on stdout, message boxes on stderr as [title] text)"
  local rc=0
  "$DFMOD" run "$SETUP" --game-folder "3=$GAME" --restore-dir "$OUT/restore-points" || rc=$?
  echo "=== exit code $rc (0: completed without errors)"
  return "$rc"
}

show_changes() {
  echo "=== the install log: $OUT/download/InstallLog.txt"
  tr -d '\r' <"$OUT/download/InstallLog.txt"
  echo "=== files the mod put into the game folder"
  (cd "$GAME" && ls -l --time-style=+ | tail -n +2 | grep -v ' Dflw.pff$')
  echo "=== what the installer left beside itself in $OUT/download"
  (cd "$OUT/download" && ls -l --time-style=+ | tail -n +2)
  echo "    Unzip32.dll and ijl15.dll are the installer's two library slots, zero-filled here:"
  echo "    written out for compatibility with older installers, never loaded (extraction"
  echo "    and JPEG decoding are built into the program)."
  echo "=== what changed in Dflw.pff (changed and new records only)"
  "$DFMOD" pff list "$GAME/Dflw.pff" >"$OUT/pff-after.txt"
  "$DFMOD" pff list "$GAME/Dflw.pff" --json >"$OUT/pff-after.json"
  python3 demo/pff_changes.py "$OUT/pff-before.json" "$OUT/pff-after.json"
  echo "    (all records: $OUT/pff-before.txt and $OUT/pff-after.txt)"
}

show_restore_point() {
  echo "=== the restore point the install made: dfmod restore --list --restore-dir $OUT/restore-points"
  "$DFMOD" restore --list --restore-dir "$OUT/restore-points"
  echo "    install.lock beside it is the lock an install or undo holds while it runs; it"
  echo "    stays there, empty and released. 'dfmod restore --restore-dir $OUT/restore-points'"
  echo "    undoes the install."
}

build
prepare
lint_control_file
build_installer
run_installer
show_changes
show_restore_point
point=$(find "$OUT/restore-points" -mindepth 1 -maxdepth 1 -type d | sort | tail -n 1)
echo "=== demo done: everything is in $OUT/; the install's restore point is $point"
