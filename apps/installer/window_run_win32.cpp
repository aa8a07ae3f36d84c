// The installer's window on Win32.
#include "installer/window_run.h"

#include "platform/host.h"
#include "platform/platform.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_ui.h"
#include "shell/frm_main.h"
#include "shell/start_up.h"

namespace dfm::installer {

std::optional<int> RunInWindow(const std::string& program_file, const cli::RunOptions& options) {
  win32::MainWindow view;
  if (!view.Create()) return std::nullopt;  // no desktop (Wine without a display)
  auto fs = MakeHostFileSystem();
  auto clock = MakeHostClock();
  auto process = MakeHostProcess();
  auto registry = MakeHostRegistry();
  auto dialogs = win32::MakeDialogs(kProgramTitle, view.handle());
  auto pump = win32::MakeEventPump();
  Platform platform{*fs, *dialogs, *pump, *clock, *process, *registry};
  frmMain window(platform, view);
  view.Attach(window);
  auto environment = MakeHostEnvironment();
  const StartUpOutcome outcome = window.Load(program_file, *environment, options.game_folders);
  if (!window.ended()) view.Run();
  if (outcome != StartUpOutcome::kReady) return cli::kRunStartUpEnded;
  return cli::ExitCodeOfRun(window);
}

}  // namespace dfm::installer
