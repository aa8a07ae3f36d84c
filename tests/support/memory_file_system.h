// A file system held in memory, for tests and fuzz targets. Paths are compared exactly
// (letter case included) after "/" is turned into "\"; a relative path resolves against
// the current directory when one is set. Folders exist once made with MakeDirectory or
// implied by a file inside them. Files keep the modification time they were put with;
// writes do not change it. Open files share their bytes with the table, so a file
// removed while open stays readable through the open handle, as on POSIX.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace dfm::testing {

class MemoryFileSystem : public FileSystem {
 public:
  struct Node {
    Bytes bytes;
    LocalDateTime mtime;
  };

  // The time given to files put or created without one.
  LocalDateTime default_mtime{2001, 9, 9, 1, 46, 40, 0, 0};
  // Writes that would make a file longer than this fail with err::kDiskFull.
  std::uint64_t max_file_size = std::uint64_t{1} << 31;

  // Adds or replaces a file.
  void Put(const std::string& path, std::string_view bytes) { Put(path, bytes, default_mtime); }
  void Put(const std::string& path, std::string_view bytes, const LocalDateTime& mtime) {
    auto node = std::make_shared<Node>();
    node->bytes.assign(bytes.begin(), bytes.end());
    node->mtime = mtime;
    files_[Key(path)] = std::move(node);
  }
  // Files opened and not yet closed or destroyed.
  int open_files() const { return *open_count_; }
  bool Has(const std::string& path) const { return files_.count(Key(path)) != 0; }
  // The file's bytes; empty when there is no such file.
  std::string Get(const std::string& path) const {
    auto it = files_.find(Key(path));
    if (it == files_.end()) return {};
    return std::string(it->second->bytes.begin(), it->second->bytes.end());
  }

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    const std::string key = Key(path);
    if (IsFolder(key)) return Failure{err::kPathFileAccessError, "Path/File access error: " + path};
    auto it = files_.find(key);
    if (it == files_.end()) {
      if (mode == OpenMode::kRead) return NotFound(path);
      it = files_.emplace(key, std::make_shared<Node>(Node{{}, default_mtime})).first;
    }
    if (mode == OpenMode::kCreateFresh) it->second->bytes.clear();
    return std::unique_ptr<File>(
        std::make_unique<MemoryFile>(it->second, open_count_, mode != OpenMode::kRead,
                                     mode == OpenMode::kAppend, max_file_size));
  }

  Result<std::uint64_t> FileLength(const std::string& path) override {
    auto it = files_.find(Key(path));
    if (it == files_.end()) return NotFound(path);
    return static_cast<std::uint64_t>(it->second->bytes.size());
  }

  Result<LocalDateTime> ModifiedTime(const std::string& path) override {
    auto it = files_.find(Key(path));
    if (it == files_.end()) return NotFound(path);
    return it->second->mtime;
  }

  Result<bool> IsDirectory(const std::string& path) override { return IsFolder(Key(path)); }

  Status CopyFile(const std::string& from, const std::string& to) override {
    auto it = files_.find(Key(from));
    if (it == files_.end()) return NotFound(from);
    files_[Key(to)] = std::make_shared<Node>(*it->second);
    return {};
  }

  Status Rename(const std::string& from, const std::string& to) override {
    auto it = files_.find(Key(from));
    if (it == files_.end()) return NotFound(from);
    if (files_.count(Key(to)) != 0 || IsFolder(Key(to))) {
      return Status::Fail(err::kFileAlreadyExists, "File already exists: " + to);
    }
    auto node = it->second;
    files_.erase(it);
    files_[Key(to)] = std::move(node);
    return {};
  }

  Status RemoveFile(const std::string& path) override {
    if (files_.erase(Key(path)) == 0) return NotFound(path);
    return {};
  }

  Status MakeDirectory(const std::string& path) override {
    const std::string key = Key(path);
    if (IsFolder(key) || files_.count(key) != 0) {
      return Status::Fail(err::kFileAlreadyExists, "File already exists: " + path);
    }
    folders_.insert(key);
    return {};
  }

  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    const std::string key = Key(path);
    if (!IsFolder(key)) return Failure{err::kPathNotFound, "Path not found: " + path};
    const std::string prefix = key.empty() || key.back() == '\\' ? key : key + "\\";
    std::map<std::string, bool> found;  // name -> is a folder
    auto visit = [&](const std::string& k, bool folder) {
      if (k.size() <= prefix.size() || k.compare(0, prefix.size(), prefix) != 0) return;
      std::string rest = k.substr(prefix.size());
      std::size_t sep = rest.find('\\');
      if (sep == std::string::npos) {
        found[rest] = found[rest] || folder;
      } else {
        found[rest.substr(0, sep)] = true;
      }
    };
    for (const auto& f : files_) visit(f.first, false);
    for (const auto& d : folders_) visit(d, true);
    std::vector<DirEntry> out;
    for (const auto& [name, folder] : found) out.push_back({name, folder});
    return out;
  }

  Result<std::string> CurrentDirectory() override { return cwd_; }
  Status SetCurrentDirectory(const std::string& path) override {
    const std::string key = Key(path);
    if (!IsFolder(key)) return Status::Fail(err::kPathNotFound, "Path not found: " + path);
    cwd_ = key;
    return {};
  }

 private:
  class MemoryFile : public File {
   public:
    MemoryFile(std::shared_ptr<Node> node, std::shared_ptr<int> open_count, bool writable,
               bool append, std::uint64_t limit)
        : node_(std::move(node)),
          open_count_(std::move(open_count)),
          writable_(writable),
          append_(append),
          limit_(limit) {
      ++*open_count_;
    }
    ~MemoryFile() override { (void)Close(); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    Status ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
      if (!node_) return Closed();
      const Bytes& b = node_->bytes;
      if (offset > b.size() || size > b.size() - offset) {
        return Status::Fail(err::kInputPastEndOfFile, "Input past end of file");
      }
      if (size > 0) std::memcpy(out, b.data() + offset, size);
      return {};
    }
    Status WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
      if (!node_) return Closed();
      if (!writable_) return Status::Fail(err::kBadFileMode, "Bad file mode");
      Bytes& b = node_->bytes;
      if (append_) offset = b.size();
      if (offset > limit_ || size > limit_ - offset) {
        return Status::Fail(err::kDiskFull, "Disk full");
      }
      if (offset + size > b.size()) b.resize(static_cast<std::size_t>(offset + size));
      if (size > 0) std::memcpy(b.data() + offset, data, size);
      return {};
    }
    Result<std::uint64_t> Size() override {
      if (!node_) return Closed();
      return static_cast<std::uint64_t>(node_->bytes.size());
    }
    Status Close() override {
      if (node_) --*open_count_;
      node_.reset();
      return {};
    }

   private:
    static Failure Closed() { return Failure{err::kBadFileName, "File is closed"}; }
    std::shared_ptr<Node> node_;
    std::shared_ptr<int> open_count_;
    bool writable_;
    bool append_;
    std::uint64_t limit_;
  };

  static Failure NotFound(const std::string& path) {
    return Failure{err::kFileNotFound, "File not found: " + path};
  }

  std::string Key(const std::string& path) const {
    std::string key = path;
    std::replace(key.begin(), key.end(), '/', '\\');
    while (key.size() > 1 && key.back() == '\\') key.pop_back();
    const bool absolute = (!key.empty() && key[0] == '\\') || key.find(':') != std::string::npos;
    if (!absolute && !cwd_.empty()) key = cwd_ + (cwd_.back() == '\\' ? "" : "\\") + key;
    return key;
  }

  bool IsFolder(const std::string& key) const {
    if (folders_.count(key) != 0) return true;
    const std::string prefix = key + "\\";
    auto it = files_.lower_bound(prefix);
    return it != files_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
  }

  std::map<std::string, std::shared_ptr<Node>> files_;
  std::set<std::string> folders_;
  std::string cwd_;
  std::shared_ptr<int> open_count_ = std::make_shared<int>(0);
};

}  // namespace dfm::testing
