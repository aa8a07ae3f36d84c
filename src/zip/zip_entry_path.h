// Where an archive entry may be written below the extraction folder. Archives come from
// anywhere: an entry name must not reach outside that folder nor name something other
// than a plain file on the target system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/path_style.h"

namespace dfm {

struct EntryPlace {
  // Folders below the extraction folder, then the file name (a folder entry: folders only).
  std::vector<std::string> components;
  bool is_folder = false;  // the name ends with "/" or "\"
  // Not empty: the entry must be skipped, and this says why.
  std::string problem;
};

// "/" and "\" both separate components.
// Folders not honoured: only the last component is kept (a folder entry places nothing).
// Folders honoured: empty and "." components are dropped (so a leading separator makes
// no absolute path); a ".." component is a problem.
// A file name that is empty, "." or "..", and on Windows-style targets any component
// that holds a colon (a drive), consists of dots and blanks only, or is a reserved device
// name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with any extension) is a
// problem. With `spaces_to_underscores` every blank of a component becomes "_".
EntryPlace PlaceEntry(std::string_view name, bool honor_folders, bool spaces_to_underscores,
                      PathStyle target);

}  // namespace dfm
