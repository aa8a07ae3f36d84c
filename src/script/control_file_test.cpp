#include "script/control_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/fakes.h"
#include "support/memory_file_system.h"

namespace dfm {
namespace {

using Words = std::vector<std::string>;
using testing::FaultyFileSystem;

// Each string in brackets, so an empty list and one empty string differ.
std::string Bracketed(const Words& words) {
  std::string out;
  for (const std::string& w : words) out += "[" + w + "]";
  return out;
}

// CR LF and a lone CR end lines, a lone LF stays in the line, the last terminator adds no
// line; then the words of a line: blanks and tabs separate, quotes group, other bytes
// (NUL, LF, high bytes) are word characters.
TEST(SplitLines, LinesAndWords) {
  const std::pair<std::string, std::string> lines[] = {{"a\r\nb\rc", "[a][b][c]"},
                                                       {"a\nb\r\n", "[a\nb]"},
                                                       {"a\r\r\nb", "[a][][b]"},
                                                       {"a\n\rb", "[a\n][b]"},
                                                       {"\n", "[\n]"},
                                                       {"", ""},
                                                       {"\r\n", "[]"},
                                                       {"\r", "[]"},
                                                       {"a\r\n\r\n", "[a][]"}};
  for (const auto& [text, expected] : lines)
    EXPECT_EQ(Bracketed(SplitLines(text)), expected) << text;

  const std::pair<std::string, std::string> words[] = {
      {"", "[]"},
      {"   ", "[]"},
      {"\"\"  ", "[]"},
      {"  Copy   a.pcx   b  ", "[Copy][a.pcx][b][]"},
      {"Copy\ta.pcx\t\tb", "[Copy][a.pcx][b]"},
      {"Pack a ", "[Pack][a][]"},
      {"Credits_Color_Back 0 32 128 // R ", "[Credits_Color_Back][0][32][128][//][R][]"},
      {"Copy \"my file.pcx\" \"Kyv_DF2_Location\\new folder\"",
       "[Copy][my file.pcx][Kyv_DF2_Location\\new folder]"},
      {"Copy a\"b c\"d x", "[Copy][ab cd][x]"},
      {"Copy \"\" a b", "[Copy][a][b]"},
      {"Mod_Name \"x\" ", "[Mod_Name][x][]"},
      {"Mod_Name \"open quote to the end", "[Mod_Name][open quote to the end]"},
      {"a \"b\t c  ", "[a][b\t c  ]"},
      {"a\nb c", "[a\nb][c]"},
      {std::string("\xe9\0\x01 z", 5), std::string("[\xe9\0\x01][z]", 8)},
      {"Pack " + std::string(kMaxLineLength - 5, 'x'), "[Pack][" + std::string(32761, 'x') + "]"},
  };
  for (const auto& [line, expected] : words) {
    auto split = SplitLine(line);
    ASSERT_TRUE(split) << line;
    EXPECT_EQ(Bracketed(*split), expected) << line;
  }
  EXPECT_EQ(SplitLine(std::string(kMaxLineLength + 1, 'x')).failure(),
            (Failure{err::kOverflow, "Overflow: the line is longer than 32766 characters"}));
}

TEST(ReadControlLines, KeepsEveryByteAndPassesFailuresOn) {
  testing::MemoryFileSystem fs;
  fs.Put("Control.ini", std::string_view("Mod_Name \xe9t\xe9\r\n\0x\r\nend", 21));
  auto lines = ReadControlLines(fs, "Control.ini");
  ASSERT_TRUE(lines);
  EXPECT_EQ(*lines, (Words{"Mod_Name \xe9t\xe9", std::string("\0x", 2), "end"}));
  EXPECT_EQ(ReadControlLines(fs, "none.ini").failure().code, err::kFileNotFound);

  FaultyFileSystem faulty(fs);
  faulty.Fail({.op = "read", .failure = {err::kDeviceIoError, "disk gone"}});
  EXPECT_EQ(ReadControlLines(faulty, "Control.ini").failure(),
            (Failure{err::kDeviceIoError, "disk gone"}));
  // A file over the limit is refused before a byte of it is read; one at the limit is read.
  fs.Put("Control.ini", Bytes(kMaxControlFileBytes + 1, 'x'));
  EXPECT_EQ(ReadControlLines(faulty, "Control.ini").failure(),
            (Failure{err::kOutOfMemory,
                     "Out of memory: Control.ini is larger than 16 MB, which no control or "
                     "credits file is"}));
  fs.Put("Control.ini", Bytes(kMaxControlFileBytes, 'x'));
  EXPECT_EQ(ReadControlLines(faulty, "Control.ini").failure().code, err::kDeviceIoError);
}

// The number a word begins with; blanks, tabs and line feeds are skipped anywhere; an
// exponent (E or D) without digits is not part of the number; &H and &O whole numbers;
// halves rounded to the even neighbour.
TEST(NumberValue, TheNumberAWordBeginsWith) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<std::string, double> cases[] = {
      {"12abc", 12},       {"abc", 0},     {"", 0},         {"-5", -5},       {"+5", 5},
      {"2.5", 2.5},        {".5", 0.5},    {"5.", 5},       {"-.25", -0.25},  {"1.2.3", 1.2},
      {"1,5", 1},          {"+-5", 0},     {"-", 0},        {".", 0},         {"007", 7},
      {" 1 2 . 5 ", 12.5}, {"\t-\n3", -3}, {"1\n0x", 10},   {"1 e 2", 100},   {"1e - 2", 0.01},
      {"\r1", 0},          {"1e3", 1000},  {"1E-2", 0.01},  {"1D2", 100},     {"1d+2", 100},
      {"2.5e1x", 25},      {"1e", 1},      {"1e+", 1},      {"1ex", 1},       {"e5", 0},
      {"&H1F", 31},        {"&hff", 255},  {"& H 1 F", 31}, {"&H1.5", 1},     {"&O17", 15},
      {"&o78", 7},         {"&O8", 0},     {"&H", 0},       {"&Hxyz", 0},     {"&", 0},
      {"&X1", 0},          {"-&H10", 0},   {"1e400", inf},  {"-1e400", -inf}, {"1e-400", 0}};
  for (const auto& [word, value] : cases) EXPECT_EQ(NumberValue(word), value) << '"' << word << '"';
  // Beyond a double; the exponent's sign alone does not decide (1e390, 1e-391).
  EXPECT_EQ(NumberValue("&HFFFFFFFF"), 4294967295.0);
  EXPECT_EQ(NumberValue("&H" + std::string(20, 'F')), inf);
  EXPECT_EQ(NumberValue("1e99999999999999999999999"), inf);
  EXPECT_EQ(NumberValue("1" + std::string(400, '0')), inf);
  EXPECT_EQ(NumberValue("1" + std::string(400, '0') + "e-10"), inf);
  EXPECT_EQ(NumberValue("0." + std::string(400, '0') + "1e10"), 0);

  const std::pair<double, double> halves[] = {{2.5, 2},   {3.5, 4},   {0.5, 0},    {1.5, 2},
                                              {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {2.5001, 3},
                                              {-0.4, 0},  {inf, inf}};
  for (const auto& [x, rounded] : halves) EXPECT_EQ(RoundHalfEven(x), rounded) << x;
}

}  // namespace
}  // namespace dfm
