#include "detect/lutris_game.h"

#include <gtest/gtest.h>

namespace dfm {
namespace {

TEST(LutrisGamePrefix, ReadsTheGamesPrefixAndRefusesMalformedText) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {"game:\n  exe: /g/df.exe\n  prefix: /g/pfx\nname: DF\n", "/g/pfx"},
      {"# made by Lutris\r\n---\r\ngame:\r\n    prefix: /g/a b # comment\r\n", "/g/a b"},
      {"game:\n  prefix: '/g/it''s'\n", "/g/it's"},
      {"game:\n  prefix: \"/g/\\x41\\u00e9\\\"\\\\\"\n", "/g/A\xc3\xa9\"\\"},
      {"\"game\":\n  \"prefix\": /g/q\n", "/g/q"},
      {"game:\n  args:\n    prefix: /not/this\n  prefix: /g/p#x\n", "/g/p#x"},
      {"wine:\n  prefix: /not/game\ngame:\n  exe: x\n", "none"},
      {"game:\n  prefix: ~\n", "none"},
      {"game:\n  prefix:\n", "none"},
      {"game: {prefix: /flow}\n", "none"},
      {"game:\n  prefix: \"/open\n", "none"},
      {"game:\n  prefix: \"/bad\\q\"\n", "none"},
      {"game:\n  prefix: '/x' y\n", "none"},
      {"game:\n\tprefix: /tab\n", "none"},
      {"- game\ngame:\n  prefix: /x\n", "none"},
      {"game:x\n  prefix: /x\n", "none"},
  };
  for (const auto& [yaml, expected] : rows)
    EXPECT_EQ(LutrisGamePrefix(yaml).value_or("none"), expected) << yaml;
}

}  // namespace
}  // namespace dfm
