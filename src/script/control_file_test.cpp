#include "script/control_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using Words = std::vector<std::string>;
using testing::FaultyFileSystem;
using testing::TempDir;

Words Split(std::string_view line) {
  auto words = SplitLine(line);
  EXPECT_TRUE(words.ok());
  return words ? *words : Words{};
}

// --- Lines ---------------------------------------------------------------------------

TEST(SplitLines, CrLfAndLoneCrEndLinesLoneLfStaysInTheLineTheLastTerminatorAddsNoLine) {
  const std::pair<std::string, Words> cases[] = {
      {"a\r\nb\rc", {"a", "b", "c"}},
      {"a\nb\r\n", {"a\nb"}},
      {"a\r\r\nb", {"a", "", "b"}},  // lone CR, then CR LF
      {"a\n\rb", {"a\n", "b"}},      // LF CR is not CR LF
      {"\n", {"\n"}},
      {"", {}},
      {"last", {"last"}},
      {"last\r\n", {"last"}},
      {"\r\n", {""}},
      {"\r", {""}},
      {"a\r\n\r\n", {"a", ""}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitLines(text), lines) << text;
}

TEST(ReadControlLines, KeepsEveryByteAndPassesFailuresOn) {
  TempDir dir;
  auto host = MakeHostFileSystem();
  dir.Write("Control.ini", std::string("Mod_Name \xe9t\xe9\r\n\0x\r\nend", 21));
  auto lines = ReadControlLines(*host, dir / "control.INI");
  ASSERT_TRUE(lines);
  EXPECT_EQ(*lines, (Words{"Mod_Name \xe9t\xe9", std::string("\0x", 2), "end"}));

  auto missing = ReadControlLines(*host, dir / "none.ini");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, err::kFileNotFound);

  FaultyFileSystem faulty(*host);
  faulty.Fail({.op = "read", .failure = {err::kDeviceIoError, "disk gone"}});
  auto failed = ReadControlLines(faulty, dir / "Control.ini");
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.failure(), (Failure{err::kDeviceIoError, "disk gone"}));
}

// --- SplitLine -----------------------------------------------------------------------

TEST(SplitLine, EmptyAndBlankLinesGiveOneEmptyWord) {
  EXPECT_EQ(Split(""), (Words{""}));
  EXPECT_EQ(Split("   "), (Words{""}));
  EXPECT_EQ(Split("\t \t"), (Words{""}));
  EXPECT_EQ(Split("\"\"  "), (Words{""}));
}

TEST(SplitLine, BlanksSeparateAndTrailingBlanksGiveOneEmptyWord) {
  EXPECT_EQ(Split("  Copy   a.pcx   b  "), (Words{"Copy", "a.pcx", "b", ""}));
  EXPECT_EQ(Split("Copy\ta.pcx\t\tb"), Split("Copy a.pcx  b"));
  EXPECT_EQ(Split("Pack a"), (Words{"Pack", "a"}));
  EXPECT_EQ(Split("Pack a "), (Words{"Pack", "a", ""}));
  EXPECT_EQ(Split("Credits_Color_Back 0 32 128 // R G B "),
            (Words{"Credits_Color_Back", "0", "32", "128", "//", "R", "G", "B", ""}));
}

TEST(SplitLine, QuotesGroupAndAreDropped) {
  EXPECT_EQ(Split("Copy \"my file.pcx\" \"Kyv_DF2_Location\\new folder\""),
            (Words{"Copy", "my file.pcx", "Kyv_DF2_Location\\new folder"}));
  EXPECT_EQ(Split("Copy a\"b c\"d x"), (Words{"Copy", "ab cd", "x"}));
  EXPECT_EQ(Split("Copy \"\" a b"), (Words{"Copy", "a", "b"}));
  EXPECT_EQ(Split("\" \""), (Words{" "}));
  EXPECT_EQ(Split("Mod_Name \"x\" "), (Words{"Mod_Name", "x", ""}));
}

TEST(SplitLine, UnclosedQuoteRunsToTheEndOfTheLine) {
  EXPECT_EQ(Split("Mod_Name \"open quote to the end"),
            (Words{"Mod_Name", "open quote to the end"}));
  EXPECT_EQ(Split("a \"b\t c  "), (Words{"a", "b\t c  "}));
}

TEST(SplitLine, OtherBytesAreWordCharacters) {
  EXPECT_EQ(Split("a\nb c"), (Words{"a\nb", "c"}));
  EXPECT_EQ(Split(std::string("\xe9\0\x01 z", 5)), (Words{std::string("\xe9\0\x01", 3), "z"}));
}

TEST(SplitLine, LinesOfMoreThan32766CharactersAreRefused) {
  std::string line = "Pack " + std::string(kMaxLineLength - 5, 'x');
  ASSERT_EQ(line.size(), 32766u);
  EXPECT_EQ(Split(line).size(), 2u);

  auto words = SplitLine(line + "x");
  ASSERT_FALSE(words);
  EXPECT_EQ(words.failure(),
            (Failure{err::kOverflow, "Overflow: the line is longer than 32766 characters"}));
}

// --- Number words --------------------------------------------------------------------

struct NumberCase {
  std::string word;
  double value;
};

template <std::size_t N>
void ExpectNumbers(const NumberCase (&cases)[N]) {
  for (const auto& c : cases) EXPECT_EQ(NumberValue(c.word), c.value) << '"' << c.word << '"';
}

