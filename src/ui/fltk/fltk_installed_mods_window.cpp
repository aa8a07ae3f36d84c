#include "ui/fltk/fltk_installed_mods_window.h"

// FLTK last: through Xlib it defines macros (Status, None, ...) that clash with the core.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#undef Status

namespace dfm {
namespace {

constexpr int kWidth = 900, kHeight = 420, kGap = 10, kButtonW = 90, kButtonH = 28;
constexpr int kFontSize = 12, kBusyW = 140;
// Mod, installed, installer, changes, state; the covering installs take the rest.
const int kColumns[] = {170, 175, 130, 165, 80, 0};
const char* const kCaptions[] = {"Mod", "Installed", "Installer", "Changed", "State", "Covered by"};
constexpr int kHeaderH = 20;

// A row's columns as the browser shows them: "@." keeps each column's text as it is.
std::string LineOf(const InstalledModRow& r) {
  if (r.heading) return "@b@." + r.folder;
  std::string line;
  for (const std::string* c : {&r.mod, &r.installed, &r.installer, &r.changes, &r.state})
    line += "@." + *c + "\t";
  return line + "@." + r.covered_by;
}

}  // namespace

struct ModsHandler {
  InstalledModsWindow* presenter = nullptr;
  void (InstalledModsWindow::*click)() = nullptr;
};

struct FltkInstalledModsView::Widgets {
  Fl_Double_Window window{kWidth, kHeight, kInstalledModsTitle};
  Fl_Hold_Browser* list = nullptr;
  Fl_Return_Button* remove = nullptr;
  Fl_Button* details = nullptr;
  Fl_Button* close = nullptr;
  Fl_Box* busy = nullptr;
  Fl_Progress* progress = nullptr;
  std::vector<std::string> lines;  // what the list shows
  Fl_Double_Window text_window{640, 480};
  Fl_Text_Display* text = nullptr;
  Fl_Text_Buffer buffer;
  InstalledModsWindow* presenter = nullptr;
  ModsHandler handlers[3];
};

FltkInstalledModsView::FltkInstalledModsView() : w_(std::make_unique<Widgets>()) {
  Widgets& w = *w_;
  w.window.begin();
  // Created in the Tab order: the list, Remove, Details, Close.
  int cx = kGap + 3;
  for (int i = 0; i < 6; ++i) {
    auto* caption = new Fl_Box(cx, kGap, kColumns[i] ? kColumns[i] : 150, kHeaderH, kCaptions[i]);
    caption->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    caption->labelsize(kFontSize);
    caption->labelfont(FL_HELVETICA_BOLD);
    cx += kColumns[i];
  }
  const int list_h = kHeight - 3 * kGap - kButtonH - kHeaderH;
  w.list = new Fl_Hold_Browser(kGap, kGap + kHeaderH, kWidth - 2 * kGap, list_h);
  w.list->column_widths(kColumns);
  w.list->column_char('\t');
  w.list->textsize(kFontSize);
  const int y = kHeight - kGap - kButtonH;
  int x = kWidth - 3 * (kButtonW + kGap);
  w.remove = new Fl_Return_Button(x, y, kButtonW, kButtonH, "Remove");
  w.details = new Fl_Button(x += kButtonW + kGap, y, kButtonW, kButtonH, "Details");
  w.close = new Fl_Button(x += kButtonW + kGap, y, kButtonW, kButtonH, "Close");
  // While an undo runs: what it does, and the progress bar beside it.
  w.busy = new Fl_Box(kGap, y, kBusyW, kButtonH, "Removing the mod...");
  w.busy->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  w.busy->hide();
  w.progress = new Fl_Progress(kGap + kBusyW, y + kGap / 2, kWidth - 4 * (kButtonW + kGap) - kBusyW,
                               kButtonH - kGap);
  w.progress->selection_color(FL_DARK_BLUE);
  w.progress->hide();
  for (Fl_Widget* b : {static_cast<Fl_Widget*>(w.remove), static_cast<Fl_Widget*>(w.details),
                       static_cast<Fl_Widget*>(w.close), static_cast<Fl_Widget*>(w.busy)})
    b->labelsize(kFontSize);
  w.window.end();
  w.window.resizable(w.list);
  w.window.position((Fl::w() - w.window.w()) / 2, (Fl::h() - w.window.h()) / 2);
  w.text_window.begin();
  w.text = new Fl_Text_Display(0, 0, w.text_window.w(), w.text_window.h());
  w.text->buffer(&w.buffer);
  w.text->textfont(FL_COURIER);
  w.text->textsize(kFontSize);
  w.text_window.end();
  w.text_window.resizable(w.text);
  w.text_window.set_non_modal();
}

FltkInstalledModsView::~FltkInstalledModsView() {
  w_->text->buffer(nullptr);
}

void FltkInstalledModsView::Attach(InstalledModsWindow& presenter) {
  Widgets& w = *w_;
  w.presenter = &presenter;
  w.handlers[0] = {&presenter, &InstalledModsWindow::ClickRemove};
  w.handlers[1] = {&presenter, &InstalledModsWindow::ClickDetails};
  w.handlers[2] = {&presenter, &InstalledModsWindow::ClickClose};
  Fl_Widget* buttons[] = {w.remove, w.details, w.close};
  for (int i = 0; i < 3; ++i) {
    buttons[i]->callback(
        [](Fl_Widget*, void* data) {
          auto* h = static_cast<ModsHandler*>(data);
          (h->presenter->*h->click)();
        },
        &w.handlers[i]);
  }
  w.list->callback(
      [](Fl_Widget* list, void* data) {
        static_cast<InstalledModsWindow*>(data)->Select(
            static_cast<Fl_Hold_Browser*>(list)->value() - 1);
      },
      &presenter);
  // Escape and the window's close box: Close.
  w.window.callback(
      [](Fl_Widget*, void* data) { static_cast<InstalledModsWindow*>(data)->ClickClose(); },
      &presenter);
}

void FltkInstalledModsView::Run() {
  while (w_->window.shown()) Fl::wait();
}

void FltkInstalledModsView::ControlsChanged(const InstalledModsControls& c) {
  Widgets& w = *w_;
  w.window.copy_label(c.title.c_str());
  std::vector<std::string> lines;
  for (const auto& r : c.rows) lines.push_back(LineOf(r));
  if (lines != w.lines) {
    w.list->clear();
    for (const auto& l : lines) w.list->add(l.c_str());
    w.lines = std::move(lines);
  }
  if (w.list->value() != c.selected + 1) w.list->value(c.selected + 1);
  c.remove_enabled && !c.busy ? w.remove->activate() : w.remove->deactivate();
  c.details_enabled && !c.busy ? w.details->activate() : w.details->deactivate();
  c.busy ? w.close->deactivate() : w.close->activate();
  c.busy ? w.busy->show() : w.busy->hide();
  c.busy ? w.progress->show() : w.progress->hide();
  w.progress->maximum(c.progress_total > 0 ? static_cast<float>(c.progress_total) : 1.0f);
  w.progress->value(static_cast<float>(c.progress_done));
  w.window.cursor(c.busy ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
  if (!w.window.shown()) w.window.show();
  w.window.redraw();
  Fl::flush();
}

void FltkInstalledModsView::ShowText(const std::string& title, const std::string& text) {
  Widgets& w = *w_;
  w.buffer.text(text.c_str());
  w.text_window.copy_label(title.c_str());
  w.text_window.show();
}

void FltkInstalledModsView::Close() {
  w_->text_window.hide();
  w_->window.hide();
}

}  // namespace dfm
