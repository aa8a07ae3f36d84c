#include "image/tga.h"

#include <gtest/gtest.h>

#include "image/jpeg.h"
#include "support/fakes.h"
#include "support/jpeg_samples.h"
#include "support/memory_file_system.h"

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

Bytes Tga(Bytes header, const Bytes& pixels) {
  header.insert(header.end(), pixels.begin(), pixels.end());
  const Bytes t = Trailer();
  header.insert(header.end(), t.begin(), t.end());
  return header;
}

TEST(WriteTga, HeaderPixelsAndSignatureTrailer) {
  MemoryFileSystem fs;
  const Bytes pixels = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(WriteTga(fs, "a.tga", pixels, 2, 1));
  EXPECT_EQ(*fs.Get("a.tga"), Tga({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0}, pixels));

  // Sizes are written as given, as signed 16-bit numbers.
  ASSERT_TRUE(WriteTga(fs, "b.tga", {}, -2, 300));
  EXPECT_EQ(*fs.Get("b.tga"),
            Tga({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0x2C, 0x01, 24, 0}, {}));
}

TEST(WriteTga, ExistingTargetsOfTwoAndTenBytesEndUpAsExactlyTheNewFile) {
  MemoryFileSystem fs;
  const Bytes pixels = {9, 9, 9};
  const Bytes expected = Tga({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0}, pixels);
  for (std::size_t old_size : {2u, 3u, 10u, 500u}) {
    fs.Put("t.tga", Bytes(old_size, 0xEE));
    ASSERT_TRUE(WriteTga(fs, "t.tga", pixels, 1, 1));
    EXPECT_EQ(*fs.Get("t.tga"), expected) << old_size;
  }
}

TEST(WriteTga, AFailureOnTheWayLeavesTheTargetAsItWasAndNoTemporaryFile) {
  const Failure full{err::kDiskFull, "Disk full (injected)"};
  for (const char* op : {"open", "write", "close", "replace"}) {
    MemoryFileSystem memory;
    testing::FaultyFileSystem fs(memory);
    memory.Put("t.tga", Bytes(10, 0xEE));
    fs.Fail({op, "t.tga", std::string(op) == "write" ? 1 : 0, -1, full});
    auto st = WriteTga(fs, "t.tga", Bytes{1, 2, 3}, 1, 1);
    EXPECT_EQ(st.failure(), full) << op;
    EXPECT_EQ(*memory.Get("t.tga"), Bytes(10, 0xEE)) << op;
    EXPECT_FALSE(memory.Exists("t.tga.~dfm")) << op;
  }
}

// The section's rows without padding, bottom row first, as ReadJpeg decoded them.
Bytes DecodedPixels(FileSystem& fs, const std::string& jpg) {
  RecordingDialogs dialogs;
  CDibSection dib;
  EXPECT_TRUE(*ReadJpeg(fs, dialogs, dib, jpg));
  Bytes out;
  const unsigned char* p = dib.DIBSectionBitsPtr();
  for (int y = 0; y < dib.Height(); ++y, p += dib.BytesPerScanLine())
    out.insert(out.end(), p, p + 3 * dib.Width());
  return out;
}

// The pixels as ReadJpeg decoded them (bottom row first), without the section's padding.
TEST(ConvertJpgToTga, GivesHeaderPixelsBottomRowFirstWithoutPaddingAndTrailer) {
  for (const auto& [width, height] : {std::pair{1024, 1024}, {5, 2}}) {
    MemoryFileSystem fs;
    fs.Put("in.jpg", testing::SampleJpeg(width, height, TJSAMP_444));
    RecordingDialogs dialogs;
    ASSERT_TRUE(ConvertJpgToTga(fs, dialogs, "in.jpg", "out.tga"));
    EXPECT_TRUE(dialogs.boxes.empty());
    const Bytes tga = *fs.Get("out.tga");
    ASSERT_EQ(tga.size(), 18u + 3 * width * height + 50);
    EXPECT_EQ(Bytes(tga.begin(), tga.begin() + 18),
              (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(width),
                     static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(height),
                     static_cast<unsigned char>(height >> 8), 0x18, 0x00}));
    EXPECT_EQ(Bytes(tga.end() - 50, tga.end()), Trailer());
    EXPECT_TRUE(Bytes(tga.begin() + 18, tga.end() - 50) == DecodedPixels(fs, "in.jpg"));
  }
}

