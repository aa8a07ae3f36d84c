// What a host implements to show the credits window: a window with a hidden off-screen
// image. The presenter (CreditsWindow) measures and draws the text into the image once and
// then only copies the image into the window, one pixel higher each frame. Every
// coordinate is in pixels.
#pragma once

#include <string>

#include "credits/credits_settings.h"

namespace dfm {

class CreditsCanvas {
 public:
  virtual ~CreditsCanvas() = default;

  // The image's font: face, size in points, bold weight.
  virtual void SetFont(const std::string& face, int points) = 0;
  // The background colour of the window and of the image.
  virtual void SetBackground(const Rgb& colour) = 0;
  // The size of `text` in the image's font.
  virtual int TextWidth(const std::string& text) = 0;
  virtual int TextHeight(const std::string& text) = 0;
  // The window's client area.
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // Makes the image `width` x `height` pixels, all of the background colour.
  virtual void ResizeImage(int width, int height) = 0;
  // Draws `text` into the image with its top-left corner at (x, y).
  virtual void DrawText(const std::string& text, int x, int y, const Rgb& colour) = 0;
  // Copies the whole image into the window with its top-left corner at (x, y).
  virtual void CopyImageToWindow(int x, int y) = 0;
  // Shows the window, brings it in front of the others, closes it.
  virtual void Show() = 0;
  virtual void BringToFront() = 0;
  virtual void Close() = 0;
  // True once the window was closed (by the user, or by Close()).
  virtual bool IsClosed() const = 0;
};

}  // namespace dfm
