#include "platform/file_system.h"

#include "base/byte_buffer.h"

#include <algorithm>

namespace dfm {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

}  // namespace

std::optional<Failure> BadFileName(const std::string& path) {
  if (path.find('\0') == std::string::npos) return std::nullopt;
  std::string shown = path;
  ReplaceAll(shown, std::string(1, '\0'), "<NUL>");
  return Failure{err::kBadFileName, "Bad file name or number: " + shown + " holds a NUL byte"};
}

namespace {

// Copies the first `size` bytes of `src` into `dst`, in pieces of at most 1 MB, each
// shown to `watch` (when given) once written.
Status CopyBytes(File& src, std::uint64_t size, File& dst, CopyWatch* watch = nullptr) {
  constexpr std::uint64_t kChunk = 1 << 20;
  const auto chunk = static_cast<std::size_t>(std::clamp<std::uint64_t>(size, 1, kChunk));
  auto buf = UninitializedBytes(chunk);
  for (std::uint64_t off = 0; off < size;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, size - off));
    if (auto st = src.ReadAt(off, buf.get(), n); !st) return st;
    if (auto st = dst.WriteAt(off, buf.get(), n); !st) return st;
    if (watch) watch->Piece(buf.get(), n);
    off += n;
  }
  return {};
}

}  // namespace

Status CopyThrough(FileSystem& fs, const std::string& from, const std::string& to,
                   CopyWatch* watch) {
  auto src = fs.Open(from, OpenMode::kRead);
  if (!src) return src.failure();
  auto size = (*src)->Size();
  if (!size) return size.failure();
  return WriteReplacing(fs, to, [&](File& dst) {
    if (watch) watch->Begin(*size);
    return CopyBytes(**src, *size, dst, watch);
  });
}

Status FileSystem::CopyFile(const std::string& from, const std::string& to) {
  return CopyThrough(*this, from, to);
}

Status CopyFileDurably(FileSystem& fs, const std::string& from, const std::string& to) {
  Status copied = [&]() -> Status {
    auto src = fs.Open(from, OpenMode::kRead);
    if (!src) return src.failure();
    auto size = (*src)->Size();
    if (!size) return size.failure();
    auto dst = fs.Open(to, OpenMode::kCreateFresh);
    if (!dst) return dst.failure();
    if (auto st = CopyBytes(**src, *size, **dst); !st) return st;
    if (auto st = (*dst)->Sync(); !st) return st;
    return (*dst)->Close();
  }();  // both files are closed here, so that the copy can be removed
  if (!copied) (void)fs.RemoveFile(to);
  return copied;
}

Status FileSystem::ReplaceFile(const std::string& from, const std::string& to) {
  Status renamed = Rename(from, to);
  if (renamed || renamed.failure().code != err::kFileAlreadyExists) return renamed;
  if (auto st = RemoveFile(to); !st) return st;
  return Rename(from, to);
}

Status WriteReplacing(FileSystem& fs, const std::string& path,
                      const std::function<Status(File&)>& write) {
  if (auto bad = BadFileName(path)) return *bad;  // told as given, not as the temporary name
  if (auto folder = fs.IsDirectory(path); folder && *folder) {
    return Status::Fail(err::kPathFileAccessError,
                        "Path/File access error: " + path + " is a folder");
  }
  const std::string temp = path + kReplacingSuffix;
  Status written = [&]() -> Status {
    auto file = fs.Open(temp, OpenMode::kCreateFresh);
    if (!file) return file.failure();
    if (auto st = write(**file); !st) return st;
    if (auto st = (*file)->Close(); !st) return st;
    return fs.ReplaceFile(temp, path);
  }();  // the temporary file is closed here, so that it can be removed
  if (written) return written;
  (void)fs.RemoveFile(temp);
  Failure failure = written.failure();
  ReplaceAll(failure.description, temp, path);
  return failure;
}

std::string FileErrorText(int code) {
  switch (code) {
    case err::kFileNotFound:
      return "File not found";
    case err::kPathNotFound:
      return "Path not found";
    case err::kPermissionDenied:
      return "Permission denied";
    case err::kFileAlreadyExists:
      return "File already exists";
    case err::kDiskFull:
      return "Disk full";
    case err::kBadFileName:
      return "Bad file name or number";
    case err::kDeviceIoError:
      return "Device I/O error";
    case err::kNotSameDevice:
      return "Can't rename with different drive";
    default:
      return "Path/File access error";
  }
}

Result<FileStat> FileSystem::Stat(const std::string& path) {
  auto length = FileLength(path);
  if (!length) return length.failure();
  auto modified = ModifiedTime(path);
  if (!modified) return modified.failure();
  return FileStat{*length, *modified};
}

Result<Bytes> ReadWholeFile(FileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  auto size = (*file)->Size();
  if (!size) return size.failure();
  Bytes data(static_cast<std::size_t>(*size));
  if (!data.empty()) {
    if (auto st = (*file)->ReadAt(0, data.data(), data.size()); !st) return st.failure();
  }
  if (auto st = (*file)->Close(); !st) return st.failure();
  return data;
}

Status WriteWholeFile(FileSystem& fs, const std::string& path, const void* data, std::size_t size) {
  auto file = fs.Open(path, OpenMode::kCreateFresh);
  if (!file) return file.failure();
  if (size > 0) {
    if (auto st = (*file)->WriteAt(0, data, size); !st) return st;
  }
  return (*file)->Close();
}

}  // namespace dfm
