#include "registry/tree_registry.h"

#include <iterator>
#include <utility>
#include <vector>

namespace dfm {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  RegistryNameLess less;
  return !less(a, b) && !less(b, a);
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    if (end > pos) out.push_back(path.substr(pos, end - pos));
    pos = end + 1;
  }
  return out;
}

// "Software\X" as a 32-bit program sees it in a 64-bit prefix: "Software\Wow6432Node\X".
// Empty when the path is not below Software or names Wow6432Node itself.
// Larger files are not registry files a prefix would have; they are left unread.
constexpr std::uint64_t kMaxHiveBytes = 512u << 20;

RegistryHive ReadHive(FileSystem& fs, const std::string& path) {
  auto length = fs.FileLength(path);
  if (!length || *length > kMaxHiveBytes) return {};
  auto bytes = ReadWholeFile(fs, path);
  if (!bytes) return {};
  return ParseWineRegistry(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

std::string Wow64Path(const std::string& path) {
  std::vector<std::string> parts = Components(path);
  if (parts.empty() || !SameName(parts[0], "Software")) return {};
  if (parts.size() > 1 && SameName(parts[1], "Wow6432Node")) return {};
  std::string out = "Software\\Wow6432Node";
  for (std::size_t i = 1; i < parts.size(); ++i) out += "\\" + parts[i];
  return out;
}

}  // namespace

TreeRegistry::TreeRegistry(RegistryHive machine, RegistryHive user)
    : machine_(std::move(machine)), user_(std::move(user)) {}

const RegistryNode* TreeRegistry::OpenNode(RegKey key) const {
  auto it = open_.find(key);
  return it == open_.end() ? nullptr : it->second.node;
}

const RegistryNode* TreeRegistry::Find(RegKey root, const std::string& path) const {
  switch (root) {
    case reg::kLocalMachine:
      if (machine_.win64) {
        if (std::string wow = Wow64Path(path); !wow.empty()) {
          if (const RegistryNode* n = FindRegistryKey(machine_.root, wow)) return n;
        }
      }
      return FindRegistryKey(machine_.root, path);
    case reg::kClassesRoot: {
      const RegistryNode* classes = FindRegistryKey(machine_.root, "Software\\Classes");
      return classes ? FindRegistryKey(*classes, path) : nullptr;
    }
    case reg::kCurrentUser:
      return FindRegistryKey(user_.root, path);
    default: {
      const RegistryNode* parent = OpenNode(root);
      return parent ? FindRegistryKey(*parent, path) : nullptr;
    }
  }
}

std::int32_t TreeRegistry::OpenKey(RegKey root, const std::string& path, RegKey& key) {
  bool known_root = root == reg::kLocalMachine || root == reg::kClassesRoot ||
                    root == reg::kCurrentUser || root == reg::kUsers || OpenNode(root);
  if (!known_root) return reg::kInvalidHandle;
  const RegistryNode* node = Find(root, path);
  if (node == nullptr) return reg::kFileNotFound;
  key = next_handle_;
  next_handle_ += 4;
  open_[key] = {node, 0, node->children.begin()};
  return reg::kSuccess;
}

std::int32_t TreeRegistry::QueryValue(RegKey key, const std::string& name, std::size_t capacity,
                                      RegValue& out) {
  const RegistryNode* node = OpenNode(key);
  if (node == nullptr) return reg::kInvalidHandle;
  const RegValue* value = node->FindValue(name);
  if (value == nullptr) return reg::kFileNotFound;
  out.type = value->type;
  if (value->data.size() > capacity) return reg::kMoreData;
  out.data = value->data;
  return reg::kSuccess;
}

std::int32_t TreeRegistry::EnumKey(RegKey key, std::uint32_t index, std::size_t capacity,
                                   std::string& name) {
  auto it = open_.find(key);
  if (it == open_.end()) return reg::kInvalidHandle;
  OpenNodeState& open = it->second;
  if (index >= open.node->children.size()) return reg::kNoMoreItems;
  if (index < open.index) open = {open.node, 0, open.node->children.begin()};
  open.at = std::next(open.at, index - open.index);
  open.index = index;
  const std::string& n = open.at->first;
  if (n.size() + 1 > capacity) return reg::kMoreData;
  name = n;
  return reg::kSuccess;
}

std::int32_t TreeRegistry::EnumValue(RegKey key, std::uint32_t index, std::size_t name_capacity,
                                     std::size_t data_capacity, std::string& name) {
  const RegistryNode* node = OpenNode(key);
  if (node == nullptr) return reg::kInvalidHandle;
  if (index >= node->values.size()) return reg::kNoMoreItems;
  const auto& [n, v] = node->values[index];
  if (n.size() + 1 > name_capacity || v.data.size() > data_capacity) return reg::kMoreData;
  name = n;
  return reg::kSuccess;
}

std::int32_t TreeRegistry::CloseKey(RegKey key) {
  return open_.erase(key) == 1 ? reg::kSuccess : reg::kInvalidHandle;
}

std::unique_ptr<TreeRegistry> ReadPrefixRegistry(FileSystem& fs, const std::string& prefix) {
  return std::make_unique<TreeRegistry>(ReadHive(fs, prefix + "/system.reg"),
                                        ReadHive(fs, prefix + "/user.reg"));
}

}  // namespace dfm
