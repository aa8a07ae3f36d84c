#include <gtest/gtest.h>

#include <filesystem>

#include "dfmod/cli.h"
#include "pff/pff_archive.h"
#include "platform/host.h"
#include "support/cli_run.h"
#include "support/pff_bytes.h"
#include "support/temp_dir.h"

namespace dfm::cli {
namespace {

using dfm::testing::PffHeaderBytes;
using dfm::testing::PffRecordBytes;
using dfm::testing::PffTrailerBytes;
using dfm::testing::TempDir;

testing::CliOutcome Pff(const Args& args) {
  return testing::RunCli(dfm::cli::Pff, args);
}

// "abc" (3 bytes) live, a dead record, and a 16-character name with a Latin-1 byte.
std::string SampleArchive() {
  return PffHeaderBytes(3, 36, 30, 20, std::string("PF\0\xe9", 4)) + "abc" + "0123456" +
         PffRecordBytes(0, 20, 3, 7, "Abc.pcx", 36, "KEEP") +
         PffRecordBytes(1, 23, 7, -1, "<DEAD SPACE>", 36) +
         PffRecordBytes(0, 23, 7, 99, "caf\xe9_sixteen_ch", 36) + PffTrailerBytes();
}

TEST(PffList, JsonHasEveryFieldAndRawNames) {
  TempDir dir;
  dir.Write("a.pff", SampleArchive());
  auto r = Pff({"list", dir / "a.pff", "--json"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "{\"header_size\":20,\"signature\":\"PF\\u0000\\u00e9\",\"file_count\":3,"
            "\"record_size\":36,\"directory_offset\":30,\"entries\":["
            "{\"index\":0,\"dead\":0,\"offset\":20,\"size\":3,\"timestamp\":7,"
            "\"name\":\"Abc.pcx\"},"
            "{\"index\":1,\"dead\":1,\"offset\":23,\"size\":7,\"timestamp\":-1,"
            "\"name\":\"<DEAD SPACE>\"},"
            "{\"index\":2,\"dead\":0,\"offset\":23,\"size\":7,\"timestamp\":99,"
            "\"name\":\"caf\\u00e9_sixteen_ch\"}]}\n");
}

TEST(PffList, TableIsReadable) {
  TempDir dir;
  dir.Write("a.pff", SampleArchive());
  auto r = Pff({"list", dir / "a.pff"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "header_size       20\n"
            "signature         PF\\x00\\xe9\n"
            "file_count        3\n"
            "record_size       36 (records of 36 bytes)\n"
            "directory_offset  30\n"
            "  index dead      offset        size   timestamp  name\n"
            "      0    0          20           3           7  Abc.pcx\n"
            "      1    1          23           7          -1  <DEAD SPACE>\n"
            "      2    0          23           7          99  caf\\xe9_sixteen_ch\n");
}

TEST(PffList, UnreadableArchivesAndBadUsage) {
  TempDir dir;
  dir.Write("short.pff", "12345");
  auto r = Pff({"list", dir / "short.pff"});
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_EQ(r.err, "dfmod: pff list: " + (dir / "short.pff") + ": Input past end of file\n");
  EXPECT_EQ(Pff({"list"}).code, kExitUsage);
  EXPECT_EQ(Pff({"list", "a", "--xml"}).err,
            "dfmod: pff list: unknown option '--xml'; see 'dfmod pff list --help'\n");
  EXPECT_EQ(Pff({}).code, kExitUsage);
}

TEST(PffAddCommand, AddsEachFileInOrderThroughOneSlot) {
  TempDir dir;
  dir.Write("a.pff", PffHeaderBytes(0, 32, 20));
  dir.Write("mod/one.pcx", "1111");
  dir.Write("mod/Two.pcx", "22");
  dir.Write("mod/again/ONE.PCX", "33");
  auto r = Pff(
      {"add", dir / "a.pff", dir / "mod/one.pcx", dir / "mod/Two.pcx", dir / "mod/again/ONE.PCX"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");

  auto fs = MakeHostFileSystem();
  auto archive = ReadPffArchive(*fs, dir / "a.pff");
  ASSERT_TRUE(archive);
  ASSERT_EQ(archive->entries().size(), 3u);
  const std::string bytes = dir.Read("a.pff");
  // one.pcx at 20, Two.pcx at 24, then ONE.PCX replaces one.pcx in the tail of its space.
  EXPECT_EQ(bytes.substr(0, 26), PffHeaderBytes(3, 32, 26) + "11" + "33" + "22");
  auto ts = [&](const std::string& p) { return *PffTimestamp(*fs->ModifiedTime(dir / p)); };
  EXPECT_EQ(bytes.substr(26), PffRecordBytes(1, 20, 2, ts("mod/one.pcx"), "<DEAD SPACE>") +
                                  PffRecordBytes(0, 24, 2, ts("mod/Two.pcx"), "Two.pcx") +
                                  PffRecordBytes(0, 22, 2, ts("mod/again/ONE.PCX"), "ONE.PCX") +
                                  PffTrailerBytes());
}

TEST(PffAddCommand, FailedAddsGiveExitOneAndTheirMessages) {
  TempDir dir;
  dir.Write("bad.pff", PffHeaderBytes(-2, 32, 20));
  dir.Write("x.pcx", "x");
  auto r = Pff({"add", dir / "bad.pff", dir / "x.pcx"});
  EXPECT_EQ(r.code, kExitFindings);
  const std::string why = "Invalid file format: FileCount -2 is negative";
  EXPECT_EQ(r.err, "[dfmod] Error in UpdatePff\r\n" + why + "\n[dfmod] Error in AddFile, File: \"" +
                       (dir / "x.pcx") + "\"\r\n" + why + "\n");
  EXPECT_EQ(dir.Read("bad.pff"), PffHeaderBytes(-2, 32, 20));
  EXPECT_EQ(Pff({"add", dir / "none.pff", dir / "x.pcx"}).code, kExitUsage);
  EXPECT_EQ(Pff({"add", dir / "bad.pff"}).code, kExitUsage);
}

TEST(PffExtract, WritesLiveEntriesAllOrByNameIgnoringCase) {
  TempDir dir;
  dir.Write("a.pff", SampleArchive());
  auto all = Pff({"extract", dir / "a.pff", "-o", dir / "all"});
  EXPECT_EQ(all.code, kExitOk) << all.err;
  EXPECT_EQ(dir.Read("all/Abc.pcx"), "abc");
  EXPECT_EQ(dir.Read("all/caf\xe9_sixteen_ch"), "0123456");
  EXPECT_FALSE(dir.Exists("all/<DEAD SPACE>"));

  auto one = Pff({"extract", dir / "a.pff", "-o", dir / "one", "ABC.PCX", "nothing.pcx"});
  EXPECT_EQ(one.code, kExitFindings);
  EXPECT_EQ(one.err, "dfmod: pff extract: no entry named nothing.pcx\n");
  EXPECT_EQ(dir.Read("one/Abc.pcx"), "abc");
  EXPECT_FALSE(dir.Exists("one/caf\xe9_sixteen_ch"));
  EXPECT_EQ(Pff({"extract", dir / "a.pff"}).code, kExitUsage);
}

TEST(PffExtract, WritesEveryEntryUnderItsOwnNameAndNothingOutsideTheFolder) {
  TempDir dir;
  auto entry = [](int offset, int size, const char* name) {
    return PffRecordBytes(0, offset, size, 0, name);
  };
  dir.Write("a.pff", PffHeaderBytes(7, 32, 23) + "abc" + entry(20, 3, "../up") +
                         entry(20, 2000, "big") + entry(20, 3, "ok") + entry(21, 2, "OK") +
                         entry(20, 1, "Ok~2") + entry(99999, 0, "empty") + entry(20, 3, "link"));
  dir.Write("outside", "keep");
  std::filesystem::create_directories(dir / "out");
  std::filesystem::create_symlink(dir / "outside", dir / "out/link");
  auto r = Pff({"extract", dir / "a.pff", "-o", dir / "out"});
  EXPECT_EQ(r.code, kExitFindings);
  EXPECT_EQ(r.err,
            "dfmod: pff extract: ../up: not a plain file name; not extracted\n"
            "dfmod: pff extract: big: its data lies outside the archive; not extracted\n"
            "dfmod: pff extract: link: a symbolic link stands in the way; not written\n");
  const std::string note = ": an entry of the same name in another letter case came first\n";
  EXPECT_EQ(r.out, "OK: written as OK~2" + note + "Ok~2: written as Ok~2~2" + note);
  EXPECT_FALSE(dir.Exists("up"));
  EXPECT_EQ(dir.Read("out/ok") + dir.Read("out/OK~2") + dir.Read("out/Ok~2~2"), "abcbca");
  EXPECT_EQ(dir.Read("out/empty"), "");
  EXPECT_EQ(dir.Read("outside"), "keep");
}

}  // namespace
}  // namespace dfm::cli
