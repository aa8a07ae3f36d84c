#include "shell/game_folders.h"

#include "registry/kyv_read_reg.h"

namespace dfm {
namespace {

constexpr const char* kGamePrograms[] = {"df.exe", "df2.exe", "dflw.exe"};

}  // namespace

std::string GameRegistryKey(int version) {
  assert(version >= 1 && version <= 3);
  return std::string("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") +
         kGamePrograms[version - 1];
}

GameFolders FindGameFolders(Registry& registry, const FolderMapper& map) {
  GameFolders folders;
  clsKyv_ReadReg reader(registry);
  for (int version = 1; version <= 3; ++version) {
    if (!reader.OpenRegistry(reg::kLocalMachine, GameRegistryKey(version))) continue;
    std::string folder = reader.GetValue("Path");
    folders[version] = (map && !folder.empty()) ? map(folder) : folder;
    reader.CloseRegistry();
  }
  return folders;
}

std::string BrowseForFolder(Dialogs& dialogs, const std::string& title) {
  return dialogs.BrowseForFolder(title).value_or(kNothing);
}

}  // namespace dfm
