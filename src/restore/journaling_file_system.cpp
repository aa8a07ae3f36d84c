#include "restore/journaling_file_system.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/path_utils.h"

namespace dfm {

std::vector<std::pair<std::uint64_t, std::uint64_t>> RangeSet::Missing(std::uint64_t start,
                                                                       std::uint64_t end) const {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
  auto it = ranges_.upper_bound(start);
  if (it != ranges_.begin() && std::prev(it)->second > start) start = std::prev(it)->second;
  for (; start < end; ++it) {
    const std::uint64_t next = it == ranges_.end() ? end : std::min(end, it->first);
    if (next > start) out.emplace_back(start, next);
    if (it == ranges_.end()) break;
    start = std::max(start, it->second);
  }
  return out;
}

void RangeSet::Add(std::uint64_t start, std::uint64_t end) {
  if (start >= end) return;
  auto it = ranges_.upper_bound(start);
  if (it != ranges_.begin() && std::prev(it)->second >= start) {
    --it;
    start = it->first;
  }
  while (it != ranges_.end() && it->first <= end) {
    end = std::max(end, it->second);
    it = ranges_.erase(it);
  }
  ranges_.emplace(start, end);
}

// What the journal knows of one path. The content state moves with a rename.
struct JournalingFileSystem::PathState {
  enum class Kind {
    kKept,    // holds content from before the install: writes below base_length are saved
    kFresh,   // content the install made: undo removes it, nothing needs saving
    kAbsent,  // no file
  };
  Kind kind = Kind::kAbsent;
  std::string path;  // absolute, as first touched
  bool existed = false;
  std::uint64_t base_length = 0;
  RangeSet saved;      // ranges whose bytes from before the install are in the journal
  RangeSet written;    // ranges the install wrote into the content
  bool whole = false;  // the install wrote (or moved in) the whole content
  bool replaced = false;
  std::string moved_to, moved_from;
  std::map<std::uint64_t, Bytes> held;  // disjoint writes waiting for the next commit
  bool delete_held = false;             // a deletion waiting for it
  std::string stash;                    // where the deletion moves the file
  std::uint64_t record_end = 0;         // the journal's length after this path's latest record
  bool HoldsChanges() const { return !held.empty() || delete_held; }
};

namespace {

using Kind = JournalingFileSystem::PathState::Kind;

// Where the last held write ends (0 when none is held).
std::uint64_t HeldEnd(const JournalingFileSystem::PathState& state) {
  return state.held.empty() ? 0 : state.held.rbegin()->first + state.held.rbegin()->second.size();
}

Failure NotFound(const std::string& path) {
  return {err::kFileNotFound, "File not found: " + path};
}

bool IsAbsolute(const std::string& p) {
  return (!p.empty() && (p[0] == '/' || p[0] == '\\')) || (p.size() > 1 && p[1] == ':');
}

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

JournalingFileSystem::JournalingFileSystem(FileSystem& inner, JournalWriter& journal,
                                           std::function<bool(const std::string&)> skip,
                                           std::string stash)
    : inner_(inner), journal_(journal), skip_(std::move(skip)), stash_(std::move(stash)) {}

JournalingFileSystem::~JournalingFileSystem() = default;

std::string AbsolutePath(FileSystem& fs, const std::string& path) {
  if (IsAbsolute(path)) return path;
  auto cwd = fs.CurrentDirectory();
  if (!cwd || cwd->empty()) return path;
  return AsFolder(*cwd) + path;
}

std::string JournalingFileSystem::Absolute(const std::string& path) {
  return AbsolutePath(inner_, path);
}

Status JournalingFileSystem::Record(PathState& state, const JournalRecord& record) {
  Status st = journal_.Append(record);
  state.record_end = journal_.bytes_written();
  return st;
}

// Before a change to a file, the records about it must be on the disk; records about
// other files may wait for their own changes.
Status JournalingFileSystem::Durable(const PathState& state) {
  return journal_.FlushTo(state.record_end);
}

JournalingFileSystem::PathState* JournalingFileSystem::Touch(const std::string& path,
                                                             Status& status, bool* first) {
  const std::string absolute = Absolute(path);
  if (skip_ && skip_(absolute)) return nullptr;
  const std::string key = FoldedPath(absolute);
  if (auto it = states_.find(key); it != states_.end()) return it->second.get();
  auto stat = inner_.Stat(absolute);
  if (!stat && stat.failure().code != err::kFileNotFound) {
    status = stat.failure();
    return nullptr;
  }
  auto state = std::make_unique<PathState>();
  state->path = absolute;
  state->existed = stat.ok();
  state->kind = stat ? Kind::kKept : Kind::kAbsent;
  state->base_length = stat ? stat->length : 0;
  JournalRecord r{
      RecordKind::kTouched, {absolute}, {state->existed ? 1u : 0u, state->base_length}, {}};
  AppendTime(r.numbers, stat ? stat->modified : LocalDateTime{});
  if (status = Record(*state, r); !status) return nullptr;
  if (first) *first = true;
  PathState* made = states_.emplace(key, std::move(state)).first->second.get();
  order_.push_back(made);
  return made;
}

// The file's whole content and time, before something replaces or removes it.
Status JournalingFileSystem::SaveWhole(PathState& state) {
  if (state.kind != Kind::kKept) return {};
  auto bytes = ReadWholeFile(inner_, state.path);
  if (!bytes) return bytes.failure();
  auto time = inner_.ModifiedTime(state.path);
  if (!time) return time.failure();
  auto exact = inner_.ExactPath(state.path);
  JournalRecord r{RecordKind::kWhole, {exact ? *exact : state.path}, {}, std::move(*bytes)};
  AppendTime(r.numbers, *time);
  state.replaced = state.existed;
  return Record(state, r);
}

Status JournalingFileSystem::Created(PathState& state) {
  if (state.kind != Kind::kAbsent) return {};
  return Record(state, {RecordKind::kCreated, {state.path}, {}, {}});
}

Result<std::unique_ptr<File>> JournalingFileSystem::Open(const std::string& path, OpenMode mode) {
  if (PathState* held = Held(path)) {
    if (held->delete_held && mode == OpenMode::kRead) return NotFound(path);
    // A file opened to update keeps its held writes: its reads settle them, and its
    // length counts them.
    const bool keeps = mode != OpenMode::kRead && mode != OpenMode::kCreateFresh;
    if (held->delete_held || !keeps) {
      if (Status st = Commit(); !st) return st.failure();
    }
  }
  if (mode == OpenMode::kRead) return inner_.Open(path, mode);
  Status status;
  PathState* state = Touch(path, status);
  if (!status) return status.failure();
  if (!state) return inner_.Open(path, mode);
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
  return std::max(*size, HeldEnd(state));
}

Status JournalingFileSystem::Settle(PathState* state) {
  return state && state->HoldsChanges() ? Commit() : Status();
}

JournalingFileSystem::PathState* JournalingFileSystem::Held(const std::string& path) {
  if (states_.empty()) return nullptr;
  auto it = states_.find(FoldedPath(Absolute(path)));
  return it != states_.end() && it->second->HoldsChanges() ? it->second.get() : nullptr;
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
  // The deleted files go to fresh names in the restore point's folder, which only this
  // run writes: its listing, read once, answers the lookups of those names.
  std::unique_ptr<FileBatch> batch;
  for (PathState* held : order_) {
    PathState& state = *held;
    if (!state.held.empty()) {
      auto file = inner_.Open(state.path, OpenMode::kUpdate);
      if (!file) keep(file.failure());
      for (const auto& [offset, bytes] : state.held) {
        if (file) keep((*file)->WriteAt(offset, bytes.data(), bytes.size()));
      }
      if (file) keep((*file)->Close());
      state.held.clear();
    }
    if (state.delete_held && state.stash.empty()) keep(inner_.RemoveFile(state.path));
    if (state.delete_held && !state.stash.empty()) {
      // Moved, not copied; across volumes, copied and then removed. The name in the
      // stash is this run's own and new.
      if (!batch) batch = inner_.BeginBatch();
      Status moved = inner_.ReplaceFile(state.path, state.stash);
      if (!moved) {
        moved = inner_.CopyFile(state.path, state.stash);
        if (moved) moved = inner_.RemoveFile(state.path);
      }
      keep(moved);
    }
    state.delete_held = false;
    state.stash.clear();
  }
  held_ = 0;
  return first;
}

// Queries see the held changes: a held deletion hides the file, held writes lengthen it.
Result<FileStat> JournalingFileSystem::Stat(const std::string& path) {
  PathState* held = Held(path);
  if (held && held->delete_held) return NotFound(path);
  auto stat = inner_.Stat(path);
  if (!stat || !held) return stat;
  stat->length = std::max(stat->length, HeldEnd(*held));
  return stat;
}

Result<std::uint64_t> JournalingFileSystem::FileLength(const std::string& path) {
  if (!Held(path)) return inner_.FileLength(path);
  auto stat = Stat(path);
  if (!stat) return stat.failure();
  return stat->length;
}

Result<LocalDateTime> JournalingFileSystem::ModifiedTime(const std::string& path) {
  if (!Held(path)) return inner_.ModifiedTime(path);
  auto stat = Stat(path);
  if (!stat) return stat.failure();
  return stat->modified;
}

Status JournalingFileSystem::SetModifiedTime(const std::string& path, const LocalDateTime& time) {
  Status status = Held(path) ? Commit() : Status();
  if (!status) return status;
  PathState* state = Touch(path, status);
  if (status && state) status = Durable(*state);
  if (!status) return status;
  return inner_.SetModifiedTime(path, time);
}

Status JournalingFileSystem::CopyFile(const std::string& from, const std::string& to) {
  Status status = Held(from) || Held(to) ? Commit() : Status();
  if (!status) return status;
  PathState* state = Touch(to, status);
  if (!status) return status;
  if (!state) return inner_.CopyFile(from, to);
  if (status = SaveWhole(*state); status) status = Created(*state);
  if (status) status = Durable(*state);
  if (!status) return status;
  status = inner_.CopyFile(from, to);
  state->kind = Kind::kFresh;
  state->whole = true;
  return status;
}

Result<FileIdentity> JournalingFileSystem::Identity(const std::string& path) {
  PathState* held = Held(path);
  if (held && held->delete_held) return NotFound(path);
  return inner_.Identity(path);
}

Status JournalingFileSystem::Rename(const std::string& from, const std::string& to) {
  return Move(from, to, false);
}

// A rename over an existing target records the target's bytes first, as a deletion would.
Status JournalingFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
  return Move(from, to, true);
}

Status JournalingFileSystem::Move(const std::string& from, const std::string& to, bool replace) {
  Status status = Held(from) || Held(to) ? Commit() : Status();
  if (!status) return status;
  PathState* source = Touch(from, status);
  PathState* target = status ? Touch(to, status) : nullptr;
  if (!status) return status;
  if (!source || !target) return replace ? inner_.ReplaceFile(from, to) : inner_.Rename(from, to);
  if (status = SaveWhole(*target); status) {
    status = Record(*target, {RecordKind::kRenamed, {source->path, target->path}, {}, {}});
  }
  if (status) status = journal_.FlushTo(std::max(source->record_end, target->record_end));
  if (!status) return status;
  status = replace ? inner_.ReplaceFile(from, to) : inner_.Rename(from, to);
  if (!status) return status;
  target->kind = source->kind;
  target->base_length = source->base_length;
  target->saved = std::move(source->saved);
  target->written = std::move(source->written);
  target->whole = true;
  target->moved_from = source->path;
  source->kind = Kind::kAbsent;
  source->saved = RangeSet();
  source->written = RangeSet();
  source->moved_to = target->path;
  return {};
}

Status JournalingFileSystem::RemoveFile(const std::string& path) {
  if (PathState* held = Held(path)) {
    if (held->delete_held) return NotFound(path);
    if (Status st = Commit(); !st) return st;
  }
  Status status;
  bool first = false;
  PathState* state = Touch(path, status, &first);
  if (!status) return status;
  if (!state) return inner_.RemoveFile(path);
  if (state->kind == Kind::kAbsent) return inner_.RemoveFile(path);  // fails as it should
  if (state->kind == Kind::kFresh) {
    if (status = Durable(*state); !status) return status;
    status = inner_.RemoveFile(path);
    if (status) state->kind = Kind::kAbsent;
    return status;
  }
  // Held: the deletion waits for the next commit, and the file is hidden until then. A
  // file touched just now was found there by that touch.
  if (!first) {
    if (auto length = inner_.FileLength(path); !length) return length.failure();
  }
  if (!stash_.empty()) {
    auto exact = inner_.ExactPath(state->path);
    state->stash = AsFolder(stash_) + "deleted-" + std::to_string(++stashed_);
    state->replaced = state->existed;
    status = Record(*state,
                    {RecordKind::kStashed, {exact ? *exact : state->path, state->stash}, {}, {}});
  } else {
    status = SaveWhole(*state);
  }
  if (!status) return status;
  state->kind = Kind::kAbsent;
  state->delete_held = true;  // holds no bytes in memory: waits for the next commit
  return {};
}

std::vector<TouchedFile> JournalingFileSystem::Touched() {
  std::vector<TouchedFile> out;
  for (const PathState* state : order_) {
    const PathState& s = *state;
    const bool now = s.kind != Kind::kAbsent;
    std::string how;
    if (!s.moved_from.empty() && now) {
      how = "moved from " + s.moved_from;
    } else if (!s.moved_to.empty() && s.existed) {
      how = "moved to " + s.moved_to;
    } else if (!s.existed && now) {
      how = "created";
    } else if (s.existed && !now) {
      how = "deleted";
    } else if (s.existed && (s.replaced || s.whole)) {
      how = "replaced";
    } else if (s.existed && !s.written.ranges().empty()) {
      how = "changed";
    }
    if (!how.empty()) out.push_back({s.path, how});
  }
  return out;
}

Status JournalingFileSystem::RecordAfterStates() {
  if (Status st = Commit(); !st) return st;
  for (const PathState* state : order_) {
    const PathState& s = *state;
    JournalRecord r{RecordKind::kAfter, {s.path}, {}, {}};
    // A file the install removed is known to be absent without asking the host.
    auto fp = s.kind == Kind::kAbsent ? AfterFingerprint{}
                                      : AfterState(inner_, s.path, s.whole, s.written);
    if (!fp) return fp.failure();
    r.texts.push_back(fp->digest);
    r.numbers = {fp->exists ? 1u : 0u, fp->length, s.whole ? 1u : 0u};
    for (const auto& [a, b] : s.written.ranges()) r.numbers.insert(r.numbers.end(), {a, b});
    if (auto st = journal_.Append(r); !st) return st;
  }
  return journal_.Flush();
}

namespace {

// The first fingerprint: one 64-bit lane over the written bytes, word by word. Restore
// points made with it (16 hex digits) are still checked with it.
class WordFingerprint {
 public:
  explicit WordFingerprint(std::uint64_t length) : hash_(0x9E3779B97F4A7C15u ^ length) {}
  void BeginRange(std::uint64_t start) { hash_ = (hash_ ^ start) * 0x100000001B3u; }
  // Pieces of one range, each but the last a multiple of 8 bytes long.
  void Add(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      hash_ = ((hash_ ^ word) * 0x9E3779B97F4A7C15u) ^ (hash_ >> 29);
    }
    for (; i < n; ++i) hash_ = (hash_ ^ p[i]) * 0x100000001B3u;
  }
  void EndRange() {}
  std::string Digest() const { return Hex(hash_); }

