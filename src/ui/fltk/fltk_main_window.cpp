#include "ui/fltk/fltk_main_window.h"

#include <cmath>

#include "shell/folder_label.h"

#include "ui/fltk/fltk_credits_window.h"
#include "ui/fltk/fltk_host.h"
#include "ui/fltk/fltk_pictures.h"

// FLTK last: through Xlib it defines macros (Status, None, ...) that clash with the core.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/fl_draw.H>
#undef Status
#include "ui/fltk/fltk_keys.h"

namespace dfm {
namespace {

constexpr int kClientWidth = 7215;
constexpr int kNonClientHeight = 375;  // title bar and borders of the window's outer height
constexpr int kDialogFontSize = 11;    // the system's dialog font
constexpr int kModNameFontSize = 16;   // Arial 12 point

int Px(int twips) {
  return TwipsToPixels(twips);
}

int ClientHeight(int outer_twips) {
  return Px(outer_twips - kNonClientHeight);
}

// A frame: an etched border whose caption interrupts its top edge. The children are
// placed relative to the frame in twips.
class Frame final : public Fl_Group {
 public:
  Frame(int left, int top, int width, int height, const char* caption)
      : Fl_Group(Px(left), Px(top), Px(width), Px(height)), caption_(caption) {}
  template <class W>
  W* Add(int left, int top, int width, int height) {
    auto* child = new W(x() + Px(left), y() + Px(top), Px(width), Px(height));
    add(child);
    child->labelsize(kDialogFontSize);
    return child;
  }
  void draw() override {
    fl_font(FL_HELVETICA, kDialogFontSize);
    const int half = fl_height() / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), y() + half, w(), h() - half, FL_BACKGROUND_COLOR);
    if (*caption_ != '\0') {
      const int tw = static_cast<int>(fl_width(caption_)) + 4;
      fl_rectf(x() + 6, y(), tw, fl_height(), FL_BACKGROUND_COLOR);
      fl_color(FL_FOREGROUND_COLOR);
      fl_draw(caption_, x() + 8, y() + fl_height() - fl_descent());
    }
    draw_children();
  }

 private:
  const char* caption_;
};

class MainFrame final : public Fl_Double_Window {
 public:
  using Fl_Double_Window::Fl_Double_Window;
  void draw() override {
    fl_rectf(0, 0, w(), h(), FL_BACKGROUND_COLOR);
    if (background) background->draw(0, 0);
    draw_children();
  }
  std::unique_ptr<Fl_RGB_Image> background;
};

void Apply(Fl_Button* b, const ButtonState& s) {
  b->copy_label(s.caption.c_str());
  s.visible ? b->show() : b->hide();
  s.enabled ? b->activate() : b->deactivate();
}

}  // namespace

struct Handler {
  MainWindow* presenter = nullptr;
  void (MainWindow::*click)() = nullptr;
};

struct FltkMainView::Widgets {
  MainFrame window{Px(kClientWidth), ClientHeight(kCollapsedHeight), ""};
  Frame* mod_frame = nullptr;
  Fl_Button* about = nullptr;
  Fl_Box* mod_name = nullptr;
  Fl_Box* folder = nullptr;
  Fl_Button* change = nullptr;
  Fl_Button* install = nullptr;
  Frame* status_frame = nullptr;
  FocusList* status = nullptr;
  Fl_Box* progress = nullptr;
  std::unique_ptr<Fl_RGB_Image> icon;
  MainWindow* presenter = nullptr;
  Handler handlers[3];
  int frame_left = kStatusFrameHidden;
};

