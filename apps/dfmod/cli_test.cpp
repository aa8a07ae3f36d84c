// dfmod's commands in process: exit codes, stdout, stderr and the files they leave.
#include "dfmod/cli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "common/headless_run.h"
#include "common/host_registry.h"
#include "platform/host.h"
#include "script/control_file.h"
#include "shell/payload.h"
#include "support/jpeg_samples.h"
#include "support/pff_bytes.h"
#include "support/scoped_current_directory.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace dfm::cli {
namespace {

using testing::AsText;
using testing::MakeZip;
using testing::PffHeaderBytes;
using testing::PffRecordBytes;
using testing::PffTrailerBytes;
using testing::TempDir;
using testing::ZipSpec;

struct CliOutcome {
  int code;
  std::string out, err;
};

// Runs one subcommand (Pff, Lint, ...) in process and keeps what it printed.
CliOutcome RunCli(int (*command)(const Args&, Io&), const Args& args) {
  std::ostringstream out, err;
  Io io{out, err, HostRegistry};
  const int code = command(args, io);
  return {code, out.str(), err.str()};
}

// `text` with every `key` replaced by `value`.
std::string Fill(std::string text, const std::string& key, const std::string& value) {
  for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
  return text;
}

TEST(JsonString, KeepsUtf8AndEscapesOtherBytesAsLatin1) {
  EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonString("\xc3\xa9"), "\"\xc3\xa9\"");  // valid UTF-8 kept; Latin-1: lint --tokens
  EXPECT_EQ(JsonString(std::string("\0\n\x7f", 3)), R"("\u0000\n\u007f")");
  EXPECT_EQ(JsonString("\xc3"), R"("\u00c3")");                      // truncated sequence
  EXPECT_EQ(JsonString("\xed\xa0\x80"), R"("\u00ed\u00a0\u0080")");  // surrogate
}

// One dfmod pff call each: its arguments ({dir} is the test folder), exit code, stderr and
// stdout. a.pff holds "abc" (3 bytes) live, a dead record, and a 16-character name with a
// Latin-1 byte.
struct PffCall {
  std::vector<std::string> args;
  int code;
  std::string err, out{};
};

