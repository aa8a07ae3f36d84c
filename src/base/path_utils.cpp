#include "base/path_utils.h"

namespace dfm {
namespace {

bool IsSeparator(char c, PathStyle style) {
  return c == '\\' || (style == PathStyle::kPosix && c == '/');
}

std::size_t LastSeparator(std::string_view path, PathStyle style) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1], style)) return i - 1;
  }
  return std::string_view::npos;
}

// The separator a folder path gets appended: "\", or on POSIX "/" when the path's
// own last separator is "/" (so host paths stay readable).
char TrailingSeparator(std::string_view path, PathStyle style) {
  std::size_t sep = LastSeparator(path, style);
  if (style == PathStyle::kPosix && sep != std::string_view::npos && path[sep] == '/') return '/';
  return '\\';
}

}  // namespace

std::string GetFolder(std::string_view path, PathStyle style) {
  if (path.find('.') != std::string_view::npos) {
    if (std::size_t nul = path.find('\0'); nul != std::string_view::npos) {
      std::string_view head = path.substr(0, nul);
      return std::string(head) + TrailingSeparator(head, style);
    }
    std::size_t sep = LastSeparator(path, style);
    if (sep == std::string_view::npos) return {};
    return std::string(path.substr(0, sep + 1));
  }
  return AsFolder(path, style);
}

std::string AsFolder(std::string_view path, PathStyle style) {
  if (!path.empty() && IsSeparator(path.back(), style)) return std::string(path);
  return std::string(path) + TrailingSeparator(path, style);
}

std::string GetFileName(std::string_view path, PathStyle style) {
  std::size_t sep = LastSeparator(path, style);
  if (sep == std::string_view::npos) return std::string(path);
  return std::string(path.substr(sep + 1));
}

std::string PadName(std::string_view text) {
  std::string out(text);
  if (out.size() < 16) out.resize(16, '\0');
  return out;
}

}  // namespace dfm
