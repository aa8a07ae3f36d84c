// dfmod run and dfmod inspect on installers built here: exit codes, the status lines on
// stdout, the message boxes on stderr, the log, the game folder afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "dfmod/cli.h"
#include "dfmod/cli_dialogs.h"
#include "dfmod/headless_run.h"
#include "platform/host.h"
#include "shell/payload.h"
#include "support/cli_run.h"
#include "support/pff_bytes.h"
#include "support/scoped_current_directory.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace dfm::cli {
namespace {

using testing::MakeZip;
using testing::RunCli;
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

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

class RunTest : public ::testing::Test {
 protected:
  RunTest() {
    std::filesystem::create_directories(dir.path() / "Downloads.old");
    std::filesystem::create_directories(dir.path() / "LW");
    dir.Write("LW/Dflw.pff", testing::PffHeaderBytes(0, 36, 20));  // empty
  }

  // Builds Downloads.old/Setup.exe from Control.ini and the other files.
  void Build(const std::string& control, std::vector<ZipSpec> files = {}) {
    files.push_back({"Control.ini", control});
    auto fs = MakeHostFileSystem();
    ASSERT_TRUE(WriteInstaller(*fs, installer, Bytes{'M', 'Z'}, Bytes(kLibrarySlotsSize, 0),
                               MakeZip(files)));
  }
  testing::CliOutcome RunInstaller(std::vector<std::string> options) {
    options.insert(options.begin(), installer);
    return RunCli(cli::Run, options);
  }
  std::string Log() const { return dir.Read("Downloads.old/InstallLog.txt"); }
  // The log without its two header lines, which name the time.
  std::string LogEntries() const {
    std::string log = Log();
    std::size_t second = log.find("\r\n", log.find("\r\n") + 2);
    return second == std::string::npos ? log : log.substr(second + 2);
  }

