// The installer's window on Win32.
#include "installer/window_run.h"

#include "shell/start_up.h"
#include "ui/win32/win32_installed_mods_window.h"
#include "ui/win32/win32_main_window.h"
#include "ui/win32/win32_ui.h"

namespace dfm::installer {

extern const bool kBuiltWithWindow = true;

std::optional<int> RunInWindow(const std::string& program_file, const cli::RunOptions& options,
                               const cli::RegistryFactory& make_registry) {
  win32::MainWindowView view;
  if (!view.Create()) return std::nullopt;  // no desktop (Wine without a display)
  auto dialogs = win32::MakeDialogs(kProgramTitle, view.handle());
  auto pump = win32::MakeEventPump(view.handle());
  return RunMainWindow(view, *dialogs, *pump, program_file, options, make_registry);
}

std::optional<int> RunInstalledModsWindow(const std::string& folder, const std::string& id) {
  win32::InstalledModsWindowView view;
  if (!view.Create()) return std::nullopt;
  auto dialogs = win32::MakeDialogs(kInstalledModsTitle, view.handle());
  auto pump = win32::MakeEventPump();
  return RunModsWindow(view, *dialogs, *pump, folder, id);
}

}  // namespace dfm::installer
