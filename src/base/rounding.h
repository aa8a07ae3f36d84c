// Rounding as the installer's numbers round.
#pragma once

#include <cmath>

namespace dfm {

// Nearest whole number, halves to the even neighbour.
inline double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

}  // namespace dfm
