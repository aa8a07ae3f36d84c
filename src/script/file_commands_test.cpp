// Copy, move and delete lines in whole runs over real temp folders.
#include "script/file_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/ascii.h"
#include "support/install_fixture.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;

class FileCommandsTest : public testing::InstallFixture {
 protected:
  std::string P() const { return program.str(); }
  std::string G() const { return GameFolder(); }
  // Runs the script and returns the entries before the summary; checks the summary and
  // that the log holds the same entries.
  Entries Run(const std::string& control, int performed, int errors) {
    WriteControl(control);
    EXPECT_EQ(window.RunInstallScript(), RunOutcome::kCompleted);
    Entries entries = Status();
    EXPECT_EQ(Log(), LogOf(entries));
    Entries summary(entries.end() - 3, entries.end());
    EXPECT_EQ(summary, Summary(performed, errors));
    entries.resize(entries.size() - 3);
    return entries;
  }
  std::string Failed(int line, const std::string& text, const Failure& f) const {
    return "Error Occured In Line #" + std::to_string(line) + ", LineCode: \"" + text +
           "\" Error: " + f.description + ", #" + std::to_string(f.code);
  }
};

TEST_F(FileCommandsTest, CopyIntoTheGameFolderWithAndWithoutAFileNamePart) {
  program.Write("readme.txt", "hello");
  Entries e = Run(
      "Copy readme.txt Kyv_DF3_Location\r\nCopy readme.txt Kyv_DF3_Location\\dummy.txt\r\n", 3, 0);
  EXPECT_EQ(e, (Entries{"Copying readme.txt To " + G() + "/readme.txt",
                        "Copying readme.txt To " + G() + "\\readme.txt",
                        "Removing Existing File: " + G() + "\\readme.txt"}));
  EXPECT_EQ(game.Read("readme.txt"), "hello");
  EXPECT_TRUE(program.Exists("readme.txt"));
}

TEST_F(FileCommandsTest, CopyKeepsTheSubFolderPartOfTheSourceWord) {
  program.Write("Textures/a.pcx", "tex");
  std::filesystem::create_directory(game.path() / "Textures");
  Entries e = Run("Copy Textures\\a.pcx Kyv_DF3_Location\r\n", 1, 0);
  EXPECT_EQ(e, Entries{"Copying Textures\\a.pcx To " + G() + "/Textures\\a.pcx"});
  EXPECT_EQ(game.Read("Textures/a.pcx"), "tex");
}

// Each failure names the path that failed, and a copy that fails part-way (a full disk)
// leaves nothing under the target's name, nor its temporary file.
TEST_F(FileCommandsTest, FailuresNameThePathThatFailedAndLeaveNoPartFile) {
  program.Write("a.txt", "a");
  program.Write("big.dat", std::string((1 << 20) + 1, 'x'));
  std::filesystem::create_directory(game.path() / "a.txt");  // a folder in the way
  const Failure missing{err::kPathNotFound, "Path not found: " + G() + "\\missing"};
  const Failure full{err::kDiskFull, "Disk full (injected)"};
  const Failure cross{err::kPathFileAccessError, "Path/File access error: different volumes"};
  using Rule = testing::FaultyFileSystem::Rule;
  struct Case {
    std::string line, entry;
    std::vector<Rule> rules;
    Failure failure;
  };
  const Case cases[] = {
      {"Copy a.txt Kyv_DF3_Location\\missing",
       "Copying a.txt To " + G() + "\\missing\\a.txt",
       {},
       missing},
      {"Move a.txt Kyv_DF3_Location\\missing",
       "Moving a.txt To " + G() + "\\missing\\a.txt",
       {},
       missing},
      {"Copy a.txt Kyv_DF3_Location",
       "Copying a.txt To " + G() + "/a.txt",
       {},
       {err::kPathFileAccessError, "Path/File access error: " + G() + "/a.txt is a folder"}},
      {"Move a.txt // remark",
       "Moving a.txt To //a.txt",
       {},  // not the root folder
       {err::kBadFileName,
        "Bad file name or number: //a.txt is a network path, not reachable here"}},
      {"Copy big.dat Kyv_DF3_Location",
       "Copying big.dat To " + G() + "/big.dat",
       {{"write", "big.dat", 1, -1, full}},
       full},
      {"Move big.dat Kyv_DF3_Location",
       "Moving big.dat To " + G() + "/big.dat",
       {{"rename", "", 0, -1, cross}, {"write", "big.dat", 1, -1, full}},
       full},
  };
  for (const Case& c : cases) {
    fs.Clear();
    for (const Rule& r : c.rules) fs.Fail(r);
    EXPECT_EQ(Run(c.line + "\r\n", 0, 1), (Entries{c.entry, Failed(1, c.line, c.failure)}));
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(game.path()))
      names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"a.txt"}) << c.line;
    EXPECT_EQ(std::filesystem::file_size(program.path() / "big.dat"), (1u << 20) + 1);
  }
}

