// Adding files to PFF archives through the open-archive table: the exact bytes on disk for
// every placement, the name rule and record sizes, and every failure path.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>

#include "pff/pff_install.h"
#include "support/fakes.h"
#include "support/memory_file_system.h"
#include "support/pff_bytes.h"

namespace dfm {
namespace {

using testing::FaultyFileSystem;
using testing::MemoryFileSystem;
using Rule = FaultyFileSystem::Rule;
using Texts = std::vector<std::string>;

// 2001-09-09 01:46:40, the sources' time, counted from 1969-12-31 19:00:00.
constexpr std::int32_t kTs = 1'000'018'000;
constexpr std::int32_t kOld = 111;  // timestamp of records already in the test archives
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
//       "n" is kTs; name "~" is "<DEAD SPACE>", "\0" in a name is a NUL
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
      std::string name = f[4] == "~" ? "<DEAD SPACE>" : f[4];
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
  explicit Rig(const std::string& archive) {
    mem.mtime = LocalDateTime{2001, 9, 9, 1, 46, 40, 0, 0};
    mem.Put(kArchive, Pff(archive));
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

// One run: the archive before, the adds ("name:desc name:desc", each source in turn), the
// archive after (a "" desc: it is gone). A failing run adds a.pcx once; its fault ("op
// path-part skip", failing once) is set before the archive is read, `box` is the reason
// shown, `handle` (0: the archive's) the one added to, `after_open` replaces the archive
// once it was read, `unread` says the reading fails. Once the fault is cleared, an add of
// "xyz" must give `retry` (read again if the reading failed; "": not tried).
struct Add {
  std::string what, before, adds, after;
  std::string fault{}, box{};
  int handle = 0;
  std::string retry = kOneFileWithXyz;
  bool unread = false;
  std::optional<std::string> after_open{};
};

std::vector<Add> Adds() {
  const std::string same = "H2,32,1320 a1000 c300 R0,20,1000,o,a.pcx R0,1020,300,o,c.pcx U100";
  const std::string zero = "H2,32,1020 d1000 R1,500,0,o,gone R1,20,1000,o,~";
  std::vector<Add> rows = {
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
  // Failed adds of a.pcx. A failed reading is never written and is read again on its next use.
  const std::string header = "Error in GetFileHeader\r\n" + kInjected, xyz = "a.pcx:=xyz";
  const std::string revive = "H1,32,620 d600 R1,20,600,o,~";
  const std::string appended = "H2,32,670 b50 A600 R0,20,50,o,b.pcx R0,70,600,n,a.pcx T";
  const std::string shrank =
      "Path/File access error: Game\\Dflw.pff is 101 bytes long, shorter than when it was read";
  const std::vector<Add> failures = {
      {"reading", kOneFile, xyz, kOneFile, "open Dflw 0", kInjected, 0, kOneFileWithXyz, true},
      {"length", kOneFile, xyz, kOneFile, "length a.pcx 0", header},
      {"mtime", kOneFile, xyz, kOneFile, "mtime a.pcx 0", header},
      {"time past 2038", kOneFile, xyz, kOneFile, "", "Error in GetFileHeader\r\nOverflow"},
      {"source read", kOneFile, xyz, kOneFile, "read a.pcx 0", kInjected},
      {"unknown handle", kOneFile, xyz, kOneFile, "", "Subscript out of range", 7},
      {"no slot", kOneFile, xyz, kOneFile, "", "Subscript out of range", -1},
      {"shrank by a byte", kOneFile, xyz, "x101", "", shrank, 0, "", false, "x101"},
      {"vanished", kOneFile, xyz, "", "", "File not found: Game\\Dflw.pff", 0, "", false, ""},
      // Dead space reused: the header is written last, so the old count still describes the
      // directory on disk. Every failed write is undone in memory: the next add writes a
      // directory that only names data that was really written.
      {"interrupted split", kArchiveWithA, "a.pcx:A600",
       "H1,32,1020 a400 A600 R1,20,400,o,~ R0,420,600,n,a.pcx T", "write Dflw 2", kInjected, 0,
       "H2,32,1020 a400 A597 =xyz R1,20,997,o,~ R0,1017,3,n,a.pcx T"},
      // Revived in place: the data goes first, so no record names missing data.
      {"interrupted revival", revive, "a.pcx:A600", revive + " !20 A600", "write Dflw 1", kInjected,
       0, "H2,32,620 A597 =xyz R1,20,597,o,~ R0,617,3,n,a.pcx T"},
      // Appended: the moved directory goes before the data that covers the old one.
      {"interrupted append", kOneFile, "a.pcx:A600",
       kOneFile + " !670 R0,20,50,o,b.pcx R0,70,600,n,a.pcx T", "write Dflw 1", kInjected, 0,
       kOneFile + " !670 R0,20,50,o,b.pcx R0,70,600,n,a.pcx T !0 " + kOneFileWithXyz},
      {"failed close", kOneFile, "a.pcx:A600", appended, "close Dflw 1", kInjected, 0,
       appended + " !0 " + kOneFileWithXyz},
  };
  rows.insert(rows.end(), failures.begin(), failures.end());
  // Archives whose header or directory lie are shown, read once and never written.
  const std::string bad = "Invalid file format: ";
  const std::pair<const char*, std::string> lies[] = {
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
  for (const auto& [desc, why] : lies)
    rows.push_back({why, desc, xyz, desc, "", why, 0, kOneFileWithXyz, true});
  return rows;
}

// Each row in a fresh table; a failing add shows one box (two when the reading failed).
TEST(PffAdd, PlacesEveryFileByteExactlyAndWritesOnlyWhatIsSafe) {
  const LocalDateTime late{2038, 1, 19, 0, 0, 0, 2, 0};  // past 32-bit seconds
  for (const Add& row : Adds()) {
    SCOPED_TRACE(row.what);
    Rig rig(row.before);
    rig.mem.Put("Game\\Good.pff", Pff("H0,32,20"));  // once one was read, failed slots stay
    ASSERT_EQ(rig.table.OpenFile("Game\\Good.pff"), 0);
    std::istringstream fault(row.fault);
    if (Rule r{.times = 1}; fault >> r.op >> r.path_contains >> r.skip) rig.fs.Fail(r);
    const int h = rig.table.OpenFile(kArchive);
    if (row.after_open) {
      rig.mem.Put(kArchive, Pff(*row.after_open));
      if (row.after_open->empty()) {
        ASSERT_TRUE(rig.mem.RemoveFile(kArchive));
      }
    }
    std::istringstream adds(row.adds);
    int count = 0;
    for (std::string add; adds >> add; ++count) {
      const std::string source = "Mod\\" + add.substr(0, add.find(':'));
      const bool past_2038 = row.what == "time past 2038";
      rig.mem.Put(source, Pff(add.substr(add.find(':') + 1)), past_2038 ? late : rig.mem.mtime);
      EXPECT_EQ(rig.table.AddFile(row.handle == 0 ? h : row.handle, source).ok(), row.box.empty());
    }
    const std::string add_box = "Error in AddFile, File: \"Mod\\a.pcx\"\r\n" + row.box;
    Texts boxes;
    if (!row.box.empty())
      boxes = {row.box.starts_with("Error in GetFileHeader") ? row.box : add_box};
    if (row.unread) boxes.insert(boxes.begin(), "Error in UpdatePff\r\n" + row.box);
    EXPECT_EQ(rig.dialogs.Texts(), boxes);
    EXPECT_EQ(rig.mem.Text(kArchive), Pff(row.after));
    EXPECT_EQ(rig.mem.Exists(kArchive), !row.after.empty());
    EXPECT_EQ(rig.mem.open_files(), 0);
    EXPECT_EQ(rig.pump.count, count);
    EXPECT_TRUE(!row.unread || rig.Count("open Mod\\a.pcx") == 0);
    if (row.box.empty() || row.retry.empty()) continue;
    EXPECT_TRUE(row.after != row.before || rig.Count("open " + kArchive) == 1);  // only the reading
    rig.fs.Clear();
    if (row.unread) rig.mem.Put(kArchive, Pff(kOneFile));
    rig.mem.Put("Mod\\a.pcx", "xyz");
    EXPECT_EQ(rig.table.OpenFile(kArchive), h);
    ASSERT_TRUE(rig.table.AddFile(h, "Mod\\a.pcx"));
    EXPECT_EQ(rig.mem.Text(kArchive), Pff(row.retry));
    EXPECT_EQ(rig.dialogs.boxes.size(), boxes.size());
  }
}

TEST(PffAdd, SpellingsOfOnePathShareOneSlotReadOnceAndSlotsRunOutAt32768) {
  Rig rig(kOneFile);
  const int h = rig.table.OpenFile(kArchive);
  EXPECT_EQ(rig.table.OpenFile("game\\DFLW.PFF"), h);
  EXPECT_EQ(rig.table.OpenFile("Game/sub/..//./Dflw.pff"), h);
  EXPECT_EQ(rig.Count("open " + kArchive), 1);
  EXPECT_EQ(rig.table.Slot(h)->path, kArchive);
  for (int i = 1; i <= PffArchiveTable::kMaxSlots; ++i) {  // the table holds 32768 slots
    rig.mem.Put("A" + std::to_string(i), Pff("H0,32,20"));
    ASSERT_EQ(rig.table.OpenFile("A" + std::to_string(i)),
              i < PffArchiveTable::kMaxSlots ? i : PffArchiveTable::kNoSlot);
  }
  EXPECT_EQ(rig.dialogs.Texts(), (Texts{"Error in OpenFile\r\nOverflow"}));
  EXPECT_EQ(rig.table.OpenFile("a1"), 1);
}

}  // namespace
}  // namespace dfm