  static std::string Hex(std::uint64_t v) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(v));
    return hex;
  }

 private:
  std::uint64_t hash_;
};

// Four independent lanes of multiply-rotate rounds over 32-byte stripes, so that the
// processor works on four words at once; the lanes, the stripe's leftover bytes and the
// range's start are folded into one value at the end of each range. Spelled "x4:" and
// 16 hex digits.
class LaneFingerprint {
 public:
  static constexpr char kPrefix[] = "x4:";
  explicit LaneFingerprint(std::uint64_t length) : hash_(Round(kSeed, length)) {}
  void BeginRange(std::uint64_t start) {
    hash_ = Round(hash_, start);
    for (int i = 0; i < 4; ++i) lane_[i] = kSeed + static_cast<std::uint64_t>(i) * kP1;
  }
  // Pieces of one range, each but the last a multiple of 32 bytes long.
  void Add(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
      for (int k = 0; k < 4; ++k) lane_[k] = Round(lane_[k], Word(p + i + 8 * k));
    }
    for (; i + 8 <= n; i += 8) hash_ = Round(hash_, Word(p + i));
    for (; i < n; ++i) hash_ = Round(hash_, p[i]);
  }
  void EndRange() {
    for (std::uint64_t v : lane_) hash_ = Round(hash_, v);
  }
  std::string Digest() const {
    std::uint64_t h = hash_;
    h = (h ^ (h >> 33)) * kP2;
    h = (h ^ (h >> 29)) * kP1;
    return kPrefix + WordFingerprint::Hex(h ^ (h >> 32));
  }

 private:
  static constexpr std::uint64_t kP1 = 0x9E3779B185EBCA87u, kP2 = 0xC2B2AE3D27D4EB4Fu,
                                 kSeed = 0x27D4EB2F165667C5u;
  static std::uint64_t Word(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
  }
  static std::uint64_t Round(std::uint64_t acc, std::uint64_t input) {
    acc += input * kP2;
    return ((acc << 31) | (acc >> 33)) * kP1;
  }
  std::uint64_t hash_;
  std::uint64_t lane_[4] = {};
};

