// The journaling file system's held changes: the file objects it hands out, writes held
// or passed on, and the commit that makes the held changes' records durable and then
// passes the changes on.
#include <algorithm>

#include "base/path_utils.h"
#include "restore/journaling_file_system.h"
#include "restore/path_state.h"

namespace dfm {
namespace {

using Kind = JournalingFileSystem::PathState::Kind;

class JournaledFile final : public File {
 public:
  using PathState = JournalingFileSystem::PathState;
  JournaledFile(JournalingFileSystem& fs, std::unique_ptr<File> inner, PathState& state,
                bool append)
      : fs_(fs), inner_(std::move(inner)), state_(state), append_(append) {}
  Status ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
    if (auto st = fs_.Settle(&state_); !st) return st;
    return inner_->ReadAt(offset, out, size);
  }
  Status WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    if (append_) {
      auto end = fs_.Length(state_, *inner_);
      if (!end) return end.failure();
      offset = *end;
    }
    return fs_.Write(state_, *inner_, offset, data, size);
  }
  Result<std::uint64_t> Size() override { return fs_.Length(state_, *inner_); }
  Status Close() override { return inner_->Close(); }
  Status Sync() override { return inner_->Sync(); }
  Status SetLength(std::uint64_t length) override {
    if (auto st = fs_.Settle(&state_); !st) return st;
    auto size = inner_->Size();
    if (!size) return size.failure();
    // Cutting the file loses its tail: saved as a write over it would be.
    if (length < *size) {
      if (auto st = fs_.SaveRange(state_, length, *size - length); !st) return st;
    } else if (auto st = fs_.SaveRange(state_, *size, 0); !st) {
      return st;
    }
    return inner_->SetLength(length);
  }

 private:
  JournalingFileSystem& fs_;
  std::unique_ptr<File> inner_;
  PathState& state_;  // owned by fs_, which outlives its files
  bool append_;
};

}  // namespace

Result<std::unique_ptr<File>> JournalingFileSystem::Open(const std::string& path, OpenMode mode) {
  Status status;
  if (PathState* held = Held(path, status, mode != OpenMode::kRead)) {
    if (held->delete_held && mode == OpenMode::kRead) return NotFound(path);
    // A file opened to update keeps its held writes: its reads settle them, and its
    // length counts them.
    const bool keeps = mode != OpenMode::kRead && mode != OpenMode::kCreateFresh;
    if (held->delete_held || !keeps) {
      if (Status st = Commit(); !st) return st.failure();
    }
  }
  if (!status) return status.failure();
  if (mode == OpenMode::kRead) return inner_.Open(path, mode);
  PathState* state = Touch(path, status);
  if (!status) return status.failure();
  if (!state) return inner_.Open(path, mode);
  state->copied.reset();
  if (mode == OpenMode::kCreateFresh) {
    if (status = SaveWhole(*state); !status) return status.failure();
  }
  if (mode != OpenMode::kUpdate) {
    if (status = Created(*state); !status) return status.failure();
  }
  if (status = Durable(*state); !status) return status.failure();
  auto file = inner_.Open(path, mode);
  if (!file) return file.failure();
  if (mode == OpenMode::kCreateFresh) {
    state->written = RangeSet();
    state->whole = true;
  }
  if (state->kind != Kind::kKept || mode == OpenMode::kCreateFresh) state->kind = Kind::kFresh;
  return std::unique_ptr<File>(
      std::make_unique<JournaledFile>(*this, std::move(*file), *state, mode == OpenMode::kAppend));
}

Status JournalingFileSystem::SaveRange(PathState& state, std::uint64_t offset, std::uint64_t size) {
  if (Status st = RecordRange(state, offset, size); !st) return st;
  return Durable(state);
}

Status JournalingFileSystem::RecordRange(PathState& state, std::uint64_t offset,
                                         std::uint64_t size) {
  const std::uint64_t end = offset + size;
  state.written.Add(offset, end);
  state.copied.reset();
  if (state.kind == Kind::kKept && offset < state.base_length) {
    const auto missing = state.saved.Missing(offset, std::min(end, state.base_length));
    std::unique_ptr<File> reader;
    for (const auto& [from, to] : missing) {
      if (!reader) {
        auto opened = inner_.Open(state.path, OpenMode::kRead);
        if (!opened) return opened.failure();
        reader = std::move(*opened);
      }
      JournalRecord r{RecordKind::kRange, {state.path}, {from}, Bytes(to - from)};
      if (auto st = reader->ReadAt(from, r.data.data(), r.data.size()); !st) return st;
      if (auto st = Record(state, r); !st) return st;
      state.saved.Add(from, to);
    }
  }
  return {};
}

// Held bytes that a later write replaces are cut out of the held writes, so that no held
// write, passed on at the commit, brings older bytes back over newer ones.
void JournalingFileSystem::Supersede(PathState& state, std::uint64_t start, std::uint64_t end) {
  auto it = state.held.lower_bound(start);
  if (it != state.held.begin() && std::prev(it)->first + std::prev(it)->second.size() > start) --it;
  while (it != state.held.end() && it->first < end) {
    const std::uint64_t at = it->first, stop = at + it->second.size();
    Bytes bytes = std::move(it->second);
    it = state.held.erase(it);
    held_ -= bytes.size();
    if (stop > end) {  // lands before `it`, which starts at `stop` or later
      state.held.emplace(end,
                         Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(end - at), bytes.end()));
      held_ += stop - end;
    }
    if (at < start) {
      bytes.resize(static_cast<std::size_t>(start - at));
      held_ += bytes.size();
      state.held.emplace(at, std::move(bytes));
    }
  }
}

