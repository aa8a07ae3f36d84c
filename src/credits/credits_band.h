// The credits image kept as the texts drawn into it rather than as pixels: a window shows
// only the band of the image it covers, so the hosts paint just the texts in that band and
// credits of any length need no bitmap taller than the window.
#pragma once

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "credits/credits_settings.h"

namespace dfm {

struct CreditsText {
  std::string text;
  int x = 0, y = 0;  // the top-left corner in the image
  int height = 0;
  Rgb colour;
};

class CreditsBand {
 public:
  void Clear() {
    texts_.clear();
    tallest_ = 0;
  }
  // Texts come in the order they are drawn, which for the credits is from the top down.
  void Add(CreditsText text) {
    tallest_ = std::max(tallest_, text.height);
    texts_.push_back(std::move(text));
  }
  // The texts that reach into the image's rows [top, bottom), in the order drawn.
  std::span<const CreditsText> Between(int top, int bottom) const {
    const auto first = std::partition_point(
        texts_.begin(), texts_.end(), [&](const CreditsText& t) { return t.y + tallest_ <= top; });
    const auto last = std::partition_point(first, texts_.end(),
                                           [&](const CreditsText& t) { return t.y < bottom; });
    return {first, last};
  }

 private:
  std::vector<CreditsText> texts_;
  int tallest_ = 0;
};

}  // namespace dfm
