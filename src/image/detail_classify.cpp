#include "image/detail_classify.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "image/detail_map.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__)) && \
    (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define DFM_HAVE_AVX2_PATH 1
#endif

namespace dfm {
namespace {

unsigned char DetailCodeOf(const unsigned char* bgr) {
  const PixelBgr pixel{bgr[0], bgr[1], bgr[2]};
  return kDetailPalette[static_cast<std::size_t>(NearestPaletteIndex(pixel, kDetailPalette) - 1)]
      .code;
}

void ClassifyRowScalar(const unsigned char* bgr, std::size_t n, unsigned char* out) {
  for (std::size_t k = 0; k < n; ++k) out[k] = DetailCodeOf(bgr + 3 * k);
}

// The vector paths classify many pixels at once on bytes. The distances are summed with
// saturation at 255, which keeps every distance below 255 exact: when the smallest of a
// pixel's saturated distances is below 255, the first entry reaching it is the nearest,
// as with exact sums. The few pixels 255 or more from every entry are classified one by
// one.
template <std::size_t kWidth>
struct alignas(kWidth) EntryLanes {
  unsigned char blue[kWidth];
  unsigned char green[kWidth];
  unsigned char red[kWidth];
  unsigned char code[kWidth];
};

template <std::size_t kWidth>
constexpr std::array<EntryLanes<kWidth>, kDetailPalette.size()> MakeLanes() {
  std::array<EntryLanes<kWidth>, kDetailPalette.size()> lanes{};
  for (std::size_t i = 0; i < kDetailPalette.size(); ++i) {
    for (std::size_t k = 0; k < kWidth; ++k) {
      lanes[i].blue[k] = kDetailPalette[i].colour.blue;
      lanes[i].green[k] = kDetailPalette[i].colour.green;
      lanes[i].red[k] = kDetailPalette[i].colour.red;
      lanes[i].code[k] = kDetailPalette[i].code;
    }
  }
  return lanes;
}

// Pixels whose bit is set in `far` (those 255 or more from every entry) one by one.
void ClassifyFar(unsigned far, const unsigned char* bgr, unsigned char* codes) {
  for (std::size_t k = 0; far != 0; ++k, far >>= 1) {
    if (far & 1u) codes[k] = DetailCodeOf(bgr + 3 * k);
  }
}

#if defined(__SSE2__)

constexpr auto kLanes16 = MakeLanes<16>();
constexpr std::size_t kChunk = 256;

__m128i Load(const unsigned char* p) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

__m128i AbsDiff(__m128i a, __m128i b) {
  return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}

// Codes of the `count` (at most 16) pixels at `bgr`, whose channels are also at `b`, `g`,
// `r` (16 aligned bytes each).
void Classify16(const unsigned char* b, const unsigned char* g, const unsigned char* r,
                const unsigned char* bgr, std::size_t count, unsigned char* out) {
  const __m128i blue = Load(b), green = Load(g), red = Load(r);
  __m128i best = _mm_set1_epi8(static_cast<char>(0xFF));
  __m128i code = _mm_setzero_si128();
  for (const EntryLanes<16>& e : kLanes16) {
    const __m128i d =
        _mm_adds_epu8(_mm_adds_epu8(AbsDiff(red, Load(e.red)), AbsDiff(green, Load(e.green))),
                      AbsDiff(blue, Load(e.blue)));
    const __m128i nearer = _mm_min_epu8(d, best);
    const __m128i kept = _mm_cmpeq_epi8(nearer, best);
    code = _mm_or_si128(_mm_and_si128(kept, code), _mm_andnot_si128(kept, Load(e.code)));
    best = nearer;
  }
  alignas(16) unsigned char codes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(codes), code);
  const unsigned far = static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(best, _mm_set1_epi8(static_cast<char>(0xFF)))));
  ClassifyFar(far & ((1u << count) - 1), bgr, codes);
  std::memcpy(out, codes, count);
}

void ClassifyRowSse2(const unsigned char* bgr, std::size_t n, unsigned char* out) {
  alignas(16) unsigned char b[kChunk], g[kChunk], r[kChunk];
  for (std::size_t start = 0; start < n; start += kChunk) {
    const std::size_t m = std::min(kChunk, n - start);
    const unsigned char* p = bgr + 3 * start;
    for (std::size_t k = 0; k < m; ++k) {
      b[k] = p[3 * k];
      g[k] = p[3 * k + 1];
      r[k] = p[3 * k + 2];
    }
    const std::size_t padded = (m + 15) & ~std::size_t{15};
    std::fill(b + m, b + padded, 0);
    std::fill(g + m, g + padded, 0);
    std::fill(r + m, r + padded, 0);
    for (std::size_t j = 0; j < m; j += 16) {
      Classify16(b + j, g + j, r + j, p + 3 * j, std::min<std::size_t>(16, m - j), out + start + j);
    }
  }
}

#endif

