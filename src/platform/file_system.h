// The file system as the core sees it. Paths are the installer's own path strings
// (Windows style, "\" separators, 8-bit bytes); a relative path resolves against the
// current directory. Each host maps them onto its own file system: POSIX maps "\" to "/"
// and finds a component without regard to letter case when the exact name is missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/local_time.h"
#include "base/result.h"

namespace dfm {

using Bytes = std::vector<unsigned char>;

// An open file. Closed when destroyed; Close() reports what closing found.
class File {
 public:
  virtual ~File() = default;
  // Reads exactly `size` bytes at `offset`; reading past the end fails
  // (err::kInputPastEndOfFile) and leaves `out` unspecified.
  virtual Status ReadAt(std::uint64_t offset, void* out, std::size_t size) = 0;
  // Writes `size` bytes at `offset`, growing the file as needed; never truncates.
  virtual Status WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
  virtual Result<std::uint64_t> Size() = 0;
  // Sets the last-modified time (local time; weekday and nanoseconds are not used) on the
  // open file; a later write may change it again. A file that cannot fails with
  // err::kInvalidProcedureCall: the caller then uses FileSystem::SetModifiedTime.
  virtual Status SetModifiedTime(const LocalDateTime& time) {
    (void)time;
    return Status::Fail(err::kInvalidProcedureCall, "Cannot set the time of an open file");
  }
  virtual Status Close() = 0;
  // Makes the bytes written so far durable: on the disk, not only in a cache. A file
  // system without a cache has nothing to do.
  virtual Status Sync() { return {}; }
  // Cuts the file to `length` bytes, or extends it with zero bytes.
  virtual Status SetLength(std::uint64_t length) {
    return Status::Fail(err::kInvalidProcedureCall,
                        "Cannot set the length to " + std::to_string(length));
  }
};

// Held while many files are created in folders that nothing else changes meanwhile
// (extracting an archive). See FileSystem::BeginBatch.
class FileBatch {
 public:
  virtual ~FileBatch() = default;
};

// An exclusive lock on a file, held until the object is destroyed or the process ends.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

enum class OpenMode {
  kRead,         // must exist
  kReadWrite,    // created when missing, never truncated
  kUpdate,       // must exist; read and written, never truncated
  kCreateFresh,  // created or truncated to zero length
  kAppend,       // created when missing; writes go to the end
};

struct DirEntry {
  std::string name;
  bool is_directory = false;
};

// Which file a path names, whatever its spelling: two paths name the same file exactly
// when their identities are equal. POSIX: device and inode number; Windows: volume serial
// number and file index.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// A file's length and last-modified time, as one query gives them.
struct FileStat {
  std::uint64_t length = 0;
  LocalDateTime modified;
};

// Sees the bytes a copy writes: their count first, then the pieces in order.
class CopyWatch {
 public:
  virtual ~CopyWatch() = default;
  virtual void Begin(std::uint64_t length) = 0;
  virtual void Piece(const unsigned char* data, std::size_t size) = 0;
};

// Every host refuses a path holding a NUL byte with err::kBadFileName and never hands it
// to the system, which would read only the part before the NUL (BadFileName below). The
// POSIX host also refuses a path that begins with two separators: on Windows that is a
// network path, and POSIX would take it for the root folder.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) = 0;
  // Until the returned object is destroyed, this program alone changes the folders it
  // writes into, so a host may answer its case-insensitive name lookups from a folder
  // listing read once instead of checking the folder before every call. Results are the
  // same as without it. Default: nothing to hold (nullptr); a decorator forwards it.
  virtual std::unique_ptr<FileBatch> BeginBatch() { return nullptr; }
  // Length in bytes; fails with err::kFileNotFound when there is no such file.
  virtual Result<std::uint64_t> FileLength(const std::string& path) = 0;
  // Last-modified time in local time.
  virtual Result<LocalDateTime> ModifiedTime(const std::string& path) = 0;
  // FileLength and ModifiedTime together: fails as FileLength does, else as ModifiedTime
  // does. This default asks the two in that order; a host overrides it to ask once.
  virtual Result<FileStat> Stat(const std::string& path);
  // Sets the last-modified time (local time; weekday and nanoseconds are not used).
  // A file system that cannot keep times fails with err::kInvalidProcedureCall.
  virtual Status SetModifiedTime(const std::string& path, const LocalDateTime& time) {
    (void)time;
    return Status::Fail(err::kInvalidProcedureCall, "Cannot set the time of " + path);
  }
  virtual Result<bool> IsDirectory(const std::string& path) = 0;
  // Makes the folder's list of names durable (after a file in it was created or renamed).
  virtual Status SyncFolder(const std::string& path) {
    (void)path;
    return {};
  }
  // The path as the file system spells the existing file, which may differ in letter
  // case from `path`; `path` itself when the host keeps no other spelling.
  virtual Result<std::string> ExactPath(const std::string& path) { return path; }
  // Takes the exclusive lock of the file `path` (created when missing) without waiting;
  // fails with err::kFileAlreadyOpen while another holder has it. A process that dies
  // loses its locks. Default: a lock that keeps nothing out.
  virtual Result<std::unique_ptr<FileLock>> Lock(const std::string& path) {
    (void)path;
    return std::make_unique<FileLock>();
  }
  // The identity of the file or folder at `path` (symbolic links followed); fails as
  // FileLength does when nothing is there.
  virtual Result<FileIdentity> Identity(const std::string& path) = 0;
  // Copies a file's bytes; an existing target is replaced. The target gets the whole copy
  // or stays as it was: this default writes through WriteReplacing.
  virtual Status CopyFile(const std::string& from, const std::string& to);
  // Copies as CopyFile does. A host that writes the copy itself (through CopyThrough)
  // hands `watch` the bytes on their way; this default copies through CopyFile and shows
  // `watch` nothing.
  virtual Status CopyFileWatched(const std::string& from, const std::string& to, CopyWatch& watch) {
    (void)watch;
    return CopyFile(from, to);
  }
  // Renames; fails with err::kFileAlreadyExists when the target exists, and with
  // err::kNotSameDevice across volumes (POSIX EXDEV, Windows ERROR_NOT_SAME_DEVICE).
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  // Renames, replacing a file at `to`. This default removes it first and then renames;
  // a host replaces in one step where it can.
  virtual Status ReplaceFile(const std::string& from, const std::string& to);
  virtual Status RemoveFile(const std::string& path) = 0;
  // Whether the file at `path` could be removed (or renamed away) now, changing nothing:
  // fails as RemoveFile would where the host can tell beforehand (a folder whose names
  // cannot change, a file the system keeps from any change). Default: nothing to tell.
  virtual Status CanRemove(const std::string& path) {
    (void)path;
    return {};
  }
  virtual Status MakeDirectory(const std::string& path) = 0;
  virtual Result<std::vector<DirEntry>> ListDirectory(const std::string& path) = 0;
  // The current directory, in the host's own spelling.
  virtual Result<std::string> CurrentDirectory() = 0;
  virtual Status SetCurrentDirectory(const std::string& path) = 0;
};

