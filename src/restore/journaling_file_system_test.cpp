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

}  // namespace
}  // namespace dfm::testing
