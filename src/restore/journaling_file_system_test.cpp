// The journaling file system on its own: which records reach the disk before which
// change, how many changes one sync covers, the stash across volumes, a deletion the host
// refuses, and renames from the installer's own files (which pass unrecorded) over game
// files. Each run is then undone, which must give the game folder back byte for byte.
#include "restore/journaling_file_system.h"

#include <gtest/gtest.h>

#include <functional>

#include "restore/restore_points.h"
#include "support/fakes.h"
#include "support/memory_file_system.h"

namespace dfm::testing {
namespace {

TEST(JournalingFileSystem, RecordsAreDurableBeforeTheirChangesAndOneSyncCoversMany) {
  struct Row {
    std::string name;
    std::vector<FaultyFileSystem::Rule> faults;
    std::function<Status(FileSystem&)> steps;
    std::string failure;                  // what the steps return
    std::vector<std::string> ops, files;  // the host's changes; the files' state ("how")
  };
  const std::string point = "M/R/20261206-154207/", journal = "sync " + point + "journal.bin";
  const FaultyFileSystem::Rule cross{
      "replace", "deleted-", 0, -1, {err::kNotSameDevice, "Can't rename with different drive"}};
  const FaultyFileSystem::Rule immutable{
      "canremove", "G/old", 0, -1, {err::kPermissionDenied, "Permission denied: G/old"}};
  auto copies = [](FileSystem& fs) {
    Status st = fs.CopyFile("P/a", "G/new");
    return st ? fs.CopyFile("P/a", "G/old") : st;
  };
  // The copies' records wait for the stash: undo of "created" removes what it finds.
  const std::vector<std::string> copied{journal,
                                        "copy P/a -> G/new",
                                        "open G/new.~dfm",
                                        "replace G/new.~dfm -> G/new",
                                        "copy P/a -> G/old",
                                        "open G/old.~dfm",
                                        "replace G/old.~dfm -> G/old"};
  auto with = [&](std::vector<std::string> first) {
    first.insert(first.end(), copied.begin(), copied.end());
    return first;
  };
  for (const Row& row : std::vector<Row>{
           {"copies, one over a file",
            {},
            copies,
            "",
            with({journal, "replace G/old -> " + point + "deleted-1"}),
            {"G/new created", "G/old replaced"}},
           {"the stash on another volume",
            {cross},
            copies,
            "",
            with({journal, "replace G/old -> " + point + "deleted-1", "open " + point + "deleted-1",
                  "sync " + point + "deleted-1", "syncdir M/R/20261206-154207", "remove G/old"}),
            {"G/new created", "G/old replaced"}},
           {"a file the host will not remove",
            {immutable},
            [](FileSystem& fs) { return fs.RemoveFile("G/old"); },
            "Permission denied: G/old",
            {journal},
            {}},
           {"the installer's own file renamed over a game file",
            {},
            [](FileSystem& fs) { return fs.ReplaceFile("P/a", "G/old"); },
            "",
            {journal, "replace G/old -> " + point + "deleted-1", journal, "replace P/a -> G/old"},
            {"G/old replaced"}},
           {"a game file renamed over the installer's own file",
            {},
            [](FileSystem& fs) { return fs.ReplaceFile("G/old", "P/a"); },
            "",
            {journal, "replace G/old -> P/a"},
            {"G/old deleted"}},
       }) {
    MemoryFileSystem mem;
    mem.Put("G/old", "old game file");
    mem.Put("P/a", "the mod's file");
    ASSERT_TRUE(mem.MakeDirectory("G"));
    FaultyFileSystem fs(mem);
    for (const auto& fault : row.faults) fs.Fail(fault);
    RestoreStore store(fs, "M/R");
    FixedClock clock;
    auto active = store.Begin({"Mod", "Setup", "", {"G"}}, clock.now,
                              [](const std::string& path) { return path.rfind("P/", 0) == 0; });
    ASSERT_TRUE(active) << active.failure().description;
    fs.log.clear();
    const Status done = row.steps((*active)->fs());
    EXPECT_EQ(done ? "" : done.failure().description, row.failure) << row.name;
    ASSERT_TRUE((*active)->fs().Commit()) << row.name;
    std::vector<std::string> ops, files;
    for (const std::string& op : fs.log) {
      for (const char* kind : {"sync ", "syncdir ", "replace ", "rename ", "copy ", "remove "}) {
        if (op.rfind(kind, 0) == 0) ops.push_back(op);
      }
      const bool made =
          op.find(".~dfm") != std::string::npos || op.find("deleted") != std::string::npos;
      if (op.rfind("open ", 0) == 0 && made) ops.push_back(op);
    }
    EXPECT_EQ(ops, row.ops) << row.name;
    for (const TouchedFile& f : (*active)->fs().Touched()) files.push_back(f.path + " " + f.how);
    EXPECT_EQ(files, row.files) << row.name;
    ASSERT_TRUE((*active)->Finish(clock.now)) << row.name;
    active->reset();
    fs.Clear();
    auto undone = store.Undo("", false, clock.now);
    ASSERT_TRUE(undone) << row.name;
    EXPECT_EQ(undone->failures, std::vector<std::string>{}) << row.name;
    EXPECT_EQ(mem.Text("G/old"), "old game file") << row.name;
    for (const char* gone : {"G/new", "G/new.~dfm", "G/old.~dfm"})
      EXPECT_FALSE(mem.Exists(gone)) << row.name << ": " << gone;
  }
}

// A host that copies through CopyThrough shows the copy's bytes on their way: the after
// state is then taken from them, unless the install changes the file again, and equals
// what reading the copy back gives (sizes around the 1 MB piece, and none).
TEST(JournalingFileSystem, CopiesAfterStatesAreTheReadBackOnes) {
  struct Host : MemoryFileSystem {
    Status CopyFileWatched(const std::string& from, const std::string& to,
                           CopyWatch& watch) override {
      return CopyThrough(*this, from, to, &watch);
    }
  } mem;
  ASSERT_TRUE(mem.MakeDirectory("G"));
  mem.Put("P/big", Bytes((std::size_t{1} << 20) + 7, 'b'));
  mem.Put("P/none", "");
  mem.Put("G/kept", "old");
  RestoreStore store(mem, "M/R");
  FixedClock clock;
  auto active = store.Begin({"Mod", "Setup", "", {"G"}}, clock.now);
  ASSERT_TRUE(active);
  FileSystem& fs = (*active)->fs();
  for (const char* to : {"G/big", "G/none", "G/kept", "G/grown"})
    ASSERT_TRUE(fs.CopyFile(std::string(to) == "G/none" ? "P/none" : "P/big", to));
  ASSERT_TRUE(WriteWholeFile(fs, "G/kept", Bytes{'n', 'e', 'w'}));
  auto grown = fs.Open("G/grown", OpenMode::kAppend);
  ASSERT_TRUE(grown && (*grown)->WriteAt(0, "+", 1));
  ASSERT_TRUE((*active)->Finish(clock.now));
  auto journal = ReadJournal(mem, "M/R/20261206-154207/journal.bin");
  ASSERT_TRUE(journal);
  std::vector<std::string> afters, read_back;
  for (const JournalRecord& r : journal->records) {
    if (r.kind != RecordKind::kAfter) continue;
    afters.push_back(r.Text(0) + " " + std::to_string(r.Number(1)) + " " + r.Text(1));
    auto fp = AfterState(mem, r.Text(0), true, {});
    read_back.push_back(r.Text(0) + " " + std::to_string(fp->length) + " " + fp->digest);
  }
  EXPECT_EQ(afters.size(), 4u);
  EXPECT_EQ(afters, read_back);
}

}  // namespace
}  // namespace dfm::testing
