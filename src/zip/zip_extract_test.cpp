#include "zip/zip_extract.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "zip/kyv_unzip.h"
#include "zip/kyv_zip.h"
#include "zip/zip_entry_path.h"

namespace dfm {
namespace {

using testing::AsText;
using testing::MakeZip;
using testing::RecordingDialogs;
using testing::TempDir;
using testing::ZipSpec;

constexpr LocalDateTime kMay6{2024, 5, 6, 7, 8, 10, 0, 0};

ZipAddOptions At(LocalDateTime t) {
  ZipAddOptions o;
  o.modified = t;
  return o;
}

ZipAddOptions Stored() {
  ZipAddOptions o;
  o.compress = false;
  return o;
}

ZipAddOptions Encrypted(ZipEncryption method, std::string password) {
  ZipAddOptions o;
  o.encryption = method;
  o.password = std::move(password);
  return o;
}

UnzipNameLists Take(std::vector<std::string> patterns) {
  UnzipNameLists lists;
  lists.take = std::move(patterns);
  return lists;
}

class UnzipTest : public ::testing::Test {
 protected:
  UnzipTest() { std::filesystem::create_directory(dir.path() / "out"); }

  void Archive(const std::vector<ZipSpec>& entries) {
    dir.Write("Main.zip", AsText(MakeZip(entries)));
  }
  clsKyv_UnZip Unzip() {
    clsKyv_UnZip u(fs, dialogs);
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

TEST(ClsKyvUnZip, DefaultsAndEachPropertyLandInTheirFieldsOfTheOptionRecord) {
  RecordingDialogs dialogs;
  auto fs = MakeHostFileSystem();
  clsKyv_UnZip u(*fs, dialogs);
  auto defaults = BuildOptionRecord(u.Arguments());  // the defaults, flags as 1 or 0
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->Numbers(),
            (std::array<std::int32_t, 15>{0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0}));
  u.SetZipFileName("C:\\Mod\\Main.zip");
  u.SetExtractDir("C:\\Mod\\");
  u.SetHonorDirectories(false);  // as start-up sets it
  auto r = BuildOptionRecord(u.Arguments());
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Numbers(),
            (std::array<std::int32_t, 15>{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0}));
  EXPECT_EQ(r->zip_name, "C:\\Mod\\Main.zip");
  EXPECT_EQ(r->extract_dir, "C:\\Mod\\");

