// The stack of one item as an undo taken item by item sees it: each install's before
// of the items it touched, read from its journal. See mod_stack.cpp.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "platform/file_system.h"
#include "restore/journal.h"
#include "restore/mod_stack.h"

namespace dfm::items {

using Item = std::pair<std::string, std::string>;  // folded path, entry key ("": loose)

// What an item looked like before an install.
struct Before {
  std::string how;    // "absent", "entry", "stash", "whole", "moved"; empty: cannot be told
  std::string where;  // entry: the stored name; stash: the file; moved: the rename's target
  std::vector<std::uint64_t> numbers;  // entry: timestamp; whole: the time
  Bytes data;
};

struct Stack {
  std::map<Item, Before> before;               // X's (re-based) before of each item
  std::map<Item, std::string> spelled;         // the path as the journal spells it
  std::map<Item, const JournalRecord*> after;  // entries: what X left
  std::set<std::string> archives;              // folded paths X added entries to
  std::set<Item> done;                         // items an earlier pass finished
  std::set<std::string> paths;                 // paths an earlier pass took item by item
  std::map<std::string, std::vector<JournalRecord>> afters;  // loose files: what X left
  std::set<std::string> rebased;  // folded paths an undo re-based or wrote under X
};

// A 'K' record that re-bases nothing: an undo taken item by item wrote into this path,
// which no longer matches what any other live install left.
inline constexpr char kShared[] = "written under";

// The items an install's journal records, with their befores (re-based ones included)
// and what the install left of each entry.
Stack StackOf(const std::vector<JournalRecord>& records);
// Reads the items a progress record names as done, from its text `from` on.
void ReadDone(const JournalRecord& r, std::size_t from, Stack& s);
// The nearest later install whose items include `item`, or nullptr; `stacks` are those
// of `later`, in the same order.
const LaterPoint* Above(const std::vector<LaterPoint>& later, const std::vector<Stack>& stacks,
                        const Item& item);
// The folded paths the later installs touched.
std::set<std::string> TouchedPaths(const std::vector<LaterPoint>& later);

// Before anything is written, each file X renamed away that is taken item by item gets
// its bytes as its before, kept in X's journal (in `folder`: a 'K' record naming X, also
// added to `kept`) and in `x`. One whose bytes cannot be had keeps both its names out of
// this undo (`skip`), with a failure in `out`.
Status KeepMovedBefores(FileSystem& fs, const std::string& folder, const std::string& id, Stack& x,
                        const std::vector<LaterPoint>& later, const std::vector<Stack>& stacks,
                        bool force, std::set<std::string>& skip, ItemOutcome& out,
                        std::vector<JournalRecord>& kept);

}  // namespace dfm::items
