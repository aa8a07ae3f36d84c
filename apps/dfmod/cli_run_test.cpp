// dfmod run, plan and inspect, and the installer's options, in process: exit codes, stdout,
// stderr and the files a run leaves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/headless_run.h"
#include "platform/host.h"
#include "restore/restore_points.h"
#include "shell/payload.h"
#include "shell/uninstall_keys.h"
#include "support/cli_run.h"
#include "support/pff_bytes.h"
#include "support/recording_uninstall_list.h"
#include "support/scoped_current_directory.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace dfm::cli {
namespace {

using testing::MakeZip;
using testing::TempDir;
using testing::ZipSpec;

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    Set(value.c_str());
  }
  ~ScopedEnv() { Set(saved_ ? saved_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const char* value) {
#ifdef _WIN32
    ::_putenv_s(name_, value ? value : "");
#else
    value ? ::setenv(name_, value, 1) : ::unsetenv(name_);
#endif
  }

  const char* name_;
  std::optional<std::string> saved_;
};

class RunTest : public ::testing::Test {
 protected:
  // Builds Downloads.old/Setup.exe from Control.ini (none when empty) and the other files,
  // beside a fresh game folder LW holding an empty Dflw.pff.
  void Build(const std::string& control, std::vector<ZipSpec> files = {}) {
    for (const char* sub : {"Downloads.old", "LW", "DF1"}) {
      std::filesystem::remove_all(dir.path() / sub);
      std::filesystem::create_directories(dir.path() / sub);
    }
    dir.Write("LW/Dflw.pff", testing::PffHeaderBytes(0, 36, 20));
    if (!control.empty()) files.push_back({"Control.ini", control});
    auto fs = MakeHostFileSystem();
    ASSERT_TRUE(WriteInstaller(*fs, installer, Bytes{'M', 'Z'}, Bytes(kLibrarySlotsSize, 0),
                               MakeZip(files)));
  }
  // The log without its two header lines, which name the time.
  std::string LogEntries() const {
    std::string log = dir.Read("Downloads.old/InstallLog.txt");
    std::size_t second = log.find("\r\n", log.find("\r\n") + 2);
    return second == std::string::npos ? log : log.substr(second + 2);
  }
  // `text` with {dir} and {game} replaced by the folders of this test.
  std::string Folders(const std::string& text) const {
    return Fill(Fill(text, "{game}", game), "{dir}", dir.str());
  }

  testing::ScopedCurrentDirectory keep_cwd{std::filesystem::current_path()};
  TempDir dir;
  ScopedEnv no_wine{"WINEPREFIX", dir / "no-prefix"};
  // Restore points of their own: tests running beside this one hold the shared folder's lock.
  ScopedEnv restore_dir{"DFMOD_RESTORE_DIR", dir / "restore-points"};
  std::string installer = dir / "Downloads.old/Setup.exe";
  std::string game = dir / "LW";
};

const char kCopyA[] = "df_version 3\r\nCopy a.txt Kyv_DF3_Location\r\n";
const char kMissingArchive[] =
    "df_version 3\r\nPack a.txt Kyv_DF3_Location\\Dfx.pff\r\nCopy a.txt Kyv_DF3_Location\r\n";

// One run each: Control.ini and the other files in Main.zip, the options ({game} and {dir}
// stand for the folders), the exit code, stdout, stderr and the file afterwards
// ("path=bytes", or "!path" for one that must not exist).
struct RunRow {
  std::string control;
  std::vector<ZipSpec> files;
  std::vector<std::string> options;
  int code;
  std::string out, err, after;
  int (*command)(const Args&, Io&) = cli::Run;
};

