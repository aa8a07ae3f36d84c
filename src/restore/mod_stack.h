// Undoing an install that is not the newest: its items (a loose file, or one entry of an
// archive) taken one by one. See mod_stack.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "base/local_time.h"
#include "base/result.h"
#include "pff/pff_archive.h"
#include "platform/file_system.h"
#include "restore/journal.h"

namespace dfm {

inline constexpr char kItemUndoName[] = "undo.bin";

// The key of an archive entry: its 16 name bytes upper-cased, as names match.
std::string EntryKey(const PffName& name);
// The fingerprint of an entry's data kept in its after record.
std::string EntryDigest(const Bytes& data);

// A live install other than the one being undone: the later ones nearest first, then
// the earlier ones.
struct LaterPoint {
  std::string id;
  bool later = true;
  std::string folder;
  std::vector<JournalRecord> records;
  std::uint64_t valid_bytes = 0;  // of its journal
};

// What the item-level part of one undo did.
struct ItemOutcome {
  std::set<std::string> paths;  // folded paths taken item by item: kept out of the replay
  std::vector<std::string> changed, failures;
  std::size_t left = 0;  // items not put back
  // The length of X's journal after the records this undo added to it (0: none added).
  std::uint64_t journal_bytes = 0;
};

// Undoes, item by item, the paths of install `id` (in `folder`) that a later live
// install touched, that an earlier undo re-based, or (archives) that no longer match what
// the install left; `begun` are the paths an earlier pass started replaying, which stay
// with the replay. The writes go through a journal of their own (kItemUndoName); the
// later installs' before records are re-based after its end mark. Run again after a
// stop anywhere, it finishes what the first run committed.
Result<ItemOutcome> UndoItems(FileSystem& fs, const std::string& folder, const std::string& id,
                              const std::vector<JournalRecord>& records,
                              const std::vector<LaterPoint>& later,
                              const std::set<std::string>& begun, bool force,
                              const LocalDateTime& now);

// Rolls back the item-level writes of an undo that stopped before its end mark, and
// forgets them: the folder is as before the undo. Nothing to do without such a journal.
// Returns whether an undo had committed (its end mark is there).
Result<bool> RollBackItemUndo(FileSystem& fs, const std::string& folder);

}  // namespace dfm
