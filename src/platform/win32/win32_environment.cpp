#include "platform/win32/windows_api.h"

#include <string>

#include "platform/host.h"

namespace dfm {
namespace {

class Win32Environment final : public Environment {
 public:
  std::optional<std::string> Variable(const std::string& name) override {
    const DWORD n = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::string value(n, '\0');
    const DWORD got = ::GetEnvironmentVariableA(name.c_str(), value.data(), n);
    if (got >= n) return std::nullopt;  // changed between the two calls
    value.resize(got);
    return value;
  }

  // The registry is the system's own: its folders are this host's folders.
  std::optional<std::string> HostFolder(const std::string& folder, const std::string&) override {
    return folder;
  }

  std::string CanonicalFolder(const std::string& folder) override {
    const DWORD n = ::GetFullPathNameA(folder.c_str(), 0, nullptr, nullptr);
    if (n == 0) return folder;
    std::string full(n, '\0');
    const DWORD got = ::GetFullPathNameA(folder.c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return folder;
    full.resize(got);
    return full;
  }

  bool HasWinePrefixes() const override { return false; }
};

}  // namespace

std::unique_ptr<Environment> MakeHostEnvironment() {
  return std::make_unique<Win32Environment>();
}

}  // namespace dfm
