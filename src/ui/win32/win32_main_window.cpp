// The main window on Win32: standard controls at their places in twips, converted with the
// screen's DPI; group boxes for the frames, a list box for the status list and a blue
// static control for the progress bar.
#include "platform/win32/windows_api.h"
// after <windows.h>, which it needs
#include <commctrl.h>

#include <algorithm>

#include "shell/folder_label.h"
#include "ui/win32/win32_main_window.h"
#include "ui/win32/win32_pictures.h"
#include "ui/win32/win32_ui.h"

namespace dfm::win32 {
namespace {

constexpr char kClassName[] = "DFModInstallerMain";
constexpr int kClientWidth = 7215;
constexpr int kNonClientHeight = 375;  // title bar and borders of the window's outer height
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Above IDOK and IDCANCEL, which the dialog keys send for Enter and Escape.
enum ControlId { kAbout = 100, kChange, kInstall, kModName, kFolder, kStatus, kProgress };

// A control's place in twips, relative to its frame (the window for the frames themselves).
struct Place {
  int left, top, width, height;
};

struct GdiDeleter {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
using GdiHandle = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDeleter>;

LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace

struct MainWindowView::Impl {
  HWND hwnd = nullptr;
  int dpi = 96;
  MainWindow* presenter = nullptr;
  HWND mod_frame = nullptr, about = nullptr, mod_name = nullptr;
  HWND folder_frame = nullptr, change = nullptr, folder = nullptr, install = nullptr;
  HWND status_frame = nullptr, status = nullptr, progress = nullptr;
  HWND focused = nullptr;  // the control to give the focus back to
  int frame_left = kStatusFrameHidden;
  int progress_width = 15;
  bool wait = false;
  GdiHandle dialog_font, mod_name_font, blue;
  IconHandle icon;
  std::unique_ptr<WindowPicture> background;

  int Px(int twips) const { return TwipsToPixels(twips, dpi); }

  HWND Add(const char* cls, DWORD style, int id, const Place& frame, const Place& p) {
    HWND child = ::CreateWindowExA(
        0, cls, "", WS_CHILD | WS_VISIBLE | style, Px(frame.left) + Px(p.left),
        Px(frame.top) + Px(p.top), Px(p.width), Px(p.height), hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(dialog_font.get()), FALSE);
    return child;
  }
  HWND Frame(const Place& p, const char* caption) {
    HWND frame = Add("BUTTON", BS_GROUPBOX, 0, {0, 0, 0, 0}, p);
    ::SetWindowTextA(frame, caption);
    return frame;
  }

