// dfmod plan INSTALLER [--game-folder V=DIR]... [--critical continue|abort]
// [--password PW] [--restore-dir DIR] [--json]: the install run rehearsed in a temporary
// folder, every change kept in memory; prints what the run would change, the errors it
// would count, and which installed mods' files and entries it would cover.
#include <filesystem>
#include <ostream>
#include <random>
#include <set>
#include <sstream>

#include "base/path_utils.h"
#include "common/headless_run.h"
#include "dfmod/cli.h"
#include "platform/host.h"
#include "restore/overlay_file_system.h"
#include "restore/restore_points.h"

namespace dfm::cli {
namespace {

namespace fs = std::filesystem;

struct PlanResult {
  RestorePointInfo changes;
  std::int32_t errors = 0;
  std::vector<Cover> covers;
  std::vector<std::string> conflicts;
};

// A temporary folder, removed with everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device seed;
    path_ = fs::temp_directory_path() / ("dfmod-plan-" + std::to_string(seed()));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// `text` with the scratch copy's folder spelled as the installer's own.
std::string Relocated(std::string text, const std::string& scratch, const std::string& real) {
  for (std::size_t at = 0; (at = text.find(scratch, at)) != std::string::npos; at += real.size())
    text.replace(at, scratch.size(), real);
  return text;
}

// The live installs whose items the planned ones cover, and each file and entry of the
// plan that one of them changed before.
void FindCovers(PlanResult& plan, const std::set<ItemKey>& items, const std::string& store_folder) {
  auto host = MakeHostFileSystem();
  auto points = RestoreStore(*host, store_folder).List();
  if (!points) return;
  plan.covers = Covering(*points, items);
  for (const Cover& c : plan.covers) {
    const std::set<ItemKey> hit(c.items.begin(), c.items.end());
    const std::string by = " was changed by install " + c.id + " (" + c.mod + ")";
    for (const TouchedFile& f : plan.changes.files) {
      if (hit.count(FileItem(f.path))) plan.conflicts.push_back(f.path + by);
    }
    for (const auto& e : plan.changes.entries) {
      if (hit.count(EntryItem(e.archive, e.name)))
        plan.conflicts.push_back(e.archive + ": " + e.name + by);
    }
  }
}

void PrintText(const PlanResult& plan, std::ostream& out) {
  out << "Plan: " << plan.changes.mod << "\n";
  for (const TouchedFile& f : plan.changes.files)
    out << "File: " << f.path << ", " << f.how << "\n";
  for (const auto& e : plan.changes.entries) out << "Entry: " << e.text << "\n";
  out << "Errors: " << plan.errors << "\n";
  for (const Cover& c : plan.covers)
    out << "Covers: " << c.id << " (" << c.mod << "): " << CountText(c.items) << "\n";
  for (const auto& c : plan.conflicts) out << "Conflict: " << c << "\n";
}

void PrintJson(const PlanResult& plan, std::ostream& out) {
  out << "{\"mod\":" << JsonString(plan.changes.mod) << ",\"files\":[";
  const char* sep = "";
  for (const TouchedFile& f : plan.changes.files) {
    out << sep << "{\"path\":" << JsonString(f.path) << ",\"change\":" << JsonString(f.how) << "}";
    sep = ",";
  }
  out << "],\"entries\":[";
  sep = "";
  for (const auto& e : plan.changes.entries) {
    out << sep << "{\"archive\":" << JsonString(e.archive) << ",\"name\":" << JsonString(e.name)
        << ",\"change\":" << JsonString(e.text) << "}";
    sep = ",";
  }
  out << "],\"errors\":" << plan.errors << ",\"covers\":[";
  sep = "";
  for (const Cover& c : plan.covers) {
    out << sep << CoverJson(c);
    sep = ",";
  }
  out << "],\"conflicts\":[";
  sep = "";
  for (const auto& c : plan.conflicts) {
    out << sep << JsonString(c);
    sep = ",";
  }
  out << "]}\n";
}

}  // namespace

int Plan(const Args& args, Io& io) {
  Args rest;
  bool json = false;
  for (const auto& a : args) {
    if (a == "--json")
      json = true;
    else
      rest.push_back(a);
  }
  RunOptions options;
  std::vector<std::string> operands;
  if (std::string problem = ParseRunOptions(rest, options, operands); !problem.empty())
    return UsageError(io, "plan", problem);
  if (operands.size() != 1) return UsageError(io, "plan", "give exactly one INSTALLER");
  std::error_code ec;
  const fs::path installer = fs::absolute(operands[0], ec);
  if (!fs::is_regular_file(installer, ec)) return InputError(io, "plan", operands[0], "not found");

  ScratchFolder scratch;
  const fs::path copy = scratch.path() / "installer" / installer.filename();
  fs::create_directories(copy.parent_path(), ec);
  if (!fs::copy_file(installer, copy, ec)) return UsageError(io, "plan", ec.message());
  const std::string store = RestoreFolder(options);
  options.restore_dir = (scratch.path() / "points").string();
  options.restore_point = true;

  auto host = MakeHostFileSystem();
  OverlayFileSystem overlay(*host);
  std::ostringstream quiet;
  Io silent{quiet, quiet, io.make_registry};
  PlanResult plan;
  RunResult result;
  const int rc =
      RunInstallerUnattended(copy.string(), options, silent, "dfmod: plan", &overlay, &result);
  plan.errors = result.errors;
  auto points = RestoreStore(*host, options.restore_dir).List();
  if (!points || points->empty()) {
    io.err << quiet.str();
    return rc == kExitOk ? kExitFindings : rc;
  }
  plan.changes = points->front();
  const std::string scratch_folder = AsFolder(copy.parent_path().string());
  const std::string real_folder = AsFolder(installer.parent_path().string());
  for (TouchedFile& f : plan.changes.files) {
    f.path = Relocated(f.path, scratch_folder, real_folder);
    f.how = Relocated(f.how, scratch_folder, real_folder);
  }
  // Items in the installer's folder are named in the scratch copy's.
  std::set<ItemKey> items;
  for (ItemKey item : plan.changes.items) {
    item.path = Relocated(item.path, FoldedPath(scratch_folder), FoldedPath(real_folder));
    items.insert(std::move(item));
  }
  FindCovers(plan, items, store);
  json ? PrintJson(plan, io.out) : PrintText(plan, io.out);
  return plan.errors == 0 ? kExitOk : kExitFindings;
}

}  // namespace dfm::cli
