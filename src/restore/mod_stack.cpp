// The installs that touched one item (a loose file, or one entry of an archive) form a
// stack, oldest at the bottom; the game shows the top. Undoing install X takes each of
// its items in turn:
// - X is the top (no later live install has the item): the item gets X's before back,
//   an entry re-added with its old stored name, timestamp and bytes or turned into dead
//   space, a loose file written back or removed. When the item is no longer what X
//   left, it is reported and left alone unless forced.
// - a later install Y has it: nothing is written, and Y's before of the item becomes X's
//   (a 'K' record appended to Y's journal, naming X, so that writing it twice is
//   harmless; a stashed file moves into Y's folder), so that undoing Y later gives back
//   what the game showed before X.
// A path is taken item by item only when it must be: a later live install touched it,
// an earlier undo re-based it, or (an archive) it is no longer byte for byte what X left.
// Every other path is replayed from X's journal as before, so that newest-first undo
// gives the same bytes as before the install.
//
// Crash safety: the item-level writes go through a journaling file system into
// kItemUndoName in X's folder. Before its end mark, a stop is rolled back (the folder as
// before the undo). The end mark lists the items done; after it, the re-basing is
// written, then an "items" progress record in X's journal, and the undo journal is
// removed. Each of those steps is redone harmlessly by the next pass.
#include "restore/mod_stack.h"

#include <map>

#include "base/path_utils.h"
#include "pff/pff_entries.h"
#include "restore/after_state.h"
#include "restore/item_befores.h"
#include "restore/journaling_file_system.h"
#include "restore/undo.h"