  // The controls of the window's initial layout. Within a frame its controls come first:
  // siblings created earlier lie above, and the group box then draws only its border
  // around them.
  void CreateControls() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    dialog_font.reset(::CreateFontIndirectA(&metrics.lfMessageFont));
    mod_name_font.reset(::CreateFontA(-::MulDiv(12, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                      FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
    blue.reset(::CreateSolidBrush(RGB(0, 0, 255)));

    // The tab order is the order of creation: Change, the status list, Install, About.
    const Place folder_place{0, 640, 7215, 615};
    change =
        Add("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kChange, folder_place, {6240, 240, 855, 255});
    folder = Add("STATIC", SS_CENTER | SS_NOPREFIX, kFolder, folder_place, {120, 240, 6015, 255});
    folder_frame = Frame(folder_place, "Installation Folder:");

    const Place status_place{frame_left, 1260, 7215, 3075};
    progress = Add("STATIC", SS_LEFT, kProgress, status_place, {120, 240, progress_width, 135});
    status = Add("LISTBOX", WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
                 kStatus, status_place, {120, 360, 6975, 2595});
    status_frame = Frame(status_place, "Status (Log)");

    install =
        Add("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kInstall, {0, 0, 0, 0}, {6000, 1320, 1095, 375});

    const Place mod{0, -85, 7215, 735};
    about = Add("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kAbout, mod, {6578, 110, 615, 610});
    mod_name = Add("STATIC", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, kModName, mod,
                   {120, 240, 6975, 345});
    ::SendMessageA(mod_name, WM_SETFONT, reinterpret_cast<WPARAM>(mod_name_font.get()), FALSE);
    mod_frame = Frame(mod, "");
  }

  // The folder's path as the label has room for it, in the label's font.
  std::string FittedFolder(const std::string& path) const {
    RECT r{};
    ::GetClientRect(folder, &r);
    const HDC dc = ::GetDC(folder);
    const HGDIOBJ old = ::SelectObject(dc, dialog_font.get());
    std::string shown = ShortenPathMiddle(path, r.right, [dc](std::string_view text) {
      SIZE size{};
      ::GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
      return static_cast<int>(size.cx);
    });
    ::SelectObject(dc, old);
    ::ReleaseDC(folder, dc);
    return shown;
  }

  // A transparent label draws its text over what was there: a changed text has the window
  // paint its background there first.
  void SetLabel(HWND label, const std::string& text) {
    char old[1024] = {};
    ::GetWindowTextA(label, old, sizeof old);
    if (text == old) return;
    ::SetWindowTextA(label, text.c_str());
    RECT r;
    ::GetWindowRect(label, &r);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    ::InvalidateRect(hwnd, &r, TRUE);
    ::InvalidateRect(label, nullptr, FALSE);
  }

  // Moves the status frame and its controls to `left` twips.
  void MoveStatusFrame(int left) {
    const int dx = Px(left) - Px(frame_left);
    for (HWND control : {status_frame, status, progress}) {
      RECT r;
      ::GetWindowRect(control, &r);
      ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
      ::SetWindowPos(control, nullptr, r.left + dx, r.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    frame_left = left;
  }

  void Click(int id) {
    if (presenter == nullptr) return;
    switch (id) {
      case kAbout:
        presenter->ClickAbout();
        break;
      case kChange:
        presenter->ClickChange();
        break;
      case kInstall:
        presenter->ClickInstall();
        break;
      default:
        break;
    }
  }

  // As in a dialog, the control that had the focus when the window was left gets it back.
  void Focus(HWND control) {
    if (control != nullptr) ::SetFocus(control);
  }

  // Enter, which the dialog keys send as IDOK: presses the button that has the focus.
  void PressFocused() {
    const HWND focus = ::GetFocus();
    for (HWND button : {about, change, install})
      if (focus == button && ::IsWindowEnabled(button)) Click(::GetDlgCtrlID(button));
  }

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
          PressFocused();
        } else if (HIWORD(wp) == BN_CLICKED) {
          Click(LOWORD(wp));  // IDCANCEL (Escape) is none of the controls
        }
        return 0;
      case WM_CLOSE:
        if (presenter == nullptr || presenter->RequestClose()) {
          if (presenter != nullptr) {
            presenter->EndProgram();
          } else {
            ::DestroyWindow(hwnd);
          }
        }
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
          const HWND focus = ::GetFocus();
          if (focus != nullptr && ::IsChild(hwnd, focus)) focused = focus;
        } else if (focused != nullptr && ::IsWindowVisible(focused)) {
          Focus(focused);
          return 0;
        }
        break;
      case WM_DESTROY:
        hwnd = nullptr;
        ::PostQuitMessage(0);
        return 0;
      case WM_SETCURSOR:
        if (wait) {
          ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
          return TRUE;
        }
        break;
      case WM_CTLCOLORSTATIC:
        // The progress bar is blue; labels and frame captions show the window's background.
        if (reinterpret_cast<HWND>(lp) == progress) return reinterpret_cast<LRESULT>(blue.get());
        ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
      case WM_ERASEBKGND:
        if (background) {
          RECT r;
          ::GetClientRect(hwnd, &r);
          const HDC dc = reinterpret_cast<HDC>(wp);
          ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
          background->Draw(dc, 0, 0, dpi);
          return TRUE;
        }
        break;
      default:
        break;
    }
    return ::DefWindowProcA(hwnd, msg, wp, lp);
  }
};

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* impl =
        static_cast<MainWindowView::Impl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    impl->hwnd = hwnd;
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
  }
  auto* impl = reinterpret_cast<MainWindowView::Impl*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (impl == nullptr || impl->hwnd != hwnd) return ::DefWindowProcA(hwnd, msg, wp, lp);
  return impl->Handle(msg, wp, lp);
}

// The window's outer size for a client area of `width` x `height` pixels.
SIZE OuterSize(int width, int height) {
  RECT r{0, 0, width, height};
  ::AdjustWindowRectEx(&r, kStyle, FALSE, 0);
  return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

MainWindowView::MainWindowView() : impl_(std::make_unique<Impl>()) {}

MainWindowView::~MainWindowView() {
  if (impl_->hwnd != nullptr) {
    ::SetWindowLongPtrA(impl_->hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(impl_->hwnd);
  }
}

bool MainWindowView::Create() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(1));
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (::RegisterClassExA(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  Impl& w = *impl_;
  w.dpi = ScreenDpi();
  const SIZE outer = OuterSize(w.Px(kClientWidth), w.Px(kCollapsedHeight - kNonClientHeight));
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2;
  if (::CreateWindowExA(0, kClassName, "", kStyle, x, y, outer.cx, outer.cy, nullptr, nullptr,
                        instance, &w) == nullptr) {
    w.hwnd = nullptr;
    return false;
  }
  w.CreateControls();
  return true;
}

HWND__* const* MainWindowView::handle() const {
  return &impl_->hwnd;
}

void MainWindowView::Attach(MainWindow& presenter) {
  impl_->presenter = &presenter;
}

void MainWindowView::Run() {
  MSG msg;
  while (impl_->hwnd != nullptr && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageA(impl_->hwnd, &msg)) continue;  // Tab, Shift+Tab, Enter, Escape
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

namespace {

void Apply(HWND button, const ButtonState& s) {
  ::SetWindowTextA(button, s.caption.c_str());
  ::EnableWindow(button, s.enabled);
  ::ShowWindow(button, s.visible ? SW_SHOWNA : SW_HIDE);
}

}  // namespace

void MainWindowView::ControlsChanged(const MainControls& c) {
  Impl& w = *impl_;
  if (w.hwnd == nullptr) return;
  ::SetWindowTextA(w.hwnd, c.title.c_str());
  w.SetLabel(w.mod_name, c.mod_name);
  w.SetLabel(w.folder, w.FittedFolder(c.folder));
  Apply(w.about, c.about);
  Apply(w.change, c.change);
  Apply(w.install, c.install);
  if (c.status_frame_left != w.frame_left) w.MoveStatusFrame(c.status_frame_left);
  if (c.progress_width != w.progress_width) {
    w.progress_width = c.progress_width;
    ::SetWindowPos(w.progress, nullptr, 0, 0, std::max(0, w.Px(c.progress_width)), w.Px(135),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT client;
  ::GetClientRect(w.hwnd, &client);
  const int height = w.Px(c.window_height - kNonClientHeight);
  if (height != client.bottom) {
    const SIZE outer = OuterSize(w.Px(kClientWidth), height);
    ::SetWindowPos(w.hwnd, nullptr, 0, 0, outer.cx, outer.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const bool wait = c.pointer == MousePointer::kWait;
  if (wait != w.wait) {
    w.wait = wait;
    ShowWaitCursor(wait);
  }
  if (!::IsWindowVisible(w.hwnd)) {
    ::ShowWindow(w.hwnd, SW_SHOW);
    w.Focus(::GetNextDlgTabItem(w.hwnd, nullptr, FALSE));  // the first that takes it
  }
  ::UpdateWindow(w.hwnd);
}

void MainWindowView::StatusAdded(const std::string& entry) {
  Impl& w = *impl_;
  if (w.hwnd == nullptr) return;
  // The list follows its newest entry while its last entry is in view; a player who
  // scrolled up to read stays where they are.
  RECT client{};
  ::GetClientRect(w.status, &client);
  const LRESULT row = std::max<LRESULT>(1, ::SendMessageA(w.status, LB_GETITEMHEIGHT, 0, 0));
  const LRESULT count = ::SendMessageA(w.status, LB_GETCOUNT, 0, 0);
  const LRESULT top = ::SendMessageA(w.status, LB_GETTOPINDEX, 0, 0);
  const bool following = count <= top + std::max<LRESULT>(1, client.bottom / row);
  const LRESULT at =
      ::SendMessageA(w.status, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  if (at >= 0 && following) ::SendMessageA(w.status, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
}

void MainWindowView::StatusCleared() {
  if (impl_->hwnd != nullptr) ::SendMessageA(impl_->status, LB_RESETCONTENT, 0, 0);
}

Status MainWindowView::ShowIcon(const Picture& picture) {
  auto icon = DecodeIcon(picture);
  if (!icon) return icon.failure();
  Impl& w = *impl_;
  w.icon = std::move(*icon);
  if (w.hwnd != nullptr) {
    for (WPARAM size : {ICON_BIG, ICON_SMALL})
      ::SendMessageA(w.hwnd, WM_SETICON, size, reinterpret_cast<LPARAM>(w.icon.get()));
  }
  return {};
}

Status MainWindowView::ShowBackground(const Picture& picture) {
  auto decoded = DecodeBackground(picture);
  if (!decoded) return decoded.failure();
  Impl& w = *impl_;
  w.background = std::move(*decoded);
  if (w.hwnd != nullptr) ::InvalidateRect(w.hwnd, nullptr, TRUE);
  return {};
}

std::unique_ptr<CreditsCanvas> MainWindowView::OpenCreditsWindow() {
  return MakeCreditsWindow(impl_->hwnd);
}

void MainWindowView::EndProgram() {
  if (impl_->hwnd != nullptr) ::DestroyWindow(impl_->hwnd);
}

}  // namespace dfm::win32
