// Registry files of a Wine prefix are read from the user's disk: any text must parse
// without harm, and every key found must be readable through the registry calls.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "registry/registry_reader.h"
#include "registry/tree_registry.h"
#include "registry/wine_registry_file.h"

namespace {

void Walk(dfm::RegistryReader& reader, dfm::RegKey root, const std::string& path, int depth) {
  if (depth > 4 || !reader.OpenRegistry(root, path)) return;
  auto values = reader.GetAllValues();
  if (values) {
    for (const auto& v : *values) (void)reader.GetValue(v);
  }
  auto subkeys = reader.GetAllSubDirectories();
  if (!subkeys) return;
  for (const auto& k : *subkeys) Walk(reader, root, path.empty() ? k : path + "\\" + k, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  dfm::TreeRegistry registry(dfm::ParseWineRegistry(text), dfm::ParseWineRegistry(text));
  dfm::RegistryReader reader(registry);
  Walk(reader, dfm::reg::kLocalMachine, "", 0);
  Walk(reader, dfm::reg::kCurrentUser, "Software", 0);
  return 0;
}
