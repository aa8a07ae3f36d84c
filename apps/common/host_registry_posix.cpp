#include "common/host_registry.h"

#include "platform/host.h"
#include "platform/posix/wine_prefix.h"
#include "registry/tree_registry.h"

namespace dfm::cli {

std::unique_ptr<Registry> HostRegistry() {
  const std::string prefix = posix::WinePrefix();
  if (prefix.empty()) return std::make_unique<TreeRegistry>(RegistryHive{}, RegistryHive{});
  return ReadPrefixRegistry(*MakeHostFileSystem(), prefix);
}

std::unique_ptr<UninstallList> HostUninstallList() {
  return nullptr;
}

}  // namespace dfm::cli
