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

TEST(SplitLines, CrLfAndLoneCrEndLinesLoneLfStaysInTheLine) {
  EXPECT_EQ(SplitLines("a\r\nb\rc"), (Words{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\nb\r\n"), (Words{"a\nb"}));
  EXPECT_EQ(SplitLines("a\r\r\nb"), (Words{"a", "", "b"}));  // lone CR, then CR LF
  EXPECT_EQ(SplitLines("a\n\rb"), (Words{"a\n", "b"}));      // LF CR is not CR LF
  EXPECT_EQ(SplitLines("\n"), (Words{"\n"}));
}

TEST(SplitLines, LastTerminatorAddsNoLineAndEmptyFileHasNone) {
  EXPECT_EQ(SplitLines(""), Words{});
  EXPECT_EQ(SplitLines("last"), (Words{"last"}));
  EXPECT_EQ(SplitLines("last\r\n"), (Words{"last"}));
  EXPECT_EQ(SplitLines("\r\n"), (Words{""}));
  EXPECT_EQ(SplitLines("\r"), (Words{""}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (Words{"a", ""}));
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

TEST(NumberValue, TheNumberAWordBeginsWith) {
  EXPECT_EQ(NumberValue("12abc"), 12);
  EXPECT_EQ(NumberValue("abc"), 0);
  EXPECT_EQ(NumberValue(""), 0);
  EXPECT_EQ(NumberValue("-5"), -5);
  EXPECT_EQ(NumberValue("+5"), 5);
  EXPECT_EQ(NumberValue("2.5"), 2.5);
  EXPECT_EQ(NumberValue(".5"), 0.5);
  EXPECT_EQ(NumberValue("5."), 5);
  EXPECT_EQ(NumberValue("-.25"), -0.25);
  EXPECT_EQ(NumberValue("1.2.3"), 1.2);
  EXPECT_EQ(NumberValue("1,5"), 1);
  EXPECT_EQ(NumberValue("+-5"), 0);
  EXPECT_EQ(NumberValue("-"), 0);
  EXPECT_EQ(NumberValue("."), 0);
  EXPECT_EQ(NumberValue("007"), 7);
}

TEST(NumberValue, SpacesTabsAndLineFeedsAreSkippedAnywhere) {
  EXPECT_EQ(NumberValue(" 1 2 . 5 "), 12.5);
  EXPECT_EQ(NumberValue("\t-\n3"), -3);
  EXPECT_EQ(NumberValue("1\n0x"), 10);
  EXPECT_EQ(NumberValue("1 e 2"), 100);
  EXPECT_EQ(NumberValue("1e - 2"), 0.01);
  EXPECT_EQ(NumberValue("\r1"), 0);  // only space, tab and line feed are skipped
}

TEST(NumberValue, ExponentWithEOrD) {
  EXPECT_EQ(NumberValue("1e3"), 1000);
  EXPECT_EQ(NumberValue("1E-2"), 0.01);
  EXPECT_EQ(NumberValue("1D2"), 100);
  EXPECT_EQ(NumberValue("1d+2"), 100);
  EXPECT_EQ(NumberValue("2.5e1x"), 25);
  EXPECT_EQ(NumberValue("1e"), 1);  // an exponent without digits is not part of the number
  EXPECT_EQ(NumberValue("1e+"), 1);
  EXPECT_EQ(NumberValue("1ex"), 1);
  EXPECT_EQ(NumberValue("e5"), 0);
}

TEST(NumberValue, HexAndOctalWholeNumbers) {
  EXPECT_EQ(NumberValue("&H1F"), 31);
  EXPECT_EQ(NumberValue("&hff"), 255);
  EXPECT_EQ(NumberValue("& H 1 F"), 31);
  EXPECT_EQ(NumberValue("&HFFFFFFFF"), 4294967295.0);
  EXPECT_EQ(NumberValue("&H1.5"), 1);
  EXPECT_EQ(NumberValue("&O17"), 15);
  EXPECT_EQ(NumberValue("&o78"), 7);
  EXPECT_EQ(NumberValue("&O8"), 0);
  EXPECT_EQ(NumberValue("&H"), 0);
  EXPECT_EQ(NumberValue("&Hxyz"), 0);
  EXPECT_EQ(NumberValue("&"), 0);
  EXPECT_EQ(NumberValue("&X1"), 0);
  EXPECT_EQ(NumberValue("-&H10"), 0);
}

TEST(NumberValue, ValuesBeyondADoubleBecomeInfinityOrZero) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(NumberValue("1e400"), inf);
  EXPECT_EQ(NumberValue("-1e400"), -inf);
  EXPECT_EQ(NumberValue("1e-400"), 0);
  EXPECT_EQ(NumberValue("1e99999999999999999999999"), inf);
  EXPECT_EQ(NumberValue("1" + std::string(400, '0')), inf);
  // The exponent's sign alone does not decide: 1e390 and 1e-391.
  EXPECT_EQ(NumberValue("1" + std::string(400, '0') + "e-10"), inf);
  EXPECT_EQ(NumberValue("0." + std::string(400, '0') + "1e10"), 0);
  EXPECT_EQ(NumberValue("&H" + std::string(20, 'F')), inf);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
  EXPECT_EQ(RoundHalfEven(-0.4), 0);
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity()),
            std::numeric_limits<double>::infinity());
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

TEST(MentionsReservedName, AnyWordEndingWithControlIniIgnoringCase) {
  EXPECT_TRUE(MentionsReservedName({"Delete", "Control.ini"}, ""));
  EXPECT_TRUE(MentionsReservedName({"Delete", "OldControl.ini"}, ""));
  EXPECT_TRUE(MentionsReservedName({"Delete", "Backup\\CONTROL.INI"}, ""));
  EXPECT_TRUE(MentionsReservedName({"Mod_Name", "My Control.ini"}, ""));
  EXPECT_TRUE(MentionsReservedName({"Pack", "a", "b", "//", "see", "control.ini"}, ""));
  EXPECT_TRUE(MentionsReservedName({"control.ini", "x"}, ""));
  EXPECT_FALSE(MentionsReservedName({"Copy", "Control.ini.bak", "x"}, ""));
  EXPECT_FALSE(MentionsReservedName({"Credits", "Control.ini"}, ""));
  EXPECT_FALSE(MentionsReservedName({"CREDITS", "control.ini", "x"}, ""));
}

TEST(MentionsReservedName, TheCreditsFileOnceOneIsSet) {
  EXPECT_TRUE(MentionsReservedName({"Delete", "Credits.txt"}, "Credits.txt"));
  EXPECT_TRUE(MentionsReservedName({"Delete", "OLDCREDITS.TXT"}, "Credits.txt"));
  EXPECT_FALSE(MentionsReservedName({"Delete", "Credits.txt"}, ""));
  EXPECT_FALSE(MentionsReservedName({"Delete", "Credits.txt.bak"}, "Credits.txt"));
  EXPECT_FALSE(MentionsReservedName({"Credits", "Credits.txt"}, "Credits.txt"));
}

}  // namespace
}  // namespace dfm
