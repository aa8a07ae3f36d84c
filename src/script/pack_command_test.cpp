// Pack lines in whole runs: adds into a real archive, one open-archive slot per archive,
// and archive failures that the archive code reports itself.
#include "script/pack_command.h"

#include <gtest/gtest.h>

#include "pff/pff_archive.h"
#include "support/install_fixture.h"
#include "support/pff_bytes.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;

class PackCommandTest : public testing::InstallFixture {
 protected:
  // An archive without records: header, directory at 20, trailer.
  void WriteEmptyArchive() {
    game.Write("Dflw.pff", testing::PffHeaderBytes(0, 32, 20) + testing::PffTrailerBytes());
  }
};

TEST_F(PackCommandTest, AddsIntoOneSlotPerArchiveWhateverTheLetterCase) {
  WriteEmptyArchive();
  program.Write("a.pcx", "AAA");
  program.Write("b.pcx", "BB");
  WriteControl(
      "Pack a.pcx Kyv_DF3_Location\\Dflw.pff\r\nPack b.pcx Kyv_DF3_Location\\DFLW.PFF\r\n"
      "Delete a.pcx\r\n");
  window.ClickInstall();
  const std::string g = GameFolder();
  const Entries entries =
      Join({"Adding a.pcx To " + g + "\\Dflw.pff", "Adding b.pcx To " + g + "\\DFLW.PFF",
            "Deleting Temporary File ( a.pcx )"},
           Summary(3, 0));
  EXPECT_EQ(Status(), entries);
  EXPECT_EQ(Log(), LogOf(entries));
  EXPECT_EQ(dialogs.Texts(), Entries{"Installation Complete!"});
  EXPECT_EQ(window.archives().size(), 1);
  // Per pack line: after splitting, in the entry, before the add and inside it.
  EXPECT_EQ(pump.count, 1 + 2 * 4 + 2 + 3);

  auto archive = ReadPffArchive(fs, game / "Dflw.pff");
  ASSERT_TRUE(archive.ok());
  ASSERT_EQ(archive->entries().size(), 2u);
  EXPECT_EQ(PffNameText(archive->entries()[0].name), "a.pcx");
  EXPECT_EQ(PffNameText(archive->entries()[1].name), "b.pcx");
  EXPECT_EQ(game.Read("Dflw.pff").substr(20, 5), "AAABB");
  EXPECT_TRUE(program.Exists("b.pcx"));
}

// The archive code shows its message box, and the line gets the run's failure entry and
// one error, so the summary and the log tell of it too.
TEST_F(PackCommandTest, ArchiveFailuresAreShownCountedAndLoggedAndTheRunGoesOn) {
  const std::string archive = GameFolder() + "\\Dflw.pff";
  const std::string empty = testing::PffHeaderBytes(0, 32, 20) + testing::PffTrailerBytes();
  struct Case {
    std::string bytes;  // the archive
    bool full;          // the disk is full when the add writes
    std::string box;    // the archive code's second box
    Failure failure;    // the line's failure entry
  };
  const Failure full{err::kDiskFull, "Disk full (injected)"};
  const Case cases[] = {
      {"short", false, "Error in AddFile, File: \"" + program.str() + "a.pcx\"\r\n",
       Failure{err::kInputPastEndOfFile, "Input past end of file: " + archive}},
      {empty, true,
       "Error in AddFile, File: \"" + program.str() + "a.pcx\"\r\nDisk full (injected)", full},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    game.Write("Dflw.pff", c.bytes);
    program.Write("a.pcx", "A");
    fs.Clear();
    if (c.full) fs.Fail({"write", "Dflw.pff", 0, -1, full});
    dialogs.boxes.clear();
    WriteControl("Pack a.pcx Kyv_DF3_Location\\Dflw.pff\r\nDelete a.pcx\r\n");
    window.ClickInstall();
    const Entries entries = Join(
        {"Adding a.pcx To " + archive,
         "Error Occured In Line #1, LineCode: \"Pack a.pcx Kyv_DF3_Location\\Dflw.pff\" Error: " +
             c.failure.description + ", #" + std::to_string(c.failure.code),
         "Deleting Temporary File ( a.pcx )"},
        Summary(1, 1));
    EXPECT_EQ(Status(), entries);
    EXPECT_EQ(Log(), LogOf(entries));
    ASSERT_EQ(dialogs.boxes.size(), c.full ? 2u : 3u);
    EXPECT_EQ(dialogs.boxes[dialogs.boxes.size() - 2].text.rfind(c.box, 0), 0u);
    EXPECT_EQ(game.Read("Dflw.pff"), c.bytes);
  }
}

}  // namespace
}  // namespace dfm
