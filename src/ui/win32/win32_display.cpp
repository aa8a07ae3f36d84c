// The screen's resolution. The manifest declares the programs DPI aware, so this is the
// real resolution and Windows does not scale the windows as bitmaps.
#include "platform/win32/windows_api.h"

#include "ui/win32/win32_ui.h"

namespace dfm::win32 {

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace dfm::win32
