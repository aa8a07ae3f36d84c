// The file system an install run writes through when it keeps a restore point. Before
// the first change to a file it records the file's prior state in the journal, and
// before each change what that change destroys, made durable before the change is passed
// on: a write into an existing file, the bytes it replaces (once per range, and only
// below the file's first length, since undo cuts the file back to that); a file
// truncated or renamed over, its whole bytes; a file deleted or copied over, moved into
// the restore point's folder (copied there and synced when that lies on another volume,
// and only then removed); a file created, that it was absent; a rename, both names; the
// temporary name a copy writes first.
//
// A change waits only for the records about its own file (the journal is synced up to
// the latest of them), so records about other files wait for their own changes.
// Changes that need a record are grouped so that one sync covers many: writes over bytes
// not yet saved, deletions and copies are held until the held bytes pass a limit, the
// file (or a copy's source) is read, cut or changed, or the install ends (Commit): then
// the records of all of them are made durable at once, and only then are the changes
// passed on. Writes that need no record (over bytes saved already, or past the file's
// first length) go straight through, replacing what the held writes had for those bytes.
// A crash loses the held changes, which is the same as never having made them. What the
// host can tell of a deletion beforehand (a file that cannot be removed) fails at once.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/file_system.h"
#include "restore/after_state.h"
#include "restore/journal.h"

namespace dfm {

// The absolute spelling of a path: a relative path is taken against the current folder.
std::string AbsolutePath(FileSystem& fs, const std::string& path);

// One file the install changed and how, in the order the install first touched them.
struct TouchedFile {
  std::string path;
  std::string how;  // created, replaced, changed, deleted, moved to X, moved from X
};

class JournalingFileSystem final : public FileSystem {
 public:
  // `skip` names paths that pass through unrecorded (the installer's own log and the
  // files it extracted); a rename from such a path records what it does to the target.
  // Deleted files are moved into `stash` (a folder) rather than copied into the journal.
  JournalingFileSystem(FileSystem& inner, JournalWriter& journal,
                       std::function<bool(const std::string&)> skip = {}, std::string stash = {});
  ~JournalingFileSystem() override;

  // Appends the state the install left each file in (kAfter records): later, undo tells
  // from them whether something else changed the file since.
  Status RecordAfterStates();
  std::vector<TouchedFile> Touched();
  // The absolute spelling of a path: relative paths are taken against the current folder.
  std::string Absolute(const std::string& path);

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
  std::unique_ptr<FileBatch> BeginBatch() override { return inner_.BeginBatch(); }
  Result<std::uint64_t> FileLength(const std::string& path) override;
  Result<LocalDateTime> ModifiedTime(const std::string& path) override;
  Result<FileStat> Stat(const std::string& path) override;
  Status SetModifiedTime(const std::string& path, const LocalDateTime& time) override;
  Result<bool> IsDirectory(const std::string& path) override { return inner_.IsDirectory(path); }
  Result<FileIdentity> Identity(const std::string& path) override;
  Status SyncFolder(const std::string& path) override { return inner_.SyncFolder(path); }
  Result<std::string> ExactPath(const std::string& path) override { return inner_.ExactPath(path); }
  Status CopyFile(const std::string& from, const std::string& to) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status ReplaceFile(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  Status CanRemove(const std::string& path) override { return inner_.CanRemove(path); }
  Status MakeDirectory(const std::string& path) override { return inner_.MakeDirectory(path); }
  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    if (Status st = Commit(); !st) return st.failure();
    return inner_.ListDirectory(path);
  }
  Result<std::string> CurrentDirectory() override { return inner_.CurrentDirectory(); }
  Status SetCurrentDirectory(const std::string& path) override {
    return inner_.SetCurrentDirectory(path);
  }

  // Makes the held changes' records durable, then passes the changes on.
  Status Commit();
  // Bytes held before a commit is forced.
  void set_hold_limit(std::uint64_t bytes) { hold_limit_ = bytes; }

  // Used by the file objects handed out: a write (held or passed on), the length as the
  // held writes leave it, and the commit a read or a truncation needs first.
  struct PathState;
  Status Write(PathState& state, File& file, std::uint64_t offset, const void* data,
               std::size_t size);
  Result<std::uint64_t> Length(PathState& state, File& file);
  Status Settle(PathState* state);
  // Saves the bytes below the file's first length that [offset, offset + size) would lose.
  Status SaveRange(PathState& state, std::uint64_t offset, std::uint64_t size);

 private:
  // The path's state, made (with its first record) on the first touch, which sets
  // `*first`.
  PathState* Touch(const std::string& path, Status& status, bool* first = nullptr);
  // The path's state when it holds changes for the next commit. A held copy into the
  // path, or (with `changes`) one that reads it, is passed on first.
  PathState* Held(const std::string& path, Status& status, bool changes = false);
  // Records the deletion of a file from before the install, held for the next commit.
  Status Stash(PathState& state);
  // Moves the held deletions into the stash: false for each that stays.
  void StashHeld(const std::function<void(Status)>& keep);
  Status Move(const std::string& from, const std::string& to, bool replace);
  void Supersede(PathState& state, std::uint64_t start, std::uint64_t end);
  Status RecordRange(PathState& state, std::uint64_t offset, std::uint64_t size);
  Status SaveWhole(PathState& state);
  Status Created(PathState& state);
  Status Record(PathState& state, const JournalRecord& record);
  Status Durable(const PathState& state);

  FileSystem& inner_;
  JournalWriter& journal_;
  std::function<bool(const std::string&)> skip_;
  std::string stash_;
  int stashed_ = 0;
  std::unordered_map<std::string, std::unique_ptr<PathState>> states_;  // by folded absolute path
  std::vector<PathState*> order_;                                       // first touch first
  std::unordered_set<std::string> sources_;  // folded paths the held copies read
  std::uint64_t held_ = 0;                   // bytes held for the next commit
  std::uint64_t hold_limit_ = std::uint64_t{64} << 20;
};

}  // namespace dfm
