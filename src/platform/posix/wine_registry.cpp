#include "platform/host.h"
#include "platform/posix/wine_prefix.h"
#include "registry/tree_registry.h"

namespace dfm::posix {

std::unique_ptr<Registry> MakeWineRegistry(const std::string& prefix) {
  if (prefix.empty()) return std::make_unique<TreeRegistry>(RegistryHive{}, RegistryHive{});
  return ReadPrefixRegistry(*MakeHostFileSystem(), prefix);
}

}  // namespace dfm::posix

namespace dfm {

std::unique_ptr<Registry> MakeHostRegistry() {
  return posix::MakeWineRegistry(posix::WinePrefix());
}

}  // namespace dfm
