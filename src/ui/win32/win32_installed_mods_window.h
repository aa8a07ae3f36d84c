// The installed-mods window on Win32. The installer program's run includes this; it
// declares nothing from <windows.h>.
#pragma once

#include <memory>

#include "shell/installed_mods_window.h"

struct HWND__;  // the system's window handle type, as <windows.h> declares it

namespace dfm::win32 {

// A resizable window with the list of installs (a report list view), Remove, Details and
// Close, sized in twips with the screen's DPI and centred on the screen. Tab moves from
// the list to Remove, Details and Close; Enter removes, Escape closes.
class InstalledModsWindowView final : public InstalledModsView {
 public:
  InstalledModsWindowView();
  ~InstalledModsWindowView() override;
  InstalledModsWindowView(const InstalledModsWindowView&) = delete;
  InstalledModsWindowView& operator=(const InstalledModsWindowView&) = delete;

  // Creates the window (hidden): false when the system has no desktop to put it on.
  bool Create();
  // The window's handle, the owner of modal questions (null once the window closed).
  HWND__* const* handle() const;
  void Attach(InstalledModsWindow& presenter);
  // Runs the message loop until the window has closed.
  void Run();

  void ControlsChanged(const InstalledModsControls& controls) override;
  void ShowText(const std::string& title, const std::string& text) override;
  void Close() override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace dfm::win32
