// Adding files to PFF archives through the open-archive table: the exact bytes on disk for
// every placement, the name rule and record sizes, and every failure path.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>

#include "pff/mod_kyv_pff.h"
#include "support/fakes.h"
#include "support/memory_file_system.h"
#include "support/pff_bytes.h"

namespace dfm {
namespace {

using testing::FaultyFileSystem;
using testing::MemoryFileSystem;
using testing::PffTrailerBytes;
using Rule = FaultyFileSystem::Rule;
using Texts = std::vector<std::string>;

// 2001-09-09 01:46:40, the sources' time, counted from 1969-12-31 19:00:00.
constexpr std::int32_t kTs = 1'000'018'000;
constexpr std::int32_t kOld = 111;  // timestamp of records already in the test archives
const std::string kDead = "<DEAD SPACE>";
const std::string kArchive = "Game\\Dflw.pff";
const std::string kInjected = "Device I/O error (injected)";

std::string Pattern(std::size_t size, char seed) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i % 23);
  return s;
}

// Archive bytes from a short description, tokens separated by blanks:
//   H<count>,<record size>,<directory offset>   the header
//   R<dead>,<offset>,<size>,<time>,<name>[,<stride>,<rest>]   a record; time "o" is kOld,
//       "n" is kTs; name "~" is kDead, "\0" in a name is a NUL
//   T the trailer   L<n> n as 4 bytes   =<text> the text
//   <letter><n> Pattern(n, letter)   !<n> the next tokens overwrite the bytes from n on
std::string Pff(std::string_view desc) {
  std::string out, t;
  std::size_t at = std::string::npos;  // where "!" put the next bytes
  std::istringstream in{std::string(desc)};
  while (in >> t) {
    std::vector<std::string> f;
    std::istringstream fields(t.substr(1));
    for (std::string x; std::getline(fields, x, ',');) f.push_back(x);
    auto n = [&](std::size_t i) { return static_cast<std::int32_t>(std::stoll(f[i])); };
    std::string piece;
    if (t[0] == '!') {
      at = static_cast<std::size_t>(n(0));
      continue;
    } else if (t[0] == 'H') {
      piece = testing::PffHeaderBytes(n(0), n(1), n(2));
    } else if (t[0] == 'R') {
      std::string name = f[4] == "~" ? kDead : f[4];
      if (auto z = name.find("\\0"); z != std::string::npos) name.replace(z, 2, 1, '\0');
      const std::int32_t ts = f[3] == "o" ? kOld : f[3] == "n" ? kTs : n(3);
      piece = testing::PffRecordBytes(n(0), n(1), n(2), ts, name, f.size() > 5 ? n(5) : 32,
                                      f.size() > 6 ? f[6] : "");
    } else if (t[0] == 'T') {
      piece = testing::PffTrailerBytes();
    } else if (t[0] == 'L') {
      piece = testing::Le32(n(0));
    } else if (t[0] == '=') {
      piece = t.substr(1);
    } else {
      piece = Pattern(static_cast<std::size_t>(n(0)), t[0]);
    }
    if (at == std::string::npos) at = out.size();
    if (out.size() < at + piece.size()) out.resize(at + piece.size(), '\0');
    out.replace(at, piece.size(), piece);
    at = at + piece.size() == out.size() ? std::string::npos : at + piece.size();
  }
  return out;
}

const std::string kOneFile = "H1,32,70 b50 R0,20,50,o,b.pcx";
const std::string kOneFileWithXyz = "H2,32,73 b50 =xyz R0,20,50,o,b.pcx R0,70,3,n,a.pcx T";
const std::string kArchiveWithA = "H1,32,1020 a1000 R0,20,1000,o,a.pcx";

// One table, its file system (sources get the time kTs) and its collaborators.
struct Rig {
  Rig() { mem.mtime = LocalDateTime{2001, 9, 9, 1, 46, 40, 0, 0}; }
  Status Add(const std::string& name, const std::string& desc, const std::string& archive) {
    mem.Put("Mod\\" + name, Pff(desc));
    return table.AddFile(table.OpenFile(archive), "Mod\\" + name);
  }
  int Count(const std::string& line) const {
    return static_cast<int>(std::count(fs.log.begin(), fs.log.end(), line));
  }
  MemoryFileSystem mem;
  FaultyFileSystem fs{mem};
  testing::RecordingDialogs dialogs;
  testing::CountingPump pump;
  PffArchiveTable table{fs, dialogs, pump, PathStyle::kWindows};
};

