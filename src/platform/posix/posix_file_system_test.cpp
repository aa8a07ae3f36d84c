#include <gtest/gtest.h>

#include <filesystem>

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

TEST(PosixPath, SeveralSpellingsResolveToTheSameOneEveryTime) {
  TempDir dir;
  dir.Write("b.TXT", "1");
  dir.Write("B.txt", "2");
  dir.Write("b.Txt", "3");
  // No exact match: the byte-wise smallest spelling, whatever the folder's order.
  EXPECT_EQ(posix::ResolvePath(dir.str() + "b.txt"), dir.str() + "B.txt");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "B.TXT"), dir.str() + "B.txt");
}

TEST(PosixPath, FoldersTrailingSeparatorsAndDotComponents) {
  TempDir dir;
  dir.Write("Maps/Desert/m.bms", "");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "maps\\desert\\"), dir.str() + "Maps/Desert/");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "MAPS\\.\\DESERT\\..\\desert\\M.BMS"),
            dir.str() + "Maps/./Desert/../Desert/m.bms");
  EXPECT_EQ(posix::ResolvePath(dir.str() + "maps\\\\M"), dir.str() + "Maps//M");
}

// Runs a test body with the current directory set to `dir`, restoring it afterwards.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::filesystem::path& dir)
      : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCurrentDirectory() { std::filesystem::current_path(saved_); }
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::filesystem::path saved_;
};

TEST(PosixPath, RelativePathsResolveAgainstTheCurrentDirectory) {
  TempDir dir;
  dir.Write("Textures/Old.PCX", "x");
  ScopedCurrentDirectory cd(dir.path());
  EXPECT_EQ(posix::ResolvePath("textures\\old.pcx"), "Textures/Old.PCX");
  EXPECT_EQ(posix::ResolvePath("TEXTURES"), "Textures");
  EXPECT_EQ(posix::ResolvePath("new.pcx"), "new.pcx");
}

TEST(PosixFileSystem, EveryOperationFindsNamesInAnyLetterCase) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("Data/ReadMe.txt", "hello");
  const std::string base = dir.str();

  auto bytes = ReadWholeFile(*fs, base + "DATA\\readme.TXT");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "hello");
  EXPECT_EQ(*fs->FileLength(base + "data\\README.txt"), 5u);
  EXPECT_TRUE(*fs->IsDirectory(base + "DATA"));

  // A new file in an existing folder spelled differently lands in that folder, with
  // the new file's name as written.
  ASSERT_TRUE(WriteWholeFile(*fs, base + "data\\New.TXT", Bytes{'n'}));
  EXPECT_EQ(dir.Read("Data/New.TXT"), "n");
  ASSERT_TRUE(fs->CopyFile(base + "DATA\\README.TXT", base + "data\\Copy.txt"));
  EXPECT_EQ(dir.Read("Data/Copy.txt"), "hello");
  ASSERT_TRUE(fs->Rename(base + "data\\copy.TXT", base + "DATA\\Moved.txt"));
  EXPECT_EQ(dir.Read("Data/Moved.txt"), "hello");
  ASSERT_TRUE(fs->RemoveFile(base + "data\\MOVED.TXT"));
  EXPECT_FALSE(dir.Exists("Data/Moved.txt"));
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
