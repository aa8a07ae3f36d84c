// The installed-mods window over real restore points in memory: the rows, Remove's
// questions and outcomes, the refresh, and a failed undo.
#include "shell/installed_mods_window.h"

#include <gtest/gtest.h>

#include "support/memory_platform.h"

namespace dfm::testing {
namespace {

using Lines = std::vector<std::string>;
constexpr char kStore[] = "M/R";

struct RecordingModsView : InstalledModsView {
  InstalledModsControls last;
  Lines progress;  // "done/total" each time an undo showed the window busy
  Lines texts, closes;
  void ControlsChanged(const InstalledModsControls& c) override {
    if (c.busy)
      progress.push_back(std::to_string(c.progress_done) + "/" + std::to_string(c.progress_total));
    last = c;
  }
  void ShowText(const std::string& title, const std::string& text) override {
    texts.push_back(title + "\n" + text);
  }
  void Close() override { closes.push_back("closed"); }
};

class InstalledModsTest : public ::testing::Test, public MemoryPlatform {
 protected:
  InstalledModsTest() {
    for (const char* f : {"G", "H"}) (void)mem.MakeDirectory(f);
    mem.Put("G/a.txt", {'o', 'l', 'd'});
    mem.Put("G/c.txt", {'c'});
  }
  // An install a minute after the last one; `files` are written (a "-" deletes).
  std::string Install(const std::string& mod, const Lines& files) {
    ++clock.now.minute;
    auto point =
        RestoreStore(fs, kStore).Begin({mod, "D/" + mod + "Setup.exe", "", {"G", "H"}}, clock.now);
    EXPECT_TRUE(point);
    for (const auto& f : files) {
      if (f[0] == '-') {
        EXPECT_TRUE((*point)->fs().RemoveFile(f.substr(1)));
      } else {
        EXPECT_TRUE(WriteWholeFile((*point)->fs(), f, Bytes(mod.begin(), mod.end())));
      }
    }
    EXPECT_TRUE((*point)->Finish(clock.now));
    return (*point)->id();
  }
  Lines Rows() const {
    Lines out;
    for (const InstalledModRow& r : view.last.rows) {
      out.push_back(r.heading ? "[" + r.folder + "]"
                              : r.mod + " | " + r.installed + " | " + r.installer + " | " +
                                    r.changes + " | " + r.state + " | " + r.covered_by +
                                    (r.removable ? "" : " | fixed"));
    }
    return out;
  }