  struct Case {
    void (*set)(clsKyv_UnZip&);
    int field;
    std::int32_t value;
  };
  const Case cases[] = {
      {[](clsKyv_UnZip& x) { x.SetExtractNewer(true); }, 7, 1},
      {[](clsKyv_UnZip& x) { x.SetSpaceToUnderScore(true); }, 1, 1},
      {[](clsKyv_UnZip& x) { x.SetPromptOverwrite(true); }, 2, 1},
      {[](clsKyv_UnZip& x) { x.SetMessageLevel(-7); }, 3, -7},
      {[](clsKyv_UnZip& x) { x.SetWriteToStdOut(true); }, 4, 1},
      {[](clsKyv_UnZip& x) { x.SetTestZip(true); }, 5, 1},
      {[](clsKyv_UnZip& x) { x.SetExtractList(32767); }, 6, 32767},
      {[](clsKyv_UnZip& x) { x.SetExtractOnlyNewer(true); }, 0, 1},
      {[](clsKyv_UnZip& x) { x.SetDisplayComment(true); }, 8, 1},
      {[](clsKyv_UnZip& x) { x.SetHonorDirectories(true); }, 9, 1},
      {[](clsKyv_UnZip& x) { x.SetOverWriteFiles(false); }, 10, 0},
      {[](clsKyv_UnZip& x) { x.SetConvertCRtoCRLF(true); }, 11, 1},
      {[](clsKyv_UnZip& x) { x.SetVerbose(true); }, 12, 1},
      {[](clsKyv_UnZip& x) { x.SetCaseSensitive(false); }, 13, 0},
      {[](clsKyv_UnZip& x) { x.SetPrivilege(-32768); }, 14, -32768},
  };
  for (const auto& c : cases) {
    clsKyv_UnZip v = u;
    c.set(v);
    auto record = BuildOptionRecord(v.Arguments());
    ASSERT_TRUE(record);
    auto expected = r->Numbers();
    expected[static_cast<std::size_t>(c.field)] = c.value;
    EXPECT_EQ(record->Numbers(), expected) << "field " << c.field;
  }
}

TEST_F(UnzipTest, ArgumentsReplaceNamesOnlyWhenGivenAndNumbersMustFit16Bits) {
  Archive({{"a.txt", "A"}});
  clsKyv_UnZip u(fs, dialogs);
  u.SetZipFileName(dir / "Main.zip");
  u.SetExtractDir(out);
  ASSERT_EQ(*u.Unzip("", ""), 0);  // empty names keep the ones set

  auto rc = u.Unzip(dir / "Other.zip");
  ASSERT_TRUE(rc);
  EXPECT_EQ(*rc, unzip::kNoZip);
  EXPECT_EQ(u.ZipFileName(), dir / "Other.zip");
  u.SetZipFileName(dir / "Main.zip");
  std::filesystem::remove(dir.path() / "out" / "a.txt");
  u.SetMessageLevel(32768);
  auto failed = u.Unzip();
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.failure(), (Failure{err::kOverflow, "Overflow: MessageLevel 32768"}));
  EXPECT_FALSE(OutHas("a.txt"));
}

// One run each: the archive, the option record's changes ("field=value ..."), the result,
// the files in the extraction folder after the run ("name=bytes|...", folders end in "/";
// nothing lands outside it) and the message text ({zip} and {out} stand for the paths).
struct Extraction {
  const char* what;
  std::vector<ZipSpec> entries;
  std::string options;
  int rc;
  std::string files, message;
  std::string fault_path{};  // writes to it fail
  UnzipNameLists lists{};
};

TEST_F(UnzipTest, ExtractsWhatTheOptionsAskAndSaysWhatItDid) {
  const std::string damaged_data(50000, 'x');
  const std::vector<ZipSpec> damaged = {{"a.txt", "fine"}, {"b.txt", damaged_data, Stored()}};
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
  const std::vector<ZipSpec> two = {{"a.txt", "line1\nline2", At(kMay6)},
                                    {"Sub/b.bin", std::string(1000, 'b'), At(kMay6)}};
  const std::vector<ZipSpec> text = {
      {"Read Me.txt", "a\nb\r\nc\n"}, {"data.BIN", std::string("a\n\0b", 4)}, {"x.pcx", "p"}};
  const std::vector<ZipSpec> abc = {{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}};
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
      {"write failures leave the other entries extracted", abc, "", unzip::kError,
       "a.txt=A|c.txt=C", "error: cannot write {out}b.txt (Device I/O error (injected))\r\n",
       "b.txt"},
      {"text conversion, spaces and name patterns", text,
       "text_crlf=1 space_to_underscore=1 case_sensitive=0", 0,
       "Read_Me.txt=a\r\nb\r\nc\r\n|data.BIN=" + std::string("a\n\0b", 4), "", "",
       Take({"*.txt", "*.bin"})},
      {"case-sensitive patterns", text, "", unzip::kNoMatch, "",
       "caution: filename not matched:  *.bin\r\n", "", Take({"*.bin"})},
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
    std::filesystem::remove_all(dir.path() / "out");
    std::filesystem::create_directory(dir.path() / "out");
    std::string zip = AsText(MakeZip(row.entries));
    if (row.entries.size() == 2 && row.entries[1].data == damaged_data)
      zip[zip.find("xxxx") + 100] = 'y';  // stored data: the checksum no longer matches
    dir.Write("Main.zip", zip);
    fs.Clear();
    if (!row.fault_path.empty()) fs.Fail({.op = "write", .path_contains = row.fault_path});
    UnzipOptionRecord r;  // the glue's defaults
    r.quiet = 2, r.honor_folders = 1, r.overwrite = 1, r.case_sensitive = 1;
    std::istringstream options(row.options);
    for (std::string o; options >> o;)
      r.*fields.at(o.substr(0, o.find('='))) = std::stoi(o.substr(o.find('=') + 1));
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
  EXPECT_EQ(*Unzip().Unzip(dir / "Missing.zip"), unzip::kNoZip);
  EXPECT_TRUE(MatchesPattern("Tex*/a?.PCX", "textures/ab.pcx", false));
  EXPECT_FALSE(MatchesPattern("Tex*/a?.PCX", "textures/ab.pcx", true));
  EXPECT_FALSE(MatchesPattern("*.pcx", "a.pcx.bak", false));
}

// The message text is the last run's; the glue's line feeds become CR LF, a NUL ends a piece.
TEST_F(UnzipTest, MessageTextIsTheLastRunsAndLineFeedPiecesBecomeCrLf) {
  Archive({{"a.txt", "A"}});
  auto u = Unzip();
  u.SetMessageLevel(0);
  EXPECT_EQ(*u.Unzip(), 0);
  u.SetMessageLevel(2);
  EXPECT_EQ(*u.Unzip(), 0);
  EXPECT_EQ(u.GetLastMessage(), "");
  UnzipDialogCallbacks glue(dialogs);
  glue.Print("\n");
  glue.Print("\nmore text");
  glue.Print(std::string_view("cut\0here", 8));
  EXPECT_EQ(LastUnzipMessage(), "\r\n\r\ncut");
}

TEST(PlaceEntry, WindowsTargetsRefuseDrivesColonsDevicesAndDotNames) {
  struct Case {
    const char* name;
    bool honor;
    const char* problem;
  };
  const Case cases[] = {
      {"C:evil.dll", false, "names a drive or holds a colon"},
      {"C:\\Windows\\evil.dll", true, "names a drive or holds a colon"},
      {"a:b.txt", false, "names a drive or holds a colon"},
      {"CON", false, "names a device"},
      {"con.txt", false, "names a device"},
      {"Aux .pcx", false, "names a device"},
      {"Textures/LPT1/x.pcx", true, "names a device"},
      {"COM9.log", false, "names a device"},
      {"...", false, "has no usable file name"},
      {"dir/..", false, "has no usable file name"},
      {"", false, "has no usable file name"},
      {"COM10.txt", false, ""},
      {"console.txt", false, ""},
      {"Textures\\a b.pcx", true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlaceEntry(c.name, c.honor, false, PathStyle::kWindows).problem, c.problem) << c.name;
  }
  EXPECT_EQ(PlaceEntry("C:evil.dll", false, false, PathStyle::kPosix).problem, "");
  auto place = PlaceEntry("My Textures\\a b.pcx", true, true, PathStyle::kWindows);
  EXPECT_EQ(place.components, (std::vector<std::string>{"My_Textures", "a_b.pcx"}));
}

TEST_F(UnzipTest, ExistingFilesAreReplacedKeptOrAskedAbout) {
  Archive({{"a.txt", "new a"}, {"b.txt", "new b"}, {"c.txt", "new c"}, {"d.txt", "new d"}});
  for (const char* n : {"a.txt", "b.txt", "c.txt", "d.txt"})
    dir.Write(std::string("out/") + n, "old");

  auto u = Unzip();  // the defaults replace without asking
  EXPECT_EQ(*u.Unzip(), 0);
  EXPECT_EQ(Out("a.txt"), "new a");
  EXPECT_TRUE(dialogs.boxes.empty());

  for (const char* n : {"a.txt", "b.txt", "c.txt", "d.txt"})
    dir.Write(std::string("out/") + n, "old");
  u.SetOverWriteFiles(false);
  EXPECT_EQ(*u.Unzip(), 0);
  EXPECT_EQ(Out("a.txt"), "old");
  EXPECT_TRUE(dialogs.boxes.empty());

  u.SetPromptOverwrite(true);
  dialogs.answers = {MsgAnswer::kYes, MsgAnswer::kNo, MsgAnswer::kCancel};
  EXPECT_EQ(*u.Unzip(), 0);
  EXPECT_EQ(Out("a.txt"), "new a");
  EXPECT_EQ(Out("b.txt"), "old");
  EXPECT_EQ(Out("c.txt"), "old");
  EXPECT_EQ(Out("d.txt"), "old");  // Cancel: no more questions, nothing more replaced
  ASSERT_EQ(dialogs.boxes.size(), 3u);
  EXPECT_EQ(dialogs.boxes[0].text, "Overwrite " + out + "a.txt?");
  EXPECT_EQ(dialogs.boxes[0].title, "VBUnZip32 - File Already Exists!");
  EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::kYesNoCancel);
  EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::kExclamation);
}

