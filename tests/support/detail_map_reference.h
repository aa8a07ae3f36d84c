// The detail map computed the straightforward way, pixel by pixel, from its own copy of
// the reference colours: what the fast classification must equal.
#pragma once

#include <cstdlib>

#include "image/detail_map.h"

namespace dfm::testing {

struct ReferenceColour {
  int red, green, blue, code;
};

inline constexpr ReferenceColour kReferenceColours[20] = {
    {217, 201, 179, 5}, {195, 157, 114, 5}, {113, 95, 64, 8},   {56, 48, 36, 8},
    {103, 67, 40, 8},   {58, 42, 42, 6},    {139, 121, 61, 1},  {124, 108, 87, 6},
    {64, 68, 40, 2},    {79, 87, 47, 2},    {116, 130, 72, 2},  {46, 50, 28, 2},
    {230, 232, 237, 3}, {165, 165, 170, 3}, {184, 189, 194, 3}, {200, 200, 200, 3},
    {180, 185, 190, 3}, {118, 113, 96, 4},  {102, 107, 88, 4},  {113, 123, 133, 10},
};

inline int ReferenceCode(int red, int green, int blue) {
  int best = 0;
  int best_distance = 1 << 30;
  for (int i = 0; i < 20; ++i) {
    const auto& c = kReferenceColours[i];
    const int d = std::abs(red - c.red) + std::abs(green - c.green) + std::abs(blue - c.blue);
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return kReferenceColours[best].code;
}

// Column x, stored row y of the source becomes column x, row H - 1 - y of the map.
inline ByteGrid ReferenceDetailCodes(const PixelGrid& pixels) {
  ByteGrid codes(pixels.width(), pixels.height());
  for (std::int32_t x = 0; x < pixels.width(); ++x) {
    for (std::int32_t y = 0; y < pixels.height(); ++y) {
      const PixelBgr p = pixels.At(x, y);
      codes.Row(pixels.height() - 1 - y)[static_cast<std::size_t>(x)] =
          static_cast<unsigned char>(ReferenceCode(p.red, p.green, p.blue));
    }
  }
  return codes;
}

}  // namespace dfm::testing
