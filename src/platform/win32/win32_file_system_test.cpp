#include <gtest/gtest.h>

#include "platform/host.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

using testing::TempDir;

template <class R>
int CodeOf(const R& r) {
  return r.ok() ? 0 : r.failure().code;
}

// The Windows host's answers where the system's calls differ most from POSIX: writes
// at offsets that must not truncate, appends, and the error numbers of refused calls.
TEST(Win32FileSystem, WritesReadsAndFailuresAsThePosixHostGivesThem) {
  TempDir dir;
  auto fs = MakeHostFileSystem();
  const std::string f = dir / "f.bin";
  ASSERT_TRUE(WriteWholeFile(*fs, f, Bytes{'a', 'b', 'c', 'd'}));
  {
    auto file = fs->Open(f, OpenMode::kUpdate);
    ASSERT_TRUE(file);
    ASSERT_TRUE((*file)->WriteAt(1, "X", 1));
    ASSERT_TRUE((*file)->WriteAt(6, "Z", 1));
    char tail[2] = {};
    EXPECT_EQ((*file)->ReadAt(6, tail, 2).failure().code, err::kInputPastEndOfFile);
  }
  auto append = fs->Open(f, OpenMode::kAppend);
  ASSERT_TRUE(append && (*append)->WriteAt(0, "!", 1) && (*append)->Close());
  EXPECT_EQ(dir.Read("f.bin"), std::string("aXcd\0\0Z!", 8));
  EXPECT_EQ(*fs->FileLength(f), 8u);

  dir.Write("g.bin", "g");
  const std::string folder = dir.path().string();
  const std::pair<int, int> codes[] = {
      {CodeOf(fs->Rename(f, dir / "g.bin")), err::kFileAlreadyExists},
      {CodeOf(fs->Rename(dir / "none", dir / "h.bin")), err::kFileNotFound},
      {CodeOf(fs->RemoveFile(dir / "none\\x.bin")), err::kFileNotFound},
      {CodeOf(fs->Open(folder, OpenMode::kRead)), err::kPathFileAccessError},
      {CodeOf(fs->FileLength(folder)), err::kFileNotFound},
      {CodeOf(fs->MakeDirectory(folder)), err::kFileAlreadyExists},
  };
  for (const auto& [actual, expected] : codes) EXPECT_EQ(actual, expected);
  EXPECT_EQ(fs->Rename(dir / "g.bin", dir / "h.bin").ok(), true);
  EXPECT_EQ(*fs->IsDirectory(dir / "none"), false);
}

}  // namespace
}  // namespace dfm
