#include "base/path_utils.h"

#include <gtest/gtest.h>

namespace dfm {
namespace {

using namespace std::string_literals;

constexpr PathStyle kWin = PathStyle::kWindows;
constexpr PathStyle kPosix = PathStyle::kPosix;

TEST(GetFolder, PathWithoutDotIsAFolderAndGetsABackslash) {
  for (PathStyle style : {kWin, kPosix}) {
    EXPECT_EQ(GetFolder("C:\\Games\\DF2", style), "C:\\Games\\DF2\\");
    EXPECT_EQ(GetFolder("C:\\Games\\DF2\\", style), "C:\\Games\\DF2\\");
    EXPECT_EQ(GetFolder("", style), "\\");
    EXPECT_EQ(GetFolder("DF2", style), "DF2\\");
  }
}

TEST(GetFolder, PathWithADotIsAFileAndIsCutAfterItsLastBackslash) {
  for (PathStyle style : {kWin, kPosix}) {
    EXPECT_EQ(GetFolder("C:\\Games\\DF2\\df2.exe", style), "C:\\Games\\DF2\\");
    EXPECT_EQ(GetFolder("readme.txt", style), "");
    EXPECT_EQ(GetFolder("C:\\Games\\Mod.Pack", style), "C:\\Games\\");
    EXPECT_EQ(GetFolder("C:\\Games\\Mod.Pack\\", style), "C:\\Games\\Mod.Pack\\");
    EXPECT_EQ(GetFolder("C:\\Mod.Pack\\DF2", style), "C:\\Mod.Pack\\");
  }
}

TEST(GetFolder, PathWithADotAndANulEndsAtTheNul) {
  for (PathStyle style : {kWin, kPosix}) {
    EXPECT_EQ(GetFolder("C:\\Games\\Mod.Pack\0more\\x"s, style), "C:\\Games\\Mod.Pack\\");
    EXPECT_EQ(GetFolder("C:\\DF2\0.x"s, style), "C:\\DF2\\");  // the dot after the NUL counts
    EXPECT_EQ(GetFolder("\0a.b"s, style), "\\");
  }
  // Without a dot the NUL is an ordinary character.
  EXPECT_EQ(GetFolder("C:\\DF2\0x"s, kWin), "C:\\DF2\0x\\"s);
}

TEST(GetFolder, SlashSeparatesOnPosixOnly) {
  EXPECT_EQ(GetFolder("/home/pat/DF2", kPosix), "/home/pat/DF2/");
  EXPECT_EQ(GetFolder("/home/pat/DF2/", kPosix), "/home/pat/DF2/");
  EXPECT_EQ(GetFolder("/home/pat/DF2/df2.exe", kPosix), "/home/pat/DF2/");
  EXPECT_EQ(GetFolder("/home/pat/Mod.Pack", kPosix), "/home/pat/");
  EXPECT_EQ(GetFolder("/games/Mod.Pack\0x"s, kPosix), "/games/Mod.Pack/");
  EXPECT_EQ(GetFolder("/games\\DF2", kPosix), "/games\\DF2\\");  // last separator is "\"
  EXPECT_EQ(GetFolder("Kyv\\Data/x.txt", kPosix), "Kyv\\Data/");

  EXPECT_EQ(GetFolder("/home/pat/DF2", kWin), "/home/pat/DF2\\");
  EXPECT_EQ(GetFolder("/home/pat/df2.exe", kWin), "");
}

TEST(GetFileName, PartAfterTheLastSeparator) {
  for (PathStyle style : {kWin, kPosix}) {
    EXPECT_EQ(GetFileName("Textures\\old.pcx", style), "old.pcx");
    EXPECT_EQ(GetFileName("old.pcx", style), "old.pcx");
    EXPECT_EQ(GetFileName("Textures\\", style), "");
    EXPECT_EQ(GetFileName("", style), "");
    EXPECT_EQ(GetFileName("C:\\a\\b\\Credits.txt", style), "Credits.txt");
  }
  EXPECT_EQ(GetFileName("Textures/old.pcx", kPosix), "old.pcx");
  EXPECT_EQ(GetFileName("a/b\\c", kPosix), "c");
  EXPECT_EQ(GetFileName("a\\b/c", kPosix), "c");
  EXPECT_EQ(GetFileName("Textures/old.pcx", kWin), "Textures/old.pcx");
}

TEST(PadName, PadsWithNulsTo16AndNeverCuts) {
  EXPECT_EQ(PadName("abc"), "abc" + std::string(13, '\0'));
  EXPECT_EQ(PadName(""), std::string(16, '\0'));
  EXPECT_EQ(PadName("exactly16chars.x"), "exactly16chars.x");
  EXPECT_EQ(PadName("longer_than_16.pcx"), "longer_than_16.pcx");
}

}  // namespace
}  // namespace dfm
