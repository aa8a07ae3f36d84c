// Spelling out PFF archive bytes by hand, for tests, seeds and benchmarks. Written
// independently of src/pff so tests compare the writer against a second encoding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dfm::testing {

inline std::string Le32(std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

// The 20-byte header.
inline std::string PffHeaderBytes(std::int32_t file_count, std::int32_t record_size,
                                  std::int32_t directory_offset, std::int32_t header_size = 20,
                                  std::string_view signature = "PFF3") {
  return Le32(header_size) + std::string(signature.substr(0, 4)) + Le32(file_count) +
         Le32(record_size) + Le32(directory_offset);
}

// One record: the 32 bytes of fields (name cut or NUL-padded to 16), then `rest` padded
// with NULs to `stride` bytes in all.
inline std::string PffRecordBytes(std::int32_t dead, std::int32_t offset, std::int32_t size,
                                  std::int32_t timestamp, std::string_view name,
                                  std::size_t stride = 32, std::string_view rest = {}) {
  std::string name16(name.substr(0, 16));
  name16.resize(16, '\0');
  std::string out = Le32(dead) + Le32(offset) + Le32(size) + Le32(timestamp) + name16;
  out += rest;
  out.resize(stride < 32 ? 32 : stride, '\0');
  return out;
}

inline std::string PffTrailerBytes() {
  return std::string(8, '\0') + "DADE, Modified By Kyv Obrik's Pff Utility v0.7";
}

}  // namespace dfm::testing
