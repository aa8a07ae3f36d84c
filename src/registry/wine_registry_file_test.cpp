#include "registry/wine_registry_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "registry/registry_reader.h"
#include "registry/tree_registry.h"

namespace dfm {
namespace {

const char kSystemReg[] = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Test] 1700000000
#time=1d9e0b0a0b0c0d0
@="default"
"Text"="C:\\Games\\DF2"
"Empty"=""
"Bin"=hex:0a,1f,ff
"Num"=dword:00000a14
"ExpZ"=str(2):"%SystemRoot%\\x"
"Multi"=hex(7):41,00,00,00,42,00,00,00,00,00
"Quote"="say \"hi\"\tend\\"
"Accent"="caf\xe9 \x263a\x41"
"Wide"=hex(1):43,00,3a,00,5c,00,e9,00,00,00
"Unended"=hex(1):41,00,42,00
"Long"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,00,01,02,03,04,05,06,\
  07,08,09,0a,0b,0c,0d,0e,0f
this line is not a value
"Broken"=dword:12
"Text"="C:\\Games\\DF2"

[Software\\Test\\Sub B] 1700000000
[SOFTWARE\\TEST\\sub a] 1700000000
"x"="1"

[Software\\Implicit\\Deep\\Key] 1700000000

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\df.exe] 1700000000
"Path"="C:\\Games\\DF"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dflw.exe] 1700000000
"Path"="C:\\Wrong\\64-bit view"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dflw.exe] 1700000000
"Path"="C:\\Program Files (x86)\\Land Warrior"
)";

// Every kind of value, keys found without regard to case, intermediate keys that exist
// (binary values and the win64 mark: through the reader below).
TEST(WineRegistryFile, ReadsEveryKindOfValue) {
  using std::string_literals::operator""s;
  RegistryHive hive = ParseWineRegistry(kSystemReg);
  const RegistryNode* key = FindRegistryKey(hive.root, "software\\TEST");
  ASSERT_NE(key, nullptr);
  const std::tuple<const char*, std::uint32_t, std::string> values[] = {
      {"", reg::kString, "default\0"s},
      {"text", reg::kString, "C:\\Games\\DF2\0"s},
      {"Empty", reg::kString, "\0"s},
      {"Num", reg::kDword, "\x14\x0a\0\0"s},
      {"expz", reg::kExpandString, "%SystemRoot%\\x\0"s},
      {"Multi", reg::kMultiString, "A\0B\0\0"s},
      {"Quote", reg::kString, "say \"hi\"\tend\\\0"s},
      {"Accent", reg::kString, "caf\xc3\xa9 \xe2\x98\xba\x41\0"s},
      {"Wide", reg::kString, "C:\\\xc3\xa9\0"s},
  };
  for (const auto& [name, type, bytes] : values) {
    const RegValue* v = key->FindValue(name);
    ASSERT_NE(v, nullptr) << name;
    EXPECT_EQ(v->type, type) << name;
    EXPECT_EQ(std::string(v->data.begin(), v->data.end()), bytes) << name;
  }
  EXPECT_EQ(key->FindValue("Broken"), nullptr);
  EXPECT_EQ(key->values.size(), 12u);  // "Text" twice is one value
  ASSERT_EQ(key->children.size(), 2u);
  EXPECT_EQ(key->children.begin()->first, "sub a");
  EXPECT_NE(FindRegistryKey(hive.root, "Software\\Implicit\\Deep"), nullptr);
  EXPECT_EQ(FindRegistryKey(hive.root, "Software\\Missing"), nullptr);
}

// Handles still open in `tree` (it numbers them from 0x100); closes them.
int OpenHandles(TreeRegistry& tree) {
  int open = 0;
  for (RegKey k = 0x100; k < 0x200; ++k) open += tree.CloseKey(k) == reg::kSuccess;
  return open;
}

// The reader's text of each value asked, "|" after each.
std::string Values(RegistryReader& reader, std::initializer_list<const char*> names) {
  std::string out;
  for (const char* name : names) out += reader.GetValue(name) + "|";
  return out;
}

