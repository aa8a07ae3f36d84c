// Putting back what one install's journal records, newest record first. Every step
// checks the state it expects before it acts, and the undo notes each finished step in
// the journal (a 'P' record), durable before a later step changes the same path, so
// that an undo stopped anywhere and run again, by itself or as a roll-back, converges on
// the state before the install and never redoes a step over what a later one put back.
#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "restore/journal.h"

namespace dfm {

// What one pass of an undo did and could not do.
struct UndoOutcome {
  std::vector<std::string> failures;  // each step that failed, and why
  std::set<std::string> left;         // folded paths not (wholly) put back
  std::set<std::string> touched;      // folded paths of every file the install changed
};

// What earlier passes of the undo did: the records they finished, and the folded paths
// they set out to put back (a pass notes them before its first step).
struct UndoProgress {
  std::set<std::size_t> done;
  std::set<std::string> begun;
};
UndoProgress ReadProgress(const std::vector<JournalRecord>& records);

// The note a pass makes before its first step: the records it will put back.
JournalRecord PlanRecord(const std::vector<JournalRecord>& records,
                         const std::set<std::size_t>& done, const std::set<std::string>& leave);

// Paths whose state no longer matches what the install left: grown, shrunk or with other
// bytes where the install wrote. Paths an earlier pass set out to put back are not asked:
// their state is its work.
std::vector<std::string> ChangedSince(FileSystem& fs, const std::vector<JournalRecord>& records,
                                      const std::set<std::string>& begun);

// The stashed originals ('T') that steps still to come need and that are gone, checked
// before anything changes.
std::vector<std::string> MissingStashes(FileSystem& fs, const std::vector<JournalRecord>& records,
                                        const std::set<std::size_t>& done,
                                        const std::set<std::string>& leave);

// Told how far an undo has come: `done` of its `total` steps, from 0 up to `total`.
using StepsDone = std::function<void(std::size_t done, std::size_t total)>;

// Puts back what the records not yet done say, newest first; records of a path in
// `leave` (folded) are passed over and the path counted as left. A failed step leaves the
// older steps of its path alone. Finished steps are noted in `progress` (nullptr: not
// noted), and the notes are durable when this returns. `steps` hears of each step taken,
// passed over or failed, from 0 before the first to the total after the last.
void ApplyUndo(FileSystem& fs, const std::vector<JournalRecord>& records,
               const std::set<std::size_t>& done, const std::set<std::string>& leave,
               JournalWriter* progress, UndoOutcome& out, const StepsDone& steps = {});

// Whether a rename failed because the two names lie on different volumes.
bool AcrossVolumes(const Failure& failure);

}  // namespace dfm
