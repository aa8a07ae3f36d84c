#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "base/local_time.h"
#include "base/path_style.h"
#include "platform/host.h"
#include "platform/posix/posix_path.h"

namespace dfm {

PathStyle HostPathStyle() {
  return PathStyle::kPosix;
}

namespace {

Failure FromErrno(int e, const std::string& path) {
  int code = err::kPathFileAccessError;
  switch (e) {
    case ENOENT:
      code = err::kFileNotFound;
      break;
    case ENOTDIR:
      code = err::kPathNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      code = err::kPermissionDenied;
      break;
    case EEXIST:
      code = err::kFileAlreadyExists;
      break;
    case ENOSPC:
      code = err::kDiskFull;
      break;
    case ENAMETOOLONG:
      code = err::kBadFileName;
      break;
    case EIO:
      code = err::kDeviceIoError;
      break;
    case EMFILE:
    case ENFILE:
      code = err::kFileAlreadyOpen;
      break;
    default:
      break;
  }
  std::string text = FileErrorText(code);
  text += ": " + path + " (" + std::strerror(e) + ")";
  return Failure{code, std::move(text)};
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// A path the host must not hand to the system: one holding a NUL byte, or one beginning
// with two separators, which Windows reads as a network path ("\\server\share") and
// POSIX would take for the root folder.
std::optional<Failure> Refused(const std::string& path) {
  if (auto bad = BadFileName(path)) return bad;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return Failure{err::kBadFileName,
                   "Bad file name or number: " + path + " is a network path, not reachable here"};
  }
  return std::nullopt;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path, bool append)
      : fd_(fd), path_(std::move(path)), append_(append) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  Status ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
    if (fd_ < 0) return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    auto* p = static_cast<unsigned char*>(out);
    while (size > 0) {
      ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno, path_);
      }
      if (n == 0) return Status::Fail(err::kInputPastEndOfFile, "Input past end of file: " + path_);
      p += n;
      size -= static_cast<std::size_t>(n);
      offset += static_cast<std::uint64_t>(n);
    }
    return {};
  }

  Status WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    if (fd_ < 0) return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
      ssize_t n =
          append_ ? ::write(fd_, p, size) : ::pwrite(fd_, p, size, static_cast<off_t>(offset));
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno, path_);
      }
      p += n;
      size -= static_cast<std::size_t>(n);
      offset += static_cast<std::uint64_t>(n);
    }
    return {};
  }

  Result<std::uint64_t> Size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return FromErrno(errno, path_);
    return static_cast<std::uint64_t>(st.st_size);
  }

  Status Sync() override {
    if (fd_ < 0) return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    if (::fdatasync(fd_) != 0) return FromErrno(errno, path_);
    return {};
  }

  Status SetLength(std::uint64_t length) override {
    if (fd_ < 0) return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) return FromErrno(errno, path_);
    return {};
  }

  // On the descriptor: no second lookup of the path.
  Status SetModifiedTime(const LocalDateTime& time) override {
    if (fd_ < 0) return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    struct timespec times[2]{};
    times[0].tv_sec = times[1].tv_sec = ToTimeT(time);
    if (::futimens(fd_, times) != 0) return FromErrno(errno, path_);
    return {};
  }

  Status Close() override {
    if (fd_ < 0) return {};
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return FromErrno(errno, path_);
    return {};
  }

 private:
  int fd_;
  std::string path_;
  bool append_;
};

LocalDateTime ToLocal(const struct timespec& ts) {
  std::tm tm{};
  time_t t = ts.tv_sec;
  ::localtime_r(&t, &tm);
  LocalDateTime out;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec;
  out.weekday = tm.tm_wday;
  out.nanosecond = static_cast<int>(ts.tv_nsec);
  return out;
}

// Runs `call` (a system call on a host path: true on success, else errno set) on the
// path with "\" mapped to "/", and, when that finds nothing (ENOENT, ENOTDIR), once more
// on the spelling the case-insensitive lookup gives, if that differs. The result is the
// one ResolvePath's spelling gives, without a lookup before every call: an exact name
// is what ResolvePath keeps anyway.
template <class Call>
bool OnHostPath(const std::string& path, Call&& call) {
  const std::string mapped = posix::MappedPath(path);
  if (call(mapped)) return true;
  if (errno != ENOENT && errno != ENOTDIR) return false;
  const int first = errno;
  const std::string resolved = posix::ResolvePath(path);
  if (resolved == mapped) {
    errno = first;
    return false;
  }
  return call(resolved);
}

bool StatPath(const std::string& path, struct stat& st) {
  return OnHostPath(path, [&](const std::string& p) { return ::stat(p.c_str(), &st) == 0; });
}

// The failure for a file that could not be made at `path`: when its folder is missing, the
// folder is what failed and is named (without its last separator).
Failure CreateFailure(int e, const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  struct stat st {};
  if (e == ENOENT && end > 0 && !(StatPath(path.substr(0, end), st) && S_ISDIR(st.st_mode))) {
    return Failure{err::kPathNotFound, "Path not found: " + path.substr(0, end)};
  }
  return FromErrno(e, path);
}