#if defined(DFM_HAVE_AVX2_PATH)

constexpr auto kLanes32 = MakeLanes<32>();

#define DFM_AVX2 __attribute__((target("avx2")))

DFM_AVX2 __m256i Load32(const unsigned char* p) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

DFM_AVX2 __m256i Unaligned32(const unsigned char* low, const unsigned char* high) {
  return _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(high)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(low)));
}

DFM_AVX2 __m256i Shuffle(__m256i v, const signed char (&order)[16]) {
  const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(order));
  return _mm256_shuffle_epi8(v, _mm256_set_m128i(o, o));
}

// Where each byte of one channel of 16 pixels is in their 48 bytes, read as three vectors
// (bytes 0-15, 16-31, 32-47): for each vector, the byte each result byte takes, or -1 (a
// zero) where it comes from another vector.
struct ChannelOrder {
  signed char from[3][16];
};

constexpr ChannelOrder OrderOf(int channel) {
  ChannelOrder order{};
  for (auto& vector : order.from)
    for (auto& byte : vector) byte = -1;
  for (int byte = 0; byte < 48; ++byte) {
    if (byte % 3 == channel) order.from[byte / 16][byte / 3] = static_cast<signed char>(byte % 16);
  }
  return order;
}

constexpr ChannelOrder kBlueOrder = OrderOf(0), kGreenOrder = OrderOf(1), kRedOrder = OrderOf(2);

DFM_AVX2 __m256i Channel(__m256i v0, __m256i v1, __m256i v2, const ChannelOrder& order) {
  return _mm256_or_si256(_mm256_or_si256(Shuffle(v0, order.from[0]), Shuffle(v1, order.from[1])),
                         Shuffle(v2, order.from[2]));
}

DFM_AVX2 __m256i AbsDiff32(__m256i a, __m256i b) {
  return _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
}

// 32 pixels at a time, each 128-bit half taking 16 of them; the rest of the row (fewer
// than 32) on the SSE2 path.
DFM_AVX2 void ClassifyRowAvx2(const unsigned char* bgr, std::size_t n, unsigned char* out) {
  std::size_t k = 0;
  for (; k + 32 <= n; k += 32) {
    const unsigned char* p = bgr + 3 * k;
    const __m256i v0 = Unaligned32(p, p + 48), v1 = Unaligned32(p + 16, p + 64),
                  v2 = Unaligned32(p + 32, p + 80);
    const __m256i blue = Channel(v0, v1, v2, kBlueOrder);
    const __m256i green = Channel(v0, v1, v2, kGreenOrder);
    const __m256i red = Channel(v0, v1, v2, kRedOrder);
    __m256i best = _mm256_set1_epi8(static_cast<char>(0xFF));
    __m256i code = _mm256_setzero_si256();
    for (const EntryLanes<32>& e : kLanes32) {
      const __m256i d = _mm256_adds_epu8(
          _mm256_adds_epu8(AbsDiff32(red, Load32(e.red)), AbsDiff32(green, Load32(e.green))),
          AbsDiff32(blue, Load32(e.blue)));
      const __m256i nearer = _mm256_min_epu8(d, best);
      code = _mm256_blendv_epi8(Load32(e.code), code, _mm256_cmpeq_epi8(nearer, best));
      best = nearer;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), code);
    const auto far = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(best, _mm256_set1_epi8(static_cast<char>(0xFF)))));
    if (far != 0) ClassifyFar(far, p, out + k);
  }
  if (k < n) ClassifyRowSse2(bgr + 3 * k, n - k, out + k);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

#endif

}  // namespace

std::vector<ClassifyPath> ClassifyPaths() {
  std::vector<ClassifyPath> paths{ClassifyPath::kScalar};
#if defined(__SSE2__)
  paths.push_back(ClassifyPath::kSse2);
#endif
#if defined(DFM_HAVE_AVX2_PATH)
  if (HasAvx2()) paths.push_back(ClassifyPath::kAvx2);
#endif
  return paths;
}

void ClassifyRow(const unsigned char* bgr, std::size_t n, unsigned char* out, ClassifyPath path) {
  switch (path) {
#if defined(DFM_HAVE_AVX2_PATH)
    case ClassifyPath::kAvx2:
      return ClassifyRowAvx2(bgr, n, out);
#endif
#if defined(__SSE2__)
    case ClassifyPath::kSse2:
      return ClassifyRowSse2(bgr, n, out);
#endif
    default:
      return ClassifyRowScalar(bgr, n, out);
  }
}

void ClassifyRow(const unsigned char* bgr, std::size_t n, unsigned char* out) {
#if defined(DFM_HAVE_AVX2_PATH)
  if (HasAvx2()) return ClassifyRowAvx2(bgr, n, out);
#endif
#if defined(__SSE2__)
  return ClassifyRowSse2(bgr, n, out);
#else
  return ClassifyRowScalar(bgr, n, out);
#endif
}

}  // namespace dfm
