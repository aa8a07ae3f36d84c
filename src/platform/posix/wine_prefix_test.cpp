#include "platform/posix/wine_prefix.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>

#include "platform/host.h"
#include "shell/game_folders.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A prefix with drive C: (a relative link, as Wine makes it) and Z: for the root.
class WinePrefixTest : public ::testing::Test {
 protected:
  WinePrefixTest() {
    fs::create_directories(dir.path() / "drive_c" / "games" / "dflw");
    fs::create_directories(dir.path() / "dosdevices");
    fs::create_directory_symlink("../drive_c", dir.path() / "dosdevices" / "c:");
    fs::create_directory_symlink("/", dir.path() / "dosdevices" / "z:");
    dir.Write("system.reg",
              "WINE REGISTRY Version 2\n#arch=win64\n\n"
              "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
              "Paths\\\\dflw.exe] 1700000000\n\"Path\"=\"C:\\\\Games\\\\DFLW\"\n");
    prefix = dir.path().string();
  }

  TempDir dir;
  std::string prefix;
};

TEST_F(WinePrefixTest, DrivePathsMapThroughTheDriveLinks) {
  EXPECT_EQ(posix::MapWinePath("C:\\Games\\DFLW", prefix), prefix + "/drive_c/games/dflw");
  EXPECT_EQ(posix::MapWinePath("c:\\games\\dflw\\", prefix), prefix + "/drive_c/games/dflw/");
  EXPECT_EQ(posix::MapWinePath("C:\\", prefix), prefix + "/drive_c/");
  EXPECT_EQ(posix::MapWinePath("C:", prefix), prefix + "/drive_c");
  EXPECT_EQ(posix::MapWinePath("Z:\\usr\\bin", prefix), "/usr/bin");
  EXPECT_EQ(posix::MapWinePath("Z:\\", prefix), "/");
  EXPECT_EQ(posix::MapWinePath("D:\\Games", prefix), "D:\\Games");  // no such drive
  EXPECT_EQ(posix::MapWinePath("Nothing", prefix), "Nothing");
  EXPECT_EQ(posix::MapWinePath("", prefix), "");
}

TEST_F(WinePrefixTest, TheHostRegistryIsThePrefixOfWinePrefix) {
  const char* old = std::getenv("WINEPREFIX");
  std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("WINEPREFIX", prefix.c_str(), 1);
  EXPECT_EQ(posix::WinePrefix(), prefix);
  auto registry = MakeHostRegistry();
  GameFolders folders = FindGameFolders(*registry, HostFolderFromRegistry);
  EXPECT_EQ(folders[3], prefix + "/drive_c/games/dflw");
  EXPECT_EQ(folders[1], "Nothing");
  ::setenv("WINEPREFIX", "", 1);
  const char* home = std::getenv("HOME");
  if (home != nullptr) {
    EXPECT_EQ(posix::WinePrefix(), std::string(home) + "/.wine");
  }
  if (saved) {
    ::setenv("WINEPREFIX", saved->c_str(), 1);
  } else {
    ::unsetenv("WINEPREFIX");
  }
  auto empty = posix::MakeWineRegistry(prefix + "/missing");
  RegKey key = 0;
  EXPECT_EQ(empty->OpenKey(reg::kLocalMachine, "Software", key), reg::kFileNotFound);
}

}  // namespace
}  // namespace dfm
