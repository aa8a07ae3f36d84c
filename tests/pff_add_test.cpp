// Adding files to PFF archives through the open-archive table: exact bytes on disk for
// every placement, the name rule, record sizes, and every failure path.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>

#include "pff/mod_kyv_pff.h"
#include "support/fakes.h"
#include "support/memory_file_system.h"
#include "support/pff_bytes.h"

namespace dfm {
namespace {

using testing::CountingPump;
using testing::FaultyFileSystem;
using testing::Le32;
using testing::MemoryFileSystem;
using testing::PffHeaderBytes;
using testing::PffRecordBytes;
using testing::PffTrailerBytes;
using testing::PutBytes;
using testing::RecordingDialogs;
using Rule = FaultyFileSystem::Rule;
using Texts = std::vector<std::string>;

// 2001-09-09 01:46:40, the test files' time, counted from 1969-12-31 19:00:00.
constexpr std::int32_t kTs = 1'000'018'000;
constexpr std::int32_t kOld = 111;  // timestamp of records already in the test archives
const std::string kDead = "<DEAD SPACE>";
const std::string kArchive = "Game\\Dflw.pff";

std::string Pattern(std::size_t size, char seed) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i % 23);
  return s;
}

// Files get 2001-09-09 01:46:40 unless a test gives a time.
MemoryFileSystem Memory() {
  MemoryFileSystem m;
  m.mtime = LocalDateTime{2001, 9, 9, 1, 46, 40, 0, 0};
  return m;
}

class PffAdd : public ::testing::Test {
 protected:
  // Puts the source file into "Mod\" and adds it through a fresh OpenFile.
  Status Add(const std::string& name, const std::string& bytes) {
    mem.Put("Mod\\" + name, bytes);
    return table.AddFile(table.OpenFile(kArchive), "Mod\\" + name);
  }
  std::string Archive() const { return mem.Text(kArchive); }
  int Count(const std::string& line) const {
    return static_cast<int>(std::count(fs.log.begin(), fs.log.end(), line));
  }

  MemoryFileSystem mem = Memory();
  FaultyFileSystem fs{mem};
  RecordingDialogs dialogs;
  CountingPump pump;
  PffArchiveTable table{fs, dialogs, pump, PathStyle::kWindows};
};

// b.pcx (50 bytes) at 20, one record at 70.
std::string OneFileArchive(std::int32_t record_size = 32) {
  return PffHeaderBytes(1, record_size, 70) + std::string(50, 'b') +
         PffRecordBytes(0, 20, 50, kOld, "b.pcx");
}

// OneFileArchive after "xyz" was added as a.pcx: appended, the directory moved behind it.
std::string OneFileArchiveWithXyz(std::int32_t record_size = 32) {
  return PffHeaderBytes(2, record_size, 73) + std::string(50, 'b') + "xyz" +
         PffRecordBytes(0, 20, 50, kOld, "b.pcx") + PffRecordBytes(0, 70, 3, kTs, "a.pcx") +
         PffTrailerBytes();
}

// a.pcx (1000 bytes) at 20, one record at 1020.
std::string ArchiveWithA() {
  return PffHeaderBytes(1, 32, 1020) + Pattern(1000, 'a') +
         PffRecordBytes(0, 20, 1000, kOld, "a.pcx");
}

TEST_F(PffAdd, NewFileWithoutDeadSpaceGoesWhereTheDirectoryWas) {
  const std::string sig(
      "\0a\xff"
      "Z",
      4);
  const std::string body = std::string(50, 'b') + PffRecordBytes(0, 20, 50, kOld, "b.pcx");
  mem.Put(kArchive, PffHeaderBytes(1, 32, 70, 0x12345678, sig) + body);
  const std::string a = Pattern(1000, 'a');

  ASSERT_TRUE(Add("a.pcx", a));

  EXPECT_EQ(Archive(), PffHeaderBytes(2, 32, 1070, 0x12345678, sig) + std::string(50, 'b') + a +
                           PffRecordBytes(0, 20, 50, kOld, "b.pcx") +
                           PffRecordBytes(0, 70, 1000, kTs, "a.pcx") + PffTrailerBytes());
  EXPECT_EQ(pump.count, 1);
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(mem.open_files(), 0);
}

