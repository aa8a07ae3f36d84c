#include "image/detail_map.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "image/detail_classify.h"
#include "image/tga.h"
#include "support/detail_map_reference.h"
#include "support/fakes.h"
#include "support/memory_file_system.h"

namespace dfm {
namespace {

int Index(int red, int green, int blue) {
  return NearestPaletteIndex({static_cast<unsigned char>(blue), static_cast<unsigned char>(green),
                              static_cast<unsigned char>(red)},
                             kDetailPalette);
}

TEST(NearestPaletteIndex, NearestBySumOfChannelDifferencesTiesToTheLowerIndex) {
  // Red, green, blue and the index; (48, 34, 34) is 24 from entries 4 and 12.
  const int cases[][4] = {{217, 201, 179, 1},  {113, 123, 133, 20}, {0, 0, 0, 12},
                          {255, 255, 255, 13}, {128, 128, 128, 20}, {100, 100, 100, 19},
                          {48, 34, 34, 4}};
  for (const auto& c : cases) EXPECT_EQ(Index(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1];
  for (const auto& c : testing::kReferenceColours) {
    const int i = Index(c.red, c.green, c.blue);
    EXPECT_EQ(kDetailPalette[static_cast<std::size_t>(i - 1)].code, c.code);
  }
}

PixelGrid RandomPicture(int width, int height, unsigned seed) {
  PixelGrid g(width, height);
  std::mt19937 rng(seed);
  for (auto& b : g.bytes()) b = static_cast<unsigned char>(rng());
  return g;
}

// The codes of `pixels` on one classification path, upside down as BuildDetailCodes has them.
ByteGrid CodesOn(ClassifyPath path, const PixelGrid& pixels) {
  ByteGrid codes(pixels.width(), pixels.height());
  const auto row = 3 * static_cast<std::size_t>(pixels.width());
  for (std::int32_t y = 0; y < pixels.height(); ++y) {
    ClassifyRow(pixels.bytes().data() + row * static_cast<std::size_t>(y),
                static_cast<std::size_t>(pixels.width()), codes.Row(pixels.height() - 1 - y).data(),
                path);
  }
  return codes;
}

// Random pictures of widths around the 16- and 32-pixel blocks, and every colour with
// channels in steps of 3, far corners included: distances from the palette run from 0 past
// 300. Every path this processor has gives the reference's codes, and the detail map of
// each picture's TGA, made a strip of rows at a time (two strips at width 1000), is the
// PCX of the reference's codes.
TEST(BuildDetailCodes, EqualsThePerPixelReferenceOnEveryPath) {
  unsigned seed = 1;
  testing::MemoryFileSystem fs;
  std::vector<PixelGrid> pictures;
  for (int w : {1, 5, 15, 16, 17, 31, 32, 33, 63, 255, 256, 257, 1000}) {
    const PixelGrid& pixels = pictures.emplace_back(RandomPicture(w, 37, seed++));
    EXPECT_EQ(BuildDetailCodes(pixels), testing::ReferenceDetailCodes(pixels)) << "width " << w;
    ASSERT_TRUE(WriteTga(fs, "in.tga", pixels.bytes(), static_cast<std::int16_t>(w), 37));
    ASSERT_TRUE(CreateDetailMap(fs, "in.tga", "map.pcx"));
    ASSERT_TRUE(WritePcx(fs, "ref.pcx", testing::ReferenceDetailCodes(pixels)));
    EXPECT_TRUE(fs.Get("map.pcx") == fs.Get("ref.pcx")) << "width " << w;
  }
  PixelGrid& pixels = pictures.emplace_back(86 * 86, 86);
  std::size_t k = 0;
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 3)
      for (int b = 0; b < 256; b += 3) {
        pixels.bytes()[k++] = static_cast<unsigned char>(b);
        pixels.bytes()[k++] = static_cast<unsigned char>(g);
        pixels.bytes()[k++] = static_cast<unsigned char>(r);
      }
  const ByteGrid codes = BuildDetailCodes(pixels);
  EXPECT_EQ(std::set<unsigned char>(codes.cells().begin(), codes.cells().end()),
            (std::set<unsigned char>{1, 2, 3, 4, 5, 6, 8, 10}));
  for (ClassifyPath path : ClassifyPaths()) {
    for (const PixelGrid& picture : pictures) {
      EXPECT_EQ(CodesOn(path, picture), testing::ReferenceDetailCodes(picture))
          << "path " << static_cast<int>(path) << ", width " << picture.width();
    }
  }
}

// A missing source (the first row, no bytes), sizes below one and files shorter than their
// pixels fail before the target is touched.
TEST(CreateDetailMap, RefusesSizesBelowOneAndShortFilesBeforeTouchingTheTarget) {
  testing::MemoryFileSystem fs;
  fs.Put("old.pcx", "keep");
  auto tga = [](int w, int h, std::size_t pixel_bytes) {
    Bytes b(18 + pixel_bytes, 0);
    b[12] = static_cast<unsigned char>(w & 0xFF);
    b[13] = static_cast<unsigned char>((w >> 8) & 0xFF);
    b[14] = static_cast<unsigned char>(h & 0xFF);
    b[15] = static_cast<unsigned char>((h >> 8) & 0xFF);
    return b;
  };
  const std::string bad = "Invalid file format: in.tga ";
  const std::pair<Bytes, std::string> cases[] = {
      {{}, "File not found: in.tga"},
      {tga(0, 5, 0), bad + "gives a picture of 0 x 5 pixels"},
      {tga(4, -1, 0), bad + "gives a picture of 4 x -1 pixels"},
      {tga(32767, 32767, 0),
       bad + "holds 18 bytes, fewer than the 3221028885 of its 32767 x 32767 pixels"},
      {tga(2, 2, 11), bad + "holds 29 bytes, fewer than the 30 of its 2 x 2 pixels"},
      {Bytes(17, 1), bad + "is too short for a TGA header"},
  };
  for (const auto& [file, message] : cases) {
    if (!file.empty()) fs.Put("in.tga", file);
    EXPECT_EQ(CreateDetailMap(fs, "in.tga", "old.pcx").failure(),
              (Failure{file.empty() ? err::kFileNotFound : err::kInvalidFileFormat, message}));
    EXPECT_EQ(*fs.Get("old.pcx"), (Bytes{'k', 'e', 'e', 'p'}));
  }
  // The pixels are read a strip at a time: a read failing after the first strip (of 21 rows
  // at width 1000) leaves the target as it was.
  fs.Put("in.tga", tga(1000, 30, 3 * 1000 * 30));
  testing::FaultyFileSystem faulty(fs);
  faulty.Fail({"read", "in.tga", 2});
  EXPECT_EQ(CreateDetailMap(faulty, "in.tga", "old.pcx").failure(),
            (Failure{err::kDeviceIoError, "Device I/O error (injected)"}));
  EXPECT_EQ(*fs.Get("old.pcx"), (Bytes{'k', 'e', 'e', 'p'}));
  Bytes exact = tga(1, 2, 0);
  exact.insert(exact.end(), {1, 2, 3, 4, 5, 6});
  fs.Put("in.tga", exact);
  auto ok = ReadTgaPixels(fs, "in.tga");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->At(0, 1), (PixelBgr{4, 5, 6}));
}

TEST(CreateDetailMap, WritesTheMapOfATgaUpsideDown) {
  testing::MemoryFileSystem fs;
  // 5 x 2, bottom row first: the bottom-left pixel is (R, G, B) = (0, 0, 0), the
  // top-right one (255, 255, 255); everything else exactly entry 1.
  Bytes pixels;
  for (int i = 0; i < 10; ++i) pixels.insert(pixels.end(), {179, 201, 217});
  pixels[0] = pixels[1] = pixels[2] = 0;
  pixels[27] = pixels[28] = pixels[29] = 255;
  ASSERT_TRUE(WriteTga(fs, "in.tga", pixels, 5, 2));
  ASSERT_TRUE(CreateDetailMap(fs, "in.tga", "out.pcx"));
  const Bytes pcx = *fs.Get("out.pcx");
  ASSERT_EQ(pcx.size(), 128u + 6 + 769);
  // Top row: 5 5 5 5 3; bottom row: 2 5 5 5 5.
  EXPECT_EQ(Bytes(pcx.begin() + 128, pcx.begin() + 134),
            (Bytes{0xC4, 0x05, 0x03, 0x02, 0xC4, 0x05}));
}

}  // namespace
}  // namespace dfm