TEST(NumberValue, TheNumberAWordBeginsWith) {
  const NumberCase cases[] = {
      {"12abc", 12}, {"abc", 0},  {"", 0},   {"-5", -5},      {"+5", 5},
      {"2.5", 2.5},  {".5", 0.5}, {"5.", 5}, {"-.25", -0.25}, {"1.2.3", 1.2},
      {"1,5", 1},    {"+-5", 0},  {"-", 0},  {".", 0},        {"007", 7},
  };
  ExpectNumbers(cases);
}

TEST(NumberValue, SpacesTabsAndLineFeedsAreSkippedAnywhere) {
  // Only space, tab and line feed are skipped.
  const NumberCase cases[] = {
      {" 1 2 . 5 ", 12.5}, {"\t-\n3", -3},   {"1\n0x", 10},
      {"1 e 2", 100},      {"1e - 2", 0.01}, {"\r1", 0},
  };
  ExpectNumbers(cases);
}

TEST(NumberValue, ExponentWithEOrD) {
  // An exponent without digits is not part of the number.
  const NumberCase cases[] = {
      {"1e3", 1000}, {"1E-2", 0.01}, {"1D2", 100}, {"1d+2", 100}, {"2.5e1x", 25},
      {"1e", 1},     {"1e+", 1},     {"1ex", 1},   {"e5", 0},
  };
  ExpectNumbers(cases);
}

TEST(NumberValue, HexAndOctalWholeNumbers) {
  const NumberCase cases[] = {
      {"&H1F", 31}, {"&hff", 255}, {"& H 1 F", 31}, {"&HFFFFFFFF", 4294967295.0},
      {"&H1.5", 1}, {"&O17", 15},  {"&o78", 7},     {"&O8", 0},
      {"&H", 0},    {"&Hxyz", 0},  {"&", 0},        {"&X1", 0},
      {"-&H10", 0},
  };
  ExpectNumbers(cases);
}

TEST(NumberValue, ValuesBeyondADoubleBecomeInfinityOrZero) {
  const double inf = std::numeric_limits<double>::infinity();
  // The exponent's sign alone does not decide: 1e390 and 1e-391.
  const NumberCase cases[] = {
      {"1e400", inf},
      {"-1e400", -inf},
      {"1e-400", 0},
      {"1e99999999999999999999999", inf},
      {"1" + std::string(400, '0'), inf},
      {"1" + std::string(400, '0') + "e-10", inf},
      {"0." + std::string(400, '0') + "1e10", 0},
      {"&H" + std::string(20, 'F'), inf},
  };
  ExpectNumbers(cases);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<double, double> cases[] = {{2.5, 2},   {3.5, 4},   {0.5, 0},    {1.5, 2},
                                             {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {2.5001, 3},
                                             {-0.4, 0},  {inf, inf}};
  for (const auto& [x, rounded] : cases) EXPECT_EQ(RoundHalfEven(x), rounded) << x;
}

// --- Keywords and reserved names ------------------------------------------------------

TEST(Keywords, TablesGiveTheWordsEachKeyNeeds) {
  EXPECT_EQ(FindCommand("pack")->words, 3);
  EXPECT_EQ(FindCommand("convert_jpg_to_tga")->words, 3);
  EXPECT_EQ(FindCommand("create_detail_map")->words, 3);
  EXPECT_EQ(FindCommand("delete")->words, 2);
  EXPECT_EQ(FindHeaderKey("credits_color_shadow")->words, 4);
  EXPECT_EQ(FindHeaderKey("df_version")->words, 2);
  // Lookups take the lowered keyword; each table knows only its own keys.
  EXPECT_FALSE(FindCommand("Pack"));
  EXPECT_FALSE(FindCommand("credits"));
  EXPECT_FALSE(FindHeaderKey("pack"));
  EXPECT_EQ(LowerAscii("PACK Kyv_DF3_Location"), "pack kyv_df3_location");
}

TEST(MentionsReservedName, AnyWordEndingWithControlIniOrTheCreditsFileIgnoringCase) {
  struct Case {
    Words words;
    std::string credits;
    bool reserved;
  };
  const Case cases[] = {
      {{"Delete", "Control.ini"}, "", true},
      {{"Delete", "OldControl.ini"}, "", true},
      {{"Delete", "Backup\\CONTROL.INI"}, "", true},
      {{"Mod_Name", "My Control.ini"}, "", true},
      {{"Pack", "a", "b", "//", "see", "control.ini"}, "", true},
      {{"control.ini", "x"}, "", true},
      {{"Copy", "Control.ini.bak", "x"}, "", false},
      {{"Credits", "Control.ini"}, "", false},
      {{"CREDITS", "control.ini", "x"}, "", false},
      // The credits file, once one is set.
      {{"Delete", "Credits.txt"}, "Credits.txt", true},
      {{"Delete", "OLDCREDITS.TXT"}, "Credits.txt", true},
      {{"Delete", "Credits.txt"}, "", false},
      {{"Delete", "Credits.txt.bak"}, "Credits.txt", false},
      {{"Credits", "Credits.txt"}, "Credits.txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MentionsReservedName(c.words, c.credits), c.reserved)
        << c.words[0] << " " << c.words[1] << " / " << c.credits;
  }
}

}  // namespace
}  // namespace dfm
