#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/host.h"
#include "platform/posix/wine_prefix.h"
#include "registry/tree_registry.h"

namespace dfm::posix {
namespace {

RegistryHive ReadHive(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseWineRegistry(text);
}

}  // namespace

std::unique_ptr<Registry> MakeWineRegistry(const std::string& prefix) {
  if (prefix.empty()) return std::make_unique<TreeRegistry>(RegistryHive{}, RegistryHive{});
  return std::make_unique<TreeRegistry>(ReadHive(prefix + "/system.reg"),
                                        ReadHive(prefix + "/user.reg"));
}

}  // namespace dfm::posix

namespace dfm {

std::unique_ptr<Registry> MakeHostRegistry() {
  return posix::MakeWineRegistry(posix::WinePrefix());
}

}  // namespace dfm