  testing::ScopedCurrentDirectory keep_cwd{std::filesystem::current_path()};
  TempDir dir;
  ScopedEnv no_wine{"WINEPREFIX", dir / "no-prefix"};
  std::string installer = dir / "Downloads.old/Setup.exe";
  std::string program = dir.str() + "Downloads.old/";
  std::string game = dir / "LW";
};

const char kModControl[] =
    "Mod_Name \"Dry Creek\"\r\n"
    "Df_Version 3\r\n"
    "Pack tent.pcx Kyv_DF3_Location\\Dflw.pff\r\n"
    "Delete tent.pcx\r\n"
    "Copy ReadMe.txt Kyv_DF3_Location\r\n";

TEST_F(RunTest, ACleanRunPrintsEveryEntryAndExitsZero) {
  Build(kModControl, {{"Art/tent.pcx", "pcx data"}, {"ReadMe.txt", "read me"}});
  auto r = RunInstaller({"--game-folder", "3=" + game});
  EXPECT_EQ(r.code, kRunCompleted) << r.err;
  const std::vector<std::string> entries = {"Adding tent.pcx To " + game + "/Dflw.pff",
                                            "Deleting Temporary File ( tent.pcx )",
                                            "Copying ReadMe.txt To " + game + "/ReadMe.txt",
                                            "3 Operations Performed!",
                                            "0 Errors Occurred!",
                                            "Installation Completed!"};
  EXPECT_EQ(r.out, Lines(entries));
  EXPECT_EQ(r.err, "[DF Mod Installer] Installation Complete!\n");
  std::string log;
  for (const auto& e : entries) log += e + "\r\n";
  EXPECT_EQ(LogEntries(), log);
  EXPECT_EQ(Log().rfind("Kyv Obrik's DF Mod Installer\r\nLog Created On ", 0), 0u);
  EXPECT_EQ(dir.Read("LW/ReadMe.txt"), "read me");
  EXPECT_FALSE(dir.Exists("Downloads.old/tent.pcx"));
  EXPECT_FALSE(dir.Exists("Downloads.old/Main.zip"));
  EXPECT_TRUE(dir.Exists("Downloads.old/Unzip32.dll"));
  auto list = RunCli(Pff, {"list", game + "/Dflw.pff", "--json"});
  EXPECT_NE(list.out.find("\"size\":8,"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\"name\":\"tent.pcx\""), std::string::npos) << list.out;
}

TEST_F(RunTest, ErrorsInTheRunExitOne) {
  Build(kModControl, {{"ReadMe.txt", "read me"}});
  auto r = RunInstaller({"--game-folder", "3=" + game});
  EXPECT_EQ(r.code, kRunCompletedWithErrors);
  EXPECT_EQ(
      r.out,
      Lines(
          {"Adding tent.pcx To " + game + "/Dflw.pff",
           "Error: File Not Found! ( " + program + "tent.pcx ), Operation could not be completed!",
           "Deleting Temporary File ( tent.pcx )",
           "Error: File Not Found! ( " + program + "tent.pcx ), Operation could not be completed!",
           "Copying ReadMe.txt To " + game + "/ReadMe.txt", "1 Operations Performed!",
           "2 Errors Occurred!", "Installation Completed!"}));
  EXPECT_EQ(r.err,
            "[DF Mod Installer] Installation Complete!\r\nHowever There Where 2 Errors!\r\n"
            "Please Consult The \"InstallLog.txt\" For More Information!\n");
}

TEST_F(RunTest, TheCriticalQuestionIsAnsweredFromTheOption) {
  Build(kModControl, {{"tent.pcx", "pcx data"}, {"ReadMe.txt", "read me"}});
  std::filesystem::remove(dir.path() / "LW/Dflw.pff");
  const std::string question =
      "[Warning: Critical File Missing!] A critical Delta Force file was not found: \r\n( " + game +
      "/Dflw.pff )\r\nThis is most likely due to an invalid Delta Force path!\r\n"
      "Would you like to abort installation? (so you can select a valid path)\n";
  const std::string first_lines = Lines(
      {"Adding tent.pcx To " + game + "/Dflw.pff",
       "Error: File Not Found! ( " + game + "/Dflw.pff ), Operation could not be completed!"});

  auto r = RunInstaller({"--game-folder", "3=" + game, "--critical", "abort"});
  EXPECT_EQ(r.code, kRunAborted);
  EXPECT_EQ(r.out, first_lines);
  EXPECT_EQ(r.err, question + "-> Yes (--critical abort)\n");
  EXPECT_FALSE(dir.Exists("LW/ReadMe.txt"));

  r = RunInstaller({"--game-folder", "3=" + game, "--critical", "continue"});
  EXPECT_EQ(r.code, kRunCompletedWithErrors);
  EXPECT_EQ(r.out.rfind(first_lines + "Deleting Temporary File ( tent.pcx )\n", 0), 0u) << r.out;
  EXPECT_EQ(
      r.err.rfind(
          question + "-> No (--critical continue)\n[DF Mod Installer] Installation Complete!\r\n",
          0),
      0u);
  EXPECT_EQ(RunInstaller({"--game-folder", "3=" + game}).code, kRunCompletedWithErrors);
}

TEST_F(RunTest, StartUpThatEndsExitsThree) {
  Build("Mod_Name X\r\nDf_Version 7\r\n");
  auto r = RunInstaller({"--game-folder", "3=" + game});
  EXPECT_EQ(r.code, kRunStartUpEnded);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "[DF Mod Installer] Invalid Or Missing Delta Force Version In Control.ini!\r\n"
            "Installer Will Exit!\n");

  auto fs = MakeHostFileSystem();
  ASSERT_TRUE(WriteInstaller(*fs, installer, Bytes{'M', 'Z'}, Bytes(kLibrarySlotsSize, 0),
                             MakeZip({{"readme.txt", "no control file"}})));
  std::filesystem::remove(dir.path() / "Downloads.old/Control.ini");
  r = RunInstaller({});
  EXPECT_EQ(r.code, kRunStartUpEnded);
  EXPECT_EQ(r.err, "[DF Mod Installer] Error: File Not Found! ( " + program +
                       "Control.ini ), Installation could not be completed!\n");
}

TEST_F(RunTest, AnUnknownFolderStopsBeforeInstallAndOtherVersionsAskAndAreCancelled) {
  Build(kModControl);
  auto r = RunInstaller({});
  EXPECT_EQ(r.code, kRunAborted);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "[DF Mod Installer] Please Set Valid Delta Force 3 Path First!\n"
            "dfmod: run: no folder for game 3 is known: give it as --game-folder 3=DIR\n");

  Build("df_version 3\r\nCopy a.txt Kyv_DF1_Location\r\nCopy a.txt Kyv_DF2_Location\r\n",
        {{"a.txt", "a"}});
  std::filesystem::create_directory(dir.path() / "DF1");
  r = RunInstaller({"--game-folder", "3=" + game, "--game-folder", "1=" + (dir / "DF1")});
  EXPECT_EQ(r.code, kRunCompletedWithErrors);
  EXPECT_EQ(r.out.substr(0, r.out.find("\n")), "Copying a.txt To " + (dir / "DF1") + "/a.txt");
  EXPECT_NE(r.out.find("Copying a.txt To Nothing\\a.txt\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err.rfind("[DF Mod Installer] Please Select Your Delta Force 2 Folder!\n"
                        "-> cancelled (no --game-folder for 2)\n",
                        0),
            0u);
  EXPECT_EQ(dir.Read("DF1/a.txt"), "a");
}