TEST_F(PffAdd, SameSizeReplacementRevivesTheRecordAndKeepsTheOldTailBehindTheTrailer) {
  std::string file = PffHeaderBytes(2, 32, 1320) + Pattern(1000, 'a') + Pattern(300, 'c') +
                     PffRecordBytes(0, 20, 1000, kOld, "a.pcx") +
                     PffRecordBytes(0, 1020, 300, kOld, "c.pcx") + std::string(100, 'T');
  mem.Put(kArchive, file);
  const std::string a2 = Pattern(1000, 'A');

  ASSERT_TRUE(Add("a.pcx", a2));

  std::string expected = file;
  PutBytes(expected, 20, a2);
  PutBytes(expected, 1320, PffRecordBytes(0, 20, 1000, kTs, "a.pcx"));
  PutBytes(expected, 1384, PffTrailerBytes());  // 46 of the 100 old tail bytes remain
  EXPECT_EQ(Archive(), expected);
  EXPECT_EQ(Archive().size(), 1484u);
}

TEST_F(PffAdd, SmallerReplacementTakesTheTailOfItsOwnSpace) {
  mem.Put(kArchive, ArchiveWithA());
  const std::string a2 = Pattern(600, 'A');

  ASSERT_TRUE(Add("a.pcx", a2));

  EXPECT_EQ(Archive(), PffHeaderBytes(2, 32, 1020) + Pattern(1000, 'a').substr(0, 400) + a2 +
                           PffRecordBytes(1, 20, 400, kOld, kDead) +
                           PffRecordBytes(0, 420, 600, kTs, "a.pcx") + PffTrailerBytes());
}

TEST_F(PffAdd, FirstFitUsesAnEarlierDeadRecordAndOnlyFlagOneIsDeadSpace) {
  const std::string old_a = Pattern(1000, 'a');
  const std::string space = Pattern(2000, 'd');
  const std::string flag2 = Pattern(3000, 'f');
  mem.Put(kArchive, PffHeaderBytes(3, 32, 6020) + flag2 + space + old_a +
                        PffRecordBytes(2, 20, 3000, kOld, "flag2") +
                        PffRecordBytes(1, 3020, 2000, kOld, "old.pcx") +
                        PffRecordBytes(0, 5020, 1000, kOld, "a.pcx"));
  const std::string a2 = Pattern(1500, 'A');

  ASSERT_TRUE(Add("a.pcx", a2));

  EXPECT_EQ(Archive(), PffHeaderBytes(4, 32, 6020) + flag2 + space.substr(0, 500) + a2 + old_a +
                           PffRecordBytes(2, 20, 3000, kOld, "flag2") +
                           PffRecordBytes(1, 3020, 500, kOld, "old.pcx") +
                           PffRecordBytes(1, 5020, 1000, kOld, kDead) +
                           PffRecordBytes(0, 3520, 1500, kTs, "a.pcx") + PffTrailerBytes());
}

TEST_F(PffAdd, LargerReplacementWithNoFitLeavesTheOldRecordDeadAtFullSize) {
  mem.Put(kArchive, ArchiveWithA());
  const std::string a2 = Pattern(1200, 'A');

  ASSERT_TRUE(Add("a.pcx", a2));

  EXPECT_EQ(Archive(), PffHeaderBytes(2, 32, 2220) + Pattern(1000, 'a') + a2 +
                           PffRecordBytes(1, 20, 1000, kOld, kDead) +
                           PffRecordBytes(0, 1020, 1200, kTs, "a.pcx") + PffTrailerBytes());
}

