// The main window's event handlers around the install run: Install, Change, the quit
// guard, the abort at the critical-file question and the run after it.
#include "shell/frm_main.h"

#include <gtest/gtest.h>

#include "support/install_fixture.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;

class FrmMainTest : public testing::InstallFixture {
 protected:
  // An empty archive: 20-byte header, no records, directory at 20.
  static std::string EmptyArchive() {
    std::string h(20, '\0');
    h[0] = 20;
    h.replace(4, 4, "PFF3");
    h[12] = 32;
    h[16] = 20;
    return h;
  }
  static std::string QuitQuestion() {
    return "Prgram Is Currently Installing!\r\nIt May Not Be Save To Quit During "
           "Installation!\r\nAre You Sure You Want To Quit?";
  }
  // Asks to close the window during the first pump of line `line` of the run.
  void CloseDuringLine(int line, MsgAnswer answer) {
    dialogs.answers.push_back(answer);
    pump.on_pump = [this, line, asked = false]() mutable {
      if (asked || view.progress.size() < static_cast<std::size_t>(line) + 1) return;
      asked = true;
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

TEST_F(FrmMainTest, TheWindowMovesThroughItsStates) {
  std::vector<std::pair<std::string, std::string>> seen;
  seen.emplace_back("starting", StateRow(MainControls{}));
  seen.emplace_back("ready", StateRow(window.controls()));
  program.Write("a.pcx", "A");
  WriteControl("Pack a.pcx Kyv_DF3_Location\\Dflw.pff\r\n");
  dialogs.answers = {MsgAnswer::kYes};  // abort at the missing archive
  window.ClickInstall();
  seen.emplace_back("ready after abort", StateRow(view.last));
  WriteControl("Delete a.txt\r\n");
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
}

TEST_F(FrmMainTest, InstallWithAnUnknownFolderOnlyTellsTheUser) {
  window.state().game_folders[3] = std::string(kNothing);
  WriteControl("Delete a.txt\r\n");
  window.ClickInstall();
  EXPECT_EQ(dialogs.Texts(), Entries{"Please Set Valid Delta Force 3 Path First!"});
  EXPECT_TRUE(window.controls().install.visible);
  EXPECT_EQ(window.controls().change.caption, "Change");
  EXPECT_EQ(window.controls().window_height, kCollapsedHeight);
  EXPECT_FALSE(program.Exists("InstallLog.txt"));

  window.state().game_folders[3] = "";  // known, though empty
  window.ClickInstall();
  EXPECT_EQ(window.controls().change.caption, "Finished");
}

TEST_F(FrmMainTest, ChangeAsksForTheFolderAndEndsTheProgramOnceFinished) {
  window.state().controls.change.caption = "Set";
  dialogs.folders = {"D:\\LW", std::nullopt};
  window.ClickChange();
  EXPECT_EQ(window.state().game_folders[3], "D:\\LW");
  EXPECT_EQ(view.last.folder, "D:\\LW");
  EXPECT_EQ(view.last.change.caption, "Set");
  window.ClickChange();  // cancelled: the known folder stays
  EXPECT_EQ(window.state().game_folders[3], "D:\\LW");
  EXPECT_EQ(window.controls().folder, "D:\\LW");
  window.state().game_folders[3] = "Nothing";
  window.ClickChange();  // cancelled with none known
  EXPECT_EQ(window.controls().folder, "Nothing");
  EXPECT_EQ(dialogs.prompts, Entries(3, "Please Select Your Delta Force 3 Folder!"));
  EXPECT_FALSE(window.ended());

  window.state().controls.change.caption = "Finished";
  window.ClickChange();
  EXPECT_TRUE(window.ended());
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(dialogs.prompts.size(), 3u);
}

TEST_F(FrmMainTest, CloseRequestsAsksOnlyDuringAnInstallation) {
  EXPECT_TRUE(window.RequestClose());
  WriteControl("Delete a.txt\r\nDelete b.txt\r\n");
  CloseDuringLine(1, MsgAnswer::kNo);
  window.ClickInstall();
  EXPECT_EQ(dialogs.boxes.front().text, QuitQuestion());
  EXPECT_EQ(dialogs.boxes.front().buttons, MsgButtons::kYesNo);
  EXPECT_EQ(Status().size(), 7u);  // both lines ran, then the summary
  EXPECT_FALSE(window.state().quit_requested);
  EXPECT_TRUE(window.RequestClose());  // finished: closes without a question
}

TEST_F(FrmMainTest, ConfirmedQuitEndsTheProgramBeforeTheNextLine) {
  program.Write("a.txt", "a");
  program.Write("b.txt", "b");
  WriteControl("Delete a.txt\r\nDelete b.txt\r\n");
  CloseDuringLine(1, MsgAnswer::kYes);
  window.ClickInstall();
  EXPECT_EQ(Status(), Entries{"Deleting Temporary File ( a.txt )"});
  EXPECT_EQ(Log(), LogOf(Status()));
  EXPECT_EQ(dialogs.Texts(), Entries{QuitQuestion()});
  EXPECT_TRUE(window.ended());
  EXPECT_TRUE(view.ended);
  EXPECT_FALSE(program.Exists("a.txt"));
  EXPECT_TRUE(program.Exists("b.txt"));
  EXPECT_EQ(window.controls().change.caption, "Working!");  // untouched after the end
}

TEST_F(FrmMainTest, QuitConfirmedDuringTheLastLineLetsTheRunComplete) {
  WriteControl("Delete a.txt\r\n");
  CloseDuringLine(1, MsgAnswer::kYes);
  window.ClickInstall();
  EXPECT_FALSE(window.ended());
  EXPECT_EQ(window.controls().change.caption, "Finished");
  EXPECT_EQ(Status().back(), "Installation Completed!");
}

TEST_F(FrmMainTest, AbortRestoresTheWindowAndTheNextRunStartsANewLog) {
  program.Write("a.pcx", "A");
  WriteControl("Pack a.pcx Kyv_DF3_Location\\Dflw.pff\r\nDelete a.pcx\r\n");
  const std::string archive = GameFolder() + "\\Dflw.pff";
  dialogs.answers = {MsgAnswer::kYes};
  window.ClickInstall();
  const Entries first = {"Adding a.pcx To " + archive, NotFound(archive)};
  EXPECT_EQ(Status(), first);
  EXPECT_EQ(Log(), LogOf(first));
  EXPECT_EQ(dialogs.boxes.size(), 1u);  // the question; no closing message
  EXPECT_TRUE(program.Exists("a.pcx"));
  EXPECT_EQ(window.controls().progress_width, 0);
  EXPECT_FALSE(window.state().installing);

  // The user picks the right folder with "Change!" and installs again.
  testing::TempDir other;
  other.Write("Dflw.pff", EmptyArchive());
  dialogs.folders = {other.path().string()};
  window.ClickChange();
  window.ClickInstall();
  const std::string archive2 = other.path().string() + "\\Dflw.pff";
  const Entries second =
      Join({"Adding a.pcx To " + archive2, "Deleting Temporary File ( a.pcx )"}, Summary(2, 0));
  EXPECT_EQ(Status(), second);
  EXPECT_EQ(view.clears, 2);
  EXPECT_EQ(Log(), LogOf(second));
  EXPECT_EQ(window.controls().change.caption, "Finished");
  EXPECT_FALSE(window.controls().install.visible);
}

}  // namespace
}  // namespace dfm
