// The installation folder as its label shows it: a path wider than the label loses its
// middle, so that the drive and first folders stay on the left and the last folder on the
// right ("C:\Games\...\Land Warrior"). Each host measures the text in its own font.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace dfm {

// The width of `text` in the label's font, in the same unit as the label's width.
using TextWidthFn = std::function<int(std::string_view text)>;

// `path` itself when it fits in `width`. Otherwise "..." stands for its middle: the head
// kept is the longest one ending in a separator ("\" or "/") that fits before "..." and
// the last folder (the separator before it included); when even "..." and the last folder
// do not fit, the middle characters give way instead, as many on the left as on the right
// (one more on the left), down to "..." alone.
std::string ShortenPathMiddle(const std::string& path, int width, const TextWidthFn& text_width);

}  // namespace dfm
