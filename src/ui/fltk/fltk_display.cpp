// Whether a display can be opened. FLTK's own fl_open_display() ends the program when the
// display does not answer, so the connection is tried first with Xlib.
#include <cstdlib>

#include "ui/fltk/fltk_host.h"

// FLTK last: through Xlib it defines macros (Status, None, ...) that clash with the core.
#include <FL/Fl.H>
#include <FL/x.H>
#undef Status

namespace dfm {

bool OpenFltkDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  if (x11 == nullptr || *x11 == '\0') return false;  // Wayland alone: XWayland sets DISPLAY
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  fl_open_display(display);
  return true;
}

}  // namespace dfm
