// FileExists, the install commands' check that a file is there.
#pragma once

#include <string>

#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace dfm {

// True when the file system can tell the file's length. A missing file gives false
// quietly; any other failure shows "Error in FileExists" + CR LF + its description.
bool FileExists(FileSystem& fs, Dialogs& dialogs, const std::string& path);

}  // namespace dfm
