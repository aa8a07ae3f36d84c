#!/usr/bin/env bash
# dfmod detect with HOME pointing at a made-up home: Steam under two names with a current
# libraryfolders.vdf, the Flatpak Steam with an old one that lists an extra library, a
# Lutris game's prefix naming its folder in App Paths, a bottle with the retail folder,
# the 2024 game without any of the programs, and a malformed Lutris file.
set -euo pipefail
dfmod=$1
h=$(mktemp -d)
trap 'rm -rf "$h"' EXIT
export HOME=$h
unset WINEPREFIX ProgramFiles 'ProgramFiles(x86)' ProgramW6432 || true

fail() { echo "detect.sh: $*" >&2; exit 1; }
prefix() {  # a Wine prefix with drive C: and the given system.reg body
  mkdir -p "$1/drive_c" "$1/dosdevices"
  ln -s ../drive_c "$1/dosdevices/c:"
  printf 'WINE REGISTRY Version 2\n#arch=win32\n%s' "$2" >"$1/system.reg"
}

st="$h/.local/share/Steam/steamapps"
mkdir -p "$st/common/Delta Force" "$h/lib3/steamapps/common/Delta Force 2" "$h/.steam" \
  "$h/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps" "$h/.config/lutris/games"
ln -s ../.local/share/Steam "$h/.steam/steam"  # as Steam links them: looked at once
printf '"libraryfolders"\n{\n\t"0"\n\t{\n\t\t"path"\t\t"%s" // this one\n\t\t"apps" { "1" "2" }\n\t}\n}\n' \
  "$h/.local/share/Steam" >"$st/libraryfolders.vdf"
printf '"LibraryFolders"\n{\n\t"ContentStatsID"\t"-1"\n\t"1"\t"%s"\n}\n' "$h/lib3" \
  >"$h/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/libraryfolders.vdf"
touch "$st/common/Delta Force/DeltaForce.exe" "$h/lib3/steamapps/common/Delta Force 2/DF2.EXE"
prefix "$h/games/df" '[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\df.exe] 0
"Path"="C:\\Games\\DF"
'
mkdir -p "$h/games/df/drive_c/Games/DF" && touch "$h/games/df/drive_c/Games/DF/Df.Exe"
printf 'game:\n  exe: drive_c/Games/DF/Df.Exe\n  prefix: "%s" # made by Lutris\nname: DF\n' \
  "$h/games/df" >"$h/.config/lutris/games/df-1.yml"
printf 'game: [\n' >"$h/.config/lutris/games/broken.yml"
lw="$h/.local/share/bottles/bottles/LW"
prefix "$lw" ''
mkdir -p "$lw/drive_c/Program Files (x86)/NovaLogic/Delta Force Land Warrior"
touch "$lw/drive_c/Program Files (x86)/NovaLogic/Delta Force Land Warrior/dflw.exe"

expected="Delta Force (df.exe): $h/games/df/drive_c/Games/DF [Lutris prefix]
  passed over $h/.steam/steam/steamapps/common/Delta Force [Steam library]: no df.exe in it
  passed over $h/lib3/steamapps/common/Delta Force 2 [Steam library]: no df.exe in it
Delta Force 2 (df2.exe): $h/lib3/steamapps/common/Delta Force 2 [Steam library]
  passed over $h/.steam/steam/steamapps/common/Delta Force [Steam library]: no df2.exe in it
Delta Force Land Warrior (dflw.exe): $lw/drive_c/Program Files (x86)/NovaLogic/Delta Force Land Warrior [Bottles prefix]
  passed over $h/.steam/steam/steamapps/common/Delta Force [Steam library]: no dflw.exe in it
  passed over $h/lib3/steamapps/common/Delta Force 2 [Steam library]: no dflw.exe in it
  passed over $h/games/df/drive_c/Games/DF [Lutris prefix]: no dflw.exe in it"
for where in "$h/games/df/drive_c/Program Files|Lutris" "$h/games/df/drive_c/Program Files (x86)|Lutris" \
  "$lw/drive_c/Program Files|Bottles" "$lw/drive_c/Program Files (x86)|Bottles"; do
  for game in "Delta Force" "Delta Force 2"; do
    expected+=$'\n'"  passed over ${where%|*}/NovaLogic/$game [${where#*|} prefix]: no such folder"
  done
  [ "${where%|*}" = "$lw/drive_c/Program Files (x86)" ] ||
    expected+=$'\n'"  passed over ${where%|*}/NovaLogic/Delta Force Land Warrior [${where#*|} prefix]: no such folder"
done
"$dfmod" detect >"$h/out" 2>"$h/err" || fail "exit $?: $(cat "$h/err")"
diff <(echo "$expected") "$h/out" >&2 || fail "text report differs"
"$dfmod" detect --json >"$h/out" || fail "--json exit $?"
grep -qF '{"version":2,"program":"df2.exe","folder":"'"$h"'/lib3/steamapps/common/Delta Force 2","source":"Steam library","passed_over":[{"folder":"'"$h"'/.steam/steam/steamapps/common/Delta Force","source":"Steam library","reason":"no df2.exe in it"}]}' "$h/out" \
  || fail "json: $(cat "$h/out")"
rc=0
"$dfmod" detect --all 2>"$h/err" || rc=$?
[ "$rc" = 2 ] && [ "$(cat "$h/err")" = "dfmod: detect: unknown option '--all'; see 'dfmod detect --help'" ] || fail "usage: $rc $(cat "$h/err")"
