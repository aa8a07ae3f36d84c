// A file system held in memory, for tests and fuzz targets. Paths are plain keys
// (compared exactly, no case folding or separator mapping); a folder is any path added
// with MakeDirectory. Open files share their bytes with the table, so a removed file
// stays readable through a handle that was open, as on POSIX. Writes that would make a
// file longer than max_file_size fail with err::kDiskFull; open_files() counts the files
// opened and not yet closed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace dfm::testing {

class MemoryFileSystem : public FileSystem {
 public:
  void Put(const std::string& path, Bytes data) {
    files_[path] = std::make_shared<Bytes>(std::move(data));
    times_.erase(path);
  }
  // With a time, the file has a modification time of its own.
  void Put(const std::string& path, std::string_view data,
           std::optional<LocalDateTime> time = std::nullopt) {
    Put(path, Bytes(data.begin(), data.end()));
    if (time) times_[path] = *time;
  }
  std::optional<Bytes> Get(const std::string& path) const {
    auto it = files_.find(path);
    if (it == files_.end()) return std::nullopt;
    return *it->second;
  }
  // The file's bytes as a string; empty when there is no such file.
  std::string Text(const std::string& path) const {
    const Bytes bytes = Get(path).value_or(Bytes{});
    return std::string(bytes.begin(), bytes.end());
  }
  bool Exists(const std::string& path) const { return files_.count(path) != 0; }
  // Makes this a copy of `other` that shares no bytes with it.
  void CopyFrom(const MemoryFileSystem& other) {
    *this = other;
    for (auto& [path, data] : files_) data = std::make_shared<Bytes>(*data);
    open_count_ = std::make_shared<int>(0);
  }
  int open_files() const { return *open_count_; }
  LocalDateTime mtime;  // what ModifiedTime reports for files put without a time
  std::uint64_t max_file_size = std::uint64_t{1} << 31;

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    if (dirs_.count(path))
      return Failure{err::kPathFileAccessError, "Path/File access error: " + path};
    auto it = files_.find(path);
    if (it == files_.end()) {
      if (mode == OpenMode::kRead || mode == OpenMode::kUpdate) return NotFound(path);
      it = files_.emplace(path, std::make_shared<Bytes>()).first;
    } else if (mode == OpenMode::kCreateFresh) {
      it->second->clear();
    }
    return std::unique_ptr<File>(
        std::make_unique<MemoryFile>(it->second, open_count_, mode, max_file_size));
  }
  Result<std::uint64_t> FileLength(const std::string& path) override {
    auto it = files_.find(path);
    if (it == files_.end()) return NotFound(path);
    return static_cast<std::uint64_t>(it->second->size());
  }
  Result<LocalDateTime> ModifiedTime(const std::string& path) override {
    if (!files_.count(path) && !dirs_.count(path)) return NotFound(path);
    auto own = times_.find(path);
    return own != times_.end() ? own->second : mtime;
  }
  Status SetModifiedTime(const std::string& path, const LocalDateTime& time) override {
    if (!files_.count(path)) return NotFound(path);
    times_[path] = time;
    return {};
  }
  Result<bool> IsDirectory(const std::string& path) override { return dirs_.count(path) != 0; }
  // A file is known by its shared bytes, a folder by its path.
  Result<FileIdentity> Identity(const std::string& path) override {
    if (auto it = files_.find(path); it != files_.end())
      return FileIdentity{0, reinterpret_cast<std::uintptr_t>(it->second.get())};
    if (dirs_.count(path)) return FileIdentity{1, std::hash<std::string>{}(path)};
    return NotFound(path);
  }
  Status CopyFile(const std::string& from, const std::string& to) override {
    auto it = files_.find(from);
    if (it == files_.end()) return NotFound(from);
    Put(to, *it->second);
    return {};
  }
  Status Rename(const std::string& from, const std::string& to) override {
    auto it = files_.find(from);
    if (it == files_.end()) return NotFound(from);
    if (files_.count(to)) return Failure{err::kFileAlreadyExists, "File already exists: " + to};
    auto data = it->second;
    files_.erase(it);
    files_[to] = std::move(data);
    if (auto t = times_.extract(from)) times_[to] = t.mapped();
    return {};
  }
  Status RemoveFile(const std::string& path) override {
    if (files_.erase(path) == 0) return NotFound(path);
    times_.erase(path);
    return {};
  }
  Status MakeDirectory(const std::string& path) override {
    if (!dirs_.insert(path).second || files_.count(path))
      return Failure{err::kPathFileAccessError, "Path/File access error: " + path};
    return {};
  }
  // Direct children of `path`, which names its entries as path + "/" + name.
  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    if (!dirs_.count(path)) return Failure{err::kPathNotFound, "Path not found: " + path};
    std::vector<DirEntry> out;
    const std::string prefix = path + "/";
    auto add = [&](const std::string& key, bool dir) {
      if (key.rfind(prefix, 0) != 0) return;
      std::string name = key.substr(prefix.size());
      if (!name.empty() && name.find('/') == std::string::npos) out.push_back({name, dir});
    };
    for (const auto& [key, data] : files_) add(key, false);
    for (const auto& key : dirs_) add(key, true);
    return out;
  }
  Result<std::string> CurrentDirectory() override { return cwd_; }
  Status SetCurrentDirectory(const std::string& path) override {
    if (!dirs_.count(path)) return Failure{err::kPathNotFound, "Path not found: " + path};
    cwd_ = path;
    return {};
  }

 private:
  class MemoryFile : public File {
   public:
    MemoryFile(std::shared_ptr<Bytes> data, std::shared_ptr<int> open_count, OpenMode mode,
               std::uint64_t limit)
        : data_(std::move(data)), open_count_(std::move(open_count)), mode_(mode), limit_(limit) {
      ++*open_count_;
    }
    ~MemoryFile() override { (void)Close(); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    Status ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
      if (!data_) return Closed();
      if (offset > data_->size() || size > data_->size() - offset)
        return Failure{err::kInputPastEndOfFile, "Input past end of file"};
      if (size > 0) std::memcpy(out, data_->data() + offset, size);
      return {};
    }
    Status WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
      if (!data_) return Closed();
      if (mode_ == OpenMode::kRead) return Failure{err::kBadFileMode, "Bad file mode"};
      if (mode_ == OpenMode::kAppend) offset = data_->size();
      if (offset > limit_ || size > limit_ - offset) return Failure{err::kDiskFull, "Disk full"};
      if (data_->size() < offset + size) data_->resize(offset + size);
      if (size > 0) std::memcpy(data_->data() + offset, data, size);
      return {};
    }
    Result<std::uint64_t> Size() override {
      if (!data_) return Closed();
      return static_cast<std::uint64_t>(data_->size());
    }
    Status SetLength(std::uint64_t length) override {
      if (!data_) return Closed();
      if (mode_ == OpenMode::kRead) return Failure{err::kBadFileMode, "Bad file mode"};
      data_->resize(static_cast<std::size_t>(length));
      return {};
    }
    Status Close() override {
      if (data_) --*open_count_;
      data_.reset();
      return {};
    }

   private:
    static Failure Closed() { return {err::kBadFileName, "File is closed"}; }
    std::shared_ptr<Bytes> data_;
    std::shared_ptr<int> open_count_;
    OpenMode mode_;
    std::uint64_t limit_;
  };

  static Failure NotFound(const std::string& path) {
    return {err::kFileNotFound, "File not found: " + path};
  }

  std::map<std::string, std::shared_ptr<Bytes>> files_;
  std::map<std::string, LocalDateTime> times_;
  std::set<std::string> dirs_;
  std::string cwd_;
  std::shared_ptr<int> open_count_ = std::make_shared<int>(0);
};

}  // namespace dfm::testing
