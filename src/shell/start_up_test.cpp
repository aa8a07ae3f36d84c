// The load sequence and the settings header: each key, its words, its edge cases, the
// game version rules, and the messages start-up shows.
#include "shell/start_up.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host.h"
#include "registry/tree_registry.h"
#include "script/control_file.h"
#include "shell/frm_main.h"
#include "shell/payload.h"
#include "support/fakes.h"
#include "support/program_folder_fixture.h"
#include "support/recording_main_view.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace dfm {
namespace {

using Entries = std::vector<std::string>;
using testing::MakeZip;
using testing::ZipSpec;

const char kIcon[] = {0, 0, 1, 0, 1, 0, 16, 16};
const char kBitmap[] = "BM\x36\0\0\0";

RegistryHive LandWarriorAt(const std::string& folder) {
  std::string escaped;
  for (char c : folder) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return ParseWineRegistry(
      "WINE REGISTRY Version 2\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\dflw.exe] 1\n"
      "\"Path\"=\"" +
      escaped + "\"\n");
}

class StartUpTest : public testing::ProgramFolderFixture {
 protected:
  StartUpTest() : ProgramFolderFixture(LandWarriorAt("C:\\Games\\DFLW")) {}

  // Writes the installer with Control.ini (when given) and `files` in its Main.zip, then
  // runs the load sequence on it.
  StartUpOutcome Load(const std::optional<std::string>& control, std::vector<ZipSpec> files = {},
                      const std::map<int, std::string>& chosen = {}) {
    if (control) files.push_back({"Control.ini", *control});
    Bytes stub{'M', 'Z'};
    EXPECT_TRUE(WriteInstaller(*host, program, stub, Bytes(kLibrarySlotsSize, 0), MakeZip(files)));
    window = std::make_unique<frmMain>(platform, view);
    return window->Load(program, {}, chosen);
  }

  const WindowState& state() const { return window->state(); }
  const MainControls& controls() const { return window->controls(); }

