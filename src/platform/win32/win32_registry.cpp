// The system's registry, read through the 8-bit calls in its 32-bit view, where the games'
// installers registered.
#include "platform/win32/windows_api.h"

#include <map>
#include <vector>

#include "platform/host.h"
#include "platform/win32/win32_registry.h"

namespace dfm {
namespace {

// The core keeps handles in 32 bits; open keys are numbered here and mapped to the
// system's handles, the predefined roots are the system's own numbers.
class Win32Registry final : public Registry {
 public:
  ~Win32Registry() override {
    for (auto& [key, h] : open_) ::RegCloseKey(h);
  }

  std::int32_t OpenKey(RegKey root, const std::string& path, RegKey& key) override {
    HKEY parent = Handle(root);
    if (parent == nullptr) return reg::kInvalidHandle;
    HKEY h = nullptr;
    const LONG rc = ::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &h);
    if (rc != ERROR_SUCCESS) return rc;
    key = next_handle_;
    next_handle_ += 4;
    open_[key] = h;
    return reg::kSuccess;
  }

  std::int32_t QueryValue(RegKey key, const std::string& name, std::size_t capacity,
                          RegValue& out) override {
    HKEY h = Handle(key);
    if (h == nullptr) return reg::kInvalidHandle;
    std::vector<BYTE> buf(capacity);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    const LONG rc = ::RegQueryValueExA(h, name.c_str(), nullptr, &type, buf.data(), &size);
    out.type = type;
    if (rc != ERROR_SUCCESS) return rc;
    out.data.assign(buf.begin(), buf.begin() + size);
    return reg::kSuccess;
  }

  std::int32_t EnumKey(RegKey key, std::uint32_t index, std::size_t capacity,
                       std::string& name) override {
    HKEY h = Handle(key);
    if (h == nullptr) return reg::kInvalidHandle;
    std::vector<char> buf(capacity + 1, '\0');
    const LONG rc = ::RegEnumKeyA(h, index, buf.data(), static_cast<DWORD>(capacity));
    if (rc != ERROR_SUCCESS) return rc;
    name = buf.data();
    return reg::kSuccess;
  }

  std::int32_t EnumValue(RegKey key, std::uint32_t index, std::size_t name_capacity,
                         std::size_t data_capacity, std::string& name) override {
    HKEY h = Handle(key);
    if (h == nullptr) return reg::kInvalidHandle;
    std::vector<char> buf(name_capacity + 1, '\0');
    std::vector<BYTE> data(data_capacity + 1);
    DWORD name_size = static_cast<DWORD>(name_capacity);
    DWORD data_size = static_cast<DWORD>(data_capacity);
    const LONG rc = ::RegEnumValueA(h, index, buf.data(), &name_size, nullptr, nullptr, data.data(),
                                    &data_size);
    if (rc != ERROR_SUCCESS) return rc;
    name.assign(buf.data(), name_size);
    return reg::kSuccess;
  }

  std::int32_t CloseKey(RegKey key) override {
    auto it = open_.find(key);
    if (it == open_.end()) return reg::kInvalidHandle;
    const LONG rc = ::RegCloseKey(it->second);
    open_.erase(it);
    return rc;
  }

 private:
  HKEY Handle(RegKey key) const {
    switch (key) {
      case reg::kClassesRoot:
        return HKEY_CLASSES_ROOT;
      case reg::kCurrentUser:
        return HKEY_CURRENT_USER;
      case reg::kLocalMachine:
        return HKEY_LOCAL_MACHINE;
      case reg::kUsers:
        return HKEY_USERS;
      default: {
        auto it = open_.find(key);
        return it == open_.end() ? nullptr : it->second;
      }
    }
  }

  std::map<RegKey, HKEY> open_;
  RegKey next_handle_ = 0x100;
};

}  // namespace

namespace win32 {

std::unique_ptr<Registry> MakeRegistry() {
  return std::make_unique<Win32Registry>();
}

}  // namespace win32

std::string HostFolderFromRegistry(const std::string& folder) {
  return folder;
}

}  // namespace dfm
