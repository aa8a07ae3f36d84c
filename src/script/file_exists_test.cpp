#include "script/file_exists.h"

#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::FaultyFileSystem;
using testing::RecordingDialogs;
using testing::TempDir;

struct FileExistsTest : ::testing::Test {
  TempDir dir;
  std::unique_ptr<FileSystem> host = MakeHostFileSystem();
  RecordingDialogs dialogs;
};

TEST_F(FileExistsTest, ExistingFilesOfAnyLengthAndLetterCase) {
  dir.Write("Data/ReadMe.txt", "hello");
  dir.Write("empty.bin", "");
  EXPECT_TRUE(FileExists(*host, dialogs, dir / "Data/ReadMe.txt"));
  EXPECT_TRUE(FileExists(*host, dialogs, dir.str() + "DATA\\README.TXT"));
  EXPECT_TRUE(FileExists(*host, dialogs, dir / "empty.bin"));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FileExistsTest, MissingFilesAndFoldersAreQuietlyFalse) {
  dir.Write("file.txt", "x");
  EXPECT_FALSE(FileExists(*host, dialogs, dir / "missing.txt"));
  EXPECT_FALSE(FileExists(*host, dialogs, dir / "no/such/folder.txt"));
  EXPECT_FALSE(FileExists(*host, dialogs, dir / "file.txt/below.txt"));
  EXPECT_FALSE(FileExists(*host, dialogs, dir.str()));  // a folder is not a file
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FileExistsTest, OtherFailuresShowTheirDescriptionAndGiveFalse) {
  dir.Write("locked.txt", "x");
  FaultyFileSystem faulty(*host);
  faulty.Fail({.op = "length", .failure = {err::kPermissionDenied, "Permission denied: locked"}});
  EXPECT_FALSE(FileExists(faulty, dialogs, dir / "locked.txt"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Error in FileExists\r\nPermission denied: locked");
  EXPECT_EQ(dialogs.boxes[0].title, "");
  EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::kOk);
  EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::kNone);
}

TEST_F(FileExistsTest, AsksForTheLengthOnlyAndReadsNothing) {
  dir.Write("a.txt", "x");
  FaultyFileSystem faulty(*host);
  EXPECT_TRUE(FileExists(faulty, dialogs, dir / "a.txt"));
  EXPECT_EQ(faulty.log, std::vector<std::string>{"length " + (dir / "a.txt")});
}

}  // namespace
}  // namespace dfm
