#include "image/detail_map.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dfm {
namespace {

int Distance(PixelBgr a, PixelBgr b) {
  return std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
}

unsigned char DetailCodeOf(PixelBgr pixel) {
  return kDetailPalette[static_cast<std::size_t>(NearestPaletteIndex(pixel, kDetailPalette) - 1)]
      .code;
}

#if defined(__SSE2__)

// Sixteen pixels are classified at once on bytes. The distances are summed with
// saturation at 255, which keeps every distance below 255 exact: when the smallest of a
// pixel's saturated distances is below 255, the first entry reaching it is the nearest,
// as with exact sums. The few pixels 255 or more from every entry are classified one by
// one.
struct alignas(16) EntryLanes {
  unsigned char blue[16];
  unsigned char green[16];
  unsigned char red[16];
  unsigned char code[16];
};

constexpr std::array<EntryLanes, kDetailPalette.size()> MakeLanes() {
  std::array<EntryLanes, kDetailPalette.size()> lanes{};
  for (std::size_t i = 0; i < kDetailPalette.size(); ++i) {
    for (int k = 0; k < 16; ++k) {
      lanes[i].blue[k] = kDetailPalette[i].colour.blue;
      lanes[i].green[k] = kDetailPalette[i].colour.green;
      lanes[i].red[k] = kDetailPalette[i].colour.red;
      lanes[i].code[k] = kDetailPalette[i].code;
    }
  }
  return lanes;
}

constexpr auto kLanes = MakeLanes();
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
  for (const EntryLanes& e : kLanes) {
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
  unsigned far = static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(best, _mm_set1_epi8(static_cast<char>(0xFF)))));
  far &= (1u << count) - 1;
  for (std::size_t k = 0; far != 0; ++k, far >>= 1) {
    if (far & 1u) codes[k] = DetailCodeOf({bgr[3 * k], bgr[3 * k + 1], bgr[3 * k + 2]});
  }
  std::memcpy(out, codes, count);
}

void ClassifyRow(const unsigned char* bgr, std::size_t n, unsigned char* out) {
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

#else

void ClassifyRow(const unsigned char* bgr, std::size_t n, unsigned char* out) {
  for (std::size_t k = 0; k < n; ++k) {
    out[k] = DetailCodeOf({bgr[3 * k], bgr[3 * k + 1], bgr[3 * k + 2]});
  }
}

#endif

Status InvalidTga(const std::string& file, const std::string& why) {
  return Status::Fail(err::kInvalidFileFormat, "Invalid file format: " + file + " " + why);
}

constexpr std::size_t kStripBytes = std::size_t{1} << 16;

struct TgaSize {
  std::int16_t width = 0;
  std::int16_t height = 0;
};

// The picture's size from the header of `in`, checked against the file's length.
Result<TgaSize> ReadTgaSize(File& in, const std::string& file) {
  auto size = in.Size();
  if (!size) return size.failure();
  if (*size < 18) return InvalidTga(file, "is too short for a TGA header").failure();
  unsigned char dims[4];
  if (auto st = in.ReadAt(12, dims, sizeof dims); !st) return st.failure();
  const auto width = static_cast<std::int16_t>(dims[0] | dims[1] << 8);
  const auto height = static_cast<std::int16_t>(dims[2] | dims[3] << 8);
  if (width < 1 || height < 1) {
    return InvalidTga(file, "gives a picture of " + std::to_string(width) + " x " +
                                std::to_string(height) + " pixels")
        .failure();
  }
  const std::uint64_t needed = 18 + 3 * std::uint64_t(width) * std::uint64_t(height);
  if (*size < needed) {
    return InvalidTga(file, "holds " + std::to_string(*size) + " bytes, fewer than the " +
                                std::to_string(needed) + " of its " + std::to_string(width) +
                                " x " + std::to_string(height) + " pixels")
        .failure();
  }
  return TgaSize{width, height};
}

}  // namespace

int NearestPaletteIndex(PixelBgr pixel, std::span<const DetailPaletteEntry> palette) {
  std::size_t best = 0;
  int best_distance = Distance(pixel, palette[0].colour);
  for (std::size_t i = 1; i < palette.size(); ++i) {
    const int d = Distance(pixel, palette[i].colour);
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return static_cast<int>(best) + 1;
}

ByteGrid BuildDetailCodes(const PixelGrid& pixels) {
  ByteGrid codes(pixels.width(), pixels.height());
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(pixels.width());
  for (std::int32_t y = 0; y < pixels.height(); ++y) {
    ClassifyRow(pixels.bytes().data() + row_bytes * static_cast<std::size_t>(y),
                static_cast<std::size_t>(pixels.width()),
                codes.Row(pixels.height() - 1 - y).data());
  }
  return codes;
}

Result<PixelGrid> ReadTgaPixels(FileSystem& fs, const std::string& file) {
  auto opened = fs.Open(file, OpenMode::kRead);
  if (!opened) return opened.failure();
  File& in = **opened;
  auto size = ReadTgaSize(in, file);
  if (!size) return size.failure();
  PixelGrid pixels(size->width, size->height);
  if (auto st = in.ReadAt(18, pixels.bytes().data(), pixels.bytes().size()); !st)
    return st.failure();
  if (auto st = in.Close(); !st) return st.failure();
  return pixels;
}

// The map is made a strip of rows at a time: the TGA's rows are read from its end (its
// top rows) in pieces of about 64 KiB into one buffer, classified into one row of codes
// and encoded straight away. Only the encoded file is held whole, written once the TGA is
// read and closed.
Status CreateDetailMap(FileSystem& fs, const std::string& source, const std::string& target) {
  std::optional<PcxEncoder> pcx;
  {
    auto opened = fs.Open(source, OpenMode::kRead);
    if (!opened) return opened.failure();
    File& in = **opened;
    auto size = ReadTgaSize(in, source);
    if (!size) return size.failure();
    const auto height = static_cast<std::size_t>(size->height);
    const auto width = static_cast<std::size_t>(size->width);
    const std::size_t row = 3 * width;
    const std::size_t rows_per_strip = std::max<std::size_t>(1, kStripBytes / row);
    Bytes strip(rows_per_strip * row);
    Bytes codes(width);
    pcx.emplace(size->width, size->height, 2 * width * height);
    for (std::size_t top = 0; top < height;) {
      // Stored rows height - top - n to height - top - 1, the last one the map's row `top`.
      const std::size_t n = std::min(rows_per_strip, height - top);
      const std::uint64_t first = height - top - n;
      if (auto st = in.ReadAt(18 + first * row, strip.data(), n * row); !st) return st;
      for (std::size_t i = n; i-- > 0; ++top) {
        ClassifyRow(strip.data() + i * row, width, codes.data());
        pcx->AddRow(codes);
      }
    }
    if (auto st = in.Close(); !st) return st;
  }
  auto opened = fs.Open(target, OpenMode::kCreateFresh);
  if (!opened) return opened.failure();
  pcx->AddPalette();
  if (auto st = pcx->WriteTo(**opened); !st) return st;
  return (*opened)->Close();
}

}  // namespace dfm
