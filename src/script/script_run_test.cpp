// Whole install runs through the main window's presenter: the exact status entries,
// log file, summary and final window state.
#include "script/script_run.h"

#include <gtest/gtest.h>

#include "support/install_fixture.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;

class ScriptRunTest : public testing::InstallFixture {
 protected:
  std::string P() const { return program.str(); }
  std::string G() const { return GameFolder(); }
  static std::string Refused(int line, const std::string& word) {
    return "Error: Invalid Or Missing Command Parameter On Line: " + std::to_string(line) +
           ", Command: \"" + word + "\"";
  }
  static std::string ClosingWithErrors(int errors) {
    return "Installation Complete!\r\nHowever There Where " + std::to_string(errors) +
           " Errors!\r\nPlease Consult The \"InstallLog.txt\" For More Information!";
  }
  // Runs Install and checks that the status list, the view and the log agree on `entries`,
  // and the message boxes shown.
  void InstallExpecting(const Entries& entries, const Entries& boxes) {
    dialogs.boxes.clear();
    window.ClickInstall();
    EXPECT_EQ(Status(), entries);
    EXPECT_EQ(view.status, entries);
    EXPECT_EQ(Log(), LogOf(entries));
    EXPECT_EQ(dialogs.Texts(), boxes);
  }
};

// One run per row; each run starts with the files the last one left.
TEST_F(ScriptRunTest, RunsGiveTheirEntriesLogAndClosingBox) {
  // A header-only file gives the summary alone. The window is pumped once before the run,
  // after each line and in each entry.
  WriteControl("Mod_Name \"A Mod\"\r\nDf_Version 3\r\n \r\nCredits_Font_Size 14\r\n");
  InstallExpecting(Summary(0, 0), {"Installation Complete!"});
  EXPECT_EQ(dialogs.boxes[0].title, "");
  EXPECT_EQ(pump.count, 1 + 4 + 3);
  EXPECT_FALSE(window.state().installing);
  EXPECT_FALSE(window.ended());

  // Lines: 1 "Pack", 2 "", 3 "Pack " (two words), 4 "Delete", 5 "Delete gone.txt",
  // 6 "Copy a.txt" (lone CR ends it), 7 "Copy a.txt " (three words, the third empty).
  WriteControl("Pack\r\n\r\nPack \r\nDelete\r\nDelete gone.txt\r\nCopy a.txt\rCopy a.txt ");
  InstallExpecting(
      Join({Refused(3, "Pack"), "Deleting Temporary File ( gone.txt )", NotFound(P() + "gone.txt"),
            Refused(6, "Copy"), "Copying a.txt To \\a.txt", NotFound(P() + "a.txt")},
           Summary(0, 4)),
      {ClosingWithErrors(4)});
  EXPECT_EQ(window.last_run().operations, 4);
  EXPECT_EQ(window.last_run().errors, 4);

  // Move, Pack and Convert report their missing source (no critical-file question); copy,
  // delete and detail maps do in their own tests.
  WriteControl(
      "Move b.txt Kyv_DF3_Location\\x.txt\r\nPack d.pcx Kyv_DF3_Location\\Dflw.pff\r\n"
      "Convert_Jpg_To_Tga e.jpg e.tga\r\n");
  InstallExpecting(Join({"Moving b.txt To " + G() + "\\b.txt", NotFound(P() + "b.txt"),
                         "Adding d.pcx To " + G() + "\\Dflw.pff", NotFound(P() + "d.pcx"),
                         "Converting e.jpg To e.tga", NotFound(P() + "e.jpg")},
                        Summary(0, 3)),
                   {ClosingWithErrors(3)});

  // Line failures outside commands count as failed operations: the file changed after
  // start-up (no line count), and a line too long to split.
  program.Write("a.txt", "a");
  const std::string long_line = "Delete " + std::string(32760, 'x');
  WriteControl("Delete a.txt\r\n" + long_line + "\r\n");
  window.state().control_line_count = 0;
  InstallExpecting(
      Join(
          {"Error Occured In Line #1, LineCode: \"Delete a.txt\" Error: Division by zero, #11",
           "Deleting Temporary File ( a.txt )",
           "Error Occured In Line #2, LineCode: \"" + long_line + "\" Error: Division by zero, #11",
           "Error Occured In Line #2, LineCode: \"" + long_line +
               "\" Error: Overflow: the line is longer than 32766 characters, #6"},
          Summary(1, 3)),
      {ClosingWithErrors(3)});
  EXPECT_FALSE(program.Exists("a.txt"));

  // An unreadable control file is reported once, as line 0.
  WriteControl("Delete a.txt\r\n");
  fs.Fail({"open", "Control.ini"});
  InstallExpecting(Join({"Error Occured In Line #0, LineCode: \"\" Error: Device I/O error "
                         "(injected), #57"},
                        Summary(0, 1)),
                   {ClosingWithErrors(1)});
  EXPECT_EQ(window.controls().change.caption, "Finished");

  // A missing control file gives one error and the summary.
  fs.Clear();
  std::filesystem::remove(program.path() / "Control.ini");
  InstallExpecting(Join({"Error: File Not Found! ( " + P() +
                         "Control.ini ), Installation could not be completed!"},
                        Summary(0, 1)),
                   {ClosingWithErrors(1)});

  // A missing archive answered No goes on with the next line.
  program.Write("a.pcx", "A");
  WriteControl("Pack a.pcx Kyv_DF3_Location\\Dflw.pff\r\nDelete a.pcx\r\n");
  const std::string archive = G() + "\\Dflw.pff";
  InstallExpecting(
      Join({"Adding a.pcx To " + archive, NotFound(archive), "Deleting Temporary File ( a.pcx )"},
           Summary(1, 1)),
      {"A critical Delta Force file was not found: \r\n( " + archive +
           " )\r\nThis is most likely due to an invalid Delta Force path!\r\n"
           "Would you like to abort installation? (so you can select a valid path)",
       ClosingWithErrors(1)});
  EXPECT_EQ(dialogs.boxes[0].title, "Warning: Critical File Missing!");
  EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::kYesNo);
  EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::kNone);
  EXPECT_FALSE(program.Exists("a.pcx"));

  // Lines naming the control file or the credits file are refused.
  window.state().credits.file = "Credits.txt";
  program.Write("Credits.txt", "credits");
  program.Write("OLDCREDITS.TXT", "old");
  WriteControl(
      "Credits Credits.txt\r\nCredits Control.ini\r\nDelete Credits.txt\r\n"
      "Delete OLDCREDITS.TXT\r\nMod_Name \"My control.ini\"\r\ncopy Backup\\Control.ini x\r\n");
  InstallExpecting(
      Join({Refused(3, "Delete"), Refused(4, "Delete"), Refused(5, "Mod_Name"), Refused(6, "copy")},
           Summary(0, 4)),
      {ClosingWithErrors(4)});
  EXPECT_TRUE(program.Exists("Credits.txt"));
  EXPECT_TRUE(program.Exists("OLDCREDITS.TXT"));
}

