#include "platform/file_system.h"

namespace dfm {

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
