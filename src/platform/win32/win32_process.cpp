#include "platform/win32/windows_api.h"

#include <string>

#include "platform/host.h"
#include "platform/win32/win32_error.h"

namespace dfm {
namespace {

class Win32Process final : public Process {
 public:
  Result<std::string> ExecutablePath() override {
    std::string buf(MAX_PATH, '\0');
    for (;;) {
      const DWORD n = ::GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
      if (n == 0) return Failure{err::kPathFileAccessError, win32::SystemMessage(::GetLastError())};
      if (n < buf.size()) {
        buf.resize(n);
        return buf;
      }
      buf.resize(buf.size() * 2);  // cut short: ask again with more room
    }
  }
};

}  // namespace

std::unique_ptr<Process> MakeHostProcess() {
  return std::make_unique<Win32Process>();
}

}  // namespace dfm