TEST_F(FileCommandsTest, ReadOnlyExistingTargetIsReportedAndTheCopyStillTried) {
  program.Write("a.txt", "new");
  game.Write("a.txt", "old");
  const std::string target = G() + "/a.txt";
  Failure denied{err::kPermissionDenied, "Permission denied: " + target};
  fs.Fail({"remove", "a.txt", 0, -1, denied});
  Entries e = Run("Copy a.txt Kyv_DF3_Location\r\n", 1, 1);
  EXPECT_EQ(e, (Entries{"Copying a.txt To " + target, "Removing Existing File: " + target,
                        Failed(1, "Copy a.txt Kyv_DF3_Location", denied)}));
  EXPECT_EQ(game.Read("a.txt"), "new");

  // When the copy fails too, the removal still counts: 2 operations, 2 errors.
  fs.Fail({"copy", "a.txt", 0, -1, denied});
  e = Run("Copy a.txt Kyv_DF3_Location\r\n", 0, 2);
  EXPECT_EQ(e.size(), 4u);
}

TEST_F(FileCommandsTest, CopyAndMoveIntoAnExistingFolderWhosePathHoldsADot) {
  const auto dotted = game.path() / "Old.Games" / "Delta Force 2";
  std::filesystem::create_directories(dotted);
  window.state().game_folders[2] = dotted.string();
  program.Write("a.txt", "a");
  program.Write("b.txt", "b");
  Entries e =
      Run("Copy a.txt Kyv_DF2_Location\r\nMove b.txt Kyv_DF2_Location\r\n"
          "Copy a.txt Kyv_DF2_Location\\x.txt\r\n",
          4, 0);
  EXPECT_EQ(e, (Entries{"Copying a.txt To " + dotted.string() + "/a.txt",
                        "Moving b.txt To " + dotted.string() + "/b.txt",
                        "Copying a.txt To " + dotted.string() + "\\a.txt",
                        "Removing Existing File: " + dotted.string() + "\\a.txt"}));
  EXPECT_EQ(game.Read("Old.Games/Delta Force 2/a.txt"), "a");
  EXPECT_EQ(game.Read("Old.Games/Delta Force 2/b.txt"), "b");
  EXPECT_FALSE(game.Exists("Old.Games/a.txt"));
  EXPECT_FALSE(program.Exists("b.txt"));
  // A target that does not exist still follows the dot rule: its folder is taken.
  EXPECT_EQ(CopyTargetFolder(fs, (dotted / "new.dir").string()), dotted.string() + "/");
}

TEST_F(FileCommandsTest, MoveRenamesAndReplacesAnExistingTarget) {
  program.Write("a.txt", "new");
  game.Write("a.txt", "old");
  Entries e = Run("Move a.txt Kyv_DF3_Location\r\n", 2, 0);
  EXPECT_EQ(e, (Entries{"Moving a.txt To " + G() + "/a.txt",
                        "Removing Existing File: " + G() + "/a.txt"}));
  EXPECT_EQ(game.Read("a.txt"), "new");
  EXPECT_FALSE(program.Exists("a.txt"));
}

TEST_F(FileCommandsTest, MoveAcrossVolumesCopiesThenRemovesTheSource) {
  Failure cross{err::kPathFileAccessError,
                "Path/File access error: a and b are on different volumes"};
  fs.Fail({"rename", "", 0, -1, cross});
  program.Write("a.txt", "a");
  EXPECT_EQ(Run("Move a.txt Kyv_DF3_Location\r\n", 1, 0),
            Entries{"Moving a.txt To " + G() + "/a.txt"});
  EXPECT_EQ(game.Read("a.txt"), "a");
  EXPECT_FALSE(program.Exists("a.txt"));

  // The source stays when the copy fails, and when only its removal fails.
  program.Write("b.txt", "b");
  Failure full{err::kDiskFull, "Disk full (injected)"};
  fs.Fail({"copy", "b.txt", 0, 1, full});
  Entries e = Run("Move b.txt Kyv_DF3_Location\r\n", 0, 1);
  EXPECT_EQ(e.back(), Failed(1, "Move b.txt Kyv_DF3_Location", full));
  EXPECT_TRUE(program.Exists("b.txt"));
  EXPECT_FALSE(game.Exists("b.txt"));

  fs.Fail({"remove", P() + "b.txt", 0, 1, full});
  e = Run("Move b.txt Kyv_DF3_Location\r\n", 0, 1);
  EXPECT_EQ(e.back(), Failed(1, "Move b.txt Kyv_DF3_Location", full));
  EXPECT_EQ(game.Read("b.txt"), "b");
  EXPECT_TRUE(program.Exists("b.txt"));
}