// The descriptor of `path` opened with `flags`, or -1 with errno set. A file that
// exists under the exact name is opened without a lookup; otherwise the lookup's
// spelling is opened, and only then created if O_CREAT asks for it, so that a file
// existing under another spelling is found rather than made anew.
int OpenHostFile(const std::string& path, int flags) {
  if ((flags & O_CREAT) && posix::InBatch()) {
    // The folder's listing is trusted: look the name up first and open once.
    const std::string resolved = posix::ResolvePath(path);
    int fd = ::open(resolved.c_str(), flags, 0644);
    if (fd >= 0) posix::NoteCreated(resolved);
    return fd;
  }
  const std::string mapped = posix::MappedPath(path);
  int fd = ::open(mapped.c_str(), flags & ~O_CREAT, 0644);
  if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR)) return fd;
  const int first = errno;
  const std::string resolved = posix::ResolvePath(path);
  if (resolved == mapped && !(flags & O_CREAT)) {
    errno = first;
    return -1;
  }
  fd = ::open(resolved.c_str(), flags, 0644);
  if (fd >= 0 && (flags & O_CREAT)) posix::NoteCreated(resolved);
  return fd;
}

class PosixBatch final : public FileBatch {
 public:
  PosixBatch() { posix::BeginBatch(); }
  ~PosixBatch() override { posix::EndBatch(); }
  PosixBatch(const PosixBatch&) = delete;
  PosixBatch& operator=(const PosixBatch&) = delete;
};

// flock(2): the lock belongs to the open file, so a second open of the same file, in
// this process or another, is refused until this one is closed.
class PosixLock final : public FileLock {
 public:
  explicit PosixLock(int fd) : fd_(fd) {}
  ~PosixLock() override { ::close(fd_); }
  PosixLock(const PosixLock&) = delete;
  PosixLock& operator=(const PosixLock&) = delete;

