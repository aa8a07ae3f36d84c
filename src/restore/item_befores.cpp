#include "restore/item_befores.h"

#include <algorithm>
#include <unordered_map>

#include "base/path_utils.h"
#include "restore/restore_points.h"
#include "restore/undo.h"

namespace dfm::items {
namespace {

// A loose file's before, from the install's own records of it (those whose first text
// names it), in the journal's order.
Before LooseBefore(const std::vector<const JournalRecord*>& mine) {
  Before b;
  bool existed = false, seen = false;
  for (const JournalRecord* p : mine) {
    const JournalRecord& r = *p;
    if (r.kind == RecordKind::kRenamed) {
      // A target's before is in its own records; a file that was there before and was
      // renamed away lives on in the target, read back when an undo needs it.
      if (existed && b.how.empty()) b = {"moved", r.Text(1), {}, {}};
      continue;
    }
    if (r.kind == RecordKind::kTouched && !seen) {
      seen = true;
      existed = r.Number(0) != 0;
      if (!existed) b.how = "absent";
    } else if (existed && b.how.empty() && r.kind == RecordKind::kStashed) {
      b = {"stash", r.Text(1), {}, {}};
    } else if (existed && b.how.empty() && r.kind == RecordKind::kWhole) {
      b = {"whole", "", r.numbers, r.data};
    } else if (existed && b.how.empty() && r.kind == RecordKind::kRange) {
      return {};
    }
  }
  return b;
}

// A file's bytes and time as a before.
Result<Before> WholeBefore(FileSystem& fs, const std::string& path) {
  auto time = fs.ModifiedTime(path);
  if (!time) return time.failure();
  auto data = ReadWholeFile(fs, path);
  if (!data) return data.failure();
  Before out{"whole", "", {}, std::move(*data)};
  AppendTime(out.numbers, *time);
  return out;
}

// The bytes and time of a file X renamed away (its before "moved"): what the rename's
// target held as X left it, read from the target when X is still the top there, else
// from the before of the install over it. A target no longer as X left is not read
// unless forced.
Result<Before> MovedBefore(FileSystem& fs, const Stack& x, const Before& moved,
                           const std::vector<LaterPoint>& later, const std::vector<Stack>& stacks,
                           bool force) {
  const Item target{FoldedPath(moved.where), ""};
  const Failure unknown{err::kInvalidProcedureCall,
                        "renamed to " + moved.where + ", whose bytes cannot be told"};
  if (const LaterPoint* y = Above(later, stacks, target)) {
    const Before& b = stacks[static_cast<std::size_t>(y - later.data())].before.at(target);
    if (b.how == "whole") return Before{"whole", "", b.numbers, b.data};
    if (b.how != "stash") return unknown;
    return WholeBefore(fs, b.where);
  }
  const auto own = x.afters.find(target.first);
  if (own == x.afters.end()) return unknown;
  if (!force && !ChangedSince(fs, own->second, {}).empty())
    return Failure{err::kInvalidProcedureCall,
                   "renamed to " + moved.where + ", which changed since the install"};
  return WholeBefore(fs, moved.where);
}

}  // namespace

void ReadDone(const JournalRecord& r, std::size_t from, Stack& s) {
  std::size_t i = from;
  for (; i < r.texts.size() && r.texts[i] != "done"; ++i) s.paths.insert(r.texts[i]);
  for (++i; i + 1 < r.texts.size(); i += 2) s.done.insert({r.texts[i], r.texts[i + 1]});
}

Stack StackOf(const std::vector<JournalRecord>& records) {
  Stack s;
  // Each path's records, read once: an install of thousands of files is not read again
  // for each of them.
  std::vector<std::string> keys;
  keys.reserve(records.size());
  std::unordered_map<std::string, std::vector<const JournalRecord*>> by_path;
  for (const JournalRecord& r : records) {
    keys.push_back(FoldedPath(r.Text(0)));
    by_path[keys.back()].push_back(&r);
    if (r.kind == RecordKind::kEntry) s.archives.insert(keys.back());
    if (r.kind == RecordKind::kAfter) s.afters[keys.back()].push_back(r);
    if (r.kind == RecordKind::kRebased) s.rebased.insert(keys.back());
  }
  for (std::size_t i = 0; i < records.size(); ++i) {
    const JournalRecord& r = records[i];
    const std::string& key = keys[i];
    if (r.kind == RecordKind::kEntryBefore) {
      PffName name{};
      std::copy_n(r.Text(1).begin(), std::min(r.Text(1).size(), name.size()), name.begin());
      const Item item{key, EntryKey(name)};
      s.spelled.emplace(item, r.Text(0));
      s.before.emplace(item, r.Number(0) ? Before{"entry", r.Text(1), {r.Number(1)}, r.data}
                                         : Before{"absent", "", {}, {}});
    } else if (r.kind == RecordKind::kEntryAfter) {
      PffName name{};
      std::copy_n(r.Text(1).begin(), std::min(r.Text(1).size(), name.size()), name.begin());
      s.after[{key, EntryKey(name)}] = &r;
    } else if (r.kind == RecordKind::kTouched && !s.archives.count(key) &&
               !s.spelled.count({key, ""})) {
      s.spelled.emplace(Item{key, ""}, r.Text(0));
      s.before.emplace(Item{key, ""}, LooseBefore(by_path[key]));
    } else if (r.kind == RecordKind::kRebased && r.Text(3) != kShared) {
      s.before[{key, r.Text(1)}] = {r.Text(3), r.Text(4), r.numbers, r.data};
    } else if (r.kind == RecordKind::kProgress && r.Text(0) == "items") {
      ReadDone(r, 1, s);
    }
  }
  return s;
}

const LaterPoint* Above(const std::vector<LaterPoint>& later, const std::vector<Stack>& stacks,
                        const Item& item) {
  for (std::size_t i = 0; i < later.size(); ++i) {
    if (later[i].later && stacks[i].before.count(item)) return &later[i];
  }
  return nullptr;
}

std::set<std::string> TouchedPaths(const std::vector<LaterPoint>& later) {
  std::set<std::string> out;
  for (const LaterPoint& p : later) {
    for (const JournalRecord& r : p.records) {
      if (p.later && r.kind == RecordKind::kTouched) out.insert(FoldedPath(r.Text(0)));
    }
  }
  return out;
}

Status KeepMovedBefores(FileSystem& fs, const std::string& folder, const std::string& id, Stack& x,
                        const std::vector<LaterPoint>& later, const std::vector<Stack>& stacks,
                        bool force, std::set<std::string>& skip, ItemOutcome& out,
                        std::vector<JournalRecord>& kept) {
  for (auto& [item, before] : x.before) {
    if (before.how != "moved" || !x.paths.count(item.first) || x.done.count(item)) continue;
    auto found = MovedBefore(fs, x, before, later, stacks, force);
    if (!found) {
      out.failures.push_back(x.spelled[item] + ": " + found.failure().description);
      skip.insert({item.first, FoldedPath(before.where)});
      continue;
    }
    before = std::move(*found);
    kept.push_back({RecordKind::kRebased,
                    {x.spelled[item], "", id, before.how, ""},
                    before.numbers,
                    before.data});
  }
  if (kept.empty()) return {};
  const std::string path = AsFolder(folder) + kJournalName;
  auto journal = ReadJournal(fs, path);
  if (!journal) return journal.failure();
  auto writer = JournalWriter::Reopen(fs, path, journal->valid_bytes);
  if (!writer) return writer.failure();
  for (const JournalRecord& k : kept) {
    if (Status st = (*writer)->Append(k); !st) return st;
  }
  if (Status st = (*writer)->Flush(); !st) return st;
  return (*writer)->Close();
}

}  // namespace dfm::items
