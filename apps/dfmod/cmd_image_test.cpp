#include <gtest/gtest.h>

#include <sstream>

#include "dfmod/cli.h"
#include "dfmod/cli_dialogs.h"
#include "support/cli_run.h"
#include "support/jpeg_samples.h"
#include "support/temp_dir.h"

namespace dfm::cli {
namespace {

using CliRun = dfm::testing::CliOutcome;

CliRun Image(const Args& args) {
  return dfm::testing::RunCli(Main, args);
}

TEST(ImageCommand, ConvertsAJpegAndMakesItsDetailMap) {
  testing::TempDir dir;
  const Bytes jpg = testing::SampleJpeg(16, 8);
  dir.Write("in.jpg", std::string(jpg.begin(), jpg.end()));
  CliRun r = Image({"image", "jpg2tga", dir / "in.jpg", dir / "out.tga"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.Read("out.tga").size(), 18u + 16 * 8 * 3 + 50);

  r = Image({"image", "detailmap", dir / "out.tga", dir / "out.pcx"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.err, "");
  const std::string pcx = dir.Read("out.pcx");
  ASSERT_GT(pcx.size(), 128u + 769);
  EXPECT_EQ(pcx.substr(0, 4), std::string("\x0A\x05\x01\x08", 4));
}

TEST(ImageCommand, FailuresExitOneWithTheMessage) {
  testing::TempDir dir;
  dir.Write("bad.jpg", "no picture here");
  CliRun r = Image({"image", "jpg2tga", dir / "bad.jpg", dir / "out.tga"});
  EXPECT_EQ(r.code, kExitFindings);
  EXPECT_EQ(
      r.err,
      "[dfmod] Failed to read JPG\ndfmod: image jpg2tga: Overflow: no picture was decoded from " +
          (dir / "bad.jpg") + " (error 6)\n");
  EXPECT_FALSE(dir.Exists("out.tga"));

  dir.Write("bad.tga", std::string(18, '\0'));
  r = Image({"image", "detailmap", dir / "bad.tga", dir / "out.pcx"});
  EXPECT_EQ(r.code, kExitFindings);
  EXPECT_EQ(r.err, "dfmod: image detailmap: Invalid file format: " + (dir / "bad.tga") +
                       " gives a picture of 0 x 0 pixels (error 321)\n");
}

}  // namespace
}  // namespace dfm::cli
