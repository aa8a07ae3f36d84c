// Maps the installer's path strings onto POSIX paths.
#pragma once

#include <string>

namespace dfm::posix {

// The path with "\" mapped to "/" and nothing looked up: what the host tries first.
std::string MappedPath(const std::string& path);

// "\" becomes "/"; each component that does not exist with its exact spelling is
// looked up without regard to ASCII letter case in its parent folder. Components that
// exist under neither spelling are kept as written (so a new file gets the name the
// caller gave it).
std::string ResolvePath(const std::string& path);

// Tells the lookup that this program has just created `path` (as ResolvePath gave it),
// right after resolving it: the folder's remembered listing stays valid.
void NoteCreated(const std::string& path);

// While at least one batch is open, a remembered folder listing is trusted without
// checking the folder's time, and ResolvePath answers names in that folder from it
// without a system call (see FileSystem::BeginBatch).
void BeginBatch();
void EndBatch();
bool InBatch();

// Whether the remembered listing of `path`'s folder is current; if so, NoteRemoved right
// after removing `path` keeps it so.
bool IndexIsCurrent(const std::string& path);
void NoteRemoved(const std::string& path);
// After renaming `from` to `to` (both as ResolvePath gave them): with `current` (the
// listing was current for one of their folders just before), the listing follows the
// rename; otherwise a listing of either folder is dropped.
void NoteRenamed(const std::string& from, const std::string& to, bool current);

}  // namespace dfm::posix
