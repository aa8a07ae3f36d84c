#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "dfmod/cli.h"
#include "platform/host.h"
#include "shell/payload.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "zip/zip_archive.h"

namespace dfm::cli {
namespace {

using dfm::testing::AsText;
using dfm::testing::MakeZip;
using dfm::testing::TempDir;

class BuildTest : public ::testing::Test {
 protected:
  BuildTest() {
    dir.Write("stub", "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(dir / "stub", std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    dir.Write("mod/Control.ini", "mod_name Demo\r\n");
    dir.Write("mod/Textures/adob1000.pcx", std::string(3000, 'p'));
    dir.Write("mod/credits.txt", "thanks");
  }
  int Run(const Args& args) {
    out.str("");
    err.str("");
    return Build(args, io);
  }
  std::vector<std::string> EntryNames(const std::string& installer) {
    auto fs = MakeHostFileSystem();
    auto layout = ReadPayloadLayout(*fs, installer);
    EXPECT_TRUE(layout);
    auto zip = ReadPayloadPiece(*fs, installer, layout->main_zip_offset, layout->main_zip_length);
    auto archive = ZipArchive::FromBytes(*zip);
    EXPECT_TRUE(archive);
    std::vector<std::string> names;
    for (std::uint64_t i = 0; i < archive->EntryCount(); ++i)
      names.push_back(archive->Entry(i)->name);
    return names;
  }

  TempDir dir;
  std::ostringstream out, err;
  Io io{out, err};
};

TEST_F(BuildTest, ModFolderBecomesAFlatMainZipBehindZeroSlots) {
  ASSERT_EQ(Run({"--mod", dir / "mod", "--stub", dir / "stub", "-o", dir / "Setup"}), kExitOk)
      << err.str();
  std::string built = dir.Read("Setup");
  const std::string stub = dir.Read("stub");
  ASSERT_GT(built.size(), stub.size() + kLibrarySlotsSize + 4);
  EXPECT_EQ(built.substr(0, stub.size()), stub);
  EXPECT_EQ(built.substr(stub.size(), kLibrarySlotsSize), std::string(kLibrarySlotsSize, '\0'));
  const std::size_t n = built.size() - stub.size() - kLibrarySlotsSize - 4;
  const std::string trailer = built.substr(built.size() - 4);
  EXPECT_EQ(trailer, (std::string{static_cast<char>(n), static_cast<char>(n >> 8),
                                  static_cast<char>(n >> 16), static_cast<char>(n >> 24)}));
  EXPECT_EQ(built.substr(stub.size() + kLibrarySlotsSize, 2), "PK");
  EXPECT_EQ(EntryNames(dir / "Setup"),
            (std::vector<std::string>{"adob1000.pcx", "Control.ini", "credits.txt"}));
  EXPECT_EQ(out.str().substr(0, out.str().find('\n')),
            dir / "Setup" + ": " + std::to_string(built.size()) +
                " bytes, Main.zip with 3 entries, library slots zero-filled");
  auto perms = std::filesystem::status(dir / "Setup").permissions();
  EXPECT_NE(perms & std::filesystem::perms::owner_exec, std::filesystem::perms::none);
}

TEST_F(BuildTest, SlotsComeFromAnExistingInstallerAndAZipIsTakenAsItIs) {
  auto fs = MakeHostFileSystem();
  Bytes slots(kLibrarySlotsSize);
  for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = static_cast<unsigned char>(i * 7);
  Bytes zip = MakeZip({{"Folder/x.txt", "x"}});
  ASSERT_TRUE(WriteInstaller(*fs, dir / "old.exe", {'M', 'Z'}, slots, MakeZip({{"a", "b"}})));
  dir.Write("Main.zip", AsText(zip));
  ASSERT_EQ(Run({"--zip", dir / "Main.zip", "-o", dir / "new.exe", "--stub", dir / "stub",
                 "--libs-from", dir / "old.exe", "--allow-no-control"}),
            kExitOk)
      << err.str();
  const std::string trailer{static_cast<char>(zip.size()), static_cast<char>(zip.size() >> 8),
                            static_cast<char>(zip.size() >> 16), 0};
  EXPECT_EQ(dir.Read("new.exe"), dir.Read("stub") + AsText(slots) + AsText(zip) + trailer);
}

TEST_F(BuildTest, UsageAndInputErrorsSayWhatIsWrong) {
  dir.Write("mod2/a/Same.txt", "1");
  dir.Write("mod2/b/same.TXT", "2");
  dir.Write("notzip", "hello");
  dir.Write("nocontrol.zip", AsText(MakeZip({{"Folder/Control.ini.txt", "x"}})));
  struct Case {
    Args args;
    std::string message;
  };
  const Case cases[] = {
      // the usage mistakes are rows of tests/cli/usage.sh
      {{"--mod", "a", "--zip", "b", "-o", "x"},
       "build: give exactly one of --mod DIR and --zip MAIN.ZIP; see 'dfmod build --help'"},
      {{"--mod", dir / "mod2", "--stub", dir / "stub", "-o", dir / "x"},
       "build: two files would both become same.TXT in Main.zip: " + dir / "mod2" +
           "/a/Same.txt and " + dir / "mod2" + "/b/same.TXT"},
      {{"--zip", dir / "notzip", "--stub", dir / "stub", "-o", dir / "x"},
       "build: " + dir / "notzip" + ": not a ZIP archive (Not a zip archive)"},
      {{"--zip", dir / "nocontrol.zip", "--stub", dir / "stub", "-o", dir / "x"},
       "build: " + dir / "nocontrol.zip" +
           ": no Control.ini among its entries: the installer could never start "
           "(--allow-no-control builds it anyway)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), kExitUsage);
    EXPECT_EQ(err.str(), "dfmod: " + c.message + "\n");
  }
  EXPECT_FALSE(dir.Exists("x"));
  // In this test program no installer was built beside the running program.
  EXPECT_EQ(Run({"--mod", dir / "mod", "-o", dir / "x"}), kExitUsage);
  EXPECT_NE(err.str().find("DFModInstaller); pass --stub FILE\n"), std::string::npos);
}

}  // namespace
}  // namespace dfm::cli
