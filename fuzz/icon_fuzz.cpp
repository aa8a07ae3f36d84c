// Icon files come from a mod's payload: any bytes must convert without harm, and what
// comes out is a bitmap file whose pixel offset lies inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "shell/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto bitmap = dfm::IconAsBitmapFile(dfm::Bytes(data, data + size));
  if (bitmap && (bitmap->size() < 54 || (*bitmap)[0] != 'B')) std::abort();
  return 0;
}
