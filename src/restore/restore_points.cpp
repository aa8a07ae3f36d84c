#include "restore/restore_points.h"

#include <algorithm>
#include <cstdio>

#include <mbedtls/sha256.h>

#include "base/path_utils.h"
#include "restore/mod_stack.h"
#include "restore/undo.h"

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

// Whether `key` lies in the folder whose folded path is `folder`.
bool Inside(const std::string& key, const std::string& folder) {
  return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 &&
         key[folder.size()] == '\\';
}

// What Load says of a folder whose install stopped before its first record: it is no
// restore point, and is not listed.
constexpr char kNeverBegun[] = "never begun";

// The manifest is written once the end mark is durable: one that gives an end time
// tells that the journal had its end mark, whatever became of the journal since.
bool ManifestSaysEnded(FileSystem& fs, const std::string& path) {
  auto bytes = ReadWholeFile(fs, path);
  if (!bytes) return false;
  const std::string text(bytes->begin(), bytes->end());
  const std::size_t at = text.find("\nEnded: ");
  return at != std::string::npos && text.compare(at + 8, 2, "-\n") != 0;
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

std::string RolledBackText(const UndoReport& r, const std::string& eol) {
  const std::string what = " the interrupted install " + r.id + " (" + r.mod +
                           "): " + std::to_string(r.files) + " files put back";
  if (r.complete()) return "Rolled back" + what;
  std::string out = "Could not wholly roll back" + what + ", " + std::to_string(r.left) + " left";
  for (const auto& f : r.failures) out += eol + f;
  return out;
}

namespace {

// mbed TLS's SHA-256 context, freed on every path.
class Sha256 {
 public:
  Sha256() {
    mbedtls_sha256_init(&ctx_);
    mbedtls_sha256_starts_ret(&ctx_, 0);
  }
  ~Sha256() { mbedtls_sha256_free(&ctx_); }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void Update(const unsigned char* p, std::size_t n) { mbedtls_sha256_update_ret(&ctx_, p, n); }
  std::string FinishHex() {
    unsigned char digest[32];
    mbedtls_sha256_finish_ret(&ctx_, digest);
    std::string hex;
    for (unsigned char c : digest) {
      hex += "0123456789abcdef"[c >> 4];
      hex += "0123456789abcdef"[c & 15];
    }
    return hex;
  }

 private:
  mbedtls_sha256_context ctx_;
};

}  // namespace

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
  if (auto st = RecordEntryAfters(); !st) return st;
  if (auto st = fs_->RecordAfterStates(); !st) return st;
  JournalRecord end{
      RecordKind::kEnd, {FormatTime(now)}, {journal_->records(), journal_->chain()}, {}};
  for (const TouchedFile& f : fs_->Touched()) end.texts.insert(end.texts.end(), {f.path, f.how});
  if (auto st = journal_->Append(end); !st) return st;
  if (auto st = journal_->Flush(); !st) return st;
  if (auto st = journal_->Close(); !st) return st;
  auto journal = ReadJournal(*host_, Join(folder_, kJournalName));
  if (!journal) return journal.failure();
  const std::string text = ManifestText(DescribeJournal(id_, journal->records));
  // Durable: it tells a journal cut after its end mark from one a crash stopped before.
  return WriteReplacing(*host_, Join(folder_, kManifestName), [&](File& file) -> Status {
    if (auto st = file.WriteAt(0, text.data(), text.size()); !st) return st;
    return file.Sync();
  });
}