TEST_F(RunTest, RunsTheInstallerAndSaysHowItEnded) {
  ZipAddOptions locked;
  locked.encryption = ZipEncryption::kAes256;
  locked.password = "s3cret";
  const std::string done = "[DF Mod Installer] Installation Complete!";
  const std::string not_found = "Error: File Not Found! ( ";
  const std::string failed = " ), Operation could not be completed!\n";
  const std::string critical =
      "[Warning: Critical File Missing!] A critical Delta Force file was not found: \r\n"
      "( {game}/Dfx.pff )\r\nThis is most likely due to an invalid Delta Force path!\r\n"
      "Would you like to abort installation? (so you can select a valid path)\n";
  const std::string start_missing =
      "Adding a.txt To {game}/Dfx.pff\n" + not_found + "{game}/Dfx.pff" + failed;
  auto with_errors = [](int n) {
    return "\r\nHowever There Where " + std::to_string(n) +
           " Errors!\r\nPlease Consult The \"InstallLog.txt\" For More Information!\n";
  };
  const std::string ask2 =
      "[DF Mod Installer] Please Select Your Delta Force 2 Folder!\n"
      "-> cancelled (no --game-folder for 2)\n";
  const std::string password =
      "[DF Mod Installer] Please Enter The Password!\n-> the text given (--password)\n";
  const std::string gf = "--game-folder";
  const std::string copied =
      "Copying a.txt To {game}/a.txt\n1 Operations Performed!\n0 Errors Occurred!\n"
      "Installation Completed!\n";
  const std::vector<RunRow> rows = {
      {kMissingArchive,  // --critical abort answers the critical question
       {{"a.txt", "a"}},
       {gf, "3={game}", "--critical", "abort"},
       kRunAborted,
       start_missing,
       critical + "-> Yes (--critical abort)\n",
       "!LW/a.txt"},
      {kMissingArchive,  // without --critical the run continues
       {{"a.txt", "a"}},
       {gf, "3={game}"},
       kRunCompletedWithErrors,
       start_missing +
           "Copying a.txt To {game}/a.txt\n1 Operations Performed!\n1 Errors Occurred!\n"
           "Installation Completed!\n",
       critical + "-> No (--critical continue)\n" + done + with_errors(1),
       "LW/a.txt=a"},
      {"",  // start-up ends without Control.ini
       {{"readme.txt", "no control file"}},
       {},
       kRunStartUpEnded,
       "",
       "[DF Mod Installer] Error: File Not Found! ( {dir}Downloads.old/Control.ini ), "
       "Installation could not be completed!\n",
       ""},
      // The folders of other versions are asked for and cancelled when not given.
      {"df_version 3\r\nCopy a.txt Kyv_DF1_Location\r\nCopy a.txt Kyv_DF2_Location\r\n",
       {{"a.txt", "a"}},
       {gf, "3={game}", gf, "1={dir}DF1"},
       kRunCompletedWithErrors,
       "Copying a.txt To {dir}DF1/a.txt\nCopying a.txt To Nothing\\a.txt\n"
       "Error Occured In Line #3, LineCode: \"Copy a.txt Kyv_DF2_Location\" Error: Path not found: "
       "Nothing, #76\n"
       "1 Operations Performed!\n1 Errors Occurred!\nInstallation Completed!\n",
       ask2 + ask2 + ask2 + done + with_errors(1),
       "DF1/a.txt=a"},
      {kCopyA,  // the password answers for encrypted entries
       {{"a.txt", "a", locked}},
       {gf, "3={game}", "--password", "s3cret"},
       kRunCompleted,
       copied,
       password + done + "\n",
       "LW/a.txt=a"},
      {kCopyA,  // the installer program of a build without a window toolkit says so
       {{"a.txt", "a"}},
       {gf, "3={game}"},
       kRunCompleted,
       copied,
       "DFModInstaller: built without a window toolkit, installing without a window\n" + done +
           "\n",
       "LW/a.txt=a",
       [](const Args& a, Io& io) { return InstallerMain(a, io, {}); }},
      {kCopyA,  // the installed-mods window needs one; /quiet removes without it
       {},
       {"--installed-mods"},
       kExitUsage,
       "",
       "DFModInstaller: built without a window toolkit: 'dfmod restore --list' lists the "
       "installed mods, 'dfmod restore ID' removes one\n",
       "",
       [](const Args& a, Io& io) { return InstallerMain(a, io, {}); }},
      {kCopyA,
       {},
       {"--remove", "20261206-154207", "/quiet", "--restore-dir", "{dir}R"},
       kExitFindings,
       "",
       "DFModInstaller: There is no restore point 20261206-154207\n",
       "",
       [](const Args& a, Io& io) { return InstallerMain(a, io, {}); }},
  };
  for (const RunRow& row : rows) {
    SCOPED_TRACE("row " + std::to_string(&row - rows.data()));
    Build(row.control, row.files);
    std::vector<std::string> args = {installer};
    for (const auto& o : row.options) args.push_back(Folders(o));
    auto r = RunCli(row.command, args);
    EXPECT_EQ(r.code, row.code);
    EXPECT_EQ(r.out, Folders(row.out));
    EXPECT_EQ(r.err, Folders(row.err));
    if (!row.out.empty()) {
      EXPECT_EQ(LogEntries(), Fill(Folders(row.out), "\n", "\r\n"));
    }
    const auto eq = row.after.find('=');
    if (row.after.rfind('!', 0) == 0) {
      EXPECT_FALSE(dir.Exists(row.after.substr(1)));
    } else if (eq != std::string::npos) {
      EXPECT_EQ(dir.Read(row.after.substr(0, eq)), row.after.substr(eq + 1));
    }
  }
}

