#include "shell/payload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/path_utils.h"
#include "platform/host.h"
#include "registry/tree_registry.h"
#include "support/fakes.h"
#include "support/program_folder_fixture.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace dfm {
namespace {

using testing::AsText;
using testing::MakeZip;
using testing::TempDir;

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
  EXPECT_EQ(l->main_zip_offset, 0x9F000u);
  EXPECT_EQ(l->zip_library_offset, 0x7C000u);
  EXPECT_EQ(l->jpeg_library_offset, 0x21000u);
  EXPECT_EQ(l->trailer_offset, 25'729'904u);
  EXPECT_EQ(l->main_zip_length, 25'078'640u);

  auto exact = ComputePayloadLayout(4 + 0x7E000 + 10, 10, "x");  // no stub at all
  ASSERT_TRUE(exact);
  EXPECT_EQ(exact->jpeg_library_offset, 0u);
  EXPECT_FALSE(ComputePayloadLayout(4 + 0x7E000 + 10, 11, "x"));

  TempDir dir;
  auto fs = MakeHostFileSystem();
  EXPECT_EQ(WriteInstaller(*fs, dir / "x", {}, Bytes(10), {}).failure().code,
            err::kInvalidProcedureCall);  // slots of another size
  EXPECT_FALSE(dir.Exists("x"));
}

TEST_F(UnpackTest, WritesThePiecesExtractsWithoutFoldersAndDeletesMainZip) {
  Installer(MakeZip({{"Textures/a.pcx", "new pcx"}, {"Control.ini", "df_version 3\r\n"}}));
  dir.Write("player.one/a.pcx", "old pcx, longer than the new one");
  Unpack();
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(dir.Read("player.one/ijl15.dll"), std::string(kJpegLibrarySize, 'J'));
  EXPECT_EQ(dir.Read("player.one/Unzip32.dll"), std::string(kZipLibrarySize, 'Z'));
  EXPECT_EQ(dir.Read("player.one/a.pcx"), "new pcx");
  EXPECT_EQ(dir.Read("player.one/Control.ini"), "df_version 3\r\n");
  EXPECT_FALSE(dir.Exists("player.one/Main.zip"));
  EXPECT_FALSE(dir.Exists("player.one/Textures"));
  EXPECT_FALSE(dir.Exists("Control.ini"));  // not the parent folder
  EXPECT_EQ(std::filesystem::current_path(), dir.path() / "player.one");
  EXPECT_GE(pump.count, 3);  // after writing, after the directory change, in the wait
}

TEST_F(UnpackTest, AnImpossibleTrailerIsOneMessageAndTouchesNoFile) {
  dir.Write("player.one/Main.zip", "the user's own file");
  struct Case {
    std::string bytes;
    std::string why;
  };
  std::string body(0x7E000 + 100, 'x');
  auto with_trailer = [&](std::int32_t n) {
    auto u = static_cast<std::uint32_t>(n);
    return body + std::string{static_cast<char>(u), static_cast<char>(u >> 8),
                              static_cast<char>(u >> 16), static_cast<char>(u >> 24)};
  };
  auto too_long = [&](const char* n) {
    return "the trailer announces " + std::string(n) + " bytes of Main.zip, but the " +
           std::to_string(body.size() + 4) + "-byte file cannot hold them with the library slots";
  };
  const Case cases[] = {
      {with_trailer(-1), too_long("-1")},
      {with_trailer(101), too_long("101")},
      {with_trailer(0x7FFFFFFF), too_long("2147483647")},
      {"MZ", "the file is 2 bytes long, too short for a payload"},
  };
  for (const auto& c : cases) {
    dialogs = {};
    dir.Write("player.one/Setup.exe", c.bytes);
    Unpack();
    EXPECT_EQ(dialogs.Texts(),
              std::vector<std::string>{"An Error Occurred, Error: Invalid payload in " + program +
                                       ": " + c.why + " #321"});
    EXPECT_EQ(dir.Read("player.one/Main.zip"), "the user's own file");
    EXPECT_FALSE(dir.Exists("player.one/ijl15.dll") || dir.Exists("player.one/Unzip32.dll"));
    EXPECT_EQ(std::filesystem::current_path(), dir.path() / "player.one");
  }
}

TEST_F(UnpackTest, AStaleLongerMainZipLeavesNoTailBehind) {
  std::vector<testing::ZipSpec> old_entries;
  for (int i = 0; i < 50; ++i)
    old_entries.push_back({"Old" + std::to_string(i) + ".txt", std::string(2000, 'o')});
  Bytes stale = MakeZip(old_entries);
  Bytes fresh = MakeZip({{"New.txt", "new"}});
  ASSERT_GT(stale.size(), fresh.size());
  dir.Write("player.one/Main.zip", AsText(stale));
  Installer(fresh);
  fs.Fail({"remove", "Main.zip"});
  Unpack();
  EXPECT_EQ(dir.Read("player.one/Main.zip"), AsText(fresh));
  EXPECT_EQ(dir.Read("player.one/New.txt"), "new");
  EXPECT_FALSE(dir.Exists("player.one/Old0.txt"));
  EXPECT_EQ(dialogs.Texts(),
            std::vector<std::string>{"An Error Occurred, Error: Device I/O error (injected) #57"});
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
  // The dot rule would take the folder itself for a file, and unpack into its parent:
  EXPECT_EQ(GetFolder("C:\\Users\\player.one\\Downloads", PathStyle::kWindows),
            "C:\\Users\\player.one\\");
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
