// The image commands in whole runs.
#include "script/image_commands.h"

#include <gtest/gtest.h>

#include "support/install_fixture.h"
#include "support/jpeg_samples.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;

using ImageCommandsTest = testing::InstallFixture;

// A conversion block as mods ship it, then conversions that fail (a TGA is no JPEG) as a
// step of their line, without a file left behind for the detail map to find.
TEST_F(ImageCommandsTest, ConversionBlockWritesTheTgaAndItsDetailMapBesideTheInstaller) {
  const Bytes jpeg = testing::SampleJpeg(16, 8);
  program.Write("airstrip_c.jpg", std::string(jpeg.begin(), jpeg.end()));
  WriteControl(
      "Convert_Jpg_To_Tga airstrip_c.jpg airstrip_c.tga\r\nDelete airstrip_c.jpg\r\n"
      "Create_Detail_Map airstrip_c.tga airstrip_m.pcx\r\n"
      "Convert_Jpg_To_Tga airstrip_c.tga Kyv_DF3_Location\\x.tga\r\n"
      "Convert_Jpg_To_Tga airstrip_c.tga bad.tga\r\nCreate_Detail_Map bad.tga bad.pcx\r\n");
  window.ClickInstall();
  const auto failed = [this](int line, const std::string& target) {
    return "Error Occured In Line #" + std::to_string(line) +
           ", LineCode: \"Convert_Jpg_To_Tga airstrip_c.tga " + target +
           "\" Error: Overflow: no picture was decoded from " + program.str() +
           "airstrip_c.tga, #6";
  };
  EXPECT_EQ(Status(),
            Join({"Converting airstrip_c.jpg To airstrip_c.tga",
                  "Deleting Temporary File ( airstrip_c.jpg )",
                  "Creating Effect Detail Map For airstrip_c.tga ( airstrip_m.pcx )",
                  "Converting airstrip_c.tga To " + GameFolder() + "\\x.tga",
                  failed(4, "Kyv_DF3_Location\\x.tga"), "Converting airstrip_c.tga To bad.tga",
                  failed(5, "bad.tga"), "Creating Effect Detail Map For bad.tga ( bad.pcx )",
                  NotFound(program.str() + "bad.tga")},
                 Summary(3, 3)));
  EXPECT_EQ(Log(), LogOf(Status()));
  EXPECT_EQ(program.Read("airstrip_c.tga").size(), 18u + 16 * 8 * 3 + 26u + 24u);
  EXPECT_TRUE(program.Exists("airstrip_m.pcx"));
  EXPECT_FALSE(program.Exists("airstrip_c.jpg"));
  EXPECT_FALSE(program.Exists("bad.tga"));
  EXPECT_FALSE(program.Exists("bad.pcx"));
  EXPECT_FALSE(game.Exists("x.tga"));
}

}  // namespace
}  // namespace dfm
