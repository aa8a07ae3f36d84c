// The file system through the system's 8-bit ("A") calls: the installer's path strings are
// bytes in the system code page, which is what those calls take.
#include "platform/win32/windows_api.h"

#include <algorithm>
#include <memory>
#include <string>

#include "base/local_time.h"
#include "base/path_style.h"
#include "platform/host.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_time.h"

namespace dfm {

PathStyle HostPathStyle() {
  return PathStyle::kWindows;
}

namespace {

using win32::FileFailure;

// One call moves at most this many bytes (ReadFile and WriteFile count in 32 bits).
constexpr std::size_t kMaxPiece = 1u << 30;

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

class Win32File final : public File {
 public:
  Win32File(HANDLE h, std::string path, bool append)
      : h_(h), path_(std::move(path)), append_(append) {}
  ~Win32File() override {
    if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  Status ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
    if (h_ == INVALID_HANDLE_VALUE)
      return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    auto* p = static_cast<unsigned char*>(out);
    while (size > 0) {
      OVERLAPPED at = At(offset);
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min(size, kMaxPiece));
      if (!::ReadFile(h_, p, want, &n, &at)) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_HANDLE_EOF)
          n = 0;
        else
          return FileFailure(e, path_);
      }
      if (n == 0) return Status::Fail(err::kInputPastEndOfFile, "Input past end of file: " + path_);
      p += n;
      size -= n;
      offset += n;
    }
    return {};
  }

  // Writes at `offset`; a file opened for appending writes at its end instead.
  Status WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    if (h_ == INVALID_HANDLE_VALUE)
      return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
      OVERLAPPED at = At(offset);
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min(size, kMaxPiece));
      if (!::WriteFile(h_, p, want, &n, append_ ? nullptr : &at))
        return FileFailure(::GetLastError(), path_);
      p += n;
      size -= n;
      offset += n;
    }
    return {};
  }

  Result<std::uint64_t> Size() override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h_, &size)) return FileFailure(::GetLastError(), path_);
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  Status Sync() override {
    if (h_ == INVALID_HANDLE_VALUE)
      return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    if (!::FlushFileBuffers(h_)) return FileFailure(::GetLastError(), path_);
    return {};
  }

  Status SetLength(std::uint64_t length) override {
    if (h_ == INVALID_HANDLE_VALUE)
      return Status::Fail(err::kBadFileName, "File is closed: " + path_);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
    if (!::SetFileInformationByHandle(h_, FileEndOfFileInfo, &end, sizeof end))
      return FileFailure(::GetLastError(), path_);
    return {};
  }

  Status Close() override {
    if (h_ == INVALID_HANDLE_VALUE) return {};
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(h)) return FileFailure(::GetLastError(), path_);
    return {};
  }

 private:
  HANDLE h_;
  std::string path_;
  bool append_;
};

