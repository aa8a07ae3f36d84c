#include <gtest/gtest.h>

#include "dfmod/cli.h"
#include "support/cli_run.h"
#include "support/jpeg_samples.h"
#include "support/temp_dir.h"

namespace dfm::cli {
namespace {

// A JPEG becomes a TGA and that a detail map; unreadable pictures exit 1 with the message.
TEST(ImageCommand, ConvertsOrSaysWhyNot) {
  testing::TempDir dir;
  const Bytes jpg = testing::SampleJpeg(16, 8);
  dir.Write("in.jpg", std::string(jpg.begin(), jpg.end()));
  dir.Write("bad.jpg", "no picture here");
  dir.Write("bad.tga", std::string(18, '\0'));
  const std::pair<Args, std::string> rows[] = {
      {{"jpg2tga", "in.jpg", "out.tga"}, ""},
      {{"detailmap", "out.tga", "out.pcx"}, ""},
      {{"jpg2tga", "bad.jpg", "bad.tga"},
       "[dfmod] Failed to read JPG\ndfmod: image jpg2tga: Overflow: no picture was decoded from " +
           (dir / "bad.jpg") + " (error 6)\n"},
      {{"detailmap", "bad.tga", "bad.pcx"},
       "dfmod: image detailmap: Invalid file format: " + (dir / "bad.tga") +
           " gives a picture of 0 x 0 pixels (error 321)\n"},
  };
  for (const auto& [args, err] : rows) {
    auto r = testing::RunCli(Main, {"image", args[0], dir / args[1], dir / args[2]});
    EXPECT_EQ(r.code, err.empty() ? kExitOk : kExitFindings);
    EXPECT_EQ(r.err, err);
  }
  EXPECT_EQ(dir.Read("out.tga").size(), 18u + 16 * 8 * 3 + 50);
  EXPECT_EQ(dir.Read("out.pcx").substr(0, 4), std::string("\x0A\x05\x01\x08", 4));
  EXPECT_GT(dir.Read("out.pcx").size(), 128u + 769);
  EXPECT_EQ(dir.Read("bad.tga"), std::string(18, '\0'));  // the failed conversion wrote nothing
  EXPECT_FALSE(dir.Exists("bad.pcx"));
}

}  // namespace
}  // namespace dfm::cli
