// The Wine prefix of this user: where a game installed under Wine (or Proton) registered
// itself and where its Windows drives live.
#pragma once

#include <memory>
#include <string>

#include "platform/registry.h"

namespace dfm::posix {

// $WINEPREFIX when set and not empty, else $HOME/.wine; empty when neither is known.
std::string WinePrefix();

// The registry of `prefix`: its system.reg (HKEY_LOCAL_MACHINE) and user.reg
// (HKEY_CURRENT_USER). A missing or unreadable file gives an empty tree.
std::unique_ptr<Registry> MakeWineRegistry(const std::string& prefix);

// A Windows drive path ("C:\Games\DFLW") as a folder of this host: the target of the
// prefix's dosdevices/<drive>: link followed by the rest of the path with "/", each
// component found in its existing letter case. Any other text, or a drive without a
// link, comes back unchanged. A trailing separator is kept ("C:\" ends in "/").
std::string MapWinePath(const std::string& path, const std::string& prefix);

}  // namespace dfm::posix
