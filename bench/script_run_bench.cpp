// A whole install run in process: a Control.ini of 5,000 pack + delete pairs into an
// archive of 20,000 records (36-byte records, one in ten dead space), run by the main
// window's presenter with a view that shows nothing, against the floor: the PFF floor
// (each source read, then each add's data, directory with trailer and header written
// with plain pwrite calls on a file kept open) plus the log floor (each of the run's
// entries appended with open, write, close). The unlink of each deleted source is timed
// on its own and reported beside them.
//
//   cmake --preset release && cmake --build --preset release -j2 --target script_run_bench
//   build/release/bench/script_run_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/pff_floor.h"
#include "bench/timing_file_system.h"
#include "platform/host.h"
#include "registry/tree_registry.h"
#include "restore/restore_points.h"
#include "shell/install_log.h"
#include "shell/main_window.h"
#include "support/fakes.h"
#include "support/scoped_current_directory.h"
#include "support/temp_dir.h"

namespace {

using namespace dfm;
using dfm::testing::TempDir;

constexpr int kRecords = 20000;
constexpr int kPairs = 5000;
constexpr int kStride = 36;

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Fixture {
  TempDir program;  // the installer's folder and the current directory
  TempDir game;
  std::string pristine = program / "pristine.pff";
  std::string archive = game / "Dflw.pff";
  std::vector<std::string> names;  // source files, in pack order
  std::vector<std::string> contents;
  std::string control;
  std::vector<std::string> log_lines;  // every line the run logs, header lines first
  std::unique_ptr<bench::PffFloor> pff_floor;

  Fixture() {
    std::mt19937 rng(20261206);
    program.Write("pristine.pff", bench::BenchmarkArchive(rng, kRecords, kStride));
    BuildScript(rng);
    Prepare();  // the floor plans its adds from the source files, as the PFF benchmark's does
    std::vector<bench::FloorSource> planned;
    for (std::size_t i = 0; i < names.size(); ++i) {
      planned.push_back({names[i], reinterpret_cast<const unsigned char*>(contents[i].data()),
                         contents[i].size(), program / names[i]});
    }
    pff_floor = std::make_unique<bench::PffFloor>(pristine, planned);
  }

  // Half the names replace files of the archive, half are new.
  void BuildScript(std::mt19937& rng) {
    std::uniform_int_distribution<int> size(1024, 65536);
    for (int j = 0; j < kPairs; ++j) {
      const std::string name =
          j % 2 ? bench::NumberedName("new", j) : bench::NumberedName("f", j * 7 % kRecords);
      names.push_back(name);
      contents.emplace_back(static_cast<std::size_t>(size(rng)), static_cast<char>('A' + j % 26));
      control += "Pack " + name + " Kyv_DF3_Location\\Dflw.pff\r\nDelete " + name + "\r\n";
      log_lines.push_back("Adding " + name + " To " + game.path().string() + "\\Dflw.pff\r\n");
      log_lines.push_back("Deleting Temporary File ( " + name + " )\r\n");
    }
    log_lines.push_back(std::to_string(2 * kPairs) + " Operations Performed!\r\n");
    log_lines.push_back("0 Errors Occurred!\r\n");
    log_lines.push_back("Installation Completed!\r\n");
    testing::FixedClock clock;
    log_lines.front().insert(0, InstallLogHeader(clock));  // the first entry starts the log
  }

  // The state before a run: a fresh archive, the sources and Control.ini, no log.
  void Prepare() const {
    std::filesystem::copy_file(pristine, archive,
                               std::filesystem::copy_options::overwrite_existing);
    for (std::size_t i = 0; i < names.size(); ++i) program.Write(names[i], contents[i]);
    program.Write("Control.ini", control);
    std::filesystem::remove(program / "InstallLog.txt");
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

struct Floor {
  double pff = 0;
  double log = 0;
  double unlink = 0;
};

Floor RunFloor(const Fixture& f) {
  f.Prepare();
  Floor floor;
  floor.pff = f.pff_floor->Run(f.archive);

  const std::string log = f.program / "InstallLog.txt";
  auto start = Clock::now();
  for (std::size_t i = 0; i < f.log_lines.size(); ++i) {
    const int flags = O_WRONLY | O_CREAT | (i == 0 ? O_TRUNC : O_APPEND);
    const int lfd = ::open(log.c_str(), flags, 0644);
    const std::string& line = f.log_lines[i];
    if (lfd < 0 || ::write(lfd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
      std::abort();
    ::close(lfd);
  }
  floor.log = Since(start);

  start = Clock::now();
  for (const std::string& name : f.names) ::unlink((f.program / name).c_str());
  floor.unlink = Since(start);
  return floor;
}

// Message boxes: the closing one is expected; anything else is a failure of the run.
class CountingDialogs final : public testing::RecordingDialogs {
 public:
  MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgButtons buttons,
                       MsgIcon icon) override {
    if (text != "Installation Complete!") ++unexpected;
    return testing::RecordingDialogs::MessageBox(text, title, buttons, icon);
  }
  int unexpected = 0;
};

// The window as start-up leaves it for the fixture's program and game folders.
void Ready(MainWindow& window, const Fixture& f) {
  WindowState& s = window.state();
  s.program_folder = f.program.str();
  s.df_version = 3;
  s.game_folders[3] = f.game.path().string();
  s.control_line_count = 2 * kPairs;
}

// The main window over `fs`, as start-up leaves it for the fixture's folders.
struct BenchWindow {
  BenchWindow(const Fixture& f, FileSystem& fs, CountingDialogs& dialogs)
      : platform{fs, dialogs, pump, clock, *process, registry}, window(platform, view) {
    Ready(window, f);
  }
  std::unique_ptr<Process> process = MakeHostProcess();
  NullEventPump pump;
  testing::FixedClock clock;
  TreeRegistry registry{{}, {}};
  Platform platform;
  NullMainView view;
  MainWindow window;
};

double RunScript(const Fixture& f, FileSystem& fs, CountingDialogs& dialogs) {
  f.Prepare();
  dialogs.boxes.clear();
  BenchWindow bench(f, fs, dialogs);
  MainWindow& window = bench.window;
  const auto start = Clock::now();
  const RunOutcome outcome = window.RunInstallScript();
  const double took = Since(start);
  if (outcome != RunOutcome::kCompleted || window.controls().status.size() != 2 * kPairs + 3)
    std::abort();
  return took;
}

// Each iteration runs the floor and then the script, so both see the same load; the
// reported time is the script's.
void BM_ScriptRunVsFloor(benchmark::State& state) {
  Fixture& f = TheFixture();
  testing::ScopedCurrentDirectory cwd(f.program.path());
  auto fs = MakeHostFileSystem();
  CountingDialogs dialogs;
  Floor sum;
  double script_total = 0;
  for (auto _ : state) {
    const Floor floor = RunFloor(f);
    const double script = RunScript(f, *fs, dialogs);
    sum.pff += floor.pff;
    sum.log += floor.log;
    sum.unlink += floor.unlink;
    script_total += script;
    state.SetIterationTime(script);
  }
  if (dialogs.unexpected != 0) state.SkipWithError("a message box other than the closing one");
  const double n = static_cast<double>(state.iterations());
  state.counters["pff_floor_ms"] = sum.pff / n * 1000;
  state.counters["log_floor_ms"] = sum.log / n * 1000;
  state.counters["unlink_ms"] = sum.unlink / n * 1000;
  state.counters["vs_floor"] = script_total / (sum.pff + sum.log);
  state.counters["vs_floor_unlink"] = script_total / (sum.pff + sum.log + sum.unlink);
}

// Where the run's time goes: milliseconds per kind of file-system call, and `other_ms`
// for everything outside the file system.
void BM_ScriptRunBreakdown(benchmark::State& state) {
  Fixture& f = TheFixture();
  testing::ScopedCurrentDirectory cwd(f.program.path());
  auto host = MakeHostFileSystem();
  CountingDialogs dialogs;
  for (auto _ : state) {
    testing::TimingFileSystem fs(*host);
    const double script = RunScript(f, fs, dialogs);
    state.SetIterationTime(script);
    double in_calls = 0;
    for (const auto& [what, seconds] : fs.totals) {
      state.counters[what + "_ms"] = seconds * 1000;
      in_calls += seconds;
    }
    state.counters["other_ms"] = (script - in_calls) * 1000;
  }
}

// The same run through Install, without and with a restore point (fresh each time), one
// after the other so both see the same load; the reported time is the run with one.
// Counters: the run without (plain_ms), the ratio, the restore point's bytes, and for the
// archive the bytes it saved against its directory plus the dead-space bytes reused.
double Install(const Fixture& f, FileSystem& fs, const std::string& store) {
  f.Prepare();
  CountingDialogs dialogs;
  BenchWindow bench(f, fs, dialogs);
  MainWindow& window = bench.window;
  window.set_restore_policy(
      {store.empty() ? RestorePolicy::Mode::kOff : RestorePolicy::Mode::kRequire, store,
       f.program / "Control.ini"});
  const auto start = Clock::now();
  window.ClickInstall();
  const double took = Since(start);
  if (dialogs.unexpected != 0 || window.last_run().errors != 0) std::abort();
  return took;
}

void BM_ScriptRunRestorePoint(benchmark::State& state) {
  Fixture& f = TheFixture();
  testing::ScopedCurrentDirectory cwd(f.program.path());
  auto fs = MakeHostFileSystem();
  const std::string store = f.program / "points";
  double plain = 0, with = 0;
  for (auto _ : state) {
    std::filesystem::remove_all(store);
    plain += Install(f, *fs, "");
    const double took = Install(f, *fs, store);
    with += took;
    state.SetIterationTime(took);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["plain_ms"] = plain / n * 1000;
  state.counters["ratio"] = with / plain;
  auto points = RestoreStore(*fs, store).List();
  auto journal = ReadJournal(*fs, store + "/" + points->front().id + "/" + kJournalName);
  double bytes = 0, archive = 0, reused = 0;
  for (const JournalRecord& r : journal->records) {
    bytes += static_cast<double>(r.data.size());
    if (r.kind == RecordKind::kRange) archive += static_cast<double>(r.data.size());
    if (r.kind == RecordKind::kEntry && r.Text(2) != "appended")
      reused += static_cast<double>(r.Number(2));
  }
  const double directory = kRecords * kStride + 54;
  state.counters["point_MB"] = bytes / 1e6;
  state.counters["archive_saved_MB"] = archive / 1e6;
  state.counters["dir_plus_reused_MB"] = (directory + reused) / 1e6;
  state.counters["archive_ratio"] = archive / (directory + reused);
}

BENCHMARK(BM_ScriptRunRestorePoint)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ScriptRunVsFloor)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_ScriptRunBreakdown)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
