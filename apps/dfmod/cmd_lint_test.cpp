#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "dfmod/cli.h"
#include "platform/host.h"
#include "script/control_file.h"
#include "support/cli_run.h"
#include "support/temp_dir.h"

namespace dfm::cli {
namespace {

using dfm::testing::TempDir;

using Outcome = dfm::testing::CliOutcome;

Outcome RunLint(const Args& args) {
  return dfm::testing::RunCli(Lint, args);
}

TEST(LintCommand, UnreadableFileIsExit2) {
  TempDir dir;
  for (const auto& [path, why] :
       {std::pair{dir / "missing.ini", "not found"}, std::pair{dir / "Sub/", "is a folder"}}) {
    std::filesystem::create_directories(dir / "Sub");
    Outcome o = RunLint({path});
    EXPECT_EQ(o.code, kExitUsage);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "dfmod: lint: " + path + ": " + why + "\n");
  }
}

TEST(LintCommand, FindingsGoToStdoutAsFileLineMessageAndExit1) {
  TempDir dir;
  const std::string path = dir / "Control.ini";
  dir.Write("Control.ini", "Mod_Name x\r\n\r\nPack a.pcx\rDelete Control.ini\r\nFoo");
  Outcome o = RunLint({path});
  EXPECT_EQ(o.code, kExitFindings);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out,
            path + ":3: 'Pack' needs 3 words, the line has 2: the script run refuses it\n" + path +
                ":4: word 'Control.ini' ends with \"control.ini\": the script run refuses the "
                "line\n" +
                path + ":5: unknown keyword 'Foo': both readers ignore the line\n" + path +
                ":0: no df_version line with a value: the installer stops at start-up\n");
}

TEST(LintCommand, CleanFileIsSilentAndExit0AndOptionsMayComeFirst) {
  TempDir dir;
  dir.Write("Mod/CONTROL.INI", "Df_Version 3\r\nPack a.pcx Kyv_DF3_Location\\Dflw.pff\r\n");
  Outcome o = RunLint({dir.str() + "mod\\control.ini"});  // found as the installer finds it
  EXPECT_EQ(o.code, kExitOk);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(RunLint({"--", dir / "Mod/CONTROL.INI"}).code, kExitOk);
}

TEST(LintCommand, TokensPrintsOneJsonArrayPerPhysicalLine) {
  TempDir dir;
  dir.Write("c.ini", std::string("  Copy \"my file.pcx\"  b \r\n\r\n\xe9t\xe9 \"a\\b\"\rx\ny\r\n") +
                         std::string(kMaxLineLength + 1, 'z') + "\r\nlast");
  Outcome o = RunLint({"--tokens", dir / "c.ini"});
  EXPECT_EQ(o.code, kExitOk);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out,
            "[\"Copy\",\"my file.pcx\",\"b\",\"\"]\n"
            "[\"\"]\n"
            "[\"\\u00e9t\\u00e9\",\"a\\\\b\"]\n"
            "[\"x\\ny\"]\n"
            "[]\n"  // longer than the tokenizer takes: no words
            "[\"last\"]\n");
}

TEST(LintCommand, TokensOfAnEmptyFileIsNothingAndFindingsDoNotChangeTheExitCode) {
  TempDir dir;
  dir.Write("empty.ini", "");
  Outcome o = RunLint({dir / "empty.ini", "--tokens"});
  EXPECT_EQ(o.code, kExitOk);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(RunLint({dir / "empty.ini"}).code, kExitFindings);  // no df_version line
}

// The demo mod's Control.ini shows every key and command, and the installer takes every
// line of it.
TEST(LintCommand, DemoControlFileUsesEveryKeywordAndIsClean) {
  const std::string path = std::string(DFM_SOURCE_DIR) + "/demo/mod/Control.ini";
  Outcome o = RunLint({path});
  EXPECT_EQ(o.code, kExitOk) << o.out;
  EXPECT_EQ(o.out, "");

  auto fs = MakeHostFileSystem();
  auto bytes = ReadWholeFile(*fs, path);
  ASSERT_TRUE(bytes);
  for (std::size_t i = 0; i < bytes->size(); ++i) {
    bool cr = (*bytes)[i] == '\r', lf = (*bytes)[i] == '\n';
    bool cr_before_lf = i + 1 < bytes->size() && (*bytes)[i + 1] == '\n';
    bool lf_after_cr = i > 0 && (*bytes)[i - 1] == '\r';
    EXPECT_TRUE((!cr || cr_before_lf) && (!lf || lf_after_cr)) << "not CR LF at " << i;
  }
  auto lines = ReadControlLines(*fs, path);
  ASSERT_TRUE(lines);
  std::set<std::string> used;
  for (const std::string& line : *lines) used.insert(LowerAscii((*SplitLine(line))[0]));
  for (const Keyword& k : kHeaderKeys) EXPECT_TRUE(used.count(std::string(k.name))) << k.name;
  for (const Keyword& k : kCommands) EXPECT_TRUE(used.count(std::string(k.name))) << k.name;
}

}  // namespace
}  // namespace dfm::cli