TEST_F(PffAdd, EmptySourcesWriteNoDataAndTheFirstDeadRecordDecides) {
  mem.Put(kArchive, ArchiveWithA());
  ASSERT_TRUE(Add("e.pcx", ""));
  EXPECT_EQ(Archive(), PffHeaderBytes(2, 32, 1020) + Pattern(1000, 'a') +
                           PffRecordBytes(0, 20, 1000, kOld, "a.pcx") +
                           PffRecordBytes(0, 1020, 0, kTs, "e.pcx") + PffTrailerBytes());

  // A dead record of size 0 comes first: it is revived.
  const std::string zero_first = PffHeaderBytes(2, 32, 1020) + Pattern(1000, 'd') +
                                 PffRecordBytes(1, 500, 0, kOld, "gone") +
                                 PffRecordBytes(1, 20, 1000, kOld, kDead);
  mem.Put("Game\\Zero.pff", zero_first);
  mem.Put("Mod\\e.pcx", "");
  ASSERT_TRUE(table.AddFile(table.OpenFile("Game\\Zero.pff"), "Mod\\e.pcx"));
  std::string expected = zero_first;
  PutBytes(expected, 1020, PffRecordBytes(0, 500, 0, kTs, "e.pcx"));
  PutBytes(expected, 1084, PffTrailerBytes());
  EXPECT_EQ(mem.Text("Game\\Zero.pff"), expected);

  // A larger dead record comes first: it keeps its size and the record points at its end.
  const std::string large_first =
      PffHeaderBytes(1, 32, 1020) + Pattern(1000, 'd') + PffRecordBytes(1, 20, 1000, kOld, kDead);
  mem.Put("Game\\Large.pff", large_first);
  ASSERT_TRUE(table.AddFile(table.OpenFile("Game\\Large.pff"), "Mod\\e.pcx"));
  EXPECT_EQ(mem.Text("Game\\Large.pff"), PffHeaderBytes(2, 32, 1020) + Pattern(1000, 'd') +
                                             PffRecordBytes(1, 20, 1000, kOld, kDead) +
                                             PffRecordBytes(0, 1020, 0, kTs, "e.pcx") +
                                             PffTrailerBytes());
}

// Dead space that kept a file's name must not hide the live entry of that name behind it.
TEST_F(PffAdd, ALiveEntryBehindADeadOneOfTheSameNameIsReplacedToo) {
  mem.Put(kArchive, PffHeaderBytes(2, 32, 1120) + Pattern(100, 'd') + Pattern(1000, 'a') +
                        PffRecordBytes(1, 20, 100, kOld, "a.pcx") +
                        PffRecordBytes(0, 120, 1000, kOld, "a.pcx"));
  const std::string a2 = Pattern(1000, 'A');

  ASSERT_TRUE(Add("a.pcx", a2));

  EXPECT_EQ(Archive(), PffHeaderBytes(2, 32, 1120) + Pattern(100, 'd') + a2 +
                           PffRecordBytes(1, 20, 100, kOld, kDead) +
                           PffRecordBytes(0, 120, 1000, kTs, "a.pcx") + PffTrailerBytes());
}

TEST_F(PffAdd, NamesAreCutTo16AndMatchedWithoutRegardToCase) {
  mem.Put(kArchive, PffHeaderBytes(2, 32, 20) + PffRecordBytes(0, 20, 0, kOld, "adob1000.pcx") +
                        PffRecordBytes(0, 20, 0, kOld, std::string("other.pcx\0x", 11)));

  ASSERT_TRUE(Add("ADOB1000.PCX", "1"));            // replaces, takes the new case
  ASSERT_TRUE(Add("abcdefghijkl.pcx", "22"));       // exactly 16: no NUL
  ASSERT_TRUE(Add("ABCDEFGHIJKL.PCX.bak", "333"));  // cut to 16: replaces the previous
  ASSERT_TRUE(Add("other.pcx", "4"));  // bytes after the NUL differ: a new record, placed in
                                       // the tail of the first dead space that fits

  EXPECT_EQ(Archive(), PffHeaderBytes(6, 32, 26) + "124333" +
                           PffRecordBytes(1, 20, 0, kOld, kDead) +
                           PffRecordBytes(0, 20, 0, kOld, std::string("other.pcx\0x", 11)) +
                           PffRecordBytes(0, 20, 1, kTs, "ADOB1000.PCX") +
                           PffRecordBytes(1, 21, 1, kTs, kDead) +
                           PffRecordBytes(0, 23, 3, kTs, "ABCDEFGHIJKL.PCX") +
                           PffRecordBytes(0, 22, 1, kTs, "other.pcx") + PffTrailerBytes());
}

