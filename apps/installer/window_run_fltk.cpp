// The installer's window on FLTK.
#include "installer/window_run.h"

#include "shell/start_up.h"
#include "ui/fltk/fltk_host.h"
#include "ui/fltk/fltk_installed_mods_window.h"
#include "ui/fltk/fltk_main_window.h"

namespace dfm::installer {

extern const bool kBuiltWithWindow = true;

std::optional<int> RunInWindow(const std::string& program_file, const cli::RunOptions& options,
                               const cli::RegistryFactory& make_registry) {
  if (!OpenFltkDisplay()) return std::nullopt;
  auto dialogs = MakeFltkDialogs(kProgramTitle);
  auto pump = MakeFltkEventPump();
  FltkMainView view;
  return RunMainWindow(view, *dialogs, *pump, program_file, options, make_registry);
}

std::optional<int> RunInstalledModsWindow(const std::string& folder, const std::string& id) {
  if (!OpenFltkDisplay()) return std::nullopt;
  auto dialogs = MakeFltkDialogs(kInstalledModsTitle);
  auto pump = MakeFltkEventPump();
  FltkInstalledModsView view;
  return RunModsWindow(view, *dialogs, *pump, folder, id);
}

}  // namespace dfm::installer
