#include "zip/zip_extract.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "zip/extract_zip.h"
#include "zip/unzip_settings.h"
#include "zip/zip_entry_path.h"

namespace dfm {
namespace {

using testing::AsText;
using testing::MakeZip;
using testing::RecordingDialogs;
using testing::TempDir;
using testing::ZipSpec;

constexpr LocalDateTime kMay6{2024, 5, 6, 7, 8, 10, 0, 0};
const ZipAddOptions kAtMay6{true, kMay6, ZipEncryption::kNone, ""};

class UnzipTest : public ::testing::Test {
 protected:
  // Main.zip and an empty extraction folder.
  void Archive(const std::string& zip) {
    std::filesystem::remove_all(dir.path() / "out");
    std::filesystem::create_directory(dir.path() / "out");
    dir.Write("Main.zip", zip);
  }
  void Archive(const std::vector<ZipSpec>& entries) { Archive(AsText(MakeZip(entries))); }
  UnzipSettings Unzip() {
    UnzipSettings u(fs, dialogs);
    u.SetZipFileName(dir / "Main.zip");
    u.SetExtractDir(out);
    return u;
  }
  // A run straight through the library, with the glue's callbacks.
  int Run(UnzipOptionRecord r, const UnzipNameLists& lists = {},
          PathStyle style = PathStyle::kPosix) {
    ResetUnzipState();
    r.zip_name = dir / "Main.zip";
    r.extract_dir = out;
    UnzipDialogCallbacks callbacks(dialogs);
    return RunUnzip(fs, r, callbacks, lists, style);
  }
  std::string Out(const std::string& name) const { return dir.Read("out/" + name); }
  bool OutHas(const std::string& name) const { return dir.Exists("out/" + name); }