TEST_F(RunTest, TheRegistryGivesTheFolderUnlessAnOptionOverridesIt) {
  const std::string prefix = dir / "prefix";
  std::filesystem::create_directories(dir.path() / "prefix/drive_c/Games/LW");
  std::filesystem::create_directories(dir.path() / "prefix/dosdevices");
  std::filesystem::create_directory_symlink("../drive_c", dir.path() / "prefix/dosdevices/c:");
  dir.Write("prefix/system.reg",
            "WINE REGISTRY Version 2\n"
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\dflw.exe] 1\n"
            "\"Path\"=\"C:\\\\Games\\\\LW\"\n");
  ScopedEnv wine("WINEPREFIX", prefix);
  Build("df_version 3\r\nCopy a.txt Kyv_DF3_Location\r\n", {{"a.txt", "a"}});

  EXPECT_EQ(RunInstaller({}).code, kRunCompleted);
  EXPECT_EQ(dir.Read("prefix/drive_c/Games/LW/a.txt"), "a");
  EXPECT_EQ(RunInstaller({"--game-folder", "3=" + game}).code, kRunCompleted);
  EXPECT_EQ(dir.Read("LW/a.txt"), "a");
}

TEST_F(RunTest, ThePasswordOptionAnswersForEncryptedEntries) {
  ZipAddOptions locked;
  locked.encryption = ZipEncryption::kAes256;
  locked.password = "s3cret";
  Build("df_version 3\r\nCopy a.txt Kyv_DF3_Location\r\n", {{"a.txt", "a", locked}});
  EXPECT_EQ(RunInstaller({"--game-folder", "3=" + game, "--password", "wrong"}).code,
            kRunCompletedWithErrors);
  EXPECT_FALSE(dir.Exists("LW/a.txt"));
  EXPECT_EQ(RunInstaller({"--game-folder", "3=" + game}).code, kRunCompletedWithErrors);
  EXPECT_EQ(RunInstaller({"--game-folder", "3=" + game, "--password", "s3cret"}).code,
            kRunCompleted);
  EXPECT_EQ(dir.Read("LW/a.txt"), "a");
}

TEST_F(RunTest, ARelativeGameFolderMeansTheFolderItWasGivenIn) {
  Build("df_version 3\r\nCopy a.txt Kyv_DF3_Location\r\n", {{"a.txt", "a"}});
  std::filesystem::current_path(dir.path());
  auto r = RunCli(cli::Run, {"Downloads.old/Setup.exe", "--game-folder", "3=LW"});
  EXPECT_EQ(r.code, kRunCompleted) << r.out << r.err;
  EXPECT_EQ(dir.Read("LW/a.txt"), "a");
}

TEST(RunOptions, BadUsageExitsTwoWithTheReason) {
  auto err = [](std::vector<std::string> args) { return RunCli(cli::Run, args).err; };
  const std::string see = "; see 'dfmod run --help'\n";
  EXPECT_EQ(err({"a", "b"}), "dfmod: run: give exactly one INSTALLER" + see);
  EXPECT_EQ(err({"a", "--game-folder", "4=/x"}),
            "dfmod: run: --game-folder takes V=DIR with V 1, 2 or 3, not '4=/x'" + see);
  EXPECT_EQ(err({"a", "--game-folder", "3="}),
            "dfmod: run: --game-folder takes V=DIR with V 1, 2 or 3, not '3='" + see);
  EXPECT_EQ(err({"a", "--password"}), "dfmod: run: --password needs a value" + see);
  EXPECT_EQ(RunCli(cli::Run, {"/no/such/Setup.exe"}).code, kExitUsage);

  RunOptions o;
  std::vector<std::string> operands;
  EXPECT_EQ(
      ParseRunOptions({"--game-folder", "2=/a", "--game-folder", "2=/b", "--", "-x"}, o, operands),
      "");
  EXPECT_EQ(o.game_folders, (std::map<int, std::string>{{2, "/b"}}));
  EXPECT_EQ(operands, std::vector<std::string>{"-x"});
  EXPECT_FALSE(o.abort_at_critical);
  EXPECT_EQ(o.password, std::nullopt);
}

