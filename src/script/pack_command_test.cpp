// Pack lines in whole runs: adds into a real archive, one open-archive slot per archive,
// and archive failures that the archive code reports itself.
#include "script/pack_command.h"

#include <gtest/gtest.h>

#include "support/install_fixture.h"
#include "support/pff_bytes.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;

using PackCommandTest = testing::InstallFixture;

// One slot per archive whatever the letter case. A failed add is shown by the archive code,
// and the line gets the run's failure entry and one error, so the summary and the log tell
// of it too; the run goes on.
TEST_F(PackCommandTest, AddsIntoOneSlotPerArchiveAndCountsArchiveFailures) {
  const std::string empty = testing::PffHeaderBytes(0, 32, 20) + testing::PffTrailerBytes();
  game.Write("Dflw.pff", empty);
  game.Write("Full.pff", empty);
  program.Write("a.pcx", "AAA");
  program.Write("b.pcx", "BB");
  fs.Fail({"write", "Full.pff", 0, -1, {err::kDiskFull, "Disk full (injected)"}});
  WriteControl(
      "Pack a.pcx Kyv_DF3_Location\\Dflw.pff\r\nPack b.pcx Kyv_DF3_Location\\DFLW.PFF\r\n"
      "Pack a.pcx Kyv_DF3_Location\\Full.pff\r\nDelete a.pcx\r\n");
  window.ClickInstall();
  const std::string g = GameFolder();
  const Entries entries =
      Join({"Adding a.pcx To " + g + "\\Dflw.pff", "Adding b.pcx To " + g + "\\DFLW.PFF",
            "Adding a.pcx To " + g + "\\Full.pff",
            "Error Occured In Line #3, LineCode: \"Pack a.pcx Kyv_DF3_Location\\Full.pff\" Error: "
            "Disk full (injected), #61",
            "Deleting Temporary File ( a.pcx )"},
           Summary(3, 1));
  EXPECT_EQ(Status(), entries);
  EXPECT_EQ(Log(), LogOf(entries));
  ASSERT_EQ(dialogs.boxes.size(), 2u);  // and the summary
  EXPECT_EQ(dialogs.boxes[0].text,
            "Error in AddFile, File: \"" + program.str() + "a.pcx\"\r\nDisk full (injected)");
  EXPECT_EQ(window.archives().size(), 2);
  // Per pack line: after splitting, in the entry, before the add and inside it; one more
  // for the failure entry.
  EXPECT_EQ(pump.count, 1 + 3 * 4 + 1 + 2 + 3);
  const std::string bytes = game.Read("Dflw.pff");  // two records, their names at 16
  EXPECT_EQ(bytes.substr(0, 25), testing::PffHeaderBytes(2, 32, 25) + "AAABB");
  EXPECT_EQ(bytes.substr(25 + 16, 6) + bytes.substr(57 + 16, 6), std::string("a.pcx\0b.pcx\0", 12));
  EXPECT_EQ(game.Read("Full.pff"), empty);
  EXPECT_TRUE(program.Exists("b.pcx"));
}

}  // namespace
}  // namespace dfm