TEST_F(ScriptRunTest, ProgressGrowsPerLineRoundedHalfToEvenUpToTheListWidth) {
  WriteControl("a\r\nb\r\nc\r\nd\r\n");
  window.ClickInstall();
  // 1744 (1743.75), 3488 (3487.5 to even), 5231 (5231.25), 6975; 15 is the initial width.
  EXPECT_EQ(view.progress, (std::vector<int>{15, 1744, 3488, 5231, 6975}));
  EXPECT_EQ(ProgressWidth(3, 2, 6975).value(), 10462);  // the file grew since start-up
  EXPECT_EQ(ProgressWidth(1, 0, 6975).failure().code, err::kDivisionByZero);
}

TEST_F(ScriptRunTest, UnwritableLogStillFillsTheListAndIsReportedOncePerRun) {
  program.Write("a.txt", "a");
  WriteControl("Delete a.txt\r\nDelete b.txt\r\n");
  fs.Fail({"open", "InstallLog.txt"});
  const Entries entries = Join({"Deleting Temporary File ( a.txt )",
                                "Deleting Temporary File ( b.txt )", NotFound(P() + "b.txt")},
                               Summary(1, 1));
  const std::string failure = "Error in AddLogEntry\r\nDevice I/O error (injected)";
  EXPECT_EQ(window.RunInstallScript(), RunOutcome::kCompleted);
  EXPECT_EQ(Status(), entries);
  EXPECT_EQ(dialogs.Texts(), (Entries{failure, ClosingWithErrors(1)}));
  EXPECT_FALSE(program.Exists("InstallLog.txt"));

  EXPECT_EQ(window.RunInstallScript(), RunOutcome::kCompleted);  // a new run reports again
  EXPECT_EQ(dialogs.Texts(),
            (Entries{failure, ClosingWithErrors(1), failure, ClosingWithErrors(2)}));
}

}  // namespace
}  // namespace dfm
