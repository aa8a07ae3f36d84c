#include "detect/game_search.h"

#include <gtest/gtest.h>

#include <map>

#include "base/ascii.h"
#include "platform/host.h"
#include "registry/tree_registry.h"
#include "shell/game_folders.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

// Variables from a table; drive C: of a prefix is its drive_c ("" is the host's prefix,
// ~/host), other drives are missing.
class FakeEnvironment final : public Environment {
 public:
  std::optional<std::string> Variable(const std::string& name) override {
    auto it = vars.find(name);
    return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  std::optional<std::string> HostFolder(const std::string& folder,
                                        const std::string& prefix) override {
    if (folder.size() < 2 || folder[1] != ':') return folder;
    if (AsciiLower(folder[0]) != 'c') return std::nullopt;
    std::string rest = folder.substr(2);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return (prefix.empty() ? vars["HOME"] + "/host" : prefix) + "/drive_c" + rest;
  }
  std::string CanonicalFolder(const std::string& folder) override {
    return std::filesystem::weakly_canonical(folder).string();
  }
  bool HasWinePrefixes() const override { return true; }
  std::map<std::string, std::string> vars;
};

constexpr char kAppPathsLw[] =
    R"([Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dflw.exe]
"Path"="C:\\LW"
)";
constexpr char kNovaLogic[] = "drive_c/Program Files (x86)/NovaLogic/";

struct Row {
  const char* what;
  std::vector<std::pair<std::string, std::string>> files;  // below HOME; "" makes a folder
  std::string system_reg, user_reg;                        // of the host's registry
  std::string found;  // per version: source and folder below HOME, or Nothing
};

