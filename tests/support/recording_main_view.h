// A main-window view for tests: remembers what the presenter showed.
#pragma once

#include <string>
#include <vector>

#include "shell/main_view.h"
#include "support/recording_canvas.h"

namespace dfm::testing {

class RecordingMainView : public MainView {
 public:
  MainControls last;                // the controls as last shown
  std::vector<int> progress;        // each progress width shown, changes only
  std::vector<std::string> status;  // the status list as the view holds it
  int clears = 0;
  bool ended = false;
  std::vector<std::string> icons;        // paths of the icons shown, in order
  std::vector<std::string> backgrounds;  // paths of the background pictures shown
  Status picture_answer;                 // what the view answers for every picture
  CanvasLog credits;                     // what the credits windows showed

  void ControlsChanged(const MainControls& controls) override {
    if (progress.empty() || progress.back() != controls.progress_width) {
      progress.push_back(controls.progress_width);
    }
    last = controls;
  }
  void StatusAdded(const std::string& entry) override { status.push_back(entry); }
  void StatusCleared() override {
    status.clear();
    ++clears;
  }
  void EndProgram() override { ended = true; }
  std::unique_ptr<CreditsCanvas> OpenCreditsWindow() override {
    return std::make_unique<RecordingCanvas>(credits);
  }
  Status ShowIcon(const Picture& picture) override {
    icons.push_back(picture.path);
    return picture_answer;
  }
  Status ShowBackground(const Picture& picture) override {
    backgrounds.push_back(picture.path);
    return picture_answer;
  }
};

}  // namespace dfm::testing
