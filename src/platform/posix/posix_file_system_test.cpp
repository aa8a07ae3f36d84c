#include <gtest/gtest.h>

#include "platform/host.h"
#include "platform/posix/posix_path.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::TempDir;

TEST(PosixPath, BackslashesBecomeSlashesAndCaseIsFound) {
  TempDir dir;
  dir.Write("Textures/Old.PCX", "x");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "textures\\old.pcx"), dir.str() + "Textures/Old.PCX");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "TEXTURES/OLD.pcx"), dir.str() + "Textures/Old.PCX");
}

TEST(PosixPath, ExactNameWinsOverOtherSpellings) {
  TempDir dir;
  dir.Write("a.txt", "lower");
  dir.Write("A.txt", "upper");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "A.txt"), dir.str() + "A.txt");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "a.txt"), dir.str() + "a.txt");
}

TEST(PosixPath, MissingComponentsKeepTheirSpelling) {
  TempDir dir;
  dir.Write("Data/x", "");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "data\\New\\File.TXT"), dir.str() + "Data/New/File.TXT");
}

TEST(PosixFileSystem, ReadWriteAtOffsetsNeverTruncates) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("f.bin", "0123456789");
  auto file = fs->Open(dir / "F.BIN", OpenMode::kReadWrite);
  ASSERT_TRUE(file);
  ASSERT_TRUE((*file)->WriteAt(2, "ab", 2));
  ASSERT_TRUE((*file)->WriteAt(12, "Z", 1));
  ASSERT_TRUE((*file)->Close());
  EXPECT_EQ(dir.Read("f.bin"), std::string("01ab456789\0\0Z", 13));
}

TEST(PosixFileSystem, ReadPastEndAndMissingFilesFailWithTheirCodes) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("f.bin", "abc");
  auto file = fs->Open(dir / "f.bin", OpenMode::kRead);
  ASSERT_TRUE(file);
  char buf[4];
  auto st = (*file)->ReadAt(1, buf, 3);
  ASSERT_FALSE(st);
  EXPECT_EQ(st.failure().code, err::kInputPastEndOfFile);
  auto len = fs->FileLength(dir / "missing.bin");
  ASSERT_FALSE(len);
  EXPECT_EQ(len.failure().code, err::kFileNotFound);
}

TEST(PosixFileSystem, RenameRefusesExistingTarget) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("a", "1");
  dir.Write("b", "2");
  auto st = fs->Rename(dir / "a", dir / "b");
  ASSERT_FALSE(st);
  EXPECT_EQ(st.failure().code, err::kFileAlreadyExists);
  EXPECT_EQ(dir.Read("b"), "2");
}

}  // namespace
}  // namespace dfm
