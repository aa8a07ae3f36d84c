#include "dfmod/cli.h"

#include <gtest/gtest.h>

namespace dfm::cli {
namespace {

TEST(JsonString, KeepsUtf8AndEscapesOtherBytesAsLatin1) {
  EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonString("\xc3\xa9"), "\"\xc3\xa9\"");         // valid UTF-8 kept
  EXPECT_EQ(JsonString("\xe9t\xe9"), R"("\u00e9t\u00e9")");  // Latin-1 bytes
  EXPECT_EQ(JsonString(std::string("\0\n\x7f", 3)), R"("\u0000\n\u007f")");
  EXPECT_EQ(JsonString("\xc3"), R"("\u00c3")");                      // truncated sequence
  EXPECT_EQ(JsonString("\xed\xa0\x80"), R"("\u00ed\u00a0\u0080")");  // surrogate
}

}  // namespace
}  // namespace dfm::cli
