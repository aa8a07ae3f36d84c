// Windows' list of installed programs (Settings > Apps), as the installer keeps its own
// entries there: one key per install, named "DFMod-" + the install's restore point, below
// the current user's Uninstall key. Per user only: writing it asks no administrator rights.
// Hosts without such a list use NoUninstallList.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"

namespace dfm {

inline constexpr char kUninstallKeyPrefix[] = "DFMod-";

// The values of one key: strings (REG_SZ) and numbers (REG_DWORD), in the order written.
struct UninstallKey {
  std::string id;  // the restore point; the key is kUninstallKeyPrefix + id
  std::vector<std::pair<std::string, std::string>> strings = {};
  std::vector<std::pair<std::string, std::uint32_t>> numbers = {};
};

class UninstallList {
 public:
  virtual ~UninstallList() = default;
  // Creates the key of `key.id` (or replaces its values) and writes every value; a key
  // that could not be written whole is deleted again.
  virtual Status Register(const UninstallKey& key) = 0;
  // Deletes the key of `id`; a key that is not there is no failure.
  virtual Status Remove(const std::string& id) = 0;
  // The id of every DFMod- key, with its string value `value` ("" where it has none).
  virtual Result<std::map<std::string, std::string>> Keys(const std::string& value) = 0;
};

// A host without the list: nothing to register, remove or find.
class NoUninstallList final : public UninstallList {
 public:
  Status Register(const UninstallKey&) override { return {}; }
  Status Remove(const std::string&) override { return {}; }
  Result<std::map<std::string, std::string>> Keys(const std::string&) override {
    return std::map<std::string, std::string>{};
  }
};

}  // namespace dfm
