// Maps the installer's path strings onto POSIX paths.
#pragma once

#include <string>

namespace dfm::posix {

// "\" becomes "/"; each component that does not exist with its exact spelling is
// looked up without regard to ASCII letter case in its parent folder. Components that
// exist under neither spelling are kept as written (so a new file gets the name the
// caller gave it).
std::string ResolvePath(const std::string& path);

// Tells the lookup that this program has just created `path` (as ResolvePath gave it),
// right after resolving it: the folder's remembered listing stays valid.
void NoteCreated(const std::string& path);

// Whether the remembered listing of `path`'s folder is current; if so, NoteRemoved right
// after removing `path` keeps it so.
bool IndexIsCurrent(const std::string& path);
void NoteRemoved(const std::string& path);

}  // namespace dfm::posix
