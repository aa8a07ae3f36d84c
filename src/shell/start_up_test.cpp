// The load sequence and the settings header: each key, its words, its edge cases, the
// game version rules, and the messages start-up shows.
#include "shell/start_up.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "platform/host.h"
#include "registry/tree_registry.h"
#include "script/control_file.h"
#include "shell/main_window.h"
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
    window = std::make_unique<MainWindow>(platform, view);
    return window->Load(program, {}, chosen);
  }

  // What start-up left in the window and the view, as key=value pairs.
  std::map<std::string, std::string> Summary() const {
    const WindowState& st = window->state();
    const MainControls& k = st.controls;
    const CreditsSettings& c = st.credits;
    auto rgb = [](Rgb x) {
      return std::to_string(x.red) + "," + std::to_string(x.green) + "," + std::to_string(x.blue);
    };
    auto on = [](bool b) { return std::string(b ? "on" : "off"); };
    std::string icons, skins;
    for (const auto& i : view.icons) icons += i + " ";
    for (const auto& i : view.backgrounds) skins += i + " ";
    return {{"version", std::to_string(st.df_version)},
            {"lines", std::to_string(st.control_line_count)},
            {"program", st.program_folder},
            {"title", k.title + " " + view.last.title},
            {"mod", k.mod_name},
            {"folder", k.folder},
            {"change", k.change.caption + " " + on(k.change.visible)},
            {"install", on(k.install.enabled) + " " + on(view.last.install.enabled)},
            {"about", on(k.about.visible)},
            {"credits", c.file + "|" + c.font + "|" + std::to_string(c.font_size) + "|" +
                            rgb(c.back) + "|" + rgb(c.fore) + "|" + rgb(c.shadow)},
            {"pictures", icons + "| " + skins},
            {"ended", on(window->ended()) + " " + on(view.ended)},
            {"games", st.game_folders[1] + "|" + st.game_folders[2]}};
  }

  testing::RecordingMainView view;
  std::unique_ptr<MainWindow> window;  // a fresh one for each Load
};

// One start-up each: Control.ini (none when null) and other files in Main.zip, the folders
// chosen before, the outcome, the boxes shown and what the window shows ("key=value;...",
// only the keys named; {folder} is the program folder).
struct Start {
  const char* control;
  std::vector<ZipSpec> files;
  StartUpOutcome outcome;
  Entries boxes;
  std::string shows;
  std::map<int, std::string> chosen{};
};
constexpr StartUpOutcome kReady = StartUpOutcome::kReady, kEnded = StartUpOutcome::kEnded;

