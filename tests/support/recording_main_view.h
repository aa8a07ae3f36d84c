// A main-window view for tests: remembers what the presenter showed.
#pragma once

#include <string>
#include <vector>

#include "shell/main_view.h"

namespace dfm::testing {

class RecordingMainView : public MainView {
 public:
  MainControls last;                    // the controls as last shown
  std::vector<int> progress;            // each progress width shown, changes only
  std::vector<std::string> status;      // the status list as the view holds it
  std::vector<std::string> all_status;  // every entry ever added, across clears
  int clears = 0;
  bool ended = false;

  void ControlsChanged(const MainControls& controls) override {
    if (progress.empty() || progress.back() != controls.progress_width) {
      progress.push_back(controls.progress_width);
    }
    last = controls;
  }
  void StatusAdded(const std::string& entry) override {
    status.push_back(entry);
    all_status.push_back(entry);
  }
  void StatusCleared() override {
    status.clear();
    ++clears;
  }
  void EndProgram() override { ended = true; }
};

}  // namespace dfm::testing