TEST(PffCommand, ListsAddsAndExtractsWithExactMessages) {
  TempDir dir;
  dir.Write("a.pff", PffHeaderBytes(3, 36, 30, 20, std::string("PF\0\xe9", 4)) + "abc" + "0123456" +
                         PffRecordBytes(0, 20, 3, 7, "Abc.pcx", 36, "KEEP") +
                         PffRecordBytes(1, 23, 7, -1, "<DEAD SPACE>", 36) +
                         PffRecordBytes(0, 23, 7, 99, "caf\xe9_sixteen_ch", 36) +
                         PffTrailerBytes());
  dir.Write("short.pff", "12345");
  dir.Write("bad.pff", PffHeaderBytes(-2, 32, 20));
  dir.Write("x.pcx", "x");
  const std::string negative = "Invalid file format: FileCount -2 is negative";
  const PffCall calls[] = {
      {{"list", "{dir}a.pff", "--json"},
       kExitOk,
       "",
       "{\"header_size\":20,\"signature\":\"PF\\u0000\\u00e9\",\"file_count\":3,"
       "\"record_size\":36,\"directory_offset\":30,\"entries\":["
       "{\"index\":0,\"dead\":0,\"offset\":20,\"size\":3,\"timestamp\":7,\"name\":\"Abc.pcx\"},"
       "{\"index\":1,\"dead\":1,\"offset\":23,\"size\":7,\"timestamp\":-1,"
       "\"name\":\"<DEAD SPACE>\"},"
       "{\"index\":2,\"dead\":0,\"offset\":23,\"size\":7,\"timestamp\":99,"
       "\"name\":\"caf\\u00e9_sixteen_ch\"}]}\n"},
      {{"list", "{dir}a.pff"},
       kExitOk,
       "",
       "header_size       20\n"
       "signature         PF\\x00\\xe9\n"
       "file_count        3\n"
       "record_size       36 (records of 36 bytes)\n"
       "directory_offset  30\n"
       "  index dead      offset        size   timestamp  name\n"
       "      0    0          20           3           7  Abc.pcx\n"
       "      1    1          23           7          -1  <DEAD SPACE>\n"
       "      2    0          23           7          99  caf\\xe9_sixteen_ch\n"},
      {{"list", "{dir}short.pff"},
       kExitUsage,
       "dfmod: pff list: {dir}short.pff: Input past end of file\n"},
      {{"list", "a", "--xml"},
       kExitUsage,
       "dfmod: pff list: unknown option '--xml'; see 'dfmod pff list --help'\n"},
      {{"add", "{dir}bad.pff", "{dir}x.pcx"},
       kExitFindings,
       "[dfmod] Error in UpdatePff\r\n" + negative + "\n[dfmod] Error in AddFile, File: \"" +
           "{dir}x.pcx\"\r\n" + negative + "\n"},
      {{"extract", "{dir}a.pff", "-o", "{dir}one", "ABC.PCX", "nothing.pcx"},
       kExitFindings,
       "dfmod: pff extract: no entry named nothing.pcx\n"},
  };
  const std::string root = (dir.path() / "").string();  // with the host's separator
  for (const PffCall& call : calls) {
    Args args;
    for (const auto& a : call.args) args.push_back(Fill(a, "{dir}", root));
    SCOPED_TRACE(args[0] + " " + args[1]);
    auto r = RunCli(Pff, args);
    EXPECT_EQ(r.code, call.code);
    EXPECT_EQ(r.out, call.out);
    EXPECT_EQ(r.err, Fill(call.err, "{dir}", root));
  }
  EXPECT_EQ(dir.Read("bad.pff"), PffHeaderBytes(-2, 32, 20));
  EXPECT_EQ(dir.Read("one/Abc.pcx"), "abc");
  EXPECT_FALSE(dir.Exists("one/caf\xe9_sixteen_ch"));
}

// Adding files byte for byte and extracting by name: tests/cli/pff.sh.
TEST(PffCommand, ExtractsEveryLiveEntryUnderItsOwnNameAndNothingOutsideTheFolder) {
  TempDir dir;
  auto entry = [](int offset, int size, const char* name, int dead = 0) {
    return PffRecordBytes(dead, offset, size, 0, name);
  };
  dir.Write("a.pff", PffHeaderBytes(8, 32, 23) + "abc" + entry(20, 3, "../up") +
                         entry(20, 2000, "big") + entry(20, 3, "ok") + entry(21, 2, "OK") +
                         entry(20, 1, "Ok~2") + entry(99999, 0, "empty") + entry(20, 3, "link") +
                         entry(20, 3, "dead", 1));
  dir.Write("outside", "keep");
  std::filesystem::create_directories(dir / "out");
  std::filesystem::create_symlink(dir / "outside", dir / "out/link");
  auto r = RunCli(Pff, {"extract", dir / "a.pff", "-o", dir / "out"});
  EXPECT_EQ(r.code, kExitFindings);
  EXPECT_EQ(r.err,
            "dfmod: pff extract: ../up: not a plain file name; not extracted\n"
            "dfmod: pff extract: big: its data lies outside the archive; not extracted\n"
            "dfmod: pff extract: link: a symbolic link stands in the way; not written\n");
  const std::string note = ": an entry of the same name in another letter case came first\n";
  EXPECT_EQ(r.out, "OK: written as OK~2" + note + "Ok~2: written as Ok~2~2" + note);
  EXPECT_FALSE(dir.Exists("up") || dir.Exists("out/dead"));
  EXPECT_EQ(dir.Read("out/ok") + dir.Read("out/OK~2") + dir.Read("out/Ok~2~2"), "abcbca");
  EXPECT_EQ(dir.Read("out/empty"), "");
  EXPECT_EQ(dir.Read("outside"), "keep");
}

