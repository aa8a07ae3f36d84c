// Text files as lines, the way the installer reads its control file and the credits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dfm {

// Splits file bytes into lines: CR LF or a lone CR ends a line, a lone LF stays in the
// line, the last line needs no terminator, and an empty file has no lines.
std::vector<std::string> SplitLines(std::string_view bytes);

}  // namespace dfm