RestorePointInfo DescribeJournal(const std::string& id, const std::vector<JournalRecord>& records) {
  RestorePointInfo info;
  info.id = id;
  for (const JournalRecord& r : records) {
    switch (r.kind) {
      case RecordKind::kBegin:
        info.sequence = SequenceOf(r);
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
        info.left = 0;
        info.problems.clear();
        break;
      case RecordKind::kShort:
        info.left = r.Number(0);
        info.problems.assign(r.texts.begin() + std::min<std::size_t>(1, r.texts.size()),
                             r.texts.end());
        break;
      default:
        break;
    }
  }
  info.items = ItemsOf(records);
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
  if (info.left > 0 || !info.problems.empty())
    out += "Partly undone: " + std::to_string(info.left) + " files left\n";
  for (const auto& p : info.problems) out += "Problem: " + p + "\n";
  return out;
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
  auto sequence = NextSequence(fs_, folder_);
  if (!sequence) return sequence.failure();
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
                      {*sequence},
                      {}};
  begin.texts.insert(begin.texts.end(), install.game_folders.begin(), install.game_folders.end());
  if (auto st = point->journal_->Append(begin); !st) return st.failure();
  if (auto st = point->journal_->Flush(); !st) return st.failure();
  point->journal_->set_durable(rehearsal == nullptr);
  point->fs_ = std::make_unique<JournalingFileSystem>(
      rehearsal ? *rehearsal : fs_, *point->journal_, std::move(skip), point->folder_);
  return point;
}

RestorePointInfo RestoreStore::Load(const std::string& id, JournalContents* out) {
  const std::string folder = Join(folder_, id);
  auto journal = ReadJournal(fs_, Join(folder, kJournalName));
  RestorePointInfo info;
  info.id = id;
  // An install stopped before its first record changed nothing and left no manifest.
  const bool manifest = fs_.FileLength(Join(folder, kManifestName)).ok();
  if (!manifest && (journal ? journal->records.empty() && !journal->torn_tail
                            : journal.failure().code == err::kFileNotFound)) {
    info.damage = kNeverBegun;
    return info;
  }
  if (!journal) {
    const std::string& why = journal.failure().description;
    info.damage = journal.failure().code == err::kInvalidFileFormat ? why : "damaged: " + why;
    info.sequence = ReadSequence(fs_, Join(folder, kJournalName));
    return info;
  }
  info = DescribeJournal(id, journal->records);
  // A journal that does not begin with its install, or lacks the end mark its manifest
  // saw, was cut or damaged after the install: only an install a crash stopped may
  // leave a torn tail.
  std::uint64_t bad = journal->valid_bytes;
  if (journal->records.empty() || journal->records[0].kind != RecordKind::kBegin)
    bad = journal->format.start;
  if (bad == 0 ||
      (info.ended.empty() && manifest && ManifestSaysEnded(fs_, Join(folder, kManifestName))))
    info.damage = "damaged: record at byte " + std::to_string(bad);
  if (out) *out = std::move(*journal);
  return info;
}

void RestoreStore::WriteManifest(const std::string& id, bool durable) {
  RestorePointInfo info = Load(id);
  if (!info.damage.empty()) return;
  const std::string text = ManifestText(info);
  (void)WriteReplacing(fs_, Join(Join(folder_, id), kManifestName), [&](File& file) -> Status {
    if (auto st = file.WriteAt(0, text.data(), text.size()); !st) return st;
    return durable ? file.Sync() : Status();
  });
}

Result<std::vector<RestorePointInfo>> RestoreStore::List(std::vector<JournalContents>* journals) {
  std::vector<std::pair<RestorePointInfo, JournalContents>> read;
  auto is_folder = fs_.IsDirectory(folder_);
  if (!is_folder || !*is_folder) return std::vector<RestorePointInfo>{};
  auto entries = fs_.ListDirectory(folder_);
  if (!entries) return entries.failure();
  for (const DirEntry& e : *entries) {
    if (!e.is_directory) continue;
    JournalContents journal;
    RestorePointInfo info = Load(e.name, journals ? &journal : nullptr);
    if (info.damage != kNeverBegun) read.emplace_back(std::move(info), std::move(journal));
  }
  std::sort(read.begin(), read.end(), [](const auto& x, const auto& y) {
    const RestorePointInfo &a = x.first, &b = y.first;
    if (a.sequence != b.sequence) return a.sequence > b.sequence;
    return a.id.size() != b.id.size() ? a.id.size() > b.id.size() : a.id > b.id;
  });
  std::vector<RestorePointInfo> out;
  for (auto& [info, journal] : read) {
    out.push_back(std::move(info));
    if (journals) journals->push_back(std::move(journal));
  }
  return out;
}