TEST(SearchGameFolders, FindsEachSourceInOrderAndOnlyFoldersHoldingTheProgram) {
  const std::string vdf = R"("libraryfolders" { "0" { "path" "~/lib" "label" "" } })";
  const std::vector<Row> rows = {
      {"App Paths first, unchecked; then Steam from the registry (any case)",
       {{"host/drive_c/Steam/steamapps/common/DF2/Df2.EXE", "x"},
        {"host/drive_c/Steam/steamapps/common/LW/dflw.exe", "x"}},
       kAppPathsLw,
       R"([Software\\Valve\\Steam]
"SteamPath"="C:\\Steam")",
       "Nothing|Steam library ~/host/drive_c/Steam/steamapps/common/DF2|App Paths "
       "~/host/drive_c/LW"},
      {"Steam InstallPath, GOG, retail default in this order",
       {{"host/drive_c/S/steamapps/common/A/DF.exe", ""},
        {"host/drive_c/GOG/DF2/df2.exe", ""},
        {"host/drive_c/GOG/DF1/df.exe", ""},
        {"pf/NovaLogic/Delta Force Land Warrior/DFLW.EXE", ""}},
       R"([Software\\Wow6432Node\\Valve\\Steam]
"InstallPath"="C:\\S"
[Software\\Wow6432Node\\GOG.com\\Games\\1]
"path"="C:\\GOG\\DF1"
[Software\\Wow6432Node\\GOG.com\\Games\\2]
"path"="D:\\GOG\\DF2"
[Software\\Wow6432Node\\GOG.com\\Games\\3]
"path"="C:\\GOG\\DF2")",
       "",
       "Steam library ~/host/drive_c/S/steamapps/common/A|GOG ~/host/drive_c/GOG/DF2|retail "
       "default ~/pf/NovaLogic/Delta Force Land Warrior"},
      {"home Steam libraries (both formats), folders without the program passed over",
       {{".steam/steam/steamapps/libraryfolders.vdf", vdf},
        {"lib/steamapps/common/Delta Force/DeltaForce.exe", ""},
        {"lib/steamapps/common/Delta Force 2/df2.exe/", ""},
        {".local/share/Steam/steamapps/libraryfolders.vdf", R"("LibraryFolders" { "1" "~/old" })"},
        {"old/steamapps/common/Delta Force 2/DF2.exe", ""}},
       "",
       "",
       "Nothing|Steam library ~/old/steamapps/common/Delta Force 2|Nothing"},
      {"Proton, then $WINEPREFIX and ~/.wine",
       {{".steam/steam/steamapps/compatdata/10/pfx/system.reg", ""},
        {std::string(".steam/steam/steamapps/compatdata/10/pfx/") + kNovaLogic +
             "Delta Force/df.exe",
         ""},
        {"wp/system.reg", kAppPathsLw},
        {"wp/drive_c/LW/dflw.exe", ""},
        {".wine/system.reg", ""},
        {std::string(".wine/") + kNovaLogic + "Delta Force/df.exe", ""},
        {std::string(".wine/") + kNovaLogic + "Delta Force 2/df2.exe", ""}},
       "",
       "",
       std::string("Proton prefix ~/.steam/steam/steamapps/compatdata/10/pfx/") + kNovaLogic +
           "Delta Force|Wine prefix ~/.wine/" + kNovaLogic +
           "Delta Force 2|Wine prefix ~/wp/drive_c/LW"},
      {"Lutris then Bottles; malformed files passed over",
       {{".steam/steam/steamapps/libraryfolders.vdf", "\"libraryfolders\" { \"0\" {"},
        {".config/lutris/games/a.yml", "game:\n  prefix: '~/lp' # yes\n"},
        {".config/lutris/games/b.yml", "game:\n  prefix: \"~/lp2\n"},
        {".local/share/lutris/games/c.yaml", "game:\n\tprefix: ~/lp2\n"},
        {"lp/system.reg",
         "[Software\\\\Wow6432Node\\\\GOG.com\\\\Games\\\\7]\n\"path\"=\"C:\\\\D\"\n"},
        {"lp/drive_c/D/DF2.exe", ""},
        {"lp2/system.reg", "garbage"},
        {"lp2/drive_c/Program Files/NovaLogic/Delta Force/df.exe", ""},
        {".var/app/com.usebottles.bottles/data/bottles/bottles/b/system.reg", "\x01["},
        {std::string(".var/app/com.usebottles.bottles/data/bottles/bottles/b/") + kNovaLogic +
             "Delta Force/df.exe",
         ""}},
       "",
       "",
       std::string("Bottles prefix ~/.var/app/com.usebottles.bottles/data/bottles/bottles/b/") +
           kNovaLogic + "Delta Force|Lutris prefix ~/lp/drive_c/D|Nothing"},
  };
  for (const Row& row : rows) {
    testing::TempDir dir;
    const std::string home = dir.path().string();
    for (const auto& [path, content] : row.files) {
      std::string text = content;
      for (std::size_t at; (at = text.find('~')) != std::string::npos;) text.replace(at, 1, home);
      if (path.back() == '/') {
        std::filesystem::create_directories(dir.path() / path);
      } else {
        dir.Write(path, text);
      }
    }
    FakeEnvironment env;
    env.vars = {{"HOME", home}, {"WINEPREFIX", home + "/wp"}, {"ProgramFiles", home + "/pf"}};
    TreeRegistry registry(ParseWineRegistry(row.system_reg), ParseWineRegistry(row.user_reg));
    auto fs = MakeHostFileSystem();
    GameSearchOutcomes report;
    GameFolders folders = FindGameFolders(registry, *fs, env, &report);
    std::string found;
    for (int v = 1; v <= 3; ++v) {
      const auto& hit = report[v - 1].found;
      if (hit) {
        EXPECT_EQ(folders[v], hit->folder);
      }
      found += (v > 1 ? "|" : "") + (hit ? std::string(FolderSourceName(hit->source)) + " ~" +
                                               folders[v].substr(home.size())
                                         : folders[v]);
    }
    EXPECT_EQ(found, row.found) << row.what;
  }
}

}  // namespace
}  // namespace dfm