 private:
  int fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<FileBatch> BeginBatch() override { return std::make_unique<PosixBatch>(); }

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    if (auto bad = Refused(path)) return *bad;
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kRead:
        flags |= O_RDONLY;
        break;
      case OpenMode::kReadWrite:
        flags |= O_RDWR | O_CREAT;
        break;
      case OpenMode::kUpdate:
        flags |= O_RDWR;
        break;
      case OpenMode::kCreateFresh:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
      case OpenMode::kAppend:
        flags |= O_WRONLY | O_CREAT | O_APPEND;
        break;
    }
    // Without waiting: a pipe or a device under a file's name is refused below, never read
    // (opening a pipe would wait for a writer forever).
    int fd = OpenHostFile(path, flags | O_NONBLOCK);
    if (fd < 0) return (flags & O_CREAT) ? CreateFailure(errno, path) : FromErrno(errno, path);
    // Writing modes never get here with a folder: the kernel refuses them (EISDIR).
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      const bool folder = S_ISDIR(st.st_mode);
      ::close(fd);
      return Failure{err::kPathFileAccessError, "Path/File access error: " + path +
                                                    (folder ? " is a folder" : " is not a file")};
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<File>(std::make_unique<PosixFile>(fd, path, mode == OpenMode::kAppend));
  }

  Result<std::uint64_t> FileLength(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    struct stat st {};
    if (!StatPath(path, st)) return FromErrno(errno, path);
    if (S_ISDIR(st.st_mode)) return Failure{err::kFileNotFound, "File not found: " + path};
    return static_cast<std::uint64_t>(st.st_size);
  }

  Result<LocalDateTime> ModifiedTime(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    struct stat st {};
    if (!StatPath(path, st)) return FromErrno(errno, path);
    return ToLocal(st.st_mtim);
  }

  // One stat for both; the same failures as FileLength.
  Result<FileStat> Stat(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    struct stat st {};
    if (!StatPath(path, st)) return FromErrno(errno, path);
    if (S_ISDIR(st.st_mode)) return Failure{err::kFileNotFound, "File not found: " + path};
    return FileStat{static_cast<std::uint64_t>(st.st_size), ToLocal(st.st_mtim)};
  }

  Status SetModifiedTime(const std::string& path, const LocalDateTime& time) override {
    if (auto bad = Refused(path)) return *bad;
    struct timespec times[2]{};
    times[0].tv_sec = times[1].tv_sec = ToTimeT(time);
    times[0].tv_nsec = times[1].tv_nsec = time.nanosecond;
    if (::utimensat(AT_FDCWD, posix::ResolvePath(path).c_str(), times, 0) != 0)
      return FromErrno(errno, path);
    return {};
  }

  Status SyncFolder(const std::string& path) override {
    const int fd = ::open(posix::ResolvePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FromErrno(errno, path);
    const bool synced = ::fsync(fd) == 0;
    const int e = errno;
    ::close(fd);
    if (!synced) return FromErrno(e, path);
    return {};
  }

  Result<std::string> ExactPath(const std::string& path) override {
    return posix::ResolvePath(path);
  }

  Result<std::unique_ptr<FileLock>> Lock(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    const int fd = OpenHostFile(path, O_RDWR | O_CREAT | O_CLOEXEC);
    if (fd < 0) return CreateFailure(errno, path);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      ::close(fd);
      if (e == EWOULDBLOCK) return Failure{err::kFileAlreadyOpen, "File already open: " + path};
      return FromErrno(e, path);
    }
    return std::unique_ptr<FileLock>(std::make_unique<PosixLock>(fd));
  }

  // This host copies through CopyThrough, so it can show the bytes on their way.
  Status CopyFileWatched(const std::string& from, const std::string& to,
                         CopyWatch& watch) override {
    return CopyThrough(*this, from, to, &watch);
  }

  Result<bool> IsDirectory(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    struct stat st {};
    if (!StatPath(path, st)) {
      if (errno == ENOENT || errno == ENOTDIR) return false;
      return FromErrno(errno, path);
    }
    return S_ISDIR(st.st_mode);
  }

  Result<FileIdentity> Identity(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    struct stat st {};
    if (!StatPath(path, st)) return FromErrno(errno, path);
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
  }

  Status Rename(const std::string& from, const std::string& to) override {
    return Move(from, to, false);
  }

  // rename(2) replaces the target in one step.
  Status ReplaceFile(const std::string& from, const std::string& to) override {
    return Move(from, to, true);
  }

  Status RemoveFile(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    const std::string p = posix::ResolvePath(path);
    const bool indexed = posix::IndexIsCurrent(p);
    if (::unlink(p.c_str()) != 0) return FromErrno(errno, path);
    if (indexed) posix::NoteRemoved(p);
    return {};
  }

  // The kernel's own checks, through access(2): the folder must be writable (its mode, a
  // read-only mount, an immutable folder); the file must not be immutable, which refuses
  // writing it with EPERM where a mere missing write permission gives EACCES.
  Status CanRemove(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    const std::string p = posix::ResolvePath(path);
    const std::string folder = p.substr(0, p.rfind('/') + 1);
    if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0)
      return FromErrno(errno, path);
    if (::access(p.c_str(), W_OK) != 0 && (errno == EPERM || errno == ENOENT))
      return FromErrno(errno, path);
    return {};
  }

  Status MakeDirectory(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    const std::string p = posix::ResolvePath(path);
    if (::mkdir(p.c_str(), 0755) != 0) return FromErrno(errno, path);
    posix::NoteCreated(p);
    return {};
  }

  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    const std::string p = posix::ResolvePath(path);
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(p.empty() ? "." : p.c_str()), ::closedir);
    if (!d) return FromErrno(errno, path);
    std::vector<DirEntry> out;
    while (const dirent* e = ::readdir(d.get())) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      std::string full = p.empty() ? name : (p.back() == '/' ? p + name : p + "/" + name);
      bool dir = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      out.push_back({std::move(name), dir});
    }
    return out;
  }

  // The failure names the side that failed: the source when it is missing or its folder
  // cannot be written, otherwise the target (its missing folder, if that is what failed).
  Status Move(const std::string& from, const std::string& to, bool replace) {
    if (auto bad = Refused(from)) return *bad;
    if (auto bad = Refused(to)) return *bad;
    const std::string src = posix::ResolvePath(from);
    const std::string dst = posix::ResolvePath(to);
    struct stat st {};
    if (!replace && ::lstat(dst.c_str(), &st) == 0)
      return Status::Fail(err::kFileAlreadyExists, "File already exists: " + to);
    // The folder listing follows the rename when it was current for either folder.
    const bool indexed = posix::IndexIsCurrent(src) || posix::IndexIsCurrent(dst);
    if (::rename(src.c_str(), dst.c_str()) == 0) {
      posix::NoteRenamed(src, dst, indexed);
      return {};
    }
    const int e = errno;
    if (e == EXDEV)
      return Status::Fail(err::kNotSameDevice, FileErrorText(err::kNotSameDevice) + ": " + from +
                                                   " and " + to + " are on different volumes");
    if (::lstat(src.c_str(), &st) != 0) return FromErrno(errno, from);
    const std::string src_folder = src.substr(0, src.rfind('/') + 1);
    if ((e == EACCES || e == EPERM || e == EROFS) &&
        ::access(src_folder.empty() ? "." : src_folder.c_str(), W_OK) != 0)
      return FromErrno(e, from);
    return CreateFailure(e, to);
  }

  Result<std::string> CurrentDirectory() override {
    std::string buf(4096, '\0');
    if (::getcwd(buf.data(), buf.size()) == nullptr) return FromErrno(errno, ".");
    buf.resize(std::strlen(buf.c_str()));
    return buf;
  }

  Status SetCurrentDirectory(const std::string& path) override {
    if (auto bad = Refused(path)) return *bad;
    if (::chdir(posix::ResolvePath(path).c_str()) != 0) return FromErrno(errno, path);
    return {};
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeHostFileSystem() {
  return std::make_unique<PosixFileSystem>();
}

}  // namespace dfm
