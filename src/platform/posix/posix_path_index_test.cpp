#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/host.h"
#include "platform/posix/posix_path.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::TempDir;

// Files created one after another in a folder keep being found in any letter case, with
// and without a batch (which trusts the listing), and names that another program adds
// later are found too.
TEST(PosixPathIndex, FollowsOwnCreationsAndOtherProgramsChanges) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  ASSERT_TRUE(fs->MakeDirectory(dir / "b"));
  for (const std::string sub : {"", "b/"}) {
    auto at = [&](const std::string& name) { return dir / (sub + name); };
    auto batch = sub.empty() ? nullptr : fs->BeginBatch();
    for (int i = 0; i < 20; ++i) {
      auto f = fs->Open(at("File" + std::to_string(i) + ".TXT"), OpenMode::kCreateFresh);
      ASSERT_TRUE(f);
      ASSERT_TRUE((*f)->SetModifiedTime(LocalDateTime{2001, 2, 3, 4, 5, i}));
    }
    for (int i = 0; i < 20; ++i) {
      const std::string name = at("file" + std::to_string(i) + ".txt");
      EXPECT_EQ(posix::ResolvePath(name), at("File" + std::to_string(i) + ".TXT"));
      EXPECT_EQ(fs->ModifiedTime(name)->second, i);
    }
    ASSERT_TRUE(fs->RemoveFile(at("file3.txt")));
    ASSERT_TRUE(fs->Open(at("FILE3.txt"), OpenMode::kCreateFresh));
    ASSERT_TRUE(fs->MakeDirectory(at("Sub")));
    EXPECT_EQ(posix::ResolvePath(at("file3.TXT")), at("FILE3.txt"));
    EXPECT_EQ(posix::ResolvePath(at("file4.txt")), at("File4.TXT"));
    EXPECT_EQ(posix::ResolvePath(at("SUB")), at("Sub"));
  }
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