struct Placement {
  std::string what, before;
  std::string adds;  // "name:desc name:desc", each source in turn
  std::string after;
};

std::vector<Placement> Placements() {
  const std::string same = "H2,32,1320 a1000 c300 R0,20,1000,o,a.pcx R0,1020,300,o,c.pcx U100";
  const std::string zero = "H2,32,1020 d1000 R1,500,0,o,gone R1,20,1000,o,~";
  std::vector<Placement> rows = {
      {"new file without dead space goes where the directory was",
       "L305419896 L1526685952 L1 L32 L70 b50 R0,20,50,o,b.pcx", "a.pcx:a1000",
       "L305419896 L1526685952 L2 L32 L1070 b50 a1000 R0,20,50,o,b.pcx R0,70,1000,n,a.pcx T"},
      {"same size revives the record, the old tail stays behind the trailer", same, "a.pcx:A1000",
       same + " !20 A1000 !1320 R0,20,1000,n,a.pcx !1384 T"},
      {"smaller replacement takes the tail of its own space", kArchiveWithA, "a.pcx:A600",
       "H2,32,1020 a400 A600 R1,20,400,o,~ R0,420,600,n,a.pcx T"},
      {"first fit uses an earlier dead record; only flag 1 is dead space",
       "H3,32,6020 f3000 d2000 a1000 R2,20,3000,o,flag2 R1,3020,2000,o,old.pcx "
       "R0,5020,1000,o,a.pcx",
       "a.pcx:A1500",
       "H4,32,6020 f3000 d500 A1500 a1000 R2,20,3000,o,flag2 R1,3020,500,o,old.pcx "
       "R1,5020,1000,o,~ R0,3520,1500,n,a.pcx T"},
      {"larger replacement with no fit leaves the old record dead at full size", kArchiveWithA,
       "a.pcx:A1200", "H2,32,2220 a1000 A1200 R1,20,1000,o,~ R0,1020,1200,n,a.pcx T"},
      {"empty source without dead space", kArchiveWithA,
       "e.pcx:", kArchiveWithA + " !0 H2,32,1020 !1052 R0,1020,0,n,e.pcx T"},
      {"empty source revives a first dead record of size 0", zero,
       "e.pcx:", zero + " !1020 R0,500,0,n,e.pcx !1084 T"},
      {"empty source behind a larger first dead record points at its end",
       "H1,32,1020 d1000 R1,20,1000,o,~",
       "e.pcx:", "H2,32,1020 d1000 R1,20,1000,o,~ R0,1020,0,n,e.pcx T"},
      {"a live entry behind a dead one of the same name is replaced too",
       "H2,32,1120 d100 a1000 R1,20,100,o,a.pcx R0,120,1000,o,a.pcx", "a.pcx:A1000",
       "H2,32,1120 d100 A1000 R1,20,100,o,~ R0,120,1000,n,a.pcx T"},
      // Replaced in the new case; exactly 16 without NUL; cut to 16 replaces the previous;
      // bytes after the NUL differ: a new record in the tail of the first dead space.
      {"names are cut to 16 and matched without regard to case",
       "H2,32,20 R0,20,0,o,adob1000.pcx R0,20,0,o,other.pcx\\0x",
       "ADOB1000.PCX:=1 abcdefghijkl.pcx:=22 ABCDEFGHIJKL.PCX.bak:=333 other.pcx:=4",
       "H6,32,26 =124333 R1,20,0,o,~ R0,20,0,o,other.pcx\\0x R0,20,1,n,ADOB1000.PCX R1,21,1,n,~ "
       "R0,23,3,n,ABCDEFGHIJKL.PCX R0,22,1,n,other.pcx T"},
      // Revived in place: new data, zeros; split: the dead rest keeps its bytes.
      {"record size 36 keeps the extra bytes of old records and zeroes new ones",
       "H2,36,320 a100 b200 R0,20,100,o,a.pcx,36,AAAA R0,120,200,o,b.pcx,36,BBBB",
       "a.pcx:A100 b.pcx:B150",
       "H3,36,320 A100 b50 B150 R0,20,100,n,a.pcx,36 R1,120,50,o,~,36,BBBB "
       "R0,170,150,n,b.pcx,36 T"},
      {"empty directory", "H0,32,20", "a.pcx:=0123456789",
       "H1,32,30 =0123456789 R0,20,10,n,a.pcx T"},
  };
  // Dead space whose bytes another record also covers is never reused: a.pcx and b.pcx
  // name the same bytes; "old" lies inside b.pcx, "x" and "y" share with each other only,
  // "free" shares nothing.
  const std::string twins = "H2,32,120 s100 R0,20,100,o,a.pcx R0,20,100,o,b.pcx";
  for (const char* n : {"60", "100", "150"}) {
    rows.push_back({"a replaced twin leaves the other's bytes alone", twins,
                    std::string("a.pcx:A") + n,
                    "H3,32," + std::to_string(120 + std::stoi(n)) + " s100 A" + n +
                        " R1,20,100,o,~ R0,20,100,o,b.pcx R0,120," + n + ",n,a.pcx T"});
  }
  const std::string shared =
      "b100 f50 x60 R0,20,100,o,b.pcx R1,60,50,o,old R1,170,50,o,x R1,180,50,o,y";
  rows.push_back({"shared dead space is skipped for a later one shared with nothing",
                  "H5,32,230 " + shared + " R1,120,50,o,free", "n.pcx:N30",
                  "H6,32,230 " + shared + " R1,120,20,o,free R0,140,30,n,n.pcx T !140 N30"});
  rows.push_back({"an empty source points behind the first dead space it may use",
                  "H5,32,230 " + shared + " R1,120,50,o,free",
                  "n.pcx:", "H6,32,230 " + shared + " R1,120,50,o,free R0,170,0,n,n.pcx T"});
  // Records are 32 bytes whatever smaller size is declared, and the declared size is kept.
  for (const char* declared : {"32", "31", "0", "-1"}) {
    const std::string head = std::string(" !0 L20 =PFF3 L1 L") + declared;
    rows.push_back({"declared record size", kOneFile + head, "a.pcx:=xyz",
                    kOneFileWithXyz + " !0 L20 =PFF3 L2 L" + declared});
  }
  std::string big = "H40000,32,20", big_after = "H40001,32,23 =new";
  for (int i = 0; i < 40000; ++i) {
    const std::string name = "f" + std::to_string(i) + ".pcx";
    big += " R0,20,0,o," + name;
    big_after += i < 39999 ? " R0,20,0,o," + name : " R1,20,0,o,~ R0,20,3,n,F39999.PCX T";
  }
  rows.push_back({"directories of 32767 records and more", big, "F39999.PCX:=new", big_after});
  return rows;
}

