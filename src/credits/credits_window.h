// CreditsWindow: the presenter of the credits window. It draws the mod's credits file, line
// by line, centred, with a two-pixel drop shadow, into the canvas's off-screen image and
// scrolls that image upward through the window until the window is closed.
#pragma once

#include <string>
#include <vector>

#include "base/result.h"
#include "credits/credits_canvas.h"
#include "credits/credits_settings.h"
#include "platform/platform.h"

namespace dfm {

// "The Credits File: "<path>" Could Not Be Found!" CR LF "Credits Dialof Will Close!"
std::string MissingCreditsText(const std::string& path);

// The blank rows kept below the last line of the image.
inline constexpr int kCreditsImageMargin = 200;

class CreditsWindow {
 public:
  // Every reference outlives the presenter. `program_folder` ends in a separator.
  CreditsWindow(Platform& platform, const CreditsSettings& settings, std::string program_folder,
                CreditsCanvas& canvas)
      : platform_(platform),
        settings_(settings),
        path_(std::move(program_folder) + settings.file),
        canvas_(canvas) {}
  CreditsWindow(const CreditsWindow&) = delete;
  CreditsWindow& operator=(const CreditsWindow&) = delete;

  // Prepares the image and scrolls it until the window closes. A credits file that is
  // missing or unreadable is reported (critical icon) and the window closes.
  void StartUp();
  // The number of lines of the credits file (0 for an empty file).
  Result<int> CountLines();
  // Draws `line` centred at the current drawing position and moves it down one line.
  void DrawCreditLine(const std::string& line);
  // Copies the image one pixel higher per 0.05 s wait, from the window's bottom edge until
  // it has left the top, then again from the bottom; returns within one wait of the
  // window's closing.
  void ScrollLoop();
  // Test hook: `lines_per_tick` lines higher per wait instead, stopping once the last line
  // has come into view at the window's bottom edge; 0 keeps the pixel per wait.
  void set_speed(int lines_per_tick) { lines_per_tick_ = lines_per_tick; }

  int line_height() const { return line_height_; }
  int image_width() const { return image_width_; }
  int image_height() const { return image_height_; }
  int scroll_y() const { return scroll_y_; }

 private:
  bool Closing() const { return closing_ || canvas_.IsClosed(); }
  // The credits file's lines, split as the control file's are.
  Result<std::vector<std::string>> ReadLines();
  void FileMissing();

  Platform& platform_;
  const CreditsSettings& settings_;
  const std::string path_;
  CreditsCanvas& canvas_;
  bool closing_ = false;
  int scroll_x_ = 0;
  int scroll_y_ = 0;
  int image_width_ = 0;
  int image_height_ = 0;
  int line_height_ = 0;
  int draw_y_ = 0;  // the drawing position's top edge
  int lines_per_tick_ = 0;
};

}  // namespace dfm
