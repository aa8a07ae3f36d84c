// What the journaling file system knows of one path, shared by its parts.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "restore/after_state.h"
#include "restore/journaling_file_system.h"

namespace dfm {

// The content state moves with a rename.
struct JournalingFileSystem::PathState {
  enum class Kind {
    kKept,    // holds content from before the install: writes below base_length are saved
    kFresh,   // content the install made: undo removes it, nothing needs saving
    kAbsent,  // no file
  };
  Kind kind = Kind::kAbsent;
  std::string path;  // absolute, as first touched
  bool existed = false;
  std::uint64_t base_length = 0;
  RangeSet saved;      // ranges whose bytes from before the install are in the journal
  RangeSet written;    // ranges the install wrote into the content
  bool whole = false;  // the install wrote (or moved in) the whole content
  bool replaced = false;
  std::string moved_to, moved_from;
  std::map<std::uint64_t, Bytes> held;  // disjoint writes waiting for the next commit
  bool delete_held = false;             // a deletion waiting for it
  std::string stash;                    // where the deletion moves the file
  std::string copy_from;                // a copy into this path waiting for it: the source
  bool copy_creates = false;            // the copy makes the file anew (a "created" record)
  // What the copy into this path left, seen as it wrote: no read-back at the end. Any
  // later change to the path forgets it.
  std::optional<AfterFingerprint> copied;
  std::uint64_t record_end = 0;  // the journal's length after this path's latest record
  bool HoldsChanges() const { return !held.empty() || delete_held || !copy_from.empty(); }
  // Where the last held write ends (0 when none is held).
  std::uint64_t HeldEnd() const {
    return held.empty() ? 0 : held.rbegin()->first + held.rbegin()->second.size();
  }
};

inline Failure NotFound(const std::string& path) {
  return {err::kFileNotFound, "File not found: " + path};
}

}  // namespace dfm