// The description a host's file failure starts with: "File not found" for
// err::kFileNotFound and so on; "Path/File access error" for any other code.
std::string FileErrorText(int code);

// err::kBadFileName for a path holding a NUL byte; nullopt for any other path.
std::optional<Failure> BadFileName(const std::string& path);

// Appended to a target's name for the temporary file WriteReplacing writes first.
inline constexpr char kReplacingSuffix[] = ".~dfm";

// Writes the file at `path` through `write`, which gets an empty temporary file beside it
// (same folder, so the final rename stays on one volume) and writes it whole; the
// temporary file then replaces `path`. So `path` holds either the complete new content or
// what it held before, never a part. A folder at `path` fails before anything is written.
// On failure the temporary file is removed, and the failure names `path`, not it.
Status WriteReplacing(FileSystem& fs, const std::string& path,
                      const std::function<Status(File&)>& write);

// CopyFile's default: the source read in pieces into a temporary file beside `to`
// (WriteReplacing), each piece shown to `watch` (when given) as it is written.
Status CopyThrough(FileSystem& fs, const std::string& from, const std::string& to,
                   CopyWatch* watch = nullptr);

// Copies the file `from` to `to` (created or truncated) and makes the copy's bytes durable
// before it returns; the caller syncs the folder of `to`. A copy that fails is removed.
Status CopyFileDurably(FileSystem& fs, const std::string& from, const std::string& to);

// Whole-file helpers over any FileSystem.
Result<Bytes> ReadWholeFile(FileSystem& fs, const std::string& path);
// Creates or truncates, then writes.
Status WriteWholeFile(FileSystem& fs, const std::string& path, const void* data, std::size_t size);
inline Status WriteWholeFile(FileSystem& fs, const std::string& path, const Bytes& data) {
  return WriteWholeFile(fs, path, data.data(), data.size());
}

}  // namespace dfm
