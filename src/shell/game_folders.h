// The three games' folders: read from the registry, searched for, or "Nothing" while unknown.
#pragma once

#include <functional>
#include <string>

#include "detect/game_search.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "script/path_tokens.h"

namespace dfm {

// GameFolders and kNothing come with the path tokens (script/path_tokens.h).

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

}  // namespace dfm
