// What the credits window reads: the credits file, its font and its colours.
#pragma once

#include <cstdint>
#include <string>

namespace dfm {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;

  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// What the credits window reads; the settings header of Control.ini may replace each.
struct CreditsSettings {
  std::string file;  // empty: the mod has no credits
  std::string font = "Comic Sans MS";
  std::int32_t font_size = 14;
  Rgb back{0, 0, 255};
  Rgb fore{0, 255, 0};
  Rgb shadow{0, 0, 0};
};

}  // namespace dfm
