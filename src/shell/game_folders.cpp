#include "shell/game_folders.h"

#include "registry/registry_reader.h"

namespace dfm {

GameFolders FindGameFolders(Registry& registry, const FolderMapper& map) {
  GameFolders folders;
  RegistryReader reader(registry);
  for (int version = 1; version <= 3; ++version) {
    if (!reader.OpenRegistry(reg::kLocalMachine, GameRegistryKey(version))) continue;
    std::string folder = reader.GetValue("Path");
    folders[version] = (map && !folder.empty()) ? map(folder) : folder;
    reader.CloseRegistry();
  }
  return folders;
}

GameFolders FindGameFolders(Registry& registry, FileSystem& fs, Environment& env,
                            GameSearchOutcomes* report) {
  GameFolders folders = FindGameFolders(registry, [&](const std::string& folder) {
    return env.HostFolder(folder, "").value_or(folder);
  });
  std::array<bool, 3> wanted{};
  for (int v = 1; v <= 3; ++v) wanted[v - 1] = folders[v] == kNothing;
  GameSearchOutcomes outcomes = SearchGameFolders(fs, registry, env, wanted);
  for (int v = 1; v <= 3; ++v) {
    std::optional<FolderCandidate>& found = outcomes[v - 1].found;
    if (!wanted[v - 1]) {
      found = FolderCandidate{folders[v], FolderSource::kAppPaths};
    } else if (found) {
      folders[v] = found->folder;
    }
  }
  if (report != nullptr) *report = std::move(outcomes);
  return folders;
}

}  // namespace dfm
