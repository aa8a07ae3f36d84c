// The pure parts of the PFF format: names, timestamps, directory bounds, placement limits.
#include "pff/pff_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/pff_bytes.h"

namespace dfm {
namespace {

// Names match upper-cased, ASCII letters only, over all 16 bytes, those after a NUL too;
// the text keeps its NULs.
TEST(PffName, ComparedUpperCasedOverAll16BytesAndKeptWithItsNuls) {
  EXPECT_FALSE(PffNamesMatch(MakePffName(std::string("adob1000.pcx\0\0\0y", 16)),
                             MakePffName("adob1000.pcx")));
  EXPECT_FALSE(PffNamesMatch(MakePffName("caf\xc9.pcx"), MakePffName("caf\xe9.pcx")));
  EXPECT_EQ(PffNameText(MakePffName(std::string("a\0b", 3))), std::string("a\0b", 3));
}

TEST(PffTimestamp, SecondsFromTheLocalEveningBefore1970RoundedToTheNearest) {
  EXPECT_EQ(*PffTimestamp({1969, 12, 31, 19, 0, 0, 3, 0}), 0);
  EXPECT_EQ(*PffTimestamp({1969, 12, 31, 18, 59, 59, 3, 0}), -1);
  EXPECT_EQ(*PffTimestamp({2001, 9, 9, 1, 46, 40, 0, 499'999'999}), 1'000'018'000);
  EXPECT_EQ(*PffTimestamp({2001, 9, 9, 1, 46, 40, 0, 500'000'000}), 1'000'018'001);
  EXPECT_EQ(*PffTimestamp({2000, 3, 1, 0, 0, 0, 3, 0}), 951'886'800);  // after a leap day
  EXPECT_EQ(*PffTimestamp({2038, 1, 18, 22, 14, 7, 1, 0}), 2'147'483'647);
  auto late = PffTimestamp({2038, 1, 18, 22, 14, 8, 1, 0});
  ASSERT_FALSE(late);
  EXPECT_EQ(late.failure(), (Failure{err::kOverflow, "Overflow"}));
  EXPECT_FALSE(PffTimestamp({1901, 12, 13, 15, 45, 51, 5, 0}));
}

TEST(PffDirectory, OverflowOfTheDirectoryOffsetChangesNothing) {
  PffDirectory dir(PffHeader{.record_size = 32, .directory_offset = 2'147'483'000});
  const PffDirectory before = dir;
  PffEntry big{.data_size = 616, .name = MakePffName("big.pcx")};  // ends 1 byte past 2 GiB
  EXPECT_EQ(dir.Place(big).failure().code, err::kOverflow);
  EXPECT_EQ(dir.header(), before.header());
  EXPECT_EQ(dir.image(), before.image());
  big.data_size = 615;
  ASSERT_TRUE(dir.Place(big));
  EXPECT_EQ(dir.header().directory_offset, 2'147'483'615);
}

// The directory's name and dead-space indexes must give what walking every record gives:
// a naive model places random adds (some undone) and must agree record for record.
struct NaiveDirectory {
  std::vector<PffEntry> entries;
  std::int32_t directory_offset = 20;

  void Place(const PffEntry& in) {
    auto named = [&](bool live_only) {
      return std::ranges::find_if(entries, [&](const PffEntry& e) {
        return (!live_only || !e.IsDeadSpace()) && PffNamesMatch(e.name, in.name);
      });
    };
    auto kill = [](PffEntry& e) { e.dead_flag = 1, e.name = MakePffName("<DEAD SPACE>"); };
    if (auto first = named(false); first != entries.end()) {
      if (auto live = named(true); first->IsDeadSpace() && live != entries.end()) kill(*live);
      kill(*first);
    }
    auto fit = std::ranges::find_if(
        entries, [&](const PffEntry& e) { return e.IsDeadSpace() && e.data_size >= in.data_size; });
    PffEntry added = in;
    if (fit == entries.end()) {
      added.data_offset = directory_offset;
      directory_offset += in.data_size;
    } else if (fit->data_size == in.data_size) {
      fit->dead_flag = 0, fit->name = in.name, fit->timestamp = in.timestamp;
      return;
    } else {
      fit->data_size -= in.data_size;
      added.data_offset = fit->data_offset + fit->data_size;
    }
    entries.push_back(added);
  }
};

TEST(PffDirectory, IndexedPlacementAgreesWithWalkingEveryRecord) {
  std::mt19937 rng(7);
  const char* const names[] = {"a.pcx", "A.PCX", "b.pcx", "c.3di", "<DEAD SPACE>", "d", "e", "f"};
  PffDirectory dir(PffHeader{.directory_offset = 20});
  NaiveDirectory model;
  for (int step = 0; step < 3000; ++step) {
    const PffEntry in{.data_size = static_cast<std::int32_t>(rng() % 5 == 0 ? 0 : rng() % 300),
                      .timestamp = step,
                      .name = MakePffName(names[rng() % 8])};
    auto placed = dir.Place(in);
    ASSERT_TRUE(placed);
    if (rng() % 4 == 0) {
      dir.Revert(*placed);
    } else {
      model.Place(in);
    }
    ASSERT_EQ(dir.entries(), model.entries) << "step " << step;
    ASSERT_EQ(dir.header().directory_offset, model.directory_offset);
  }
}

}  // namespace
}  // namespace dfm
