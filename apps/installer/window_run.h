// The installer's window run, on the host's toolkit.
#pragma once

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "common/headless_run.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "registry/tree_registry.h"
#include "shell/installed_mods_window.h"
#include "shell/main_window.h"

namespace dfm::installer {

// Loads `program_file` in the main window and runs the window until the program ends;
// nullopt when no window can be opened. The games' folders are read from the registry that
// `make_registry` gives.
std::optional<int> RunInWindow(const std::string& program_file, const cli::RunOptions& options,
                               const cli::RegistryFactory& make_registry);

// Runs the installed-mods window on the folder of restore points `folder` until it is
// closed, opened on install `id` when one is given; nullopt when no window can be opened.
std::optional<int> RunInstalledModsWindow(const std::string& folder, const std::string& id);

// False in a build without a window toolkit, whose RunInWindow never opens one.
extern const bool kBuiltWithWindow;

// RunInWindow once the toolkit has made `view` (a MainView with Attach(MainWindow&) and Run(),
// the message loop) and its dialogs and event pump; the other services are the host's.
template <class View>
int RunMainWindow(View& view, Dialogs& dialogs, EventPump& pump, const std::string& program_file,
                  const cli::RunOptions& options, const cli::RegistryFactory& make_registry) {
  auto fs = MakeHostFileSystem();
  auto clock = MakeHostClock();
  auto process = MakeHostProcess();
  auto registry = make_registry();
  Platform platform{*fs, dialogs, pump, *clock, *process, *registry};
  MainWindow window(platform, view);
  view.Attach(window);
  window.set_restore_policy(
      {options.restore_point ? RestorePolicy::Mode::kAsk : RestorePolicy::Mode::kOff,
       cli::RestoreFolder(options), program_file, nullptr, options.completed});
  auto environment = MakeHostEnvironment();
  // Test hook: DFMOD_CREDITS_SPEED=N scrolls the credits N lines per wait and stops them at
  // their last line, so that the window tests reach the end of long credits.
  if (auto speed = environment->Variable("DFMOD_CREDITS_SPEED")) {
    int lines = 0;
    (void)std::from_chars(speed->data(), speed->data() + speed->size(), lines);
    window.set_credits_speed(std::max(lines, 0));
  }
  const StartUpOutcome outcome = window.Load(program_file, *environment, options.game_folders);
  if (!window.ended()) view.Run();
  if (outcome != StartUpOutcome::kReady) return cli::kRunStartUpEnded;
  return cli::ExitCodeOfRun(window);
}

}  // namespace dfm::installer

namespace dfm::installer {

// RunInstalledModsWindow once the toolkit has made `view` (with Attach and Run) and its
// dialogs and event pump.
template <class View>
int RunModsWindow(View& view, Dialogs& dialogs, EventPump& pump, const std::string& folder,
                  const std::string& id) {
  auto fs = MakeHostFileSystem();
  auto clock = MakeHostClock();
  auto process = MakeHostProcess();
  TreeRegistry registry{{}, {}};  // the window reads no registry
  Platform platform{*fs, dialogs, pump, *clock, *process, registry};
  InstalledModsWindow window(platform, view, folder);
  view.Attach(window);
  window.Open(id);
  view.Run();
  return cli::kExitOk;
}

}  // namespace dfm::installer
