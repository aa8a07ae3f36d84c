#include "restore/undo.h"

#include <algorithm>
#include <map>

#include "base/path_utils.h"
#include "restore/journaling_file_system.h"

namespace dfm {
namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

bool Exists(FileSystem& fs, const std::string& path) {
  return fs.FileLength(path).ok();
}

bool IsStep(RecordKind kind) {
  switch (kind) {
    case RecordKind::kTouched:
    case RecordKind::kCreated:
    case RecordKind::kWhole:
    case RecordKind::kRange:
    case RecordKind::kRenamed:
    case RecordKind::kStashed:
    case RecordKind::kTemp:
      return true;
    default:
      return false;
  }
}

// Writes `data` as the whole file, synced before it is closed.
Status WriteSynced(FileSystem& fs, const std::string& path, const Bytes& data) {
  auto file = fs.Open(path, OpenMode::kCreateFresh);
  if (!file) return file.failure();
  if (auto st = (*file)->WriteAt(0, data.data(), data.size()); !st) return st;
  if (auto st = (*file)->Sync(); !st) return st;
  return (*file)->Close();
}

// Calls `each` with the pieces of a file in turn.
template <class F>
Status ReadPieces(FileSystem& fs, const std::string& path, std::uint64_t& size, F each) {
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  auto length = (*file)->Size();
  if (!length) return length.failure();
  size = *length;
  Bytes piece(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size)));
  for (std::uint64_t at = 0; at < size; at += piece.size()) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - at));
    if (auto st = (*file)->ReadAt(at, piece.data(), n); !st) return st;
    if (auto st = each(at, piece.data(), n); !st) return st;
  }
  return {};
}

Result<bool> SameBytes(FileSystem& fs, const std::string& a, const std::string& b) {
  auto other = fs.Open(b, OpenMode::kRead);
  if (!other) return other.failure();
  auto other_size = (*other)->Size();
  if (!other_size) return other_size.failure();
  bool same = true;
  std::uint64_t size = 0;
  Bytes mine;
  Status read = ReadPieces(fs, a, size,
                           [&](std::uint64_t at, const unsigned char* p, std::size_t n) -> Status {
                             mine.resize(n);
                             if (at + n > *other_size)
                               return Status::Fail(err::kInputPastEndOfFile, "shorter");
                             if (auto st = (*other)->ReadAt(at, mine.data(), n); !st) return st;
                             same = same && std::equal(p, p + n, mine.begin());
                             return {};
                           });
  if (!read && read.failure().code == err::kInputPastEndOfFile) return false;
  if (!read) return read.failure();
  return same && size == *other_size;
}

// Across volumes the stash is copied to a temporary name beside the target, made durable
// with the original's time, and renamed into place; the stash stays until the whole
// install is undone.
Status PutBack(FileSystem& fs, const std::string& stash, const std::string& path) {
  Status moved = fs.Rename(stash, path);
  if (moved || !AcrossVolumes(moved.failure())) return moved;
  const std::string temp = path + ".~dfm";
  auto time = fs.ModifiedTime(stash);
  if (!time) return time.failure();
  Status st = [&]() -> Status {
    auto out = fs.Open(temp, OpenMode::kCreateFresh);
    if (!out) return out.failure();
    std::uint64_t size = 0;
    auto copy = [&](std::uint64_t at, const unsigned char* p, std::size_t n) {
      return (*out)->WriteAt(at, p, n);
    };
    if (auto st = ReadPieces(fs, stash, size, copy); !st) return st;
    if (auto st = (*out)->Sync(); !st) return st;
    return (*out)->Close();
  }();
  if (st) st = fs.SetModifiedTime(temp, *time);
  if (st) st = fs.Rename(temp, path);
  if (!st) (void)fs.RemoveFile(temp);
  return st;
}

