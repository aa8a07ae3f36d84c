#include "image/pcx.h"

#include <gtest/gtest.h>

#include <random>

#include "support/memory_file_system.h"

namespace dfm {
namespace {

Bytes Encoded(const Bytes& row) {
  Bytes out;
  EncodePcxLine(row, out);
  return out;
}

TEST(PutPcxRun, LoneLowValueIsItselfAndEverythingElseIsCountThenValue) {
  Bytes out;
  const std::pair<unsigned char, unsigned char> runs[] = {{5, 1}, {191, 1}, {192, 1}, {200, 1},
                                                          {5, 2}, {9, 0},   {0, 63}};
  for (const auto& [value, count] : runs) PutPcxRun(value, count, out);
  EXPECT_EQ(out, (Bytes{0x05, 0xBF, 0xC1, 0xC0, 0xC1, 0xC8, 0xC2, 0x05, 0xFF, 0x00}));
}

// The run count stepped byte by byte, written out and restarted at 63.
Bytes StepwiseEncoding(const Bytes& row) {
  Bytes out;
  unsigned char last = row[0];
  unsigned char count = 1;
  for (std::size_t x = 1; x < row.size(); ++x) {
    if (row[x] == last) {
      if (++count == 63) {
        PutPcxRun(last, 63, out);
        count = 0;
      }
    } else {
      PutPcxRun(last, count, out);
      last = row[x];
      count = 1;
    }
  }
  PutPcxRun(last, count, out);
  return out;
}

// 2,000 rows of short runs and runs of up to 200 bytes, values around 0xC0 among them.
TEST(EncodePcxLine, EqualsTheStepwiseRunCountOnRandomRows) {
  EXPECT_EQ(Encoded({}), Bytes{});
  std::mt19937 rng(5);
  for (int i = 0; i < 2000; ++i) {
    Bytes row;
    const std::size_t runs = 1 + rng() % 12;
    for (std::size_t r = 0; r < runs; ++r) {
      const std::size_t length = rng() % 4 == 0 ? 1 + rng() % 200 : 1 + rng() % 3;
      row.insert(row.end(), length,
                 static_cast<unsigned char>(rng() % 2 ? 190 + rng() % 4 : rng()));
    }
    ASSERT_EQ(Encoded(row), StepwiseEncoding(row)) << i;
  }
  // Noise of eight values, as the detail codes of a noisy picture are (mostly runs of one
  // and two), and of eight values around 0xC0.
  for (int i = 0; i < 1000; ++i) {
    Bytes row(1 + rng() % 300);
    for (auto& b : row) b = static_cast<unsigned char>((i % 2 ? 0 : 186) + rng() % 8);
    ASSERT_EQ(Encoded(row), StepwiseEncoding(row)) << i;
  }
}

// A whole file: the header with the given sizes (x and y maximum, width and height) and
// bytes per line, the rows, and the grey palette.
Bytes PcxFile(const Bytes& sizes, const Bytes& line_bytes, const Bytes& rows) {
  Bytes f = {0x0A, 0x05, 0x01, 0x08, 0x00, 0x00, 0x00, 0x00};
  f.insert(f.end(), sizes.begin(), sizes.end());
  for (int i = 0; i < 16; ++i) f.insert(f.end(), {0x25, 0x4D, 0x25});
  f.insert(f.end(), {0x00, 0x01, line_bytes[0], line_bytes[1], 0x01, 0x00, 0x0C, 0x00, 0x0A, 0x00});
  f.resize(128, 0);
  f.insert(f.end(), rows.begin(), rows.end());
  f.push_back(0x0C);
  for (int i = 0; i < 256; ++i) f.insert(f.end(), 3, static_cast<unsigned char>(i));
  return f;
}

TEST(WritePcx, HeaderRowsAndGreyPaletteReplaceALongerFile) {
  testing::MemoryFileSystem fs;
  fs.Put("map.pcx", Bytes(5'000'000, 0xEE));
  ByteGrid grid(1024, 1024);
  for (auto& b : grid.Row(0)) b = 3;
  grid.Row(1023)[0] = 200;
  ASSERT_TRUE(WritePcx(fs, "map.pcx", grid));
  Bytes rows;
  for (int y = 0; y < 1024; ++y) {
    const unsigned char value = y == 0 ? 3 : 0, last = y == 1023 ? 0xCF : 0xD0;
    if (y == 1023) rows.insert(rows.end(), {0xC1, 0xC8});  // 200, then 1023 zeros
    for (int r = 0; r < 16; ++r) rows.insert(rows.end(), {0xFF, value});
    rows.insert(rows.end(), {last, value});  // 1024 = 16 x 63 + 16, 1023 = 16 x 63 + 15
  }
  EXPECT_EQ(*fs.Get("map.pcx"),
            PcxFile({0xFF, 0x03, 0xFF, 0x03, 0x00, 0x04, 0x00, 0x04}, {0x00, 0x04}, rows));

  // One pixel wide: one run per row.
  ByteGrid column(1, 3);
  column.Row(0)[0] = 4;
  column.Row(1)[0] = 220;
  ASSERT_TRUE(WritePcx(fs, "a.pcx", column));
  EXPECT_EQ(*fs.Get("a.pcx"), PcxFile({0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x03, 0x00},
                                      {0x01, 0x00}, {0x04, 0xC1, 0xDC, 0x00}));
}

TEST(WritePcx, OversizeGridAndUnwritableTargetFail) {
  testing::MemoryFileSystem fs;
  EXPECT_EQ(WritePcx(fs, "a.pcx", ByteGrid(32768, 1)).failure(),
            (Failure{err::kOverflow,
                     "Overflow: a PCX picture is at most 32767 pixels wide and high, this one "
                     "is 32768 x 1"}));
  EXPECT_FALSE(fs.Exists("a.pcx"));
  ASSERT_TRUE(fs.MakeDirectory("dir"));
  EXPECT_EQ(WritePcx(fs, "dir", ByteGrid(2, 2)).failure().code, err::kPathFileAccessError);
}

}  // namespace
}  // namespace dfm
