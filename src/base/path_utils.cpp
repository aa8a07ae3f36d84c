#include "base/path_utils.h"

#include <vector>

#include "base/ascii.h"

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

std::string FoldedPath(std::string_view path) {
  auto is_separator = [](char c) { return c == '\\' || c == '/'; };
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&] {
    if (part == ".." && !parts.empty() && parts.back() != "..") {
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  };
  for (char c : path) {
    if (is_separator(c)) {
      flush();
    } else {
      part += AsciiUpper(c);
    }
  }
  flush();
  std::string key = !path.empty() && is_separator(path[0]) ? "\\" : "";
  for (std::size_t i = 0; i < parts.size(); ++i) key += (i ? "\\" : "") + parts[i];
  return key;
}

}  // namespace dfm