TEST_F(StartUpTest, ReadsTheSettingsHeaderAndShowsWhatItFound) {
  const std::string defaults =
      "title=Kyv Obrik's DF Mod Installer Kyv Obrik's DF Mod Installer;mod=Please Wait, Extracting "
      "Files!;about=off;"
      "credits=|Comic Sans MS|14|0,0,255|0,255,0|0,0,0;pictures=| ";
  const std::string invalid = InvalidVersionText();
  const std::string line = "An Error Occurred Processing The Control File On Line #";
  const std::string too_long = "Mod_Name " + std::string(kMaxLineLength, 'x') + "\r\n";
  std::string many = "df_version 3\r\n";
  for (int i = 1; i < 200; ++i) many += i % 3 ? "Delete x.txt\r\n" : "\r\n";
  const std::string failing =
      "df_version 3\r\nIcon Missing.ico\r\nIcon NotAnIcon.bmp\r\nSkin "
      "Junk.jpg\r\nCredits_Font_Size 3e9\r\n" +
      too_long + "Mod_Name Still Read\r\n";
  const std::vector<Start> rows = {
      {"Mod_Name \"Operation Dry Creek\"\r\nWindow_Caption \"Dry Creek Setup\"\r\n"
       "Df_Version 3 // Land Warrior\r\nIcon Graphics\\DryCreek.ico\r\nSkin Skin.bmp\r\n"
       "Credits Docs\\Credits.txt\r\nCredits_Font \"Lucida Sans\"\r\nCredits_Font_Size 12.5\r\n"
       "Credits_Color_Back 0 32 128\r\nCredits_Color_Fore 255 255 192\r\n"
       "Credits_Color_Shadow 10 20 30\r\nPack a.pcx Kyv_DF3_Location\\Dflw.pff\r\n\r\n",
       {{"Art/DryCreek.ico", std::string(kIcon, sizeof kIcon)},
        {"Skin.bmp", std::string(kBitmap, 6)}},
       kReady,
       {},
       // The dot in "player.one" is no file name; the icon is taken from the program folder
       // by its file name, the skin as written; font size halves go to the even neighbour.
       "version=3;lines=13;program={folder};title=Dry Creek Setup Dry Creek Setup;"
       "mod=Operation Dry Creek;folder=C:\\Games\\DFLW;change=Change on;install=on on;"
       "about=on;credits=Credits.txt|Lucida Sans|12|0,32,128|255,255,192|10,20,30;"
       "pictures={folder}DryCreek.ico | Skin.bmp "},
      {"MOD_NAME First\r\nDF_VERSION 3\r\nmod_name \"Second Name\"\r\ncredits_font_size 20\r\n"
       "CREDITS_FONT_SIZE 9\r\n",
       {},
       kReady,
       {},
       "mod=Second Name;credits=|Comic Sans MS|9|0,0,255|0,255,0|0,0,0"},
      {"df_version 3\r\nCredits\r\nMod_Name\r\nCredits_Color_Back 0 32\r\nCredits_Color_Fore 0 32 "
       "300\r\nCredits_Color_Shadow 256 0 0\r\nWindow_Caption\r\nIcon\r\n",
       {},
       kReady,
       {},
       defaults + ";lines=8"},
      {"Mod_Name Before\r\nDf_Version 4\r\nMod_Name After\r\n",
       {},
       kEnded,
       {invalid},
       "ended=on on;mod=Before;lines=2;install=off off"},
      {"Mod_Name X\r\ndf_version\r\n", {}, kEnded, {invalid}, "ended=on on"},
      {"df_version 2\r\ndf_version -1\r\n", {}, kEnded, {invalid}, ""},
      {"df_version 40000\r\n", {}, kEnded, {line + "1, Error: Overflow #6", invalid}, ""},
      {"df_version 2\r\ndf_version 40000\r\n",
       {},
       kReady,
       {line + "2, Error: Overflow #6"},
       "version=2;folder=Please Select Your Delta Force 2 Folder!;change=Set on"},
      {"df_version 3\r\n",
       {},
       kReady,
       {},
       "folder=/games/lw;games=/games/df|Nothing",
       {{3, "/games/lw"}, {1, "/games/df"}}},
      {nullptr,
       {{"readme.txt", "x"}},
       StartUpOutcome::kNoControlFile,
       {"Error: File Not Found! ( {folder}Control.ini ), Installation could not be completed!"},
       "ended=off off;install=off off;change=Change off;" + defaults + ";lines=0"},
      {failing.c_str(),
       {{"NotAnIcon.bmp", std::string(kBitmap, 6)}, {"Junk.jpg", "not a picture"}},
       kReady,
       {line + "2, Error: File not found: {folder}Missing.ico (No such file or directory) #53",
        line + "3, Error: Invalid property value #380", line + "4, Error: Invalid picture #481",
        line + "5, Error: Overflow #6",
        line + "6, Error: Overflow: the line is longer than 32766 characters #6"},
       "mod=Still;credits=|Comic Sans MS|14|0,0,255|0,255,0|0,0,0;pictures=| ;install=on on"},
      {many.c_str(), {}, kReady, {}, "lines=200"},
  };
  auto fill = [&](std::string text) {
    for (auto at = text.find("{folder}"); at != std::string::npos; at = text.find("{folder}"))
      text.replace(at, 8, folder);
    return text;
  };
  for (const Start& row : rows) {
    SCOPED_TRACE(row.control ? std::string(row.control).substr(0, 60) : "no Control.ini");
    dialogs.boxes.clear();
    view.icons.clear(), view.backgrounds.clear(), view.ended = false;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    ASSERT_EQ(Load(row.control ? std::optional<std::string>(row.control) : std::nullopt, row.files,
                   row.chosen),
              row.outcome);
    Entries boxes;
    for (const auto& b : row.boxes) boxes.push_back(fill(b));
    EXPECT_EQ(dialogs.Texts(), boxes);
    const auto summary = Summary();
    std::istringstream shows(fill(row.shows));
    for (std::string kv; std::getline(shows, kv, ';');) {
      if (kv.empty()) continue;
      const auto eq = kv.find('=');
      EXPECT_EQ(summary.at(kv.substr(0, eq)), kv.substr(eq + 1)) << kv.substr(0, eq);
    }
  }
}

// A picture the view refuses, and an unreadable Control.ini (reported as line 0).
TEST_F(StartUpTest, FailuresOfTheViewAndTheFileSystemAreFailuresOfTheirLine) {
  const std::string line = "An Error Occurred Processing The Control File On Line #";
  view.picture_answer = Status::Fail(err::kInvalidPicture, "Invalid picture");
  ASSERT_EQ(Load("Skin Skin.bmp\r\ndf_version 3\r\n", {{"Skin.bmp", std::string(kBitmap, 6)}}),
            kReady);
  EXPECT_EQ(dialogs.Texts(), Entries{line + "1, Error: Invalid picture #481"});
  dialogs.boxes.clear();
  fs.Fail({"read", "Control.ini", 0, -1, {err::kDeviceIoError, "Device I/O error"}});
  ASSERT_EQ(Load("df_version 3\r\n"), kEnded);
  EXPECT_EQ(dialogs.Texts(),
            (Entries{line + "0, Error: Device I/O error #57", InvalidVersionText()}));
}

// Colours round half to even within a byte; version 0 and non-numbers mean Land Warrior.
TEST(HeaderWords, ColoursAndVersionsRoundAndOverflow) {
  EXPECT_EQ(ColourOf({"k", "0.5", "1.5", "254.5"}), (Rgb{0, 2, 254}));
  EXPECT_EQ(ColourOf({"k", "-5", "255.5", "255.9"}), (Rgb{0, 255, 255}));
  EXPECT_EQ(ColourOf({"k", "red", "&HFF", "1e2"}), (Rgb{0, 255, 100}));
  EXPECT_EQ(ColourOf({"k", "1e999", "0", "0"}), std::nullopt);
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
