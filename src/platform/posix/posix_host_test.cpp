// The POSIX host: names in any letter case, file operations and failures, Wine prefixes,
// dates as the locale writes them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "common/host_registry.h"
#include "platform/host.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_path.h"
#include "platform/posix/wine_prefix.h"
#include "registry/tree_registry.h"
#include "shell/game_folders.h"
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

// Failures first (they make and change nothing), then every operation on names spelled in
// any letter case.
TEST(PosixFileSystem, FailuresGiveTheirCodesAndMessagesAndEveryOperationFindsNamesInAnyCase) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  dir.Write("Data/ReadMe.txt", "hello");
  dir.Write("Data/Old.TXT", "0123");
  dir.Write("a.txt", "lower");
  dir.Write("A.txt", "UPPER!");
  dir.Write("Sub/x", "");
  dir.Write("f.bin", "abc");
  dir.Write("b", "2");
  const std::string base = dir.str();
  const std::string folder = base + "sub";
  EXPECT_EQ(
      fs->Open(folder, OpenMode::kRead).failure(),
      (Failure{err::kPathFileAccessError, "Path/File access error: " + folder + " is a folder"}));
  EXPECT_EQ(fs->Open(folder, OpenMode::kReadWrite).failure(),
            (Failure{err::kPathFileAccessError,
                     "Path/File access error: " + folder + " (Is a directory)"}));
  EXPECT_EQ(fs->Stat(folder).failure(), (Failure{err::kFileNotFound, "File not found: " + folder}));
  // A pipe under a file's name is refused at once, never waited on.
  const std::string pipe = base + "libraryfolders.vdf";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  for (OpenMode mode : {OpenMode::kRead, OpenMode::kUpdate})
    EXPECT_EQ(
        fs->Open(pipe, mode).failure(),
        (Failure{err::kPathFileAccessError, "Path/File access error: " + pipe + " is not a file"}));
  ASSERT_EQ(::unlink(pipe.c_str()), 0);

  const std::string missing = base + "SUB\\none.bin";
  const Failure none{err::kFileNotFound,
                     "File not found: " + missing + " (No such file or directory)"};
  EXPECT_EQ(fs->Stat(missing).failure(), none);
  EXPECT_EQ(fs->FileLength(missing).failure(), none);
  EXPECT_EQ(fs->Open(missing, OpenMode::kRead).failure(), none);
  EXPECT_EQ(fs->Open(missing, OpenMode::kUpdate).failure().code, err::kFileNotFound);
  EXPECT_FALSE(*fs->IsDirectory(missing));

  auto read = fs->Open(dir / "f.bin", OpenMode::kRead);
  ASSERT_TRUE(read);
  char buf[4];
  EXPECT_EQ((*read)->ReadAt(1, buf, 3).failure().code, err::kInputPastEndOfFile);
  EXPECT_EQ(fs->Rename(dir / "f.bin", dir / "b").failure().code, err::kFileAlreadyExists);

  // Paths the system must never see: a NUL byte would cut the name short, and two leading
  // separators (a network path on Windows) would reach the root folder here.
  const std::string real = dir / "b";
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
  // One leading separator keeps its meaning: the root folder.
  EXPECT_TRUE(*fs->IsDirectory("\\tmp"));

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
                            {"Sub/", ""},
                            {"Sub/x", ""},
                            {"b", "2"},
                            {"f.bin", "abc"},
                            {"Data/Moved.txt", "hello"},
                            {"Data/New.TXT", "n"},
                            {"Data/Old.TXT", std::string("\0\0ab", 4)},
                            {"Data/ReadMe.txt", std::string("heLLo\0\0Z", 8)},
                            {"a.txt", "lower"},
                        }));
}

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

