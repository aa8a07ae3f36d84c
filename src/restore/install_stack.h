// The installs that touched one thing form a stack, oldest at the bottom: what the game
// shows is what the top one left. The things an install changes (its items), and, over
// the restore points of a store, which later installs lie above an install.
#pragma once

#include <compare>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "platform/file_system.h"
#include "restore/journal.h"

namespace dfm {

struct RestorePointInfo;

// One thing an install changes: a loose file of a game folder (its folded path), or one
// entry of an archive (the archive's folded path and the entry's 16 name bytes
// upper-cased and NUL-padded, as the archive matches names).
struct ItemKey {
  std::string path;
  std::string entry;  // empty for a loose file
  auto operator<=>(const ItemKey&) const = default;
  bool is_entry() const { return !entry.empty(); }
};
ItemKey FileItem(std::string_view path);
ItemKey EntryItem(std::string_view archive, std::string_view name);

// The items a journal records: each archive entry added or replaced, and each file
// touched (both names of a move) except the archives it added entries to and the files
// absent both before and after the install.
std::set<ItemKey> ItemsOf(const std::vector<JournalRecord>& records);

// "3 entries", "1 file", "2 files, 1 entry".
std::string CountText(const std::vector<ItemKey>& items);

// Complete or interrupted (even partly undone), and trusted: what the game may still show.
bool IsLive(const RestorePointInfo& point);

// A later live install over some of an install's items.
struct Cover {
  std::string id, mod;
  std::vector<ItemKey> items;
};
// Over `points` newest first (RestoreStore::List): the later live installs that touched
// some of the items of `id`, nearest first. Empty when there is no point `id`.
std::vector<Cover> CoveredBy(const std::vector<RestorePointInfo>& points, const std::string& id);
// The nearest later live install that touched `item` (the one directly above `id` in the
// item's stack), or nullptr when `id` is the top for it.
const RestorePointInfo* Above(const std::vector<RestorePointInfo>& points, const std::string& id,
                              const ItemKey& item);
// The live installs that touched some of `items`, nearest first: those an install of
// `items` would cover.
std::vector<Cover> Covering(const std::vector<RestorePointInfo>& points,
                            const std::set<ItemKey>& items);

// Restore points are ordered by a sequence number in their begin record, one more than
// the highest in the store when they begin; journals written before it have none (0).
std::uint64_t SequenceOf(const JournalRecord& begin);
// The sequence number of the journal at `path`, read from its first record alone (0 when
// it has none or cannot be read).
std::uint64_t ReadSequence(FileSystem& fs, const std::string& path);
// One more than the highest sequence number of the restore points in `store`.
Result<std::uint64_t> NextSequence(FileSystem& fs, const std::string& store);

}  // namespace dfm
