#include "zip/zip_write.h"

#include <zip.h>

#include <array>
#include <cstring>

namespace dfm::zip_write {
namespace {

using namespace unzip;  // NOLINT: the run's result codes

constexpr std::size_t kChunk = 256 * 1024;

// Line feeds not preceded by a carriage return get one. `last_cr` carries across chunks.
Bytes ToCrLf(const unsigned char* data, std::size_t size, bool& last_cr) {
  Bytes out;
  out.reserve(size + size / 16);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n' && !last_cr) out.push_back('\r');
    out.push_back(data[i]);
    last_cr = data[i] == '\r';
  }
  return out;
}

// Whether the entry's time is later than the file's, to the 2 seconds an entry can tell.
bool Later(const LocalDateTime& entry, LocalDateTime file) {
  file.second &= ~1;
  auto key = [](const LocalDateTime& t) {
    return std::array<int, 6>{t.year, t.month, t.day, t.hour, t.minute, t.second};
  };
  return key(entry) > key(file);
}

}  // namespace

bool EntryWriter::Exists(const std::string& path) {
  auto length = fs_.FileLength(path);
  if (length) return true;
  int code = length.failure().code;
  return code != err::kFileNotFound && code != err::kPathNotFound;
}

bool EntryWriter::EntryIsNewer(const std::string& path, const ZipEntryInfo& info) {
  if (!info.modified) return true;
  auto file_time = fs_.ModifiedTime(path);
  return !file_time || Later(*info.modified, *file_time);
}

int EntryWriter::WriteFailed(const std::string& path, const Failure& failure, const char* what) {
  say_(Level::kAlways,
       std::string("error: ") + what + " " + path + " (" + failure.description + ")");
  return failure.code == err::kDiskFull ? kDiskFull : kError;
}

int EntryWriter::Write(ZipEntryReader& reader, const std::string& path, const ZipEntryInfo& info) {
  // A file being replaced is deleted and written anew rather than truncated: file systems
  // that guard truncated-and-rewritten files write them out at once, which makes replacing
  // many small files slow. When it cannot be deleted, creating it reports why.
  if (Exists(path)) (void)fs_.RemoveFile(path);
  auto file = fs_.Open(path, OpenMode::kCreateFresh);
  if (!file) return WriteFailed(path, file.failure(), "cannot create");
  say_(Level::kProgress,
       (info.compression == ZIP_CM_STORE ? " extracting: " : "  inflating: ") + path);
  // A file that could not be completed is removed rather than left half written.
  auto abandon = [&](const Failure& failure, const char* what) {
    (void)(*file)->Close();
    (void)fs_.RemoveFile(path);
    return WriteFailed(path, failure, what);
  };
  if (buf_.empty()) buf_.resize(kChunk);
  std::vector<unsigned char>& buf = buf_;
  std::uint64_t offset = 0;
  bool first = true, text = false, last_cr = false;
  for (;;) {
    auto n = reader.Read(buf.data(), buf.size());
    if (!n) return abandon(n.failure(), "cannot extract");
    if (*n == 0) break;
    const unsigned char* data = buf.data();
    std::size_t size = *n;
    Bytes converted;
    if (r_.text_crlf) {
      if (first) text = std::memchr(data, 0, size) == nullptr;
      if (text) {
        converted = ToCrLf(data, size, last_cr);
        data = converted.data();
        size = converted.size();
      }
    }
    first = false;
    if (auto st = (*file)->WriteAt(offset, data, size); !st)
      return abandon(st.failure(), "cannot write");
    offset += size;
  }
  // The time goes on the open file where the file system can; else by path once closed.
  const bool timed = info.modified && (*file)->SetModifiedTime(*info.modified).ok();
  if (auto st = (*file)->Close(); !st) {
    (void)fs_.RemoveFile(path);
    return WriteFailed(path, st.failure(), "cannot write");
  }
  if (info.modified && !timed) (void)fs_.SetModifiedTime(path, *info.modified);
  return kOk;
}

bool EntryWriter::MakeFolder(const std::string& path) {
  if (folders_made_.count(path)) return true;
  auto is_dir = fs_.IsDirectory(path);
  if (!is_dir || !*is_dir) {
    if (auto st = fs_.MakeDirectory(path); !st) {
      WriteFailed(path, st.failure(), "cannot create folder");
      return false;
    }
  }
  folders_made_.insert(path);
  return true;
}

bool EntryWriter::MakeFolders(const std::vector<std::string>& components, std::size_t count) {
  std::string path = r_.extract_dir;
  for (std::size_t i = 0; i < count; ++i) {
    path = Join(path, components[i]);
    if (!MakeFolder(path)) return false;
  }
  return true;
}

std::string EntryWriter::Join(const std::string& folder, const std::string& name) const {
  if (folder.empty()) return name;
  char last = folder.back();
  if (last == '\\' || last == '/') return folder + name;
  std::size_t slash = folder.rfind('/');
  std::size_t backslash = folder.rfind('\\');
  bool use_slash = target_ == PathStyle::kPosix && slash != std::string::npos &&
                   (backslash == std::string::npos || slash > backslash);
  return folder + (use_slash ? '/' : '\\') + name;
}

std::string EntryWriter::Target(const std::vector<std::string>& components,
                                std::size_t count) const {
  std::string path = r_.extract_dir;
  for (std::size_t i = 0; i < count; ++i) path = Join(path, components[i]);
  return path;
}

}  // namespace dfm::zip_write