FltkMainView::FltkMainView() : w_(std::make_unique<Widgets>()) {
  Widgets& w = *w_;
  // FLTK moves the focus in the order of the children: Change, the status list, Install,
  // About. Install and the status frame never show together, so their overlap is not drawn.
  w.window.begin();
  auto* folder_frame = new Frame(0, 640, 7215, 615, "Installation Folder:");
  w.change = folder_frame->Add<EnterButton<Fl_Button>>(6240, 240, 855, 255);
  w.folder = folder_frame->Add<Fl_Box>(120, 240, 6015, 255);
  w.folder->align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  folder_frame->end();
  w.status_frame = new Frame(kStatusFrameHidden, 1260, 7215, 3075, "Status (Log)");
  w.status = w.status_frame->Add<FocusList>(120, 360, 6975, 2595);
  w.status->format_char(0);  // entries are shown as they are
  w.status->textsize(kDialogFontSize);
  w.progress = w.status_frame->Add<Fl_Box>(120, 240, 15, 135);
  w.progress->box(FL_FLAT_BOX);
  w.progress->color(fl_rgb_color(0, 0, 255));
  w.status_frame->end();
  w.install = new EnterButton<Fl_Button>(Px(6000), Px(1320), Px(1095), Px(375));
  w.install->labelsize(kDialogFontSize);
  w.mod_frame = new Frame(0, -85, 7215, 735, "");
  w.about = w.mod_frame->Add<EnterButton<Fl_Button>>(6578, 110, 615, 610);
  w.mod_name = w.mod_frame->Add<Fl_Box>(120, 240, 6975, 345);
  w.mod_name->labelfont(FL_HELVETICA);
  w.mod_name->labelsize(kModNameFontSize);
  w.mod_frame->end();
  w.window.end();
  w.window.size_range(w.window.w(), w.window.h(), w.window.w(), w.window.h());
  w.window.position((Fl::w() - w.window.w()) / 2, (Fl::h() - w.window.h()) / 2);
}

FltkMainView::~FltkMainView() = default;

void FltkMainView::Attach(MainWindow& presenter) {
  Widgets& w = *w_;
  w.presenter = &presenter;
  w.handlers[0] = {&presenter, &MainWindow::ClickInstall};
  w.handlers[1] = {&presenter, &MainWindow::ClickChange};
  w.handlers[2] = {&presenter, &MainWindow::ClickAbout};
  Fl_Button* buttons[] = {w.install, w.change, w.about};
  for (int i = 0; i < 3; ++i) {
    buttons[i]->callback(
        [](Fl_Widget*, void* data) {
          auto* h = static_cast<Handler*>(data);
          (h->presenter->*h->click)();
        },
        &w.handlers[i]);
  }
  w.window.callback(
      [](Fl_Widget*, void* data) {
        // Escape is no close request here: only the close box and Alt+F4 are.
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
        auto* p = static_cast<MainWindow*>(data);
        if (p->RequestClose()) p->EndProgram();
      },
      &presenter);
}

void FltkMainView::Run() {
  while (w_->window.shown()) Fl::wait();
}

void FltkMainView::ControlsChanged(const MainControls& c) {
  Widgets& w = *w_;
  w.window.copy_label(c.title.c_str());
  w.mod_name->copy_label(c.mod_name.c_str());
  fl_font(w.folder->labelfont(), w.folder->labelsize());
  const std::string folder =
      ShortenPathMiddle(c.folder, w.folder->w() - 4, [](std::string_view text) {
        return static_cast<int>(std::ceil(fl_width(text.data(), static_cast<int>(text.size()))));
      });
  w.folder->copy_label(folder.c_str());
  Apply(w.about, c.about);
  Apply(w.change, c.change);
  Apply(w.install, c.install);
  if (c.status_frame_left != w.frame_left) {
    w.status_frame->position(Px(c.status_frame_left), w.status_frame->y());
    w.frame_left = c.status_frame_left;
  }
  w.progress->size(std::max(0, Px(c.progress_width)), w.progress->h());
  const int height = ClientHeight(c.window_height);
  if (height != w.window.h()) {
    w.window.size_range(w.window.w(), height, w.window.w(), height);
    w.window.size(w.window.w(), height);
  }
  w.window.cursor(c.pointer == MousePointer::kWait ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
  if (!w.window.shown()) w.window.show();
  w.window.redraw();
}

// The list follows its newest entry while its last entry is in view; a player who scrolled
// up to read stays where they are.
void FltkMainView::StatusAdded(const std::string& entry) {
  FocusList& list = *w_->status;
  const bool following = list.size() == 0 || list.displayed(list.size());
  list.add(entry.c_str());
  if (following) list.bottomline(list.size());
}

void FltkMainView::StatusCleared() {
  w_->status->clear();
}

Status FltkMainView::ShowIcon(const Picture& picture) {
  auto image = DecodeIcon(picture);
  if (!image) return image.failure();
  w_->icon = std::move(*image);
  w_->window.icon(w_->icon.get());
  return {};
}

Status FltkMainView::ShowBackground(const Picture& picture) {
  auto image = DecodeBackground(picture);
  if (!image) return image.failure();
  w_->window.background = std::move(*image);
  w_->window.redraw();
  return {};
}

std::unique_ptr<CreditsCanvas> FltkMainView::OpenCreditsWindow() {
  return MakeFltkCreditsWindow();
}

void FltkMainView::EndProgram() {
  w_->window.hide();
}

}  // namespace dfm
