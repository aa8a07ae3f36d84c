#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "platform/host.h"
#include "platform/win32/win32_time.h"
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

// A file's local time follows the rules its year had: New York's daylight saving time
// began on the first Sunday of April and ended on the last Sunday of October until 2006.
TEST(Win32FileSystem, LocalTimesFollowTheRulesOfTheirYear) {
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  zone.Bias = 300;
  zone.DaylightBias = -60;
  zone.StandardDate = {0, 11, 0, 1, 2, 0, 0, 0};  // today's rules: first Sunday of November
  zone.DaylightDate = {0, 3, 0, 2, 2, 0, 0, 0};   // to the second Sunday of March
  const wchar_t key[] = L"Eastern Standard Time";
  std::copy(std::begin(key), std::end(key), zone.TimeZoneKeyName);
  const struct {
    std::int64_t utc;  // noon UTC
    int day, month, year, hour;
  } rows[] = {
      {923054400, 2, 4, 1999, 7},
      {1112443200, 2, 4, 2005, 7},
      {1130760000, 31, 10, 2005, 7},
      {1617364800, 2, 4, 2021, 8},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.utc);
    const auto ticks = static_cast<std::uint64_t>(row.utc + 11644473600) * 10000000u;
    const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const LocalDateTime local = win32::ToLocal(ft, &zone);
    EXPECT_EQ((std::vector<int>{local.day, local.month, local.year, local.hour, local.minute}),
              (std::vector<int>{row.day, row.month, row.year, row.hour, 0}));
    FILETIME back{};
    ASSERT_TRUE(win32::ToFileTime(local, back, &zone));
    EXPECT_EQ(back.dwLowDateTime, ft.dwLowDateTime);
    EXPECT_EQ(back.dwHighDateTime, ft.dwHighDateTime);
  }
}

}  // namespace
}  // namespace dfm
