// The main window's event handlers around the install run: Install, Change, the quit
// guard, the abort at the critical-file question and the run after it.
#include "shell/main_window.h"

#include <gtest/gtest.h>

#include "support/install_fixture.h"
#include "support/pff_bytes.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;

class MainWindowTest : public testing::InstallFixture {
 protected:
  const std::string quit_question =
      "Prgram Is Currently Installing!\r\nIt May Not Be Save To Quit During "
      "Installation!\r\nAre You Sure You Want To Quit?";
  // Asks to close the window during the first pump of each line given, answering as given.
  void CloseDuring(std::vector<std::pair<std::size_t, MsgAnswer>> lines) {
    for (const auto& line : lines) dialogs.answers.push_back(line.second);
    pump.on_pump = [this, lines, next = std::size_t{0}]() mutable {
      if (next == lines.size() || view.progress.size() < lines[next].first + 1) return;
      ++next;
      EXPECT_FALSE(window.RequestClose());
    };
  }
};

// Install, Change and the status frame as a row of the window's state table.
std::string StateRow(const MainControls& c) {
  auto button = [](const ButtonState& b) {
    return b.caption + (b.visible ? "" : " hidden") + (b.enabled ? "" : " disabled");
  };
  return button(c.install) + " | " + button(c.change) + " | frame " +
         std::to_string(c.status_frame_left) + " height " + std::to_string(c.window_height) +
         (c.pointer == MousePointer::kWait ? " wait" : "");
}

// An abort leaves the window ready; the user picks the right folder with "Change!" and
// installs again, into a new log.
TEST_F(MainWindowTest, TheWindowMovesThroughItsStatesAndAnAbortLeavesItReady) {
  std::vector<std::pair<std::string, std::string>> seen;
  seen.emplace_back("starting", StateRow(MainControls{}));
  seen.emplace_back("ready", StateRow(window.controls()));
  program.Write("a.pcx", "A");
  WriteControl("Pack a.pcx Kyv_DF3_Location\\Dflw.pff\r\nDelete a.pcx\r\n");
  const std::string archive = GameFolder() + "\\Dflw.pff";
  dialogs.answers = {MsgAnswer::kYes};  // abort at the missing archive
  window.ClickInstall();
  seen.emplace_back("ready after abort", StateRow(view.last));
  const Entries first = {"Adding a.pcx To " + archive, NotFound(archive)};
  EXPECT_EQ(Status(), first);
  EXPECT_EQ(Log(), LogOf(first));
  EXPECT_EQ(dialogs.boxes.size(), 1u);  // the question; no closing message
  EXPECT_TRUE(program.Exists("a.pcx"));
  EXPECT_EQ(window.controls().progress_width, 0);

  testing::TempDir other;
  other.Write("Dflw.pff", testing::PffHeaderBytes(0, 32, 20));
  dialogs.folders = {other.path().string()};
  window.ClickChange();
  pump.on_pump = [&] {
    if (seen.size() == 3 && window.state().installing)
      seen.emplace_back("installing", StateRow(view.last));
  };
  window.ClickInstall();
  seen.emplace_back("finished", StateRow(view.last));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"starting", "Install disabled | Change hidden | frame -20000 height 2115"},
      {"ready", "Install | Change | frame -20000 height 2115"},
      {"ready after abort", "Install | Change! | frame -20000 height 2115"},
      {"installing", "Install hidden | Working! disabled | frame 0 height 4710 wait"},
      {"finished", "Install hidden | Finished | frame 0 height 4710"},
  };
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(window.controls().progress_width, kStatusListWidth);
  const Entries second = Join({"Adding a.pcx To " + other.path().string() + "\\Dflw.pff",
                               "Deleting Temporary File ( a.pcx )"},
                              Summary(2, 0));
  EXPECT_EQ(Status(), second);
  EXPECT_EQ(view.clears, 2);
  EXPECT_EQ(Log(), LogOf(second));
}