TEST_F(RunTest, TheRegistryGivesTheFolderUnlessAnOptionOverridesIt) {
  std::filesystem::create_directories(dir.path() / "prefix/drive_c/Games/LW");
  std::filesystem::create_directories(dir.path() / "prefix/dosdevices");
  std::filesystem::create_directory_symlink("../drive_c", dir.path() / "prefix/dosdevices/c:");
  dir.Write("prefix/system.reg",
            "WINE REGISTRY Version 2\n"
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\dflw.exe] 1\n"
            "\"Path\"=\"C:\\\\Games\\\\LW\"\n");
  ScopedEnv wine("WINEPREFIX", dir / "prefix");
  Build(kCopyA, {{"a.txt", "a"}});
  EXPECT_EQ(RunCli(cli::Run, {installer}).code, kRunCompleted);
  EXPECT_EQ(dir.Read("prefix/drive_c/Games/LW/a.txt"), "a");
  EXPECT_EQ(RunCli(cli::Run, {installer, "--game-folder", "3=" + game}).code, kRunCompleted);
  EXPECT_EQ(dir.Read("LW/a.txt"), "a");
}

// dfmod restore and the uninstall list's quiet route delete the keys of what they undid.
TEST_F(RunTest, RemovingAnInstallDeletesItsUninstallKey) {
  testing::UninstallKeys keys;
  std::ostringstream out, err;
  Io io{out, err, HostRegistry,
        [&] { return std::make_unique<testing::RecordingUninstallList>(keys); }};
  const std::string store = dir / "R";
  Build(kCopyA, {{"a.txt", "a"}});
  const Args run = {installer, "--game-folder", "3=" + game, "--restore-dir", store};
  for (int i = 0; i < 2; ++i) EXPECT_EQ(RunCli(cli::Run, run).code, kRunCompleted);
  auto points = RestoreStore(*MakeHostFileSystem(), store).List();
  ASSERT_EQ(points->size(), 2u);
  const std::string newer = (*points)[0].id, older = (*points)[1].id;
  for (const std::string& id : {older, newer}) keys.keys[id] = {id, {{kRestoreFolderValue, store}}};
  EXPECT_EQ(Restore({"--restore-dir", store}, io), kExitOk);
  EXPECT_EQ(InstallerMain({"--remove", older, "/quiet", "--restore-dir", store}, io), kExitOk);
  EXPECT_EQ(keys.calls, (std::vector<std::string>{"remove " + newer, "remove " + older}));
}

