// Copy, move and delete lines in whole runs over real temp folders.
#include "script/file_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/ascii.h"
#include "support/install_fixture.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;
using Files = std::map<std::string, std::string>;  // as TempDir::Tree gives them
using Rule = testing::FaultyFileSystem::Rule;

class FileCommandsTest : public testing::InstallFixture {
 protected:
  std::string P() const { return program.str(); }
  std::string G() const { return GameFolder(); }
  std::string Failed(const std::string& line, const Failure& f) const {
    return "Error Occured In Line #1, LineCode: \"" + line + "\" Error: " + f.description + ", #" +
           std::to_string(f.code);
  }
  // Empties a folder and puts `files` in it ("name/" makes a folder).
  static void Fill(const testing::TempDir& dir, const Files& files) {
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      std::filesystem::remove_all(e.path());
    for (const auto& [name, bytes] : files) {
      if (name.back() == '/')
        std::filesystem::create_directories(dir.path() / name);
      else
        dir.Write(name, bytes);
    }
  }
  // The program folder without the run's own files.
  Files ProgramFiles() const {
    Files files = program.Tree();
    files.erase("Control.ini");
    files.erase("InstallLog.txt");
    return files;
  }
  // Runs the script and returns the entries before the summary; checks the summary and
  // that the log holds the same entries.
  Entries Run(const std::string& control, int performed, int errors) {
    WriteControl(control);
    EXPECT_EQ(window.RunInstallScript(), RunOutcome::kCompleted);
    Entries entries = Status();
    EXPECT_EQ(Log(), LogOf(entries));
    EXPECT_EQ(Entries(entries.end() - 3, entries.end()), Summary(performed, errors));
    entries.resize(entries.size() - 3);
    return entries;
  }
  // One row: both folders and the faults before a run, its counts and entries, both
  // folders after.
  void Check(const Files& program_before, const Files& game_before, const std::vector<Rule>& rules,
             const std::string& script, int performed, int errors, const Entries& entries,
             const Files& program_after, const Files& game_after) {
    SCOPED_TRACE(script);
    Fill(program, program_before);
    Fill(game, game_before);
    fs.Clear();
    for (const Rule& r : rules) fs.Fail(r);
    EXPECT_EQ(Run(script, performed, errors), entries);
    EXPECT_EQ(ProgramFiles(), program_after);
    EXPECT_EQ(game.Tree(), game_after);
  }
};

