// Restore points over whole install runs in memory: a run stopped after each of its
// changes in turn, keeping only the journal bytes synced before, is rolled back to the
// original bytes; undo in LIFO order, files changed since.
#include "restore/restore_points.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "base/path_utils.h"
#include "support/restore_world.h"

namespace dfm::testing {
namespace {

// With the restore points on the game's volume and on another: an install stopped after
// any change, its roll-back stopped after one of its own, then dfmod restore, dfmod run
// or dfmod restore --force; the complete install's undo stopped after each of its
// changes, then undone again.
TEST(RestorePoints, RunsAndUndosStoppedAnywhereComeBackToTheOriginal) {
  constexpr int kSources = 55;  // 185 lines
  const std::string control = Control(kSources);
  World plain(control, kSources, false);
  plain.window.ClickInstall();
  for (const bool two_volumes : {false, true}) {
    World full(control, kSources, true, two_volumes);
    full.window.ClickInstall();
    ASSERT_EQ(full.window.last_run().errors, 0) << ::testing::PrintToString(full.view.status);
    // With restore points on, the install leaves the same files as without.
    for (const auto& [path, bytes] : Original(kSources))
      EXPECT_EQ(full.mem.Text(path), plain.mem.Text(path)) << path;
    for (const char* made : kMade) EXPECT_EQ(full.mem.Text(made), plain.mem.Text(made)) << made;
    for (int k = 0; k < full.fs.changes(); ++k) {
      World w(control, kSources, true, two_volumes);
      w.fs.crash_after = k;
      w.window.ClickInstall();
      w.KeepSynced();
      // Once the end mark is written the install counts as complete and stays: only the
      // manifest (written beside, then renamed) comes after it.
      auto points = w.store().List();
      if (!points->empty() && points->front().state == RestorePointInfo::State::kComplete) {
        EXPECT_EQ(k, full.fs.changes() - 3);
        break;
      }
      w.fs.crash_after = w.fs.changes() + k * 7 % 61;
      RestoreStore(w.fs, kStore).RecoverInterrupted({"G"}, w.clock.now);
      w.KeepSynced();
      w.fs.crash_after = -1;
      if (k % 3 == 1) {
        w.store().RecoverInterrupted({"G"}, w.clock.now);
      } else if (auto last = w.store().Undo("", k % 3 == 2, w.clock.now); !last) {
        EXPECT_EQ(last.failure().description, "There is no install to undo") << k;
      }
      ASSERT_EQ(w.Changed(kSources), std::vector<std::string>{}) << "stopped after change " << k;
    }
    MemoryFileSystem installed;
    installed.CopyFrom(full.mem);
    for (int j = 0;; ++j) {
      full.mem.CopyFrom(installed);
      full.fs.crash_after = full.fs.changes() + j;
      auto first = RestoreStore(full.fs, kStore).Undo("", false, full.clock.now);
      const bool crashed = full.fs.crashed();
      full.fs.crash_after = -1;
      full.KeepSynced();
      if (!crashed) break;
      // Undone and marked so before it stopped, or finished now.
      auto again = full.store().Undo("", false, full.clock.now);
      EXPECT_EQ(again ? ::testing::PrintToString(again->failures) +
                            ::testing::PrintToString(again->changed)
                      : again.failure().description,
                first && first->complete() ? "There is no install to undo" : "{}{}")
          << j;
      ASSERT_EQ(full.Changed(kSources), std::vector<std::string>{}) << "undo stopped after " << j;
    }
    EXPECT_EQ(full.Changed(kSources), std::vector<std::string>{});
    EXPECT_EQ(full.mem.ListDirectory("M/R/20261206-154207")->size(), 2u);  // no stash left
  }
}

TEST(RestorePoints, UndoNewestFirstLeavesFilesChangedSinceAlone) {
  const std::string first = Control(0), second = "Pack big.pcx Kyv_DF3_Location\\Dflw.pff\r\n";
  World w(first);
  w.window.ClickInstall();
  w.mem.Put("Control.ini", second);
  w.window.ClickInstall();
  auto list = w.store().List();
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 2u);
  EXPECT_EQ((*list)[0].id, "20261206-154207-2");
  EXPECT_EQ((*list)[1].files.size(), 9u);
  EXPECT_EQ((*list)[1].entries.size(), 3u);
  EXPECT_EQ((*list)[1].entries[0].text,
            "G/Dflw.pff: e1.pcx replaced, 100 -> 50 bytes, dead space reused whole");
  ASSERT_TRUE(w.store().Undo("", false, w.clock.now));
  w.mem.Put("G\\new.txt", "edited since");
  auto undone = w.store().Undo("", false, w.clock.now);
  ASSERT_TRUE(undone);
  EXPECT_EQ(undone->changed, std::vector<std::string>{"G\\new.txt"});
  EXPECT_EQ(w.mem.Text("G\\new.txt"), "edited since");
  // The point stays live, partly undone, until --force puts the rest back.
  list = w.store().List();
  EXPECT_EQ((*list)[1].left, 1u);
  EXPECT_EQ((*list)[1].problems,
            std::vector<std::string>{"G\\new.txt: changed since the install, left alone"});
  EXPECT_TRUE(w.store().Undo("", true, w.clock.now)->complete());
  EXPECT_EQ(w.Changed(0), std::vector<std::string>{});
  EXPECT_EQ(w.store().Undo("", false, w.clock.now).failure().description,
            "There is no install to undo");
}

// Installs are ordered by when they began, whatever their ids say: two in one second, one
// the next second, one after the clock went back an hour; a journal written before the
// sequence numbers orders below them. Each entry and file an install changed is an item,
// and the later live installs over it lie above it.
TEST(RestorePoints, InstallsStackInTheOrderTheyBegan) {
  World w(Control(0));
  w.window.ClickInstall();
  for (const auto& [hour, second] : {std::pair{0, 0}, {0, 1}, {-1, 0}}) {
    w.clock.now.hour += hour;
    w.clock.now.second += second;
    w.mem.Put("Control.ini", "Pack big.pcx Kyv_DF3_Location\\Dflw.pff\r\n");
    w.window.ClickInstall();
  }
  const std::string first = "20261206-154207", journal = "M/R/" + first + "/journal.bin";
  Bytes earlier;
  auto decoded = DecodeJournal(*ReadWholeFile(w.mem, journal));
  for (JournalRecord r : decoded->records) {
    if (r.kind == RecordKind::kBegin || r.kind == RecordKind::kEnd) r.numbers.clear();
    const Bytes one = EncodeRecord(r, RecordCheck::kFnv1a);
    earlier.insert(earlier.end(), one.begin(), one.end());
  }
  w.mem.Put(journal, earlier);
  auto list = w.store().List();
  std::vector<std::string> order;
  for (const auto& p : *list) order.push_back(p.id + " " + std::to_string(p.sequence));
  EXPECT_EQ(order, (std::vector<std::string>{"20261206-144208 4", "20261206-154208 3",
                                             "20261206-154207-2 2", first + " 0"}));
  std::vector<std::string> items;
  for (const ItemKey& k : list->back().items) items.push_back(k.path + "|" + k.entry);
  const std::string in = "G\\DFLW.PFF|";
  EXPECT_EQ(items, (std::vector<std::string>{
                       "GONE.TXT|", in + PadName("BIG.PCX"), in + PadName("E1.PCX"),
                       in + PadName("N1.PCX"), "G\\MOVED.TXT|", "G\\NEW.TXT|", "G\\PIC.TGA|",
                       "G\\PIC_M.PCX|", "G\\README.TXT|", "MOVED.TXT|", "PIC.TGA|"}));
  std::vector<std::string> covers;
  for (const Cover& c : CoveredBy(*list, first)) covers.push_back(c.id + ": " + CountText(c.items));
  EXPECT_EQ(covers,
            (std::vector<std::string>{"20261206-154207-2: 1 entry", "20261206-154208: 1 entry",
                                      "20261206-144208: 1 entry"}));
  const ItemKey big = EntryItem("G/Dflw.pff", "big.pcx");
  EXPECT_EQ(Above(*list, first, big)->id, "20261206-154207-2");
  EXPECT_EQ(Above(*list, "20261206-144208", big), nullptr);
  EXPECT_EQ(Above(*list, first, FileItem("G/new.txt")), nullptr);
  EXPECT_EQ(w.store().Undo("", false, w.clock.now)->id, "20261206-144208");
  EXPECT_EQ(CoveredBy(*w.store().List(), first).size(), 2u);
}

// Journals empty, random, cut at and inside each record, with a bit flipped in each
// record, or missing a stash: refused before anything changes. Journals of earlier
// versions (FNV-1a checks; stored as one was written, and re-encoded without the end
// mark's count and chain) are undone.
TEST(RestorePoints, DamagedJournalsAreRefusedBeforeAnythingChanges) {
  World w(Control(0));
  w.window.ClickInstall();
  const std::string journal = std::string(kStore) + "/20261206-154207/journal.bin";
  const std::string bytes = w.mem.Text(journal), installed = w.GameFiles();
  MemoryFileSystem after;
  after.CopyFrom(w.mem);
  std::vector<std::pair<std::string, std::string>> rows{
      {"", "damaged: record at byte 0"},
      {std::string(64, '\xA5'), "damaged: record at byte 0"},
      {"", "The originals to put back are missing: M/R/20261206-154207/deleted-1"}};
  auto decoded = DecodeJournal(Bytes(bytes.begin(), bytes.end()));
  std::size_t at = decoded->format.start;
  std::vector<std::size_t> starts;
  for (const JournalRecord& r : decoded->records) {
    const std::size_t size = EncodeRecord(r).size();
    starts.push_back(at);
    const std::string where = "damaged: record at byte " + std::to_string(at);
    std::string flipped = bytes;
    flipped[at + size / 2] ^= 0x10;
    rows.insert(rows.end(), {{bytes.substr(0, at + size / 2), where}, {flipped, where}});
    if (at > 0) rows.push_back({bytes.substr(0, at), where});
    at += size;
  }
  // A whole record missing: the end mark's count and chain tell.
  rows.push_back(
      {bytes.substr(0, starts[1]) + bytes.substr(starts[2]),
       "damaged: record at byte " + std::to_string(starts.back() - starts[2] + starts[1])});
  for (const auto& [cut, message] : rows) {
    w.mem.CopyFrom(after);
    if (message.find("missing") != std::string::npos) {
      ASSERT_TRUE(w.mem.RemoveFile("M/R/20261206-154207/deleted-1"));
    } else {
      w.mem.Put(journal, cut);
    }
    EXPECT_TRUE(w.store().RecoverInterrupted({"G"}, w.clock.now).empty());
    auto undo = w.store().Undo("", true, w.clock.now);
    EXPECT_EQ(undo ? std::string("undone") : undo.failure().description, message) << cut.size();
    EXPECT_EQ(w.GameFiles(), installed) << message;
  }
  // Salvaged: a bit flipped in the end mark leaves every file wholly described; one in the
  // first file's first record leaves that file as the install left it.
  std::size_t first_file = 1;
  while (decoded->records[first_file].kind != RecordKind::kTouched) ++first_file;
  for (const auto& [record, left] : {std::pair{starts.size() - 1, 0u}, {first_file, 1u}}) {
    w.mem.CopyFrom(after);
    std::string flipped = bytes;
    flipped[starts[record] + 6] ^= 0x10;
    w.mem.Put(journal, flipped);
    auto salvaged = w.store().Salvage("20261206-154207");
    ASSERT_TRUE(salvaged);
    EXPECT_EQ(salvaged->left, left);
    EXPECT_EQ(w.Changed(0).size(), left);
  }
  std::ifstream stored(DFM_SOURCE_DIR "/tests/data/journal-fnv1a.bin", std::ios::binary);
  const std::string earlier{std::istreambuf_iterator<char>(stored), {}};
  std::string older;
  for (JournalRecord r : decoded->records) {
    if (r.kind == RecordKind::kEnd) r.numbers.clear();
    const Bytes one = EncodeRecord(r, RecordCheck::kFnv1a);
    older.append(one.begin(), one.end());
  }
  for (const std::string& old : {earlier, older}) {
    w.mem.CopyFrom(after);
    w.mem.Put(journal, old);
    EXPECT_TRUE(w.store().Undo("", false, w.clock.now)->complete()) << old.size();
    EXPECT_EQ(w.Changed(0), std::vector<std::string>{});
  }
}

// An undo that fails keeps the point live and lists why; the next one, once the cause
// is gone, finishes it. Every change since the install is seen: grown, shrunk, other
// bytes of the same length, removed.
TEST(RestorePoints, AnUndoThatFailsOrFindsChangesStaysLiveUntilFinished) {
  struct Row {
    FaultyFileSystem::Rule fault;
    bool two_volumes;
    std::string path, bytes, failure;
  };
  const std::string eio = "G\\readme.txt: Device I/O error (injected)";
  for (const Row& row :
       {Row{{"rename", "deleted-1", 0, 1}, false, "", "", eio},
        Row{{"write", "readme.txt.~dfm", 0, 1}, true, "", "", eio},
        Row{{"isdir", "G", 0, 1}, false, "", "", "Game folder not found: G"},
        Row{{}, false, "G/Dflw.pff", "+", ""}, Row{{}, false, "G/Dflw.pff", "-", ""},
        Row{{}, true, "G\\new.txt", "NEW", ""}, Row{{}, false, "G\\new.txt", "", ""}}) {
    World w(Control(0), 0, true, row.two_volumes);
    w.window.ClickInstall();
    w.fs.Fail(row.fault);
    std::string text = w.mem.Text(row.path);
    if (row.bytes == "+" || row.bytes == "-") {
      text = row.bytes == "+" ? text + "!" : text.substr(0, text.size() - 1);
      w.mem.Put(row.path, text);
    } else if (!row.path.empty()) {
      row.bytes.empty() ? (void)w.mem.RemoveFile(row.path) : w.mem.Put(row.path, row.bytes);
    }
    const std::string changed = w.mem.Text(row.path);
    auto first = RestoreStore(w.fs, kStore).Undo("", false, w.clock.now);
    ASSERT_TRUE(first);
    const std::string why =
        row.failure.empty() ? row.path + ": changed since the install, left alone" : row.failure;
    EXPECT_EQ(first->changed, std::vector<std::string>(!row.path.empty(), row.path));
    EXPECT_EQ(w.store().List()->front().problems, std::vector<std::string>{why});
    EXPECT_EQ(w.mem.Text(row.path), changed);
    EXPECT_TRUE(RestoreStore(w.fs, kStore).Undo("", true, w.clock.now)->complete());
    EXPECT_EQ(w.Changed(0), std::vector<std::string>{});
  }
}

// The fingerprint of what an install wrote, stored in journals: each function keeps its
// values, and one read from a journal is checked with the function that made it (16 hex
// digits: the first one; "x4:": four lanes; "xxh3:" or none: XXH3-64). SHA-256 too.
TEST(RestorePoints, FingerprintsKeepTheirValuesAndTheFunctionThatMadeThem) {
  struct Row {
    bool whole;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    std::string like, digest;
  };
  MemoryFileSystem mem;
  mem.Put("f", Fill('a', 100));
  const std::vector<std::pair<std::uint64_t, std::uint64_t>> two{{3, 40}, {50, 90}};
  for (const Row& row : {Row{true, {}, "", "xxh3:5b44ed466448b149"},
                         Row{false, two, "xxh3:0", "xxh3:ad2dad8b6969d780"},
                         Row{true, {}, "x4:0", "x4:bbb90f8c527aa3a4"},
                         Row{false, two, "x4:0", "x4:0c90bca149541081"},
                         Row{true, {}, "0000000000000000", "31a5c400a5b3300c"},
                         Row{false, two, "0000000000000000", "f74a2ef2f8e8d5a0"}}) {
    RangeSet written;
    for (const auto& [a, b] : row.ranges) written.Add(a, b);
    auto fp = AfterState(mem, "f", row.whole, written, row.like);
    ASSERT_TRUE(fp);
    EXPECT_EQ(fp->length, 100u);
    EXPECT_EQ(fp->digest, row.digest) << row.like;
  }
  EXPECT_EQ(*FileSha256(mem, "f"),
            "9d47402e47d594a261d6facbaf923e182514889dbf9a0c7124b98134d8608d20");
}

// A restore point that cannot be written, held by another process, or not finished; a
// journal write that fails once refuses every later change (the records it lost would
// leave a gap in the journal).
TEST(RestorePoints, WithoutARestorePointTheWindowAsksAndARunStops) {
  struct Row {
    FaultyFileSystem::Rule fault;
    RestorePolicy::Mode mode;
    MsgAnswer answer;
    bool installed, changed;
    std::string box;
  };
  const FaultyFileSystem::Rule no_store{
      "isdir", kStore, 0, -1, {err::kPathFileAccessError, "Path/File access error: M/R"}};
  const std::string why = "The restore point could not be written:\r\nPath/File access error: M/R";
  const std::string ask = why + "\r\nInstall without a restore point?";
  for (const Row& row :
       {Row{no_store, RestorePolicy::Mode::kAsk, MsgAnswer::kYes, true, true, ask},
        Row{no_store, RestorePolicy::Mode::kAsk, MsgAnswer::kNo, false, false, ask},
        Row{no_store, RestorePolicy::Mode::kRequire, MsgAnswer::kYes, false, false, why},
        Row{{"lock", "install.lock", 0, -1, {err::kFileAlreadyOpen, "File already open"}},
            RestorePolicy::Mode::kOff,
            MsgAnswer::kYes,
            false,
            false,
            "Another install or undo is under way with the restore points in M/R.\r\nInstall "
            "again once it has finished."},
        Row{{"write", "journal.bin", 1, 1, {err::kDiskFull, "Disk full"}},
            RestorePolicy::Mode::kRequire,
            MsgAnswer::kYes,
            true,
            false,
            "Error in AddFile, File: \"big.pcx\"\r\nDisk full"},
        Row{{"open", "manifest.txt", 0, -1, {err::kDiskFull, "Disk full"}},
            RestorePolicy::Mode::kRequire,
            MsgAnswer::kYes,
            true,
            true,
            "The restore point could not be finished:\r\nDisk full\r\nThis install may not be "
            "undone from it."}}) {
    World w(Control(0));
    w.fs.Fail(row.fault);
    w.dialogs.answers.push_back(row.answer);
    int registered = 0;  // Windows' uninstall list: never without a complete point
    w.window.set_restore_policy({row.mode, kStore, "Control.ini", nullptr,
                                 [&](auto&&...) { return ++registered, Status(); }});
    w.window.ClickInstall();
    EXPECT_EQ(registered, 0);
    std::vector<std::string> boxes;
    for (const auto& box : w.dialogs.boxes) boxes.push_back(box.text);
    EXPECT_NE(std::find(boxes.begin(), boxes.end(), row.box), boxes.end())
        << ::testing::PrintToString(boxes);
    EXPECT_EQ(w.window.restore_point_failed(), !row.installed);
    EXPECT_EQ(w.Changed(0).empty(), !row.changed);
    EXPECT_EQ(w.window.controls().install.visible, !row.installed);
  }
}

}  // namespace
}  // namespace dfm::testing