  TempDir dir;
  std::string out = dir.str() + "out/";
  std::unique_ptr<FileSystem> host = MakeHostFileSystem();
  testing::FaultyFileSystem fs{*host};
  RecordingDialogs dialogs;
};

TEST(UnzipSettings, DefaultsAndEachPropertyLandInTheirFieldsOfTheOptionRecord) {
  RecordingDialogs dialogs;
  auto fs = MakeHostFileSystem();
  UnzipSettings u(*fs, dialogs);
  u.SetZipFileName("C:\\Mod\\Main.zip");
  u.SetExtractDir("C:\\Mod\\");
  auto r = BuildOptionRecord(u.Arguments());  // the defaults, flags as 1 or 0
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Numbers(),
            (std::array<std::int32_t, 15>{0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0}));
  EXPECT_EQ(r->zip_name + "|" + r->extract_dir, "C:\\Mod\\Main.zip|C:\\Mod\\");
  // Each flag turned from its default, each number set: only its own field changes.
  const std::pair<void (UnzipSettings::*)(bool), int> flags[] = {
      {&UnzipSettings::SetExtractOnlyNewer, 0}, {&UnzipSettings::SetSpaceToUnderScore, 1},
      {&UnzipSettings::SetPromptOverwrite, 2},  {&UnzipSettings::SetWriteToStdOut, 4},
      {&UnzipSettings::SetTestZip, 5},          {&UnzipSettings::SetExtractNewer, 7},
      {&UnzipSettings::SetDisplayComment, 8},   {&UnzipSettings::SetHonorDirectories, 9},
      {&UnzipSettings::SetOverWriteFiles, 10},  {&UnzipSettings::SetConvertCRtoCRLF, 11},
      {&UnzipSettings::SetVerbose, 12},         {&UnzipSettings::SetCaseSensitive, 13}};
  const std::tuple<void (UnzipSettings::*)(std::int32_t), int, std::int32_t> numbers[] = {
      {&UnzipSettings::SetMessageLevel, 3, -7},
      {&UnzipSettings::SetExtractList, 6, 32767},
      {&UnzipSettings::SetPrivilege, 14, -32768}};
  auto expect = [&](auto set, int field, std::int32_t value) {
    UnzipSettings v = u;
    (v.*set)(value);
    auto expected = r->Numbers();
    expected[static_cast<std::size_t>(field)] = value;
    EXPECT_EQ(BuildOptionRecord(v.Arguments())->Numbers(), expected) << "field " << field;
  };
  for (const auto& [set, field] : flags) expect(set, field, 1 - r->Numbers()[field]);
  for (const auto& [set, field, value] : numbers) expect(set, field, value);
}

// One run each: the archive, the option record's changes ("field=value ..."; fault=part:
// writes to paths holding it fail), the result, the files in the extraction folder after the
// run ("name=bytes|...", folders end in "/"; nothing lands outside it), the message text
// ({zip} and {out} stand for the paths) and the names to take.
struct Extraction {
  const char* what;
  std::vector<ZipSpec> entries;
  std::string options;
  int rc;
  std::string files, message;
  UnzipNameLists lists{};
};

TEST_F(UnzipTest, ExtractsWhatTheOptionsAskAndSaysWhatItDid) {
  const std::string damaged_data(50000, 'x');
  const std::vector<ZipSpec> damaged = {
      {"a.txt", "fine"}, {"b.txt", damaged_data, {false, {}, ZipEncryption::kNone, ""}}};
  const std::vector<ZipSpec> folders = {{"Textures/a.pcx", "pcx"},
                                        {"Sounds\\b.wav", "wav"},
                                        {"Empty/", ""},
                                        {"/abs.txt", "abs"},
                                        {"../evil.txt", "evil"},
                                        {"Textures/../../evil2.txt", "evil"},
                                        {"", "noname"},
                                        {"Textures/..", "dots"}};
  const std::vector<ZipSpec> flat = {{"Textures/a.pcx", "pcx"},
                                     {"Sounds\\b.wav", "wav"},
                                     {"Docs/", ""},
                                     {"../../c.txt", "up"},
                                     {"Control.ini", "ini"}};
  const std::vector<ZipSpec> two = {{"a.txt", "line1\nline2", kAtMay6},
                                    {"Sub/b.bin", std::string(1000, 'b'), kAtMay6}};
  const std::vector<ZipSpec> text = {
      {"Read Me.txt", "a\nb\r\nc\n"}, {"data.BIN", std::string("a\n\0b", 4)}, {"x.pcx", "p"}};
  const UnzipNameLists txt_bin{{"*.txt", "*.bin"}, {}}, bin{{"*.bin"}, {}};
  const std::string out_of = "  (leads outside the extraction folder)\r\n";
  const std::vector<Extraction> rows = {
      {"without folders every entry lands in the folder by its last component", flat,
       "honor_folders=0", 0, "a.pcx=pcx|b.wav=wav|c.txt=up|Control.ini=ini", ""},
      {"with folders nothing lands outside the extraction folder", folders, "", unzip::kWarning,
       "Textures/|Textures/a.pcx=pcx|Sounds/|Sounds/b.wav=wav|Empty/|abs.txt=abs",
       "skipping: ../evil.txt" + out_of + "skipping: Textures/../../evil2.txt" + out_of +
           "skipping:   (has no usable file name)\r\nskipping: Textures/.." + out_of},
      {"test", two, "test=1 quiet=0", 0, "",
       "Archive:  {zip}\r\n    testing: a.txt   OK\r\n    testing: Sub/b.bin   OK\r\nNo errors "
       "detected in compressed data of {zip}.\r\n"},
      {"list", two, "list=1 quiet=1", 0, "",
       "       11  2024-05-06 07:08   a.txt\r\n     1000  2024-05-06 07:08   Sub/b.bin\r\n"},
      {"print", two, "to_stdout=1", 0, "", "line1\r\nline2" + std::string(1000, 'b')},
      {"a damaged entry leaves no half-written file", damaged, "quiet=0", unzip::kError,
       "a.txt=fine",
       "Archive:  {zip}\r\n  inflating: {out}a.txt\r\n extracting: {out}b.txt\r\nerror: cannot "
       "extract {out}b.txt (CRC error)\r\n"},
      {"testing a damaged entry", damaged, "test=1", unzip::kError, "",
       "    testing: b.txt   CRC error\r\nAt least one error was detected in {zip}.\r\n"},
      {"write failures leave the other entries extracted",
       {{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}},
       "fault=b.txt",
       unzip::kError,
       "a.txt=A|c.txt=C",
       "error: cannot write {out}b.txt (Device I/O error (injected))\r\n"},
      {"text conversion, spaces and name patterns", text,
       "text_crlf=1 space_to_underscore=1 case_sensitive=0", 0,
       "Read_Me.txt=a\r\nb\r\nc\r\n|data.BIN=" + std::string("a\n\0b", 4), "", txt_bin},
      {"case-sensitive patterns", text, "", unzip::kNoMatch, "",
       "caution: filename not matched:  *.bin\r\n", bin},
  };
  const std::map<std::string, std::int32_t UnzipOptionRecord::*> fields = {
      {"quiet", &UnzipOptionRecord::quiet},
      {"test", &UnzipOptionRecord::test},
      {"list", &UnzipOptionRecord::list},
      {"to_stdout", &UnzipOptionRecord::to_stdout},
      {"honor_folders", &UnzipOptionRecord::honor_folders},
      {"text_crlf", &UnzipOptionRecord::text_crlf},
      {"space_to_underscore", &UnzipOptionRecord::space_to_underscore},
      {"case_sensitive", &UnzipOptionRecord::case_sensitive}};
  for (const Extraction& row : rows) {
    SCOPED_TRACE(row.what);
    std::string zip = AsText(MakeZip(row.entries));
    if (row.entries.size() == 2 && row.entries[1].data == damaged_data)
      zip[zip.find("xxxx") + 100] = 'y';  // stored data: the checksum no longer matches
    Archive(zip);
    fs.Clear();
    UnzipOptionRecord r;  // the glue's defaults
    r.quiet = 2, r.honor_folders = 1, r.overwrite = 1, r.case_sensitive = 1;
    std::istringstream options(row.options);
    for (std::string o; options >> o;) {
      const std::string key = o.substr(0, o.find('=')), value = o.substr(o.find('=') + 1);
      if (key == "fault") {
        fs.Fail({.op = "write", .path_contains = value});
      } else {
        r.*fields.at(key) = std::stoi(value);
      }
    }
    EXPECT_EQ(Run(r, row.lists), row.rc);
    std::map<std::string, std::string> want = {{"Main.zip", zip}, {"out/", ""}};
    std::istringstream files(row.files);
    for (std::string f; std::getline(files, f, '|');) {
      const auto eq = f.find('=');
      want["out/" + f.substr(0, eq)] = eq == std::string::npos ? "" : f.substr(eq + 1);
    }
    EXPECT_EQ(dir.Tree(), want);
    std::string message = row.message;
    for (const auto& [key, value] : {std::pair{"{zip}", dir / "Main.zip"}, {"{out}", out}}) {
      for (auto at = message.find(key); at != std::string::npos; at = message.find(key))
        message.replace(at, std::string(key).size(), value);
    }
    EXPECT_EQ(LastUnzipMessage(), message);
  }
  EXPECT_TRUE(MatchesPattern("Tex*/a?.PCX", "textures/ab.pcx", false));
  EXPECT_FALSE(MatchesPattern("Tex*/a?.PCX", "textures/ab.pcx", true));
  EXPECT_FALSE(MatchesPattern("*.pcx", "a.pcx.bak", false));
}

// Empty names keep the ones set; numbers must fit 16 bits; the message text is the last
// run's, the glue's line feeds become CR LF and a NUL ends a piece.
TEST_F(UnzipTest, ArgumentsNumbersAndTheMessageText) {
  Archive({{"a.txt", "A"}});
  auto u = Unzip();
  u.SetMessageLevel(0);
  EXPECT_EQ(*u.Unzip(), 0);
  u.SetMessageLevel(2);
  ASSERT_EQ(*u.Unzip("", ""), 0);
  EXPECT_EQ(u.GetLastMessage(), "");
  EXPECT_EQ(*u.Unzip(dir / "Other.zip"), unzip::kNoZip);
  EXPECT_EQ(u.ZipFileName(), dir / "Other.zip");
  u.SetZipFileName(dir / "Main.zip");
  std::filesystem::remove(dir.path() / "out" / "a.txt");
  u.SetMessageLevel(32768);
  EXPECT_EQ(u.Unzip().failure(), (Failure{err::kOverflow, "Overflow: MessageLevel 32768"}));
  EXPECT_FALSE(OutHas("a.txt"));
  UnzipDialogCallbacks glue(dialogs);
  glue.Print("\n");
  glue.Print("\nmore text");
  glue.Print(std::string_view("cut\0here", 8));
  EXPECT_EQ(LastUnzipMessage(), "\r\n\r\ncut");
}

TEST(PlaceEntry, WindowsTargetsRefuseDrivesColonsDevicesAndDotNames) {
  const std::tuple<std::string, bool, std::vector<std::string>> groups[] = {
      {"names a drive or holds a colon", false, {"C:evil.dll", "a:b.txt"}},
      {"names a drive or holds a colon", true, {"C:\\Windows\\evil.dll"}},
      {"names a device", false, {"CON", "con.txt", "Aux .pcx", "COM9.log"}},
      {"names a device", true, {"Textures/LPT1/x.pcx"}},
      {"has no usable file name", false, {"...", "dir/..", ""}},
      {"", false, {"COM10.txt", "COM0.txt", "console.txt"}},
      {"", true, {"Textures\\a b.pcx"}},
  };
  for (const auto& [problem, honor, names] : groups) {
    for (const std::string& name : names)
      EXPECT_EQ(PlaceEntry(name, honor, false, PathStyle::kWindows).problem, problem) << name;
  }
  EXPECT_EQ(PlaceEntry("C:evil.dll", false, false, PathStyle::kPosix).problem, "");
  EXPECT_EQ(PlaceEntry("My Textures\\a b.pcx", true, true, PathStyle::kWindows).components,
            (std::vector<std::string>{"My_Textures", "a_b.pcx"}));
}

TEST_F(UnzipTest, ExistingFilesAreReplacedKeptOrAskedAbout) {
  Archive({{"a.txt", "new a"}, {"b.txt", "new b"}, {"c.txt", "new c"}, {"d.txt", "new d"}});
  auto u = Unzip();
  // The defaults replace without asking; then keep; then ask, and Cancel stops the questions.
  for (const char* want : {"new a|new b|new c|new d", "old|old|old|old", "new a|old|old|old"}) {
    for (const char* n : {"a.txt", "b.txt", "c.txt", "d.txt"})
      dir.Write(std::string("out/") + n, "old");
    EXPECT_EQ(*u.Unzip(), 0);
    EXPECT_EQ(Out("a.txt") + "|" + Out("b.txt") + "|" + Out("c.txt") + "|" + Out("d.txt"), want);
    u.SetOverWriteFiles(false);
    u.SetPromptOverwrite(std::string(want) == "old|old|old|old");
    dialogs.answers = {MsgAnswer::kYes, MsgAnswer::kNo, MsgAnswer::kCancel};
  }
  ASSERT_EQ(dialogs.boxes.size(), 3u);
  const auto& box = dialogs.boxes[0];
  EXPECT_EQ(std::tie(box.text, box.title, box.buttons, box.icon),
            std::make_tuple("Overwrite " + out + "a.txt?", "VBUnZip32 - File Already Exists!",
                            MsgButtons::kYesNoCancel, MsgIcon::kExclamation));
}

TEST_F(UnzipTest, NewerOnlyAndFreshenCompareTimesAndExtractedFilesKeepTheirEntryTimes) {
  Archive({{"old.txt", "entry", kAtMay6},
           {"new.txt", "entry", kAtMay6},
           {"absent.txt", "entry", kAtMay6}});
  dir.Write("out/old.txt", "file");
  dir.Write("out/new.txt", "file");
  ASSERT_TRUE(fs.SetModifiedTime(out + "old.txt", {2024, 5, 6, 7, 8, 8}));
  ASSERT_TRUE(fs.SetModifiedTime(out + "new.txt", {2024, 5, 6, 7, 8, 11}));  // same 2 s
  auto u = Unzip();
  u.SetExtractNewer(true);  // freshen: existing files only
  EXPECT_EQ(*u.Unzip(), 0);
  EXPECT_EQ(Out("old.txt") + Out("new.txt") + std::to_string(OutHas("absent.txt")), "entryfile0");
  auto t = fs.ModifiedTime(out + "old.txt");
  EXPECT_EQ(std::tie(t->year, t->month, t->day, t->hour, t->minute, t->second),
            std::make_tuple(2024, 5, 6, 7, 8, 10));
  u.SetExtractNewer(false);
  u.SetExtractOnlyNewer(true);  // update: newer entries and new files
  dir.Write("out/old.txt", "file");
  ASSERT_TRUE(fs.SetModifiedTime(out + "old.txt", {2020, 1, 1, 0, 0, 0}));
  EXPECT_EQ(*u.Unzip(), 0);
  EXPECT_EQ(Out("old.txt") + Out("new.txt") + Out("absent.txt"), "entryfileentry");
}

// The password table's archives, stored in tests/data/: the Windows libzip cannot write
// encrypted entries. DFM_WRITE_TEST_DATA=1 makes them anew, each with its `wrong` passwords
// refused when an entry is opened (a traditional header's check byte lets about one wrong
// password in 256 through).
std::string EncryptedZip(ZipEncryption method, const std::vector<std::string>& names) {
  const std::string path = std::string(DFM_SOURCE_DIR "/tests/data/encrypted-") +
                           (method == ZipEncryption::kAes256 ? "aes256-" : "traditional-") +
                           std::to_string(names.size()) + ".zip";
  for (bool all_refused = false; !all_refused && std::getenv("DFM_WRITE_TEST_DATA");) {
    std::vector<ZipSpec> entries;
    for (const auto& n : names) entries.push_back({n, "secret " + n, {true, {}, method, "right"}});
    const Bytes zip = MakeZip(entries);
    auto archive = ZipArchive::FromBytes(zip);
    all_refused = true;
    for (std::uint64_t i = 0; i < names.size(); ++i) {
      for (const char* wrong : {"wrong", "worse", "worst"})
        all_refused = all_refused && !archive->OpenEntry(i, std::string(wrong));
    }
    if (all_refused) std::ofstream(path, std::ios::binary) << AsText(zip);
  }
  std::ifstream stored(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(stored), {}};
}

// Asked once and reused; a wrong answer is asked again, an empty one ends the questions.
TEST_F(UnzipTest, PasswordsAreAskedUntilRightOrRefused) {
  using enum ZipEncryption;
  const int bad = unzip::kBadPassword;
  const struct {
    ZipEncryption method;
    std::vector<std::string> names;
    std::deque<std::optional<std::string>> inputs;
    int rc;
    std::size_t prompts;
    std::string why;  // each entry's skipping message
  } rows[] = {
      {kTraditional, {"a.txt", "b.txt"}, {"wrong", "right"}, 0, 2, ""},
      {kAes256, {"a.txt", "b.txt"}, {"wrong", "right"}, 0, 2, ""},
      {kTraditional, {"a.txt", "b.txt"}, {""}, bad, 1, "unable to get password"},
      {kAes256, {"a.txt"}, {"wrong", "worse", "worst", "right"}, bad, 3, "incorrect password"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    Archive(EncryptedZip(row.method, row.names));
    dialogs = {};
    dialogs.inputs = row.inputs;
    auto u = Unzip();
    EXPECT_EQ(*u.Unzip(), row.rc);
    EXPECT_EQ(dialogs.prompts, std::vector<std::string>(row.prompts, "Please Enter The Password!"));
    std::string message;
    for (const auto& n : row.names) {
      EXPECT_EQ(Out(n), row.rc ? "" : "secret " + n);
      if (row.rc) message += "skipping: " + n + "  " + row.why + "\r\n";
    }
    EXPECT_EQ(u.GetLastMessage(), message);
  }
  std::string answer;
  dialogs.inputs = {std::string(100, 'p')};
  ResetUnzipState();
  UnzipDialogCallbacks glue(dialogs);
  EXPECT_EQ(glue.Password(answer, unzip::kPasswordCapacity, "", "a.txt"), 0);
  EXPECT_EQ(answer, std::string(80, 'p'));
}

}  // namespace
}  // namespace dfm
