// Message boxes, the text input box and the folder browser, with 8-bit texts throughout.
#include <objbase.h>
#include <shlobj.h>
#include "platform/win32/windows_api.h"

#include <vector>

#include "ui/win32/win32_ui.h"

namespace dfm::win32 {
namespace {

UINT ButtonsFlag(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOkCancel:
      return MB_OKCANCEL;
    case MsgButtons::kYesNo:
      return MB_YESNO;
    case MsgButtons::kYesNoCancel:
      return MB_YESNOCANCEL;
    case MsgButtons::kOk:
      break;
  }
  return MB_OK;
}

UINT IconFlag(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::kCritical:
      return MB_ICONHAND;
    case MsgIcon::kQuestion:
      return MB_ICONQUESTION;
    case MsgIcon::kExclamation:
      return MB_ICONEXCLAMATION;
    case MsgIcon::kInformation:
      return MB_ICONASTERISK;
    case MsgIcon::kNone:
      break;
  }
  return 0;
}

MsgAnswer AnswerOf(int id) {
  switch (id) {
    case IDYES:
      return MsgAnswer::kYes;
    case IDNO:
      return MsgAnswer::kNo;
    case IDCANCEL:
      return MsgAnswer::kCancel;
    default:
      return MsgAnswer::kOk;
  }
}

// The input box: a prompt, OK and Cancel on the right, the text field along the bottom.
// Its template is built in memory; the texts are set once the dialog exists, through the
// 8-bit calls.
constexpr int kEditId = 100;
constexpr int kPromptId = 101;

struct InputState {
  const std::string* prompt;
  const std::string* title;
  std::string text;
};

class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy) {
    Add32(style);
    Add32(0);  // extended style
    count_at_ = words_.size();
    words_.push_back(0);  // item count
    for (short v : {short(0), short(0), cx, cy}) words_.push_back(static_cast<WORD>(v));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    words_.push_back(0);  // no title yet
    words_.push_back(8);  // point size, then the face name
    for (const char* c = "MS Shell Dlg"; *c; ++c) words_.push_back(static_cast<WORD>(*c));
    words_.push_back(0);
  }

  // `kind`: 0x80 button, 0x81 edit, 0x82 static.
  void AddItem(WORD kind, int id, DWORD style, short x, short y, short cx, short cy) {
    if (words_.size() % 2) words_.push_back(0);  // items start on a 4-byte boundary
    Add32(style | WS_CHILD | WS_VISIBLE);
    Add32(0);
    for (short v : {x, y, cx, cy}) words_.push_back(static_cast<WORD>(v));
    words_.push_back(static_cast<WORD>(id));
    words_.push_back(0xFFFF);
    words_.push_back(kind);
    words_.push_back(0);  // no text yet
    words_.push_back(0);  // no creation data
    ++words_[count_at_];
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Add32(DWORD v) {
    words_.push_back(static_cast<WORD>(v & 0xFFFF));
    words_.push_back(static_cast<WORD>(v >> 16));
  }

  std::vector<WORD> words_;
  std::size_t count_at_ = 0;
};

INT_PTR CALLBACK InputProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<InputState*>(::GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      state = reinterpret_cast<InputState*>(lp);
      ::SetWindowLongPtrA(dlg, DWLP_USER, lp);
      ::SetWindowTextA(dlg, state->title->c_str());
      ::SetDlgItemTextA(dlg, kPromptId, state->prompt->c_str());
      ::SetDlgItemTextA(dlg, IDOK, "OK");
      ::SetDlgItemTextA(dlg, IDCANCEL, "Cancel");
      ::SetDlgItemTextA(dlg, kEditId, state->text.c_str());
      ::SendDlgItemMessageA(dlg, kEditId, EM_SETSEL, 0, -1);
      ::SetFocus(::GetDlgItem(dlg, kEditId));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        const int n = ::GetWindowTextLengthA(::GetDlgItem(dlg, kEditId));
        std::string text(static_cast<std::size_t>(n) + 1, '\0');
        ::GetDlgItemTextA(dlg, kEditId, text.data(), n + 1);
        text.resize(static_cast<std::size_t>(n));
        state->text = std::move(text);
        ::EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        ::EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

class Win32Dialogs final : public Dialogs {
 public:
  Win32Dialogs(std::string default_title, HWND__* const* owner)
      : default_title_(std::move(default_title)), owner_(owner) {
    // The folder browser is a shell object; the thread needs COM for it.
    com_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  }
  ~Win32Dialogs() override {
    if (com_) ::CoUninitialize();
  }
  Win32Dialogs(const Win32Dialogs&) = delete;
  Win32Dialogs& operator=(const Win32Dialogs&) = delete;

  MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                       MsgIcon icon) override {
    const std::string& caption = title.empty() ? default_title_ : title;
    return AnswerOf(::MessageBoxA(Owner(), text.c_str(), caption.c_str(),
                                  ButtonsFlag(buttons) | IconFlag(icon) | MB_SETFOREGROUND));
  }

  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override {
    const std::string& caption = title.empty() ? default_title_ : title;
    InputState state{&prompt, &caption, default_text};
    DialogTemplate t(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                     240, 90);
    t.AddItem(0x82, kPromptId, SS_LEFT, 7, 7, 170, 52);
    t.AddItem(0x80, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 185, 7, 48, 14);
    t.AddItem(0x80, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 185, 25, 48, 14);
    t.AddItem(0x81, kEditId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 68, 226, 13);
    const INT_PTR rc = ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), t.get(), Owner(),
                                                 InputProc, reinterpret_cast<LPARAM>(&state));
    if (rc != IDOK) return std::nullopt;
    return state.text;
  }

  // Only file-system folders, not below the domain; a choice the shell cannot name as a
  // path counts as cancelled.
  Result<std::optional<std::string>> BrowseForFolder(const std::string& title) override {
    BROWSEINFOA info{};
    info.hwndOwner = Owner();
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderA(&info);
    if (item == nullptr) return std::optional<std::string>();
    char path[MAX_PATH] = {};
    const bool named = ::SHGetPathFromIDListA(item, path);
    ::CoTaskMemFree(item);
    if (!named) return std::optional<std::string>();
    return std::optional<std::string>(path);
  }

 private:
  HWND Owner() const { return owner_ != nullptr ? *owner_ : nullptr; }

  std::string default_title_;
  HWND__* const* owner_;
  bool com_ = false;
};

}  // namespace

std::unique_ptr<Dialogs> MakeDialogs(std::string default_title, HWND__* const* owner) {
  return std::make_unique<Win32Dialogs>(std::move(default_title), owner);
}

}  // namespace dfm::win32
