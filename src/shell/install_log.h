// InstallLog.txt: the file every message of an install run is written to, beside the
// status list that shows the same messages.
#pragma once

#include <string>

#include "base/result.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace dfm {

// The log's name; it lies in the current directory, which start-up makes the program
// folder.
inline constexpr char kInstallLogName[] = "InstallLog.txt";

// The first two lines of a new log, each ended by CR LF:
//   Kyv Obrik's DF Mod Installer
//   Log Created On <weekday> The <dd> Of <month> At <hh:mm:ss>
// with the weekday and month names in the user's language.
std::string InstallLogHeader(Clock& clock);

// Writes one message as one line of the log at `path`. A first entry creates the file
// anew (emptying an old one) with the two header lines before the message; any other
// entry is appended (the file is created when missing). The file is opened and closed
// within the call, so everything logged so far is on disk.
Status WriteInstallLogEntry(FileSystem& fs, Clock& clock, const std::string& path,
                            const std::string& message, bool first_entry);

}  // namespace dfm
