#include "shell/folder_label.h"

namespace dfm {

namespace {

constexpr std::string_view kEllipsis = "...";

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::string ShortenPathMiddle(const std::string& path, int width, const TextWidthFn& text_width) {
  if (text_width(path) <= width) return path;
  const std::string_view text = path;
  // The last folder with the separator before it; a trailing separator stays with it.
  std::size_t last = text.size();
  while (last > 0 && IsSeparator(text[last - 1])) --last;
  while (last > 0 && !IsSeparator(text[last - 1])) --last;
  if (last > 0) {
    const std::string tail(text.substr(last - 1));
    for (std::size_t head = last - 1; head > 0; --head) {
      if (!IsSeparator(text[head - 1])) continue;
      std::string shown = std::string(text.substr(0, head)).append(kEllipsis).append(tail);
      if (text_width(shown) <= width) return shown;
    }
    std::string shown = std::string(kEllipsis).append(tail);
    if (text_width(shown) <= width) return shown;
  }
  for (std::size_t kept = text.size() - 1; kept > 0; --kept) {
    const std::size_t left = (kept + 1) / 2;
    std::string shown = std::string(text.substr(0, left))
                            .append(kEllipsis)
                            .append(text.substr(text.size() - (kept - left)));
    if (text_width(shown) <= width) return shown;
  }
  return std::string(kEllipsis);
}

}  // namespace dfm
