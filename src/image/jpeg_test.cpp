#include "image/jpeg.h"

#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/jpeg_samples.h"
#include "support/memory_file_system.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::RecordingDialogs;

// A library that records each step and answers from its settings.
class ScriptedLibrary : public JpegLibrary {
 public:
  std::vector<std::string> calls;
  int init_status = 0, params_status = 0, image_status = 0;
  std::int32_t width = 5, height = 2, channels = 3;
  JpegProperties seen;  // the record as the whole-picture read got it

  int Init(JpegProperties&) override {
    calls.push_back("init");
    return init_status;
  }
  int Read(JpegProperties& p, JpegReadMode mode) override {
    if (mode == JpegReadMode::kReadParams) {
      calls.push_back("params " + p.jpg_file);
      p.jpg_width = width;
      p.jpg_height = height;
      p.jpg_channels = channels;
      return params_status;
    }
    calls.push_back("image");
    seen = p;
    for (auto& b : p.dib_bytes) b = 0xAB;
    return image_status;
  }
  int Free(JpegProperties&) override {
    calls.push_back("free");
    return 0;
  }
};

using Calls = std::vector<std::string>;

TEST(ReadJpeg, StepsInOrderAndTheTargetDescribedToTheLibrary) {
  ScriptedLibrary lib;
  RecordingDialogs dialogs;
  CDibSection dib;
  auto r = ReadJpeg(lib, dialogs, dib, "a.jpg");
  ASSERT_TRUE(r);
  EXPECT_TRUE(*r);
  EXPECT_EQ(lib.calls, (Calls{"init", "params a.jpg", "image", "free"}));
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(lib.seen.jpg_color, JpegColor::kYCbCr);
  EXPECT_EQ(lib.seen.dib_width, 5);
  EXPECT_EQ(lib.seen.dib_height, -2);
  EXPECT_EQ(lib.seen.dib_pad_bytes, 1);
  EXPECT_EQ(lib.seen.dib_channels, 3);
  EXPECT_EQ(lib.seen.dib_color, JpegColor::kBgr);
  EXPECT_EQ(lib.seen.dib_bytes.data(), dib.DIBSectionBitsPtr());
  EXPECT_EQ(lib.seen.dib_bytes.size(), 32u);

  lib.channels = 1;
  ASSERT_TRUE(ReadJpeg(lib, dialogs, dib, "g.jpg"));
  EXPECT_EQ(lib.seen.jpg_color, JpegColor::kGrey);
}

TEST(ReadJpeg, EachFailurePointShowsItsMessageAndReleasesAfterInitialising) {
  struct Case {
    int init, params, image;
    std::int32_t width;
    Calls calls;
    std::vector<std::string> messages;
    bool created;
  };
  const Case cases[] = {
      {-1, 0, 0, 5, {"init"}, {"Failed to initialise the IJL library: -1"}, false},
      {0, -3, 0, 5, {"init", "params x.jpg", "free"}, {"Failed to read JPG"}, false},
      {0, 0, 0, 0, {"init", "params x.jpg", "free"}, {}, false},  // Create fails
      {0,
       0,
       -5,
       5,
       {"init", "params x.jpg", "image", "free"},
       {"Cannot read Image Data from file."},
       true},
  };
  for (const auto& c : cases) {
    ScriptedLibrary lib;
    lib.init_status = c.init;
    lib.params_status = c.params;
    lib.image_status = c.image;
    lib.width = c.width;
    RecordingDialogs dialogs;
    CDibSection dib;
    auto r = ReadJpeg(lib, dialogs, dib, "x.jpg");
    ASSERT_TRUE(r);
    EXPECT_FALSE(*r);
    EXPECT_EQ(lib.calls, c.calls);
    EXPECT_EQ(dialogs.Texts(), c.messages);
    for (const auto& box : dialogs.boxes) {
      EXPECT_EQ(box.icon, MsgIcon::kExclamation);
      EXPECT_EQ(box.buttons, MsgButtons::kOk);
      EXPECT_EQ(box.title, "");
    }
    EXPECT_EQ(dib.DIBSectionBitsPtr() != nullptr, c.created);
  }
}

TEST(ReadJpeg, OversizePictureRaisesOverflowAndStillReleases) {
  ScriptedLibrary lib;
  lib.width = lib.height = 65535;
  RecordingDialogs dialogs;
  CDibSection dib;
  auto r = ReadJpeg(lib, dialogs, dib, "big.jpg");
  ASSERT_FALSE(r);
  EXPECT_EQ(r.failure().code, err::kOverflow);
  EXPECT_EQ(lib.calls, (Calls{"init", "params big.jpg", "free"}));
}

// Rows of the section, bottom row first, without padding, turned into the reference
// decoder's top-down RGB (or grey) order.
Bytes AsTopDown(CDibSection& dib, int channels) {
  std::span<unsigned char> v;
  const int w = dib.MapArray(v);
  const int h = dib.Height();
  Bytes out;
  for (int y = h - 1; y >= 0; --y) {
    const unsigned char* row = v.data() + static_cast<std::size_t>(y) * dib.BytesPerScanLine();
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = row + 3 * x;
      if (channels == 1) {
        EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
        out.push_back(p[0]);
      } else {
        out.insert(out.end(), {p[2], p[1], p[0]});
      }
    }
  }
  return out;
}