// One row per run: the folders before, the faults injected, the script (one line, or
// several ended by CR LF), the counts, the entries and both folders after.
TEST_F(FileCommandsTest, CopyMoveAndDeleteRuns) {
  const std::string big((1 << 20) + 1, 'x');
  const Files sources = {{"a.txt", "a"}, {"big.dat", big}};
  const Failure missing{err::kPathNotFound, "Path not found: " + G() + "\\missing"};
  const Failure full{err::kDiskFull, "Disk full (injected)"};
  const Failure cross{err::kNotSameDevice, "Can't rename with different drive"};
  const Failure denied{err::kPermissionDenied, "Permission denied (injected)"};
  // Into the game folder with and without a file-name part; the source stays.
  Check({{"readme.txt", "hello"}}, {}, {},
        "Copy readme.txt Kyv_DF3_Location\r\nCopy readme.txt Kyv_DF3_Location\\dummy.txt\r\n", 3, 0,
        {"Copying readme.txt To " + G() + "/readme.txt",
         "Copying readme.txt To " + G() + "\\readme.txt",
         "Removing Existing File: " + G() + "\\readme.txt"},
        {{"readme.txt", "hello"}}, {{"readme.txt", "hello"}});
  // The sub-folder part of the source word is kept.
  Check({{"Textures/a.pcx", "tex"}}, {{"Textures/", ""}}, {},
        "Copy Textures\\a.pcx Kyv_DF3_Location", 1, 0,
        {"Copying Textures\\a.pcx To " + G() + "/Textures\\a.pcx"},
        {{"Textures/", ""}, {"Textures/a.pcx", "tex"}},
        {{"Textures/", ""}, {"Textures/a.pcx", "tex"}});
  // Failures name the path that failed; a copy that fails part-way (a full disk) leaves
  // nothing under the target's name, nor its temporary file.
  for (const std::string command : {"Copy", "Move"}) {
    const std::string line = command + " a.txt Kyv_DF3_Location\\missing";
    Check(sources, {}, {}, line, 0, 1,
          {(command == "Copy" ? "Copying" : "Moving") + (" a.txt To " + G() + "\\missing\\a.txt"),
           Failed(line, missing)},
          sources, {});
  }
  Check(sources, {{"a.txt/", ""}}, {}, "Copy a.txt Kyv_DF3_Location", 0, 1,
        {"Copying a.txt To " + G() + "/a.txt",
         Failed(
             "Copy a.txt Kyv_DF3_Location",
             {err::kPathFileAccessError, "Path/File access error: " + G() + "/a.txt is a folder"})},
        sources, {{"a.txt/", ""}});
  Check(sources, {}, {}, "Move a.txt // remark", 0, 1,  // not the root folder
        {"Moving a.txt To //a.txt",
         Failed("Move a.txt // remark",
                {err::kBadFileName,
                 "Bad file name or number: //a.txt is a network path, not reachable here"})},
        sources, {});
  Check(sources, {}, {{"write", "big.dat", 1, -1, full}}, "Copy big.dat Kyv_DF3_Location", 0, 1,
        {"Copying big.dat To " + G() + "/big.dat", Failed("Copy big.dat Kyv_DF3_Location", full)},
        sources, {});
  Check(sources, {}, {{"rename", "", 0, -1, cross}, {"write", "big.dat", 1, -1, full}},
        "Move big.dat Kyv_DF3_Location", 0, 1,
        {"Moving big.dat To " + G() + "/big.dat", Failed("Move big.dat Kyv_DF3_Location", full)},
        sources, {});
  // A read-only existing target is reported and the copy still tried; when the copy fails
  // too, the removal still counts: 2 operations, 2 errors.
  const Entries replace = {"Copying a.txt To " + G() + "/a.txt",
                           "Removing Existing File: " + G() + "/a.txt",
                           Failed("Copy a.txt Kyv_DF3_Location", denied)};
  Check({{"a.txt", "new"}}, {{"a.txt", "old"}}, {{"remove", "a.txt", 0, -1, denied}},
        "Copy a.txt Kyv_DF3_Location", 1, 1, replace, {{"a.txt", "new"}}, {{"a.txt", "new"}});
  Check({{"a.txt", "new"}}, {{"a.txt", "old"}},
        {{"remove", "a.txt", 0, -1, denied}, {"copy", "a.txt", 0, -1, denied}},
        "Copy a.txt Kyv_DF3_Location", 0, 2, Join(replace, {replace.back()}), {{"a.txt", "new"}},
        {{"a.txt", "old"}});
  // A failed folder browser ends the line before it is announced (one operation, one error).
  dialogs.browse_failure = Failure{err::kInvalidProcedureCall, "no chooser"};
  Check(sources, {}, {}, "Copy a.txt Kyv_DF1_Location", 0, 1,
        {Failed("Copy a.txt Kyv_DF1_Location", *dialogs.browse_failure)}, sources, {});
  // Into an existing folder whose path holds a dot.
  const std::string dotted = G() + "/Old.Games/Delta Force 2";
  window.state().game_folders[2] = dotted;
  Check({{"a.txt", "a"}, {"b.txt", "b"}}, {{"Old.Games/Delta Force 2/", ""}}, {},
        "Copy a.txt Kyv_DF2_Location\r\nMove b.txt Kyv_DF2_Location\r\n"
        "Copy a.txt Kyv_DF2_Location\\x.txt\r\n",
        4, 0,
        {"Copying a.txt To " + dotted + "/a.txt", "Moving b.txt To " + dotted + "/b.txt",
         "Copying a.txt To " + dotted + "\\a.txt", "Removing Existing File: " + dotted + "\\a.txt"},
        {{"a.txt", "a"}},
        {{"Old.Games/", ""},
         {"Old.Games/Delta Force 2/", ""},
         {"Old.Games/Delta Force 2/a.txt", "a"},
         {"Old.Games/Delta Force 2/b.txt", "b"}});
  // A target that does not exist still follows the dot rule: its folder is taken.
  EXPECT_EQ(CopyTargetFolder(fs, dotted + "/new.dir"), dotted + "/");
  // A move renames and replaces an existing target.
  Check({{"a.txt", "new"}}, {{"a.txt", "old"}}, {}, "Move a.txt Kyv_DF3_Location", 2, 0,
        {"Moving a.txt To " + G() + "/a.txt", "Removing Existing File: " + G() + "/a.txt"}, {},
        {{"a.txt", "new"}});
  // Across volumes a move copies and then removes the source; the source stays when the
  // copy fails, and when only its removal fails; other rename failures leave it too.
  Check({{"a.txt", "a"}}, {}, {{"rename", "", 0, -1, cross}}, "Move a.txt Kyv_DF3_Location", 1, 0,
        {"Moving a.txt To " + G() + "/a.txt"}, {}, {{"a.txt", "a"}});
  const Entries move_b = {"Moving b.txt To " + G() + "/b.txt",
                          Failed("Move b.txt Kyv_DF3_Location", full)};
  Check({{"b.txt", "b"}}, {}, {{"rename", "", 0, -1, cross}, {"copy", "b.txt", 0, 1, full}},
        "Move b.txt Kyv_DF3_Location", 0, 1, move_b, {{"b.txt", "b"}}, {});
  Check({{"b.txt", "b"}}, {}, {{"rename", "", 0, -1, cross}, {"remove", P() + "b.txt", 0, 1, full}},
        "Move b.txt Kyv_DF3_Location", 0, 1, move_b, {{"b.txt", "b"}}, {{"b.txt", "b"}});
  Check({{"a.txt", "a"}}, {}, {{"rename", "", 0, -1, denied}}, "Move a.txt Kyv_DF3_Location", 0, 1,
        {"Moving a.txt To " + G() + "/a.txt", Failed("Move a.txt Kyv_DF3_Location", denied)},
        {{"a.txt", "a"}}, {});
  // Delete takes only the file name, from the program folder.
  Check({{"old.pcx", "x"}}, {{"Dflw.pff", "archive"}}, {},
        "Delete Textures\\old.pcx\r\nDelete Kyv_DF3_Location\\Dflw.pff\r\n", 1, 1,
        {"Deleting Temporary File ( old.pcx )", "Deleting Temporary File ( Dflw.pff )",
         NotFound(P() + "Dflw.pff")},
        {}, {{"Dflw.pff", "archive"}});
  Check({{"locked.txt", "x"}}, {}, {{"remove", "locked.txt", 0, -1, denied}}, "Delete locked.txt",
        0, 1, {"Deleting Temporary File ( locked.txt )", Failed("Delete locked.txt", denied)},
        {{"locked.txt", "x"}}, {});
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
    EXPECT_EQ(ProgramFiles(), (Files{{"a.txt", "a"}, {"b.txt", "b"}}));
  }
  // A folder whose name differs only in letter case is another folder: the copy is made.
  const auto upper = program.path().parent_path() / UpperAscii(program.path().filename().string());
  std::filesystem::create_directory(upper);
  window.state().game_folders[2] = upper.string();
  EXPECT_EQ(Run("Copy a.txt Kyv_DF2_Location\r\n", 1, 0),
            Entries{"Copying a.txt To " + upper.string() + "/a.txt"});
  EXPECT_TRUE(std::filesystem::is_regular_file(upper / "a.txt"));
  std::filesystem::remove_all(upper);

  // A cancelled folder question is asked again by the announcement, the existing-target
  // test and the copy.
  window.state().game_folders[2] = std::string(kNothing);
  EXPECT_EQ(Run("Copy a.txt Kyv_DF2_Location\\x.txt\r\n", 0, 1).front(),
            "Copying a.txt To Nothing\\a.txt");
  EXPECT_EQ(dialogs.prompts, Entries(3, "Please Select Your Delta Force 2 Folder!"));
}

}  // namespace
}  // namespace dfm
