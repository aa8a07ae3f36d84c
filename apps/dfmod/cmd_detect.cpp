// dfmod detect [--json]: where the installer finds each game on this machine, where that
// folder came from, and every folder it looked at and passed over.
#include <ostream>

#include "dfmod/cli.h"
#include "platform/host.h"
#include "shell/game_folders.h"

namespace dfm::cli {
namespace {

std::string Described(const FolderCandidate& c) {
  return c.folder + " [" + std::string(FolderSourceName(c.source)) + "]";
}

void PrintText(const GameFolders& folders, const GameSearchOutcomes& report, std::ostream& out) {
  for (int v = 1; v <= 3; ++v) {
    const GameSearchOutcome& o = report[v - 1];
    out << GameTitle(v) << " (" << GameProgramFile(v)
        << "): " << (o.found ? Described(*o.found) : folders[v]) << "\n";
    for (const RejectedFolder& r : o.rejected)
      out << "  passed over " << Described(r.candidate) << ": " << r.reason << "\n";
  }
}

std::string JsonCandidate(const FolderCandidate& c) {
  return "\"folder\":" + JsonString(c.folder) +
         ",\"source\":" + JsonString(FolderSourceName(c.source));
}

void PrintJson(const GameSearchOutcomes& report, std::ostream& out) {
  out << "{\"games\":[";
  for (int v = 1; v <= 3; ++v) {
    const GameSearchOutcome& o = report[v - 1];
    out << (v > 1 ? "," : "") << "{\"version\":" << v
        << ",\"program\":" << JsonString(GameProgramFile(v)) << ","
        << (o.found ? JsonCandidate(*o.found) : "\"folder\":null,\"source\":null")
        << ",\"passed_over\":[";
    for (std::size_t i = 0; i < o.rejected.size(); ++i) {
      out << (i > 0 ? "," : "") << "{" << JsonCandidate(o.rejected[i].candidate)
          << ",\"reason\":" << JsonString(o.rejected[i].reason) << "}";
    }
    out << "]}";
  }
  out << "]}\n";
}

}  // namespace

int Detect(const Args& args, Io& io) {
  bool json = false;
  for (const auto& a : args) {
    if (a != "--json") return UsageError(io, "detect", "unknown option '" + a + "'");
    json = true;
  }
  auto fs = MakeHostFileSystem();
  auto registry = io.make_registry();
  auto environment = MakeHostEnvironment();
  GameSearchOutcomes report;
  const GameFolders folders = FindGameFolders(*registry, *fs, *environment, &report);
  json ? PrintJson(report, io.out) : PrintText(folders, report, io.out);
  return kExitOk;
}

}  // namespace dfm::cli
