#include "shell/payload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/program_folder_fixture.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace dfm {
namespace {

using testing::AsText;
using testing::MakeZip;
using testing::TempDir;
using namespace std::string_literals;

class UnpackTest : public testing::ProgramFolderFixture {
 protected:
  // Writes Setup.exe: a stub, slots of 'J' and 'Z' bytes and `main_zip`.
  void Installer(const Bytes& main_zip) {
    Bytes slots(kJpegLibrarySize, 'J');
    slots.resize(kLibrarySlotsSize, 'Z');
    ASSERT_TRUE(WriteInstaller(*host, program, Bytes{'M', 'Z', 0, 1}, slots, main_zip));
  }
  void Unpack() { UnpackPayload(platform, folder, program); }
};

TEST(PayloadLayout, OffsetsCountFromTheEndOfTheFile) {
  auto l = ComputePayloadLayout(25'729'908, 25'078'640, "Setup.exe");
  ASSERT_TRUE(l);
  EXPECT_EQ(std::tie(l->main_zip_offset, l->zip_library_offset, l->jpeg_library_offset,
                     l->trailer_offset, l->main_zip_length),
            std::make_tuple(0x9F000u, 0x7C000u, 0x21000u, 25'729'904u, 25'078'640u));
  EXPECT_EQ(ComputePayloadLayout(4 + 0x7E000 + 10, 10, "x")->jpeg_library_offset, 0u);  // no stub
  EXPECT_FALSE(ComputePayloadLayout(4 + 0x7E000 + 10, 11, "x"));
  TempDir dir;
  auto fs = MakeHostFileSystem();
  EXPECT_EQ(WriteInstaller(*fs, dir / "x", {}, Bytes(10), {}).failure().code,
            err::kInvalidProcedureCall);  // slots of another size
  EXPECT_FALSE(dir.Exists("x"));
}

// The Main.zip left from an earlier, longer payload is rewritten from its start with no tail;
// its removal fails here, so what was written can be read back.
TEST_F(UnpackTest, WritesThePiecesOverAStaleMainZipAndExtractsWithoutFolders) {
  std::vector<testing::ZipSpec> old_entries;
  for (int i = 0; i < 20; ++i) old_entries.push_back({"Old" + std::to_string(i) + ".txt", "o"});
  const Bytes fresh = MakeZip({{"Textures/a.pcx", "new pcx"}, {"Control.ini", "ini"}});
  dir.Write("player.one/Main.zip", AsText(MakeZip(old_entries)));
  dir.Write("player.one/a.pcx", "old pcx, longer than the new one");
  Installer(fresh);
  fs.Fail({"remove", "Main.zip"});
  Unpack();
  EXPECT_EQ(dialogs.Texts(),
            std::vector<std::string>{"An Error Occurred, Error: Device I/O error (injected) #57"});
  EXPECT_EQ(dir.Read("player.one/ijl15.dll"), std::string(kJpegLibrarySize, 'J'));
  EXPECT_EQ(dir.Read("player.one/Unzip32.dll"), std::string(kZipLibrarySize, 'Z'));
  EXPECT_EQ(dir.Read("player.one/Main.zip"), AsText(fresh));
  EXPECT_EQ(dir.Read("player.one/a.pcx") + dir.Read("player.one/Control.ini"), "new pcxini");
  EXPECT_FALSE(dir.Exists("player.one/Textures") || dir.Exists("player.one/Old0.txt"));
  EXPECT_FALSE(dir.Exists("Control.ini"));  // not the parent folder
  EXPECT_EQ(std::filesystem::current_path(), dir.path() / "player.one");
  EXPECT_GE(pump.count, 3);  // after writing, after the directory change, in the wait
}

TEST_F(UnpackTest, AnImpossibleTrailerIsOneMessageAndTouchesNoFile) {
  dir.Write("player.one/Main.zip", "the user's own file");
  const std::string body(0x7E000 + 100, 'x');
  const std::string too_long = " bytes of Main.zip, but the " + std::to_string(body.size() + 4) +
                               "-byte file cannot hold them with the library slots";
  const std::pair<std::string, std::string> cases[] = {
      {body + "\xff\xff\xff\xff", "the trailer announces -1" + too_long},
      {body + "e\0\0\0"s, "the trailer announces 101" + too_long},
      {body + "\xff\xff\xff\x7f", "the trailer announces 2147483647" + too_long},
      {"MZ", "the file is 2 bytes long, too short for a payload"},
  };
  for (const auto& [bytes, why] : cases) {
    dialogs = {};
    dir.Write("player.one/Setup.exe", bytes);
    Unpack();
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{"An Error Occurred, Error: Invalid payload in " + program +
                                       ": " + why + " #321"});
    EXPECT_EQ(dir.Read("player.one/Main.zip"), "the user's own file");
    EXPECT_FALSE(dir.Exists("player.one/ijl15.dll") || dir.Exists("player.one/Unzip32.dll"));
  }
}

