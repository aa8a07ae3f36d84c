#include <gtest/gtest.h>

#include <set>

#include "dfmod/cli.h"
#include "platform/host.h"
#include "script/control_file.h"
#include "support/cli_run.h"
#include "support/temp_dir.h"

namespace dfm::cli {
namespace {

using dfm::testing::RunCli;

// One dfmod lint call each: the file's bytes, the arguments ({file} is its path), the exit
// code and stdout. Unreadable files and the simple cases are rows of tests/cli/lint.sh.
struct LintCall {
  std::string bytes;
  std::vector<std::string> args;
  int code;
  std::string out;
};

TEST(LintCommand, PrintsFindingsOrTheWordsOfEveryLine) {
  testing::TempDir dir;
  const std::string file = dir / "Mod/CONTROL.INI";
  const LintCall calls[] = {
      {"Mod_Name x\r\n\r\nPack a.pcx\rDelete Control.ini\r\nFoo",
       {"{file}"},
       kExitFindings,
       "{file}:3: 'Pack' needs 3 words, the line has 2: the script run refuses it\n"
       "{file}:4: word 'Control.ini' ends with \"control.ini\": the script run refuses the line\n"
       "{file}:5: unknown keyword 'Foo': both readers ignore the line\n"
       "{file}:0: no df_version line with a value: the installer stops at start-up\n"},
      // Found as the installer finds it, in any letter case; options may come first.
      {"Df_Version 3\r\nPack a.pcx Kyv_DF3_Location\\Dflw.pff\r\n",
       {"--", dir.str() + "mod\\control.ini"},
       kExitOk,
       ""},
      {std::string("  Copy \"my file.pcx\"  b \r\n\r\n\xe9t\xe9 \"a\\b\"\rx\ny\r\n") +
           std::string(kMaxLineLength + 1, 'z') + "\r\nlast",
       {"--tokens", "{file}"},
       kExitOk,
       "[\"Copy\",\"my file.pcx\",\"b\",\"\"]\n[\"\"]\n[\"\\u00e9t\\u00e9\",\"a\\\\b\"]\n"
       "[\"x\\ny\"]\n[]\n[\"last\"]\n"},  // a line longer than the tokenizer takes: no words
      {"", {"{file}", "--tokens"}, kExitOk, ""},
  };
  for (const LintCall& call : calls) {
    SCOPED_TRACE(call.bytes.substr(0, 20));
    dir.Write("Mod/CONTROL.INI", call.bytes);
    Args args;
    for (const auto& a : call.args) args.push_back(a == "{file}" ? file : a);
    auto r = RunCli(Lint, args);
    EXPECT_EQ(r.code, call.code);
    std::string out = call.out;
    for (auto at = out.find("{file}"); at != std::string::npos; at = out.find("{file}"))
      out.replace(at, 6, file);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, "");
  }
}

// The demo mod's Control.ini shows every key and command (tests/cli/lint.sh: and is clean).
TEST(LintCommand, DemoControlFileUsesEveryKeyword) {
  auto fs = MakeHostFileSystem();
  auto lines = ReadControlLines(*fs, std::string(DFM_SOURCE_DIR) + "/demo/mod/Control.ini");
  ASSERT_TRUE(lines);
  std::set<std::string> used;
  for (const std::string& line : *lines) used.insert(LowerAscii((*SplitLine(line))[0]));
  for (const Keyword& k : kHeaderKeys) EXPECT_TRUE(used.count(std::string(k.name))) << k.name;
  for (const Keyword& k : kCommands) EXPECT_TRUE(used.count(std::string(k.name))) << k.name;
}

}  // namespace
}  // namespace dfm::cli
