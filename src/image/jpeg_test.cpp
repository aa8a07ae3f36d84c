#include "image/jpeg.h"

#include <gtest/gtest.h>

#include <tuple>

#include "image/tga.h"
#include "support/fakes.h"
#include "support/jpeg_samples.h"
#include "support/memory_file_system.h"

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

// Each failure point shows its message (or none, when the picture has no pixels) and
// releases the library once it was initialised; a picture too large for memory is an
// overflow.
TEST(ReadJpeg, StepsInOrderAndEachFailurePoint) {
  struct Case {
    int init, params, image;
    std::int32_t width, channels;
    Calls calls;
    std::vector<std::string> messages;
    bool created;
  };
  const Calls all = {"init", "params x.jpg", "image", "free"};
  const Case cases[] = {
      {-1, 0, 0, 5, 3, {"init"}, {"Failed to initialise the IJL library: -1"}, false},
      {0, -3, 0, 5, 3, {"init", "params x.jpg", "free"}, {"Failed to read JPG"}, false},
      {0, 0, 0, 0, 3, {"init", "params x.jpg", "free"}, {}, false},  // Create fails
      {0, 0, -5, 5, 3, all, {"Cannot read Image Data from file."}, true},
      {0, 0, 0, 5, 3, all, {}, true},
      {0, 0, 0, 5, 1, all, {}, true},  // grey
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.calls.size());
    ScriptedLibrary lib;
    lib.init_status = c.init;
    lib.params_status = c.params;
    lib.image_status = c.image;
    lib.width = c.width;
    lib.channels = c.channels;
    RecordingDialogs dialogs;
    DibSection dib;
    auto r = ReadJpeg(lib, dialogs, dib, "x.jpg");
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, c.messages.empty() && c.created);
    EXPECT_EQ(lib.calls, c.calls);
    EXPECT_EQ(dialogs.Texts(), c.messages);
    for (const auto& box : dialogs.boxes)
      EXPECT_EQ(std::tuple(box.title, box.buttons, box.icon),
                std::tuple("", MsgButtons::kOk, MsgIcon::kExclamation));
    EXPECT_EQ(dib.DIBSectionBitsPtr() != nullptr, c.created);
    if (!*r) continue;
    // The target as described to the library: 5 x 2, top row first, one pad byte a row.
    const JpegProperties& s = lib.seen;
    EXPECT_EQ(std::tuple(s.jpg_color, s.dib_width, s.dib_height, s.dib_pad_bytes, s.dib_channels,
                         s.dib_color, s.dib_bytes.data(), s.dib_bytes.size()),
              std::tuple(c.channels == 1 ? JpegColor::kGrey : JpegColor::kYCbCr, 5, -2, 1, 3,
                         JpegColor::kBgr, dib.DIBSectionBitsPtr(), std::size_t{32}));
  }
  ScriptedLibrary lib;
  lib.width = lib.height = 65535;
  RecordingDialogs dialogs;
  DibSection dib;
  EXPECT_EQ(ReadJpeg(lib, dialogs, dib, "big.jpg").failure().code, err::kOverflow);
  EXPECT_EQ(lib.calls, (Calls{"init", "params big.jpg", "free"}));
}

