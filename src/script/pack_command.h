// "Pack <name> <archive>": adds <name> from the program folder to one of the game's PFF
// archives. The only command that can stop the run: when the archive is missing, the
// user is asked whether to abort.
#pragma once

#include <string>

#include "platform/dialogs.h"
#include "script/run_context.h"

namespace dfm {

// Runs one pack line of at least 3 words. An archive that cannot be read or a failed add
// shows the archive table's message box and also makes the line's failure entry (one
// error).
CommandOutcome RunPack(RunContext& run);

// The critical-file question for a missing archive; true when the user chose to abort.
bool AskAbortForMissingArchive(Dialogs& dialogs, const std::string& archive);

}  // namespace dfm
