// The installed-mods window on Win32: a report list view with a heading line for each
// game folder, three buttons and a line with a progress bar that shows while a mod is
// being removed; the
// manifest goes into a read-only edit control in a window of its own.
#include "platform/win32/windows_api.h"
// after <windows.h>, which it needs
#include <commctrl.h>

#include "ui/win32/win32_installed_mods_window.h"
#include "ui/win32/win32_ui.h"

namespace dfm::win32 {
namespace {

constexpr char kClassName[] = "DFModInstallerMods";
constexpr char kTextClassName[] = "DFModInstallerText";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
// Twips: the client area, the margins and the buttons; the columns of the list, which
// fit in it beside a vertical scroll bar.
constexpr int kWidth = 12900, kHeight = 6300, kGap = 150, kButtonW = 1350, kButtonH = 420;
constexpr int kBusyW = 2100;  // the line before the progress bar
constexpr struct {
  const char* caption;
  int width;
} kColumns[] = {{"Mod", 2400},     {"Installed", 2100}, {"Installer", 2100},
                {"Changed", 2400}, {"State", 1500},     {"Covered by", 1800}};
constexpr int kProgressSteps = 1000;  // the bar's range: thousandths of the undo

enum ControlId { kList = 100, kRemove, kDetails, kClose, kBusy, kProgress };

struct GdiDeleter {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
using GdiHandle = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDeleter>;

LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TextProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SIZE) {
    ::MoveWindow(::GetWindow(hwnd, GW_CHILD), 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
    return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wp, lp);
}

// Line breaks as the edit control wants them.
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

struct InstalledModsWindowView::Impl {
  HWND hwnd = nullptr, list = nullptr, remove = nullptr, details = nullptr, close = nullptr;
  HWND busy_line = nullptr, progress = nullptr, text = nullptr;
  int dpi = 96;
  bool updating = false;  // the view itself changes the selection
  bool wait = false;
  std::vector<std::string> lines;  // what the list shows, one text per row
  GdiHandle font;
  InstalledModsWindow* presenter = nullptr;

  int Px(int twips) const { return TwipsToPixels(twips, dpi); }

  HWND Add(const char* cls, const char* caption, DWORD style, int id) {
    HWND child = ::CreateWindowExA(0, cls, caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    return child;
  }

  // Created in the Tab order: the list, Remove, Details, Close.
  void CreateControls() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    font.reset(::CreateFontIndirectA(&metrics.lfMessageFont));
    list = Add(WC_LISTVIEWA, "",
               WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, kList);
    ::SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    int i = 0;
    for (const auto& c : kColumns) {
      LVCOLUMNA column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.pszText = const_cast<char*>(c.caption);
      column.cx = Px(c.width);
      ::SendMessageA(list, LVM_INSERTCOLUMNA, i++, reinterpret_cast<LPARAM>(&column));
    }
    remove = Add("BUTTON", "&Remove", WS_TABSTOP | BS_DEFPUSHBUTTON, kRemove);
    details = Add("BUTTON", "&Details", WS_TABSTOP | BS_PUSHBUTTON, kDetails);
    close = Add("BUTTON", "Close", WS_TABSTOP | BS_PUSHBUTTON, kClose);
    busy_line = Add("STATIC", "Removing the mod...", SS_LEFT | SS_CENTERIMAGE, kBusy);
    ::ShowWindow(busy_line, SW_HIDE);
    progress = Add(PROGRESS_CLASSA, "", 0, kProgress);
    ::SendMessageA(progress, PBM_SETRANGE32, 0, kProgressSteps);
    ::ShowWindow(progress, SW_HIDE);
  }

  void Layout(int width, int height) {
    const int gap = Px(kGap), bw = Px(kButtonW), bh = Px(kButtonH);
    const int y = height - gap - bh;
    ::MoveWindow(list, gap, gap, width - 2 * gap, y - 2 * gap, TRUE);
    int x = width - 3 * (bw + gap);
    for (HWND b : {remove, details, close}) {
      ::MoveWindow(b, x, y, bw, bh, TRUE);
      x += bw + gap;
    }
    ::MoveWindow(busy_line, gap, y, Px(kBusyW), bh, TRUE);
    ::MoveWindow(progress, gap + Px(kBusyW), y + gap / 2, width - 4 * (bw + gap) - Px(kBusyW),
                 bh - gap, TRUE);
  }