// A write whose replaced bytes are in the journal already (or that lies past the file's
// first length) is passed on at once; one that needs a record is held for the commit.
Status JournalingFileSystem::Write(PathState& state, File& file, std::uint64_t offset,
                                   const void* data, std::size_t size) {
  const std::uint64_t end = offset + size;
  const bool needs_record = state.kind == Kind::kKept && offset < state.base_length &&
                            !state.saved.Missing(offset, std::min(end, state.base_length)).empty();
  if (!state.held.empty()) Supersede(state, offset, end);
  if (!needs_record) {
    if (auto st = SaveRange(state, offset, size); !st) return st;
    return file.WriteAt(offset, data, size);
  }
  const auto* p = static_cast<const unsigned char*>(data);
  state.held.emplace(offset, Bytes(p, p + size));
  held_ += size;
  return held_ > hold_limit_ ? Commit() : Status();
}

Result<std::uint64_t> JournalingFileSystem::Length(PathState& state, File& file) {
  auto size = file.Size();
  if (!size) return size;
  return std::max(*size, state.HeldEnd());
}

Status JournalingFileSystem::Settle(PathState* state) {
  return state && state->HoldsChanges() ? Commit() : Status();
}

JournalingFileSystem::PathState* JournalingFileSystem::Held(const std::string& path, Status& status,
                                                            bool changes) {
  if (states_.empty()) return nullptr;
  const std::string key = FoldedPath(Absolute(path));
  auto it = states_.find(key);
  PathState* state = it != states_.end() && it->second->HoldsChanges() ? it->second.get() : nullptr;
  if ((state && !state->copy_from.empty()) || (changes && sources_.count(key))) {
    status = Commit();
    return nullptr;
  }
  return state;
}

Status JournalingFileSystem::Commit() {
  Status first;
  auto keep = [&](Status st) {
    if (first && !st) first = st;
  };
  for (PathState* state : order_) {
    for (const auto& [offset, bytes] : state->held) keep(RecordRange(*state, offset, bytes.size()));
  }
  if (!first) return first;  // a change whose record is missing is never made
  if (Status flushed = journal_.Flush(); !flushed) return flushed;  // nothing is passed on
  for (PathState* state : order_) {
    if (state->held.empty()) continue;
    auto file = inner_.Open(state->path, OpenMode::kUpdate);
    if (!file) keep(file.failure());
    for (const auto& [offset, bytes] : state->held) {
      if (file) keep((*file)->WriteAt(offset, bytes.data(), bytes.size()));
    }
    if (file) keep((*file)->Close());
    state->held.clear();
  }
  StashHeld(keep);
  // The copies' records are made durable once their targets' earlier files are in the
  // stash (undo of a "created" record removes what it finds), then the copies are made.
  bool copies = false;
  Status recorded;
  for (PathState* state : order_) {
    if (state->copy_from.empty()) continue;
    copies = true;
    if (recorded && state->copy_creates) {
      recorded = Record(*state, {RecordKind::kCreated, {state->path}, {}, {}});
    }
    if (recorded) {
      recorded = Record(*state, {RecordKind::kTemp, {state->path + kReplacingSuffix}, {}, {}});
    }
  }
  if (copies && recorded) recorded = journal_.Flush();
  for (PathState* state : order_) {
    if (state->copy_from.empty()) continue;
    WholeFingerprint seen;
    Status copied =
        recorded ? inner_.CopyFileWatched(state->copy_from, state->path, seen) : recorded;
    if (copied) state->copied = seen.Made();
    if (!copied) {
      state->kind = state->copy_creates ? Kind::kAbsent : Kind::kFresh;
      state->whole = !state->copy_creates;
    }
    keep(copied);
    state->copy_from.clear();
  }
  sources_.clear();
  held_ = 0;
  return first;
}

// Deleted files go to fresh names in the restore point's folder, which only this run
// writes: its listing, read once, answers the lookups of those names. Across volumes a
// file is copied there with its time, and removed only once the copies and the folder
// are synced. A
// file that stays keeps its content state, and a copy held to replace it is dropped.
void JournalingFileSystem::StashHeld(const std::function<void(Status)>& keep) {
  std::unique_ptr<FileBatch> batch;
  std::vector<PathState*> copied;
  auto stays = [&](PathState& state, const Status& why) {
    keep(why);
    state.kind = Kind::kKept;
    state.copy_from.clear();
  };
  for (PathState* state : order_) {
    if (!state->delete_held) continue;
    state->delete_held = false;
    if (state->stash.empty()) {
      if (Status st = inner_.RemoveFile(state->path); !st) stays(*state, st);
      continue;
    }
    if (!batch) batch = inner_.BeginBatch();
    Status moved = inner_.ReplaceFile(state->path, state->stash);
    if (!moved && moved.failure().code == err::kNotSameDevice) {
      // The copy keeps the original's time, as a rename would: undo puts it back.
      auto time = inner_.ModifiedTime(state->path);
      moved = time ? CopyFileDurably(inner_, state->path, state->stash) : time.failure();
      if (moved) moved = inner_.SetModifiedTime(state->stash, *time);
      if (moved) copied.push_back(state);
    }
    if (!moved) stays(*state, moved);
    state->stash.clear();
  }
  if (copied.empty()) return;
  const Status synced = inner_.SyncFolder(stash_);
  for (PathState* state : copied) {
    const Status removed = synced ? inner_.RemoveFile(state->path) : synced;
    if (!removed) stays(*state, removed);
  }
}

}  // namespace dfm
