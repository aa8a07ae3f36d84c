// Message boxes, the input box and the folder browser on FLTK. Every dialog is modal; a
// message box without a title of its own shows the program's title.
#include <algorithm>
#include <vector>

#include "ui/fltk/fltk_host.h"

// FLTK last: through Xlib it defines macros (Status, None, ...) that clash with the core.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#undef Status
#include "ui/fltk/fltk_keys.h"

namespace dfm {
namespace {

struct IconLook {
  const char* glyph;
  Fl_Color colour;
};

IconLook LookOf(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::kCritical:
      return {"X", FL_RED};
    case MsgIcon::kQuestion:
      return {"?", FL_BLUE};
    case MsgIcon::kExclamation:
      return {"!", FL_DARK_YELLOW};
    case MsgIcon::kInformation:
      return {"i", FL_BLUE};
    case MsgIcon::kNone:
      break;
  }
  return {nullptr, FL_BLACK};
}

struct Choice {
  const char* label;
  MsgAnswer answer;
};

std::vector<Choice> ChoicesOf(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOkCancel:
      return {{"OK", MsgAnswer::kOk}, {"Cancel", MsgAnswer::kCancel}};
    case MsgButtons::kYesNo:
      return {{"Yes", MsgAnswer::kYes}, {"No", MsgAnswer::kNo}};
    case MsgButtons::kYesNoCancel:
      return {{"Yes", MsgAnswer::kYes}, {"No", MsgAnswer::kNo}, {"Cancel", MsgAnswer::kCancel}};
    case MsgButtons::kOk:
      break;
  }
  return {{"OK", MsgAnswer::kOk}};
}

// What closing the box without a button answers: Cancel where there is one, else the
// last button (No, or OK).
MsgAnswer EscapeAnswer(const std::vector<Choice>& choices) {
  return choices.back().answer;
}

// A Yes/No question is answered only by its buttons: Escape passes it by.
void CloseUnlessYesNo(Fl_Widget* win, void* data) {
  const bool yes_no = *static_cast<MsgButtons*>(data) == MsgButtons::kYesNo;
  if (yes_no && Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  win->hide();
}

constexpr int kFontSize = 12;
constexpr int kMinWidth = 200;
constexpr int kButtonW = 75, kButtonH = 23, kGap = 10, kIconSize = 32;

class FltkDialogs final : public Dialogs {
 public:
  explicit FltkDialogs(std::string default_title) : default_title_(std::move(default_title)) {}

  MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                       MsgIcon icon) override {
    const std::vector<Choice> choices = ChoicesOf(buttons);
    const IconLook look = LookOf(icon);
    std::string shown;  // CR LF and lone CR break lines; '@' would start a symbol
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      shown += text[i] == '\r' ? '\n' : text[i];
      if (text[i] == '@') shown += '@';
    }
    fl_font(FL_HELVETICA, kFontSize);
    int tw = 0, th = 0;
    fl_measure(shown.c_str(), tw, th, 0);
    const int icon_w = look.glyph ? kIconSize + kGap : 0;
    const int buttons_w = static_cast<int>(choices.size()) * (kButtonW + kGap) - kGap;
    tw += kGap;  // the label's inner margins
    const int w = std::max({2 * kGap + icon_w + tw, 2 * kGap + buttons_w, kMinWidth});
    const int text_h = std::max(th, look.glyph ? kIconSize : 0);
    const int h = 3 * kGap + text_h + kButtonH;

    Fl_Window win(w, h, title.empty() ? default_title_.c_str() : title.c_str());
    MsgAnswer answer = EscapeAnswer(choices);
    if (look.glyph) {
      auto* box = new Fl_Box(FL_OVAL_BOX, kGap, kGap, kIconSize, kIconSize, look.glyph);
      box->color(look.colour);
      box->labelcolor(FL_WHITE);
      box->labelfont(FL_HELVETICA_BOLD);
      box->labelsize(20);
    }
    auto* label = new Fl_Box(kGap + icon_w, kGap, tw, text_h);
    label->copy_label(shown.c_str());
    label->labelsize(kFontSize);
    label->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    int x = (w - buttons_w) / 2;
    struct Pick {
      MsgAnswer* out;
      MsgAnswer value;
      Fl_Window* win;
    };
    std::vector<Pick> picks(choices.size());
    for (std::size_t i = 0; i < choices.size(); ++i) {
      const int y = h - kGap - kButtonH;
      Fl_Button* b =
          i == 0
              ? static_cast<Fl_Button*>(new EnterButton<Fl_Return_Button>(x, y, kButtonW, kButtonH))
              : new EnterButton<Fl_Button>(x, y, kButtonW, kButtonH);
      b->label(choices[i].label);
      b->labelsize(kFontSize);
      picks[i] = {&answer, choices[i].answer, &win};
      b->callback(
          [](Fl_Widget*, void* data) {
            auto* p = static_cast<Pick*>(data);
            *p->out = p->value;
            p->win->hide();
          },
          &picks[i]);
      x += kButtonW + kGap;
    }
    win.end();
    win.callback(CloseUnlessYesNo, &buttons);
    win.size_range(w, h, w, h);
    win.set_modal();
    win.position((Fl::w() - w) / 2, (Fl::h() - h) / 2);
    win.show();
    while (win.shown()) Fl::wait();
    return answer;
  }

  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override {
    fl_message_title(title.empty() ? default_title_.c_str() : title.c_str());
    const char* got = fl_input("%s", default_text.c_str(), prompt.c_str());
    if (got == nullptr) return std::nullopt;
    return std::string(got);
  }

  Result<std::optional<std::string>> BrowseForFolder(const std::string& title) override {
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
    chooser.title(title.c_str());
    const int shown = chooser.show();
    if (shown < 0) {
      const char* why = chooser.errmsg();
      return Failure{err::kInvalidProcedureCall,
                     std::string("The folder browser could not be opened: ") +
                         (why != nullptr && *why != 0 ? why : "no reason given")};
    }
    if (shown != 0 || chooser.filename() == nullptr) return std::optional<std::string>();
    return std::optional<std::string>(chooser.filename());
  }

 private:
  const std::string default_title_;
};

}  // namespace

std::unique_ptr<Dialogs> MakeFltkDialogs(std::string default_title) {
  return std::make_unique<FltkDialogs>(std::move(default_title));
}

}  // namespace dfm
