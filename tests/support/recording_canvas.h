// A credits canvas for tests: text is 10 pixels wide per character and 20 high, the client
// area 481 x 292; every call is recorded into a log that outlives the canvas.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "credits/credits_canvas.h"

namespace dfm::testing {

struct CanvasLog {
  struct Draw {
    std::string text;
    int x, y;
    Rgb colour;
    friend bool operator==(const Draw&, const Draw&) = default;
  };
  std::string font;
  int points = 0;
  Rgb back;
  int width = 0, height = 0;  // the image
  std::vector<Draw> draws;
  std::vector<int> copies;  // y of each copy into the window
  int opened = 0, fronts = 0;
  bool closed = false;
  std::size_t close_after = 1000;  // copies, then the user closes the window
};

class RecordingCanvas final : public CreditsCanvas {
 public:
  explicit RecordingCanvas(CanvasLog& log) : log_(log) {
    ++log_.opened;
    log_.closed = false;
  }
  void SetFont(const std::string& face, int points) override {
    log_.font = face;
    log_.points = points;
  }
  void SetBackground(const Rgb& colour) override { log_.back = colour; }
  int TextWidth(const std::string& text) override { return 10 * static_cast<int>(text.size()); }
  int TextHeight(const std::string&) override { return 20; }
  int ClientWidth() const override { return 481; }
  int ClientHeight() const override { return 292; }
  void ResizeImage(int width, int height) override {
    log_.width = width;
    log_.height = height;
  }
  void DrawText(const std::string& text, int x, int y, const Rgb& colour) override {
    log_.draws.push_back({text, x, y, colour});
  }
  void CopyImageToWindow(int, int y) override {
    log_.copies.push_back(y);
    if (log_.copies.size() >= log_.close_after) log_.closed = true;
  }
  void Show() override {}
  void BringToFront() override { ++log_.fronts; }
  void Close() override { log_.closed = true; }
  bool IsClosed() const override { return log_.closed; }

 private:
  CanvasLog& log_;
};

}  // namespace dfm::testing
