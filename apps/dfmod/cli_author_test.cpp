// dfmod build, lint and image in process: the installer written, the findings, the
// conversions, and the exact messages of their input errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/host.h"
#include "script/control_file.h"
#include "shell/payload.h"
#include "support/cli_run.h"
#include "support/jpeg_samples.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace dfm::cli {
namespace {

using testing::AsText;
using testing::MakeZip;

// The mod-folder layout is checked end to end by tests/cli/build.sh.
TEST(BuildCommand, SlotsComeFromAnExistingInstallerAndAZipIsTakenAsItIs) {
  testing::TempDir dir;
  auto fs = MakeHostFileSystem();
  Bytes slots(kLibrarySlotsSize);
  for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = static_cast<unsigned char>(i * 7);
  Bytes zip = MakeZip({{"Folder/x.txt", "x"}});
  ASSERT_TRUE(WriteInstaller(*fs, dir / "old.exe", {'M', 'Z'}, slots, MakeZip({{"a", "b"}})));
  dir.Write("Main.zip", AsText(zip));
  dir.Write("stub", "stub");
  auto r = RunCli(Build, {"--zip", dir / "Main.zip", "-o", dir / "new.exe", "--stub", dir / "stub",
                          "--libs-from", dir / "old.exe", "--allow-no-control"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string trailer{static_cast<char>(zip.size()), static_cast<char>(zip.size() >> 8),
                            static_cast<char>(zip.size() >> 16), 0};
  EXPECT_EQ(dir.Read("new.exe"), "stub" + AsText(slots) + AsText(zip) + trailer);
}

// The usage mistakes are rows of tests/cli/usage.sh.
TEST(BuildCommand, InputErrorsSayWhatIsWrongAndWriteNothing) {
  testing::TempDir dir;
  dir.Write("stub", "stub");
  dir.Write("mod2/a/Same.txt", "1");
  dir.Write("mod2/b/same.TXT", "2");
  dir.Write("notzip", "hello");
  dir.Write("nocontrol.zip", AsText(MakeZip({{"Folder/Control.ini.txt", "x"}})));
  const std::pair<Args, std::string> rows[] = {
      {{"--mod", dir / "mod2", "--stub", dir / "stub", "-o", dir / "x"},
       "two files would both become same.TXT in Main.zip: " + dir / "mod2" + "/a/Same.txt and " +
           dir / "mod2" + "/b/same.TXT"},
      {{"--zip", dir / "notzip", "--stub", dir / "stub", "-o", dir / "x"},
       dir / "notzip" + ": not a ZIP archive (Not a zip archive)"},
      {{"--zip", dir / "nocontrol.zip", "--stub", dir / "stub", "-o", dir / "x"},
       dir / "nocontrol.zip" +
           ": no Control.ini among its entries: the installer could never start "
           "(--allow-no-control builds it anyway)"},
  };
  for (const auto& [args, message] : rows) {
    auto r = RunCli(Build, args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "dfmod: build: " + message + "\n");
  }
  EXPECT_FALSE(dir.Exists("x"));
  // In this test program no installer was built beside the running program.
  auto r = RunCli(Build, {"--mod", dir / "mod2", "-o", dir / "x"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("DFModInstaller); pass --stub FILE\n"), std::string::npos);
}

// Without --stub: beside dfmod, then ../lib/dfmod/ (where the packages put the stubs).
TEST(BuildCommand, StubIsFoundBesideDfmodThenInLibDfmod) {
  EXPECT_EQ(
      StubPlaces("C:\\dfmod\\bin\\dfmod.exe", StubKind::kHost, PathStyle::kWindows),
      (Args{"C:\\dfmod\\bin\\DFModInstaller.exe", "C:\\dfmod\\lib\\dfmod\\DFModInstaller.exe"}));
  EXPECT_EQ(StubPlaces("/dfmod", StubKind::kWindows, PathStyle::kPosix),
            Args{"/DFModInstaller.exe"});
  testing::TempDir dir;
  auto at = [&](const char* p) { return std::filesystem::path(dir / p).make_preferred().string(); };
  auto fs = MakeHostFileSystem();
  dir.Write("usr/lib/dfmod/DFModInstaller.exe", "lib");
  EXPECT_EQ(*FindStub(*fs, at("usr/bin/dfmod"), StubKind::kWindows),
            at("usr/lib/dfmod/DFModInstaller.exe"));
  dir.Write("usr/bin/DFModInstaller.exe", "beside");
  EXPECT_EQ(*FindStub(*fs, at("usr/bin/dfmod"), StubKind::kWindows),
            at("usr/bin/DFModInstaller.exe"));
  EXPECT_EQ(FindStub(*fs, at("usr/dfmod"), StubKind::kWindows).failure().description,
            "no Windows installer program beside dfmod or in ../lib/dfmod (" +
                at("usr/DFModInstaller.exe") + ", " + at("lib/dfmod/DFModInstaller.exe") +
                "); pass --stub FILE");
}

// dfmod.1 is the help table in roff: a section per row, options as tagged paragraphs whose
// meaning is joined over its lines, hyphens escaped.
TEST(ManPage, EveryRowIsASectionWithItsOptionsAndExample) {
  std::ostringstream os;
  PrintManPage(os);
  const std::string page = os.str();
  for (const CommandHelp& h : HelpTable())
    EXPECT_NE(page.find(".SS \"dfmod " + std::string(h.name) + "\"\n"), std::string::npos)
        << h.name;
  for (const char* part :
       {".TP\n.B \\-\\-restore\\-dir DIR\nthe folder of restore points (default: "
        "DFMOD_RESTORE_DIR, else $XDG_DATA_HOME/dfmod/restore)\n",
        "\ndfmod run DryCreekSetup \\-\\-game\\-folder \"3=/games/Land Warrior\"\n"})
    EXPECT_NE(page.find(part), std::string::npos) << part;
}

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
    for (const auto& a : call.args) args.push_back(Fill(a, "{file}", file));
    auto r = RunCli(Lint, args);
    EXPECT_EQ(r.code, call.code);
    EXPECT_EQ(r.out, Fill(call.out, "{file}", file));
    EXPECT_EQ(r.err, "");
  }
}

// A JPEG becomes a TGA and that a detail map; unreadable pictures exit 1 with the message.
TEST(ImageCommand, ConvertsOrSaysWhyNot) {
  testing::TempDir dir;
  dir.Write("in.jpg", AsText(testing::SampleJpeg(16, 8)));
  dir.Write("bad.jpg", "no picture here");
  dir.Write("bad.tga", std::string(18, '\0'));
  const std::pair<Args, std::string> rows[] = {
      {{"jpg2tga", "in.jpg", "out.tga"}, ""},
      {{"detailmap", "out.tga", "out.pcx"}, ""},
      {{"jpg2tga", "bad.jpg", "bad.tga"},
       "[dfmod] Failed to read JPG\ndfmod: image jpg2tga: Overflow: no picture was decoded from " +
           (dir / "bad.jpg") + " (error 6)\n"},
      {{"detailmap", "bad.tga", "bad.pcx"},
       "dfmod: image detailmap: Invalid file format: " + (dir / "bad.tga") +
           " gives a picture of 0 x 0 pixels (error 321)\n"},
  };
  for (const auto& [args, err] : rows) {
    auto r = RunCli(Main, {"image", args[0], dir / args[1], dir / args[2]});
    EXPECT_EQ(r.code, err.empty() ? kExitOk : kExitFindings);
    EXPECT_EQ(r.err, err);
  }
  EXPECT_EQ(dir.Read("out.tga").size(), 18u + 16 * 8 * 3 + 50);
  EXPECT_EQ(dir.Read("out.pcx").substr(0, 4), std::string("\x0A\x05\x01\x08", 4));
  EXPECT_GT(dir.Read("out.pcx").size(), 128u + 769);
  EXPECT_EQ(dir.Read("bad.tga"), std::string(18, '\0'));  // the failed conversion wrote nothing
  EXPECT_FALSE(dir.Exists("bad.pcx"));
}

}  // namespace
}  // namespace dfm::cli
