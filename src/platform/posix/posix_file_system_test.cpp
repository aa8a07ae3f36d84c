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

TEST(PosixFileSystem, WritingModesOpenAFileOfAnotherSpellingInsteadOfMakingOne) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("Data/Old.TXT", "0123");
  const std::string other = dir.str() + "Data\\old.txt";
  for (OpenMode mode : {OpenMode::kReadWrite, OpenMode::kAppend, OpenMode::kCreateFresh}) {
    auto file = fs->Open(other, mode);
    ASSERT_TRUE(file);
    ASSERT_TRUE((*file)->WriteAt(2, "ab", 2));
    ASSERT_TRUE((*file)->Close());
  }
  EXPECT_EQ(dir.Read("Data/Old.TXT"), std::string("\0\0ab", 4));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "Data"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(PosixFileSystem, ExactNamesWinAndStatGivesLengthAndTimeOfEither) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("a.txt", "lower");
  dir.Write("A.txt", "UPPER!");
  auto upper = ReadWholeFile(*fs, dir / "A.txt");
  ASSERT_TRUE(upper);
  EXPECT_EQ(std::string(upper->begin(), upper->end()), "UPPER!");
  EXPECT_EQ(*fs->FileLength(dir / "a.txt"), 5u);

  LocalDateTime when{2001, 2, 3, 4, 5, 6};
  ASSERT_TRUE(fs->SetModifiedTime(dir / "A.txt", when));
  auto stat = fs->Stat(dir.str() + "A.TXT");  // no exact name: the lookup's choice
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->length, 6u);
  EXPECT_EQ(stat->modified.year, 2001);
  EXPECT_EQ(stat->modified.second, 6);
  auto time = fs->ModifiedTime(dir.str() + "A.TXT");
  ASSERT_TRUE(time);
  EXPECT_EQ(time->day, 3);
  EXPECT_EQ(time->minute, 5);
}

TEST(PosixFileSystem, FoldersAndMissingFilesFailWithTheirMessages) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("Sub/x", "");
  const std::string folder = dir.str() + "sub";
  auto read = fs->Open(folder, OpenMode::kRead);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.failure(), (Failure{err::kPathFileAccessError,
                                     "Path/File access error: " + folder + " is a folder"}));
  auto write = fs->Open(folder, OpenMode::kReadWrite);
  ASSERT_FALSE(write);
  EXPECT_EQ(write.failure(), (Failure{err::kPathFileAccessError,
                                      "Path/File access error: " + folder + " (Is a directory)"}));
  auto stat = fs->Stat(folder);
  ASSERT_FALSE(stat);
  EXPECT_EQ(stat.failure(), (Failure{err::kFileNotFound, "File not found: " + folder}));

  const std::string missing = dir.str() + "SUB\\none.bin";
  auto none = fs->Stat(missing);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.failure(), (Failure{err::kFileNotFound, "File not found: " + missing +
                                                             " (No such file or directory)"}));
  EXPECT_EQ(fs->FileLength(missing).failure(), none.failure());
  EXPECT_EQ(fs->Open(missing, OpenMode::kRead).failure(), none.failure());
  EXPECT_FALSE(*fs->IsDirectory(missing));
  EXPECT_FALSE(dir.Exists("Sub/none.bin"));
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
  auto update = fs->Open(dir / "missing.bin", OpenMode::kUpdate);  // never creates
  ASSERT_FALSE(update);
  EXPECT_EQ(update.failure().code, err::kFileNotFound);
  EXPECT_FALSE(dir.Exists("missing.bin"));
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

// Paths the system must never see: a NUL byte would cut the name short, and two leading
// separators (a network path on Windows) would reach the root folder here.
TEST(PosixFileSystem, NetworkPathsAndNulBytesAreRefusedByEveryOperation) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("a.txt", "a");
  const std::string real = dir / "a.txt";
  const std::string network = " is a network path, not reachable here";
  const std::pair<std::string, std::string> cases[] = {
      {"\\\\server\\share\\x", "\\\\server\\share\\x" + network},
      {"//x", "//x" + network},
      {"\\/x", "\\/x" + network},
      {"/\\x", "/\\x" + network},
      {real + std::string(1, '\0') + "x", real + "<NUL>x holds a NUL byte"},
  };
  for (const auto& [path, text] : cases) {
    const Failure bad{err::kBadFileName, "Bad file name or number: " + text};
    EXPECT_EQ(fs->Open(path, OpenMode::kRead).failure(), bad);
    EXPECT_EQ(fs->Open(path, OpenMode::kCreateFresh).failure(), bad);
    EXPECT_EQ(fs->FileLength(path).failure(), bad);
    EXPECT_EQ(fs->CopyFile(real, path).failure(), bad);
    EXPECT_EQ(fs->CopyFile(path, real).failure(), bad);
    EXPECT_EQ(fs->Rename(real, path).failure(), bad);
    EXPECT_EQ(fs->RemoveFile(path).failure(), bad);
  }
  EXPECT_EQ(dir.Read("a.txt"), "a");
  // One leading separator keeps its meaning: the root folder.
  EXPECT_TRUE(*fs->IsDirectory("\\tmp"));
}

}  // namespace
}  // namespace dfm
