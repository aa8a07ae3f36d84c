#include "detect/game_search.h"

#include <gtest/gtest.h>

#include <map>

#include "base/ascii.h"
#include "detect/lutris_game.h"
#include "detect/steam_library.h"
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
    return vars.count(name) ? std::optional<std::string>(vars[name]) : std::nullopt;
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
      EXPECT_TRUE(!hit || folders[v] == hit->folder) << row.what;
      found += (v > 1 ? "|" : "") + (hit ? std::string(FolderSourceName(hit->source)) + " ~" +
                                               folders[v].substr(home.size())
                                         : folders[v]);
    }
    EXPECT_EQ(found, row.found) << row.what;
  }
}

TEST(LutrisGamePrefix, ReadsTheGamesPrefixAndRefusesMalformedText) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {"game:\n  exe: /g/df.exe\n  prefix: /g/pfx\nname: DF\n", "/g/pfx"},
      {"# made by Lutris\r\n---\r\ngame:\r\n    prefix: /g/a b # comment\r\n", "/g/a b"},
      {"game:\n  prefix: '/g/it''s'\n", "/g/it's"},
      {"game:\n  prefix: \"/g/\\x41\\u00e9\\\"\\\\\"\n", "/g/A\xc3\xa9\"\\"},
      {"\"game\":\n  \"prefix\": /g/q\n", "/g/q"},
      {"game:\n  args:\n    prefix: /not/this\n  prefix: /g/p#x\n", "/g/p#x"},
      {"wine:\n  prefix: /not/game\ngame:\n  exe: x\n", "none"},
      {"game:\n  prefix: ~\n", "none"},
      {"game:\n  prefix:\n", "none"},
      {"game: {prefix: /flow}\n", "none"},
      {"game:\n  prefix: \"/open\n", "none"},
      {"game:\n  prefix: \"/bad\\q\"\n", "none"},
      {"game:\n  prefix: '/x' y\n", "none"},
      {"game:\n\tprefix: /tab\n", "none"},
      {"- game\ngame:\n  prefix: /x\n", "none"},
      {"game:x\n  prefix: /x\n", "none"},
  };
  for (const auto& [yaml, expected] : rows)
    EXPECT_EQ(LutrisGamePrefix(yaml).value_or("none"), expected) << yaml;
}

// The libraries joined by "|", or "malformed".
std::string Libraries(std::string_view text) {
  auto folders = SteamLibraryFolders(text);
  if (!folders) return "malformed";
  std::string out;
  for (const std::string& f : *folders) out += (out.empty() ? "" : "|") + f;
  return out;
}

TEST(SteamLibraryFolders, ReadsBothFormatsAndRefusesMalformedText) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {R"("libraryfolders" { "contentstatsid" "-1" "0" { "path" "C:\\Program Files (x86)\\Steam"
          "apps" { "1" "2" } } "1" { "label" "x" "PATH" "D:\\S \"1\"" } })",
       R"(C:\Program Files (x86)\Steam|D:\S "1")"},
      {"\"LibraryFolders\"\n{\n // comment \"1\" \"x\"\n\t\"TimeNextStatsReport\" \"1\"\n"
       "\t\"1\"\t\t\"/mnt/games\"\n\t\"2\" \"D:\\Games\" [$WIN32]\n}\n",
       R"(/mnt/games|D:\Games)"},
      {R"(libraryfolders { 1 /bare/word x1 "/not/a/library" "2" "" })", "/bare/word"},
      {R"("other" { "1" "/x" })", ""},
      {"", ""},
      {R"("libraryfolders" { "1" "/x" )", "malformed"},
      {R"("libraryfolders" { "1" "/x })", "malformed"},
      {R"("libraryfolders" } )", "malformed"},
      {R"("libraryfolders" { "1" })", "malformed"},
      {R"({ "1" "/x" })", "malformed"},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(Libraries(text), expected) << text;
  std::string deep;  // 32 nested blocks are read, 33 are refused
  for (int i = 0; i < 32; ++i) deep += "k {";
  EXPECT_EQ(Libraries(deep + std::string(32, '}')), "");
  EXPECT_EQ(Libraries("k {" + deep + std::string(33, '}')), "malformed");
}

}  // namespace
}  // namespace dfm