  void Click(int id) {
    if (presenter == nullptr) return;
    if (id == kRemove || id == IDOK) presenter->ClickRemove();
    if (id == kDetails) presenter->ClickDetails();
    if (id == kClose || id == IDCANCEL) presenter->ClickClose();
  }

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED) Click(LOWORD(wp));
        return 0;
      case WM_NOTIFY: {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lp);
        if (change->hdr.hwndFrom == list && change->hdr.code == LVN_ITEMCHANGED && !updating &&
            presenter != nullptr && (change->uNewState & LVIS_SELECTED) != 0 &&
            (change->uOldState & LVIS_SELECTED) == 0)
          presenter->Select(change->iItem);
        if (change->hdr.hwndFrom == list && change->hdr.code == NM_DBLCLK && presenter != nullptr)
          presenter->ClickDetails();
        return 0;
      }
      case WM_SIZE:
        Layout(LOWORD(lp), HIWORD(lp));
        return 0;
      case WM_CLOSE:
        if (presenter != nullptr) {
          presenter->ClickClose();
        } else {
          ::DestroyWindow(hwnd);
        }
        return 0;
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
      default:
        break;
    }
    return ::DefWindowProcA(hwnd, msg, wp, lp);
  }

  void SetRow(int at, const InstalledModRow& r) {
    const std::string* cells[] = {&r.mod,     &r.installed, &r.installer,
                                  &r.changes, &r.state,     &r.covered_by};
    const std::string heading = "Game folder: " + r.folder;
    for (int c = 0; c < 6; ++c) {
      LVITEMA item{};
      item.mask = LVIF_TEXT;
      item.iItem = at;
      item.iSubItem = c;
      std::string text = r.heading ? (c == 0 ? heading : std::string()) : *cells[c];
      item.pszText = text.data();
      ::SendMessageA(list, c == 0 ? LVM_INSERTITEMA : LVM_SETITEMTEXTA, c == 0 ? 0 : at,
                     reinterpret_cast<LPARAM>(&item));
    }
  }
};

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  using Impl = InstalledModsWindowView::Impl;
  if (msg == WM_NCCREATE) {
    auto* impl = static_cast<Impl*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    impl->hwnd = hwnd;
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
  }
  auto* impl = reinterpret_cast<Impl*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (impl == nullptr || impl->hwnd != hwnd) return ::DefWindowProcA(hwnd, msg, wp, lp);
  return impl->Handle(msg, wp, lp);
}

bool Register(const char* name, WNDPROC proc) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(1));
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

InstalledModsWindowView::InstalledModsWindowView() : impl_(std::make_unique<Impl>()) {}

InstalledModsWindowView::~InstalledModsWindowView() {
  if (impl_->text != nullptr) ::DestroyWindow(impl_->text);
  if (impl_->hwnd != nullptr) {
    ::SetWindowLongPtrA(impl_->hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(impl_->hwnd);
  }
}

bool InstalledModsWindowView::Create() {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  if (!Register(kClassName, WindowProc) || !Register(kTextClassName, TextProc)) return false;
  Impl& w = *impl_;
  w.dpi = ScreenDpi();
  RECT r{0, 0, w.Px(kWidth), w.Px(kHeight)};
  ::AdjustWindowRectEx(&r, kStyle, FALSE, 0);
  const int cx = r.right - r.left, cy = r.bottom - r.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - cx) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - cy) / 2;
  if (::CreateWindowExA(0, kClassName, kInstalledModsTitle, kStyle, x, y, cx, cy, nullptr, nullptr,
                        ::GetModuleHandleA(nullptr), &w) == nullptr) {
    w.hwnd = nullptr;
    return false;
  }
  w.CreateControls();
  RECT client;
  ::GetClientRect(w.hwnd, &client);
  w.Layout(client.right, client.bottom);
  return true;
}

