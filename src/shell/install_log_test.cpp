#include "shell/install_log.h"

#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::FixedClock;
using testing::TempDir;

TEST(InstallLog, HeaderNamesWeekdayTwoDigitDayMonthAndTime) {
  FixedClock clock;
  clock.now = {2026, 12, 5, 15, 42, 7, 6, 0};
  EXPECT_EQ(InstallLogHeader(clock),
            "Kyv Obrik's DF Mod Installer\r\n"
            "Log Created On Saturday The 05 Of December At 15:42:07\r\n");
  clock.now = {2027, 3, 21, 9, 5, 0, 0, 0};
  EXPECT_EQ(
      InstallLogHeader(clock),
      "Kyv Obrik's DF Mod Installer\r\nLog Created On Sunday The 21 Of March At 09:05:00\r\n");
}

TEST(InstallLog, FirstEntryStartsTheFileAnewLaterEntriesAppend) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  FixedClock clock;
  const std::string path = dir / "InstallLog.txt";
  dir.Write("InstallLog.txt", "an older run's log, longer than the new one\r\n");
  ASSERT_TRUE(WriteInstallLogEntry(*fs, clock, path, "Adding a.pcx To b.pff", true).ok());
  ASSERT_TRUE(WriteInstallLogEntry(*fs, clock, path, "", false).ok());
  ASSERT_TRUE(WriteInstallLogEntry(*fs, clock, path, "last", false).ok());
  EXPECT_EQ(dir.Read("InstallLog.txt"),
            InstallLogHeader(clock) + "Adding a.pcx To b.pff\r\n\r\nlast\r\n");

  ASSERT_TRUE(WriteInstallLogEntry(*fs, clock, dir / "new.txt", "appended", false).ok());
  EXPECT_EQ(dir.Read("new.txt"), "appended\r\n");
}

}  // namespace
}  // namespace dfm
