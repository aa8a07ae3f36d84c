// MainWindow: the presenter of the installer's main window. It owns the window state for
// the whole run of the program, handles the window's events (Install, Change, close
// request) and runs the install script; a host's view renders its state.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <memory>

#include "base/path_style.h"
#include "credits/credits_window.h"
#include "pff/pff_install.h"
#include "platform/platform.h"
#include "restore/restore_points.h"
#include "script/install_window.h"
#include "script/script_run.h"
#include "shell/game_folders.h"
#include "shell/main_view.h"
#include "shell/start_up.h"
#include "shell/window_state.h"

namespace dfm {

// Whether and where an install keeps a restore point.
struct RestorePolicy {
  enum class Mode {
    kOff,      // no restore point
    kAsk,      // the window: when none can be written, ask whether to install without
    kRequire,  // unattended: when none can be written, do not install
  };
  Mode mode = Mode::kOff;
  std::string folder;     // the folder of restore points (empty: none, nor any recovery)
  std::string installer;  // the installer's file, named in the manifest
  // A rehearsal (dfmod plan): the install writes through this file system instead.
  FileSystem* rehearsal = nullptr;
  // Called once an install's restore point is complete (never in a rehearsal) with its id,
  // the target game and its folder: Windows' uninstall list registers the install. A
  // failure is logged; the install stands.
  std::function<Status(const std::string& id, int game, const std::string& folder)> completed = {};
};

class MainWindow final : public InstallWindow {
 public:
  // Both references outlive the presenter. `style` is the host's path style: on POSIX a
  // command's target shows, and is used, with "/" throughout (a token's folder followed
  // by a Windows-style rest such as "\Dflw.pff" would mix both).
  MainWindow(Platform& platform, MainView& view, PathStyle style = HostPathStyle())
      : platform_(platform),
        view_(view),
        style_(style),
        archives_(platform.fs, platform.dialogs, platform.pump) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The window state. Start-up fills it (target game, folders, line count, credits,
  // program folder, captions); whoever changes `controls` directly calls ShowControls().
  WindowState& state() { return state_; }
  const WindowState& state() const { return state_; }
  const MainControls& controls() const { return state_.controls; }
  // The archives the pack lines opened; they stay open until the program ends.
  const PffArchiveTable& archives() const { return archives_; }
  // True once the program was told to end; the presenter then does nothing more.
  bool ended() const { return ended_; }

  // The load sequence (start_up.cpp): the initial window, the game folders, start-up.
  // The program folder is `program_file`'s own folder. `map` turns a folder the registry
  // names into one this host can use; `chosen` holds folders by game version that the user
  // gave beforehand (an unattended run's options) and that take precedence over the
  // registry.
  StartUpOutcome Load(const std::string& program_file, const FolderMapper& map = {},
                      const std::map<int, std::string>& chosen = {});
  // Load, with the games the registry does not name searched for as FindGameFolders does
  // with `environment`.
  StartUpOutcome Load(const std::string& program_file, Environment& environment,
                      const std::map<int, std::string>& chosen = {});
  // Load, step by step. The window with its initial captions and the default credits
  // settings, shown and painted.
  void ShowInitialWindow();
  // The three games' folders from the registry.
  void FindGameFolders(const FolderMapper& map = {});
  // The same, then the search for the games still unknown.
  void FindGameFolders(Environment& environment);
  // Unpacks `program_file`'s payload into state().program_folder, reads the settings
  // header of its Control.ini and makes the window ready. A failed operation shows a
  // message and start-up goes on; a missing Control.ini leaves the window unusable, and a
  // missing or invalid game version ends the program.
  StartUpOutcome RunStartUp(const std::string& program_file);
  // RunStartUp after the unpacking: Control.ini and the pictures it names are read from
  // state().program_folder, which is also the current directory.
  StartUpOutcome StartUpFromProgramFolder();

  // Event handlers.
  // Install: expands the window and runs the install script, unless the target game's
  // folder is unknown (then the user is told to set it).
  void ClickInstall();
  // Change: asks for the target game's folder; once the button reads "Finished" it ends
  // the program instead.
  void ClickChange();
  // About: opens the credits window and scrolls the credits until it is closed. While
  // they scroll, a second press only brings that window to the front.
  void ClickAbout();
  // A request to close the window: true when it may close. During an installation the
  // user is asked and the window stays; a confirmed quit ends the program before the
  // next line of Control.ini.
  bool RequestClose();

  // Operations.
  // Runs Control.ini's command lines (Install has prepared the window).
  RunOutcome RunInstallScript();
  void set_restore_policy(RestorePolicy policy) { restore_ = std::move(policy); }
  // Test hook for the window tests: the credits scroll this many lines per wait and stop
  // once their last line is in view (0: a pixel per wait, as always).
  void set_credits_speed(int lines_per_tick) { credits_speed_ = lines_per_tick; }
  // True when Install was refused because no restore point could be written (or another
  // install held the restore points).
  bool restore_point_failed() const { return restore_point_failed_; }
  // How the latest run ended and what it counted; how many runs started.
  const RunResult& last_run() const { return last_run_; }
  int runs() const { return runs_; }
  bool IsLineAllowed(const std::vector<std::string>& words) const;
  // Ends the program at once.
  void EndProgram();
  // Passes the controls' state to the view.
  void ShowControls() { view_.ControlsChanged(state_.controls); }

  // InstallWindow. A log entry always reaches the status list; when InstallLog.txt
  // cannot be written, the first failure of a run is shown in a message box.
  void AddLogEntry(const std::string& message, bool first_entry) override;
  void ClearStatusList() override;
  int StatusListWidth() const override { return state_.controls.status_list_width; }
  void SetProgressWidth(int twips) override;
  bool QuitRequested() const override { return state_.quit_requested; }
  void RestoreAfterAbort() override;

 private:
  void ExpandForInstall();
  // Takes the restore points' lock for the install; false (and the user told) when
  // another process holds it.
  bool LockRestorePoints();
  // Rolls back installs a crash interrupted in the game folders, and tells the user.
  void RecoverInterrupted();
  // Starts the restore point of the next run as the policy says; false when the user
  // (or the policy) chose not to install.
  bool BeginRestorePoint();

  // Start-up (start_up.cpp): Load's end (the folders given beforehand, then RunStartUp).
  StartUpOutcome StartUpWith(const std::string& program_file,
                             const std::map<int, std::string>& chosen);
  // The header lines, each key's setter returning the failure of
  // its line, if any.
  void ReadSettingsHeader(const std::string& control_path);
  Status ApplyHeaderLine(const std::string& line);
  Status SetIcon(const std::vector<std::string>& words);
  Status SetSkin(const std::vector<std::string>& words);
  Status SetCredits(const std::vector<std::string>& words);
  Status SetCreditsFont(const std::vector<std::string>& words);
  Status SetCreditsFontSize(const std::vector<std::string>& words);
  Status SetCreditsColour(const std::vector<std::string>& words);
  Status SetModName(const std::vector<std::string>& words);
  Status SetWindowCaption(const std::vector<std::string>& words);
  Status SetGameVersion(const std::vector<std::string>& words);

  Platform& platform_;
  MainView& view_;
  PathStyle style_;
  WindowState state_;
  PffArchiveTable archives_;
  RunResult last_run_;
  RestorePolicy restore_;
  std::unique_ptr<ActiveRestorePoint> point_;
  std::unique_ptr<FileLock> store_lock_;
  std::set<std::string> unpacked_;  // folded paths of the files start-up extracted
  bool restore_point_failed_ = false;
  int runs_ = 0;
  bool ended_ = false;
  bool log_failure_reported_ = false;
  CreditsCanvas* credits_window_ = nullptr;  // while the credits scroll
  int credits_speed_ = 0;
};

}  // namespace dfm
