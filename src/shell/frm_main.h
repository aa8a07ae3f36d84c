// frmMain: the presenter of the installer's main window. It owns the window state for
// the whole run of the program, handles the window's events (Install, Change, close
// request) and runs the install script; a host's view renders its state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pff/mod_kyv_pff.h"
#include "platform/platform.h"
#include "script/install_window.h"
#include "script/script_run.h"
#include "shell/main_view.h"
#include "shell/window_state.h"

namespace dfm {

class frmMain final : public InstallWindow {
 public:
  // Both references outlive the presenter.
  frmMain(Platform& platform, MainView& view)
      : platform_(platform), view_(view), archives_(platform.fs, platform.dialogs, platform.pump) {}
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  // The window state. Start-up fills it (target game, folders, line count, credits,
  // program folder, captions); whoever changes `controls` directly calls ShowControls().
  WindowState& state() { return state_; }
  const WindowState& state() const { return state_; }
  const MainControls& controls() const { return state_.controls; }
  // The archives the pack lines opened; they stay open until the program ends.
  const PffArchiveTable& archives() const { return archives_; }
  // True once the program was told to end; the presenter then does nothing more.
  bool ended() const { return ended_; }

  // Event handlers.
  // Install: expands the window and runs the install script, unless the target game's
  // folder is unknown (then the user is told to set it).
  void ClickInstall();
  // Change: asks for the target game's folder; once the button reads "Finished" it ends
  // the program instead.
  void ClickChange();
  // A request to close the window: true when it may close. During an installation the
  // user is asked and the window stays; a confirmed quit ends the program before the
  // next line of Control.ini.
  bool RequestClose();

  // Operations.
  // Runs Control.ini's command lines (Install has prepared the window).
  RunOutcome RunInstallScript();
  // How the latest run ended and what it counted.
  const RunResult& last_run() const { return last_run_; }
  bool IsLineAllowed(const std::vector<std::string>& words) const;
  // Ends the program at once.
  void EndProgram();
  // Passes the controls' state to the view.
  void ShowControls() { view_.ControlsChanged(state_.controls); }

  // InstallWindow. A log entry always reaches the status list; when InstallLog.txt
  // cannot be written, the first failure of a run is shown in a message box.
  void AddLogEntry(const std::string& message, bool first_entry) override;
  std::string ResolvePathTokens(std::string_view text) override;
  void ClearStatusList() override;
  int StatusListWidth() const override { return state_.controls.status_list_width; }
  void SetProgressWidth(int twips) override;
  bool QuitRequested() const override { return state_.quit_requested; }
  void RestoreAfterAbort() override;

 private:
  void ExpandForInstall();

  Platform& platform_;
  MainView& view_;
  WindowState state_;
  PffArchiveTable archives_;
  RunResult last_run_;
  bool ended_ = false;
  bool log_failure_reported_ = false;
};

}  // namespace dfm
