#include "restore/restore_points.h"

#include <algorithm>
#include <cstdio>

#include "base/path_utils.h"
#include "base/sha256.h"

namespace dfm {
namespace {

std::string Join(const std::string& folder, const std::string& name) {
  return AsFolder(folder) + name;
}

std::string IdFor(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

bool Exists(FileSystem& fs, const std::string& path) {
  return fs.FileLength(path).ok();
}

// Whether `key` lies in the folder whose folded path is `folder`.
bool Inside(const std::string& key, const std::string& folder) {
  return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 &&
         key[folder.size()] == '\\';
}

Status UndoRecord(FileSystem& fs, const JournalRecord& r) {
  const std::string& path = r.Text(0);
  switch (r.kind) {
    case RecordKind::kRange: {
      auto file = fs.Open(path, OpenMode::kUpdate);
      if (!file) return file.failure();
      if (auto st = (*file)->WriteAt(r.Number(0), r.data.data(), r.data.size()); !st) return st;
      return (*file)->Close();
    }
    case RecordKind::kWhole: {
      if (Exists(fs, path)) {
        if (auto st = fs.RemoveFile(path); !st) return st;
      }
      if (auto st = WriteWholeFile(fs, path, r.data); !st) return st;
      return fs.SetModifiedTime(path, TimeAt(r, 0));
    }
    case RecordKind::kCreated:
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
    case RecordKind::kStashed:
      if (Exists(fs, r.Text(0))) return Exists(fs, r.Text(1)) ? fs.RemoveFile(r.Text(1)) : Status();
      return fs.Rename(r.Text(1), r.Text(0));
    default:
      return {};
  }
}

// Paths whose after state no longer matches what the install left.
std::vector<std::string> ChangedSince(FileSystem& fs, const std::vector<JournalRecord>& records) {
  std::vector<std::string> out;
  for (const JournalRecord& r : records) {
    if (r.kind != RecordKind::kAfter) continue;
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

}  // namespace

const char* StateName(RestorePointInfo::State state) {
  switch (state) {
    case RestorePointInfo::State::kComplete:
      return "complete";
    case RestorePointInfo::State::kInterrupted:
      return "interrupted";
    case RestorePointInfo::State::kUndone:
      return "undone";
    case RestorePointInfo::State::kRolledBack:
      return "rolled back";
  }
  return "";
}

std::string RolledBackText(const UndoReport& r) {
  return "Rolled back the interrupted install " + r.id + " (" + r.mod +
         "): " + std::to_string(r.files) + " files put back";
}

Result<std::string> FileSha256(FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  auto size = (*file)->Size();
  if (!size) return size.failure();
  Sha256 sha;
  Bytes buffer(std::size_t{1} << 20);
  for (std::uint64_t at = 0; at < *size; at += buffer.size()) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), *size - at));
    if (auto st = (*file)->ReadAt(at, buffer.data(), n); !st) return st.failure();
    sha.Update(buffer.data(), n);
  }
  return sha.FinishHex();
}

ActiveRestorePoint::~ActiveRestorePoint() = default;

void ActiveRestorePoint::NoteEntry(const std::string& archive, const std::string& name,
                                   const std::string& placement, std::int64_t old_size,
                                   std::int64_t new_size) {
  (void)journal_->Append(
      {RecordKind::kEntry,
       {fs_->Absolute(archive), name, placement},
       {old_size >= 0 ? 1u : 0u, static_cast<std::uint64_t>(std::max<std::int64_t>(old_size, 0)),
        static_cast<std::uint64_t>(new_size)},
       {}});
}

Status ActiveRestorePoint::Finish(const LocalDateTime& now) {
  if (auto st = fs_->RecordAfterStates(); !st) return st;
  JournalRecord end{RecordKind::kEnd, {FormatTime(now)}, {}, {}};
  for (const TouchedFile& f : fs_->Touched()) end.texts.insert(end.texts.end(), {f.path, f.how});
  if (auto st = journal_->Append(end); !st) return st;
  if (auto st = journal_->Flush(); !st) return st;
  if (auto st = journal_->Close(); !st) return st;
  auto journal = ReadJournal(*host_, Join(folder_, kJournalName));
  if (!journal) return journal.failure();
  const std::string text = ManifestText(DescribeJournal(id_, journal->records));
  return WriteWholeFile(*host_, Join(folder_, kManifestName), text.data(), text.size());
}