TEST(ConvertJpgToTga, GreyscalePictureArrivesAsThreeEqualBytes) {
  MemoryFileSystem fs;
  Bytes grey = {0, 40, 80, 120, 160, 200, 240, 255};
  fs.Put("g.jpg", testing::EncodeJpeg(grey, 8, 1, TJPF_GRAY, TJSAMP_GRAY, 100));
  RecordingDialogs dialogs;
  ASSERT_TRUE(ConvertJpgToTga(fs, dialogs, "g.jpg", "g.tga"));
  const Bytes tga = *fs.Get("g.tga");
  ASSERT_EQ(tga.size(), 18u + 24 + 50);
  for (std::size_t i = 18; i < 42; i += 3) {
    EXPECT_EQ(tga[i], tga[i + 1]);
    EXPECT_EQ(tga[i], tga[i + 2]);
    EXPECT_NEAR(tga[i], grey[(i - 18) / 3], 2);
  }
}

TEST(ConvertJpgToTga, FailedDecodeWritesNothingAndFails) {
  MemoryFileSystem fs;
  fs.Put("text.jpg", "not a picture");
  Bytes cmyk(8 * 8 * 4, 0x40);
  fs.Put("cmyk.jpg", testing::EncodeJpeg(cmyk, 8, 8, TJPF_CMYK, TJSAMP_444));
  fs.Put("old.tga", "0123456789");
  auto check = [&fs](const std::string& source, const Failure& failure,
                     const std::string& message) {
    for (const std::string target : {"new.tga", "old.tga"}) {
      RecordingDialogs dialogs;
      auto st = ConvertJpgToTga(fs, dialogs, source, target);
      ASSERT_FALSE(st);
      EXPECT_EQ(st.failure(), failure);
      EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{message});
    }
    EXPECT_FALSE(fs.Exists("new.tga"));
    EXPECT_EQ(*fs.Get("old.tga"), Bytes({'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}));
  };
  check("text.jpg", {err::kOverflow, "Overflow: no picture was decoded from text.jpg"},
        "Failed to read JPG");
  check("cmyk.jpg",
        {err::kInvalidFileFormat, "Invalid file format: cannot read the image data of cmyk.jpg"},
        "Cannot read Image Data from file.");
}

// A library that claims a picture of the given size and decodes nothing into it.
class SizeOnlyLibrary : public JpegLibrary {
 public:
  SizeOnlyLibrary(std::int32_t w, std::int32_t h) : w_(w), h_(h) {}
  int Init(JpegProperties&) override { return 0; }
  int Read(JpegProperties& p, JpegReadMode mode) override {
    if (mode == JpegReadMode::kReadParams) {
      p.jpg_width = w_;
      p.jpg_height = h_;
      p.jpg_channels = 3;
    }
    return 0;
  }
  int Free(JpegProperties&) override { return 0; }

 private:
  std::int32_t w_, h_;
};

TEST(ConvertJpgToTga, PicturesBeyond32767PixelsOverflowBeforeWriting) {
  MemoryFileSystem fs;
  RecordingDialogs dialogs;
  SizeOnlyLibrary wide(32768, 1), high(1, 32768), largest(32767, 2);
  auto st = ConvertJpgToTga(wide, fs, dialogs, "w.jpg", "out.tga");
  ASSERT_FALSE(st);
  EXPECT_EQ(st.failure(), (Failure{err::kOverflow,
                                   "Overflow: a TGA picture is at most 32767 "
                                   "pixels wide, w.jpg is 32768"}));
  st = ConvertJpgToTga(high, fs, dialogs, "h.jpg", "out.tga");
  ASSERT_FALSE(st);
  EXPECT_EQ(st.failure(), (Failure{err::kOverflow,
                                   "Overflow: a TGA picture is at most 32767 "
                                   "pixels high, h.jpg is 32768"}));
  EXPECT_FALSE(fs.Exists("out.tga"));
  ASSERT_TRUE(ConvertJpgToTga(largest, fs, dialogs, "l.jpg", "out.tga"));
  EXPECT_EQ(fs.Get("out.tga")->size(), 18u + 3 * 32767 * 2 + 50);
}

}  // namespace
}  // namespace dfm
