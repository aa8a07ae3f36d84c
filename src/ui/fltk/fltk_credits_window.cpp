#include "ui/fltk/fltk_credits_window.h"

#include <cmath>

#include "credits/credits_band.h"
#include "ui/fltk/fltk_host.h"

// FLTK last: through Xlib it defines macros (Status, None, ...) that clash with the core.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#undef Status

namespace dfm {
namespace {

constexpr int kClientWidth = 7215, kClientHeight = 4380;  // twips
constexpr Fl_Font kCreditsFont = FL_FREE_FONT;

// Tells the window manager that the credits are a dialog that can be moved and closed, not
// minimised, maximised or resized (window managers read these hints as they change).
void MarkAsDialog(Fl_Window& win) {
  const ::Window xid = fl_xid(&win);
  if (xid == 0) return;
  const Atom type = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE", False);
  const Atom dialog = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(fl_display, xid, type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&dialog), 1);
  // The Motif hints: functions move (4) and close (32); decorations border (2), title (8)
  // and window menu (16).
  const long motif[5] = {1 | 2, 4 | 32, 2 | 8 | 16, 0, 0};
  const Atom hints = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(fl_display, xid, hints, hints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(motif), 5);
}

Fl_Color ColourOf(const Rgb& c) {
  return fl_rgb_color(static_cast<uchar>(c.red), static_cast<uchar>(c.green),
                      static_cast<uchar>(c.blue));
}

// The window paints the band of the credits image it covers, in a back buffer.
class CreditsFrame final : public Fl_Double_Window {
 public:
  CreditsFrame()
      : Fl_Double_Window(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight), "Credits:") {
    end();
    size_range(w(), h(), w(), h());
    set_non_modal();  // stays above the main window, no task-bar entry of its own
    position((Fl::w() - w()) / 2, (Fl::h() - h()) / 2);
    callback([](Fl_Widget* w, void*) {
      static_cast<CreditsFrame*>(w)->closed = true;
      w->hide();
    });
  }
  void draw() override {
    fl_rectf(0, 0, w(), h(), back);
    if (!font_set) return;  // nothing is laid out before the font is known
    fl_push_clip(0, 0, w(), h());
    fl_font(kCreditsFont, font_px);
    const int baseline = fl_height() - fl_descent();
    for (const CreditsText& t : band.Between(-copied_y, h() - copied_y)) {
      fl_color(ColourOf(t.colour));
      fl_draw(t.text.c_str(), static_cast<int>(t.text.size()), t.x + copied_x,
              t.y + copied_y + baseline);
    }
    fl_pop_clip();
  }

  CreditsBand band;
  int copied_x = 0, copied_y = 0;
  Fl_Color back = FL_BLUE;
  int font_px = 19;
  bool font_set = false;
  bool closed = false;
};

class FltkCreditsCanvas final : public CreditsCanvas {
 public:
  void SetFont(const std::string& face, int points) override {
    static std::string name;  // FLTK keeps the pointer for as long as the font is used
    name = "B" + face;        // bold
    Fl::set_font(kCreditsFont, name.c_str());
    win_->font_px = static_cast<int>(std::lround(points * 96.0 / 72.0));
    win_->font_set = true;
  }
  void SetBackground(const Rgb& colour) override {
    win_->back = ColourOf(colour);
    win_->color(win_->back);
    win_->redraw();
  }
  int TextWidth(const std::string& text) override {
    fl_font(kCreditsFont, win_->font_px);
    return static_cast<int>(std::lround(fl_width(text.c_str())));
  }
  int TextHeight(const std::string&) override {
    fl_font(kCreditsFont, win_->font_px);
    return fl_height();
  }
  int ClientWidth() const override { return win_->w(); }
  int ClientHeight() const override { return win_->h(); }
  void ResizeImage(int, int) override { win_->band.Clear(); }
  void DrawText(const std::string& text, int x, int y, const Rgb& colour) override {
    win_->band.Add({text, x, y, TextHeight(text), colour});
  }
  void CopyImageToWindow(int x, int y) override {
    win_->copied_x = x;
    win_->copied_y = y;
    if (win_->shown()) win_->redraw();
  }
  void Show() override {
    win_->show();
    MarkAsDialog(*win_);
  }
  void BringToFront() override { win_->show(); }
  void Close() override {
    win_->closed = true;
    win_->hide();
  }
  bool IsClosed() const override { return win_->closed || !win_->shown(); }

 private:
  std::unique_ptr<CreditsFrame> win_ = std::make_unique<CreditsFrame>();
};

}  // namespace

std::unique_ptr<CreditsCanvas> MakeFltkCreditsWindow() {
  return std::make_unique<FltkCreditsCanvas>();
}

}  // namespace dfm
