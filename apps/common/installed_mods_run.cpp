#include "common/installed_mods_run.h"

#include <ostream>

#include "common/headless_run.h"
#include "common/uninstall_run.h"
#include "platform/host.h"
#include "restore/restore_points.h"

namespace dfm::cli {

bool ParseModsOptions(const Args& args, ModsOptions& options, std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--installed-mods") {
      options.window = true;
    } else if (args[i] == "--remove") {
      if (i + 1 >= args.size()) {
        problem = "--remove needs a restore point";
        return true;
      }
      options.window = true;
      options.remove = args[++i];
    } else if (args[i] == "/quiet") {
      options.quiet = true;
    } else if (args[i] == "--restore-dir" && i + 1 < args.size()) {
      options.restore_dir = args[++i];
    }
  }
  if (options.quiet && options.remove.empty()) problem = "/quiet goes with --remove ID";
  return options.window || options.quiet;
}

int InstalledModsMain(const ModsOptions& options, Io& io, const ModsWindowRun& window) {
  RunOptions run;
  run.restore_dir = options.restore_dir;
  const std::string folder = RestoreFolder(run);
  if (!options.quiet) {
    if (window) {
      if (std::optional<int> rc = window(folder, options.remove)) {
        PruneUninstallList(io);  // the installs the window removed
        return *rc;
      }
    }
    io.err << "DFModInstaller: " << (window ? "no display" : "built without a window toolkit")
           << ": 'dfmod restore --list' lists the installed mods, 'dfmod restore ID' removes one\n";
    return kExitUsage;
  }
  auto fs = MakeHostFileSystem();
  auto clock = MakeHostClock();
  RestoreStore store(*fs, folder);
  auto lock = store.Lock();
  if (!lock && lock.failure().code == err::kFileAlreadyOpen) {
    io.err << "DFModInstaller: another install or undo is under way with the restore points in "
           << folder << "\n";
    return kExitFindings;
  }
  auto report = store.Undo(options.remove, false, clock->Now());
  PruneUninstallList(io);
  if (!report) {
    io.err << "DFModInstaller: " << report.failure().description << "\n";
    return kExitFindings;
  }
  io.out << (report->complete() ? "Removed " : "Partly removed ") << report->id << " ("
         << report->mod << "): " << report->files << " files put back\n";
  for (const auto& path : report->changed) io.out << path << ": changed since, left alone\n";
  for (const auto& failure : report->failures) io.err << "DFModInstaller: " << failure << "\n";
  return report->complete() ? kExitOk : kExitFindings;
}

}  // namespace dfm::cli
