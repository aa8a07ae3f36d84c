#include "image/tga.h"

#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/jpeg_samples.h"
#include "support/memory_file_system.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingDialogs;

Bytes Trailer() {
  Bytes t = {0x08, 0x00, 0x2E, 0x00, 0x00};
  const std::string text = "Image Created With Kyv Obrik's Image Module!";
  t.insert(t.end(), text.begin(), text.end());
  t.push_back(0x00);
  return t;
}

// The header of an uncompressed 24-bit picture of `width` x `height`.
Bytes Header(int width, int height) {
  const auto lo = [](int v) { return static_cast<unsigned char>(v & 0xFF); };
  const auto hi = [](int v) { return static_cast<unsigned char>((v >> 8) & 0xFF); };
  return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, lo(width), hi(width), lo(height), hi(height), 24, 0};
}

Bytes Tga(Bytes header, const Bytes& pixels) {
  header.insert(header.end(), pixels.begin(), pixels.end());
  const Bytes t = Trailer();
  header.insert(header.end(), t.begin(), t.end());
  return header;
}

// Sizes are written as given, as signed 16-bit numbers; an existing target of any size
// ends up as exactly the new file; a failure on the way leaves it as it was and no
// temporary file.
TEST(WriteTga, HeaderPixelsAndSignatureTrailerReplaceTheTarget) {
  MemoryFileSystem fs;
  const Bytes pixels = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(WriteTga(fs, "a.tga", pixels, 2, 1));
  EXPECT_EQ(*fs.Get("a.tga"), Tga(Header(2, 1), pixels));
  ASSERT_TRUE(WriteTga(fs, "b.tga", {}, -2, 300));
  EXPECT_EQ(*fs.Get("b.tga"),
            Tga({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0x2C, 0x01, 24, 0}, {}));

  const Bytes nines = {9, 9, 9};
  const Bytes expected = Tga(Header(1, 1), nines);
  for (std::size_t old_size : {2u, 3u, 10u, 500u}) {
    fs.Put("t.tga", Bytes(old_size, 0xEE));
    ASSERT_TRUE(WriteTga(fs, "t.tga", nines, 1, 1));
    EXPECT_EQ(*fs.Get("t.tga"), expected) << old_size;
  }

  const Failure full{err::kDiskFull, "Disk full (injected)"};
  for (const char* op : {"open", "write", "close", "replace"}) {
    MemoryFileSystem memory;
    testing::FaultyFileSystem faulty(memory);
    memory.Put("t.tga", Bytes(10, 0xEE));
    faulty.Fail({op, "t.tga", std::string(op) == "write" ? 1 : 0, -1, full});
    EXPECT_EQ(WriteTga(faulty, "t.tga", Bytes{1, 2, 3}, 1, 1).failure(), full) << op;
    EXPECT_EQ(*memory.Get("t.tga"), Bytes(10, 0xEE)) << op;
    EXPECT_FALSE(memory.Exists("t.tga.~dfm")) << op;
  }
}

// Pictures of even and odd widths (rows of the section padded), each sampling, grey and
// progressive: the header, the reference decoder's pixels bottom row first as BGR (grey
// as three equal bytes) without padding, and the trailer.
TEST(ConvertJpgToTga, PixelsEqualTheReferenceDecoderBottomRowFirst) {
  const int samples[][4] = {
      {1024, 1024, TJSAMP_420, 0}, {5, 2, TJSAMP_420, 0},
      {37, 23, TJSAMP_422, 0},     {37, 23, TJSAMP_444, 0},
      {64, 33, TJSAMP_GRAY, 0},    {50, 41, TJSAMP_420, TJFLAG_PROGRESSIVE},
      {22000, 3, TJSAMP_420, 0},  // rows longer than a strip: one row at a time
  };
  testing::TempDir dir;
  auto fs = MakeHostFileSystem();
  RecordingDialogs dialogs;
  for (const auto& [width, height, subsampling, flags] : samples) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " sampling " +
                 std::to_string(subsampling));
    const std::string path = dir / "in.jpg";
    ASSERT_TRUE(WriteWholeFile(*fs, path, testing::SampleJpeg(width, height, subsampling, flags)));
    int channels = 0;
    auto reference = testing::DecodeWithDjpeg(path, &channels);
    if (!reference) GTEST_SKIP() << "djpeg is not available";
    ASSERT_EQ(channels, subsampling == TJSAMP_GRAY ? 1 : 3);
    Bytes pixels;
    for (int y = height - 1; y >= 0; --y) {
      for (int x = 0; x < width; ++x) {
        const unsigned char* p = reference->data() + (std::size_t(y) * width + x) * channels;
        pixels.insert(pixels.end(), {p[channels - 1], p[channels / 2], p[0]});
      }
    }
    ASSERT_TRUE(ConvertJpgToTga(*fs, dialogs, path, dir / "out.tga"));
    EXPECT_TRUE(*ReadWholeFile(*fs, dir / "out.tga") == Tga(Header(width, height), pixels));
  }
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace dfm
