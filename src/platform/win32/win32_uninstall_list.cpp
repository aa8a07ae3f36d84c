// The current user's list of installed programs: keys below HKEY_CURRENT_USER's Uninstall
// key, written through the 8-bit calls. Per user, so no administrator rights are asked.
#include "platform/win32/windows_api.h"

#include <vector>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_registry.h"

namespace dfm::win32 {
namespace {

constexpr char kUninstallPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

Failure RegistryFailure(LONG rc, const std::string& what) {
  return {err::kPermissionDenied,
          what + " (" + SystemMessage(static_cast<std::uint32_t>(rc)) + ")"};
}

// An open key, closed when it goes.
struct Key {
  HKEY h = nullptr;
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (h) ::RegCloseKey(h);
  }
};

class Win32UninstallList final : public UninstallList {
 public:
  Status Register(const UninstallKey& key) override {
    const std::string path = Path(key.id);
    Key k;
    LONG rc = ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &k.h, nullptr);
    if (rc != ERROR_SUCCESS) return RegistryFailure(rc, "Cannot create HKCU\\" + path);
    for (const auto& [name, text] : key.strings) {
      rc = ::RegSetValueExA(k.h, name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
      if (rc != ERROR_SUCCESS) return Undo(path, rc, name);
    }
    for (const auto& [name, number] : key.numbers) {
      const DWORD n = number;
      rc = ::RegSetValueExA(k.h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n),
                            sizeof n);
      if (rc != ERROR_SUCCESS) return Undo(path, rc, name);
    }
    return {};
  }

  Status Remove(const std::string& id) override {
    const std::string path = Path(id);
    const LONG rc = ::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return {};
    return RegistryFailure(rc, "Cannot delete HKCU\\" + path);
  }

  Result<std::map<std::string, std::string>> Keys(const std::string& value) override {
    std::map<std::string, std::string> out;
    Key list;
    LONG rc = ::RegOpenKeyExA(HKEY_CURRENT_USER, kUninstallPath, 0, KEY_READ, &list.h);
    if (rc == ERROR_FILE_NOT_FOUND) return out;
    if (rc != ERROR_SUCCESS)
      return RegistryFailure(rc, std::string("Cannot read HKCU\\") + kUninstallPath);
    const std::string prefix = kUninstallKeyPrefix;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD length = sizeof name;
      rc = ::RegEnumKeyExA(list.h, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) continue;  // a name too long for ours is none of ours
      const std::string key(name, length);
      if (key.compare(0, prefix.size(), prefix) != 0) continue;
      out[key.substr(prefix.size())] = ReadString(list.h, key, value);
    }
    return out;
  }

 private:
  static std::string Path(const std::string& id) {
    return std::string(kUninstallPath) + "\\" + kUninstallKeyPrefix + id;
  }

  // A key that could not be written whole goes again: half a key would list a mod that
  // cannot be removed from there.
  static Failure Undo(const std::string& path, LONG rc, const std::string& value) {
    ::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    return RegistryFailure(rc, "Cannot write " + value + " of HKCU\\" + path);
  }

  static std::string ReadString(HKEY list, const std::string& key, const std::string& value) {
    Key k;
    if (::RegOpenKeyExA(list, key.c_str(), 0, KEY_QUERY_VALUE, &k.h) != ERROR_SUCCESS) return {};
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(k.h, value.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size == 0)
      return {};
    std::vector<char> buf(size + 1, '\0');
    if (::RegQueryValueExA(k.h, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                           &size) != ERROR_SUCCESS)
      return {};
    return std::string(buf.data());
  }
};

}  // namespace

std::unique_ptr<UninstallList> MakeUninstallList() {
  return std::make_unique<Win32UninstallList>();
}

}  // namespace dfm::win32
