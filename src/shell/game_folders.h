// The three games' folders: read from the registry, searched for, or "Nothing" while unknown.
#pragma once

#include <array>
#include <cassert>
#include <functional>
#include <string>

#include "detect/game_search.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace dfm {

// The word that marks an unknown folder.
inline constexpr char kNothing[] = "Nothing";

// Folder texts indexed by game version 1 (Delta Force), 2 (Delta Force 2) and
// 3 (Land Warrior). A known folder is kept exactly as obtained.
class GameFolders {
 public:
  GameFolders() { folders_.fill(kNothing); }
  std::string& operator[](int version) {
    assert(version >= 1 && version <= 3);
    return folders_[static_cast<std::size_t>(version - 1)];
  }
  const std::string& operator[](int version) const {
    assert(version >= 1 && version <= 3);
    return folders_[static_cast<std::size_t>(version - 1)];
  }
  friend bool operator==(const GameFolders&, const GameFolders&) = default;

 private:
  std::array<std::string, 3> folders_;
};

// Turns a folder as the registry names it into one this host can use.
using FolderMapper = std::function<std::string(const std::string&)>;

// For versions 1, 2 and 3 in this order: opens the game's App Paths key for reading and
// takes its "Path" value (the text the registry reader gives, so an existing key without
// a readable "Path" gives an empty folder); a key that cannot be opened leaves "Nothing".
// A non-empty folder passes through `map` when one is given.
GameFolders FindGameFolders(Registry& registry, const FolderMapper& map = {});

// FindGameFolders above, its folders mapped through env.HostFolder, then for every version
// still "Nothing" the search of SearchGameFolders: its first match becomes the folder.
// `report`, when given, receives what was found (an App Paths folder as the found one) and
// what was passed over.
GameFolders FindGameFolders(Registry& registry, FileSystem& fs, Environment& env,
                            GameSearchOutcomes* report = nullptr);

// Asks for a folder with `title` above the tree: the chosen folder as the host gives
// it, or "Nothing" when the user cancels.
std::string BrowseForFolder(Dialogs& dialogs, const std::string& title);

}  // namespace dfm
