#include "shell/install_log.h"

#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::FixedClock;
using testing::TempDir;

// The header names the weekday and month and gives each number two digits; the first
// entry starts the file anew, later ones append.
TEST(InstallLog, FirstEntryStartsTheFileAnewLaterEntriesAppend) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  FixedClock clock;
  clock.now = {2026, 12, 5, 9, 4, 7, 6, 0};
  const std::string path = dir / "InstallLog.txt";
  dir.Write("InstallLog.txt", "an older run's log, longer than the new one\r\n");
  ASSERT_TRUE(WriteInstallLogEntry(*fs, clock, path, "Adding a.pcx To b.pff", true).ok());
  ASSERT_TRUE(WriteInstallLogEntry(*fs, clock, path, "", false).ok());
  ASSERT_TRUE(WriteInstallLogEntry(*fs, clock, path, "last", false).ok());
  EXPECT_EQ(dir.Read("InstallLog.txt"),
            "Kyv Obrik's DF Mod Installer\r\nLog Created On Saturday The 05 Of December At "
            "09:04:07\r\nAdding a.pcx To b.pff\r\n\r\nlast\r\n");

  ASSERT_TRUE(WriteInstallLogEntry(*fs, clock, dir / "new.txt", "appended", false).ok());
  EXPECT_EQ(dir.Read("new.txt"), "appended\r\n");
}

}  // namespace
}  // namespace dfm
