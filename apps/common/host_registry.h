// The registry the games registered in, as each program's main hands it to a run.
#pragma once

#include <memory>

#include "platform/registry.h"

namespace dfm::cli {

// Windows' own registry; on POSIX the registry files of the Wine prefix (an empty tree
// when there is no prefix).
std::unique_ptr<Registry> HostRegistry();

}  // namespace dfm::cli