TEST(RunOptions, BadUsageExitsTwoWithTheReason) {
  const std::string see = "; see 'dfmod run --help'\n";
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"a", "b"}, "give exactly one INSTALLER"},
      {{"a", "--game-folder", "4=/x"}, "--game-folder takes V=DIR with V 1, 2 or 3, not '4=/x'"},
      {{"a", "--game-folder", "3="}, "--game-folder takes V=DIR with V 1, 2 or 3, not '3='"},
      {{"a", "--password"}, "--password needs a value"},
      {{"a", "--game-folder", "3=nope"}, "--game-folder 3=nope: no such folder"},
  };
  for (const auto& [args, message] : rows) {
    auto r = RunCli(cli::Run, args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "dfmod: run: " + message + see);
  }
  TempDir dir;
  dir.Write("a/f", "");
  dir.Write("b/f", "");
  RunOptions o;
  std::vector<std::string> operands;
  EXPECT_EQ(ParseRunOptions({"--game-folder", "2=" + (dir / "a"), "--game-folder",
                             "2=" + (dir / "b"), "--", "-x"},
                            o, operands),
            "");
  EXPECT_EQ(o.game_folders, (std::map<int, std::string>{{2, dir / "b"}}));
  EXPECT_EQ(operands, std::vector<std::string>{"-x"});
}

TEST_F(RunTest, InspectShowsThePayloadTheEntriesTheHeaderAndTheFindings) {
  Build(
      "Mod_Name \"Dry Creek\"\r\nWindow_Caption Setup\r\nDf_Version 3\r\nIcon Art\\x.ico\r\n"
      "Credits Credits.txt\r\nCredits_Color_Back 1 2 3\r\nCredits_Color_Fore 0 0 300\r\n"
      "Paack a Kyv_DF3_Location\r\n",
      {{"Credits.txt", "thanks"}});
  auto r = RunCli(Inspect, {installer});
  EXPECT_EQ(r.code, kExitFindings);
  EXPECT_EQ(r.err, "");
  const std::string& out = r.out;
  EXPECT_EQ(out.rfind("payload: ", 0), 0u);
  EXPECT_NE(out.find("\ntrailer      offset "), std::string::npos);
  // Only what start-up reads is unpacked: not Credits.txt (nor a missing icon).
  EXPECT_NE(out.find("Main.zip: 2 entries\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nunpacked for start-up: Control.ini\nsettings header"), std::string::npos);
  EXPECT_EQ(
      out.substr(out.find("settings header")),
      Folders("settings header, as start-up reads it:\n"
              "  start-up              ready: Install is enabled\n"
              "  control lines         8\n"
              "  window_caption        Setup\n"
              "  mod_name              Dry Creek\n"
              "  df_version            3 (Delta Force Land Warrior)\n"
              "  icon                  (none)\n"
              "  skin                  (none)\n"
              "  credits               Credits.txt\n"
              "  credits_font          Comic Sans MS\n"
              "  credits_font_size     14\n"
              "  credits_color_back    1 2 3\n"
              "  credits_color_fore    0 255 0\n"
              "  credits_color_shadow  0 0 0\n"
              "start-up messages:\n"
              "[DF Mod Installer] An Error Occurred Processing The Control File On Line #4, "
              "Error: File not found: {dir}Downloads.old/x.ico (No such file or directory) #53\n"
              "lint findings:\n"
              "  Control.ini:7: 'Credits_Color_Fore' value '300' is 256 or more: start-up "
              "ignores the line\n"
              "  Control.ini:8: unknown keyword 'Paack': both readers ignore the line\n"));
  EXPECT_FALSE(dir.Exists("Downloads.old/Control.ini"));  // start-up ran elsewhere

  Build("df_version 2\r\n");
  r = RunCli(Inspect, {installer});
  EXPECT_EQ(r.code, kExitOk) << r.out;
  EXPECT_NE(r.out.find("  df_version            2 (Delta Force 2)\n"), std::string::npos);
  EXPECT_NE(r.out.find("start-up messages: none\nlint findings: none\n"), std::string::npos);
}

}  // namespace
}  // namespace dfm::cli
