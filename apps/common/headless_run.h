// An installer run without a window: start-up and the install run exactly as the window
// does them, with every status-list entry printed on the output stream and every message
// box on the error stream. `dfmod run` and the installer program's headless mode are this.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/installed_mods_run.h"
#include "common/program.h"
#include "platform/file_system.h"
#include "script/script_run.h"

namespace dfm {
class MainWindow;
}

namespace dfm::cli {

// The options of a run and its exit codes, as `--help` shows them.
inline constexpr char kRunOptionsHelp[] =
    "  --game-folder V=DIR   the folder of game V (1 Delta Force, 2 Delta Force 2,\n"
    "                        3 Land Warrior); repeatable; default: the registry\n"
    "  --critical ANSWER     the critical-file question: continue (default) or abort\n"
    "  --password PW         the password of encrypted entries\n"
    "  --restore-dir DIR     where the restore point goes (default: DFMOD_RESTORE_DIR, else\n"
    "                        $XDG_DATA_HOME/dfmod/restore)\n"
    "  --no-restore-point    install even when no restore point can be written\n";
inline constexpr char kRunExitsHelp[] =
    "0 completed; 1 completed with errors; 2 bad usage, unusable installer, aborted, or the "
    "game folder is unknown; 3 the installer could not start (no Control.ini, bad df_version) "
    "or no restore point could be written (or another install held the restore points)";

// Exit codes of a run.
inline constexpr int kRunCompleted = 0;
inline constexpr int kRunCompletedWithErrors = 1;
inline constexpr int kRunAborted = 2;         // the user aborted, or Install could not start
inline constexpr int kRunStartUpEnded = 3;    // no Control.ini, or an invalid or missing version
inline constexpr int kRunNoRestorePoint = 3;  // the restore point could not be written

// The answers an unattended run gives to the installer's questions.
struct RunOptions {
  std::map<int, std::string> game_folders;  // by game version; absolute folders
  bool abort_at_critical = false;           // the critical-file question: Yes (abort) or No
  std::optional<std::string> password;      // for encrypted entries of Main.zip
  std::string restore_dir;                  // empty: the host's folder of restore points
  bool restore_point = true;                // false: --no-restore-point
  // The installer program's: registers each completed install in Windows' uninstall list.
  std::function<Status(const std::string&, int, const std::string&)> completed = {};
};

// The folder of restore points the options name, or the host's.
std::string RestoreFolder(const RunOptions& options);

// Parses "--game-folder V=DIR" (repeatable; the last one for a version wins), "--critical
// continue|abort", "--password PW", "--restore-dir DIR" and "--no-restore-point"; other words are
// passed back in `operands`. A relative DIR is made absolute here, since start-up changes the
// current directory. Returns an error message, or an empty text when the options are usable.
std::string ParseRunOptions(const Args& args, RunOptions& options,
                            std::vector<std::string>& operands);

// Runs the installer `program_file` in a window with the options' folders and returns the
// run's exit code; nullopt when no window can be opened (no display). Empty in a build
// without a window toolkit.
using WindowRun =
    std::function<std::optional<int>(const std::string& program_file, const RunOptions&)>;

// The installer program's main: the options as above and at most one operand, another
// installer file to install from (by default the program's own file). The install runs in
// a window when `window` can open one, otherwise without, saying so in one line.
// "--installed-mods" and "--remove ID" open the installed-mods window with `mods_window`.
int InstallerMain(const Args& args, Io& io, const WindowRun& window = {},
                  const ModsWindowRun& mods_window = {});

// The exit code of a window's run: how its latest install ended, or kRunAborted when none
// completed.
int ExitCodeOfRun(const MainWindow& window);

// Loads `program_file` as the installer's window does (its payload is unpacked into its own
// folder) and, when start-up left the window ready, presses Install. The game folders come
// from the host's registry and the search for the games it does not name
// (FindGameFolders), overridden by the options' folders; a folder question for a version
// without one is cancelled. Returns one of the run's exit codes.
// A question's answer is printed after it with its source ("-> No (--critical
// continue)"). When Install cannot start for want of the game's folder, `who` ("dfmod:
// run") says how to give one. With `rehearsal` (dfmod plan) the install writes through
// that file system, and its restore point goes to the options' folder; `result` receives
// the run's counters.
int RunInstallerUnattended(const std::string& program_file, const RunOptions& options, Io& io,
                           std::string_view who = "dfmod: run", FileSystem* rehearsal = nullptr,
                           RunResult* result = nullptr);

}  // namespace dfm::cli