TEST_F(PffAdd, RecordSize36KeepsTheExtraBytesOfOldRecordsAndZeroesNewOnes) {
  const std::string old_b = Pattern(200, 'b');
  mem.Put(kArchive, PffHeaderBytes(2, 36, 320) + Pattern(100, 'a') + old_b +
                        PffRecordBytes(0, 20, 100, kOld, "a.pcx", 36, "AAAA") +
                        PffRecordBytes(0, 120, 200, kOld, "b.pcx", 36, "BBBB"));
  const std::string a2 = Pattern(100, 'A');
  const std::string b2 = Pattern(150, 'B');

  ASSERT_TRUE(Add("a.pcx", a2));  // revived in place: new data, zeros
  ASSERT_TRUE(Add("b.pcx", b2));  // split: the dead rest keeps its bytes, new record zeros

  EXPECT_EQ(Archive(), PffHeaderBytes(3, 36, 320) + a2 + old_b.substr(0, 50) + b2 +
                           PffRecordBytes(0, 20, 100, kTs, "a.pcx", 36) +
                           PffRecordBytes(1, 120, 50, kOld, kDead, 36, "BBBB") +
                           PffRecordBytes(0, 170, 150, kTs, "b.pcx", 36) + PffTrailerBytes());
}

class PffSmallRecordSize : public PffAdd, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(PffSmallRecordSize, RecordsAre32BytesAndTheDeclaredSizeIsKept) {
  const std::int32_t declared = GetParam();
  mem.Put(kArchive, OneFileArchive(declared));
  ASSERT_TRUE(Add("a.pcx", "xyz"));
  EXPECT_EQ(Archive(), OneFileArchiveWithXyz(declared));
}

INSTANTIATE_TEST_SUITE_P(Declared, PffSmallRecordSize, ::testing::Values(32, 31, 0, -1),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return (info.param < 0 ? "minus" : "") +
                                  std::to_string(std::abs(info.param));
                         });

TEST_F(PffAdd, EmptyDirectoryArchive) {
  mem.Put(kArchive, PffHeaderBytes(0, 32, 20));
  ASSERT_TRUE(Add("a.pcx", "0123456789"));
  EXPECT_EQ(Archive(), PffHeaderBytes(1, 32, 30) + "0123456789" +
                           PffRecordBytes(0, 20, 10, kTs, "a.pcx") + PffTrailerBytes());
}

TEST_F(PffAdd, DirectoriesOf32767RecordsAndMore) {
  constexpr int kRecords = 40000;
  std::string file = PffHeaderBytes(kRecords, 32, 20);
  for (int i = 0; i < kRecords; ++i) {
    file += PffRecordBytes(0, 20, 0, kOld, "f" + std::to_string(i) + ".pcx");
  }
  mem.Put(kArchive, file);
  ASSERT_TRUE(Add("F39999.PCX", "new"));
  std::string expected = file;
  PutBytes(expected, 0, PffHeaderBytes(kRecords + 1, 32, 23));
  PutBytes(expected, 20, "new");
  PutBytes(expected, 23, file.substr(20));
  PutBytes(expected, 23 + 39999 * 32, PffRecordBytes(1, 20, 0, kOld, kDead));
  PutBytes(expected, 23 + kRecords * 32,
           PffRecordBytes(0, 20, 3, kTs, "F39999.PCX") + PffTrailerBytes());
  EXPECT_EQ(Archive(), expected);
}

