// The credits window on Win32: a tool window owned by the main window, of fixed size,
// centred on the screen. The credits image is kept as its texts; each frame paints the band
// the window covers into a memory bitmap of the window's size and copies that into the
// window with BitBlt, so credits of any length need no taller bitmap.
#include "platform/win32/windows_api.h"

#include "credits/credits_band.h"
#include "ui/win32/win32_main_window.h"
#include "ui/win32/win32_ui.h"

namespace dfm::win32 {
namespace {

constexpr char kClassName[] = "DFModInstallerCredits";
constexpr int kClientWidth = 7215, kClientHeight = 4380;  // twips
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

COLORREF ColourOf(const Rgb& c) {
  return RGB(c.red, c.green, c.blue);
}

class CreditsCanvasWindow final : public CreditsCanvas {
 public:
  explicit CreditsCanvasWindow(HWND owner) : dpi_(ScreenDpi()) {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    ::RegisterClassExA(&wc);  // fails harmlessly the second time
    RECT r{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
    ::AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    const int w = r.right - r.left, h = r.bottom - r.top;
    hwnd_ = ::CreateWindowExA(
        kExStyle, kClassName, "Credits:", kStyle, (::GetSystemMetrics(SM_CXSCREEN) - w) / 2,
        (::GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, owner, nullptr, instance, this);
    memory_ = ::CreateCompatibleDC(nullptr);
    back_brush_ = ::CreateSolidBrush(back_);
  }
  ~CreditsCanvasWindow() override {
    if (hwnd_ != nullptr) {
      ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
      ::DestroyWindow(hwnd_);
    }
    if (old_bitmap_ != nullptr) ::SelectObject(memory_, old_bitmap_);
    if (old_font_ != nullptr) ::SelectObject(memory_, old_font_);
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(bitmap_), static_cast<HGDIOBJ>(font_),
                      static_cast<HGDIOBJ>(back_brush_)})
      if (o != nullptr) ::DeleteObject(o);
    if (memory_ != nullptr) ::DeleteDC(memory_);
  }
  CreditsCanvasWindow(const CreditsCanvasWindow&) = delete;
  CreditsCanvasWindow& operator=(const CreditsCanvasWindow&) = delete;

  void SetFont(const std::string& face, int points) override {
    HFONT font = ::CreateFontA(-::MulDiv(points, dpi_, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               ANTIALIASED_QUALITY, DEFAULT_PITCH, face.c_str());
    if (font == nullptr) return;
    HGDIOBJ previous = ::SelectObject(memory_, font);
    if (old_font_ == nullptr) old_font_ = previous;
    if (font_ != nullptr) ::DeleteObject(font_);
    font_ = font;
  }
  void SetBackground(const Rgb& colour) override {
    back_ = ColourOf(colour);
    if (back_brush_ != nullptr) ::DeleteObject(back_brush_);
    back_brush_ = ::CreateSolidBrush(back_);
    if (hwnd_ != nullptr) ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  int TextWidth(const std::string& text) override {
    SIZE size{};
    ::GetTextExtentPoint32A(memory_, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
  }
  int TextHeight(const std::string&) override {
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(memory_, &metrics);
    return metrics.tmHeight;
  }
  int ClientWidth() const override { return Client().right; }
  int ClientHeight() const override { return Client().bottom; }
  void ResizeImage(int, int) override {
    band_.Clear();
    if (bitmap_ != nullptr) return;
    const RECT client = Client();
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
    ::ReleaseDC(nullptr, screen);
    if (bitmap == nullptr) return;
    old_bitmap_ = ::SelectObject(memory_, bitmap);
    bitmap_ = bitmap;
    width_ = client.right;
    height_ = client.bottom;
  }
  void DrawText(const std::string& text, int x, int y, const Rgb& colour) override {
    band_.Add({text, x, y, TextHeight(text), colour});
  }
  void CopyImageToWindow(int x, int y) override {
    copied_x_ = x;
    copied_y_ = y;
    if (hwnd_ == nullptr || bitmap_ == nullptr) return;
    HDC dc = ::GetDC(hwnd_);
    Paint(dc);
    ::ReleaseDC(hwnd_, dc);
  }
  void Show() override {
    if (hwnd_ != nullptr) ::ShowWindow(hwnd_, SW_SHOW);
  }
  void BringToFront() override {
    if (hwnd_ == nullptr) return;
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
  }
  void Close() override {
    closed_ = true;
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
  }
  bool IsClosed() const override { return closed_ || hwnd_ == nullptr; }

 private:
  // The band of the image the window covers, through the memory bitmap into `dc`.
  void Paint(HDC dc) {
    RECT all{0, 0, width_, height_};
    ::FillRect(memory_, &all, back_brush_);
    ::SetBkMode(memory_, TRANSPARENT);
    for (const CreditsText& t : band_.Between(-copied_y_, height_ - copied_y_)) {
      ::SetTextColor(memory_, ColourOf(t.colour));
      ::TextOutA(memory_, t.x + copied_x_, t.y + copied_y_, t.text.data(),
                 static_cast<int>(t.text.size()));
    }
    ::BitBlt(dc, 0, 0, width_, height_, memory_, 0, 0, SRCCOPY);
  }

  RECT Client() const {
    RECT r{};
    if (hwnd_ != nullptr) ::GetClientRect(hwnd_, &r);
    return r;
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      ::SetWindowLongPtrA(
          hwnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
    }
    auto* self = reinterpret_cast<CreditsCanvasWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcA(hwnd, msg, wp, lp);
    switch (msg) {
      case WM_CLOSE:
        self->closed_ = true;
        ::DestroyWindow(hwnd);
        return 0;
      case WM_DESTROY:
        self->hwnd_ = nullptr;
        return 0;
      case WM_ERASEBKGND:
        return TRUE;  // WM_PAINT covers the whole client area
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        if (self->bitmap_ != nullptr) {
          self->Paint(dc);
        } else {
          ::FillRect(dc, &ps.rcPaint, self->back_brush_);
        }
        ::EndPaint(hwnd, &ps);
        return 0;
      }
      default:
        break;
    }
    return ::DefWindowProcA(hwnd, msg, wp, lp);
  }

  int dpi_;
  HWND hwnd_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr, old_font_ = nullptr;
  COLORREF back_ = RGB(0, 0, 255);
  HBRUSH back_brush_ = nullptr;
  CreditsBand band_;
  int width_ = 0, height_ = 0, copied_x_ = 0, copied_y_ = 0;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<CreditsCanvas> MakeCreditsWindow(HWND__* owner) {
  return std::make_unique<CreditsCanvasWindow>(owner);
}

}  // namespace dfm::win32