RestorePointInfo DescribeJournal(const std::string& id, const std::vector<JournalRecord>& records) {
  RestorePointInfo info;
  info.id = id;
  for (const JournalRecord& r : records) {
    switch (r.kind) {
      case RecordKind::kBegin:
        info.mod = r.Text(0);
        info.installer = r.Text(1);
        info.installer_sha = r.Text(2);
        info.started = r.Text(3);
        info.game_folders.assign(r.texts.begin() + std::min<std::size_t>(4, r.texts.size()),
                                 r.texts.end());
        break;
      case RecordKind::kTouched:
        info.keys.insert(FoldedPath(r.Text(0)));
        info.files.push_back({r.Text(0), "touched"});
        break;
      case RecordKind::kEntry: {
        std::string line = r.Text(0) + ": " + r.Text(1) + " " +
                           (r.Number(0) ? "replaced, " + std::to_string(r.Number(1)) + " -> "
                                        : std::string("added, ")) +
                           std::to_string(r.Number(2)) + " bytes, " + r.Text(2);
        info.entries.push_back({r.Text(0), r.Text(1), std::move(line)});
        break;
      }
      case RecordKind::kEnd:
        info.ended = r.Text(0);
        info.state = RestorePointInfo::State::kComplete;
        info.files.clear();
        for (std::size_t i = 1; i + 1 < r.texts.size(); i += 2)
          info.files.push_back({r.texts[i], r.texts[i + 1]});
        break;
      case RecordKind::kUndone:
        info.state = r.Text(1) == "undone" ? RestorePointInfo::State::kUndone
                                           : RestorePointInfo::State::kRolledBack;
        break;
      default:
        break;
    }
  }
  return info;
}

std::string ManifestText(const RestorePointInfo& info) {
  std::string out = "DFMod restore point " + info.id + "\n";
  out += "Mod: " + info.mod + "\nInstaller: " + info.installer +
         "\nInstaller SHA-256: " + info.installer_sha + "\nStarted: " + info.started +
         "\nEnded: " + (info.ended.empty() ? "-" : info.ended) +
         "\nState: " + StateName(info.state) + "\n";
  for (const auto& f : info.game_folders) out += "Game folder: " + f + "\n";
  for (const auto& f : info.files) out += "File: " + f.path + ", " + f.how + "\n";
  for (const auto& e : info.entries) out += "Entry: " + e.text + "\n";
  return out;
}

void ApplyUndo(FileSystem& fs, const std::vector<JournalRecord>& records,
               const std::set<std::string>& leave, std::vector<std::string>& failures) {
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    const JournalRecord& r = *it;
    if (leave.count(FoldedPath(r.Text(0))) ||
        (r.kind == RecordKind::kRenamed && leave.count(FoldedPath(r.Text(1)))))
      continue;
    if (Status st = UndoRecord(fs, r); !st) failures.push_back(st.failure().description);
  }
}

Status RestoreStore::MakeFolder() {
  auto is_folder = fs_.IsDirectory(folder_);
  if (!is_folder) return is_folder.failure();
  if (*is_folder) return {};
  // The store's parents are made as needed: "~/.local/share" may not exist yet.
  std::string path;
  for (char c : folder_) {
    if ((c == '/' || c == '\\') && !path.empty() && !*fs_.IsDirectory(path)) {
      if (auto st = fs_.MakeDirectory(path); !st) return st;
    }
    path += c;
  }
  return fs_.MakeDirectory(folder_);
}

Result<std::unique_ptr<FileLock>> RestoreStore::Lock() {
  if (Status st = MakeFolder(); !st) return st.failure();
  return fs_.Lock(Join(folder_, kLockName));
}

Result<std::unique_ptr<ActiveRestorePoint>> RestoreStore::Begin(
    const InstallDescription& install, const LocalDateTime& now,
    std::function<bool(const std::string&)> skip, FileSystem* rehearsal) {
  if (Status st = MakeFolder(); !st) return st.failure();
  auto point = std::unique_ptr<ActiveRestorePoint>(new ActiveRestorePoint());
  point->host_ = &fs_;
  const std::string base = IdFor(now);
  for (int n = 1;; ++n) {
    point->id_ = n == 1 ? base : base + "-" + std::to_string(n);
    point->folder_ = Join(folder_, point->id_);
    Status made = fs_.MakeDirectory(point->folder_);
    if (made) break;
    if (n >= 100) return made.failure();
  }
  // The journal's name in the point's folder, and the point's folder in the store.
  auto journal = JournalWriter::Create(fs_, point->folder_, Join(point->folder_, kJournalName));
  if (!journal) return journal.failure();
  if (Status st = fs_.SyncFolder(folder_); !st) return st.failure();
  point->journal_ = std::move(*journal);
  JournalRecord begin{RecordKind::kBegin,
                      {install.mod, install.installer, install.installer_sha, FormatTime(now)},
                      {},
                      {}};
  begin.texts.insert(begin.texts.end(), install.game_folders.begin(), install.game_folders.end());
  if (auto st = point->journal_->Append(begin); !st) return st.failure();
  if (auto st = point->journal_->Flush(); !st) return st.failure();
  point->journal_->set_durable(rehearsal == nullptr);
  point->fs_ = std::make_unique<JournalingFileSystem>(
      rehearsal ? *rehearsal : fs_, *point->journal_, std::move(skip), point->folder_);
  return point;
}

