#include "platform/win32/windows_api.h"

#include <cmath>

#include "ui/win32/win32_ui.h"

namespace dfm::win32 {
namespace {

class Win32EventPump final : public EventPump {
 public:
  void ProcessPendingEvents() override {
    MSG msg{};
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
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
};

}  // namespace

std::unique_ptr<EventPump> MakeEventPump() {
  return std::make_unique<Win32EventPump>();
}

void ShowWaitCursor(bool wait) {
  ::SetCursor(::LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

}  // namespace dfm::win32