// One step, which checks the state it expects first: run twice in a row, it does no
// more than once.
Status Step(FileSystem& fs, const JournalRecord& r) {
  const std::string& path = r.Text(0);
  switch (r.kind) {
    case RecordKind::kRange: {
      auto file = fs.Open(path, OpenMode::kUpdate);
      if (!file) return file.failure();
      if (auto st = (*file)->WriteAt(r.Number(0), r.data.data(), r.data.size()); !st) return st;
      if (auto st = (*file)->Sync(); !st) return st;
      return (*file)->Close();
    }
    case RecordKind::kWhole: {
      // Removed first, so that the name comes back in its old letter case.
      if (Exists(fs, path)) {
        if (auto st = fs.RemoveFile(path); !st) return st;
      }
      if (auto st = WriteSynced(fs, path, r.data); !st) return st;
      return fs.SetModifiedTime(path, TimeAt(r, 0));
    }
    case RecordKind::kCreated:
    case RecordKind::kTemp:  // a copy's temporary name: never a file of the player's
      return Exists(fs, path) ? fs.RemoveFile(path) : Status();
    case RecordKind::kTouched: {
      if (r.Number(0) == 0) return Exists(fs, path) ? fs.RemoveFile(path) : Status();
      auto file = fs.Open(path, OpenMode::kUpdate);
      if (!file) return file.failure();
      if (auto st = (*file)->SetLength(r.Number(1)); !st) return st;
      if (auto st = (*file)->Close(); !st) return st;
      return fs.SetModifiedTime(path, TimeAt(r, 2));
    }
    case RecordKind::kRenamed:
      if (Exists(fs, r.Text(0)) || !Exists(fs, r.Text(1))) return {};
      return fs.Rename(r.Text(1), r.Text(0));
    case RecordKind::kStashed: {
      const std::string& stash = r.Text(1);
      const bool stashed = Exists(fs, stash);
      if (!Exists(fs, path)) {
        if (stashed) return PutBack(fs, stash, path);
        return Status::Fail(err::kFileNotFound, "the original is missing: " + stash);
      }
      if (!stashed) return {};  // put back already, or never moved
      // The same bytes: a copy put back, or one the install made before a crash stopped
      // it removing the file. Anything else is never overwritten.
      auto same = SameBytes(fs, path, stash);
      if (!same) return same.failure();
      if (*same) return {};
      return Status::Fail(err::kFileAlreadyExists,
                          "another file is there; the original is kept in " + stash);
    }
    default:
      return {};
  }
}

}  // namespace

bool AcrossVolumes(const Failure& failure) {
  return failure.code == err::kNotSameDevice;
}

// A 'P' record: "done" or "to do", then the indexes of the records.
UndoProgress ReadProgress(const std::vector<JournalRecord>& records) {
  UndoProgress out;
  for (const JournalRecord& r : records) {
    if (r.kind != RecordKind::kProgress) continue;
    for (std::uint64_t i : r.numbers) {
      if (i >= records.size()) continue;
      if (r.Text(0) == "done") out.done.insert(static_cast<std::size_t>(i));
      out.begun.insert(FoldedPath(records[i].Text(0)));
      if (records[i].kind == RecordKind::kRenamed) out.begun.insert(FoldedPath(records[i].Text(1)));
    }
  }
  return out;
}

JournalRecord PlanRecord(const std::vector<JournalRecord>& records,
                         const std::set<std::size_t>& done, const std::set<std::string>& leave) {
  JournalRecord plan{RecordKind::kProgress, {"to do"}, {}, {}};
  for (std::size_t i = 0; i < records.size(); ++i) {
    const JournalRecord& r = records[i];
    if (IsStep(r.kind) && !done.count(i) && !leave.count(FoldedPath(r.Text(0))) &&
        !(r.kind == RecordKind::kRenamed && leave.count(FoldedPath(r.Text(1)))))
      plan.numbers.push_back(i);
  }
  return plan;
}

std::vector<std::string> ChangedSince(FileSystem& fs, const std::vector<JournalRecord>& records,
                                      const std::set<std::string>& begun) {
  std::vector<std::string> out;
  for (const JournalRecord& r : records) {
    if (r.kind != RecordKind::kAfter || begun.count(FoldedPath(r.Text(0)))) continue;
    RangeSet written;
    for (std::size_t i = 3; i + 1 < r.numbers.size(); i += 2)
      written.Add(r.numbers[i], r.numbers[i + 1]);
    auto now = AfterState(fs, r.Text(0), r.Number(2) != 0, written, r.Text(1));
    if (!now || now->exists != (r.Number(0) != 0) || now->length != r.Number(1) ||
        (now->exists && now->digest != r.Text(1)))
      out.push_back(r.Text(0));
  }
  return out;
}