TEST_F(FileCommandsTest, OtherRenameFailuresLeaveTheSource) {
  program.Write("a.txt", "a");
  Failure denied{err::kPermissionDenied, "Permission denied (injected)"};
  fs.Fail({"rename", "", 0, -1, denied});
  Entries e = Run("Move a.txt Kyv_DF3_Location\r\n", 0, 1);
  EXPECT_EQ(e.back(), Failed(1, "Move a.txt Kyv_DF3_Location", denied));
  EXPECT_TRUE(program.Exists("a.txt"));
  EXPECT_FALSE(game.Exists("a.txt"));
}

TEST_F(FileCommandsTest, DeleteTakesOnlyTheFileNameFromTheProgramFolder) {
  program.Write("old.pcx", "x");
  game.Write("Dflw.pff", "archive");
  Entries e = Run("Delete Textures\\old.pcx\r\nDelete Kyv_DF3_Location\\Dflw.pff\r\n", 1, 1);
  EXPECT_EQ(e, (Entries{"Deleting Temporary File ( old.pcx )",
                        "Deleting Temporary File ( Dflw.pff )", NotFound(P() + "Dflw.pff")}));
  EXPECT_FALSE(program.Exists("old.pcx"));
  EXPECT_TRUE(game.Exists("Dflw.pff"));

  program.Write("locked.txt", "x");
  Failure busy{err::kPermissionDenied, "Permission denied (injected)"};
  fs.Fail({"remove", "locked.txt", 0, -1, busy});
  e = Run("Delete locked.txt\r\n", 0, 1);
  EXPECT_EQ(
      e, (Entries{"Deleting Temporary File ( locked.txt )", Failed(1, "Delete locked.txt", busy)}));
}

TEST_F(FileCommandsTest, CopyOrMoveOntoTheSourceItselfLeavesItInPlace) {
  program.Write("a.txt", "a");
  program.Write("b.txt", "b");
  const auto link = game.path() / "link";
  std::filesystem::create_directory_symlink(program.path(), link);
  // The installer runs from the game folder, given as ".", as an absolute path with a "."
  // step or without, or through a linked folder: the same files under other spellings.
  for (const std::string& folder :
       {std::string("."), P() + ".", program.path().string(), link.string()}) {
    window.state().game_folders[2] = folder;
    Entries e =
        Run("Copy a.txt Kyv_DF2_Location\r\nMove B.TXT Kyv_DF2_Location\\\r\nCopy a.txt a.txt\r\n",
            3, 0);
    EXPECT_EQ(e.size(), 3u) << folder;  // the announcements alone
    EXPECT_EQ(program.Read("a.txt"), "a");
    EXPECT_EQ(program.Read("b.txt"), "b");
  }
  // A folder whose name differs only in letter case is another folder: the copy is made.
  const auto upper = program.path().parent_path() / UpperAscii(program.path().filename().string());
  std::filesystem::create_directory(upper);
  window.state().game_folders[2] = upper.string();
  EXPECT_EQ(Run("Copy a.txt Kyv_DF2_Location\r\n", 1, 0),
            Entries{"Copying a.txt To " + upper.string() + "/a.txt"});
  std::ifstream copied(upper / "a.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copied), {}), "a");
  std::filesystem::remove_all(upper);
}

TEST_F(FileCommandsTest, ACancelledFolderQuestionIsAskedAgainByEachStep) {
  window.state().game_folders[2] = std::string(kNothing);
  program.Write("a.txt", "a");
  Entries e = Run("Copy a.txt Kyv_DF2_Location\\x.txt\r\n", 0, 1);
  EXPECT_EQ(e.front(), "Copying a.txt To Nothing\\a.txt");
  // The announcement, the existing-target test and the copy each resolve the target.
  EXPECT_EQ(dialogs.prompts, Entries(3, "Please Select Your Delta Force 2 Folder!"));
}

}  // namespace
}  // namespace dfm