// A prefix with drive C: (a relative link, as Wine makes it) and Z: for the root: drive
// paths map through the links; the host registry is $WINEPREFIX's (else ~/.wine's).
TEST(WinePrefix, DrivePathsMapThroughTheDriveLinksAndTheHostRegistryIsThePrefixs) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "drive_c" / "games" / "dflw");
  std::filesystem::create_directories(dir.path() / "dosdevices");
  std::filesystem::create_directory_symlink("../drive_c", dir.path() / "dosdevices" / "c:");
  std::filesystem::create_directory_symlink("/", dir.path() / "dosdevices" / "z:");
  dir.Write("system.reg",
            "WINE REGISTRY Version 2\n#arch=win64\n\n"
            "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
            "Paths\\\\dflw.exe] 1700000000\n\"Path\"=\"C:\\\\Games\\\\DFLW\"\n");
  const std::string prefix = dir.path().string();
  EXPECT_EQ(posix::MapWinePath("C:\\Games\\DFLW", prefix), prefix + "/drive_c/games/dflw");
  EXPECT_EQ(posix::MapWinePath("c:\\games\\dflw\\", prefix), prefix + "/drive_c/games/dflw/");
  EXPECT_EQ(posix::MapWinePath("C:\\", prefix), prefix + "/drive_c/");
  EXPECT_EQ(posix::MapWinePath("C:", prefix), prefix + "/drive_c");
  EXPECT_EQ(posix::MapWinePath("Z:\\usr\\bin", prefix), "/usr/bin");
  EXPECT_EQ(posix::MapWinePath("Z:\\", prefix), "/");
  EXPECT_EQ(posix::MapWinePath("D:\\Games", prefix), "D:\\Games");  // no such drive
  EXPECT_EQ(posix::MapWinePath("Nothing", prefix), "Nothing");
  EXPECT_EQ(posix::MapWinePath("", prefix), "");

  const char* old = std::getenv("WINEPREFIX");
  std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("WINEPREFIX", prefix.c_str(), 1);
  EXPECT_EQ(posix::WinePrefix(), prefix);
  auto registry = cli::HostRegistry();
  GameFolders folders = FindGameFolders(*registry, HostFolderFromRegistry);
  EXPECT_EQ(folders[3], prefix + "/drive_c/games/dflw");
  EXPECT_EQ(folders[1], "Nothing");
  ::setenv("WINEPREFIX", "", 1);
  if (const char* home = std::getenv("HOME")) {
    EXPECT_EQ(posix::WinePrefix(), std::string(home) + "/.wine");
  }
  saved ? ::setenv("WINEPREFIX", saved->c_str(), 1) : ::unsetenv("WINEPREFIX");
  auto empty = ReadPrefixRegistry(*MakeHostFileSystem(), prefix + "/missing");
  RegKey key = 0;
  EXPECT_EQ(empty->OpenKey(reg::kLocalMachine, "Software", key), reg::kFileNotFound);
}

// The locale's date order, a 4-digit year and its 12/24-hour clock.
TEST(PosixClock, DatesFollowTheLocalesOrderAndClock) {
  const struct {
    const char *date, *time, *pattern;
  } rows[] = {
      {"%m/%d/%y", "%H:%M:%S", "%m/%d/%Y, %H:%M"},   // C
      {"%m/%d/%Y", "%r", "%m/%d/%Y, %I:%M %p"},      // en_US
      {"%d.%m.%Y", "%T", "%d.%m.%Y, %H:%M"},         // de_DE
      {"%D", "%l:%M:%S %p", "%m/%d/%Y, %I:%M %p"},   // %D is %m/%d/%y
      {"%Ey %e%%%Od", "%OH", "%Ey %e%%%Od, %H:%M"},  // modifiers and %% stay
      {"", "", "%Y-%m-%d, %H:%M"},
  };
  for (const auto& r : rows) EXPECT_EQ(posix::DateTimePattern(r.date, r.time), r.pattern) << r.date;
  const LocalDateTime t{2026, 12, 6, 15, 45, 7, 0, 0};
  EXPECT_EQ(posix::MakeClock("C")->DateTimeText(t), "12/06/2026, 15:45");
}

// Requests of 1 MiB and more are mapped on their own at a large page's boundary, the rest
// come from the heap; every byte of each can be written, and each goes back whole (a
// mapping trimmed wrongly faults here or in the next request).
TEST(HostMemoryResource, LargeRequestsStartAtALargePage) {
  std::pmr::memory_resource* memory = HostMemoryResource();
  for (std::size_t size :
       {std::size_t{100}, std::size_t{1} << 20, (std::size_t{3} << 20) + 5, std::size_t{2} << 20}) {
    auto* p = static_cast<unsigned char*>(memory->allocate(size));
    if (size >= std::size_t{1} << 20) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % (std::size_t{2} << 20), 0u) << size;
    }
    std::memset(p, 0xA5, size);
    EXPECT_EQ(p[0] + p[size - 1], 2 * 0xA5);
    memory->deallocate(p, size);
  }
}

}  // namespace
}  // namespace dfm