TEST_F(PffAdd, SpellingsOfOnePathShareOneSlotReadOnce) {
  mem.Put(kArchive, OneFileArchive());
  const int h = table.OpenFile(kArchive);
  EXPECT_EQ(table.OpenFile("game\\DFLW.PFF"), h);
  EXPECT_EQ(table.OpenFile("Game/sub/..//./Dflw.pff"), h);
  EXPECT_EQ(Count("open " + kArchive), 1);
  EXPECT_EQ(table.Slot(h)->path, kArchive);

  mem.Put("Mod\\a.pcx", "aa");
  mem.Put("Mod\\c.pcx", "ccc");
  ASSERT_TRUE(table.AddFile(table.OpenFile("GAME\\dflw.pff"), "Mod\\a.pcx"));
  ASSERT_TRUE(table.AddFile(table.OpenFile("Game\\Dflw.PFF"), "Mod\\c.pcx"));
  EXPECT_EQ(Archive(), PffHeaderBytes(3, 32, 75) + std::string(50, 'b') + "aaccc" +
                           PffRecordBytes(0, 20, 50, kOld, "b.pcx") +
                           PffRecordBytes(0, 70, 2, kTs, "a.pcx") +
                           PffRecordBytes(0, 72, 3, kTs, "c.pcx") + PffTrailerBytes());
  EXPECT_EQ(table.size(), 1);

  mem.Put("Game\\Other.pff", PffHeaderBytes(0, 32, 20));
  EXPECT_EQ(table.OpenFile("Game\\Other.pff"), 1);
}

TEST_F(PffAdd, AFailedReadingIsNeverWrittenAndIsReadAgainOnItsNextUse) {
  mem.Put(kArchive, OneFileArchive());
  mem.Put("Mod\\a.pcx", "xyz");
  fs.Fail(Rule{"open", "Dflw", 0, 1});
  int h = table.OpenFile(kArchive);
  EXPECT_FALSE(table.AddFile(h, "Mod\\a.pcx"));
  EXPECT_EQ(Archive(), OneFileArchive());
  EXPECT_EQ(dialogs.Texts(),
            (Texts{"Error in UpdatePff\r\nDevice I/O error (injected)",
                   "Error in AddFile, File: \"Mod\\a.pcx\"\r\nDevice I/O error (injected)"}));

  h = table.OpenFile(kArchive);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(dialogs.boxes.size(), 2u);
  ASSERT_TRUE(table.AddFile(h, "Mod\\a.pcx"));
  EXPECT_EQ(Archive(), OneFileArchiveWithXyz());
}

TEST_F(PffAdd, AddingToASlotWhoseReadingFailedWritesNothing) {
  mem.Put("Game\\Good.pff", PffHeaderBytes(0, 32, 20));
  ASSERT_EQ(table.OpenFile("Game\\Good.pff"), 0);
  const std::string broken = PffHeaderBytes(-1, 32, 20);
  mem.Put(kArchive, broken);
  mem.Put("Mod\\a.pcx", "xyz");
  fs.log.clear();

  const int h = table.OpenFile(kArchive);
  EXPECT_EQ(h, 1);
  const Status st = table.AddFile(h, "Mod\\a.pcx");

  ASSERT_FALSE(st);
  EXPECT_EQ(st.failure().code, err::kInvalidFileFormat);
  const std::string why = "Invalid file format: FileCount -1 is negative";
  EXPECT_EQ(dialogs.Texts(), (Texts{"Error in UpdatePff\r\n" + why,
                                    "Error in AddFile, File: \"Mod\\a.pcx\"\r\n" + why}));
  EXPECT_EQ(Archive(), broken);
  // Read once (up to the header), never opened for writing, the source never touched.
  EXPECT_EQ(fs.log, (Texts{"open " + kArchive, "size " + kArchive, "read " + kArchive}));
  EXPECT_EQ(mem.open_files(), 0);
}

struct Refusal {
  std::string bytes;
  std::string description;
};

