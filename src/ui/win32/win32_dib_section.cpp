#include "ui/win32/win32_dib_section.h"

#include <memory>

namespace dfm::win32 {
namespace {

class GdiPixels : public PixelMemory {
 public:
  GdiPixels(HDC dc, HBITMAP dib, HGDIOBJ previous, unsigned char* bits)
      : dc_(dc), dib_(dib), previous_(previous), bits_(bits) {}
  ~GdiPixels() override {
    ::SelectObject(dc_, previous_);
    ::DeleteObject(dib_);
    ::DeleteDC(dc_);
  }
  GdiPixels(const GdiPixels&) = delete;
  GdiPixels& operator=(const GdiPixels&) = delete;

  unsigned char* data() override { return bits_; }
  HDC dc() const { return dc_; }
  HBITMAP dib() const { return dib_; }

 private:
  HDC dc_;
  HBITMAP dib_;
  HGDIOBJ previous_;
  unsigned char* bits_;
};

const GdiPixels* GdiOf(const DibSection& picture) {
  return dynamic_cast<const GdiPixels*>(picture.Memory());
}

// The screen's DC for the scope.
class ScreenDc {
 public:
  ScreenDc() : window_(::GetDesktopWindow()), dc_(::GetDC(window_)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A memory DC with `bitmap` selected in for the scope.
class SelectedBitmap {
 public:
  SelectedBitmap(HDC compatible, HBITMAP bitmap) : dc_(::CreateCompatibleDC(compatible)) {
    if (dc_ != nullptr) previous_ = ::SelectObject(dc_, bitmap);
  }
  ~SelectedBitmap() {
    if (dc_ == nullptr) return;
    if (previous_ != nullptr) ::SelectObject(dc_, previous_);
    ::DeleteDC(dc_);
  }
  SelectedBitmap(const SelectedBitmap&) = delete;
  SelectedBitmap& operator=(const SelectedBitmap&) = delete;
  // nullptr when the DC could not be made or the bitmap not selected into it.
  HDC get() const { return previous_ != nullptr ? dc_ : nullptr; }

 private:
  HDC dc_;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace

std::unique_ptr<PixelMemory> AllocateGdiPixels(const BitmapInfoHeader& header) {
  static_assert(sizeof(BITMAPINFOHEADER) == 40);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = header.width;
  info.bmiHeader.biHeight = header.height;
  info.bmiHeader.biPlanes = header.planes;
  info.bmiHeader.biBitCount = header.bit_count;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(header.size_image);
  HDC dc = ::CreateCompatibleDC(nullptr);
  if (dc == nullptr) return nullptr;
  void* bits = nullptr;
  // The system's memory for a section comes zero-filled, as the portable heap's does.
  HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib == nullptr || bits == nullptr) {
    if (dib != nullptr) ::DeleteObject(dib);
    ::DeleteDC(dc);
    return nullptr;
  }
  HGDIOBJ previous = ::SelectObject(dc, dib);
  return std::make_unique<GdiPixels>(dc, dib, previous, static_cast<unsigned char*>(bits));
}

HDC GdiDibSection::Dc() const {
  const GdiPixels* gdi = GdiOf(*this);
  return gdi != nullptr ? gdi->dc() : nullptr;
}

HBITMAP GdiDibSection::Dib() const {
  const GdiPixels* gdi = GdiOf(*this);
  return gdi != nullptr ? gdi->dib() : nullptr;
}

bool GdiDibSection::PaintPicture(HDC dc, int dest_left, int dest_top, int dest_width,
                                 int dest_height, int src_left, int src_top, DWORD rop) const {
  if (Dc() == nullptr) return false;
  return ::BitBlt(dc, dest_left, dest_top, dest_width < 0 ? Width() : dest_width,
                  dest_height < 0 ? Height() : dest_height, Dc(), src_left, src_top, rop) != 0;
}

bool GdiDibSection::LoadPictureBlt(HDC dc, int src_left, int src_top, int src_width, int src_height,
                                   DWORD rop) {
  if (Dc() == nullptr) return false;
  return ::BitBlt(Dc(), 0, 0, src_width < 0 ? Width() : src_width,
                  src_height < 0 ? Height() : src_height, dc, src_left, src_top, rop) != 0;
}

Result<bool> GdiDibSection::CreateFromPicture(HBITMAP picture) {
  BITMAP bm{};
  if (picture == nullptr || ::GetObjectA(picture, sizeof bm, &bm) != sizeof bm) return false;
  auto created = Create(bm.bmWidth, bm.bmHeight);
  if (!created || !*created) return created;
  SelectedBitmap source(Dc(), picture);
  return source.get() != nullptr && LoadPictureBlt(source.get());
}

bool GdiDibSection::CopyToClipboard(Dialogs& dialogs, bool as_dib) const {
  if (as_dib) {
    dialogs.MessageBox("I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!",
                       {}, MsgButtons::kOk, MsgIcon::kNone);
    return false;
  }
  if (Dc() == nullptr) return false;
  ScreenDc screen;
  if (screen.get() == nullptr) return false;
  HBITMAP copy = ::CreateCompatibleBitmap(screen.get(), Width(), Height());
  if (copy == nullptr) return false;
  bool painted = false;
  {
    SelectedBitmap target(screen.get(), copy);
    painted = target.get() != nullptr && PaintPicture(target.get());
  }
  bool taken = false;
  if (painted && ::OpenClipboard(nullptr)) {
    ::EmptyClipboard();
    taken = ::SetClipboardData(CF_BITMAP, copy) != nullptr;
    ::CloseClipboard();
  }
  // The clipboard owns the bitmap once it took it; otherwise it is still ours.
  if (!taken) ::DeleteObject(copy);
  return taken;
}

}  // namespace dfm::win32
