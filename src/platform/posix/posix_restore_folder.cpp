#include <cstdlib>
#include <string>

#include "platform/host.h"

namespace dfm {

std::string HostRestoreFolder() {
  auto get = [](const char* name) -> std::string {
    const char* v = std::getenv(name);
    return v ? v : "";
  };
  if (std::string dir = get("DFMOD_RESTORE_DIR"); !dir.empty()) return dir;
  if (std::string data = get("XDG_DATA_HOME"); !data.empty() && data[0] == '/')
    return data + "/dfmod/restore";
  if (std::string home = get("HOME"); !home.empty()) return home + "/.local/share/dfmod/restore";
  return {};
}

}  // namespace dfm
