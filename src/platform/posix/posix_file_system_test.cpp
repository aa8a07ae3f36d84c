#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host.h"
#include "platform/posix/posix_path.h"
#include "support/scoped_current_directory.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::TempDir;

// Backslashes become slashes and each existing name is found in any letter case: the
// exact name first, else the byte-wise smallest spelling, whatever the folder's order;
// missing names, "." and ".." steps and doubled separators keep their spelling; relative
// paths start at the current directory.
TEST(PosixPath, ResolvesEachNameToAnExistingSpelling) {
  TempDir dir;
  for (const char* file : {"Textures/Old.PCX", "a.txt", "A.txt", "b.TXT", "B.txt", "b.Txt",
                           "Data/x", "Maps/Desert/m.bms"})
    dir.Write(file, "");
  const std::pair<std::string, std::string> cases[] = {
      {"textures\\old.pcx", "Textures/Old.PCX"},
      {"TEXTURES/OLD.pcx", "Textures/Old.PCX"},
      {"A.txt", "A.txt"},
      {"a.txt", "a.txt"},
      {"b.txt", "B.txt"},
      {"B.TXT", "B.txt"},
      {"data\\New\\File.TXT", "Data/New/File.TXT"},
      {"maps\\desert\\", "Maps/Desert/"},
      {"MAPS\\.\\DESERT\\..\\desert\\M.BMS", "Maps/./Desert/../Desert/m.bms"},
      {"maps\\\\M", "Maps//M"},
  };
  for (const auto& [path, resolved] : cases)
    EXPECT_EQ(posix::ResolvePath(dir.str() + path), dir.str() + resolved) << path;
  testing::ScopedCurrentDirectory cd(dir.path());
  EXPECT_EQ(posix::ResolvePath("textures\\old.pcx"), "Textures/Old.PCX");
  EXPECT_EQ(posix::ResolvePath("TEXTURES"), "Textures");
  EXPECT_EQ(posix::ResolvePath("new.pcx"), "new.pcx");
}

TEST(PosixFileSystem, EveryOperationFindsNamesInAnyLetterCase) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("Data/ReadMe.txt", "hello");
  dir.Write("Data/Old.TXT", "0123");
  dir.Write("a.txt", "lower");
  dir.Write("A.txt", "UPPER!");
  const std::string base = dir.str();

  auto bytes = ReadWholeFile(*fs, base + "DATA\\readme.TXT");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "hello");
  EXPECT_EQ(*fs->FileLength(base + "data\\README.txt"), 5u);
  EXPECT_TRUE(*fs->IsDirectory(base + "DATA"));
  // Exact names win; without one, the lookup's choice.
  EXPECT_EQ(*fs->FileLength(dir / "a.txt"), 5u);
  EXPECT_EQ(*fs->FileLength(dir / "A.txt"), 6u);
  ASSERT_TRUE(fs->SetModifiedTime(dir / "A.txt", LocalDateTime{2001, 2, 3, 4, 5, 6}));
  auto stat = fs->Stat(dir.str() + "A.TXT");
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->length, 6u);
  auto time = fs->ModifiedTime(dir.str() + "A.TXT");
  ASSERT_TRUE(time);
  for (const LocalDateTime& t : {stat->modified, *time})
    EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}),
              (std::vector<int>{2001, 2, 3, 4, 5, 6}));

  // A new file in an existing folder spelled differently lands in that folder, with the
  // new file's name as written; writing modes open a file of another spelling instead of
  // making one, and writing at offsets never truncates.
  ASSERT_TRUE(WriteWholeFile(*fs, base + "data\\New.TXT", Bytes{'n'}));
  ASSERT_TRUE(fs->CopyFile(base + "DATA\\README.TXT", base + "data\\Copy.txt"));
  ASSERT_TRUE(fs->Rename(base + "data\\copy.TXT", base + "DATA\\Moved.txt"));
  ASSERT_TRUE(fs->CopyFile(base + "DATA\\README.TXT", base + "data\\Gone.txt"));
  ASSERT_TRUE(fs->RemoveFile(base + "data\\GONE.TXT"));
  for (OpenMode mode : {OpenMode::kReadWrite, OpenMode::kAppend, OpenMode::kCreateFresh}) {
    auto file = fs->Open(base + "Data\\old.txt", mode);
    ASSERT_TRUE(file);
    ASSERT_TRUE((*file)->WriteAt(2, "ab", 2));
    ASSERT_TRUE((*file)->Close());
  }
  auto file = fs->Open(base + "DATA\\README.txt", OpenMode::kReadWrite);
  ASSERT_TRUE(file && (*file)->WriteAt(2, "LL", 2) && (*file)->WriteAt(7, "Z", 1));
  ASSERT_TRUE((*file)->Close());
  EXPECT_EQ(dir.Tree(), (std::map<std::string, std::string>{
                            {"A.txt", "UPPER!"},
                            {"Data/", ""},
                            {"Data/Moved.txt", "hello"},
                            {"Data/New.TXT", "n"},
                            {"Data/Old.TXT", std::string("\0\0ab", 4)},
                            {"Data/ReadMe.txt", std::string("heLLo\0\0Z", 8)},
                            {"a.txt", "lower"},
                        }));
}

TEST(PosixFileSystem, FailuresGiveTheirCodesAndMessages) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("Sub/x", "");
  dir.Write("f.bin", "abc");
  dir.Write("b", "2");
  const std::string folder = dir.str() + "sub";
  EXPECT_EQ(
      fs->Open(folder, OpenMode::kRead).failure(),
      (Failure{err::kPathFileAccessError, "Path/File access error: " + folder + " is a folder"}));
  EXPECT_EQ(fs->Open(folder, OpenMode::kReadWrite).failure(),
            (Failure{err::kPathFileAccessError,
                     "Path/File access error: " + folder + " (Is a directory)"}));
  EXPECT_EQ(fs->Stat(folder).failure(), (Failure{err::kFileNotFound, "File not found: " + folder}));

  const std::string missing = dir.str() + "SUB\\none.bin";
  const Failure none{err::kFileNotFound,
                     "File not found: " + missing + " (No such file or directory)"};
  EXPECT_EQ(fs->Stat(missing).failure(), none);
  EXPECT_EQ(fs->FileLength(missing).failure(), none);
  EXPECT_EQ(fs->Open(missing, OpenMode::kRead).failure(), none);
  EXPECT_EQ(fs->Open(missing, OpenMode::kUpdate).failure().code, err::kFileNotFound);
  EXPECT_FALSE(*fs->IsDirectory(missing));

  auto file = fs->Open(dir / "f.bin", OpenMode::kRead);
  ASSERT_TRUE(file);
  char buf[4];
  EXPECT_EQ((*file)->ReadAt(1, buf, 3).failure().code, err::kInputPastEndOfFile);
  EXPECT_EQ(fs->Rename(dir / "f.bin", dir / "b").failure().code, err::kFileAlreadyExists);
  // Nothing was made or changed.
  EXPECT_EQ(dir.Tree(), (std::map<std::string, std::string>{
                            {"Sub/", ""}, {"Sub/x", ""}, {"b", "2"}, {"f.bin", "abc"}}));
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