  testing::RecordingMainView view;
  std::unique_ptr<frmMain> window;  // a fresh one for each Load
};

TEST_F(StartUpTest, EveryHeaderKeySetsItsPartOfTheWindow) {
  const std::string control =
      "Mod_Name \"Operation Dry Creek\"\r\n"
      "Window_Caption \"Dry Creek Setup\"\r\n"
      "Df_Version 3 // Land Warrior\r\n"
      "Icon Graphics\\DryCreek.ico\r\n"
      "Skin Skin.bmp\r\n"
      "Credits Docs\\Credits.txt\r\n"
      "Credits_Font \"Lucida Sans\"\r\n"
      "Credits_Font_Size 12.5\r\n"
      "Credits_Color_Back 0 32 128\r\n"
      "Credits_Color_Fore 255 255 192\r\n"
      "Credits_Color_Shadow 10 20 30\r\n"
      "Pack a.pcx Kyv_DF3_Location\\Dflw.pff\r\n"
      "\r\n";
  ASSERT_EQ(Load(control, {{"Art/DryCreek.ico", std::string(kIcon, sizeof kIcon)},
                           {"Skin.bmp", std::string(kBitmap, 6)}}),
            StartUpOutcome::kReady);

  EXPECT_EQ(dialogs.Texts(), Entries{});
  EXPECT_EQ(state().program_folder, folder);  // the dot in "player.one" is no file name
  EXPECT_EQ(state().df_version, 3);
  EXPECT_EQ(state().control_line_count, 13);
  EXPECT_EQ(controls().title, "Dry Creek Setup");
  EXPECT_EQ(controls().mod_name, "Operation Dry Creek");
  EXPECT_EQ(controls().folder, "C:\\Games\\DFLW");
  EXPECT_EQ(controls().change.caption, "Change");
  EXPECT_TRUE(controls().change.visible);
  EXPECT_TRUE(controls().install.enabled);
  EXPECT_TRUE(controls().about.visible);
  const CreditsSettings& c = state().credits;
  EXPECT_EQ(c.file, "Credits.txt");
  EXPECT_EQ(c.font, "Lucida Sans");
  EXPECT_EQ(c.font_size, 12);  // halves go to the even neighbour
  EXPECT_EQ(c.back, (Rgb{0, 32, 128}));
  EXPECT_EQ(c.fore, (Rgb{255, 255, 192}));
  EXPECT_EQ(c.shadow, (Rgb{10, 20, 30}));
  EXPECT_EQ(view.icons, Entries{folder + "DryCreek.ico"});  // its file name, in the folder
  EXPECT_EQ(view.backgrounds, Entries{"Skin.bmp"});         // as written: relative
  EXPECT_EQ(view.last.title, "Dry Creek Setup");
  EXPECT_TRUE(view.last.install.enabled);
}

TEST_F(StartUpTest, WithoutSettingsTheInitialTextsAndDefaultsRemain) {
  ASSERT_EQ(Load("df_version 3\r\n"), StartUpOutcome::kReady);
  EXPECT_EQ(controls().title, "Kyv Obrik's DF Mod Installer");
  EXPECT_EQ(controls().mod_name, "Please Wait, Extracting Files!");
  EXPECT_FALSE(controls().about.visible);
  const CreditsSettings& c = state().credits;
  EXPECT_EQ(c.file, "");
  EXPECT_EQ(c.font, "Comic Sans MS");
  EXPECT_EQ(c.font_size, 14);
  EXPECT_EQ(c.back, (Rgb{0, 0, 255}));
  EXPECT_EQ(c.fore, (Rgb{0, 255, 0}));
  EXPECT_EQ(c.shadow, (Rgb{0, 0, 0}));
  EXPECT_EQ(view.icons.size() + view.backgrounds.size(), 0u);
}

TEST_F(StartUpTest, KeysIgnoreCaseValuesKeepTheirsAndTheLastLineWins) {
  ASSERT_EQ(Load("MOD_NAME First\r\nDF_VERSION 3\r\nmod_name \"Second Name\"\r\n"
                 "credits_font_size 20\r\nCREDITS_FONT_SIZE 9\r\n"),
            StartUpOutcome::kReady);
  EXPECT_EQ(controls().mod_name, "Second Name");
  EXPECT_EQ(state().credits.font_size, 9);
}

TEST_F(StartUpTest, LinesShortOfTheirKeysWordsChangeNothing) {
  ASSERT_EQ(Load("df_version 3\r\nCredits\r\nMod_Name\r\nCredits_Color_Back 0 32\r\n"
                 "Credits_Color_Fore 0 32 300\r\nCredits_Color_Shadow 256 0 0\r\n"
                 "Window_Caption\r\nIcon\r\n"),
            StartUpOutcome::kReady);
  EXPECT_EQ(dialogs.Texts(), Entries{});
  EXPECT_FALSE(controls().about.visible);
  EXPECT_EQ(controls().mod_name, "Please Wait, Extracting Files!");
  EXPECT_EQ(state().credits.back, (Rgb{0, 0, 255}));
  EXPECT_EQ(state().credits.fore, (Rgb{0, 255, 0}));
  EXPECT_EQ(state().credits.shadow, (Rgb{0, 0, 0}));
  EXPECT_EQ(state().control_line_count, 8);
}

TEST(ColourOf, RoundsAndKeepsComponentsWithinAByte) {
  EXPECT_EQ(ColourOf({"k", "0", "32", "128"}), (Rgb{0, 32, 128}));
  EXPECT_EQ(ColourOf({"k", "0.5", "1.5", "254.5"}), (Rgb{0, 2, 254}));
  EXPECT_EQ(ColourOf({"k", "-5", "255.5", "255.9"}), (Rgb{0, 255, 255}));
  EXPECT_EQ(ColourOf({"k", "red", "&HFF", "1e2"}), (Rgb{0, 255, 100}));
  EXPECT_EQ(ColourOf({"k", "0", "0", "256"}), std::nullopt);
  EXPECT_EQ(ColourOf({"k", "1e999", "0", "0"}), std::nullopt);
  EXPECT_EQ(ColourOf({"k", "0", "0"}), std::nullopt);
}

TEST(GameVersionOf, ZeroAndNonNumbersMeanLandWarriorLargeValuesOverflow) {
  auto value = [](const char* word) {
    auto v = GameVersionOf(word);
    return v ? std::to_string(*v) : "#" + std::to_string(v.failure().code);
  };
  const std::pair<const char*, const char*> cases[] = {
      {"1", "1"},           {"2.5", "2"},      {"3.5", "4"},     {"0", "3"},
      {"LW", "3"},          {"-0.4", "3"},     {"-1", "-1"},     {"32767", "32767"},
      {"-32768", "-32768"}, {"32767.5", "#6"}, {"-32769", "#6"},
  };
  for (const auto& [word, version] : cases) EXPECT_EQ(value(word), version) << word;
  EXPECT_EQ(WholeNumber32("2147483647").value(), 2147483647);
  EXPECT_EQ(WholeNumber32("2147483647.5").failure(), (Failure{err::kOverflow, "Overflow"}));
}

TEST_F(StartUpTest, VersionZeroOrAWordSelectsLandWarrior) {
  for (const char* control : {"df_version 0\r\n", "df_version LW\r\n"}) {
    ASSERT_EQ(Load(control), StartUpOutcome::kReady) << control;
    EXPECT_EQ(state().df_version, 3);
  }
}

TEST_F(StartUpTest, AnInvalidVersionEndsTheProgramAtThatLine) {
  ASSERT_EQ(Load("Mod_Name Before\r\nDf_Version 4\r\nMod_Name After\r\n"), StartUpOutcome::kEnded);
  EXPECT_EQ(
      dialogs.Texts(),
      Entries{"Invalid Or Missing Delta Force Version In Control.ini!\r\nInstaller Will Exit!"});
  EXPECT_TRUE(window->ended());
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(controls().mod_name, "Before");
  EXPECT_EQ(state().control_line_count, 2);
  EXPECT_FALSE(controls().install.enabled);
}

TEST_F(StartUpTest, AMissingVersionEndsTheProgramAfterTheLastLine) {
  for (const char* control :
       {"Mod_Name X\r\n", "Mod_Name X\r\ndf_version\r\n", "df_version 2\r\ndf_version -1\r\n"}) {
    dialogs.boxes.clear();
    ASSERT_EQ(Load(control), StartUpOutcome::kEnded) << control;
    EXPECT_EQ(dialogs.Texts(), Entries{InvalidVersionText()}) << control;
  }
}

TEST_F(StartUpTest, AnOverflowingVersionIsAnErrorOfItsLineAndLeavesTheVersion) {
  ASSERT_EQ(Load("df_version 40000\r\n"), StartUpOutcome::kEnded);
  EXPECT_EQ(dialogs.Texts(),
            (Entries{"An Error Occurred Processing The Control File On Line #1, Error: Overflow #6",
                     InvalidVersionText()}));

  dialogs.boxes.clear();
  ASSERT_EQ(Load("df_version 2\r\ndf_version 40000\r\n"), StartUpOutcome::kReady);
  EXPECT_EQ(state().df_version, 2);
  EXPECT_EQ(
      dialogs.Texts(),
      Entries{"An Error Occurred Processing The Control File On Line #2, Error: Overflow #6"});
}

TEST_F(StartUpTest, AnUnknownFolderAsksToBeSetAndAChosenOneWinsOverTheRegistry) {
  ASSERT_EQ(Load("df_version 2\r\n"), StartUpOutcome::kReady);
  EXPECT_EQ(controls().folder, "Please Select Your Delta Force 2 Folder!");
  EXPECT_EQ(controls().change.caption, "Set");
  EXPECT_TRUE(controls().change.visible);

  ASSERT_EQ(Load("df_version 3\r\n", {}, {{3, "/games/lw"}, {1, "/games/df"}}),
            StartUpOutcome::kReady);
  EXPECT_EQ(controls().folder, "/games/lw");
  EXPECT_EQ(state().game_folders[1], "/games/df");
  EXPECT_EQ(state().game_folders[2], "Nothing");
}

TEST_F(StartUpTest, NoControlFileLeavesTheWindowUnusable) {
  ASSERT_EQ(Load(std::nullopt, {{"readme.txt", "x"}}), StartUpOutcome::kNoControlFile);
  EXPECT_EQ(dialogs.Texts(), Entries{"Error: File Not Found! ( " + folder +
                                     "Control.ini ), Installation could not be completed!"});
  EXPECT_FALSE(window->ended());
  EXPECT_FALSE(controls().install.enabled);
  EXPECT_FALSE(controls().change.visible);
  EXPECT_FALSE(controls().about.visible);
  EXPECT_EQ(controls().mod_name, "Please Wait, Extracting Files!");
  EXPECT_EQ(state().control_line_count, 0);
}

TEST_F(StartUpTest, AFailedLineIsReportedWithItsNumberAndStartUpGoesOn) {
  const std::string too_long = "Mod_Name " + std::string(kMaxLineLength, 'x');
  ASSERT_EQ(Load("df_version 3\r\n"
                 "Icon Missing.ico\r\n"
                 "Icon NotAnIcon.bmp\r\n"
                 "Skin Junk.jpg\r\n"
                 "Credits_Font_Size 3e9\r\n" +
                     too_long +
                     "\r\n"
                     "Mod_Name Still Read\r\n",
                 {{"NotAnIcon.bmp", std::string(kBitmap, 6)}, {"Junk.jpg", "not a picture"}}),
            StartUpOutcome::kReady);
  const std::string line = "An Error Occurred Processing The Control File On Line #";
  EXPECT_EQ(dialogs.Texts(),
            (Entries{line + "2, Error: File not found: " + folder +
                         "Missing.ico (No such file or directory) #53",
                     line + "3, Error: Invalid property value #380",
                     line + "4, Error: Invalid picture #481", line + "5, Error: Overflow #6",
                     line + "6, Error: Overflow: the line is longer than 32766 characters #6"}));
  EXPECT_EQ(controls().mod_name, "Still");
  EXPECT_EQ(state().credits.font_size, 14);
  EXPECT_TRUE(view.icons.empty());
  EXPECT_TRUE(controls().install.enabled);
}

TEST_F(StartUpTest, APictureTheViewRefusesIsAFailureOfItsLine) {
  view.picture_answer = Status::Fail(err::kInvalidPicture, "Invalid picture");
  ASSERT_EQ(Load("Skin Skin.bmp\r\ndf_version 3\r\n", {{"Skin.bmp", std::string(kBitmap, 6)}}),
            StartUpOutcome::kReady);
  EXPECT_EQ(dialogs.Texts(),
            Entries{"An Error Occurred Processing The Control File On Line #1, Error: "
                    "Invalid picture #481"});
}

TEST_F(StartUpTest, AnUnreadableControlFileIsReportedAsLineZero) {
  fs.Fail({"read", "Control.ini", 0, -1, {err::kDeviceIoError, "Device I/O error"}});
  ASSERT_EQ(Load("df_version 3\r\n"), StartUpOutcome::kEnded);
  EXPECT_EQ(dialogs.Texts(),
            (Entries{"An Error Occurred Processing The Control File On Line #0, Error: "
                     "Device I/O error #57",
                     InvalidVersionText()}));
}

TEST_F(StartUpTest, EveryLineIsCounted) {
  std::string control = "df_version 3\r\n";
  for (int i = 1; i < 200; ++i) control += i % 3 ? "Delete x.txt\r\n" : "\r\n";
  ASSERT_EQ(Load(control), StartUpOutcome::kReady);
  EXPECT_EQ(state().control_line_count, 200);
}

TEST(PictureFiles, RecognisesThePictureKindsByTheirFirstBytes) {
  auto kind = [](std::string s) { return SniffPictureFormat(Bytes(s.begin(), s.end())); };
  EXPECT_EQ(kind("BM...."), PictureFormat::kBitmap);
  EXPECT_EQ(kind(std::string("\0\0\1\0\1\0", 6)), PictureFormat::kIcon);
  EXPECT_EQ(kind(std::string("\0\0\2\0\1\0", 6)), PictureFormat::kCursor);
  EXPECT_EQ(kind("GIF89a.."), PictureFormat::kGif);
  EXPECT_EQ(kind("\xFF\xD8\xFF\xE0"), PictureFormat::kJpeg);
  EXPECT_EQ(kind("\xD7\xCD\xC6\x9A"), PictureFormat::kMetafile);
  std::string emf(44, '\0');
  emf[0] = 1;
  emf.replace(40, 4, " EMF");
  EXPECT_EQ(kind(emf), PictureFormat::kEnhancedMetafile);
  EXPECT_EQ(kind(""), std::nullopt);
  EXPECT_EQ(kind("GIF90a"), std::nullopt);
  EXPECT_EQ(kind(std::string("\0\0\3\0", 4)), std::nullopt);
}

TEST(PictureFiles, AnIconsBiggestBitmapBecomesABitmapFileOfItsColourRows) {
  // One 1 x 1 picture of 8 bits (a 256-colour palette) and one 2 x 2 of 24 bits.
  auto entry = [](int side, int bits, int size, int at) {
    std::string e = {char(side), char(side), 0, 0, 1, 0, char(bits), 0};
    for (int v : {size, at}) e += {char(v), char(v >> 8), 0, 0};
    return e;
  };
  auto info = [](int side, int bits) {
    std::string h = {40, 0, 0, 0, char(side), 0,          0, 0, char(2 * side),
                     0,  0, 0, 1, 0,          char(bits), 0};
    return h + std::string(24, '\0');
  };
  std::string small = info(1, 8) + std::string(1024 + 8, 'p'),
              big = info(2, 24) + "rgbrgbxxRGBRGBXXmmmm";
  std::string ico = std::string("\0\0\1\0\2\0", 6) + entry(1, 8, int(small.size()), 38) +
                    entry(2, 24, int(big.size()), 38 + int(small.size())) + small + big;
  auto bmp = IconAsBitmapFile(Bytes(ico.begin(), ico.end()));
  ASSERT_TRUE(bmp);
  std::string expected = std::string("BM\x4a\0\0\0\0\0\0\0\x36\0\0\0", 14) + big;
  expected[14 + 8] = 2;  // the height of the colour rows
  EXPECT_EQ(std::string(bmp->begin(), bmp->end()), expected);
  ico[6 + 16 + 12] = char(250);  // the big one points at no bitmap header: the small one
  bmp = IconAsBitmapFile(Bytes(ico.begin(), ico.end()));
  ASSERT_TRUE(bmp);
  EXPECT_EQ(bmp->size(), 14 + small.size());
  EXPECT_EQ((*bmp)[10] + 256 * (*bmp)[11], 14 + 40 + 1024);  // past the palette
  EXPECT_FALSE(IconAsBitmapFile(Bytes(6, 0)));
}

}  // namespace
}  // namespace dfm
