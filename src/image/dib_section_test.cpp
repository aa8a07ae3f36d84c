#include "image/dib_section.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"

namespace dfm {
namespace {

TEST(CDibSection, CreateSizesRowsToFourBytesAndMapsThePixels) {
  CDibSection dib;
  std::span<unsigned char> view;
  EXPECT_EQ(dib.MapArray(view), 0);
  EXPECT_TRUE(view.empty());
  EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);

  ASSERT_TRUE(*dib.Create(1024, 1024));
  EXPECT_EQ(dib.BytesPerScanLine(), 3072);
  EXPECT_EQ(dib.Header().size_image, 3145728);
  EXPECT_EQ(dib.MapArray(view), 1024);
  EXPECT_EQ(view.size(), 3145728u);
  EXPECT_EQ(view.data(), dib.DIBSectionBitsPtr());

  ASSERT_TRUE(*dib.Create(5, 2));
  const BitmapInfoHeader expected{40, 5, 2, 1, 24, 0, 32, 0, 0, 0, 0};
  EXPECT_EQ(dib.Header(), expected);
  EXPECT_EQ(dib.BytesPerScanLine(), 16);
  EXPECT_EQ(dib.MapArray(view), 5);
  EXPECT_EQ(view.size(), 32u);
  EXPECT_EQ(Bytes(view.begin(), view.end()), Bytes(32, 0));
}

// A failed Create, like ClearUp, keeps the header but no pixels.
TEST(CDibSection, FailedCreateAndClearUpKeepTheHeaderButNoPixels) {
  CDibSection dib;
  ASSERT_TRUE(*dib.Create(3, 3));
  dib.ClearUp();
  EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(dib.Width(), 3);
  EXPECT_EQ(dib.Header().size_image, 36);
  ASSERT_TRUE(*dib.Create(4, 4));
  auto r = dib.Create(0, 7);
  ASSERT_TRUE(r);
  EXPECT_FALSE(*r);
  EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(dib.Width(), 0);
  EXPECT_EQ(dib.Height(), 7);
  std::span<unsigned char> view;
  EXPECT_EQ(dib.MapArray(view), 0);
  EXPECT_TRUE(view.empty());

  r = dib.Create(30000, 30000);  // 90000 x 30000 bytes do not fit 32 bits
  ASSERT_FALSE(r);
  EXPECT_EQ(r.failure(), (Failure{err::kOverflow,
                                  "Overflow: a picture of 30000 x 30000 pixels does not fit "
                                  "in memory"}));
}

TEST(CDibSection, RandomiseBitsFillsPixelsNotPadding) {
  CDibSection dib;
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

TEST(CDibSection, ResampleInterpolatesInsideTheOldPicture) {
  CDibSection dib;
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

  auto none = dib.Resample(0, 3);
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->has_value());

  // A one-pixel source has no neighbour: the pixel itself is used.
  CDibSection dot;
  ASSERT_TRUE(*dot.Create(1, 1));
  dot.DIBSectionBitsPtr()[0] = 9;
  auto grown = dot.Resample(2, 2);
  ASSERT_TRUE(grown && grown->has_value());
  const unsigned char* g = (*grown)->DIBSectionBitsPtr();
  EXPECT_EQ(Bytes(g, g + 16), (Bytes{9, 0, 0, 9, 0, 0, 0, 0, 9, 0, 0, 9, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace dfm
