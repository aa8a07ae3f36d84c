// What a host implements to show the main window. The presenter (MainWindow) owns all
// state; a view only renders it and forwards the user's clicks and close requests to the
// presenter's event handlers.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "credits/credits_canvas.h"
#include "shell/picture_file.h"
#include "shell/window_state.h"

namespace dfm {

class MainView {
 public:
  virtual ~MainView() = default;

  // The controls changed (captions, visibility, positions, progress, pointer); show
  // `controls` now or on the next repaint. The status list is passed on separately below.
  virtual void ControlsChanged(const MainControls& controls) = 0;
  // `entry` became the last entry of the status list.
  virtual void StatusAdded(const std::string& entry) = 0;
  // The status list was emptied.
  virtual void StatusCleared() = 0;
  // The settings header named a picture for the window's icon (an icon or cursor file) or
  // its background. A picture the view cannot decode is a failure, which start-up reports
  // as a failure of that line. A view that shows no pictures accepts every one.
  virtual Status ShowIcon(const Picture& picture) {
    (void)picture;
    return {};
  }
  virtual Status ShowBackground(const Picture& picture) {
    (void)picture;
    return {};
  }
  // Opens the credits window, owned by the main window and not yet shown; nullptr for a
  // view that shows no windows.
  virtual std::unique_ptr<CreditsCanvas> OpenCreditsWindow() { return nullptr; }
  // The program ends at once: close the windows and leave the event loop. The presenter
  // does nothing more after this call.
  virtual void EndProgram() = 0;
};

// A view that shows nothing (benchmarks, unattended runs that only need the log).
class NullMainView final : public MainView {
 public:
  void ControlsChanged(const MainControls&) override {}
  void StatusAdded(const std::string&) override {}
  void StatusCleared() override {}
  void EndProgram() override {}
};

}  // namespace dfm
