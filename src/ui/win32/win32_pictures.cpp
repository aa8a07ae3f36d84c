#include "ui/win32/win32_pictures.h"

#include <ole2.h>
#include <olectl.h>
#include "platform/win32/windows_api.h"

#include <cstring>

namespace dfm::win32 {
namespace {

Failure InvalidPicture() {
  return Failure{err::kInvalidPicture, "Invalid picture"};
}

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

class OlePicture final : public WindowPicture {
 public:
  explicit OlePicture(IPicture* picture) : picture_(picture) {}
  ~OlePicture() override { picture_->Release(); }
  OlePicture(const OlePicture&) = delete;
  OlePicture& operator=(const OlePicture&) = delete;

  void Draw(HDC dc, int x, int y, int dpi) const override {
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture_->get_Width(&w);
    picture_->get_Height(&h);
    // Hundredths of a millimetre: 2540 to an inch.
    const int cx = ::MulDiv(w, dpi, 2540), cy = ::MulDiv(h, dpi, 2540);
    picture_->Render(dc, x, y, cx, cy, 0, h, w, -h, nullptr);
  }

 private:
  IPicture* picture_;
};

}  // namespace

Result<std::unique_ptr<WindowPicture>> DecodeBackground(const Picture& picture) {
  if (picture.bytes.empty()) return InvalidPicture();
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, picture.bytes.size());
  if (memory == nullptr) return InvalidPicture();
  std::memcpy(::GlobalLock(memory), picture.bytes.data(), picture.bytes.size());
  ::GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    ::GlobalFree(memory);
    return InvalidPicture();
  }
  IPicture* decoded = nullptr;
  const HRESULT hr = ::OleLoadPicture(stream, static_cast<LONG>(picture.bytes.size()), FALSE,
                                      IID_IPicture, reinterpret_cast<void**>(&decoded));
  stream->Release();  // frees the memory too
  if (FAILED(hr) || decoded == nullptr) return InvalidPicture();
  return std::unique_ptr<WindowPicture>(std::make_unique<OlePicture>(decoded));
}

Result<IconHandle> DecodeIcon(const Picture& picture) {
  // The directory of an icon or cursor file: 6 bytes, then 16 per picture (width, height,
  // ..., size and offset of its bytes). The widest picture whose bytes lie in the file.
  const Bytes& b = picture.bytes;
  constexpr std::size_t kDir = 6, kEntry = 16;
  if (b.size() < kDir) return InvalidPicture();
  std::size_t best_at = 0, best_size = 0;
  unsigned best_width = 0;
  for (std::size_t i = 0, n = Le(b, 4, 2); i < n && kDir + (i + 1) * kEntry <= b.size(); ++i) {
    const std::size_t e = kDir + i * kEntry;
    const std::size_t size = Le(b, e + 8, 4), at = Le(b, e + 12, 4);
    const unsigned width = b[e] == 0 ? 256 : b[e];
    if (at >= b.size() || size > b.size() - at || size < 40) continue;
    if (width > best_width) best_at = at, best_size = size, best_width = width;
  }
  if (best_width == 0) return InvalidPicture();
  // A cursor's picture is an icon's picture; the hot spot is not needed for a window icon.
  HICON icon = ::CreateIconFromResourceEx(const_cast<BYTE*>(b.data() + best_at),
                                          static_cast<DWORD>(best_size), TRUE, 0x00030000, 0, 0,
                                          LR_DEFAULTCOLOR);
  if (icon == nullptr) return InvalidPicture();
  return IconHandle(icon);
}

}  // namespace dfm::win32