TEST_F(UnpackTest, EachFailedOperationReportsOnceAndTheNextGoesOn) {
  Installer(MakeZip({{"a.txt", "A"}}));
  fs.Fail({"write", "Unzip32.dll"});
  fs.Fail({"open", "ijl15.dll", 0, -1, {err::kPermissionDenied, "Permission denied: ijl15.dll"}});
  Unpack();
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{
                                 "An Error Occurred, Error: Device I/O error (injected) #57",
                                 "An Error Occurred, Error: Permission denied: ijl15.dll #70"}));
  EXPECT_EQ(dir.Read("player.one/a.txt"), "A");
  EXPECT_FALSE(dir.Exists("player.one/Main.zip"));

  // A Main.zip that was created but could not be written is still cleaned up.
  dialogs = {};
  fs.Clear();
  std::filesystem::remove(dir.path() / "player.one" / "a.txt");
  fs.Fail({"write", "Main.zip"});
  Unpack();
  EXPECT_EQ(dialogs.Texts(),
            std::vector<std::string>{"An Error Occurred, Error: Device I/O error (injected) #57"});
  EXPECT_FALSE(dir.Exists("player.one/a.txt") || dir.Exists("player.one/Main.zip"));
}

TEST(ProgramFolder, IsTheFolderOfTheProgramFileWhateverDotsItHolds) {
  EXPECT_EQ(ProgramFolderOf("C:\\Users\\player.one\\Downloads\\Setup.exe", PathStyle::kWindows),
            "C:\\Users\\player.one\\Downloads\\");
  EXPECT_EQ(ProgramFolderOf("C:\\Setup.exe", PathStyle::kWindows), "C:\\");
  EXPECT_EQ(ProgramFolderOf("/home/p/mods.d/DFModInstaller", PathStyle::kPosix), "/home/p/mods.d/");
  EXPECT_EQ(ProgramFolderOf("Setup.exe", PathStyle::kWindows), ".\\");
  EXPECT_EQ(ProgramFolderOf("a/b\\Setup.exe", PathStyle::kWindows), "a/b\\");
}

TEST(WaitSeconds, WaitsOnThePumpForTheTimeLeftAndEndsAtOnceAcrossMidnight) {
  struct Row {
    double start, step, advance;  // clock reading, its move per reading, most per wait
    std::vector<double> waits;
  };
  const Row rows[] = {
      {100, 0, 5, {1.0}},                      // a wait that sleeps the whole time
      {100, 0, 0.25, {1.0, 0.75, 0.5, 0.25}},  // woken early by events: wait again
      {100, 0.25, 0, {0.75, 0.5, 0.25}},       // time passes while events are handled
      {86399.9, -86399.8, 0, {}},              // the next reading is 0.1, after midnight
  };
  for (const Row& row : rows) {
    testing::FixedClock clock;
    testing::CountingPump pump;
    clock.seconds_since_midnight = row.start;
    clock.step = row.step;
    pump.on_wait = [&](double s) { clock.seconds_since_midnight += std::min(s, row.advance); };
    WaitSeconds(clock, pump, 1.0);
    EXPECT_EQ(pump.waits, row.waits) << row.start << " " << row.step << " " << row.advance;
  }
}

}  // namespace
}  // namespace dfm
