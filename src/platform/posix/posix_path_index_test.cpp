#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/host.h"
#include "platform/posix/posix_path.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::TempDir;

// Files created one after another in a folder keep being found in any letter case, and
// names that another program adds later are found too.
TEST(PosixPathIndex, FollowsOwnCreationsAndOtherProgramsChanges) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  for (int i = 0; i < 20; ++i) {
    auto f = fs->Open(dir / ("File" + std::to_string(i) + ".TXT"), OpenMode::kCreateFresh);
    ASSERT_TRUE(f);
  }
  for (int i = 0; i < 20; ++i) {
    std::string name = "file" + std::to_string(i) + ".txt";
    EXPECT_EQ(posix::ResolvePath(dir / name), dir / ("File" + std::to_string(i) + ".TXT"));
  }
  ASSERT_TRUE(fs->RemoveFile(dir / "file3.txt"));
  ASSERT_TRUE(fs->Open(dir / "FILE3.txt", OpenMode::kCreateFresh));
  EXPECT_EQ(posix::ResolvePath(dir / "file3.TXT"), dir / "FILE3.txt");
  EXPECT_EQ(posix::ResolvePath(dir / "file4.txt"), dir / "File4.TXT");
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // past the folder's clock tick
  dir.Write("Other.Pcx", "x");
  EXPECT_EQ(posix::ResolvePath(dir / "OTHER.PCX"), dir / "Other.Pcx");
  ASSERT_TRUE(fs->RemoveFile(dir / "other.pcx"));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  dir.Write("other.PCX", "y");
  EXPECT_EQ(posix::ResolvePath(dir / "OTHER.PCX"), dir / "other.PCX");
}

}  // namespace
}  // namespace dfm
