#include "platform/win32/windows_api.h"

#include <cmath>

#include "ui/win32/win32_ui.h"

namespace dfm::win32 {
namespace {

class Win32EventPump final : public EventPump {
 public:
  explicit Win32EventPump(HWND__* const* dialog_keys) : dialog_keys_(dialog_keys) {}

  void ProcessPendingEvents() override {
    MSG msg{};
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      const HWND window = dialog_keys_ != nullptr ? *dialog_keys_ : nullptr;
      if (window != nullptr && ::IsDialogMessageA(window, &msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }

  // Blocks until input or a message arrives or the time is up; never spins.
  void WaitForEvents(double max_seconds) override {
    const double ms = std::ceil(max_seconds * 1000.0);
    const DWORD timeout = ms <= 0 ? 0 : ms >= 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(ms);
    ::MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    ProcessPendingEvents();
  }

 private:
  HWND__* const* dialog_keys_;
};

}  // namespace

std::unique_ptr<EventPump> MakeEventPump(HWND__* const* dialog_keys) {
  return std::make_unique<Win32EventPump>(dialog_keys);
}

void ShowWaitCursor(bool wait) {
  ::SetCursor(::LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

}  // namespace dfm::win32