// Change asks for the folder (a cancel or a failed browser keeps the one known); Install without a
// known folder only tells the user; once the run finished, Change ends the program.
TEST_F(MainWindowTest, ChangeAsksForTheFolderInstallNeedsOneAndFinishedEndsTheProgram) {
  window.state().controls.change.caption = "Set";
  dialogs.folders = {"D:\\LW", std::nullopt};
  window.ClickChange();
  EXPECT_EQ(view.last.folder, "D:\\LW");
  EXPECT_EQ(view.last.change.caption, "Set");
  window.ClickChange();  // cancelled: the known folder stays
  dialogs.browse_failure = Failure{err::kInvalidProcedureCall, "no chooser"};
  window.ClickChange();  // failed: said so, and the known folder stays
  EXPECT_EQ(window.state().game_folders[3], "D:\\LW");
  EXPECT_EQ(window.controls().folder, "D:\\LW");
  window.state().game_folders[3] = std::string(kNothing);
  window.ClickChange();  // cancelled with none known
  EXPECT_EQ(window.controls().folder, "Nothing");
  EXPECT_EQ(dialogs.prompts, Entries(4, "Please Select Your Delta Force 3 Folder!"));

  WriteControl("Delete a.txt\r\n");
  window.ClickInstall();
  EXPECT_EQ(dialogs.Texts(),
            (Entries{"Error: no chooser, #5", "Please Set Valid Delta Force 3 Path First!"}));
  EXPECT_TRUE(window.controls().install.visible);
  EXPECT_EQ(window.controls().change.caption, "Set");
  EXPECT_EQ(window.controls().window_height, kCollapsedHeight);
  EXPECT_FALSE(program.Exists("InstallLog.txt"));
  window.state().game_folders[3] = "";  // known, though empty
  window.ClickInstall();
  EXPECT_EQ(window.controls().change.caption, "Finished");
  EXPECT_FALSE(window.ended());
  window.ClickChange();
  EXPECT_TRUE(window.ended());
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(dialogs.prompts.size(), 4u);
}

// "No", or "Yes" during the last line, lets the run complete.
TEST_F(MainWindowTest, CloseRequestsAsksOnlyDuringAnInstallation) {
  EXPECT_TRUE(window.RequestClose());
  WriteControl("Delete a.txt\r\nDelete b.txt\r\n");
  CloseDuring({{1, MsgAnswer::kNo}, {2, MsgAnswer::kYes}});
  window.ClickInstall();
  EXPECT_EQ(
      dialogs.Texts(),
      (Entries{quit_question, quit_question,
               "Installation Complete!\r\nHowever There Where 2 Errors!\r\nPlease Consult The "
               "\"InstallLog.txt\" For More Information!"}));
  EXPECT_EQ(dialogs.boxes.front().buttons, MsgButtons::kYesNo);
  EXPECT_EQ(Status().size(), 7u);  // both lines ran, then the summary
  EXPECT_FALSE(window.ended());
  EXPECT_EQ(window.controls().change.caption, "Finished");
  EXPECT_TRUE(window.RequestClose());  // finished: closes without a question
}

TEST_F(MainWindowTest, ConfirmedQuitEndsTheProgramBeforeTheNextLine) {
  program.Write("a.txt", "a");
  program.Write("b.txt", "b");
  WriteControl("Delete a.txt\r\nDelete b.txt\r\n");
  CloseDuring({{1, MsgAnswer::kYes}});
  window.ClickInstall();
  EXPECT_EQ(Status(), Entries{"Deleting Temporary File ( a.txt )"});
  EXPECT_EQ(Log(), LogOf(Status()));
  EXPECT_EQ(dialogs.Texts(), Entries{quit_question});
  EXPECT_TRUE(window.ended());
  EXPECT_TRUE(view.ended);
  EXPECT_FALSE(program.Exists("a.txt"));
  EXPECT_TRUE(program.Exists("b.txt"));
  EXPECT_EQ(window.controls().change.caption, "Working!");  // untouched after the end
}

}  // namespace
}  // namespace dfm
