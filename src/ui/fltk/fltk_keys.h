// The keyboard as the installer's windows share it on FLTK: Enter presses the button that
// has the focus (FLTK's own buttons answer only the space bar), and the status list takes
// the focus like any other control. Include after the FLTK headers.
#pragma once

#include <algorithm>

#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>

namespace dfm {

// `Button` (Fl_Button or one derived from it) that Enter presses while it has the focus.
template <class Button>
class EnterButton final : public Button {
 public:
  using Button::Button;
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      this->do_callback();
      return 1;
    }
    return Button::handle(event);
  }
};

// A list that takes the focus (FLTK's plain browser passes it on) and scrolls with the
// arrow and page keys.
class FocusList final : public Fl_Browser {
 public:
  using Fl_Browser::Fl_Browser;
  int handle(int event) override {
    switch (event) {
      case FL_FOCUS:
      case FL_UNFOCUS:
        redraw();
        return 1;
      case FL_KEYBOARD:
        if (Scroll(Fl::event_key())) return 1;
        break;
      default:
        break;
    }
    return Fl_Browser::handle(event);
  }
  void draw() override {
    Fl_Browser::draw();
    if (Fl::focus() == this) draw_focus(FL_NO_BOX, x() + 1, y() + 1, w() - 2, h() - 2);
  }

 private:
  bool Scroll(int key) {
    const int rows = std::max(1, h() / std::max(1, textsize() + 2));
    int top = topline();
    switch (key) {
      case FL_Up:
        top -= 1;
        break;
      case FL_Down:
        top += 1;
        break;
      case FL_Page_Up:
        top -= rows;
        break;
      case FL_Page_Down:
        top += rows;
        break;
      case FL_Home:
        top = 1;
        break;
      case FL_End:
        bottomline(size());
        return true;
      default:
        return false;
    }
    topline(std::clamp(top, 1, std::max(1, size())));
    return true;
  }
};

}  // namespace dfm
