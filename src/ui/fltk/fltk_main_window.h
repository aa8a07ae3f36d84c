// The main window on FLTK: the controls at their places in twips (15 to a pixel), a fixed
// border, centred on the screen. It renders the presenter's state and forwards the clicks
// and close requests to it.
#pragma once

#include <memory>

#include "shell/main_view.h"
#include "shell/main_window.h"

namespace dfm {

class FltkMainView final : public MainView {
 public:
  FltkMainView();
  ~FltkMainView() override;
  FltkMainView(const FltkMainView&) = delete;
  FltkMainView& operator=(const FltkMainView&) = delete;

  // The presenter the window's events go to; it outlives the view's event loop.
  void Attach(MainWindow& presenter);
  // Runs the event loop until the window has closed.
  void Run();

  void ControlsChanged(const MainControls& controls) override;
  void StatusAdded(const std::string& entry) override;
  void StatusCleared() override;
  Status ShowIcon(const Picture& picture) override;
  Status ShowBackground(const Picture& picture) override;
  std::unique_ptr<CreditsCanvas> OpenCreditsWindow() override;
  void EndProgram() override;

  struct Widgets;

 private:
  std::unique_ptr<Widgets> w_;
};

}  // namespace dfm
