// A Registry over registry trees held in memory (the parsed files of a Wine prefix, or a
// test's own): read-only, with handles and the size limits of the system's calls.
#pragma once

#include <map>
#include <memory>

#include "platform/registry.h"
#include "registry/wine_registry_file.h"

namespace dfm {

class TreeRegistry final : public Registry {
 public:
  // `machine` answers HKEY_LOCAL_MACHINE (and HKEY_CLASSES_ROOT as its Software\Classes),
  // `user` answers HKEY_CURRENT_USER. When `machine` is a 64-bit prefix, a path below
  // HKEY_LOCAL_MACHINE\Software is looked up below Software\Wow6432Node first, as a
  // 32-bit program sees it, then as written.
  TreeRegistry(RegistryHive machine, RegistryHive user);

  std::int32_t OpenKey(RegKey root, const std::string& path, RegKey& key) override;
  std::int32_t QueryValue(RegKey key, const std::string& name, std::size_t capacity,
                          RegValue& out) override;
  std::int32_t EnumKey(RegKey key, std::uint32_t index, std::size_t capacity,
                       std::string& name) override;
  std::int32_t EnumValue(RegKey key, std::uint32_t index, std::size_t name_capacity,
                         std::size_t data_capacity, std::string& name) override;
  std::int32_t CloseKey(RegKey key) override;

 private:
  const RegistryNode* Find(RegKey root, const std::string& path) const;
  const RegistryNode* OpenNode(RegKey key) const;

  // An open key, and where the last enumeration of its subkeys stood: a program walks them
  // by index 0, 1, 2, ..., and each step from there is one step of the map.
  struct OpenNodeState {
    const RegistryNode* node = nullptr;
    std::uint32_t index = 0;
    RegistryNode::Children::const_iterator at;
  };

  RegistryHive machine_;
  RegistryHive user_;
  std::map<RegKey, OpenNodeState> open_;
  RegKey next_handle_ = 0x100;
};

// The registry of the Wine prefix in folder `prefix`, read through `fs`: its system.reg
// (HKEY_LOCAL_MACHINE) and user.reg (HKEY_CURRENT_USER). A missing or unreadable file gives
// an empty tree.
std::unique_ptr<TreeRegistry> ReadPrefixRegistry(FileSystem& fs, const std::string& prefix);

}  // namespace dfm
