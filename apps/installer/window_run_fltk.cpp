// The installer's window on FLTK.
#include "installer/window_run.h"

#include "platform/fltk/fltk_host.h"
#include "platform/fltk/fltk_main_window.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "shell/frm_main.h"

namespace dfm::installer {

std::optional<int> RunInWindow(const std::string& program_file, const cli::RunOptions& options) {
  if (!OpenFltkDisplay()) return std::nullopt;
  auto fs = MakeHostFileSystem();
  auto clock = MakeHostClock();
  auto process = MakeHostProcess();
  auto registry = MakeHostRegistry();
  auto dialogs = MakeFltkDialogs();
  auto pump = MakeFltkEventPump();
  Platform platform{*fs, *dialogs, *pump, *clock, *process, *registry};
  FltkMainView view;
  frmMain window(platform, view);
  view.Attach(window);
  window.set_restore_policy(
      {options.restore_point ? RestorePolicy::Mode::kAsk : RestorePolicy::Mode::kOff,
       cli::RestoreFolder(options), program_file});
  auto environment = MakeHostEnvironment();
  const StartUpOutcome outcome = window.Load(program_file, *environment, options.game_folders);
  if (!window.ended()) view.Run();
  if (outcome != StartUpOutcome::kReady) return cli::kRunStartUpEnded;
  return cli::ExitCodeOfRun(window);
}

}  // namespace dfm::installer
