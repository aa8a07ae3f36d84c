// Effect detail maps: every pixel of a colour picture classified against a fixed table
// of 20 reference colours, the nearest colour's detail code written as a PCX grid.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "image/pcx.h"
#include "platform/file_system.h"

namespace dfm {

// One pixel in the byte order of TGA pixel data.
struct PixelBgr {
  unsigned char blue = 0;
  unsigned char green = 0;
  unsigned char red = 0;

  friend bool operator==(const PixelBgr&, const PixelBgr&) = default;
};

struct DetailPaletteEntry {
  PixelBgr colour;
  unsigned char code;
};

// Index 1 is element 0. Codes 0, 7 and 9 never occur.
inline constexpr std::array<DetailPaletteEntry, 20> kDetailPalette = {{
    {{179, 201, 217}, 5}, {{114, 157, 195}, 5}, {{64, 95, 113}, 8},   {{36, 48, 56}, 8},
    {{40, 67, 103}, 8},   {{42, 42, 58}, 6},    {{61, 121, 139}, 1},  {{87, 108, 124}, 6},
    {{40, 68, 64}, 2},    {{47, 87, 79}, 2},    {{72, 130, 116}, 2},  {{28, 50, 46}, 2},
    {{237, 232, 230}, 3}, {{170, 165, 165}, 3}, {{194, 189, 184}, 3}, {{200, 200, 200}, 3},
    {{190, 185, 180}, 3}, {{96, 113, 118}, 4},  {{88, 107, 102}, 4},  {{133, 123, 113}, 10},
}};

// The source of a detail map: width × height pixels, blue-green-red, in the TGA's stored
// row order (row 0 is the first row of the file's pixel data, the bottom row of a TGA
// written by WriteTga).
class PixelGrid {
 public:
  PixelGrid() = default;
  // Zero-filled. Contract: width and height are not negative.
  PixelGrid(std::int32_t width, std::int32_t height)
      : width_(width),
        height_(height),
        bytes_(3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  // All pixels, 3 bytes each, row after row.
  std::span<unsigned char> bytes() { return bytes_; }
  std::span<const unsigned char> bytes() const { return bytes_; }
  // Contract: 0 <= x < width, 0 <= y < height.
  PixelBgr At(std::int32_t x, std::int32_t y) const {
    const unsigned char* p = &bytes_[3 * (static_cast<std::size_t>(y) * width_ + x)];
    return {p[0], p[1], p[2]};
  }

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  Bytes bytes_;
};

// The index (1 to 20) of the palette entry nearest to `pixel` by the sum of absolute
// channel differences; a tie goes to the lower index. Contract: `palette` is not empty.
int NearestPaletteIndex(PixelBgr pixel, std::span<const DetailPaletteEntry> palette);

// The detail code of every pixel against kDetailPalette, upside down: stored row y of
// `pixels` becomes row height - 1 - y of the result, so that the map, written top row
// first, shows the picture upright.
ByteGrid BuildDetailCodes(const PixelGrid& pixels);

// The pixels of a 24-bit TGA: width and height from offsets 12 and 14 (signed 16-bit),
// 3 × width × height bytes from offset 18; nothing else of the header is read. Fails
// with err::kInvalidFileFormat, before reading or allocating the pixels, when the width
// or height is below 1 or the file is shorter than its pixels need; otherwise with the
// file system's failure.
Result<PixelGrid> ReadTgaPixels(FileSystem& fs, const std::string& file);

// Reads the TGA `source`, closes it and writes the detail map of its pixels to the PCX
// `target`. Fails with ReadTgaPixels's and WritePcx's failures; nothing is written when
// reading fails.
Status CreateDetailMap(FileSystem& fs, const std::string& source, const std::string& target);

}  // namespace dfm
