// dfmod restore --list [GAME-FOLDER] | dfmod restore [ID] [--force] | dfmod restore
// --salvage ID, each with [--restore-dir DIR]: lists the restore points, undoes an
// install, or puts back what a damaged journal still wholly describes.
#include <ostream>

#include "base/path_utils.h"
#include "dfmod/cli.h"
#include "platform/host.h"
#include "restore/restore_points.h"

namespace dfm::cli {
namespace {

bool Touches(const RestorePointInfo& p, const std::string& folder) {
  const std::string f = FoldedPath(folder);
  for (const auto& g : p.game_folders) {
    if (FoldedPath(g) == f) return true;
  }
  for (const auto& key : p.keys) {
    if (key.size() > f.size() && key.compare(0, f.size(), f) == 0 && key[f.size()] == '\\')
      return true;
  }
  return false;
}

void PrintReport(const UndoReport& r, Io& io) {
  if (r.rolled_back) {
    (r.complete() ? io.out : io.err) << RolledBackText(r, "\n") << "\n";
    return;
  }
  io.out << (r.complete() ? "Undid " : "Partly undid ") << r.id << " (" << r.mod << "): " << r.files
         << " files put back";
  if (!r.complete()) io.out << ", " << r.left << " left";
  io.out << "\n";
  for (const auto& path : r.changed) {
    io.out << path << ": changed since the install, left alone (--force puts it back)\n";
  }
  for (const auto& failure : r.failures) io.err << "dfmod: restore: " << failure << "\n";
}

int List(RestoreStore& store, const std::string& folder, Io& io) {
  auto points = store.List();
  if (!points) return UsageError(io, "restore", points.failure().description);
  for (const RestorePointInfo& p : *points) {
    if (!folder.empty() && !Touches(p, folder)) continue;
    if (!p.damage.empty()) {
      io.out << p.id << "  " << p.damage << "\n";
      continue;
    }
    io.out << p.id << "  " << StateName(p.state);
    if (p.left > 0) io.out << ", partly undone: " << p.left << " files left";
    io.out << "  " << p.mod << "  " << p.started << "  " << p.files.size() << " files, "
           << p.entries.size() << " archive entries\n";
  }
  // On the error stream: the list stays the only output, for scripts.
  io.err << "dfmod: restore: the same list with Remove is a window: DFModInstaller "
            "--installed-mods, or the menu's \"Installed Delta Force Mods\"\n";
  return kExitOk;
}

}  // namespace

int Restore(const Args& args, Io& io) {
  bool list = false, force = false, salvage = false;
  std::string dir;
  std::vector<std::string> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--list") {
      list = true;
    } else if (args[i] == "--force") {
      force = true;
    } else if (args[i] == "--salvage") {
      salvage = true;
    } else if (args[i] == "--restore-dir" && i + 1 < args.size()) {
      dir = args[++i];
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return UsageError(io, "restore", "unknown option '" + args[i] + "'");
    } else {
      operands.push_back(args[i]);
    }
  }
  if (operands.size() > 1) return UsageError(io, "restore", "too many arguments");
  if (dir.empty()) dir = HostRestoreFolder();
  auto fs = MakeHostFileSystem();
  auto clock = MakeHostClock();
  RestoreStore store(*fs, dir);
  const std::string operand = operands.empty() ? "" : operands[0];
  if (list) return List(store, operand, io);
  auto lock = store.Lock();
  if (!lock && lock.failure().code == err::kFileAlreadyOpen) {
    io.err << "dfmod: restore: another install or undo is under way with the restore points in "
           << dir << "\n";
    return kExitUsage;
  }
  if (salvage) {
    if (operand.empty()) return UsageError(io, "restore", "--salvage needs a restore point");
    auto report = store.Salvage(operand);
    if (!report) {
      io.err << "dfmod: restore: " << report.failure().description << "\n";
      return kExitFindings;
    }
    io.out << "Salvaged " << operand << " (" << report->mod << "): " << report->files
           << " files put back, " << report->left << " left\n";
    for (const auto& failure : report->failures) io.err << "dfmod: restore: " << failure << "\n";
    return report->complete() ? kExitOk : kExitFindings;
  }
  // Interrupted installs in the same game folders go first. When the install asked for
  // is one of them (or none is named), rolling it back is the whole answer.
  auto points = store.List();
  bool asked = false, rolled_back = true;
  if (points) {
    std::vector<std::string> folders;
    for (const auto& p : *points) {
      if (operand.empty() || p.id == operand)
        folders.insert(folders.end(), p.game_folders.begin(), p.game_folders.end());
    }
    for (const UndoReport& r : store.RecoverInterrupted(folders, clock->Now())) {
      PrintReport(r, io);
      asked = asked || operand.empty() || r.id == operand;
      rolled_back = rolled_back && r.complete();
    }
  }
  if (asked) return rolled_back ? kExitOk : kExitFindings;
  auto report = store.Undo(operand, force, clock->Now());
  if (!report) {
    io.err << "dfmod: restore: " << report.failure().description << "\n";
    return report.failure().code == err::kInvalidProcedureCall ? kExitUsage : kExitFindings;
  }
  PrintReport(*report, io);
  return report->complete() ? kExitOk : kExitFindings;
}

}  // namespace dfm::cli
