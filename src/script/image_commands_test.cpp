// The image commands in whole runs: a conversion block as mods ship it, a token target,
// and a failed conversion.
#include "script/image_commands.h"

#include <gtest/gtest.h>

#include "support/install_fixture.h"
#include "support/jpeg_samples.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;

class ImageCommandsTest : public testing::InstallFixture {
 protected:
  void WriteJpeg(const std::string& name) {
    Bytes jpeg = testing::SampleJpeg(16, 8);
    program.Write(name, std::string(jpeg.begin(), jpeg.end()));
  }
};

TEST_F(ImageCommandsTest, ConversionBlockWritesTheTgaAndItsDetailMapBesideTheInstaller) {
  WriteJpeg("airstrip_c.jpg");
  WriteControl(
      "Convert_Jpg_To_Tga airstrip_c.jpg airstrip_c.tga\r\nDelete airstrip_c.jpg\r\n"
      "Create_Detail_Map airstrip_c.tga airstrip_m.pcx\r\n"
      "Convert_Jpg_To_Tga airstrip_c.tga Kyv_DF3_Location\\x.tga\r\n");
  window.ClickInstall();
  ASSERT_EQ(Status().size(), 8u);
  EXPECT_EQ(Entries(Status().begin(), Status().begin() + 4),
            (Entries{"Converting airstrip_c.jpg To airstrip_c.tga",
                     "Deleting Temporary File ( airstrip_c.jpg )",
                     "Creating Effect Detail Map For airstrip_c.tga ( airstrip_m.pcx )",
                     "Converting airstrip_c.tga To " + GameFolder() + "\\x.tga"}));
  // A TGA is no JPEG: the last conversion fails as a step of its line.
  EXPECT_EQ(Status()[4].rfind("Error Occured In Line #4, LineCode: \"Convert_Jpg_To_Tga "
                              "airstrip_c.tga Kyv_DF3_Location\\x.tga\" Error: ",
                              0),
            0u);
  EXPECT_EQ(Status()[4].substr(Status()[4].size() - 4), ", #6");
  EXPECT_EQ(Entries(Status().end() - 3, Status().end()), Summary(3, 1));
  EXPECT_EQ(Log(), LogOf(Status()));
  EXPECT_EQ(program.Read("airstrip_c.tga").size(), 18u + 16 * 8 * 3 + 26u + 24u);
  EXPECT_TRUE(program.Exists("airstrip_m.pcx"));
  EXPECT_FALSE(program.Exists("airstrip_c.jpg"));
  EXPECT_FALSE(game.Exists("x.tga"));
}

TEST_F(ImageCommandsTest, DetailMapOfAFailedConversionFindsNoSource) {
  program.Write("bad.jpg", "not a picture");
  WriteControl("Convert_Jpg_To_Tga bad.jpg bad.tga\r\nCreate_Detail_Map bad.tga bad.pcx\r\n");
  window.ClickInstall();
  ASSERT_EQ(Status().size(), 7u);
  EXPECT_EQ(Status()[0], "Converting bad.jpg To bad.tga");
  EXPECT_EQ(Status()[1].rfind("Error Occured In Line #1, LineCode: \"Convert_Jpg_To_Tga bad.jpg "
                              "bad.tga\" Error: ",
                              0),
            0u);
  EXPECT_EQ(Status()[2], "Creating Effect Detail Map For bad.tga ( bad.pcx )");
  EXPECT_EQ(Status()[3], NotFound(program.str() + "bad.tga"));
  EXPECT_EQ(Entries(Status().end() - 3, Status().end()), Summary(0, 2));
  EXPECT_FALSE(program.Exists("bad.tga"));
  EXPECT_FALSE(program.Exists("bad.pcx"));
}

}  // namespace
}  // namespace dfm
