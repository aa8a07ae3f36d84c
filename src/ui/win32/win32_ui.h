// The Windows host's window-system services that the views and the program's main pick:
// message boxes and the other modal questions, the message pump, the wait cursor, the
// screen's DPI.
#pragma once

#include <memory>
#include <string>

#include "platform/dialogs.h"
#include "platform/event_pump.h"

struct HWND__;  // the system's window handle type, as <windows.h> declares it

namespace dfm::win32 {

// Modal questions owned by `*owner` (the main window; null while there is none, then they
// belong to no window). `default_title` stands in for an empty title.
std::unique_ptr<Dialogs> MakeDialogs(std::string default_title, HWND__* const* owner);

// Processes the thread's window messages. A WM_QUIT taken from the queue is posted again,
// so the program's own message loop still ends on it. The keys of `*dialog_keys` (when not
// null) move the focus as in a dialog: Tab, Shift+Tab, Enter and Escape.
std::unique_ptr<EventPump> MakeEventPump(HWND__* const* dialog_keys = nullptr);

// Shows the hourglass (true) or the arrow while the pointer is over the program's windows.
void ShowWaitCursor(bool wait);

// The screen's pixels per inch (96 at 100 %), and a length in twips (1440 to an inch) in
// pixels at `dpi`.
int ScreenDpi();
inline int TwipsToPixels(int twips, int dpi) {
  return static_cast<int>((static_cast<long long>(twips) * dpi) / 1440);
}

}  // namespace dfm::win32
