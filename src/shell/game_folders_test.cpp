#include "shell/game_folders.h"

#include <gtest/gtest.h>

#include "registry/tree_registry.h"

namespace dfm {
namespace {

// The folder prompt (cancel gives "Nothing") is checked through ResolvePathTokens.
TEST(FindGameFolders, TakesEachGamesPathValueAndLeavesUnknownOnesNothing) {
  const char* system_reg = R"(WINE REGISTRY Version 2
[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\df.exe] 1700000000
"Path"="C:\\Games\\DF"
[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\df2.exe] 1700000000
@="C:\\Games\\DF2\\df2.exe"
[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dflw.exe.bak] 1700000000
"Path"="C:\\Old"
)";
  TreeRegistry registry(ParseWineRegistry(system_reg), {});
  GameFolders folders = FindGameFolders(registry);
  EXPECT_EQ(folders[1], "C:\\Games\\DF");
  EXPECT_EQ(folders[2], "");  // a key without "Path" gives an empty folder
  EXPECT_EQ(folders[3], "Nothing");

  std::vector<std::string> mapped;
  folders = FindGameFolders(registry, [&](const std::string& f) {
    mapped.push_back(f);
    return "/wine/c" + f.substr(2);
  });
  EXPECT_EQ(folders[1], "/wine/c\\Games\\DF");
  EXPECT_EQ(mapped, std::vector<std::string>{"C:\\Games\\DF"});
}

}  // namespace
}  // namespace dfm
