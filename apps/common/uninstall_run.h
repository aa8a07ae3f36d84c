// Windows' uninstall list as the two programs keep it in step with the restore points
// (shell/uninstall_keys.h). Without a list (POSIX) each of these does nothing.
#pragma once

#include <string>

#include "common/program.h"
#include "shell/main_window.h"

namespace dfm::cli {

// Deletes the keys of installs that are undone or whose restore point is gone.
void PruneUninstallList(const Io& io);

// What registers each install of the installer program once its restore point in
// `restore_folder` is complete: the program's copy is brought up to date first, since
// the key's uninstall strings run it. Empty without a list.
std::function<Status(const std::string&, int, const std::string&)> RegisterCompleted(
    const Io& io, const std::string& restore_folder);

}  // namespace dfm::cli
