// The picture class on Windows: its pixel memory is a GDI DIB section selected into a
// memory DC, so the system draws from it and into it while the JPEG decoder and the TGA
// writer keep addressing the same bytes.
#pragma once

#include <cstdint>

#include "base/result.h"
#include "image/dib_section.h"
#include "platform/dialogs.h"

#include "platform/win32/windows_api.h"

namespace dfm::win32 {

// The allocator behind GdiDibSection: a DIB section for the header in a memory DC compatible
// with the screen; releasing it selects the DC's previous bitmap back and deletes both.
std::unique_ptr<PixelMemory> AllocateGdiPixels(const BitmapInfoHeader& header);

class GdiDibSection : public DibSection {
 public:
  GdiDibSection() : DibSection(AllocateGdiPixels) {}

  // The memory DC holding the section, and the section; nullptr when there is none.
  HDC Dc() const;
  HBITMAP Dib() const;

  // Block copies between the section and `dc`: the section's (src_left, src_top) to the
  // DC's (dest_left, dest_top), and the DC's (src_left, src_top) to the section's (0, 0).
  // A negative width or height stands for the section's own. false when there is no
  // section or the copy failed.
  bool PaintPicture(HDC dc, int dest_left = 0, int dest_top = 0, int dest_width = -1,
                    int dest_height = -1, int src_left = 0, int src_top = 0,
                    DWORD rop = SRCCOPY) const;
  bool LoadPictureBlt(HDC dc, int src_left = 0, int src_top = 0, int src_width = -1,
                      int src_height = -1, DWORD rop = SRCCOPY);

  // Makes a section of the bitmap's size and copies the bitmap into it. false when the
  // handle is no bitmap, the section cannot be made or the copy failed. The bitmap must
  // not be selected into a DC.
  Result<bool> CreateFromPicture(HBITMAP picture);

  // Puts a screen-compatible copy of the picture on the clipboard as a bitmap; true when
  // the clipboard took it. As a DIB it only tells the user it cannot, and returns false.
  bool CopyToClipboard(Dialogs& dialogs, bool as_dib = false) const;
};

}  // namespace dfm::win32
