#include "platform/file_exists.h"

#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::FaultyFileSystem;
using testing::RecordingDialogs;
using testing::TempDir;

// Files of any length and letter case exist; missing files and folders are quietly not
// there; only the length is asked for.
TEST(FileExists, AsksForTheLengthOnly) {
  TempDir dir;
  auto host = MakeHostFileSystem();
  FaultyFileSystem fs(*host);
  RecordingDialogs dialogs;
  dir.Write("Data/ReadMe.txt", "hello");
  dir.Write("empty.bin", "");
  const std::pair<std::string, bool> cases[] = {
      {dir / "Data/ReadMe.txt", true},
      {dir.str() + "DATA\\README.TXT", true},
      {dir / "empty.bin", true},
      {dir / "missing.txt", false},
      {dir / "no/such/folder.txt", false},
      {dir / "Data/ReadMe.txt/below.txt", false},
      {dir.str(), false},
  };
  for (const auto& [path, exists] : cases) {
    fs.log.clear();
    EXPECT_EQ(FileExists(fs, dialogs, path), exists) << path;
    EXPECT_EQ(fs.log, std::vector<std::string>{"length " + path});
  }
  EXPECT_TRUE(dialogs.boxes.empty());

  fs.Fail({.op = "length", .failure = {err::kPermissionDenied, "Permission denied: locked"}});
  EXPECT_FALSE(FileExists(fs, dialogs, dir / "empty.bin"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Error in FileExists\r\nPermission denied: locked");
  EXPECT_EQ(dialogs.boxes[0].title, "");
  EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::kOk);
  EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::kNone);
}

}  // namespace
}  // namespace dfm
