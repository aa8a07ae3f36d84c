// The folder of restore points: one subfolder per install, named by its start time,
// holding the install's journal and a manifest a person can read. Starting one, listing
// them, undoing one, and rolling back installs that a crash interrupted.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/local_time.h"
#include "base/result.h"
#include "pff/pff_archive.h"
#include "platform/file_system.h"
#include "restore/install_stack.h"
#include "restore/journal.h"
#include "restore/journaling_file_system.h"
#include "restore/mod_stack.h"
#include "restore/undo.h"

namespace dfm {

inline constexpr char kJournalName[] = "journal.bin";
inline constexpr char kManifestName[] = "manifest.txt";
inline constexpr char kLockName[] = "install.lock";

// What a restore point says of its install.
struct RestorePointInfo {
  enum class State { kComplete, kInterrupted, kUndone, kRolledBack };
  std::string id;
  std::uint64_t sequence = 0;  // the install's place in the store's order (0: written before)
  std::string mod, installer, installer_sha, started, ended;
  std::vector<std::string> game_folders;
  State state = State::kInterrupted;
  std::vector<TouchedFile> files;
  struct Entry {
    std::string archive, name, text;  // text: "archive: name ..."
  };
  std::vector<Entry> entries;
  std::set<std::string> keys;  // folded paths of the files touched
  std::set<ItemKey> items;
  std::string damage;  // "damaged: record at byte N", if the journal is not whole
  // Left by an undo or roll-back that did not finish: the point stays live.
  std::size_t left = 0;
  std::vector<std::string> problems;
};
const char* StateName(RestorePointInfo::State state);

struct InstallDescription {
  std::string mod;
  std::string installer;      // the installer's file
  std::string installer_sha;  // SHA-256 of its bytes
  std::vector<std::string> game_folders;
};

class RestoreStore;

// The restore point of the install under way. Its file system journals every change.
class ActiveRestorePoint {
 public:
  ~ActiveRestorePoint();
  const std::string& id() const { return id_; }
  JournalingFileSystem& fs() { return *fs_; }
  // An archive entry the install added or replaced.
  void NoteEntry(const std::string& archive, const std::string& name, const std::string& placement,
                 std::int64_t old_size, std::int64_t new_size);
  // Before an add is written: the entry it replaces (nullptr: none) and its bytes, kept
  // once per entry of an archive.
  Status NoteBefore(const std::string& archive, const PffName& name, const PffEntry* replaced,
                    const Bytes& bytes);
  // Marks the install complete: the after states, the end mark, the manifest.
  Status Finish(const LocalDateTime& now);

 private:
  friend class RestoreStore;
  ActiveRestorePoint() = default;
  FileSystem* host_ = nullptr;
  std::string id_, folder_;
  std::unique_ptr<JournalWriter> journal_;
  std::unique_ptr<JournalingFileSystem> fs_;
  // Entries with a before record, as (archive, key), in the order first added.
  std::vector<std::pair<std::string, std::string>> entries_;
  std::set<std::pair<std::string, std::string>> noted_;
  // The after record of each entry in entries_, appended by Finish.
  Status RecordEntryAfters();
};

// What undoing an install did.
struct UndoReport {
  std::string id, mod;
  std::vector<std::string> changed;   // changed by something else since; left alone
  std::vector<std::string> failures;  // steps that failed
  std::size_t files = 0;              // files put back
  std::size_t left = 0;               // files not (wholly) put back
  bool rolled_back = false;           // the install was an interrupted one
  bool complete() const { return left == 0 && failures.empty(); }
};

// "Rolled back the interrupted install <id> (<mod>): <n> files put back", or, when the
// roll-back did not finish, what it left and each failure on a line of its own.
std::string RolledBackText(const UndoReport& report, const std::string& eol = "\r\n");

class RestoreStore {
 public:
  RestoreStore(FileSystem& fs, std::string folder) : fs_(fs), folder_(std::move(folder)) {}
  const std::string& folder() const { return folder_; }

  // Takes the store's lock (creating the store's folder first), which one install, undo
  // or roll-back holds at a time: another process would take the journal of an install
  // under way for an interrupted one. Fails with err::kFileAlreadyOpen while another
  // process holds it.
  Result<std::unique_ptr<FileLock>> Lock();
  // Creates the folder of a new restore point and its journal; nothing else is written.
  // `skip` names files the journal ignores. With `rehearsal`, the install writes through
  // that file system instead (dfmod plan), and the journal is not made durable.
  Result<std::unique_ptr<ActiveRestorePoint>> Begin(
      const InstallDescription& install, const LocalDateTime& now,
      std::function<bool(const std::string&)> skip = {}, FileSystem* rehearsal = nullptr);
  // Every restore point, newest first: by sequence number, then by id (the longer, or
  // else the greater, first). With `journals`, also each one's journal, in that order.
  Result<std::vector<RestorePointInfo>> List(std::vector<JournalContents>* journals = nullptr);
  // Undoes the install `id` (empty: the newest one not yet undone; an interrupted one is
  // rolled back). Refuses when a later install that is not undone touched the same files,
  // when the journal is damaged, and when originals it must put back are gone. Files
  // changed since the install are reported and left alone unless `force`; the point then
  // stays live, as after any failure, and a later undo finishes it. `steps` hears how far
  // the putting back has come (ApplyUndo).
  Result<UndoReport> Undo(const std::string& id, bool force, const LocalDateTime& now,
                          const StepsDone& steps = {});
  // Puts back, from a damaged journal, only the files whose records are all intact and
  // that are as the install left them; the rest count as left. Writes nothing into the
  // restore point, which stays damaged.
  Result<UndoReport> Salvage(const std::string& id);
  // Rolls back every interrupted install that touched a file in one of `folders`.
  std::vector<UndoReport> RecoverInterrupted(const std::vector<std::string>& folders,
                                             const LocalDateTime& now);

 private:
  Result<UndoReport> Revert(const std::string& id, bool force, const LocalDateTime& now,
                            const StepsDone& steps = {});
  // The live installs later than `id`, nearest first, with their journals.
  Result<std::vector<LaterPoint>> LaterLive(const std::string& id);
  // A point's journal and what it says; `info.damage` set when it cannot be trusted.
  RestorePointInfo Load(const std::string& id, JournalContents* journal = nullptr);
  // Rewrites the manifest from the journal (which may have grown since the install).
  void WriteManifest(const std::string& id, bool durable);
  Status MakeFolder();
  FileSystem& fs_;
  std::string folder_;
};

// The SHA-256 of a file's bytes (64 lowercase hexadecimal digits), read in pieces.
Result<std::string> FileSha256(FileSystem& fs, const std::string& path);

// The manifest of a restore point, from its journal.
std::string ManifestText(const RestorePointInfo& info);
RestorePointInfo DescribeJournal(const std::string& id, const std::vector<JournalRecord>& records);

}  // namespace dfm
