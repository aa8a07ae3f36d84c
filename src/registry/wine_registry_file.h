// The text registry files of a Wine prefix (system.reg for HKEY_LOCAL_MACHINE, user.reg
// for HKEY_CURRENT_USER), parsed into a tree of keys and values.
//
// The format: a "WINE REGISTRY Version 2" header, an optional "#arch=win32|win64" line,
// then one section per key: "[Path\\To\\Key] timestamp" followed by value lines
//   @="default"   "Name"="text"   "Name"=str(2):"text"   "Name"=dword:0000000a
//   "Name"=hex:0a,1f,ff   "Name"=hex(7):41,00,00,00,\      (continued on the next line)
// Names and texts escape "\\", "\"", control characters (\n, \t, ...) and characters
// outside ASCII (\x followed by up to four hex digits of a UTF-16 unit, or \ and up to
// three octal digits).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace dfm {

// Orders names as the registry compares them: without regard to ASCII letter case.
struct RegistryNameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

// A key: freed without recursion, so that no nesting of keys can exhaust the stack.
struct RegistryNode {
  using Children = std::map<std::string, RegistryNode, RegistryNameLess>;
  RegistryNode() = default;
  RegistryNode(RegistryNode&&) = default;
  RegistryNode& operator=(RegistryNode&&) = default;
  ~RegistryNode();

  Children children;
  std::vector<std::pair<std::string, RegValue>> values;  // in the file's order

  // The value of that name (any letter case), or nullptr.
  const RegValue* FindValue(std::string_view name) const;
};

struct RegistryHive {
  RegistryNode root;
  bool win64 = false;  // "#arch=win64": 32-bit programs see Software\Wow6432Node
};

// Keys nested deeper than this are passed over with their values, as the system refuses
// to make them.
inline constexpr std::size_t kMaxRegistryDepth = 512;

// Parses a registry file. Never fails: lines it cannot read are passed over.
// String data (types 1, 2 and 7, quoted or as hex) is given as the 8-bit calls give it:
// every UTF-16 unit converted to UTF-8 (the host's 8-bit encoding for file names) and a
// terminating zero byte; other data as its bytes.
RegistryHive ParseWineRegistry(std::string_view text);

// The key at "\"-separated `path` below `root` (empty components are passed over);
// nullptr when missing.
const RegistryNode* FindRegistryKey(const RegistryNode& root, std::string_view path);

}  // namespace dfm
