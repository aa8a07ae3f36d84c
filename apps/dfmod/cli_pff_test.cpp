// dfmod pff in process: exit codes, messages and the files it leaves; JSON strings.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_run.h"
#include "support/pff_bytes.h"
#include "support/temp_dir.h"

namespace dfm::cli {
namespace {

using testing::PffHeaderBytes;
using testing::PffRecordBytes;
using testing::PffTrailerBytes;
using testing::TempDir;

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
       "dfmod: pff list: {dir}short.pff: not a PFF archive (Input past end of file)\n"},
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

}  // namespace
}  // namespace dfm::cli
