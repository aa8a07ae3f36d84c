#include <climits>
#include <cstdlib>

#include "platform/host.h"
#include "platform/posix/posix_path.h"
#include "platform/posix/wine_prefix.h"

namespace dfm {
namespace {

bool IsDrivePath(const std::string& folder) {
  return folder.size() >= 2 && folder[1] == ':' &&
         ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
}

class PosixEnvironment final : public Environment {
 public:
  std::optional<std::string> Variable(const std::string& name) override {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  }

  std::optional<std::string> HostFolder(const std::string& folder,
                                        const std::string& prefix) override {
    std::string mapped = posix::MapWinePath(folder, prefix.empty() ? posix::WinePrefix() : prefix);
    if (IsDrivePath(folder) && mapped == folder) return std::nullopt;
    return mapped;
  }

  std::string CanonicalFolder(const std::string& folder) override {
    char buf[PATH_MAX];
    if (::realpath(posix::ResolvePath(folder).c_str(), buf) == nullptr) return folder;
    return buf;
  }

  bool HasWinePrefixes() const override { return true; }
};

}  // namespace

std::unique_ptr<Environment> MakeHostEnvironment() {
  return std::make_unique<PosixEnvironment>();
}

}  // namespace dfm
