#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/fakes.h"

#include "ui/win32/win32_dib_section.h"

namespace dfm::win32 {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes PixelsOf(DibSection& dib) {
  std::span<unsigned char> view;
  dib.MapArray(view);
  return Bytes(view.begin(), view.end());
}

// A 3 × 2 picture: rows of 12 bytes, the bottom row first, the last 3 bytes padding.
const Bytes kSource = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0,
                       10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
const Bytes kZeroRow(12, 0);

Bytes Rows(const Bytes& bottom, const Bytes& top) {
  Bytes out = bottom;
  out.insert(out.end(), top.begin(), top.end());
  return out;
}

// The section the system draws from is the memory the decoder writes: blits in both
// directions and the clipboard's bitmap carry exactly the bytes written through MapArray.
TEST(Win32DibSection, BlitsAndTheClipboardCarryThePixelBytes) {
  GdiDibSection source;
  ASSERT_TRUE(*source.Create(3, 2));
  std::span<unsigned char> view;
  source.MapArray(view);
  std::copy(kSource.begin(), kSource.end(), view.begin());
  DIBSECTION section{};
  ASSERT_EQ(::GetObjectA(source.Dib(), sizeof section, &section), int{sizeof section});
  EXPECT_EQ(section.dsBm.bmBits, source.DIBSectionBitsPtr());
  EXPECT_EQ(::GetPixel(source.Dc(), 0, 0), RGB(12, 11, 10));  // top left: the last row

  testing::RecordingDialogs dialogs;
  const struct {
    const char* what;
    std::function<bool(GdiDibSection&)> run;  // on a fresh 3 × 2 target
    Bytes expected;
  } rows[] = {
      {"paint all", [&](GdiDibSection& t) { return source.PaintPicture(t.Dc()); }, kSource},
      {"paint a part",
       [&](GdiDibSection& t) { return source.PaintPicture(t.Dc(), 1, 0, 2, 1, 1, 1); },
       Rows(kZeroRow, {0, 0, 0, 4, 5, 6, 7, 8, 9, 0, 0, 0})},
      {"load a part", [&](GdiDibSection& t) { return t.LoadPictureBlt(source.Dc(), 2, 1, 1, 1); },
       Rows(kZeroRow, {7, 8, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
      {"clipboard, then a picture of what it holds",
       [&](GdiDibSection& t) {
         if (!source.CopyToClipboard(dialogs)) return false;
         if (!::OpenClipboard(nullptr)) return false;
         auto bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
         const bool made = bitmap != nullptr && *t.CreateFromPicture(bitmap);
         ::CloseClipboard();
         return made;
       },
       kSource},
  };
  for (const auto& row : rows) {
    GdiDibSection target;
    ASSERT_TRUE(*target.Create(3, 2));
    EXPECT_TRUE(row.run(target)) << row.what;
    EXPECT_EQ(PixelsOf(target), row.expected) << row.what;
  }

  EXPECT_FALSE(source.CopyToClipboard(dialogs, true));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!");
  EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::kOk);
  EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::kNone);
}

}  // namespace
}  // namespace dfm::win32
