#include "credits/credits_window.h"

#include <algorithm>

#include "base/rounding.h"
#include "base/text_lines.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/file_exists.h"
#include "platform/file_system.h"
#include "platform/wait.h"

namespace dfm {

std::string MissingCreditsText(const std::string& path) {
  return "The Credits File: \"" + path + "\" Could Not Be Found!\r\nCredits Dialof Will Close!";
}

void CreditsWindow::FileMissing() {
  platform_.dialogs.MessageBox(MissingCreditsText(path_), {}, MsgButtons::kOk, MsgIcon::kCritical);
  canvas_.Close();
}

void CreditsWindow::StartUp() {
  if (!FileExists(platform_.fs, platform_.dialogs, path_)) return FileMissing();
  canvas_.SetFont(settings_.font, settings_.font_size);
  canvas_.SetBackground(settings_.back);
  line_height_ = canvas_.TextHeight("Test Height");
  auto count = CountLines();
  if (!count) return FileMissing();
  // Each line takes its height plus the two pixels of its shadow, so the image holds every
  // line of a long file, with the blank margin below the last.
  image_width_ = canvas_.ClientWidth();
  image_height_ = *count * (line_height_ + 2) + kCreditsImageMargin;
  auto lines = ReadLines();
  if (!lines) return FileMissing();
  canvas_.ResizeImage(image_width_, image_height_);
  draw_y_ = 0;
  for (const std::string& line : *lines) DrawCreditLine(line);
  scroll_x_ = 0;
  scroll_y_ = canvas_.ClientHeight();
  canvas_.Show();
  platform_.pump.ProcessPendingEvents();
  closing_ = false;
  ScrollLoop();
}

Result<std::vector<std::string>> CreditsWindow::ReadLines() {
  auto bytes = ReadWholeFile(platform_.fs, path_);
  if (!bytes) return bytes.failure();
  return SplitLines(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

Result<int> CreditsWindow::CountLines() {
  auto lines = ReadLines();
  if (!lines) return lines.failure();
  return static_cast<int>(lines->size());
}

void CreditsWindow::DrawCreditLine(const std::string& line) {
  const double left = image_width_ / 2.0 - canvas_.TextWidth(line) / 2.0;
  const int x = static_cast<int>(RoundHalfEven(left));
  const int y = draw_y_;
  canvas_.DrawText(line, x, y, settings_.shadow);
  canvas_.DrawText(line, x - 1, y + 1, settings_.shadow);
  canvas_.DrawText(line, x - 2, y + 2, settings_.fore);
  draw_y_ = y + 2 + line_height_;
}

void CreditsWindow::ScrollLoop() {
  const int start_y = scroll_y_;
  // Under the test hook: where the last line's bottom meets the window's bottom edge.
  const int last_in_view = std::min(start_y, start_y - (image_height_ - kCreditsImageMargin));
  for (;;) {
    canvas_.CopyImageToWindow(scroll_x_, scroll_y_);
    if (lines_per_tick_ > 0) {
      scroll_y_ = std::max(scroll_y_ - lines_per_tick_ * (line_height_ + 2), last_in_view);
    } else if (--scroll_y_ < -image_height_) {
      scroll_y_ = start_y;
    }
    WaitSeconds(platform_, 0.05);
    if (Closing()) return;
  }
}

}  // namespace dfm
