// SHA-256 (FIPS 180-4), for the fingerprints restore points keep of installers and of the
// files an install wrote.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace dfm {

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, std::size_t size);
  // The digest of everything given so far; the object is spent afterwards.
  std::array<unsigned char, 32> Finish();
  // The digest as 64 lowercase hexadecimal digits.
  std::string FinishHex();

 private:
  // Whole 64-byte blocks: with the processor's SHA instructions where it has them.
  void Blocks(const unsigned char* p, std::size_t blocks);
  void Block(const unsigned char* p);
  std::array<std::uint32_t, 8> h_;
  std::array<unsigned char, 64> buffer_{};
  std::size_t used_ = 0;
  std::uint64_t bits_ = 0;
};

}  // namespace dfm
