// RegistryReader: reads one registry key at a time through a Registry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace dfm {

class RegistryReader {
 public:
  explicit RegistryReader(Registry& registry) : registry_(registry) {}
  ~RegistryReader();
  RegistryReader(const RegistryReader&) = delete;
  RegistryReader& operator=(const RegistryReader&) = delete;

  // Names of the open key's subkeys, in the registry's order (names longer than 255
  // bytes end the list); nullopt when no key is open.
  std::optional<std::vector<std::string>> GetAllSubDirectories();
  // Names of the open key's values; a value whose name or data does not fit 240 bytes
  // ends the list early. nullopt when no key is open.
  std::optional<std::vector<std::string>> GetAllValues();
  // The value's text: a string without its terminating zero byte; binary data as
  // "0A 1F FF " (two upper-case hex digits and a space per byte); any other type as
  // "value_type=" + its number. Empty when no key is open or the value is missing or
  // longer than 256 bytes.
  std::string GetValue(const std::string& name);
  // A text value (plain or expandable) of up to 4096 bytes, up to its first zero byte;
  // nullopt when no key is open or the value is missing, longer or no text.
  std::optional<std::string> GetText(const std::string& name);
  // The root given to the last OpenRegistry with a root other than 0.
  RegKey RegistryRootKey() const { return root_key_; }
  // The key path given to that call.
  const std::string& SubDirectory() const { return sub_directory_; }
  // Closes the open key, then opens `path` below `root` for reading. False for root 0
  // (nothing else changes) and when the key cannot be opened.
  bool OpenRegistry(RegKey root, const std::string& path);
  // True when an open key was closed.
  bool CloseRegistry();

 private:
  Registry& registry_;
  RegKey root_key_ = 0;
  std::string sub_directory_;
  RegKey key_handle_ = 0;
  bool is_open_ = false;
};

}  // namespace dfm
