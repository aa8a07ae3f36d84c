#include "platform/file_system.h"

#include <algorithm>

namespace dfm {

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
    default:
      return "Path/File access error";
  }
}

Status CopyFileBytes(FileSystem& fs, const std::string& from, const std::string& to) {
  constexpr std::size_t kChunk = 1 << 20;
  auto src = fs.Open(from, OpenMode::kRead);
  if (!src) return src.failure();
  auto size = (*src)->Size();
  if (!size) return size.failure();
  auto dst = fs.Open(to, OpenMode::kCreateFresh);
  if (!dst) return dst.failure();
  Bytes buf(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, *size)));
  for (std::uint64_t off = 0; off < *size;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, *size - off));
    if (auto st = (*src)->ReadAt(off, buf.data(), n); !st) return st;
    if (auto st = (*dst)->WriteAt(off, buf.data(), n); !st) return st;
    off += n;
  }
  return (*dst)->Close();
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
