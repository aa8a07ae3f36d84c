// Steam's libraryfolders.vdf is read from the user's disk: any text must parse without
// harm, and the libraries it gives must be those of the KeyValues tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "detect/steam_library.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto pairs = dfm::ParseKeyValues(text);
  auto libraries = dfm::SteamLibraryFolders(text);
  if (pairs.has_value() != libraries.has_value()) std::abort();
  return 0;
}