// The mod-folder layout is checked end to end by tests/cli/build.sh.
TEST(BuildCommand, SlotsComeFromAnExistingInstallerAndAZipIsTakenAsItIs) {
  testing::TempDir dir;
  auto fs = MakeHostFileSystem();
  Bytes slots(kLibrarySlotsSize);
  for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = static_cast<unsigned char>(i * 7);
  Bytes zip = MakeZip({{"Folder/x.txt", "x"}});
  ASSERT_TRUE(WriteInstaller(*fs, dir / "old.exe", {'M', 'Z'}, slots, MakeZip({{"a", "b"}})));
  dir.Write("Main.zip", AsText(zip));
  dir.Write("stub", "stub");
  auto r = RunCli(Build, {"--zip", dir / "Main.zip", "-o", dir / "new.exe", "--stub", dir / "stub",
                          "--libs-from", dir / "old.exe", "--allow-no-control"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string trailer{static_cast<char>(zip.size()), static_cast<char>(zip.size() >> 8),
                            static_cast<char>(zip.size() >> 16), 0};
  EXPECT_EQ(dir.Read("new.exe"), "stub" + AsText(slots) + AsText(zip) + trailer);
}

// The usage mistakes are rows of tests/cli/usage.sh.
TEST(BuildCommand, InputErrorsSayWhatIsWrongAndWriteNothing) {
  testing::TempDir dir;
  dir.Write("stub", "stub");
  dir.Write("mod2/a/Same.txt", "1");
  dir.Write("mod2/b/same.TXT", "2");
  dir.Write("notzip", "hello");
  dir.Write("nocontrol.zip", AsText(MakeZip({{"Folder/Control.ini.txt", "x"}})));
  const std::pair<Args, std::string> rows[] = {
      {{"--mod", dir / "mod2", "--stub", dir / "stub", "-o", dir / "x"},
       "two files would both become same.TXT in Main.zip: " + dir / "mod2" + "/a/Same.txt and " +
           dir / "mod2" + "/b/same.TXT"},
      {{"--zip", dir / "notzip", "--stub", dir / "stub", "-o", dir / "x"},
       dir / "notzip" + ": not a ZIP archive (Not a zip archive)"},
      {{"--zip", dir / "nocontrol.zip", "--stub", dir / "stub", "-o", dir / "x"},
       dir / "nocontrol.zip" +
           ": no Control.ini among its entries: the installer could never start "
           "(--allow-no-control builds it anyway)"},
  };
  for (const auto& [args, message] : rows) {
    auto r = RunCli(Build, args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "dfmod: build: " + message + "\n");
  }
  EXPECT_FALSE(dir.Exists("x"));
  // In this test program no installer was built beside the running program.
  auto r = RunCli(Build, {"--mod", dir / "mod2", "-o", dir / "x"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find("DFModInstaller); pass --stub FILE\n"), std::string::npos);
}

// One dfmod lint call each: the file's bytes, the arguments ({file} is its path), the exit
// code and stdout. Unreadable files and the simple cases are rows of tests/cli/lint.sh.
struct LintCall {
  std::string bytes;
  std::vector<std::string> args;
  int code;
  std::string out;
};

TEST(LintCommand, PrintsFindingsOrTheWordsOfEveryLine) {
  testing::TempDir dir;
  const std::string file = dir / "Mod/CONTROL.INI";
  const LintCall calls[] = {
      {"Mod_Name x\r\n\r\nPack a.pcx\rDelete Control.ini\r\nFoo",
       {"{file}"},
       kExitFindings,
       "{file}:3: 'Pack' needs 3 words, the line has 2: the script run refuses it\n"
       "{file}:4: word 'Control.ini' ends with \"control.ini\": the script run refuses the line\n"
       "{file}:5: unknown keyword 'Foo': both readers ignore the line\n"
       "{file}:0: no df_version line with a value: the installer stops at start-up\n"},
      // Found as the installer finds it, in any letter case; options may come first.
      {"Df_Version 3\r\nPack a.pcx Kyv_DF3_Location\\Dflw.pff\r\n",
       {"--", dir.str() + "mod\\control.ini"},
       kExitOk,
       ""},
      {std::string("  Copy \"my file.pcx\"  b \r\n\r\n\xe9t\xe9 \"a\\b\"\rx\ny\r\n") +
           std::string(kMaxLineLength + 1, 'z') + "\r\nlast",
       {"--tokens", "{file}"},
       kExitOk,
       "[\"Copy\",\"my file.pcx\",\"b\",\"\"]\n[\"\"]\n[\"\\u00e9t\\u00e9\",\"a\\\\b\"]\n"
       "[\"x\\ny\"]\n[]\n[\"last\"]\n"},  // a line longer than the tokenizer takes: no words
      {"", {"{file}", "--tokens"}, kExitOk, ""},
  };
  for (const LintCall& call : calls) {
    SCOPED_TRACE(call.bytes.substr(0, 20));
    dir.Write("Mod/CONTROL.INI", call.bytes);
    Args args;
    for (const auto& a : call.args) args.push_back(Fill(a, "{file}", file));
    auto r = RunCli(Lint, args);
    EXPECT_EQ(r.code, call.code);
    EXPECT_EQ(r.out, Fill(call.out, "{file}", file));
    EXPECT_EQ(r.err, "");
  }
}

// A JPEG becomes a TGA and that a detail map; unreadable pictures exit 1 with the message.
TEST(ImageCommand, ConvertsOrSaysWhyNot) {
  testing::TempDir dir;
  dir.Write("in.jpg", AsText(testing::SampleJpeg(16, 8)));
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
    auto r = RunCli(Main, {"image", args[0], dir / args[1], dir / args[2]});
    EXPECT_EQ(r.code, err.empty() ? kExitOk : kExitFindings);
    EXPECT_EQ(r.err, err);
  }
  EXPECT_EQ(dir.Read("out.tga").size(), 18u + 16 * 8 * 3 + 50);
  EXPECT_EQ(dir.Read("out.pcx").substr(0, 4), std::string("\x0A\x05\x01\x08", 4));
  EXPECT_GT(dir.Read("out.pcx").size(), 128u + 769);
  EXPECT_EQ(dir.Read("bad.tga"), std::string(18, '\0'));  // the failed conversion wrote nothing
  EXPECT_FALSE(dir.Exists("bad.pcx"));
}

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
       "Copying a.txt To {game}/a.txt\n1 Operations Performed!\n0 Errors Occurred!\n"
       "Installation Completed!\n",
       password + done + "\n",
       "LW/a.txt=a"},
  };
  for (const RunRow& row : rows) {
    SCOPED_TRACE("row " + std::to_string(&row - rows.data()));
    Build(row.control, row.files);
    std::vector<std::string> args = {installer};
    for (const auto& o : row.options) args.push_back(Folders(o));
    auto r = RunCli(cli::Run, args);
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

TEST(RunOptions, BadUsageExitsTwoWithTheReason) {
  const std::string see = "; see 'dfmod run --help'\n";
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"a", "b"}, "give exactly one INSTALLER"},
      {{"a", "--game-folder", "4=/x"}, "--game-folder takes V=DIR with V 1, 2 or 3, not '4=/x'"},
      {{"a", "--game-folder", "3="}, "--game-folder takes V=DIR with V 1, 2 or 3, not '3='"},
      {{"a", "--password"}, "--password needs a value"},
  };
  for (const auto& [args, message] : rows) {
    auto r = RunCli(cli::Run, args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "dfmod: run: " + message + see);
  }
  RunOptions o;
  std::vector<std::string> operands;
  EXPECT_EQ(
      ParseRunOptions({"--game-folder", "2=/a", "--game-folder", "2=/b", "--", "-x"}, o, operands),
      "");
  EXPECT_EQ(o.game_folders, (std::map<int, std::string>{{2, "/b"}}));
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
