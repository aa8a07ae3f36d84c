// Lutris game files are read from the user's disk: any text must parse without harm, and
// a prefix found is never empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "detect/lutris_game.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto prefix = dfm::LutrisGamePrefix(std::string_view(reinterpret_cast<const char*>(data), size));
  if (prefix && prefix->empty()) std::abort();
  return 0;
}
