#include "script/lint.h"

#include <gtest/gtest.h>

#include "script/control_file.h"

namespace dfm {
namespace {

using V = std::vector<std::string>;

// "LINE: message" for each finding.
V Findings(const V& lines) {
  V out;
  for (const LintFinding& f : LintControlLines(lines, PathStyle::kWindows))
    out.push_back(std::to_string(f.line) + ": " + f.message);
  return out;
}

// One row per group of lines: the lines (a version line goes in front, so only the lines
// under test give findings) and the findings expected.
TEST(Lint, FindingsPerLine) {
  using namespace std::string_literals;
  const std::string longest = "Pack a.pcx " + std::string(kMaxLineLength - 11, 'x');
  const std::pair<V, V> rows[] = {
      // Lines both readers take, blanks and remarks.
      {{"Mod_Name \"Dry Creek\"", "Credits_Color_Back 0 32 128 // R G B ",
        "Credits_Color_Fore 255.4 0 -7", "Credits_Font_Size 14pt", "PACK a.pcx b",
        "Delete Kyv_DF3_Location\\Dflw.pff", "Copy a b // c", "Credits Control.ini",
        "Df_Version LW", "Df_Version 0", "Df_Version 2.5", "", "   ", "\t", "//", "// a remark",
        "//Pack a.pcx b", "///", "Credits_Font_Size 2147483647"},
       {}},
      {{"Paack a.pcx b", "; remark", "Install"},
       {"2: unknown keyword 'Paack': both readers ignore the line",
        "3: unknown keyword ';': both readers ignore the line",
        "4: unknown keyword 'Install': both readers ignore the line"}},
      {{"Pack", "Pack a.pcx", "Create_Detail_Map \"a b.tga\""},
       {"2: 'Pack' needs 3 words, the line has 1: the script run skips it",
        "3: 'Pack' needs 3 words, the line has 2: the script run refuses it",
        "4: 'Create_Detail_Map' needs 3 words, the line has 2: the script run refuses it"}},
      {{"Pack a.pcx ", "Move tex84.3di // remark", "Convert_Jpg_To_Tga a.jpg \"\"",
        "Delete Control.ini\0"s, "Mod_Name \"a\0b\""s, "Copy a\0 b"s},
       {"2: 'Pack' target (word 3) is empty: the line lacks its target, and the installer "
        "would take this word for it",
        "3: 'Move' target '//' is a remark marker: the line lacks its target, and the "
        "installer would take this word for it",
        "4: 'Convert_Jpg_To_Tga' target (word 3) is empty: the line lacks its target, and "
        "the installer would take this word for it",
        "5: word 'Control.ini\\x00' holds a NUL byte: the installer refuses it as a bad file "
        "name",
        "6: word 'a\\x00b' holds a NUL byte: the installer refuses it as a bad file name",
        "7: word 'a\\x00' holds a NUL byte: the installer refuses it as a bad file name"}},
      {{"Mod_Name", "Credits_Color_Fore 0 255", "credits_color_shadow"},
       {"2: 'Mod_Name' needs 2 words, the line has 1: start-up passes it over",
        "3: 'Credits_Color_Fore' needs 4 words, the line has 3: start-up passes it over",
        "4: 'credits_color_shadow' needs 4 words, the line has 1: start-up passes it over"}},
      {{"Credits_Color_Fore 0 256 0", "Credits_Color_Back 0 32 300 // R G B",
        "Credits_Color_Back 255.9 0 0", "Credits_Color_Back &H100 0 0",
        "Credits_Color_Back 1e999 0 0"},
       {"2: 'Credits_Color_Fore' value '256' is 256 or more: start-up ignores the line",
        "3: 'Credits_Color_Back' value '300' is 256 or more: start-up ignores the line",
        "5: 'Credits_Color_Back' value '&H100' is 256 or more: start-up ignores the line",
        "6: 'Credits_Color_Back' value '1e999' is 256 or more: start-up ignores the line"}},
      {{"Df_Version 4", "DF_VERSION -1", "df_version 3.5", "Df_Version 32768", "Df_Version 32767.5",
        "Df_Version -32768", "Credits_Font_Size 2147483647.5"},
       {"2: 'Df_Version' value '4' gives game version 4, not 1, 2 or 3: the installer stops "
        "at start-up",
        "3: 'DF_VERSION' value '-1' gives game version -1, not 1, 2 or 3: the installer stops "
        "at start-up",
        "4: 'df_version' value '3.5' gives game version 4, not 1, 2 or 3: the installer stops "
        "at start-up",
        "5: 'Df_Version' value '32768' does not fit a 16-bit number: start-up reports an "
        "error for the line",
        "6: 'Df_Version' value '32767.5' does not fit a 16-bit number: start-up reports an "
        "error for the line",
        "7: 'Df_Version' value '-32768' gives game version -32768, not 1, 2 or 3: the "
        "installer stops at start-up",
        "8: 'Credits_Font_Size' value '2147483647.5' does not fit a 32-bit number: start-up "
        "reports an error for the line"}},
      // Lines naming the control file are refused, remarks and headers too; one word
      // alone is skipped before the guard looks at it.
      {{"Delete Control.ini", "Copy a.pcx b // not Backup\\OLDCONTROL.INI",
        "// keep Control.ini out", "Mod_Name \"My Control.ini\"", "Credits Control.ini",
        "Control.ini", "control.ini x"},
       {"2: word 'Control.ini' ends with \"control.ini\": the script run refuses the line",
        "3: word 'Backup\\OLDCONTROL.INI' ends with \"control.ini\": the script run refuses "
        "the line",
        "4: word 'Control.ini' ends with \"control.ini\": the script run refuses the line",
        "5: word 'My Control.ini' ends with \"control.ini\": the script run refuses the line",
        "7: unknown keyword 'Control.ini': both readers ignore the line",
        "8: word 'control.ini' ends with \"control.ini\": the script run refuses the line"}},
      // The last credits line sets the name, wherever it stands; only its file-name part
      // counts; without a credits line the name is free.
      {{"Delete OLDCREDITS.TXT", "Credits Old.txt", "Delete old.txt", "Credits Docs\\Credits.txt",
        "Delete Credits.txt.bak", "Credits Credits.txt"},
       {"2: word 'OLDCREDITS.TXT' ends with the credits file name 'Credits.txt': the script "
        "run refuses the line"}},
      {{"Delete Credits.txt", "Copy Control.ini.bak x", "CREDITS control.ini x"}, {}},
      {{longest, longest + "x", "Mod_Name x\nDf_Version 2\n"},
       {"3: line has 32767 characters, more than 32766: the installer reports an error and "
        "runs nothing for it",
        "4: line feed without carriage return: the installer ends lines only at CR LF or CR, "
        "so the text after it belongs to this line (save the file with CR LF line ends)"}},
      // Words in messages stay on one readable line; a UTF-8 sequence at the cut is kept
      // whole.
      {{"Bad\x01\x7f\xe9 x", std::string(60, 'k') + "\xc3\xa9" + " x",
        std::string(47, 'k') + "\xc3\xa9 x"},
       {"2: unknown keyword 'Bad\\x01\\x7F\xe9': both readers ignore the line",
        "3: unknown keyword '" + std::string(48, 'k') + "...': both readers ignore the line",
        "4: unknown keyword '" + std::string(47, 'k') + "...': both readers ignore the line"}},
  };
  for (const auto& [lines, expected] : rows) {
    SCOPED_TRACE(lines[0]);
    V with_version = lines;
    with_version.insert(with_version.begin(), "Df_Version 3");
    EXPECT_EQ(Findings(with_version), expected);
  }
  // Without a version line the whole file gets a finding, as line 0; an empty value (a
  // trailing blank) is version 3.
  const std::string no_version =
      "0: no df_version line with a value: the installer stops at start-up";
  EXPECT_EQ(Findings({"Mod_Name x"}), V{no_version});
  EXPECT_EQ(
      Findings({"Df_Version"}),
      (V{"1: 'Df_Version' needs 2 words, the line has 1: start-up passes it over", no_version}));
  EXPECT_EQ(Findings({"Df_Version  "}), V{});
  EXPECT_EQ(CreditsFileName({"Credits a\\b/C.txt", "Credits"}, PathStyle::kPosix), "C.txt");
  EXPECT_EQ(CreditsFileName({"Credits a\\b/C.txt"}, PathStyle::kWindows), "b/C.txt");
  EXPECT_EQ(CreditsFileName({"Credits Credits.txt", "Credits \"\" "}, PathStyle::kWindows), "");
}

}  // namespace
}  // namespace dfm
