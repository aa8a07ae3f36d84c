#include "shell/folder_label.h"

#include <gtest/gtest.h>

namespace dfm {
namespace {

TEST(ShortenPathMiddle, KeepsTheHeadThatFitsAndTheLastFolder) {
  const auto one_per_char = [](std::string_view text) { return static_cast<int>(text.size()); };
  const struct {
    const char* path;
    int width;
    const char* shown;
  } cases[] = {
      {R"(C:\Games\Land Warrior)", 21, R"(C:\Games\Land Warrior)"},
      {R"(C:\Games\Delta Force\Land Warrior)", 25, R"(C:\Games\...\Land Warrior)"},
      {R"(C:\Games\Delta Force\Land Warrior)", 24, R"(C:\...\Land Warrior)"},
      {R"(C:\Games\Delta Force\Land Warrior\)", 20, R"(C:\...\Land Warrior\)"},
      {R"(C:\Games\Delta Force\Land Warrior)", 16, R"(...\Land Warrior)"},
      {"/home/me/games/Land Warrior", 22, "/home/.../Land Warrior"},
      {R"(C:\Games\Delta Force\Land Warrior)", 10, R"(C:\G...ior)"},
      {"NoSeparatorsAtAll", 8, "NoS...ll"},
      {R"(C:\Games\Delta Force\Land Warrior)", 1, "..."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ShortenPathMiddle(c.path, c.width, one_per_char), c.shown)
        << c.path << " " << c.width;
}

}  // namespace
}  // namespace dfm