Result<std::vector<RestorePointInfo>> RestoreStore::List() {
  std::vector<RestorePointInfo> out;
  auto is_folder = fs_.IsDirectory(folder_);
  if (!is_folder || !*is_folder) return out;
  auto entries = fs_.ListDirectory(folder_);
  if (!entries) return entries.failure();
  for (const DirEntry& e : *entries) {
    if (!e.is_directory) continue;
    auto journal = ReadJournal(fs_, Join(Join(folder_, e.name), kJournalName));
    RestorePointInfo info;
    if (journal) {
      info = DescribeJournal(e.name, journal->records);
    } else {
      info.id = e.name;
      info.damage = journal.failure().description;
    }
    out.push_back(std::move(info));
  }
  std::sort(out.begin(), out.end(), [](const RestorePointInfo& a, const RestorePointInfo& b) {
    return a.id.size() != b.id.size() ? a.id.size() > b.id.size() : a.id > b.id;
  });
  return out;
}

Result<UndoReport> RestoreStore::Revert(const RestorePointInfo& point, bool force,
                                        const LocalDateTime& now) {
  const std::string path = Join(Join(folder_, point.id), kJournalName);
  auto journal = ReadJournal(fs_, path);
  if (!journal) return journal.failure();
  UndoReport report;
  report.id = point.id;
  report.mod = point.mod;
  std::set<std::string> leave;
  if (!force) {
    report.changed = ChangedSince(fs_, journal->records);
    for (const auto& p : report.changed) leave.insert(FoldedPath(p));
  }
  ApplyUndo(fs_, journal->records, leave, report.failures);
  report.files = point.keys.size() - leave.size();
  const bool interrupted = point.state == RestorePointInfo::State::kInterrupted;
  auto writer = JournalWriter::Reopen(fs_, path, journal->valid_bytes);
  if (!writer) return writer.failure();
  Status marked = (*writer)->Append(
      {RecordKind::kUndone, {FormatTime(now), interrupted ? "rolled back" : "undone"}, {}, {}});
  if (marked) marked = (*writer)->Flush();
  if (marked) marked = (*writer)->Close();
  if (!marked) return marked.failure();
  RestorePointInfo info = point;
  info.state =
      interrupted ? RestorePointInfo::State::kRolledBack : RestorePointInfo::State::kUndone;
  const std::string text = ManifestText(info);
  (void)WriteWholeFile(fs_, Join(Join(folder_, point.id), kManifestName), text.data(), text.size());
  return report;
}

Result<UndoReport> RestoreStore::Undo(const std::string& id, bool force, const LocalDateTime& now) {
  auto points = List();
  if (!points) return points.failure();
  auto live = [](const RestorePointInfo& p) {
    return p.damage.empty() && (p.state == RestorePointInfo::State::kComplete ||
                                p.state == RestorePointInfo::State::kInterrupted);
  };
  auto it = std::find_if(points->begin(), points->end(), [&](const RestorePointInfo& p) {
    return id.empty() ? live(p) : p.id == id;
  });
  if (it == points->end()) {
    return Failure{err::kFileNotFound,
                   id.empty() ? "There is no install to undo" : "There is no restore point " + id};
  }
  if (!it->damage.empty()) return Failure{err::kInvalidFileFormat, it->damage};
  if (!live(*it)) {
    return Failure{err::kInvalidProcedureCall,
                   "The install " + it->id + " is " + StateName(it->state) + " already"};
  }
  for (auto later = points->begin(); later != it; ++later) {
    if (!live(*later)) continue;
    for (const auto& key : it->keys) {
      if (later->keys.count(key)) {
        return Failure{err::kInvalidProcedureCall, "The later install " + later->id + " (" +
                                                       later->mod +
                                                       ") changed the same files; undo it first"};
      }
    }
  }
  return Revert(*it, force, now);
}

std::vector<UndoReport> RestoreStore::RecoverInterrupted(const std::vector<std::string>& folders,
                                                         const LocalDateTime& now) {
  std::vector<UndoReport> out;
  auto points = List();
  if (!points) return out;
  for (const RestorePointInfo& p : *points) {
    if (p.state != RestorePointInfo::State::kInterrupted || !p.damage.empty()) continue;
    bool touches = false;
    for (const auto& folder : folders) {
      const std::string f = FoldedPath(folder);
      for (const auto& g : p.game_folders) touches |= FoldedPath(g) == f;
      for (const auto& key : p.keys) touches |= Inside(key, f);
    }
    if (!touches) continue;
    if (auto report = Revert(p, true, now)) out.push_back(std::move(*report));
  }
  return out;
}

}  // namespace dfm
