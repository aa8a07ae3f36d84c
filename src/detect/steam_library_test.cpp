#include "detect/steam_library.h"

#include <gtest/gtest.h>

namespace dfm {
namespace {

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
