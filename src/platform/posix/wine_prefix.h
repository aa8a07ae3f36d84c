// The Wine prefix of this user: where a game installed under Wine (or Proton) registered
// itself and where its Windows drives live.
#pragma once

#include <string>

namespace dfm::posix {

// $WINEPREFIX when set and not empty, else $HOME/.wine; empty when neither is known.
std::string WinePrefix();

// A Windows drive path ("C:\Games\DFLW") as a folder of this host: the target of the
// prefix's dosdevices/<drive>: link followed by the rest of the path with "/", each
// component found in its existing letter case. Any other text, or a drive without a
// link, comes back unchanged. A trailing separator is kept ("C:\" ends in "/").
std::string MapWinePath(const std::string& path, const std::string& prefix);

}  // namespace dfm::posix
