// Finding the games where players have them today: Steam libraries, GOG, the retail
// installers' default folders and, on hosts that run Windows games in Wine, the user's
// Wine, Proton, Lutris and Bottles prefixes. A folder is taken only when it holds the
// game's program file (any letter case); the first such folder in the search's order wins.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace dfm {

// The program file of game version 1, 2 or 3: "df.exe", "df2.exe", "dflw.exe".
std::string_view GameProgramFile(int version);
// Its title: "Delta Force", "Delta Force 2", "Delta Force Land Warrior".
std::string_view GameTitle(int version);

// The key under HKEY_LOCAL_MACHINE where the game of `version` (1..3) registered its
// folder (value "Path"): "Software\Microsoft\Windows\CurrentVersion\App Paths\" + program.
std::string GameRegistryKey(int version);

// Where a folder came from.
enum class FolderSource { kAppPaths, kSteam, kGog, kRetail, kWine, kProton, kLutris, kBottles };

// "App Paths", "Steam library", "GOG", "retail default", "Wine prefix", "Proton prefix",
// "Lutris prefix", "Bottles prefix".
std::string_view FolderSourceName(FolderSource source);

struct FolderCandidate {
  std::string folder;  // as this host names it
  FolderSource source = FolderSource::kAppPaths;
};

struct RejectedFolder {
  FolderCandidate candidate;
  std::string reason;
};

// What the search found for one game version: the folder taken, and the candidates looked
// at before it (or all of them) with the reason each was passed over.
struct GameSearchOutcome {
  std::optional<FolderCandidate> found;
  std::vector<RejectedFolder> rejected;
};

// Indexed by version - 1.
using GameSearchOutcomes = std::array<GameSearchOutcome, 3>;

// Searches for the versions whose entry in `wanted` (indexed by version - 1) is true; the
// others' outcomes stay empty. The order, first match winning:
//  1. Steam: the folder the registry names (HKEY_CURRENT_USER\Software\Valve\Steam value
//     SteamPath, then HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Valve\Steam value
//     InstallPath), each library its steamapps\libraryfolders.vdf lists, and every folder
//     in steamapps\common of those libraries, by name;
//  2. GOG: the "path" value of every key below
//     HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\GOG.com\Games;
//  3. NovaLogic\Delta Force, NovaLogic\Delta Force 2 and NovaLogic\Delta Force Land Warrior
//     under each Program Files folder (%ProgramFiles%, %ProgramFiles(x86)%, %ProgramW6432%);
//  and where the environment has Wine prefixes, below $HOME:
//  4. the Steam libraries of .steam/steam, .local/share/Steam and the Flatpak Steam
//     (.var/app/com.valvesoftware.Steam/.local/share/Steam), as in 1;
//  5. Proton: each steamapps/compatdata/*/pfx of every Steam library seen so far;
//  6. Wine: $WINEPREFIX, then .wine;
//  7. Lutris: the game: prefix: of each game file in .config/lutris/games,
//     .local/share/lutris/games and their Flatpak twins;
//  8. Bottles: every bottle in .local/share/bottles/bottles and its Flatpak twin.
// In a prefix (5 to 8) the search looks at the games' App Paths keys of the prefix's
// registry, then at 1 to 3 with the prefix's registry and its C:\Program Files and
// C:\Program Files (x86). Registry keys below WOW6432Node are also tried without it, as a
// 32-bit system has them. Folders that registries name pass through env.HostFolder. A
// file or folder that cannot be read, or that is malformed, is passed over.
GameSearchOutcomes SearchGameFolders(FileSystem& fs, Registry& registry, Environment& env,
                                     const std::array<bool, 3>& wanted);

}  // namespace dfm