HWND__* const* InstalledModsWindowView::handle() const {
  return &impl_->hwnd;
}

void InstalledModsWindowView::Attach(InstalledModsWindow& presenter) {
  impl_->presenter = &presenter;
}

void InstalledModsWindowView::Run() {
  Impl& w = *impl_;
  MSG msg;
  ::SetFocus(w.list);
  while (w.hwnd != nullptr && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // Tab, Enter (IDOK) and Escape (IDCANCEL) as in a dialog box.
    if (w.hwnd != nullptr && ::IsDialogMessageA(w.hwnd, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

void InstalledModsWindowView::ControlsChanged(const InstalledModsControls& c) {
  Impl& w = *impl_;
  if (w.hwnd == nullptr) return;
  w.updating = true;
  ::SetWindowTextA(w.hwnd, c.title.c_str());
  std::vector<std::string> lines;
  for (const auto& r : c.rows) {
    lines.push_back(r.folder + '\t' + r.mod + '\t' + r.installed + '\t' + r.state + '\t' +
                    r.covered_by);
  }
  if (lines != w.lines) {
    ::SendMessageA(w.list, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < c.rows.size(); ++i) w.SetRow(static_cast<int>(i), c.rows[i]);
    w.lines = std::move(lines);
  }
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = 0;
  ::SendMessageA(w.list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&state));
  if (c.selected >= 0) {
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(w.list, LVM_SETITEMSTATE, c.selected, reinterpret_cast<LPARAM>(&state));
    ::SendMessageA(w.list, LVM_ENSUREVISIBLE, c.selected, FALSE);
  }
  ::EnableWindow(w.remove, c.remove_enabled && !c.busy);
  ::EnableWindow(w.details, c.details_enabled && !c.busy);
  ::EnableWindow(w.close, !c.busy);
  ::ShowWindow(w.busy_line, c.busy ? SW_SHOWNA : SW_HIDE);
  ::ShowWindow(w.progress, c.busy ? SW_SHOWNA : SW_HIDE);
  const std::size_t total = c.progress_total > 0 ? c.progress_total : 1;
  ::SendMessageA(w.progress, PBM_SETPOS,
                 static_cast<WPARAM>(c.progress_done * kProgressSteps / total), 0);
  if (c.busy != w.wait) {
    w.wait = c.busy;
    ShowWaitCursor(c.busy);
  }
  w.updating = false;
  if (!::IsWindowVisible(w.hwnd)) ::ShowWindow(w.hwnd, SW_SHOW);
  ::UpdateWindow(w.hwnd);
}

void InstalledModsWindowView::ShowText(const std::string& title, const std::string& text) {
  Impl& w = *impl_;
  if (w.text == nullptr || !::IsWindow(w.text)) {
    w.text = ::CreateWindowExA(0, kTextClassName, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, w.Px(9600), w.Px(7200), w.hwnd, nullptr,
                               ::GetModuleHandleA(nullptr), nullptr);
    if (w.text == nullptr) return;
    HWND edit = ::CreateWindowExA(
        WS_EX_CLIENTEDGE, "EDIT", "",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY, 0, 0, 0, 0,
        w.text, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(ANSI_FIXED_FONT)),
                   FALSE);
    RECT client;
    ::GetClientRect(w.text, &client);
    ::MoveWindow(edit, 0, 0, client.right, client.bottom, FALSE);
  }
  ::SetWindowTextA(w.text, title.c_str());
  ::SetWindowTextA(::GetWindow(w.text, GW_CHILD), WithCrLf(text).c_str());
  ::ShowWindow(w.text, SW_SHOW);
  ::SetForegroundWindow(w.text);
}

void InstalledModsWindowView::Close() {
  Impl& w = *impl_;
  if (w.text != nullptr && ::IsWindow(w.text)) ::DestroyWindow(w.text);
  w.text = nullptr;
  if (w.hwnd != nullptr) ::DestroyWindow(w.hwnd);
}

}  // namespace dfm::win32
