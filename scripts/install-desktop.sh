#!/usr/bin/env bash
# Installs a desktop entry for the installed-mods window, so that a player sees and
# removes mods from the application menu (Linux, the Steam Deck's desktop mode).
#
#   bash scripts/install-desktop.sh [INSTALLER]
#
# INSTALLER is an installer program (any mod's, or one built without a payload); it is
# copied to ~/.local/share/dfmod/DFModInstaller, so the entry keeps working once the
# download is gone. Without INSTALLER an earlier copy is used. Per user: no root needed.
set -euo pipefail

data="${XDG_DATA_HOME:-$HOME/.local/share}"
program="$data/dfmod/DFModInstaller"
entry="$data/applications/dfmod-installed-mods.desktop"

if [[ $# -ge 1 ]]; then
  mkdir -p "$(dirname "$program")"
  # Replaced atomically: a window that runs the old copy keeps it open.
  cp -- "$1" "$program.new"
  chmod 755 "$program.new"
  mv -f -- "$program.new" "$program"
fi
if [[ ! -x "$program" ]]; then
  echo "install-desktop.sh: no installer program at $program: give one as INSTALLER" >&2
  exit 2
fi

mkdir -p "$(dirname "$entry")"
cat >"$entry.new" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Installed Delta Force Mods
Comment=See and remove the mods installed by DF Mod Installer
Exec="$program" --installed-mods
Terminal=false
Categories=Game;Utility;
DESKTOP
mv -f -- "$entry.new" "$entry"
command -v update-desktop-database >/dev/null && update-desktop-database "$(dirname "$entry")" || true
echo "$entry"
