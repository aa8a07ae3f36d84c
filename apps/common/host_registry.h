// The registry the games registered in, as each program's main hands it to a run.
#pragma once

#include <memory>

#include "platform/registry.h"
#include "platform/uninstall_list.h"

namespace dfm::cli {

// Windows' own registry; on POSIX the registry files of the Wine prefix (an empty tree
// when there is no prefix).
std::unique_ptr<Registry> HostRegistry();

// Windows' uninstall list of the current user; null on POSIX, which has none.
std::unique_ptr<UninstallList> HostUninstallList();

}  // namespace dfm::cli