TEST(PffAdd, PlacesEveryFileByteExactly) {
  for (const Placement& row : Placements()) {
    SCOPED_TRACE(row.what);
    Rig rig;
    rig.mem.Put(kArchive, Pff(row.before));
    std::istringstream adds(row.adds);
    int count = 0;
    for (std::string add; adds >> add; ++count) {
      const auto colon = add.find(':');
      ASSERT_TRUE(rig.Add(add.substr(0, colon), add.substr(colon + 1), kArchive));
    }
    EXPECT_EQ(rig.mem.Text(kArchive), Pff(row.after));
    EXPECT_EQ(rig.pump.count, count);
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    EXPECT_EQ(rig.mem.open_files(), 0);
  }
}

TEST(PffAdd, SpellingsOfOnePathShareOneSlotReadOnceAndSlotsRunOutAt32768) {
  Rig rig;
  rig.mem.Put(kArchive, Pff(kOneFile));
  const int h = rig.table.OpenFile(kArchive);
  EXPECT_EQ(rig.table.OpenFile("game\\DFLW.PFF"), h);
  EXPECT_EQ(rig.table.OpenFile("Game/sub/..//./Dflw.pff"), h);
  EXPECT_EQ(rig.Count("open " + kArchive), 1);
  EXPECT_EQ(rig.table.Slot(h)->path, kArchive);
  ASSERT_TRUE(rig.Add("a.pcx", "=aa", "GAME\\dflw.pff"));
  ASSERT_TRUE(rig.Add("c.pcx", "=ccc", "Game\\Dflw.PFF"));
  EXPECT_EQ(rig.mem.Text(kArchive),
            Pff("H3,32,75 b50 =aaccc R0,20,50,o,b.pcx R0,70,2,n,a.pcx R0,72,3,n,c.pcx T"));
  EXPECT_EQ(rig.table.size(), 1);
  for (int i = 1; i <= PffArchiveTable::kMaxSlots; ++i) {  // the table holds 32768 slots
    rig.mem.Put("A" + std::to_string(i), Pff("H0,32,20"));
    ASSERT_EQ(rig.table.OpenFile("A" + std::to_string(i)),
              i < PffArchiveTable::kMaxSlots ? i : PffArchiveTable::kNoSlot);
  }
  EXPECT_EQ(rig.dialogs.Texts(), (Texts{"Error in OpenFile\r\nOverflow"}));
  EXPECT_EQ(rig.table.OpenFile("a1"), 1);
}

