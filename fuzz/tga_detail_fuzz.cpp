// Detail maps from arbitrary TGA files: the reading must refuse what the file cannot
// hold, never write the map after a failed read, and classify exactly like the per-pixel
// reference.
#include <cstddef>
#include <cstdint>

#include "image/detail_map.h"
#include "support/detail_map_reference.h"
#include "support/memory_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dfm::testing::MemoryFileSystem fs;
  fs.Put("in.tga", dfm::Bytes(data, data + size));
  auto pixels = dfm::ReadTgaPixels(fs, "in.tga");
  if (pixels && !(dfm::BuildDetailCodes(*pixels) == dfm::testing::ReferenceDetailCodes(*pixels)))
    __builtin_trap();

  const dfm::Status made = dfm::CreateDetailMap(fs, "in.tga", "out.pcx");
  if (made.ok() != pixels.ok() || made.ok() != fs.Exists("out.pcx")) __builtin_trap();
  if (made.ok()) {
    const dfm::Bytes pcx = *fs.Get("out.pcx");
    if (pcx.size() < 128 + 769 || pcx[pcx.size() - 769] != 12) __builtin_trap();
  }
  return 0;
}