// Each journal is read once, with the listing.
Result<std::vector<LaterPoint>> RestoreStore::LaterLive(const std::string& id) {
  std::vector<JournalContents> journals;
  auto points = List(&journals);
  if (!points) return points.failure();
  std::vector<LaterPoint> out;
  std::size_t later = 0;
  bool found = false;
  for (std::size_t i = 0; i < points->size(); ++i) {
    const RestorePointInfo& p = (*points)[i];
    if (p.id == id) {
      later = out.size();
      found = true;
      continue;
    }
    if (!p.damage.empty() || (p.state != RestorePointInfo::State::kComplete &&
                              p.state != RestorePointInfo::State::kInterrupted))
      continue;
    out.push_back({p.id, !found, Join(folder_, p.id), std::move(journals[i].records),
                   journals[i].valid_bytes});
  }
  std::reverse(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(later));  // nearest first
  return out;
}

// Only an undo that put every file back marks the point undone; otherwise a 'Q' record
// says what is left and why, and the point stays live for the next undo to finish.
Result<UndoReport> RestoreStore::Revert(const std::string& id, bool force, const LocalDateTime& now,
                                        const StepsDone& steps) {
  const std::string path = Join(Join(folder_, id), kJournalName);
  JournalContents journal;
  const RestorePointInfo point = Load(id, &journal);
  if (!point.damage.empty()) return Failure{err::kInvalidFileFormat, point.damage};
  const std::vector<JournalRecord>& records = journal.records;
  UndoReport report;
  report.id = id;
  report.mod = point.mod;
  report.rolled_back = point.state == RestorePointInfo::State::kInterrupted;
  const UndoProgress progress = ReadProgress(records);
  const std::set<std::size_t>& done = progress.done;
  ItemOutcome items;
  if (!report.rolled_back) {
    auto later = LaterLive(id);
    if (!later) return later.failure();
    auto taken = UndoItems(fs_, Join(folder_, id), id, records, *later, progress.begun, force, now);
    if (!taken) return taken.failure();
    items = std::move(*taken);
    if (items.journal_bytes) journal.valid_bytes = items.journal_bytes;
  }
  std::set<std::string> leave = items.paths;
  if (!force) {
    std::set<std::string> asked = progress.begun;
    asked.insert(items.paths.begin(), items.paths.end());
    report.changed = ChangedSince(fs_, records, asked);
    for (const auto& p : report.changed) leave.insert(FoldedPath(p));
  }
  report.changed.insert(report.changed.end(), items.changed.begin(), items.changed.end());
  if (auto missing = MissingStashes(fs_, records, done, leave); !missing.empty()) {
    std::string list;
    for (const auto& m : missing) list += (list.empty() ? "" : ", ") + m;
    return Failure{err::kFileNotFound, "The originals to put back are missing: " + list};
  }
  auto writer = JournalWriter::Reopen(fs_, path, journal.valid_bytes);
  if (!writer) return writer.failure();
  UndoOutcome outcome;
  for (const auto& folder : point.game_folders) {
    if (auto is_folder = fs_.IsDirectory(folder); !is_folder || !*is_folder)
      outcome.failures.push_back("Game folder not found: " + folder);
  }
  if (outcome.failures.empty()) {
    // What this pass sets out to put back, durable before its first step: a pass that
    // stops leaves files half put back, which the next must not take for changed ones.
    Status planned = (*writer)->Append(PlanRecord(records, done, leave));
    if (planned) planned = (*writer)->Flush();
    if (!planned) return planned.failure();
    ApplyUndo(fs_, records, done, leave, writer->get(), outcome, steps);
  } else {
    for (const auto& key : point.keys) outcome.left.insert(key);
  }
  for (const auto& p : items.paths) outcome.left.erase(p);
  report.failures = outcome.failures;
  report.failures.insert(report.failures.end(), items.failures.begin(), items.failures.end());
  report.left = outcome.left.size() + items.left;
  report.files = point.keys.size() - std::min(point.keys.size(), report.left);
  JournalRecord mark{RecordKind::kUndone,
                     {FormatTime(now), report.rolled_back ? "rolled back" : "undone"},
                     {},
                     {}};
  if (!report.complete()) {
    mark = {RecordKind::kShort, {FormatTime(now)}, {report.left}, {}};
    for (const auto& p : report.changed)
      mark.texts.push_back(p + ": changed since the install, left alone");
    mark.texts.insert(mark.texts.end(), report.failures.begin(), report.failures.end());
  }
  Status marked = (*writer)->Append(mark);
  if (marked) marked = (*writer)->Flush();
  if (Status closed = (*writer)->Close(); marked) marked = closed;
  if (!marked && report.complete()) return marked.failure();
  if (!marked)
    report.failures.push_back("The journal could not be written: " + marked.failure().description);
  // The originals copied back across volumes left their stash: it goes once the point
  // is marked undone.
  if (report.complete()) {
    for (const JournalRecord& r : records) {
      if (r.kind == RecordKind::kStashed && fs_.FileLength(r.Text(1)))
        (void)fs_.RemoveFile(r.Text(1));
    }
  }
  WriteManifest(id, false);
  return report;
}