TEST_F(UnzipTest, NewerOnlyAndFreshenCompareTimesAndExtractedFilesKeepTheirEntryTimes) {
  Archive({{"old.txt", "entry", At(kMay6)},
           {"new.txt", "entry", At(kMay6)},
           {"absent.txt", "entry", At(kMay6)}});
  dir.Write("out/old.txt", "file");
  dir.Write("out/new.txt", "file");
  ASSERT_TRUE(fs.SetModifiedTime(out + "old.txt", {2024, 5, 6, 7, 8, 8}));
  ASSERT_TRUE(fs.SetModifiedTime(out + "new.txt", {2024, 5, 6, 7, 8, 11}));  // same 2 s

  auto u = Unzip();
  u.SetExtractNewer(true);  // freshen: existing files only
  EXPECT_EQ(*u.Unzip(), 0);
  EXPECT_EQ(Out("old.txt"), "entry");
  EXPECT_EQ(Out("new.txt"), "file");
  EXPECT_FALSE(OutHas("absent.txt"));
  auto t = fs.ModifiedTime(out + "old.txt");
  ASSERT_TRUE(t);
  EXPECT_EQ(std::tie(t->year, t->month, t->day, t->hour, t->minute, t->second),
            std::make_tuple(2024, 5, 6, 7, 8, 10));

  u.SetExtractNewer(false);
  u.SetExtractOnlyNewer(true);  // update: newer entries and new files
  dir.Write("out/old.txt", "file");
  ASSERT_TRUE(fs.SetModifiedTime(out + "old.txt", {2020, 1, 1, 0, 0, 0}));
  EXPECT_EQ(*u.Unzip(), 0);
  EXPECT_EQ(Out("old.txt"), "entry");
  EXPECT_EQ(Out("new.txt"), "file");
  EXPECT_EQ(Out("absent.txt"), "entry");
}

