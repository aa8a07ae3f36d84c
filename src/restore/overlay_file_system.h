// A file system that reads through to another and keeps every change in memory: what
// `dfmod plan` runs an install against, so that nothing outside its temporary folder is
// written. A file is copied into memory whole at its first change.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace dfm {

class OverlayFileSystem final : public FileSystem {
 public:
  explicit OverlayFileSystem(FileSystem& base) : base_(base) {}

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override;
  Result<std::uint64_t> FileLength(const std::string& path) override;
  Result<LocalDateTime> ModifiedTime(const std::string& path) override;
  Status SetModifiedTime(const std::string& path, const LocalDateTime& time) override;
  Result<bool> IsDirectory(const std::string& path) override { return base_.IsDirectory(path); }
  // Files kept in memory get an identity of their own on volume 0.
  Result<FileIdentity> Identity(const std::string& path) override;
  Result<std::string> ExactPath(const std::string& path) override;
  Status CopyFile(const std::string& from, const std::string& to) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  // A file not yet changed is asked of the base, so that a rehearsal fails where the run
  // would.
  Status CanRemove(const std::string& path) override;
  Status MakeDirectory(const std::string& path) override;
  Result<std::vector<DirEntry>> ListDirectory(const std::string& path) override {
    return base_.ListDirectory(path);
  }
  Result<std::string> CurrentDirectory() override { return base_.CurrentDirectory(); }
  Status SetCurrentDirectory(const std::string& path) override {
    return base_.SetCurrentDirectory(path);
  }

 private:
  struct Node {
    std::shared_ptr<Bytes> data;  // null: no file
    LocalDateTime modified;
    std::string path;
  };
  Node* Find(const std::string& path);
  // The file's node, its bytes copied from the base at the first change.
  Result<Node*> Changed(const std::string& path, bool create);

  FileSystem& base_;
  std::map<std::string, Node> nodes_;  // by folded path
};

}  // namespace dfm