Result<UndoReport> RestoreStore::Undo(const std::string& id, bool force, const LocalDateTime& now,
                                      const StepsDone& steps) {
  auto points = List();
  if (!points) return points.failure();
  // The newest point that is not undone, damaged or not: a damaged one is never undone
  // by itself, and no older one before it.
  auto it = std::find_if(points->begin(), points->end(), [&](const RestorePointInfo& p) {
    return id.empty() ? IsLive(p) || !p.damage.empty() : p.id == id;
  });
  if (it == points->end()) {
    return Failure{err::kFileNotFound,
                   id.empty() ? "There is no install to undo" : "There is no restore point " + id};
  }
  if (!it->damage.empty()) return Failure{err::kInvalidFileFormat, it->damage};
  if (!IsLive(*it)) {
    return Failure{err::kInvalidProcedureCall,
                   "The install " + it->id + " is " + StateName(it->state) + " already"};
  }
  return Revert(it->id, force || it->state == RestorePointInfo::State::kInterrupted, now, steps);
}

std::vector<UndoReport> RestoreStore::RecoverInterrupted(const std::vector<std::string>& folders,
                                                         const LocalDateTime& now) {
  std::vector<UndoReport> out;
  auto points = List();
  if (!points) return out;
  for (const RestorePointInfo& p : *points) {
    // An undo taken item by item that stopped: rolled back before its end mark, finished
    // after it.
    if (p.state == RestorePointInfo::State::kComplete && p.damage.empty()) {
      if (auto committed = RollBackItemUndo(fs_, Join(folder_, p.id)); committed && *committed)
        (void)Revert(p.id, false, now);
    }
    if (p.state != RestorePointInfo::State::kInterrupted || !p.damage.empty()) continue;
    bool touches = false;
    for (const auto& folder : folders) {
      const std::string f = FoldedPath(folder);
      for (const auto& g : p.game_folders) touches |= FoldedPath(g) == f;
      for (const auto& key : p.keys) touches |= Inside(key, f);
    }
    if (!touches) continue;
    auto report = Revert(p.id, true, now);
    if (!report) {
      report = UndoReport{p.id, p.mod, {}, {report.failure().description}, 0, p.keys.size(), true};
    }
    out.push_back(std::move(*report));
  }
  return out;
}

}  // namespace dfm