TEST(CliDialogs, AnswersFromTheCommandLine) {
  std::ostringstream err;
  CliDialogs dialogs(err, "T",
                     CliAnswers{MsgAnswer::kNo,
                                "pw",
                                {{"Where 3?", "/games/lw"}},
                                "--no",
                                "--pw",
                                {{"Where 3?", "--at 3"}, {"Where 2?", "no --at 2"}}});
  EXPECT_EQ(dialogs.MessageBox("Abort?", "", MsgButtons::kYesNo, MsgIcon::kNone), MsgAnswer::kNo);
  EXPECT_EQ(dialogs.MessageBox("Done", "", MsgButtons::kOk, MsgIcon::kNone), MsgAnswer::kOk);
  EXPECT_EQ(dialogs.InputBox("Password?", "", ""), std::optional<std::string>("pw"));
  EXPECT_EQ(dialogs.BrowseForFolder("Where 3?"), std::optional<std::string>("/games/lw"));
  EXPECT_EQ(dialogs.BrowseForFolder("Where 2?"), std::nullopt);
  EXPECT_EQ(dialogs.BrowseForFolder("Where 1?"), std::nullopt);  // no source: not shown
  EXPECT_EQ(err.str(),
            "[T] Abort?\n-> No (--no)\n[T] Done\n[T] Password?\n-> the text given (--pw)\n"
            "[T] Where 3?\n-> /games/lw (--at 3)\n[T] Where 2?\n-> cancelled (no --at 2)\n");
}

class InspectTest : public RunTest {};

TEST_F(InspectTest, ShowsThePayloadTheEntriesTheHeaderAndTheFindings) {
  Build(
      "Mod_Name \"Dry Creek\"\r\nWindow_Caption Setup\r\nDf_Version 3\r\nIcon Art\\x.ico\r\n"
      "Credits Credits.txt\r\nCredits_Color_Back 1 2 3\r\nCredits_Color_Fore 0 0 300\r\n"
      "Paack a Kyv_DF3_Location\r\n",
      {{"Credits.txt", "thanks"}});
  auto r = RunCli(Inspect, {installer});
  EXPECT_EQ(r.code, kExitFindings);
  EXPECT_EQ(r.err, "");
  const std::string& out = r.out;
  const std::size_t entries = out.find("Main.zip: 2 entries\n");
  ASSERT_NE(entries, std::string::npos) << out;
  EXPECT_EQ(out.rfind("payload: ", 0), 0u);
  EXPECT_NE(out.find("\ntrailer      offset "), std::string::npos);
  // Only what start-up reads is unpacked: not Credits.txt (nor a missing icon).
  EXPECT_NE(out.find("\nunpacked for start-up: Control.ini\nsettings header"), std::string::npos);
  EXPECT_EQ(out.substr(out.find("settings header")),
            "settings header, as start-up reads it:\n"
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
            "Error: File not found: " +
                program +
                "x.ico (No such file or directory) #53\n"
                "lint findings:\n"
                "  Control.ini:7: 'Credits_Color_Fore' value '300' is 256 or more: start-up "
                "ignores the line\n"
                "  Control.ini:8: unknown keyword 'Paack': both readers ignore the line\n");
  EXPECT_FALSE(dir.Exists("Downloads.old/Control.ini"));  // start-up ran elsewhere
}

TEST_F(InspectTest, ACleanInstallerExitsZeroAndAFileWithoutPayloadTwo) {
  Build("df_version 2\r\n");
  auto r = RunCli(Inspect, {installer});
  EXPECT_EQ(r.code, kExitOk) << r.out;
  EXPECT_NE(r.out.find("  df_version            2 (Delta Force 2)\n"), std::string::npos);
  EXPECT_NE(r.out.find("start-up messages: none\nlint findings: none\n"), std::string::npos);

  dir.Write("plain.exe", "MZ just a program");
  r = RunCli(Inspect, {dir / "plain.exe"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_EQ(r.err, "dfmod: inspect: Invalid payload in " + (dir / "plain.exe") +
                       ": the trailer announces 1835102823 bytes of Main.zip, but the 17-byte "
                       "file cannot hold them with the library slots\n");
  EXPECT_EQ(RunCli(Inspect, {}).code, kExitUsage);
}

}  // namespace
}  // namespace dfm::cli
