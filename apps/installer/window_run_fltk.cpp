// The installer's window on FLTK.
#include "installer/window_run.h"

#include "platform/fltk/fltk_host.h"
#include "platform/fltk/fltk_main_window.h"

namespace dfm::installer {

extern const bool kBuiltWithWindow = true;

std::optional<int> RunInWindow(const std::string& program_file, const cli::RunOptions& options) {
  if (!OpenFltkDisplay()) return std::nullopt;
  auto dialogs = MakeFltkDialogs();
  auto pump = MakeFltkEventPump();
  FltkMainView view;
  return RunMainWindow(view, *dialogs, *pump, program_file, options);
}

}  // namespace dfm::installer