TEST(ReadReg, ValuesAsTextBinaryAndTypeNumbersAndEveryKeyClosed) {
  const std::string app_paths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  TreeRegistry tree{ParseWineRegistry(kSystemReg), ParseWineRegistry("")};
  {
    RegistryReader reader(tree);
    EXPECT_EQ(reader.GetValue("Text"), "");  // nothing open yet
    EXPECT_FALSE(reader.OpenRegistry(0, "Software\\Test"));
    EXPECT_EQ(reader.RegistryRootKey(), 0);
    EXPECT_EQ(reader.SubDirectory(), "");
    EXPECT_FALSE(reader.OpenRegistry(reg::kLocalMachine, "Software\\Missing"));
    EXPECT_EQ(reader.RegistryRootKey(), reg::kLocalMachine);
    EXPECT_EQ(reader.SubDirectory(), "Software\\Missing");
    ASSERT_TRUE(reader.OpenRegistry(reg::kLocalMachine, "Software\\Test"));
    EXPECT_EQ(Values(reader, {"Text", "Empty", "Bin", "Num", "EXPZ", "Unended", "Missing", "Long"}),
              "C:\\Games\\DF2||0A 1F FF |value_type=4|value_type=2|AB||00 01 02 03 04 05 06 07 08 "
              "09 0A 0B 0C 0D 0E 0F 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F |");
    EXPECT_EQ(reader.GetAllSubDirectories(), (std::vector<std::string>{"sub a", "Sub B"}));
    EXPECT_EQ(reader.GetAllValues()->size(), 12u);
    EXPECT_TRUE(reader.CloseRegistry());
    EXPECT_FALSE(reader.CloseRegistry());
    EXPECT_EQ(reader.GetAllSubDirectories(), std::nullopt);
    EXPECT_EQ(OpenHandles(tree), 0);
    // 64-bit prefix: the 32-bit view first.
    ASSERT_TRUE(reader.OpenRegistry(reg::kLocalMachine, app_paths + "dflw.exe"));
    EXPECT_EQ(reader.GetValue("Path"), "C:\\Program Files (x86)\\Land Warrior");
    ASSERT_TRUE(reader.OpenRegistry(reg::kLocalMachine, app_paths + "df.exe"));
    EXPECT_EQ(reader.GetValue("Path"), "C:\\Games\\DF");
    ASSERT_TRUE(reader.OpenRegistry(reg::kLocalMachine, "Software\\Test\\Sub B"));
    EXPECT_EQ(reader.GetAllSubDirectories(), std::vector<std::string>{});
    EXPECT_EQ(reader.GetValue("Text"), "");
  }
  EXPECT_EQ(OpenHandles(tree), 0);  // each open closed the key before; destruction the last

  std::string win32 = kSystemReg;
  win32.replace(win32.find("#arch=win64"), 11, "#arch=win32");
  TreeRegistry tree32(ParseWineRegistry(win32), {});
  RegistryReader reader32(tree32);
  ASSERT_TRUE(reader32.OpenRegistry(reg::kLocalMachine, app_paths + "dflw.exe"));
  EXPECT_EQ(reader32.GetValue("Path"), "C:\\Wrong\\64-bit view");

  // Values too long for the buffers: empty, and the list ends before them.
  const std::string big(300, 'x');
  TreeRegistry tree2(ParseWineRegistry("[Software\\\\Big]\n\"a\"=\"short\"\n\"b\"=\"" + big +
                                       "\"\n\"c\"=\"after\"\n"),
                     {});
  RegistryReader reader2(tree2);
  ASSERT_TRUE(reader2.OpenRegistry(reg::kLocalMachine, "Software\\Big"));
  EXPECT_EQ(Values(reader2, {"b", "c"}), "|after|");
  EXPECT_EQ(reader2.GetAllValues(), std::vector<std::string>{"a"});
}

// Files no prefix would hold: keys nested 50,000 deep (passed over beyond the system's 512
// levels; a deeper tree is freed without recursion) and 30,000 subkeys of one key,
// enumerated in linear time.
TEST(WineRegistryFile, HostileFilesAreBoundedInDepthAndEnumeratedInLinearTime) {
  std::string text = "[Software\\\\Games]\n";
  for (std::size_t depth : {kMaxRegistryDepth, std::size_t{50000}}) {
    text += "[";
    for (std::size_t i = 0; i < depth; ++i) text += (i ? "\\\\" : "") + std::to_string(depth);
    text += "]\n";
  }
  for (int i = 0; i < 30000; ++i) text += "[Software\\\\Games\\\\" + std::to_string(i) + "]\n";
  TreeRegistry tree(ParseWineRegistry(text), {});
  RegKey key = 0;
  std::string name;
  EXPECT_EQ(tree.OpenKey(reg::kLocalMachine, "512", key), reg::kSuccess);
  EXPECT_EQ(tree.OpenKey(reg::kLocalMachine, "50000", key), reg::kFileNotFound);
  {
    RegistryNode deep;
    RegistryNode* node = &deep;
    for (int i = 0; i < 200000; ++i) node = &node->children["k"];
  }
  ASSERT_EQ(tree.OpenKey(reg::kLocalMachine, "Software\\Games", key), reg::kSuccess);
  std::uint32_t count = 0;
  while (tree.EnumKey(key, count, 256, name) == reg::kSuccess) ++count;
  EXPECT_EQ(count, 30000u);
  EXPECT_EQ(tree.EnumKey(key, 3, 256, name), reg::kSuccess);  // back to an earlier index
  EXPECT_EQ(name, "100");  // in the registry's order: "0", "1", "10", "100", ...
}

}  // namespace
}  // namespace dfm
