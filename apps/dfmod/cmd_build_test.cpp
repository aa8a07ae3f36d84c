#include <gtest/gtest.h>

#include "dfmod/cli.h"
#include "platform/host.h"
#include "shell/payload.h"
#include "support/cli_run.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace dfm::cli {
namespace {

using dfm::testing::AsText;
using dfm::testing::MakeZip;
using dfm::testing::RunCli;

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

}  // namespace
}  // namespace dfm::cli
