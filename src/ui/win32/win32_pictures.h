// The main window's pictures on Win32, decoded by the system: the background through OLE's
// picture loader (bitmaps, GIF, JPEG, icons, metafiles), the icon from the biggest picture
// of an icon or cursor file.
#pragma once

#include <memory>

#include "base/result.h"
#include "shell/picture_file.h"

#include "platform/win32/windows_api.h"

namespace dfm::win32 {

// A picture the system decoded; it draws itself scaled to the screen's DPI.
class WindowPicture {
 public:
  virtual ~WindowPicture() = default;
  virtual void Draw(HDC dc, int x, int y, int dpi) const = 0;
};

Result<std::unique_ptr<WindowPicture>> DecodeBackground(const Picture& picture);

struct IconDeleter {
  void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

Result<IconHandle> DecodeIcon(const Picture& picture);

}  // namespace dfm::win32