std::vector<std::string> MissingStashes(FileSystem& fs, const std::vector<JournalRecord>& records,
                                        const std::set<std::size_t>& done,
                                        const std::set<std::string>& leave) {
  std::vector<std::string> out;
  // Paths a step still to come (newer than the one at hand) removes or replaces.
  std::set<std::string> cleared;
  for (std::size_t i = records.size(); i-- > 0;) {
    const JournalRecord& r = records[i];
    const std::string key = FoldedPath(r.Text(r.kind == RecordKind::kRenamed ? 1 : 0));
    if (done.count(i) || leave.count(key)) continue;
    if (r.kind == RecordKind::kCreated || r.kind == RecordKind::kWhole ||
        r.kind == RecordKind::kRenamed) {
      cleared.insert(key);
    } else if (r.kind == RecordKind::kStashed && !Exists(fs, r.Text(1)) &&
               (cleared.count(key) || !Exists(fs, r.Text(0)))) {
      out.push_back(r.Text(1));
    }
  }
  return out;
}

void ApplyUndo(FileSystem& fs, const std::vector<JournalRecord>& records,
               const std::set<std::size_t>& done, const std::set<std::string>& leave,
               JournalWriter* progress, UndoOutcome& out, const StepsDone& steps) {
  // Paths with finished steps whose notes are not durable yet, and whether those steps
  // are only writes of saved bytes and cuts to the first length, which may be redone in
  // any order.
  std::map<std::string, bool> pending;
  std::vector<std::uint64_t> notes;
  auto flush = [&]() -> Status {
    pending.clear();
    if (!progress || notes.empty()) return {};
    Status st = progress->Append({RecordKind::kProgress, {"done"}, notes, {}});
    notes.clear();
    return st ? progress->Flush() : st;
  };
  for (const JournalRecord& r : records) {
    if (r.kind == RecordKind::kTouched) out.touched.insert(FoldedPath(r.Text(0)));
  }
  std::size_t total = 0, taken = 0;
  for (std::size_t i = 0; i < records.size(); ++i)
    total += IsStep(records[i].kind) && !done.count(i);
  for (std::size_t i = records.size(); i-- > 0;) {
    const JournalRecord& r = records[i];
    if (!IsStep(r.kind) || done.count(i)) continue;
    if (steps) steps(taken++, total);
    std::vector<std::string> keys{FoldedPath(r.Text(0))};
    if (r.kind == RecordKind::kRenamed) keys.push_back(FoldedPath(r.Text(1)));
    bool left = false, wait = false;
    const bool reorders =
        r.kind == RecordKind::kRange || (r.kind == RecordKind::kTouched && r.Number(0) != 0);
    for (const auto& key : keys) {
      left = left || leave.count(key) || out.left.count(key);
      auto it = pending.find(key);
      wait = wait || (it != pending.end() && !(it->second && reorders));
    }
    if (left) {
      out.left.insert(keys.begin(), keys.end());
      continue;
    }
    if (wait) {
      if (Status st = flush(); !st) {
        out.failures.push_back("The undo's progress could not be recorded: " +
                               st.failure().description);
        out.left = out.touched;
        return;
      }
    }
    if (Status st = Step(fs, r); !st) {
      out.failures.push_back(r.Text(0) + ": " + st.failure().description);
      out.left.insert(keys.begin(), keys.end());
      continue;
    }
    notes.push_back(i);
    for (const auto& key : keys) {
      auto [it, fresh] = pending.emplace(key, reorders);
      if (!fresh) it->second = it->second && reorders;
    }
  }
  if (steps) steps(taken, total);
  if (Status st = flush(); !st) {
    out.failures.push_back("The undo's progress could not be recorded: " +
                           st.failure().description);
  }
}

}  // namespace dfm