  RecordingModsView view;
  InstalledModsWindow window{platform, view, kStore};
};

// Folders by their newest install, installs newest first; an install whose files a later
// one changed is covered, and says so in Remove's question. Details shows the manifest.
TEST_F(InstalledModsTest, RowsAreGroupedNewestFirstAndTheQuestionsNameWhatStays) {
  Install("Alpha", {"G/a.txt", "G/b.txt"});
  Install("Hotel", {"H/x.txt"});
  Install("Gamma", {"G/b.txt", "-G/c.txt"});
  window.Open();
  EXPECT_EQ(Rows(),
            (Lines{"[G]",
                   "Gamma | 6 December 2026, 15:45 | GammaSetup.exe | 2 files, 0 archive entries | "
                   "installed | ",
                   "Alpha | 6 December 2026, 15:43 | AlphaSetup.exe | 2 files, 0 archive entries | "
                   "installed | Gamma",
                   "[H]",
                   "Hotel | 6 December 2026, 15:44 | HotelSetup.exe | 1 file, 0 archive entries | "
                   "installed | "}));
  EXPECT_EQ(view.last.title, "Installed Mods - DF Mod Installer");
  const std::vector<std::pair<int, std::string>> rows = {
      {0, ""},
      {1,
       "Remove Gamma from G?\r\n\r\n2 files and 0 archive entries go back to how they were "
       "before it was installed."},
      {2,
       "Remove Alpha from G?\r\n\r\n2 files and 0 archive entries go back to how they were "
       "before it was installed.\r\n\r\nLater installs changed some of the same files; those "
       "stay as they left them:\r\nGamma: 1 file"}};
  for (const auto& [row, question] : rows) {
    dialogs.boxes.clear();
    window.Select(row);
    EXPECT_EQ(view.last.remove_enabled, row > 0);
    window.ClickRemove();  // answered No
    EXPECT_EQ(dialogs.Texts(), question.empty() ? Lines{} : Lines{question}) << row;
  }
  window.ClickDetails();
  ASSERT_EQ(view.texts.size(), 1u);
  EXPECT_EQ(view.texts[0].substr(0, view.texts[0].find('\n', 30)),
            "Alpha - 20261206-154307\nDFMod restore point 20261206-154307");
  window.ClickClose();
  EXPECT_EQ(view.closes, Lines{"closed"});
}

// Remove by its steps: the question, the undo (the window busy meanwhile), the question
// for files changed since, the outcome, the refreshed list; the failed undo changes nothing.
TEST_F(InstalledModsTest, RemoveAsksUndoesReportsAndRefreshes) {
  const std::string alpha = Install("Alpha", {"G/a.txt"});
  const std::string gamma = Install("Gamma", {"G/b.txt", "-G/c.txt"});
  std::vector<std::string> removed;
  window.set_on_removed([&](const RestorePointInfo& p) { removed.push_back(p.id); });
  window.Open();
  const Lines before = Rows();
  // Gamma's deleted file is no longer kept: nothing changes, and the player is told why.
  Bytes stash = *mem.Get("M/R/" + gamma + "/deleted-1");
  ASSERT_TRUE(mem.RemoveFile("M/R/" + gamma + "/deleted-1"));
  dialogs.answers = {MsgAnswer::kYes};
  window.Open(gamma);
  EXPECT_EQ(dialogs.boxes.back().text,
            "Gamma could not be removed:\r\nThe originals to put back are missing: M/R/" + gamma +
                "/deleted-1");
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(view.last.selected, 1);
  mem.Put("M/R/" + gamma + "/deleted-1", stash);
  // The player changed b.txt since: left alone, then put back on the second Yes.
  mem.Put("G/b.txt", {'m', 'e'});
  dialogs.boxes.clear();
  dialogs.answers = {MsgAnswer::kYes, MsgAnswer::kYes};
  view.progress.clear();
  window.ClickRemove();
  EXPECT_EQ(dialogs.Texts(),
            (Lines{dialogs.boxes[0].text,
                   "Gamma was partly removed: 1 file put back.\r\n\r\nThese files were changed "
                   "since the install and were left alone:\r\nG/b.txt\r\n\r\nPut them back too? "
                   "The changes made to them since are lost.",
                   "Gamma was removed: 2 files put back."}));
  // Each pass from 0 to its total steps: the first passes over the changed file's steps.
  EXPECT_EQ(view.progress,
            (Lines{"0/0", "0/4", "1/4", "2/4", "3/4", "4/4", "0/0", "0/2", "1/2", "2/2"}));
  EXPECT_FALSE(mem.Exists("G/b.txt"));
  EXPECT_EQ(mem.Text("G/c.txt"), "c");
  EXPECT_EQ(removed, Lines{gamma});
  EXPECT_EQ(Rows()[1],
            "Gamma | 6 December 2026, 15:44 | GammaSetup.exe | 2 files, 0 archive entries | "
            "removed |  | fixed");
  EXPECT_EQ(view.last.selected, 1);
  EXPECT_FALSE(view.last.remove_enabled);
  dialogs.answers = {MsgAnswer::kYes};
  window.Select(2);
  window.ClickRemove();
  EXPECT_EQ(dialogs.boxes.back().text, "Alpha was removed: 1 file put back.");
  EXPECT_EQ(mem.Text("G/a.txt"), "old");
  EXPECT_EQ(removed, (Lines{gamma, alpha}));
}

// A long undo (1,500 bytes put back one by one) moves the bar in order up to its total.
TEST_F(InstalledModsTest, ALongUndoReportsItsProgressInOrderUpToItsTotal) {
  mem.Put("G/big", Bytes(3000, 'o'));
  auto point = RestoreStore(fs, kStore).Begin({"Big", "D/BigSetup.exe", "", {"G"}}, clock.now);
  auto file = (*point)->fs().Open("G/big", OpenMode::kUpdate);
  for (std::uint64_t at = 0; at < 3000; at += 2) ASSERT_TRUE((*file)->WriteAt(at, "n", 1));
  ASSERT_TRUE((*file)->Close() && (*point)->Finish(clock.now));
  dialogs.answers = {MsgAnswer::kYes};
  window.Open((*point)->id());
  EXPECT_EQ(dialogs.boxes.back().text, "Big was removed: 1 file put back.");
  EXPECT_LE(view.progress.size(), 1002u);  // by thousandths
  EXPECT_EQ(view.progress.back(), "1501/1501");
  for (std::size_t i = 2; i < view.progress.size(); ++i)
    EXPECT_LT(std::stoi(view.progress[i - 1]), std::stoi(view.progress[i])) << view.progress[i];
}

}  // namespace
}  // namespace dfm::testing
