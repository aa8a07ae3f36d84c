// The commands that act on the file system alone: copy, move and delete. Each runs one
// line whose words its caller has counted (copy and move need 3, delete 2).
#pragma once

#include "script/run_context.h"

namespace dfm {

// "Copy <name> <target>": copies <name> from the program folder into the target folder
// under the same name, first removing a file of that name there.
CommandOutcome RunCopy(RunContext& run);

// "Move <name> <target>": as copy, but the file leaves the program folder. Across
// volumes, where the file system cannot rename, the file is copied and the source is
// removed once the copy succeeded.
CommandOutcome RunMove(RunContext& run);

// "Delete <name>": removes the file named by the part of <name> after its last separator
// from the program folder; never anything elsewhere.
CommandOutcome RunDelete(RunContext& run);

// The folder that copy and move put their file into, for the resolved target: an
// existing folder as it is (with a separator added), otherwise GetFolder's rule (a path
// with a "." names a file, and its folder is taken).
std::string CopyTargetFolder(FileSystem& fs, const std::string& resolved);

}  // namespace dfm
