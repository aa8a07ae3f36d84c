// The path utilities every part of the installer builds its paths with.
// Paths are the installer's own path strings: "\" separates components, and on POSIX
// hosts "/" does too (PathStyle::kPosix).
#pragma once

#include <string>
#include <string_view>

#include "base/path_style.h"

namespace dfm {

// A path containing "." is a file path: the result is the path up to and including its
// last separator (empty when it has none); when it also contains a NUL, the text before
// the first NUL plus "\". A path without "." is a folder: it gets a trailing "\" unless
// it ends with a separator already. On POSIX the appended separator is "/" when the
// path's own last separator is "/".
std::string GetFolder(std::string_view path, PathStyle style = HostPathStyle());

// A folder path: the path itself when it ends with a separator, otherwise the path plus
// one (the rule GetFolder applies to a path without ".").
std::string AsFolder(std::string_view path, PathStyle style = HostPathStyle());

// The part after the last separator; the whole path when it has none.
std::string GetFileName(std::string_view path, PathStyle style = HostPathStyle());

// The key that spellings of one path share: ASCII letters upper-cased, components
// joined by "\" (both "\" and "/" separate), empty and "." components dropped, ".."
// taking the previous component away.
std::string FoldedPath(std::string_view path);

// Pads with NULs to 16 characters; longer texts are returned unchanged.
std::string PadName(std::string_view text);

}  // namespace dfm
