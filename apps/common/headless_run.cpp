#include "common/headless_run.h"

#include <filesystem>
#include <ostream>

#include "common/cli_dialogs.h"
#include "common/installed_mods_run.h"
#include "common/uninstall_run.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "script/path_tokens.h"
#include "shell/main_window.h"

namespace dfm::cli {
namespace {

// The main window without a window: each status-list entry becomes a line of output as
// soon as it is logged.
class PrintingMainView final : public MainView {
 public:
  explicit PrintingMainView(std::ostream& out) : out_(out) {}
  void ControlsChanged(const MainControls&) override {}
  void StatusAdded(const std::string& entry) override { out_ << entry << '\n' << std::flush; }
  void StatusCleared() override {}
  void EndProgram() override {}

 private:
  std::ostream& out_;
};

CliAnswers AnswersFor(const RunOptions& options) {
  CliAnswers answers;
  answers.yes_no = options.abort_at_critical ? MsgAnswer::kYes : MsgAnswer::kNo;
  answers.yes_no_source = options.abort_at_critical ? "--critical abort" : "--critical continue";
  answers.input = options.password;
  answers.input_source = options.password ? "--password" : "no --password";
  for (int version = 1; version <= 3; ++version) {
    const std::string title = SelectFolderPrompt(version);
    auto it = options.game_folders.find(version);
    if (it != options.game_folders.end()) answers.folders[title] = it->second;
    answers.folder_sources[title] =
        (it != options.game_folders.end() ? "--game-folder " : "no --game-folder for ") +
        std::to_string(version);
  }
  return answers;
}

// "V=DIR" with V a game version and DIR an existing folder, made absolute. A folder that is
// not there is refused before anything runs: the install would only collect errors in it.
std::string ParseGameFolder(const std::string& value, RunOptions& options) {
  if (value.size() < 3 || value[1] != '=' || value[0] < '1' || value[0] > '3')
    return "--game-folder takes V=DIR with V 1, 2 or 3, not '" + value + "'";
  if (auto is_dir = MakeHostFileSystem()->IsDirectory(value.substr(2)); !is_dir || !*is_dir)
    return "--game-folder " + value + ": no such folder";
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::absolute(value.substr(2), ec);
  options.game_folders[value[0] - '0'] = ec ? value.substr(2) : dir.string();
  return {};
}

std::string ParseOption(const std::string& name, const std::string& value, RunOptions& options) {
  if (name == "--game-folder") return ParseGameFolder(value, options);
  if (name == "--restore-dir") {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::absolute(value, ec);
    options.restore_dir = ec ? value : dir.string();
    return {};
  }
  if (name == "--password") {
    options.password = value;
    return {};
  }
  if (value != "continue" && value != "abort")
    return "--critical takes continue or abort, not '" + value + "'";
  options.abort_at_critical = value == "abort";
  return {};
}

}  // namespace

std::string ParseRunOptions(const Args& args, RunOptions& options,
                            std::vector<std::string>& operands) {
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-') {
      operands.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--no-restore-point") {
      options.restore_point = false;
    } else if (a == "--game-folder" || a == "--critical" || a == "--password" ||
               a == "--restore-dir") {
      if (i + 1 >= args.size()) return a + " needs a value";
      if (std::string problem = ParseOption(a, args[++i], options); !problem.empty())
        return problem;
    } else {
      return "unknown option '" + a + "'";
    }
  }
  return {};
}

std::string RestoreFolder(const RunOptions& options) {
  return options.restore_dir.empty() ? HostRestoreFolder() : options.restore_dir;
}

