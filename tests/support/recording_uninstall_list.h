// Windows' uninstall list in memory: the keys by id, and every call ("register ID",
// "remove ID") in order.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/uninstall_list.h"

namespace dfm::testing {

struct UninstallKeys {
  std::map<std::string, UninstallKey> keys;
  std::vector<std::string> calls;
};

struct RecordingUninstallList final : UninstallList {
  explicit RecordingUninstallList(UninstallKeys& keys) : k(keys) {}
  Status Register(const UninstallKey& key) override {
    k.calls.push_back("register " + key.id);
    k.keys[key.id] = key;
    return {};
  }
  Status Remove(const std::string& id) override {
    k.calls.push_back("remove " + id);
    k.keys.erase(id);
    return {};
  }
  Result<std::map<std::string, std::string>> Keys(const std::string& value) override {
    std::map<std::string, std::string> out;
    for (const auto& [id, key] : k.keys)
      for (const auto& [name, text] : key.strings) out[id] += name == value ? text : "";
    return out;
  }
  UninstallKeys& k;
};

}  // namespace dfm::testing
