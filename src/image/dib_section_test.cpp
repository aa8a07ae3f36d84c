#include "image/dib_section.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "platform/file_system.h"

namespace dfm {
namespace {

// Rows padded to four bytes, pixels zeroed and mapped; 1024 x 1024 takes no padding.
TEST(DibSection, CreateSizesRowsToFourBytesAndMapsThePixels) {
  DibSection dib;
  std::span<unsigned char> view;
  const std::pair<BitmapInfoHeader, int> rows[] = {
      {{40, 1024, 1024, 1, 24, 0, 3145728, 0, 0, 0, 0}, 3072},
      {{40, 5, 2, 1, 24, 0, 32, 0, 0, 0, 0}, 16}};
  for (const auto& [header, stride] : rows) {
    ASSERT_TRUE(*dib.Create(header.width, header.height));
    EXPECT_EQ(dib.Header(), header);
    EXPECT_EQ(dib.BytesPerScanLine(), stride);
    EXPECT_EQ(dib.MapArray(view), header.width);
    EXPECT_EQ(view.data(), dib.DIBSectionBitsPtr());
    EXPECT_TRUE(Bytes(view.begin(), view.end()) ==
                Bytes(static_cast<std::size_t>(header.size_image), 0));
  }
}

// A failed Create, like ClearUp, keeps the header but no pixels.
TEST(DibSection, FailedCreateAndClearUpKeepTheHeaderButNoPixels) {
  DibSection dib;
  ASSERT_TRUE(*dib.Create(3, 3));
  dib.ClearUp();
  EXPECT_EQ(std::tuple(dib.DIBSectionBitsPtr(), dib.Width(), dib.Header().size_image),
            std::tuple(nullptr, 3, 36));
  ASSERT_TRUE(*dib.Create(4, 4));
  EXPECT_FALSE(*dib.Create(0, 7));
  EXPECT_EQ(std::tuple(dib.DIBSectionBitsPtr(), dib.Width(), dib.Height()),
            std::tuple(nullptr, 0, 7));
  std::span<unsigned char> view;
  EXPECT_EQ(dib.MapArray(view), 0);
  EXPECT_TRUE(view.empty());

  // 90000 x 30000 bytes do not fit 32 bits.
  EXPECT_EQ(dib.Create(30000, 30000).failure(),
            (Failure{err::kOverflow,
                     "Overflow: a picture of 30000 x 30000 pixels does not fit "
                     "in memory"}));
}

TEST(DibSection, RandomiseBitsFillsPixelsNotPadding) {
  DibSection dib;
  ASSERT_TRUE(*dib.Create(5, 3));
  dib.RandomiseBits(false, 7);
  std::span<unsigned char> v;
  dib.MapArray(v);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(v[static_cast<std::size_t>(16 * y + 3 * x)], 0);
    EXPECT_EQ(v[static_cast<std::size_t>(16 * y + 15)], 0);
  }
  dib.RandomiseBits(true, 7);
  for (int i = 0; i < 15; i += 3) {
    EXPECT_EQ(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(i + 1)]);
    EXPECT_EQ(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(i + 2)]);
  }
}

TEST(DibSection, ResampleInterpolatesInsideTheOldPicture) {
  DibSection dib;
  ASSERT_TRUE(*dib.Create(3, 1));
  unsigned char* p = dib.DIBSectionBitsPtr();
  const unsigned char row[9] = {0, 0, 0, 100, 50, 10, 200, 255, 21};
  std::copy(row, row + 9, p);

  // Width 3 -> 4: scale (3 - 1) / 4 = 0.5, samples at 0, 0.5, 1, 1.5.
  auto wider = dib.Resample(1, 4);
  ASSERT_TRUE(wider && wider->has_value());
  const unsigned char* q = (*wider)->DIBSectionBitsPtr();
  EXPECT_EQ(Bytes(q, q + 12), (Bytes{0, 0, 0, 50, 25, 5, 100, 50, 10, 150, 152, 16}));

  auto same = dib.Resample(1, 3);
  ASSERT_TRUE(same && same->has_value());
  EXPECT_EQ(Bytes((*same)->DIBSectionBitsPtr(), (*same)->DIBSectionBitsPtr() + 12),
            Bytes(p, p + 12));

  EXPECT_FALSE(dib.Resample(0, 3)->has_value());

  // A one-pixel source has no neighbour: the pixel itself is used.
  DibSection dot;
  ASSERT_TRUE(*dot.Create(1, 1));
  dot.DIBSectionBitsPtr()[0] = 9;
  auto grown = dot.Resample(2, 2);
  ASSERT_TRUE(grown && grown->has_value());
  const unsigned char* g = (*grown)->DIBSectionBitsPtr();
  EXPECT_EQ(Bytes(g, g + 16), (Bytes{9, 0, 0, 9, 0, 0, 0, 0, 9, 0, 0, 9, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace dfm