namespace dfm {
namespace {

using namespace items;

std::string Join(const std::string& folder, const std::string& name) {
  return AsFolder(folder) + name;
}

bool Exists(FileSystem& fs, const std::string& path) {
  return fs.FileLength(path).ok();
}

// Whether the entry is still as X left it.
bool EntryAsLeft(FileSystem& fs, const std::string& archive, const PffDirectory& dir,
                 const PffName& name, const JournalRecord* after) {
  const std::size_t at = dir.FindLive(name);
  if (!after || !after->Number(0)) return after && at == PffLookup::kNone;
  if (at == PffLookup::kNone) return false;
  const PffEntry& e = dir.entries()[at];
  if (std::string(e.name.begin(), e.name.end()) != after->Text(1) ||
      static_cast<std::uint32_t>(e.timestamp) != after->Number(1) ||
      static_cast<std::uint64_t>(e.data_size) != after->Number(2))
    return false;
  auto data = ReadPffData(fs, archive, e);
  return data && EntryDigest(*data) == after->Text(2);
}

Status PutEntryBack(FileSystem& fs, const std::string& archive, PffDirectory& dir,
                    const PffName& name, const Before& b) {
  if (b.how == "entry") {
    PffEntry e;
    std::copy_n(b.where.begin(), std::min(b.where.size(), e.name.size()), e.name.begin());
    e.timestamp = static_cast<std::int32_t>(b.numbers.empty() ? 0 : b.numbers[0]);
    return AddPffEntry(fs, archive, dir, e, b.data);
  }
  const std::size_t at = dir.FindLive(name);
  return at == PffLookup::kNone ? Status() : RemovePffEntry(fs, archive, dir, at);
}

Status PutFileBack(FileSystem& fs, const std::string& path, const Before& b) {
  if (Exists(fs, path)) {
    if (Status st = fs.RemoveFile(path); !st) return st;
  }
  if (b.how == "stash") {
    auto time = fs.ModifiedTime(b.where);
    if (!time) return time.failure();
    if (Status st = fs.CopyFile(b.where, path); !st) return st;
    return fs.SetModifiedTime(path, *time);
  }
  if (b.how == "whole") {
    auto file = fs.Open(path, OpenMode::kCreateFresh);
    if (!file) return file.failure();
    if (Status st = (*file)->WriteAt(0, b.data.data(), b.data.size()); !st) return st;
    if (Status st = (*file)->Close(); !st) return st;
    JournalRecord time{RecordKind::kWhole, {}, b.numbers, {}};
    return fs.SetModifiedTime(path, TimeAt(time, 0));
  }
  return {};
}

// After the undo journal's end mark: each item done under a later install re-bases
// that install's before (a stashed file moves into its folder first), then X's journal
// notes the items done, and the undo journal goes. Each step is harmless to repeat.
Status FinishItems(FileSystem& fs, const std::string& folder, const std::string& id,
                   const std::vector<JournalRecord>& records,
                   const std::vector<LaterPoint>& later) {
  auto undo = ReadJournal(fs, Join(folder, kItemUndoName));
  if (!undo) return undo.failure();
  const JournalRecord& end = undo->records.back();
  Stack x = StackOf(records), prior;
  ReadDone(end, 1, prior);
  std::vector<Stack> stacks;
  for (const LaterPoint& p : later) stacks.push_back(StackOf(p.records));
  std::map<const LaterPoint*, std::unique_ptr<JournalWriter>> writers;
  int n = 0;
  for (const Item& item : prior.done) {
    const LaterPoint* y = Above(later, stacks, item);
    if (!y) continue;
    Before before = x.before[item];
    bool written = false;
    for (const JournalRecord& k : y->records) {
      written |= k.kind == RecordKind::kRebased && FoldedPath(k.Text(0)) == item.first &&
                 k.Text(1) == item.second && k.Text(2) == id;
    }
    ++n;
    if (written) continue;
    if (before.how == "stash") {
      const std::string moved = Join(y->folder, "rebased-" + id + "-" + std::to_string(n));
      if (Exists(fs, before.where)) {
        if (Status st = fs.Rename(before.where, moved); !st) return st;
      }
      before.where = moved;
    }
    auto& writer = writers[y];
    if (!writer) {
      auto opened = JournalWriter::Reopen(fs, Join(y->folder, "journal.bin"), y->valid_bytes);
      if (!opened) return opened.failure();
      writer = std::move(*opened);
    }
    JournalRecord k{RecordKind::kRebased,
                    {x.spelled[item], item.second, id, before.how, before.where},
                    before.numbers,
                    before.data};
    if (Status st = writer->Append(k); !st) return st;
  }
  // Every other live install that touched an archive this undo wrote into takes it item
  // by item from now on.
  std::set<std::string> wrote;
  for (const Item& item : prior.done) {
    if (!item.second.empty() && !Above(later, stacks, item)) wrote.insert(item.first);
  }
  for (const LaterPoint& y : later) {
    for (const std::string& path : wrote) {
      bool touched = false, marked = false;
      for (const JournalRecord& r : y.records) {
        const bool here = FoldedPath(r.Text(0)) == path;
        touched |= here && r.kind == RecordKind::kTouched;
        marked |= here && r.kind == RecordKind::kRebased && r.Text(2) == id && r.Text(3) == kShared;
      }
      if (!touched || marked) continue;
      auto& writer = writers[&y];
      if (!writer) {
        auto opened = JournalWriter::Reopen(fs, Join(y.folder, "journal.bin"), y.valid_bytes);
        if (!opened) return opened.failure();
        writer = std::move(*opened);
      }
      if (Status st = writer->Append({RecordKind::kRebased, {path, "", id, kShared, ""}, {}, {}});
          !st)
        return st;
    }
  }
  for (auto& [point, writer] : writers) {
    if (Status st = writer->Flush(); !st) return st;
    if (Status st = writer->Close(); !st) return st;
  }
  JournalRecord items{RecordKind::kProgress, {"items"}, {}, {}};
  items.texts.insert(items.texts.end(), end.texts.begin() + 1, end.texts.end());
  auto journal = ReadJournal(fs, Join(folder, "journal.bin"));
  if (!journal) return journal.failure();
  auto append = JournalWriter::Reopen(fs, Join(folder, "journal.bin"), journal->valid_bytes);
  if (!append) return append.failure();
  Status st = (*append)->Append(items);
  if (st) st = (*append)->Flush();
  if (st) st = (*append)->Close();
  if (!st) return st;
  return fs.RemoveFile(Join(folder, kItemUndoName));
}

}  // namespace

Result<bool> RollBackItemUndo(FileSystem& fs, const std::string& folder) {
  const std::string path = Join(folder, kItemUndoName);
  if (!Exists(fs, path)) return false;
  auto journal = ReadJournal(fs, path);
  if (!journal) return journal.failure();
  for (const JournalRecord& r : journal->records) {
    if (r.kind == RecordKind::kEnd) return true;
  }
  UndoOutcome out;
  ApplyUndo(fs, journal->records, {}, {}, nullptr, out);
  if (!out.failures.empty()) return Failure{err::kPathFileAccessError, out.failures.front()};
  if (Status st = fs.RemoveFile(path); !st) return st.failure();
  return false;
}

Result<ItemOutcome> UndoItems(FileSystem& fs, const std::string& folder, const std::string& id,
                              const std::vector<JournalRecord>& records,
                              const std::vector<LaterPoint>& later,
                              const std::set<std::string>& begun, bool force,
                              const LocalDateTime& now) {
  auto committed = RollBackItemUndo(fs, folder);
  if (!committed) return committed.failure();
  if (*committed) {
    // A pass that stopped after its end mark: finished first, then this pass goes on
    // with what that one left.
    if (Status st = FinishItems(fs, folder, id, records, later); !st) return st.failure();
    auto journal = ReadJournal(fs, Join(folder, "journal.bin"));
    if (!journal) return journal.failure();
    auto rest = UndoItems(fs, folder, id, journal->records, later, begun, force, now);
    if (rest && !rest->journal_bytes) rest->journal_bytes = journal->valid_bytes;
    return rest;
  }
  Stack x = StackOf(records);
  std::vector<Stack> stacks;
  for (const LaterPoint& p : later) stacks.push_back(StackOf(p.records));
  const std::set<std::string> covered = TouchedPaths(later);
  for (const auto& [item, before] : x.before) {
    const std::string& path = item.first;
    if (begun.count(path) || x.paths.count(path)) continue;
    if (covered.count(path) || x.rebased.count(path)) x.paths.insert(path);
  }
  // The two names of a rename go together: both item by item, or both replayed.
  for (bool grew = true; grew;) {
    grew = false;
    for (const JournalRecord& r : records) {
      const std::string from = FoldedPath(r.Text(0)), to = FoldedPath(r.Text(1));
      if (r.kind == RecordKind::kRenamed && x.paths.count(from) != x.paths.count(to) &&
          !begun.count(from) && !begun.count(to)) {
        x.paths.insert({from, to});
        grew = true;
      }
    }
  }
  ItemOutcome out;
  std::set<std::string> skip;
  std::vector<JournalRecord> kept, mine;
  if (Status st = KeepMovedBefores(fs, folder, id, x, later, stacks, force, skip, out, kept); !st)
    return st.failure();
  if (!kept.empty()) {
    mine = records;
    mine.insert(mine.end(), kept.begin(), kept.end());
  }
  const std::vector<JournalRecord>& with_kept = kept.empty() ? records : mine;
  // Archives X added entries to in a journal without their before records (made by an
  // earlier version) cannot be taken entry by entry.
  for (const std::string& path : x.archives) {
    bool known = false;
    for (const auto& [item, before] : x.before) known |= item.first == path && !item.second.empty();
    if (!known && x.paths.count(path)) {
      out.failures.push_back(path +
                             ": its restore point keeps no entries; undo the later "
                             "installs first");
      ++out.left;
    }
  }
  out.paths = x.paths;
  JournalRecord end{RecordKind::kEnd, {FormatTime(now)}, {}, {}};
  end.texts.insert(end.texts.end(), x.paths.begin(), x.paths.end());
  end.texts.push_back("done");
  std::unique_ptr<JournalWriter> writer;
  std::unique_ptr<JournalingFileSystem> jfs;
  std::map<std::string, PffDirectory> dirs;
  for (const auto& [item, before] : x.before) {
    if (!x.paths.count(item.first) || x.done.count(item)) continue;
    if (skip.count(item.first)) {
      ++out.left;
      continue;
    }
    if (!jfs) {
      const std::string stash = Join(folder, "undo");
      if (auto is = fs.IsDirectory(stash); !is || !*is) {
        if (Status st = fs.MakeDirectory(stash); !st) return st.failure();
      }
      auto made = JournalWriter::Create(fs, folder, Join(folder, kItemUndoName));
      if (!made) return made.failure();
      writer = std::move(*made);
      jfs = std::make_unique<JournalingFileSystem>(fs, *writer, nullptr, stash);
    }
    const std::string& path = x.spelled[item];
    Status put;
    if (Above(later, stacks, item)) {
      if (before.how.empty())
        put = Status::Fail(err::kInvalidProcedureCall, "cannot be undone under a later install");
    } else if (item.second.empty()) {
      const auto own = x.afters.find(item.first);
      if (!force && own != x.afters.end() && !ChangedSince(fs, own->second, {}).empty()) {
        out.changed.push_back(path);
        ++out.left;
        continue;
      }
      put = before.how.empty() ? Status::Fail(err::kInvalidProcedureCall,
                                              "its state before the install is not known")
                               : PutFileBack(*jfs, path, before);
    } else {
      auto it = dirs.find(item.first);
      if (it == dirs.end()) {
        auto read = ReadPffArchive(*jfs, path);
        if (!read) {
          out.failures.push_back(path + ": " + read.failure().description);
          ++out.left;
          continue;
        }
        it = dirs.emplace(item.first, std::move(*read)).first;
      }
      PffName name{};
      std::copy_n(item.second.begin(), std::min(item.second.size(), name.size()), name.begin());
      const JournalRecord* after = x.after.count(item) ? x.after.at(item) : nullptr;
      if (!force && !EntryAsLeft(*jfs, path, it->second, name, after)) {
        out.changed.push_back(path + ": " + PffNameText(name));
        ++out.left;
        continue;
      }
      put = PutEntryBack(*jfs, path, it->second, name, before);
    }
    if (!put) {
      out.failures.push_back(path + ": " + put.failure().description);
      ++out.left;
      continue;
    }
    end.texts.insert(end.texts.end(), {item.first, item.second});
  }
  if (!kept.empty()) {
    auto length = fs.FileLength(Join(folder, "journal.bin"));
    if (!length) return length.failure();
    out.journal_bytes = *length;
  }
  if (!jfs) return out;
  Status st = jfs->Commit();
  end.numbers = {writer->records(), writer->chain()};
  if (st) st = writer->Append(end);
  if (st) st = writer->Flush();
  if (st) st = writer->Close();
  if (st) st = FinishItems(fs, folder, id, with_kept, later);
  if (!st) return st.failure();
  auto length = fs.FileLength(Join(folder, "journal.bin"));
  if (!length) return length.failure();
  out.journal_bytes = *length;
  return out;
}

}  // namespace dfm