// Reads the ranges in pieces of one buffer, reused, and hands them to `fingerprint`.
template <class F>
Status FingerprintRanges(File& file, std::uint64_t length, const RangeSet& ranges, F& fingerprint) {
  Bytes buffer;
  for (const auto& [a, b] : ranges.ranges()) {
    if (a >= length) break;
    const std::uint64_t end = std::min(b, length);
    if (buffer.empty()) buffer.resize(std::size_t{1} << 20);  // a multiple of 32
    fingerprint.BeginRange(a);
    for (std::uint64_t at = a; at < end; at += buffer.size()) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
      if (auto st = file.ReadAt(at, buffer.data(), n); !st) return st;
      fingerprint.Add(buffer.data(), n);
    }
    fingerprint.EndRange();
  }
  return {};
}

}  // namespace

Result<AfterFingerprint> AfterState(FileSystem& fs, const std::string& path, bool whole,
                                    const RangeSet& written, const std::string& like) {
  AfterFingerprint out;
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) {
    if (file.failure().code != err::kFileNotFound) return file.failure();
    return out;
  }
  auto length = (*file)->Size();
  if (!length) return length.failure();
  out.exists = true;
  out.length = *length;
  RangeSet all;
  all.Add(0, *length);
  const RangeSet& ranges = whole ? all : written;
  Status read;
  if (like.empty() || like.compare(0, 3, LaneFingerprint::kPrefix) == 0) {
    LaneFingerprint f(*length);
    read = FingerprintRanges(**file, *length, ranges, f);
    out.digest = f.Digest();
  } else {
    WordFingerprint f(*length);
    read = FingerprintRanges(**file, *length, ranges, f);
    out.digest = f.Digest();
  }
  if (!read) return read.failure();
  return out;
}

}  // namespace dfm
