#include "restore/overlay_file_system.h"

#include <cstring>
#include <functional>

#include "base/path_utils.h"
#include "restore/journaling_file_system.h"

namespace dfm {
namespace {

Failure NotFound(const std::string& path) {
  return {err::kFileNotFound, "File not found: " + path};
}

class OverlayFile final : public File {
 public:
  OverlayFile(std::shared_ptr<Bytes> data, bool writable, bool append)
      : data_(std::move(data)), writable_(writable), append_(append) {}
  Status ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
    if (offset > data_->size() || size > data_->size() - offset)
      return Status::Fail(err::kInputPastEndOfFile, "Input past end of file");
    if (size > 0) std::memcpy(out, data_->data() + offset, size);
    return {};
  }
  Status WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    if (!writable_) return Status::Fail(err::kBadFileMode, "Bad file mode");
    if (append_) offset = data_->size();
    if (data_->size() < offset + size) data_->resize(static_cast<std::size_t>(offset + size));
    if (size > 0) std::memcpy(data_->data() + offset, data, size);
    return {};
  }
  Result<std::uint64_t> Size() override { return static_cast<std::uint64_t>(data_->size()); }
  Status Close() override { return {}; }
  Status SetLength(std::uint64_t length) override {
    data_->resize(static_cast<std::size_t>(length));
    return {};
  }

 private:
  std::shared_ptr<Bytes> data_;
  bool writable_;
  bool append_;
};

}  // namespace

OverlayFileSystem::Node* OverlayFileSystem::Find(const std::string& path) {
  auto it = nodes_.find(FoldedPath(AbsolutePath(base_, path)));
  return it == nodes_.end() ? nullptr : &it->second;
}

Result<OverlayFileSystem::Node*> OverlayFileSystem::Changed(const std::string& path, bool create) {
  if (Node* node = Find(path)) {
    if (!node->data && !create) return NotFound(path);
    if (!node->data) node->data = std::make_shared<Bytes>();
    return node;
  }
  Node node{nullptr, {}, path};
  auto bytes = ReadWholeFile(base_, path);
  if (bytes) {
    node.data = std::make_shared<Bytes>(std::move(*bytes));
    if (auto time = base_.ModifiedTime(path)) node.modified = *time;
  } else if (bytes.failure().code != err::kFileNotFound || !create) {
    return bytes.failure();
  } else {
    node.data = std::make_shared<Bytes>();
  }
  return &(nodes_[FoldedPath(AbsolutePath(base_, path))] = std::move(node));
}

Result<std::unique_ptr<File>> OverlayFileSystem::Open(const std::string& path, OpenMode mode) {
  if (mode == OpenMode::kRead) {
    Node* node = Find(path);
    if (!node) return base_.Open(path, mode);
    if (!node->data) return NotFound(path);
    return std::unique_ptr<File>(std::make_unique<OverlayFile>(node->data, false, false));
  }
  auto node = Changed(path, mode != OpenMode::kUpdate);
  if (!node) return node.failure();
  if (mode == OpenMode::kCreateFresh) (*node)->data->clear();
  return std::unique_ptr<File>(
      std::make_unique<OverlayFile>((*node)->data, true, mode == OpenMode::kAppend));
}

Result<std::uint64_t> OverlayFileSystem::FileLength(const std::string& path) {
  Node* node = Find(path);
  if (!node) return base_.FileLength(path);
  if (!node->data) return NotFound(path);
  return static_cast<std::uint64_t>(node->data->size());
}

Result<LocalDateTime> OverlayFileSystem::ModifiedTime(const std::string& path) {
  Node* node = Find(path);
  if (!node) return base_.ModifiedTime(path);
  if (!node->data) return NotFound(path);
  return node->modified;
}

Status OverlayFileSystem::SetModifiedTime(const std::string& path, const LocalDateTime& time) {
  auto node = Changed(path, false);
  if (!node) return node.failure();
  (*node)->modified = time;
  return {};
}

Result<FileIdentity> OverlayFileSystem::Identity(const std::string& path) {
  auto it = nodes_.find(FoldedPath(AbsolutePath(base_, path)));
  if (it == nodes_.end()) return base_.Identity(path);
  if (!it->second.data) return NotFound(path);
  return FileIdentity{0, std::hash<std::string>{}(it->first)};
}

Result<std::string> OverlayFileSystem::ExactPath(const std::string& path) {
  Node* node = Find(path);
  return node ? node->path : base_.ExactPath(path);
}

Status OverlayFileSystem::CopyFile(const std::string& from, const std::string& to) {
  auto bytes = ReadWholeFile(*this, from);
  if (!bytes) return bytes.failure();
  return WriteWholeFile(*this, to, *bytes);
}

Status OverlayFileSystem::Rename(const std::string& from, const std::string& to) {
  if (FileLength(to)) return Status::Fail(err::kFileAlreadyExists, "File already exists: " + to);
  auto source = Changed(from, false);
  if (!source) return source.failure();
  Node moved = **source;
  (*source)->data = nullptr;
  moved.path = to;
  nodes_[FoldedPath(AbsolutePath(base_, to))] = std::move(moved);
  return {};
}

Status OverlayFileSystem::CanRemove(const std::string& path) {
  Node* node = Find(path);
  if (!node) return base_.CanRemove(path);
  return node->data ? Status() : Status(NotFound(path));
}

Status OverlayFileSystem::RemoveFile(const std::string& path) {
  if (Status st = CanRemove(path); !st) return st;
  auto node = Changed(path, false);
  if (!node) return node.failure();
  (*node)->data = nullptr;
  return {};
}

Status OverlayFileSystem::MakeDirectory(const std::string& path) {
  return Status::Fail(err::kPathFileAccessError,
                      "Path/File access error: a rehearsal makes no folder (" + path + ")");
}

}  // namespace dfm
