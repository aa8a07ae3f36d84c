#include "restore/journaling_file_system.h"

#include <algorithm>

#include "base/path_utils.h"
#include "restore/path_state.h"

namespace dfm {
namespace {

using Kind = JournalingFileSystem::PathState::Kind;

bool IsAbsolute(const std::string& p) {
  return (!p.empty() && (p[0] == '/' || p[0] == '\\')) || (p.size() > 1 && p[1] == ':');
}

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

// Queries see the held changes: a held deletion hides the file, held writes lengthen it,
// and a held copy into it is made first.
Result<FileStat> JournalingFileSystem::Stat(const std::string& path) {
  Status status;
  PathState* held = Held(path, status);
  if (!status) return status.failure();
  if (held && held->delete_held) return NotFound(path);
  auto stat = inner_.Stat(path);
  if (!stat || !held) return stat;
  stat->length = std::max(stat->length, held->HeldEnd());
  return stat;
}

Result<std::uint64_t> JournalingFileSystem::FileLength(const std::string& path) {
  Status status;
  PathState* held = Held(path, status);
  if (!status) return status.failure();
  if (!held) return inner_.FileLength(path);
  auto stat = Stat(path);
  if (!stat) return stat.failure();
  return stat->length;
}

Result<LocalDateTime> JournalingFileSystem::ModifiedTime(const std::string& path) {
  Status status;
  PathState* held = Held(path, status);
  if (!status) return status.failure();
  if (!held) return inner_.ModifiedTime(path);
  auto stat = Stat(path);
  if (!stat) return stat.failure();
  return stat->modified;
}

Status JournalingFileSystem::SetModifiedTime(const std::string& path, const LocalDateTime& time) {
  Status status;
  if (Held(path, status, true) && status) status = Commit();
  PathState* state = status ? Touch(path, status) : nullptr;
  if (status && state) status = Durable(*state);
  if (!status) return status;
  return inner_.SetModifiedTime(path, time);
}

// Held for the next commit, which records what the copy destroys and makes: an earlier
// file at the target moves into the stash, the target and the temporary name the copy
// writes first are created. What the host tells beforehand fails at once: a target that
// cannot be removed, a folder that is missing.
Status JournalingFileSystem::CopyFile(const std::string& from, const std::string& to) {
  Status status;
  if (Held(from, status) && status) status = Commit();  // the source is read as it is now
  PathState* held = status ? Held(to, status, true) : nullptr;
  if (held && !held->held.empty()) status = Commit();  // a held deletion of it stays held
  PathState* state = status ? Touch(to, status) : nullptr;
  if (!status) return status;
  if (!state) return inner_.CopyFile(from, to);
  if (const std::size_t cut = to.find_last_of("/\\"); cut != std::string::npos && cut > 0) {
    auto is_folder = inner_.IsDirectory(to.substr(0, cut));
    if (!is_folder) return is_folder.failure();
    if (!*is_folder)
      return Status::Fail(err::kPathNotFound, "Path not found: " + to.substr(0, cut));
  }
  if (state->kind == Kind::kKept) status = Stash(*state);
  if (!status) return status;
  state->copied.reset();
  state->copy_creates = state->kind == Kind::kAbsent;
  state->copy_from = Absolute(from);
  sources_.insert(FoldedPath(state->copy_from));
  state->kind = Kind::kFresh;
  state->whole = true;
  state->written = RangeSet();
  return {};
}

Result<FileIdentity> JournalingFileSystem::Identity(const std::string& path) {
  Status status;
  PathState* held = Held(path, status);
  if (!status) return status.failure();
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

// A rename between a path that passes unrecorded (the installer's own files) and one that
// does not is, for the journal, a creation of the target (what was there first moved
// into the stash) or a deletion of the source (its bytes kept in the journal).
Status JournalingFileSystem::Move(const std::string& from, const std::string& to, bool replace) {
  Status status;
  if ((Held(from, status, true) || Held(to, status, true)) && status) status = Commit();
  PathState* source = status ? Touch(from, status) : nullptr;
  PathState* target = status ? Touch(to, status) : nullptr;
  if (!status) return status;
  auto rename = [&] { return replace ? inner_.ReplaceFile(from, to) : inner_.Rename(from, to); };
  if (!source && !target) return rename();
  for (PathState* moved : {source, target}) {
    if (moved) moved->copied.reset();
  }
  if (!source) {
    // The earlier target goes into the stash before the record that the target is created
    // is durable: undo of that record removes what it finds there.
    if (target->kind == Kind::kKept && replace) status = Stash(*target);
    if (status) status = Commit();
    if (status && target->kind == Kind::kKept) status = inner_.CanRemove(target->path);
    if (status) status = Created(*target);
    if (status) status = Durable(*target);
    if (status) status = rename();
    if (status) {
      target->kind = Kind::kFresh;
      target->whole = true;
      target->written = RangeSet();
    }
    return status;
  }
  if (!target) {
    if (status = SaveWhole(*source); status) status = Durable(*source);
    if (status) status = rename();
    if (status) source->kind = Kind::kAbsent;
    return status;
  }
  if (status = SaveWhole(*target); status) {
    status = Record(*target, {RecordKind::kRenamed, {source->path, target->path}, {}, {}});
  }
  if (status) status = journal_.FlushTo(std::max(source->record_end, target->record_end));
  if (!status) return status;
  if (status = rename(); !status) return status;
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

// Held for the next commit, and hidden until then, once the host has found nothing that
// would stop the removal.
Status JournalingFileSystem::Stash(PathState& state) {
  if (Status st = inner_.CanRemove(state.path); !st) return st;
  Status status;
  if (!stash_.empty()) {
    auto exact = inner_.ExactPath(state.path);
    state.stash = AsFolder(stash_) + "deleted-" + std::to_string(++stashed_);
    state.replaced = state.existed;
    status =
        Record(state, {RecordKind::kStashed, {exact ? *exact : state.path, state.stash}, {}, {}});
  } else {
    status = SaveWhole(state);
  }
  if (!status) return status;
  state.kind = Kind::kAbsent;
  state.delete_held = true;  // holds no bytes in memory: waits for the next commit
  return {};
}

Status JournalingFileSystem::RemoveFile(const std::string& path) {
  Status status;
  if (PathState* held = Held(path, status, true)) {
    if (held->delete_held) return NotFound(path);
    status = Commit();
  }
  if (!status) return status;
  bool first = false;
  PathState* state = Touch(path, status, &first);
  if (!status) return status;
  if (!state) return inner_.RemoveFile(path);
  state->copied.reset();
  if (state->kind == Kind::kAbsent) return inner_.RemoveFile(path);  // fails as it should
  if (state->kind == Kind::kFresh) {
    if (status = Durable(*state); !status) return status;
    status = inner_.RemoveFile(path);
    if (status) state->kind = Kind::kAbsent;
    return status;
  }
  // A file touched just now was found there by that touch.
  if (!first) {
    if (auto length = inner_.FileLength(path); !length) return length.failure();
  }
  return Stash(*state);
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
    // A file the install removed is known to be absent, and one it copied as the copy
    // wrote it, without asking the host.
    auto fp = s.kind == Kind::kAbsent ? AfterFingerprint{}
              : s.copied              ? *s.copied
                                      : AfterState(inner_, s.path, s.whole, s.written);
    if (!fp) return fp.failure();
    r.texts.push_back(fp->digest);
    r.numbers = {fp->exists ? 1u : 0u, fp->length, s.whole ? 1u : 0u};
    for (const auto& [a, b] : s.written.ranges()) r.numbers.insert(r.numbers.end(), {a, b});
    if (auto st = journal_.Append(r); !st) return st;
  }
  return journal_.Flush();
}

}  // namespace dfm
