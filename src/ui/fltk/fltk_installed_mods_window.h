// The installed-mods window on FLTK: the list, Remove, Details and Close, and a window of
// its own for a manifest. It renders the presenter's state and forwards the clicks.
#pragma once

#include <memory>

#include "shell/installed_mods_window.h"

namespace dfm {

class FltkInstalledModsView final : public InstalledModsView {
 public:
  FltkInstalledModsView();
  ~FltkInstalledModsView() override;
  FltkInstalledModsView(const FltkInstalledModsView&) = delete;
  FltkInstalledModsView& operator=(const FltkInstalledModsView&) = delete;

  // The presenter the window's events go to; it outlives the view's event loop.
  void Attach(InstalledModsWindow& presenter);
  // Runs the event loop until the window has closed.
  void Run();

  void ControlsChanged(const InstalledModsControls& controls) override;
  void ShowText(const std::string& title, const std::string& text) override;
  void Close() override;

  struct Widgets;

 private:
  std::unique_ptr<Widgets> w_;
};

}  // namespace dfm
