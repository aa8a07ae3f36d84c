#include "image/detail_map.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "image/detail_classify.h"

namespace dfm {
namespace {

int Distance(PixelBgr a, PixelBgr b) {
  return std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
}

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