class PffRefusedArchive : public PffAdd, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PffRefusedArchive, IsShownAndLeftUnchanged) {
  const Refusal& r = GetParam();
  mem.Put(kArchive, r.bytes);
  EXPECT_FALSE(Add("a.pcx", "xyz"));
  EXPECT_EQ(dialogs.Texts(), (Texts{"Error in UpdatePff\r\n" + r.description,
                                    "Error in AddFile, File: \"Mod\\a.pcx\"\r\n" + r.description}));
  EXPECT_EQ(Archive(), r.bytes);
  EXPECT_EQ(mem.open_files(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lies, PffRefusedArchive,
    ::testing::Values(
        Refusal{"0123456789", "Input past end of file"},
        Refusal{PffHeaderBytes(-5, 32, 20), "Invalid file format: FileCount -5 is negative"},
        Refusal{PffHeaderBytes(0x7fffffff, 32, 20),
                "Invalid file format: the directory (2147483647 records of 32 bytes at 20) "
                "ends at 68719476724, past the end of the file (20 bytes)"},
        Refusal{PffHeaderBytes(2, 65536, 20) + std::string(65536, 'x'),
                "Invalid file format: the directory (2 records of 65536 bytes at 20) "
                "ends at 131092, past the end of the file (65556 bytes)"},
        Refusal{PffHeaderBytes(0, 65537, 20),
                "Invalid file format: RecordSize 65537 is above 65536"},
        Refusal{PffHeaderBytes(0, 32, 100),
                "Invalid file format: the directory (0 records of 32 bytes at 100) ends at 100, "
                "past the end of the file (20 bytes)"},
        Refusal{PffHeaderBytes(0, 32, 4) + std::string(20, 'x'),
                "Invalid file format: DirectoryOffset 4 lies inside the 20-byte header"},
        Refusal{PffHeaderBytes(1, 32, 30) + std::string(10, 'x') +
                    PffRecordBytes(0, 30, 10, kOld, "a.pcx"),
                "Invalid file format: record 0 (a.pcx) places 10 bytes at 30, outside the data "
                "area (20 to 30)"},
        Refusal{PffHeaderBytes(1, 32, 30) + std::string(10, 'x') +
                    PffRecordBytes(1, 10, 10, kOld, "low"),
                "Invalid file format: record 0 (low) places 10 bytes at 10, outside the data "
                "area (20 to 30)"},
        Refusal{PffHeaderBytes(3, 32, 120) + std::string(100, 'x') +
                    PffRecordBytes(0, 60, 60, kOld, "third") +
                    PffRecordBytes(0, 20, 30, kOld, "first") +
                    PffRecordBytes(1, 40, 30, kOld, "second"),
                "Invalid file format: the data of record 1 (first) and of record 2 (second) "
                "overlap"},
        Refusal{PffHeaderBytes(2, 32, 120) + std::string(100, 'x') +
                    PffRecordBytes(0, 20, 90, kOld, "long") +
                    PffRecordBytes(0, 100, 20, kOld, "short"),
                "Invalid file format: the data of record 0 (long) and of record 1 (short) "
                "overlap"},
        Refusal{PffHeaderBytes(1, 32, 20) + PffRecordBytes(1, 20, -1, kOld, "neg"),
                "Invalid file format: record 0 (neg) has a negative size (-1)"}),
    // Stable names for ctest -R: the row number and the first words of its description.
    [](const ::testing::TestParamInfo<Refusal>& info) {
      std::string name = std::to_string(info.index) + "_";
      for (char c : info.param.description.substr(0, 40))
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
      return name;
    });

TEST_F(PffAdd, FailedGetFileHeaderShowsOneBoxWritesNothingAndLaterAddsWork) {
  mem.Put(kArchive, OneFileArchive());
  const int h = table.OpenFile(kArchive);
  mem.Put("Mod\\a.pcx", "xyz");
  for (const char* op : {"length", "mtime"}) {
    fs.Fail(Rule{op, "a.pcx", 0, 1});
    EXPECT_FALSE(table.AddFile(h, "Mod\\a.pcx"));
  }
  EXPECT_EQ(dialogs.Texts(), (Texts{"Error in GetFileHeader\r\nDevice I/O error (injected)",
                                    "Error in GetFileHeader\r\nDevice I/O error (injected)"}));
  EXPECT_EQ(Archive(), OneFileArchive());
  EXPECT_EQ(Count("open " + kArchive), 1);  // only the reading

  ASSERT_TRUE(table.AddFile(h, "Mod\\a.pcx"));
  EXPECT_EQ(Archive(), OneFileArchiveWithXyz());
}

TEST_F(PffAdd, TimesOutsideThe32BitRangeFailInGetFileHeader) {
  mem.Put(kArchive, OneFileArchive());
  mem.Put("Mod\\late.pcx", "x", LocalDateTime{2038, 1, 19, 0, 0, 0, 2, 0});
  EXPECT_FALSE(table.AddFile(table.OpenFile(kArchive), "Mod\\late.pcx"));
  EXPECT_EQ(dialogs.Texts(), (Texts{"Error in GetFileHeader\r\nOverflow"}));
  EXPECT_EQ(Archive(), OneFileArchive());
}

TEST_F(PffAdd, UnreadableSourceAndUnknownHandlesWriteNothing) {
  mem.Put(kArchive, OneFileArchive());
  const int h = table.OpenFile(kArchive);
  mem.Put("Mod\\a.pcx", "xyz");
  fs.Fail(Rule{"read", "a.pcx", 0, 1});
  EXPECT_FALSE(table.AddFile(h, "Mod\\a.pcx"));
  EXPECT_FALSE(table.AddFile(7, "Mod\\a.pcx"));
  EXPECT_FALSE(table.AddFile(PffArchiveTable::kNoSlot, "Mod\\a.pcx"));
  EXPECT_EQ(dialogs.Texts(),
            (Texts{"Error in AddFile, File: \"Mod\\a.pcx\"\r\nDevice I/O error (injected)",
                   "Error in AddFile, File: \"Mod\\a.pcx\"\r\nSubscript out of range",
                   "Error in AddFile, File: \"Mod\\a.pcx\"\r\nSubscript out of range"}));
  EXPECT_EQ(Archive(), OneFileArchive());
  EXPECT_EQ(pump.count, 3);
  EXPECT_EQ(mem.open_files(), 0);
}

// A failed write anywhere in an add leaves the in-memory directory as it was, so the next
// add writes a directory that only names data that was really written.
TEST_F(PffAdd, FailedArchiveWritesAreUndoneInMemory) {
  const std::string clean_b = PffHeaderBytes(2, 32, 573) + std::string(50, 'b') +
                              Pattern(503, 'B') + PffRecordBytes(0, 20, 50, kOld, "b.pcx") +
                              PffRecordBytes(0, 70, 503, kTs, "new.pcx") + PffTrailerBytes();
  for (const char* op : {"open", "size", "write", "close"}) {
    for (int skip = 0; skip < (std::string(op) == "write" ? 3 : 1); ++skip) {
      SCOPED_TRACE(std::string(op) + " " + std::to_string(skip));
      MemoryFileSystem m = Memory();
      FaultyFileSystem f{m};
      RecordingDialogs d;
      PffArchiveTable t{f, d, pump, PathStyle::kWindows};
      m.Put(kArchive, OneFileArchive());
      m.Put("Mod\\a.pcx", Pattern(1000, 'a'));
      m.Put("Mod\\new.pcx", Pattern(503, 'B'));
      const int h = t.OpenFile(kArchive);
      const PffDirectory before = t.Slot(h)->directory;
      f.Fail(Rule{op, "Dflw", skip, 1, Failure{err::kDiskFull, "Disk full"}});

      EXPECT_FALSE(t.AddFile(h, "Mod\\a.pcx"));
      EXPECT_EQ(d.Texts(), (Texts{"Error in AddFile, File: \"Mod\\a.pcx\"\r\nDisk full"}));
      EXPECT_EQ(t.Slot(h)->directory.header(), before.header());
      EXPECT_EQ(t.Slot(h)->directory.entries(), before.entries());
      EXPECT_EQ(t.Slot(h)->directory.image(), before.image());
      EXPECT_EQ(m.open_files(), 0);

      ASSERT_TRUE(t.AddFile(h, "Mod\\new.pcx"));
      // Bytes the failed add wrote beyond the new trailer may remain; nothing else differs.
      EXPECT_EQ(m.Text(kArchive).substr(0, clean_b.size()), clean_b);
    }
  }
}

TEST_F(PffAdd, InterruptedAddsLeaveAReadableArchive) {
  // Dead space reused: the header is written last, so the old count still describes the
  // directory on disk (whose dead record has already shrunk).
  mem.Put(kArchive, ArchiveWithA());
  const int h = table.OpenFile(kArchive);
  fs.Fail(Rule{"write", "Dflw", 2, 1});
  mem.Put("Mod\\a.pcx", Pattern(600, 'A'));
  EXPECT_FALSE(table.AddFile(h, "Mod\\a.pcx"));
  auto on_disk = ReadPffArchive(mem, kArchive);
  ASSERT_TRUE(on_disk);
  EXPECT_EQ(on_disk->header().file_count, 1);
  ASSERT_EQ(on_disk->entries().size(), 1u);
  EXPECT_EQ(on_disk->entries()[0].data_size, 400);
  EXPECT_TRUE(on_disk->entries()[0].IsDeadSpace());

  // Dead space revived in place (the header does not change): the data goes first, so
  // stopping before the directory never publishes a record whose data is missing.
  mem.Put("Game\\R.pff",
          PffHeaderBytes(1, 32, 620) + Pattern(600, 'd') + PffRecordBytes(1, 20, 600, kOld, kDead));
  const int hr = table.OpenFile("Game\\R.pff");
  fs.Fail(Rule{"write", "R.pff", 1, 1});
  EXPECT_FALSE(table.AddFile(hr, "Mod\\a.pcx"));
  on_disk = ReadPffArchive(mem, "Game\\R.pff");
  ASSERT_TRUE(on_disk);
  EXPECT_TRUE(on_disk->entries()[0].IsDeadSpace());

  // Data appended: the moved directory is written before the data that covers the old
  // one, so stopping after it leaves the old directory intact.
  mem.Put("Game\\B.pff", OneFileArchive());
  const int hb = table.OpenFile("Game\\B.pff");
  fs.Fail(Rule{"write", "B.pff", 1, 1});
  EXPECT_FALSE(table.AddFile(hb, "Mod\\a.pcx"));
  on_disk = ReadPffArchive(mem, "Game\\B.pff");
  ASSERT_TRUE(on_disk);
  EXPECT_EQ(on_disk->entries(), table.Slot(hb)->directory.entries());
}

TEST_F(PffAdd, AnArchiveThatShrankOnDiskIsNotWritten) {
  mem.Put(kArchive, OneFileArchive());
  const int h = table.OpenFile(kArchive);
  mem.Put(kArchive, "0123456789");
  mem.Put("Mod\\a.pcx", "xyz");
  EXPECT_FALSE(table.AddFile(h, "Mod\\a.pcx"));
  EXPECT_EQ(dialogs.Texts(), (Texts{"Error in AddFile, File: \"Mod\\a.pcx\"\r\nPath/File access "
                                    "error: Game\\Dflw.pff is 10 bytes long, shorter than when "
                                    "it was read"}));
  EXPECT_EQ(Archive(), "0123456789");

  // An archive that vanished since it was read is not created anew by the add.
  dialogs.boxes.clear();
  ASSERT_TRUE(mem.RemoveFile(kArchive));
  EXPECT_FALSE(table.AddFile(h, "Mod\\a.pcx"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(
      dialogs.boxes[0].text.rfind("Error in AddFile, File: \"Mod\\a.pcx\"\r\nFile not found", 0),
      0u);
  EXPECT_FALSE(mem.Exists(kArchive));
}

TEST_F(PffAdd, TheTableHolds32768Slots) {
  mem.Put("A", PffHeaderBytes(0, 32, 20));
  for (int i = 0; i < PffArchiveTable::kMaxSlots; ++i) {
    mem.Put("A" + std::to_string(i), PffHeaderBytes(0, 32, 20));
    ASSERT_EQ(table.OpenFile("A" + std::to_string(i)), i);
  }
  EXPECT_EQ(table.OpenFile("A"), PffArchiveTable::kNoSlot);
  EXPECT_EQ(dialogs.Texts(), (Texts{"Error in OpenFile\r\nOverflow"}));
  EXPECT_EQ(table.OpenFile("a0"), 0);
}

}  // namespace
}  // namespace dfm
