// The file system an install run writes through when it keeps a restore point. Before
// the first change to a file it records the file's prior state in the journal, and
// before each change what that change destroys, made durable before the change is passed
// on: a write into an existing file, the bytes it replaces (once per range, and only
// below the file's first length, since undo cuts the file back to that); a file
// truncated, replaced, deleted or renamed over, its whole bytes; a file created, that it
// was absent; a rename, both names. Reads pass straight through.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "restore/journal.h"

namespace dfm {

// Byte ranges [start, end) as a set of disjoint ranges.
class RangeSet {
 public:
  // The parts of [start, end) not in the set.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Missing(std::uint64_t start,
                                                               std::uint64_t end) const;
  void Add(std::uint64_t start, std::uint64_t end);
  const std::map<std::uint64_t, std::uint64_t>& ranges() const { return ranges_; }

 private:
  std::map<std::uint64_t, std::uint64_t> ranges_;
};

// The absolute spelling of a path: a relative path is taken against the current folder.
std::string AbsolutePath(FileSystem& fs, const std::string& path);

// One file the install changed and how, in the order the install first touched them.
struct TouchedFile {
  std::string path;
  std::string how;  // created, replaced, changed, deleted, moved to X, moved from X
};

// What a file looked like when the install ended: whether it existed, its length, and
// the SHA-256 of the bytes the install wrote (of all of them when it wrote the whole file).
struct AfterFingerprint {
  bool exists = false;
  std::uint64_t length = 0;
  std::string digest;
};
Result<AfterFingerprint> AfterState(FileSystem& fs, const std::string& path, bool whole,
                                    const RangeSet& written);

class JournalingFileSystem final : public FileSystem {
 public:
  // `skip` names paths that pass through unrecorded (the installer's own log).
  JournalingFileSystem(FileSystem& inner, JournalWriter& journal,
                       std::function<bool(const std::string&)> skip = {});
  ~JournalingFileSystem() override;

  // Appends the state the install left each file in (kAfter records): later, undo tells
  // from them whether something else changed the file since.
  Status RecordAfterStates();
  std::vector<TouchedFile> Touched();
  // The absolute spelling of a path: relative paths are taken against the current folder.
  std::string Absolute(const std::string& path);

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
  Result<std::uint64_t> FileLength(const std::string& path) override {
    return inner_.FileLength(path);
  }
  Result<LocalDateTime> ModifiedTime(const std::string& path) override {
    return inner_.ModifiedTime(path);
  }
  Result<FileStat> Stat(const std::string& path) override { return inner_.Stat(path); }
  Status SetModifiedTime(const std::string& path, const LocalDateTime& time) override;
  Result<bool> IsDirectory(const std::string& path) override { return inner_.IsDirectory(path); }
  Status SyncFolder(const std::string& path) override { return inner_.SyncFolder(path); }
  Result<std::string> ExactPath(const std::string& path) override { return inner_.ExactPath(path); }
  Status CopyFile(const std::string& from, const std::string& to) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  Status MakeDirectory(const std::string& path) override { return inner_.MakeDirectory(path); }
  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    return inner_.ListDirectory(path);
  }
  Result<std::string> CurrentDirectory() override { return inner_.CurrentDirectory(); }
  Status SetCurrentDirectory(const std::string& path) override {
    return inner_.SetCurrentDirectory(path);
  }

  // A write through a file opened here (used by the file objects it hands out).
  Status BeforeWrite(const std::string& key, std::uint64_t offset, std::size_t size);

 public:
  struct PathState;

 private:
  PathState* Touch(const std::string& path, Status& status);
  Status SaveWhole(PathState& state);
  Status Created(PathState& state);
  Status Record(JournalRecord record);

  FileSystem& inner_;
  JournalWriter& journal_;
  std::function<bool(const std::string&)> skip_;
  std::map<std::string, std::unique_ptr<PathState>> states_;  // by folded absolute path
  std::vector<std::string> order_;                            // keys, first touch first
};

}  // namespace dfm
