// The installer's windows on FLTK: the host's event pump, dialogs and views. Only the
// installer program and the FLTK sources include this.
#pragma once

#include <memory>
#include <string>

#include "platform/dialogs.h"
#include "platform/event_pump.h"

namespace dfm {

// Pixels per twip at the installer's layout resolution (15 twips to a pixel).
inline constexpr int kTwipsPerPixel = 15;
inline int TwipsToPixels(int twips) {
  return twips / kTwipsPerPixel;
}

// Opens the connection to the display (X11, or XWayland under Wayland): false when there
// is none, and the installer then runs without a window.
bool OpenFltkDisplay();

std::unique_ptr<EventPump> MakeFltkEventPump();
// A message box or input box without a title of its own shows `default_title`.
std::unique_ptr<Dialogs> MakeFltkDialogs(std::string default_title);

}  // namespace dfm