// Archives whose header or directory lie are shown, read once and never written.
TEST(PffAdd, RefusesArchivesThatLie) {
  const std::string bad = "Invalid file format: ";
  const std::pair<const char*, std::string> rows[] = {
      {"=0123456789", "Input past end of file"},
      {"H-5,32,20", bad + "FileCount -5 is negative"},
      {"H2147483647,32,20", bad + "the directory (2147483647 records of 32 bytes at 20) ends at "
                                  "68719476724, past the end of the file (20 bytes)"},
      {"H2,65536,20 x65536", bad + "the directory (2 records of 65536 bytes at 20) ends at "
                                   "131092, past the end of the file (65556 bytes)"},
      {"H0,65537,20", bad + "RecordSize 65537 is above 65536"},
      {"H0,32,100", bad + "the directory (0 records of 32 bytes at 100) ends at 100, past the end "
                          "of the file (20 bytes)"},
      {"H0,32,4 x20", bad + "DirectoryOffset 4 lies inside the 20-byte header"},
      {"H1,32,30 x10 R0,30,10,o,a.pcx",
       bad + "record 0 (a.pcx) places 10 bytes at 30, outside the data area (20 to 30)"},
      {"H1,32,30 x10 R1,10,10,o,low",
       bad + "record 0 (low) places 10 bytes at 10, outside the data area (20 to 30)"},
      {"H1,32,20 R1,20,-1,o,neg", bad + "record 0 (neg) has a negative size (-1)"},
  };
  for (const auto& [desc, why] : rows) {
    SCOPED_TRACE(why);
    Rig rig;
    rig.mem.Put("Game\\Good.pff", Pff("H0,32,20"));
    ASSERT_EQ(rig.table.OpenFile("Game\\Good.pff"), 0);
    rig.mem.Put(kArchive, Pff(desc));
    rig.fs.log.clear();
    EXPECT_FALSE(rig.Add("a.pcx", "=xyz", kArchive));
    EXPECT_EQ(rig.dialogs.Texts(), (Texts{"Error in UpdatePff\r\n" + why,
                                          "Error in AddFile, File: \"Mod\\a.pcx\"\r\n" + why}));
    EXPECT_EQ(rig.mem.Text(kArchive), Pff(desc));
    EXPECT_EQ(rig.Count("open " + kArchive), 1);  // never opened for writing
    EXPECT_EQ(rig.Count("open Mod\\a.pcx"), 0);
    EXPECT_EQ(rig.mem.open_files(), 0);
  }
}

// Failed adds of a.pcx: the boxes shown, the archive's bytes after (a "" desc: the archive
// is gone), and whether an add of "xyz" works once the faults are cleared.
struct FailedAdd {
  std::string what, before;
  std::string fault, source, box, after;    // fault: "op path-part skip", failing once
  std::optional<std::string> after_open{};  // what the archive holds once it was read
  int handle = 0;
};

