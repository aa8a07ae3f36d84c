// Factories for the implementations of the host this program was built for.
#pragma once

#include <memory>
#include <memory_resource>
#include <string>

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace dfm {

std::unique_ptr<FileSystem> MakeHostFileSystem();
std::unique_ptr<Clock> MakeHostClock();
std::unique_ptr<Process> MakeHostProcess();
std::unique_ptr<Environment> MakeHostEnvironment();
// A folder as the registry names it, made usable on this host: unchanged on Windows; on
// POSIX a Wine drive path ("C:\Games\DFLW") mapped to the prefix's folder for that drive.
std::string HostFolderFromRegistry(const std::string& folder);
// The folder of restore points: DFMOD_RESTORE_DIR when set; on POSIX else
// $XDG_DATA_HOME/dfmod/restore, by default ~/.local/share/dfmod/restore; on Windows
// %LOCALAPPDATA%\DFMod\Restore. Empty when none of them can be found.
std::string HostRestoreFolder();
// The memory of the program's default resource (std::pmr::set_default_resource), which
// the buffers that hold a whole encoded picture take: on Linux, requests of 1 MiB or more
// are mapped on their own and offered large pages, so that filling one costs a few page
// faults instead of one per 4 KiB; everything else, and every request on Windows, comes
// from the heap.
std::pmr::memory_resource* HostMemoryResource();

}  // namespace dfm