TEST(ReadJpeg, PadBytesAreNotWritten) {
  testing::MemoryFileSystem fs;
  fs.Put("in.jpg", testing::SampleJpeg(5, 3));
  DibSection dib;
  ASSERT_TRUE(*dib.Create(5, 3));
  std::fill_n(dib.DIBSectionBitsPtr(), 48, 0x77);  // Create inside ReadJpeg zero-fills
  auto lib = MakeLibJpegLibrary(fs);
  JpegProperties props;
  ASSERT_EQ(lib->Init(props), 0);
  props.jpg_file = "in.jpg";
  ASSERT_EQ(lib->Read(props, JpegReadMode::kReadParams), 0);
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

// Files the reader cannot open or decode show its message and fail the conversion without
// touching the target; the failure tells whether a picture was made (only data that fails
// after the header makes one): text, an empty or missing file, CMYK, data that ends early,
// and 1,501 bytes that claim 20,000 x 32,767 pixels, refused before any memory is taken.
TEST(ConvertJpgToTga, UnreadableFilesAndUndecodableDataWriteNothing) {
  testing::MemoryFileSystem fs;
  fs.Put("text.jpg", "this is not a picture");
  fs.Put("empty.jpg", "");
  fs.Put("cmyk.jpg", testing::EncodeJpeg(Bytes(8 * 8 * 4, 0x40), 8, 8, TJPF_CMYK, TJSAMP_444));
  const Bytes jpeg = testing::SampleJpeg(64, 64);
  fs.Put("cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2)));
  const Bytes tall = testing::SampleJpeg(1024, 96);  // fails after strips were written
  fs.Put("cut-late.jpg", Bytes(tall.begin(), tall.end() - static_cast<long>(tall.size() / 4)));
  Bytes huge(jpeg.begin(), jpeg.begin() + 1501);
  std::size_t sof = 2;
  while (!(huge[sof] == 0xFF && huge[sof + 1] == 0xC0)) ++sof;
  const unsigned char size[] = {0x7F, 0xFF, 0x4E, 0x20};  // height, width
  std::copy(std::begin(size), std::end(size), huge.begin() + static_cast<long>(sof + 5));
  fs.Put("huge.jpg", huge);
  fs.Put("old.tga", "keep");
  const std::string unread = "Failed to read JPG", bad_data = "Cannot read Image Data from file.";
  const std::pair<std::string, std::string> cases[] = {
      {"text.jpg", unread},  {"empty.jpg", unread},     {"missing.jpg", unread},
      {"", unread},          {"huge.jpg", unread},      {"cmyk.jpg", bad_data},
      {"cut.jpg", bad_data}, {"cut-late.jpg", bad_data}};
  for (const auto& [file, message] : cases) {
    const Failure failure =
        message == unread ? Failure{err::kOverflow, "Overflow: no picture was decoded from " + file}
                          : Failure{err::kInvalidFileFormat,
                                    "Invalid file format: cannot read the image data of " + file};
    for (const std::string target : {"new.tga", "old.tga"}) {
      RecordingDialogs dialogs;
      EXPECT_EQ(ConvertJpgToTga(fs, dialogs, file, target).failure(), failure);
      EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{message}) << file;
    }
  }
  EXPECT_FALSE(fs.Exists("new.tga") || fs.Exists("new.tga.~dfm") || fs.Exists("old.tga.~dfm"));
  EXPECT_EQ(*fs.Get("old.tga"), (Bytes{'k', 'e', 'e', 'p'}));
}

// The TGA header holds 16-bit sizes: larger pictures overflow before anything is written.
TEST(ConvertJpgToTga, PicturesBeyond32767PixelsOverflowBeforeWriting) {
  testing::MemoryFileSystem fs;
  RecordingDialogs dialogs;
  const std::tuple<int, int, std::string> cases[] = {
      {32768, 1, "wide, x.jpg is 32768"}, {1, 32768, "high, x.jpg is 32768"}, {32767, 2, ""}};
  for (const auto& [width, height, message] : cases) {
    ScriptedLibrary lib;
    lib.width = width;
    lib.height = height;
    auto st = ConvertJpgToTga(lib, fs, dialogs, "x.jpg", "out.tga");
    if (message.empty()) break;
    EXPECT_EQ(
        st.failure(),
        (Failure{err::kOverflow, "Overflow: a TGA picture is at most 32767 pixels " + message}));
    EXPECT_FALSE(fs.Exists("out.tga"));
  }
  EXPECT_EQ(fs.Get("out.tga").value_or(Bytes{}).size(), 18u + 3 * 32767 * 2 + 50);
}

}  // namespace
}  // namespace dfm
