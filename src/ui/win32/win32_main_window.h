// The installer's windows on Win32: the main window's view and the credits window. The
// installer program's main includes this; it declares nothing from <windows.h>.
#pragma once

#include <memory>

#include "credits/credits_canvas.h"
#include "shell/main_view.h"
#include "shell/main_window.h"

struct HWND__;  // the system's window handle type, as <windows.h> declares it

namespace dfm::win32 {

// The main window: the controls at their places in twips, converted with the screen's
// DPI, a fixed border, centred on the screen. It renders the presenter's state and
// forwards the clicks and close requests to it.
class MainWindowView final : public MainView {
 public:
  MainWindowView();
  ~MainWindowView() override;
  MainWindowView(const MainWindowView&) = delete;
  MainWindowView& operator=(const MainWindowView&) = delete;

  // Creates the window (hidden): false when the system has no desktop to put it on.
  bool Create();
  // The window's handle, where modal questions find their owner (null before Create and
  // after the window closed).
  HWND__* const* handle() const;
  // The presenter the window's events go to; it outlives the message loop.
  void Attach(MainWindow& presenter);
  // Runs the message loop until the window has closed.
  void Run();

  void ControlsChanged(const MainControls& controls) override;
  void StatusAdded(const std::string& entry) override;
  void StatusCleared() override;
  Status ShowIcon(const Picture& picture) override;
  Status ShowBackground(const Picture& picture) override;
  std::unique_ptr<CreditsCanvas> OpenCreditsWindow() override;
  void EndProgram() override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The credits window: a fixed-size tool window owned by `owner` that paints, each frame,
// the band of the credits image it covers through a memory bitmap of its own size.
std::unique_ptr<CreditsCanvas> MakeCreditsWindow(HWND__* owner);

}  // namespace dfm::win32