// Encrypted archives whose `wrong` password is refused when an entry is opened (a
// traditional header's check byte lets about one wrong password in 256 through).
Bytes EncryptedZip(ZipEncryption method, const std::vector<std::string>& names) {
  for (;;) {
    std::vector<ZipSpec> entries;
    for (const auto& n : names) entries.push_back({n, "secret " + n, Encrypted(method, "right")});
    Bytes zip = MakeZip(entries);
    auto archive = ZipArchive::FromBytes(zip);
    bool all_refused = true;
    for (std::uint64_t i = 0; i < names.size(); ++i) {
      for (const char* wrong : {"wrong", "worse", "worst"})
        all_refused = all_refused && !archive->OpenEntry(i, std::string(wrong));
    }
    if (all_refused) return zip;
  }
}

TEST_F(UnzipTest, PasswordIsAskedOnceAndReusedAndWrongAnswersAreAskedAgain) {
  for (ZipEncryption method : {ZipEncryption::kTraditional, ZipEncryption::kAes256}) {
    dir.Write("Main.zip", AsText(EncryptedZip(method, {"a.txt", "b.txt"})));
    dialogs = {};
    dialogs.inputs = {"wrong", "right"};
    auto u = Unzip();
    EXPECT_EQ(*u.Unzip(), 0);
    EXPECT_EQ(Out("a.txt"), "secret a.txt");
    EXPECT_EQ(Out("b.txt"), "secret b.txt");
    EXPECT_EQ(dialogs.prompts, (std::vector<std::string>{"Please Enter The Password!",
                                                         "Please Enter The Password!"}));
  }
}

TEST_F(UnzipTest, AnEmptyPasswordEndsTheQuestionsAndWrongOnesSkipTheEntry) {
  dir.Write("Main.zip", AsText(EncryptedZip(ZipEncryption::kTraditional, {"a.txt", "b.txt"})));
  dialogs.inputs = {""};
  auto u = Unzip();
  EXPECT_EQ(*u.Unzip(), unzip::kBadPassword);
  EXPECT_EQ(dialogs.prompts.size(), 1u);
  EXPECT_FALSE(OutHas("a.txt") || OutHas("b.txt"));
  EXPECT_EQ(u.GetLastMessage(),
            "skipping: a.txt  unable to get password\r\n"
            "skipping: b.txt  unable to get password\r\n");

  dir.Write("Main.zip", AsText(EncryptedZip(ZipEncryption::kAes256, {"a.txt"})));
  dialogs = {};
  dialogs.inputs = {"wrong", "worse", "worst", "right"};
  EXPECT_EQ(*u.Unzip(), unzip::kBadPassword);
  EXPECT_EQ(dialogs.prompts.size(), 3u);
  EXPECT_EQ(u.GetLastMessage(), "skipping: a.txt  incorrect password\r\n");

  std::string answer;
  dialogs.inputs = {std::string(100, 'p')};
  ResetUnzipState();
  UnzipDialogCallbacks glue(dialogs);
  EXPECT_EQ(glue.Password(answer, unzip::kPasswordCapacity, "", "a.txt"), 0);
  EXPECT_EQ(answer, std::string(80, 'p'));
}

}  // namespace
}  // namespace dfm