bool IsFolderAttribute(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The failure for a file that could not be made at `path`: when its folder is missing, the
// folder is what failed and is named (without its last separator), as on POSIX.
Failure CreateFailure(DWORD e, const std::string& path) {
  std::size_t end = path.size();
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  while (end > 0 && !separator(path[end - 1])) --end;
  while (end > 1 && separator(path[end - 1])) --end;
  if ((e == ERROR_PATH_NOT_FOUND || e == ERROR_FILE_NOT_FOUND) && end > 0 &&
      !IsFolderAttribute(::GetFileAttributesA(path.substr(0, end).c_str())))
    return Failure{err::kPathNotFound, "Path not found: " + path.substr(0, end)};
  return FileFailure(e, path);
}

// A refused move names the source when that is missing, otherwise the target.
Failure MoveFailure(DWORD e, const std::string& from, const std::string& to) {
  if (e == ERROR_NOT_SAME_DEVICE)
    return {err::kNotSameDevice, FileErrorText(err::kNotSameDevice) + ": " + from + " and " + to +
                                     " are on different volumes"};
  if (::GetFileAttributesA(from.c_str()) == INVALID_FILE_ATTRIBUTES)
    return FileFailure(::GetLastError(), from);
  return CreateFailure(e, to);
}

// LockFileEx on a handle of its own: a second lock of the same file, from this process
// or another, is refused while this one is held.
class Win32Lock final : public FileLock {
 public:
  explicit Win32Lock(HANDLE h) : h_(h) {}
  ~Win32Lock() override { ::CloseHandle(h_); }
  Win32Lock(const Win32Lock&) = delete;
  Win32Lock& operator=(const Win32Lock&) = delete;

 private:
  HANDLE h_;
};

class Win32FileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<FileLock>> Lock(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FileFailure(::GetLastError(), path);
    OVERLAPPED whole{};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
      const DWORD e = ::GetLastError();
      ::CloseHandle(h);
      if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING)
        return Failure{err::kFileAlreadyOpen, "File already open: " + path};
      return FileFailure(e, path);
    }
    return std::unique_ptr<FileLock>(std::make_unique<Win32Lock>(h));
  }

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    if (auto bad = BadFileName(path)) return *bad;
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
      case OpenMode::kRead:
        break;
      case OpenMode::kReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
        break;
      case OpenMode::kUpdate:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
      case OpenMode::kCreateFresh:
        access = GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
        break;
      case OpenMode::kAppend:
        access = FILE_APPEND_DATA | SYNCHRONIZE;
        disposition = OPEN_ALWAYS;
        break;
    }
    HANDLE h =
        ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD e = ::GetLastError();
      if (IsFolderAttribute(::GetFileAttributesA(path.c_str())))
        return Failure{err::kPathFileAccessError,
                       "Path/File access error: " + path + " is a folder"};
      return FileFailure(e, path);
    }
    return std::unique_ptr<File>(std::make_unique<Win32File>(h, path, mode == OpenMode::kAppend));
  }

  Result<std::uint64_t> FileLength(const std::string& path) override {
    auto st = Stat(path);
    if (!st) return st.failure();
    return st->length;
  }

  Result<LocalDateTime> ModifiedTime(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
      return FileFailure(::GetLastError(), path);
    return win32::ToLocal(data.ftLastWriteTime);
  }

  // One query for both; a folder is no file.
  Result<FileStat> Stat(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
      return FileFailure(::GetLastError(), path);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      return Failure{err::kFileNotFound, "File not found: " + path};
    const std::uint64_t length =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return FileStat{length, win32::ToLocal(data.ftLastWriteTime)};
  }

  Status SetModifiedTime(const std::string& path, const LocalDateTime& time) override {
    if (auto bad = BadFileName(path)) return *bad;
    FILETIME ft{};
    if (!win32::ToFileTime(time, ft))
      return Status::Fail(err::kInvalidProcedureCall, "Invalid time for " + path);
    HANDLE h = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FileFailure(::GetLastError(), path);
    const bool ok = ::SetFileTime(h, nullptr, &ft, &ft);
    const DWORD e = ::GetLastError();
    ::CloseHandle(h);
    if (!ok) return FileFailure(e, path);
    return {};
  }

  // This host copies through CopyThrough, so it can show the bytes on their way.
  Status CopyFileWatched(const std::string& from, const std::string& to,
                         CopyWatch& watch) override {
    return CopyThrough(*this, from, to, &watch);
  }

  Result<bool> IsDirectory(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD e = ::GetLastError();
      if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_DRIVE)
        return false;
      return FileFailure(e, path);
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  Result<FileIdentity> Identity(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    HANDLE h =
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FileFailure(::GetLastError(), path);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info);
    const DWORD e = ::GetLastError();
    ::CloseHandle(h);
    if (!ok) return FileFailure(e, path);
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  }

  // One step: the system replaces the target as it renames.
  Status ReplaceFile(const std::string& from, const std::string& to) override {
    if (auto bad = BadFileName(from)) return *bad;
    if (auto bad = BadFileName(to)) return *bad;
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    return MoveFailure(::GetLastError(), from, to);
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (auto bad = BadFileName(from)) return *bad;
    if (auto bad = BadFileName(to)) return *bad;
    if (::MoveFileExA(from.c_str(), to.c_str(), 0)) return {};
    const DWORD e = ::GetLastError();
    if (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS)
      return Status::Fail(err::kFileAlreadyExists, "File already exists: " + to);
    if (e == ERROR_NOT_SAME_DEVICE) return MoveFailure(e, from, to);
    return FileFailure(e, from);
  }

  Status RemoveFile(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    if (!::DeleteFileA(path.c_str())) return FileFailure(::GetLastError(), path);
    return {};
  }

  Status MakeDirectory(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    if (!::CreateDirectoryA(path.c_str(), nullptr)) return FileFailure(::GetLastError(), path);
    return {};
  }

  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    std::string pattern = path;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/' &&
        pattern.back() != ':')
      pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA found{};
    HANDLE h = ::FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return FileFailure(::GetLastError(), path);
    std::unique_ptr<void, BOOL (*)(HANDLE)> closer(h, [](HANDLE x) { return ::FindClose(x); });
    std::vector<DirEntry> out;
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      out.push_back({std::move(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileA(h, &found));
    const DWORD e = ::GetLastError();
    if (e != ERROR_NO_MORE_FILES) return FileFailure(e, path);
    return out;
  }

  Result<std::string> CurrentDirectory() override {
    const DWORD n = ::GetCurrentDirectoryA(0, nullptr);
    std::string buf(n, '\0');
    const DWORD got = n == 0 ? 0 : ::GetCurrentDirectoryA(n, buf.data());
    if (got == 0 || got >= n) return FileFailure(::GetLastError(), ".");
    buf.resize(got);
    return buf;
  }

  Status SetCurrentDirectory(const std::string& path) override {
    if (auto bad = BadFileName(path)) return *bad;
    if (!::SetCurrentDirectoryA(path.c_str())) return FileFailure(::GetLastError(), path);
    return {};
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeHostFileSystem() {
  return std::make_unique<Win32FileSystem>();
}

}  // namespace dfm
