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
  PutPcxRun(5, 1, out);
  PutPcxRun(191, 1, out);
  PutPcxRun(192, 1, out);
  PutPcxRun(200, 1, out);
  PutPcxRun(5, 2, out);
  PutPcxRun(9, 0, out);
  PutPcxRun(0, 63, out);
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
}

Bytes ExpectedHeader1024() {
  Bytes h = {0x0A, 0x05, 0x01, 0x08, 0x00, 0x00, 0x00, 0x00,
             0xFF, 0x03, 0xFF, 0x03, 0x00, 0x04, 0x00, 0x04};
  for (int i = 0; i < 16; ++i) h.insert(h.end(), {0x25, 0x4D, 0x25});
  h.insert(h.end(), {0x00, 0x01, 0x00, 0x04, 0x01, 0x00, 0x0C, 0x00, 0x0A, 0x00});
  h.resize(128, 0);
  return h;
}

TEST(WritePcx, HeaderRowsAndGreyPaletteReplaceALongerFile) {
  testing::MemoryFileSystem fs;
  fs.Put("map.pcx", Bytes(5'000'000, 0xEE));
  ByteGrid grid(1024, 1024);
  for (auto& b : grid.Row(0)) b = 3;
  grid.Row(1023)[0] = 200;
  ASSERT_TRUE(WritePcx(fs, "map.pcx", grid));

  Bytes expected = ExpectedHeader1024();
  for (int r = 0; r < 16; ++r) expected.insert(expected.end(), {0xFF, 0x03});
  expected.insert(expected.end(), {0xD0, 0x03});  // 1024 = 16 x 63 + 16
  Bytes zero_row;
  for (int r = 0; r < 16; ++r) zero_row.insert(zero_row.end(), {0xFF, 0x00});
  zero_row.insert(zero_row.end(), {0xD0, 0x00});
  for (int y = 1; y < 1023; ++y) expected.insert(expected.end(), zero_row.begin(), zero_row.end());
  expected.insert(expected.end(), {0xC1, 0xC8});
  for (int r = 0; r < 16; ++r) expected.insert(expected.end(), {0xFF, 0x00});
  expected.insert(expected.end(), {0xCF, 0x00});  // 1023 zeros after the first byte
  expected.push_back(0x0C);
  for (int i = 0; i < 256; ++i) expected.insert(expected.end(), 3, static_cast<unsigned char>(i));
  EXPECT_EQ(*fs.Get("map.pcx"), expected);
}

TEST(WritePcx, OnePixelWideGridIsOneRunPerRow) {
  testing::MemoryFileSystem fs;
  ByteGrid grid(1, 3);
  grid.Row(0)[0] = 4;
  grid.Row(1)[0] = 220;
  grid.Row(2)[0] = 0;
  ASSERT_TRUE(WritePcx(fs, "a.pcx", grid));
  const Bytes file = *fs.Get("a.pcx");
  ASSERT_EQ(file.size(), 128u + 4 + 769);
  EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 16),
            (Bytes{0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x03, 0x00}));
  EXPECT_EQ(Bytes(file.begin() + 66, file.begin() + 68), (Bytes{0x01, 0x00}));
  EXPECT_EQ(Bytes(file.begin() + 128, file.begin() + 132), (Bytes{0x04, 0xC1, 0xDC, 0x00}));
  EXPECT_EQ(Bytes(file.end() - 3, file.end()), (Bytes{0xFF, 0xFF, 0xFF}));
}

TEST(WritePcx, OversizeGridAndUnwritableTargetFail) {
  testing::MemoryFileSystem fs;
  auto st = WritePcx(fs, "a.pcx", ByteGrid(32768, 1));
  ASSERT_FALSE(st);
  EXPECT_EQ(st.failure(), (Failure{err::kOverflow,
                                   "Overflow: a PCX picture is at most 32767 pixels wide and "
                                   "high, this one is 32768 x 1"}));
  EXPECT_FALSE(fs.Exists("a.pcx"));

  ASSERT_TRUE(fs.MakeDirectory("dir"));
  st = WritePcx(fs, "dir", ByteGrid(2, 2));
  ASSERT_FALSE(st);
  EXPECT_EQ(st.failure().code, err::kPathFileAccessError);
}

}  // namespace
}  // namespace dfm
