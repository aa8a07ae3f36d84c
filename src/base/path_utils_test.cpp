#include "base/path_utils.h"

#include <gtest/gtest.h>

namespace dfm {
namespace {

using namespace std::string_literals;

// GetFolder: a path without a dot is a folder and gets a separator; one with a dot is a
// file, cut after its last separator; with a dot, a NUL ends the path. "/" separates on
// POSIX only. GetFileName: the part after the last separator. PadName: NULs up to 16.
TEST(PathUtils, FoldersFileNamesAndPaddedNames) {
  struct Case {
    char function;       // F GetFolder, N GetFileName, P PadName
    const char* styles;  // w Windows, p POSIX
    std::string path, expected;
  };
  const Case cases[] = {
      {'F', "wp", "C:\\Games\\DF2", "C:\\Games\\DF2\\"},
      {'F', "wp", "C:\\Games\\DF2\\", "C:\\Games\\DF2\\"},
      {'F', "wp", "", "\\"},
      {'F', "wp", "DF2", "DF2\\"},
      {'F', "wp", "C:\\Games\\DF2\\df2.exe", "C:\\Games\\DF2\\"},
      {'F', "wp", "readme.txt", ""},
      {'F', "wp", "C:\\Games\\Mod.Pack", "C:\\Games\\"},
      {'F', "wp", "C:\\Games\\Mod.Pack\\", "C:\\Games\\Mod.Pack\\"},
      {'F', "wp", "C:\\Mod.Pack\\DF2", "C:\\Mod.Pack\\"},
      {'F', "wp", "C:\\Games\\Mod.Pack\0more\\x"s, "C:\\Games\\Mod.Pack\\"},
      {'F', "wp", "C:\\DF2\0.x"s, "C:\\DF2\\"},  // the dot after the NUL counts
      {'F', "wp", "\0a.b"s, "\\"},
      {'F', "w", "C:\\DF2\0x"s, "C:\\DF2\0x\\"s},  // without a dot the NUL is a character
      {'F', "p", "/home/pat/DF2", "/home/pat/DF2/"},
      {'F', "p", "/home/pat/DF2/", "/home/pat/DF2/"},
      {'F', "p", "/home/pat/Mod.Pack", "/home/pat/"},
      {'F', "p", "/games/Mod.Pack\0x"s, "/games/Mod.Pack/"},
      {'F', "p", "/games\\DF2", "/games\\DF2\\"},  // the last separator is "\"
      {'F', "p", "Kyv\\Data/x.txt", "Kyv\\Data/"},
      {'F', "w", "/home/pat/DF2", "/home/pat/DF2\\"},
      {'F', "w", "/home/pat/df2.exe", ""},
      {'N', "wp", "Textures\\old.pcx", "old.pcx"},
      {'N', "wp", "old.pcx", "old.pcx"},
      {'N', "wp", "Textures\\", ""},
      {'N', "wp", "", ""},
      {'N', "p", "Textures/old.pcx", "old.pcx"},
      {'N', "p", "a/b\\c", "c"},
      {'N', "p", "a\\b/c", "c"},
      {'N', "w", "Textures/old.pcx", "Textures/old.pcx"},
      {'P', "w", "abc", "abc" + std::string(13, '\0')},
      {'P', "w", "exactly16chars.x", "exactly16chars.x"},
      {'P', "w", "longer_than_16.pcx", "longer_than_16.pcx"},
  };
  for (const Case& c : cases) {
    for (const char* s = c.styles; *s; ++s) {
      const PathStyle style = *s == 'w' ? PathStyle::kWindows : PathStyle::kPosix;
      const std::string got = c.function == 'F'   ? GetFolder(c.path, style)
                              : c.function == 'N' ? GetFileName(c.path, style)
                                                  : PadName(c.path);
      EXPECT_EQ(got, c.expected) << c.function << " " << *s << " " << c.path;
    }
  }
}

}  // namespace
}  // namespace dfm
