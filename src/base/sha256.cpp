#include "base/sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define DFM_SHA_EXTENSIONS 1
#endif

namespace dfm {
namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

#ifdef DFM_SHA_EXTENSIONS
// Whether the processor has the SHA extensions (and the SSSE3 and SSE4.1 they go with).
bool HasShaExtensions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 9)) || !(c & (1u << 19))) return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
}

// `blocks` 64-byte blocks with the SHA extensions: four rounds per step, the message
// schedule computed four words at a time. The state is kept as ABEF and CDGH.
__attribute__((target("sha,ssse3,sse4.1"))) void ShaBlocks(std::uint32_t* h, const unsigned char* p,
                                                           std::size_t blocks) {
  const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0xB1);
  __m128i hgfe = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 4)), 0x1B);
  __m128i abef = _mm_alignr_epi8(dcba, hgfe, 8);
  __m128i cdgh = _mm_blend_epi16(hgfe, dcba, 0xF0);
  for (; blocks > 0; --blocks, p += 64) {
    const __m128i abef_in = abef, cdgh_in = cdgh;
    __m128i m[4];
    for (int i = 0; i < 4; ++i)
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), swap);
    for (int g = 0; g < 16; ++g) {
      __m128i wk = _mm_add_epi32(m[g % 4],
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * g)));
      // Two rounds turn CDGH into the new ABEF, and the old ABEF becomes CDGH.
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
      wk = _mm_shuffle_epi32(wk, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
      if (g < 12) {
        __m128i x = _mm_sha256msg1_epu32(m[g % 4], m[(g + 1) % 4]);
        x = _mm_add_epi32(x, _mm_alignr_epi8(m[(g + 3) % 4], m[(g + 2) % 4], 4));
        m[g % 4] = _mm_sha256msg2_epu32(x, m[(g + 3) % 4]);
      }
    }
    abef = _mm_add_epi32(abef, abef_in);
    cdgh = _mm_add_epi32(cdgh, cdgh_in);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

}  // namespace

Sha256::Sha256()
    : h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Blocks(const unsigned char* p, std::size_t blocks) {
#ifdef DFM_SHA_EXTENSIONS
  static const bool extensions = HasShaExtensions();
  if (extensions) {
    ShaBlocks(h_.data(), p, blocks);
    return;
  }
#endif
  for (; blocks > 0; --blocks, p += 64) Block(p);
}

void Sha256::Block(const unsigned char* p) {
  std::uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = std::uint32_t{p[4 * i]} << 24 | std::uint32_t{p[4 * i + 1]} << 16 |
           std::uint32_t{p[4 * i + 2]} << 8 | p[4 * i + 3];
  }
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6],
                h = h_[7];
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t t1 =
        h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const std::uint32_t t2 =
        (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  const std::uint32_t add[8] = {a, b, c, d, e, f, g, h};
  for (int i = 0; i < 8; ++i) h_[i] += add[i];
}

void Sha256::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  bits_ += static_cast<std::uint64_t>(size) * 8;
  if (used_ == 0 && size >= 64) {  // whole blocks straight from the input
    Blocks(p, size / 64);
    p += size / 64 * 64;
    size %= 64;
  }
  while (size > 0) {
    const std::size_t n = std::min(size, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, p, n);
    used_ += n;
    p += n;
    size -= n;
    if (used_ == buffer_.size()) {
      Blocks(buffer_.data(), 1);
      used_ = 0;
    }
  }
}

std::array<unsigned char, 32> Sha256::Finish() {
  const std::uint64_t bits = bits_;
  const unsigned char pad = 0x80;
  Update(&pad, 1);
  const unsigned char zero = 0;
  while (used_ != 56) Update(&zero, 1);
  unsigned char length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  Update(length, 8);
  std::array<unsigned char, 32> out{};
  for (int i = 0; i < 32; ++i) out[i] = static_cast<unsigned char>(h_[i / 4] >> (24 - 8 * (i % 4)));
  return out;
}

std::string Sha256::FinishHex() {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : Finish()) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

}  // namespace dfm
