// 8-bit, single-plane, run-length encoded PCX files (version 5) with a grey-ramp
// palette: each byte of a grid is stored as the palette index of its pixel.
//
// File layout: a 128-byte header (10, 5, 1, 8; window 0, 0, W - 1, H - 1; resolution W,
// H; sixteen palette entries 25 4D 25; reserved 0; one plane; W bytes per line; palette
// info 1; screen size 12 x 10; zero filler), the rows top first, each encoded on its own,
// then 0C and the 256 entries (i, i, i).
#pragma once

#include <cstdint>
#include <memory_resource>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "platform/file_system.h"

namespace dfm {

// width × height bytes, row 0 the top row of the picture.
class ByteGrid {
 public:
  ByteGrid() = default;
  // Zero-filled. Contract: width and height are not negative.
  ByteGrid(std::int32_t width, std::int32_t height)
      : width_(width),
        height_(height),
        cells_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  // Contract: 0 <= y < height.
  std::span<unsigned char> Row(std::int32_t y) {
    return {cells_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
            static_cast<std::size_t>(width_)};
  }
  std::span<const unsigned char> Row(std::int32_t y) const {
    return {cells_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
            static_cast<std::size_t>(width_)};
  }
  const Bytes& cells() const { return cells_; }

  friend bool operator==(const ByteGrid&, const ByteGrid&) = default;

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  Bytes cells_;
};

inline constexpr std::size_t kPcxHeaderSize = 128;
inline constexpr std::size_t kPcxPaletteSize = 1 + 768;

// Appends one run: nothing for count 0; a lone value below 192 as itself; otherwise
// 0xC0 | count and the value. Contract: count <= 63.
void PutPcxRun(unsigned char value, unsigned char count, Bytes& out);

// Appends one row, encoded: runs of equal bytes of up to 63, never crossing the row's
// end. An empty row appends nothing.
void EncodePcxLine(std::span<const unsigned char> row, Bytes& out);

// Fails with err::kOverflow for a picture wider or taller than 32,767 pixels.
Status CheckPcxSize(std::int32_t width, std::int32_t height);

// Encodes a PCX file row by row, top row first: the header first, each row as it comes,
// the palette last. WriteTo writes what gathered since its last call, at its place in the
// file. Contract: the size passed CheckPcxSize, every row is `width` bytes and exactly
// `height` rows come before the palette.
//
// What gathers is held in memory of the default resource (the programs set the host's,
// which gives a big buffer large pages where it can).
class PcxEncoder {
 public:
  // Room is made for `expected` bytes of rows (none is touched before it is used).
  PcxEncoder(std::int32_t width, std::int32_t height, std::size_t expected = 0);
  void AddRow(std::span<const unsigned char> row);
  void AddPalette();
  std::size_t Pending() const { return pending_.size(); }
  Status WriteTo(File& out);

 private:
  std::pmr::vector<unsigned char> pending_;
  Bytes row_;  // one row, encoded
  std::uint64_t offset_ = 0;
};

// Writes `codes` as a PCX file, replacing any existing `file` as a whole. Fails with
// CheckPcxSize's failure, else with the file system's failure, which may leave a partly
// written file.
Status WritePcx(FileSystem& fs, const std::string& file, const ByteGrid& codes);

}  // namespace dfm
