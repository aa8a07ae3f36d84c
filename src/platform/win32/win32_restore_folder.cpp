#include "platform/win32/windows_api.h"

#include <string>

#include "platform/host.h"

namespace dfm {

// DFMOD_RESTORE_DIR, else %LOCALAPPDATA%\DFMod\Restore.
std::string HostRestoreFolder() {
  auto get = [](const char* name) -> std::string {
    const DWORD n = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (n == 0) return {};
    std::string value(n, '\0');
    const DWORD got = ::GetEnvironmentVariableA(name, value.data(), n);
    if (got >= n) return {};
    value.resize(got);
    return value;
  };
  if (std::string dir = get("DFMOD_RESTORE_DIR"); !dir.empty()) return dir;
  if (std::string data = get("LOCALAPPDATA"); !data.empty()) return data + "\\DFMod\\Restore";
  return {};
}

}  // namespace dfm
