// dfmod restore --list [GAME-FOLDER] [--json] | dfmod restore [ID] [--force] | dfmod
// restore --cascade ID [--force] | dfmod restore --salvage ID, each with [--restore-dir
// DIR]: lists the restore points and the later installs over each, undoes an install (with
// --cascade, every later one over it first), or puts back what a damaged journal still
// wholly describes.
#include <ostream>
#include <utility>

#include "base/path_utils.h"
#include "common/uninstall_run.h"
#include "dfmod/cli.h"
#include "platform/host.h"
#include "restore/restore_points.h"

namespace dfm::cli {

std::string CoverJson(const Cover& c) {
  std::size_t entries = 0;
  for (const ItemKey& k : c.items) entries += k.is_entry();
  return "{\"id\":" + JsonString(c.id) + ",\"mod\":" + JsonString(c.mod) +
         ",\"files\":" + std::to_string(c.items.size() - entries) +
         ",\"entries\":" + std::to_string(entries) + "}";
}

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

void PrintJson(const RestorePointInfo& p, const std::vector<Cover>& covers, std::ostream& out) {
  out << "{\"id\":" << JsonString(p.id) << ",\"sequence\":" << p.sequence;
  if (!p.damage.empty()) {
    out << ",\"damage\":" << JsonString(p.damage) << "}";
    return;
  }
  out << ",\"state\":" << JsonString(StateName(p.state)) << ",\"left\":" << p.left
      << ",\"mod\":" << JsonString(p.mod) << ",\"started\":" << JsonString(p.started)
      << ",\"files\":" << p.files.size() << ",\"entries\":" << p.entries.size()
      << ",\"covered_by\":[";
  const char* sep = "";
  for (const Cover& c : covers) out << std::exchange(sep, ",") << CoverJson(c);
  out << "]}";
}

int List(RestoreStore& store, const std::string& folder, bool json, Io& io) {
  auto points = store.List();
  if (!points) return UsageError(io, "restore", points.failure().description);
  const char* sep = "";
  if (json) io.out << "{\"restore_points\":[";
  for (const RestorePointInfo& p : *points) {
    if (!folder.empty() && !Touches(p, folder)) continue;
    const std::vector<Cover> covers = IsLive(p) ? CoveredBy(*points, p.id) : std::vector<Cover>{};
    if (json) {
      io.out << std::exchange(sep, ",");
      PrintJson(p, covers, io.out);
    } else if (!p.damage.empty()) {
      io.out << p.id << "  " << p.damage << "\n";
    } else {
      io.out << p.id << "  " << StateName(p.state);
      if (p.left > 0) io.out << ", partly undone: " << p.left << " files left";
      io.out << "  " << p.mod << "  " << p.started << "  " << p.files.size() << " files, "
             << p.entries.size() << " archive entries\n";
      for (const Cover& c : covers)
        io.out << "    covered by " << c.id << " (" << CountText(c.items) << ")\n";
    }
  }
  if (json) io.out << "]}\n";
  return kExitOk;
}

// Undoes every later live install over `id`, newest first, then `id`, stopping at the
// first that is refused or not wholly undone.
int Cascade(RestoreStore& store, const std::string& id, bool force, const LocalDateTime& now,
            Io& io) {
  auto points = store.List();
  if (!points) return UsageError(io, "restore", points.failure().description);
  std::vector<std::string> order{id};
  for (const Cover& c : CoveredBy(*points, id)) order.insert(order.begin(), c.id);
  std::string undone;
  for (const std::string& next : order) {
    auto report = store.Undo(next, force, now);
    if (report) PrintReport(*report, io);
    if (!report || !report->complete()) {
      if (!report) io.err << "dfmod: restore: " << report.failure().description << "\n";
      io.err << "dfmod: restore: --cascade stopped at " << next << "; "
             << (undone.empty() ? "nothing undone" : "undone: " + undone) << "\n";
      const bool refused = !report && report.failure().code == err::kInvalidProcedureCall;
      return refused ? kExitUsage : kExitFindings;
    }
    undone += (undone.empty() ? "" : ", ") + next;
  }
  // On the error stream: the list stays the only output, for scripts.
  io.err << "dfmod: restore: the same list with Remove is a window: DFModInstaller "
            "--installed-mods, or the menu's \"Installed Delta Force Mods\"\n";
  return kExitOk;
}

int RestoreIn(const Args& args, Io& io) {
  bool list = false, force = false, salvage = false, cascade = false, json = false;
  std::string dir;
  std::vector<std::string> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--list") {
      list = true;
    } else if (args[i] == "--force") {
      force = true;
    } else if (args[i] == "--salvage") {
      salvage = true;
    } else if (args[i] == "--cascade") {
      cascade = true;
    } else if (args[i] == "--json") {
      json = true;
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
  if (list) return List(store, operand, json, io);
  if (json) return UsageError(io, "restore", "--json goes with --list");
  if (cascade && operand.empty())
    return UsageError(io, "restore", "--cascade needs a restore point");
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
  if (cascade) return Cascade(store, operand, force, clock->Now(), io);
  auto report = store.Undo(operand, force, clock->Now());
  if (!report) {
    io.err << "dfmod: restore: " << report.failure().description << "\n";
    return report.failure().code == err::kInvalidProcedureCall ? kExitUsage : kExitFindings;
  }
  PrintReport(*report, io);
  return report->complete() ? kExitOk : kExitFindings;
}

}  // namespace

int Restore(const Args& args, Io& io) {
  const int rc = RestoreIn(args, io);
  PruneUninstallList(io);  // the keys of the installs undone, in Windows' uninstall list
  return rc;
}

}  // namespace dfm::cli