TEST(ReadJpeg, PixelsEqualTheReferenceDecoders) {
  struct Sample {
    int width, height, subsampling, flags;
  };
  const Sample samples[] = {
      {1024, 1024, TJSAMP_420, 0}, {5, 2, TJSAMP_420, 0},
      {37, 23, TJSAMP_422, 0},     {37, 23, TJSAMP_444, 0},
      {64, 33, TJSAMP_GRAY, 0},    {50, 41, TJSAMP_420, TJFLAG_PROGRESSIVE},
  };
  testing::TempDir dir;
  auto fs = MakeHostFileSystem();
  RecordingDialogs dialogs;
  for (const auto& s : samples) {
    SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height) + " sampling " +
                 std::to_string(s.subsampling));
    const std::string path = dir / "in.jpg";
    ASSERT_TRUE(
        WriteWholeFile(*fs, path, testing::SampleJpeg(s.width, s.height, s.subsampling, s.flags)));
    int channels = 0;
    auto reference = testing::DecodeWithDjpeg(path, &channels);
    if (!reference) GTEST_SKIP() << "djpeg is not available";
    CDibSection dib;
    auto r = ReadJpeg(*fs, dialogs, dib, path);
    ASSERT_TRUE(r && *r);
    EXPECT_EQ(dib.Width(), s.width);
    EXPECT_EQ(dib.Height(), s.height);
    EXPECT_EQ(channels, s.subsampling == TJSAMP_GRAY ? 1 : 3);
    EXPECT_TRUE(AsTopDown(dib, channels) == *reference);
  }
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST(ReadJpeg, PadBytesAreNotWritten) {
  testing::MemoryFileSystem fs;
  fs.Put("in.jpg", testing::SampleJpeg(5, 3));
  RecordingDialogs dialogs;
  CDibSection dib;
  ASSERT_TRUE(*dib.Create(5, 3));
  std::fill_n(dib.DIBSectionBitsPtr(), 48, 0x77);  // Create inside ReadJpeg zero-fills
  auto lib = MakeLibJpegLibrary(fs);
  JpegProperties props;
  ASSERT_EQ(lib->Init(props), 0);
  props.jpg_file = "in.jpg";
  ASSERT_EQ(lib->Read(props, JpegReadMode::kReadParams), 0);
  EXPECT_EQ(props.jpg_channels, 3);
  props.dib_width = 5;
  props.dib_height = -3;
  props.dib_pad_bytes = 1;
  std::span<unsigned char> v;
  dib.MapArray(v);
  props.dib_bytes = v;
  ASSERT_EQ(lib->Read(props, JpegReadMode::kReadWholeImage), 0);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(v[static_cast<std::size_t>(16 * y + 15)], 0x77);

  props.dib_bytes = v.first(46);  // the last row needs 15 bytes after 32
  EXPECT_EQ(lib->Read(props, JpegReadMode::kReadWholeImage), jpeg_status::kBadParameters);
  lib->Free(props);
}

TEST(ReadJpeg, UnreadableFilesAndUndecodableDataAreReported) {
  testing::MemoryFileSystem fs;
  fs.Put("text.jpg", "this is not a picture");
  fs.Put("empty.jpg", "");
  Bytes cmyk(8 * 8 * 4, 0x40);
  fs.Put("cmyk.jpg", testing::EncodeJpeg(cmyk, 8, 8, TJPF_CMYK, TJSAMP_444));
  // Data that ends early; and 1,501 bytes that claim 20,000 x 32,767 pixels, refused before
  // any picture memory is taken.
  const Bytes jpeg = testing::SampleJpeg(64, 64);
  fs.Put("cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2)));
  Bytes huge(jpeg.begin(), jpeg.begin() + 1501);
  std::size_t sof = 2;
  while (!(huge[sof] == 0xFF && huge[sof + 1] == 0xC0)) ++sof;
  const unsigned char size[] = {0x7F, 0xFF, 0x4E, 0x20};  // height, width
  std::copy(std::begin(size), std::end(size), huge.begin() + static_cast<long>(sof + 5));
  fs.Put("huge.jpg", huge);
  struct Case {
    std::string file;
    std::string message;
    bool created;
  };
  const Case cases[] = {
      {"text.jpg", "Failed to read JPG", false},
      {"empty.jpg", "Failed to read JPG", false},
      {"missing.jpg", "Failed to read JPG", false},
      {"", "Failed to read JPG", false},
      {"cmyk.jpg", "Cannot read Image Data from file.", true},
      {"cut.jpg", "Cannot read Image Data from file.", true},
      {"huge.jpg", "Failed to read JPG", false},
  };
  for (const auto& c : cases) {
    RecordingDialogs dialogs;
    CDibSection dib;
    auto r = ReadJpeg(fs, dialogs, dib, c.file);
    ASSERT_TRUE(r);
    EXPECT_FALSE(*r) << c.file;
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{c.message}) << c.file;
    EXPECT_EQ(dib.DIBSectionBitsPtr() != nullptr, c.created) << c.file;
  }
}

}  // namespace
}  // namespace dfm