int RunInstallerUnattended(const std::string& program_file, const RunOptions& options, Io& io,
                           std::string_view who, FileSystem* rehearsal, RunResult* result) {
  auto fs = MakeHostFileSystem();
  auto clock = MakeHostClock();
  auto process = MakeHostProcess();
  auto registry = io.make_registry();
  CliDialogs dialogs(io.err, kProgramTitle, AnswersFor(options));
  NullEventPump pump;
  Platform platform{*fs, dialogs, pump, *clock, *process, *registry};
  PrintingMainView view(io.out);
  MainWindow window(platform, view);
  window.set_restore_policy(
      {options.restore_point ? RestorePolicy::Mode::kRequire : RestorePolicy::Mode::kOff,
       RestoreFolder(options), program_file, rehearsal, options.completed});

  auto environment = MakeHostEnvironment();
  if (window.Load(program_file, *environment, options.game_folders) != StartUpOutcome::kReady)
    return kRunStartUpEnded;
  window.ClickInstall();  // with the folder unknown, only tells the user to set it
  if (result) *result = window.last_run();
  if (window.restore_point_failed()) return kRunNoRestorePoint;
  const WindowState& state = window.state();
  if (window.runs() == 0) {
    io.err << who << ": no folder for game " << state.df_version
           << " is known: give it as --game-folder " << state.df_version << "=DIR\n";
  }
  return ExitCodeOfRun(window);
}

int ExitCodeOfRun(const MainWindow& window) {
  const RunResult& run = window.last_run();
  if (window.runs() == 0 || run.outcome != RunOutcome::kCompleted) return kRunAborted;
  return run.errors == 0 ? kRunCompleted : kRunCompletedWithErrors;
}

const std::string kInstallerOptions = std::string(kRunOptionsHelp) + kModsOptionsHelp;
const CommandHelp kInstallerHelp = {
    "DFModInstaller",
    "installs the mod carried in this program's own file, or in OTHER-INSTALLER; in a window "
    "where a display answers",
    "DFModInstaller [--game-folder V=DIR]... [--critical continue|abort] [--password PW] "
    "[OTHER-INSTALLER]\nDFModInstaller --installed-mods | --remove ID [/quiet]",
    kInstallerOptions.c_str(),
    kRunExitsHelp,
    "./DryCreekSetup --game-folder \"3=/games/Land Warrior\""};

int InstallerMain(const Args& args, Io& io, const WindowRun& window,
                  const ModsWindowRun& mods_window) {
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      PrintHelp(io.out, kInstallerHelp, "DFModInstaller");
      return kExitOk;
    }
    if (a == "--version") {
      io.out << "DFModInstaller " << Version() << "\n";
      return kExitOk;
    }
  }
  PruneUninstallList(io);  // keys of installs undone or gone since the last start
  std::string problem;
  if (ModsOptions mods; ParseModsOptions(args, mods, problem) && problem.empty())
    return InstalledModsMain(mods, io, mods_window);
  RunOptions options;
  std::vector<std::string> operands;
  if (problem.empty()) problem = ParseRunOptions(args, options, operands);
  if (problem.empty() && operands.size() > 1) problem = "unexpected argument '" + operands[1] + "'";
  if (!problem.empty()) {
    io.err << "DFModInstaller: " << problem << "; see 'DFModInstaller --help'\n";
    return kExitUsage;
  }
  options.completed = RegisterCompleted(io, RestoreFolder(options));
  std::string installer;
  if (!operands.empty()) {
    std::error_code ec;  // absolute: start-up changes the current directory
    const std::filesystem::path p = std::filesystem::absolute(operands[0], ec);
    installer = ec ? operands[0] : p.string();
  } else if (auto self = MakeHostProcess()->ExecutablePath()) {
    installer = *self;
  } else {
    io.err << "DFModInstaller: " << self.failure().description << "\n";
    return kRunStartUpEnded;
  }
  if (window) {
    if (std::optional<int> rc = window(installer, options)) return *rc;
  }
  io.err << "DFModInstaller: " << (window ? "no display" : "built without a window toolkit")
         << ", installing without a window\n"
         << std::flush;
  return RunInstallerUnattended(installer, options, io, "DFModInstaller");
}

}  // namespace dfm::cli