TEST(PffAdd, FailuresShowOneBoxAndWriteOnlyWhatIsSafe) {
  const std::string header = "Error in GetFileHeader\r\n" + kInjected;
  const std::string revive = "H1,32,620 d600 R1,20,600,o,~";
  const std::vector<FailedAdd> rows = {
      // A failed reading is never written and is read again on its next use.
      {"reading", kOneFile, "open Dflw 0", "=xyz", kInjected, kOneFile},
      {"length", kOneFile, "length a.pcx 0", "=xyz", header, kOneFile},
      {"mtime", kOneFile, "mtime a.pcx 0", "=xyz", header, kOneFile},
      {"time past 2038", kOneFile, "", "=xyz", "Error in GetFileHeader\r\nOverflow", kOneFile},
      {"source read", kOneFile, "read a.pcx 0", "=xyz", kInjected, kOneFile},
      {"unknown handle", kOneFile, "", "=xyz", "Subscript out of range", kOneFile, {}, 7},
      {"no slot", kOneFile, "", "=xyz", "Subscript out of range", kOneFile, {}, -1},
      {"shrank", kOneFile, "", "=xyz",
       "Path/File access error: Game\\Dflw.pff is 10 bytes long, shorter than when it was read",
       "=0123456789", "=0123456789"},
      {"vanished", kOneFile, "", "=xyz", "File not found: Game\\Dflw.pff", "", ""},
      // Dead space reused: the header is written last, so the old count still describes the
      // directory on disk.
      {"interrupted split", kArchiveWithA, "write Dflw 2", "A600", kInjected,
       "H1,32,1020 a400 A600 R1,20,400,o,~ R0,420,600,n,a.pcx T"},
      // Revived in place: the data goes first, so no record names missing data.
      {"interrupted revival", revive, "write Dflw 1", "A600", kInjected, revive + " !20 A600"},
      // Appended: the moved directory goes before the data that covers the old one.
      {"interrupted append", kOneFile, "write Dflw 1", "A600", kInjected,
       kOneFile + " !670 R0,20,50,o,b.pcx R0,70,600,n,a.pcx T"},
  };
  for (const FailedAdd& row : rows) {
    SCOPED_TRACE(row.what);
    Rig rig;
    rig.mem.Put(kArchive, Pff(row.before));
    const LocalDateTime late{2038, 1, 19, 0, 0, 0, 2, 0};  // past 32-bit seconds
    rig.mem.Put("Mod\\a.pcx", Pff(row.source), row.what == "time past 2038" ? late : rig.mem.mtime);
    std::istringstream fault(row.fault);
    if (Rule r{.times = 1}; fault >> r.op >> r.path_contains >> r.skip) rig.fs.Fail(r);
    const int h = rig.table.OpenFile(kArchive);
    if (row.after_open) {
      rig.mem.Put(kArchive, Pff(*row.after_open));
      if (row.after_open->empty()) {
        ASSERT_TRUE(rig.mem.RemoveFile(kArchive));
      }
    }
    EXPECT_FALSE(rig.table.AddFile(row.handle == 0 ? h : row.handle, "Mod\\a.pcx"));
    Texts boxes{"Error in AddFile, File: \"Mod\\a.pcx\"\r\n" + row.box};
    if (row.box.starts_with("Error in GetFileHeader")) boxes = {row.box};
    if (row.what == "reading") boxes.insert(boxes.begin(), "Error in UpdatePff\r\n" + kInjected);
    EXPECT_EQ(rig.dialogs.Texts(), boxes);
    EXPECT_EQ(rig.mem.Text(kArchive), Pff(row.after));
    EXPECT_EQ(rig.mem.Exists(kArchive), !row.after.empty());
    EXPECT_EQ(rig.mem.open_files(), 0);
    EXPECT_EQ(rig.pump.count, 1);
    if (row.after != row.before) continue;
    EXPECT_EQ(rig.Count("open " + kArchive), 1);  // only the reading
    rig.fs.Clear();
    rig.mem.Put("Mod\\a.pcx", "xyz");
    EXPECT_EQ(rig.table.OpenFile(kArchive), 0);
    ASSERT_TRUE(rig.table.AddFile(0, "Mod\\a.pcx"));
    EXPECT_EQ(rig.mem.Text(kArchive), Pff(kOneFileWithXyz));
    EXPECT_EQ(rig.dialogs.boxes.size(), boxes.size());
  }
}

// A failed write anywhere in an add leaves the in-memory directory as it was: the next add
// writes a directory that only names data that was really written.
TEST(PffAdd, FailedArchiveWritesAreUndoneInMemory) {
  const std::string clean = Pff("H2,32,573 b50 B503 R0,20,50,o,b.pcx R0,70,503,n,new.pcx T");
  std::istringstream faults("open 0 size 0 write 0 write 1 write 2 close 0");
  Rule r{.path_contains = "Dflw", .times = 1, .failure = {err::kDiskFull, "Disk full"}};
  while (faults >> r.op >> r.skip) {
    SCOPED_TRACE(r.op + " " + std::to_string(r.skip));
    Rig rig;
    rig.mem.Put(kArchive, Pff(kOneFile));
    rig.mem.Put("Mod\\new.pcx", Pff("B503"));
    const int h = rig.table.OpenFile(kArchive);
    rig.fs.Fail(r);
    EXPECT_FALSE(rig.Add("a.pcx", "a1000", kArchive));
    EXPECT_EQ(rig.dialogs.Texts(), (Texts{"Error in AddFile, File: \"Mod\\a.pcx\"\r\nDisk full"}));
    EXPECT_EQ(rig.mem.open_files(), 0);
    ASSERT_TRUE(rig.table.AddFile(h, "Mod\\new.pcx"));
    // Bytes the failed add wrote beyond the new trailer may remain; nothing else differs.
    EXPECT_EQ(rig.mem.Text(kArchive).substr(0, clean.size()), clean);
  }
}

}  // namespace
}  // namespace dfm
