// 5,000 adds of files of 1-64 KB into an archive of 20,000 records (36-byte records, one
// in ten dead space), through the open-archive table on the host file system, against
// the floor: what an add cannot do without, with plain system calls. For each add the
// floor opens the source, reads its bytes with one pread and closes it (an add must read
// them, and a file cannot be read without opening it), then makes the add's writes (its
// data, its directory with the trailer, and its header, in the add's order, at the same
// offsets and of the same lengths) with pwrite on an archive kept open. The floor's
// archive ends up byte for byte the same as the adds'; the benchmark checks it. Each run
// starts from a fresh copy of the archive.
//
//   cmake --preset release && cmake --build --preset release -j2 --target pff_bench
//   build/release/bench/pff_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/pff_floor.h"
#include "bench/timing_file_system.h"
#include "pff/pff_install.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "support/temp_dir.h"

namespace {

using namespace dfm;
using dfm::testing::TempDir;
using dfm::testing::TimingFileSystem;

constexpr int kRecords = 20000;
constexpr int kAdds = 5000;
constexpr int kNames = 1000;  // each added 5 times with different sizes
constexpr int kStride = 36;

class CountingDialogs final : public Dialogs {
 public:
  int boxes = 0;
  MsgAnswer MessageBox(const std::string& text, const std::string&, MsgButtons, MsgIcon) override {
    if (boxes++ == 0) std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
    return MsgAnswer::kOk;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  Result<std::optional<std::string>> BrowseForFolder(const std::string&) override {
    return std::optional<std::string>();
  }
};

struct Fixture {
  TempDir dir;
  std::string pristine = dir / "pristine.pff";
  std::string work = dir / "work.pff";
  std::string floor_work = dir / "floor.pff";
  std::vector<std::string> sources;  // in add order
  std::unique_ptr<bench::PffFloor> floor;

  Fixture() {
    std::mt19937 rng(20261206);
    dir.Write("pristine.pff", bench::BenchmarkArchive(rng, kRecords, kStride));
    BuildSources(rng);
    std::vector<bench::FloorSource> planned;
    for (const std::string& source : sources) planned.push_back({.path = source});
    floor = std::make_unique<bench::PffFloor>(pristine, planned);
  }

  // Names: half replace files of the archive, half are new. Round r adds every name once.
  void BuildSources(std::mt19937& rng) {
    std::uniform_int_distribution<int> size(1024, 65536);
    for (int round = 0; round < kAdds / kNames; ++round) {
      for (int j = 0; j < kNames; ++j) {
        const std::string name =
            j % 2 ? bench::NumberedName("new", j) : bench::NumberedName("f", j * 17 % kRecords);
        std::string rel = "src/";
        rel += std::to_string(round);
        rel += "/" + name;
        std::string bytes(static_cast<std::size_t>(size(rng)), static_cast<char>('A' + j % 26));
        dir.Write(rel, bytes);
        sources.push_back(dir / rel);
      }
    }
  }

  void FreshCopy(const std::string& to) const {
    std::filesystem::copy_file(pristine, to, std::filesystem::copy_options::overwrite_existing);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// The floor on a fresh copy of the archive. Returns seconds.
double RunFloor(const Fixture& f) {
  f.FreshCopy(f.floor_work);
  return f.floor->Run(f.floor_work);
}

// The real thing: OpenFile, a yield and AddFile per source, as the pack command does.
double RunAdds(const Fixture& f, FileSystem& fs, Dialogs& dialogs) {
  f.FreshCopy(f.work);
  NullEventPump pump;
  PffArchiveTable table(fs, dialogs, pump);
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& source : f.sources) {
    const int handle = table.OpenFile(f.work);
    pump.ProcessPendingEvents();
    (void)table.AddFile(handle, source);
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

// Each iteration runs the floor and then the adds, so both see the same machine load;
// the reported time is the adds', `floor_ms` the floor's, `vs_floor` the ratio of sums.
void BM_AddFileVsFloor(benchmark::State& state) {
  Fixture& f = TheFixture();
  auto fs = MakeHostFileSystem();
  CountingDialogs dialogs;
  double floor_total = 0, adds_total = 0;
  for (auto _ : state) {
    const double floor = RunFloor(f);
    const double adds = RunAdds(f, *fs, dialogs);
    floor_total += floor;
    adds_total += adds;
    state.SetIterationTime(adds);
  }
  if (dialogs.boxes != 0) state.SkipWithError("an add failed");
  if (f.dir.Read("floor.pff") != f.dir.Read("work.pff")) {
    state.SkipWithError("the floor's archive differs from the adds'");
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["floor_ms"] = floor_total / n * 1000;
  state.counters["vs_floor"] = adds_total / floor_total;
}

// Where the adds' time goes: milliseconds per kind of call, and `other_ms` for everything
// outside the file system (directory bookkeeping, encoding, the table).
void BM_AddFileBreakdown(benchmark::State& state) {
  Fixture& f = TheFixture();
  auto host = MakeHostFileSystem();
  CountingDialogs dialogs;
  for (auto _ : state) {
    TimingFileSystem fs(*host);
    const double adds = RunAdds(f, fs, dialogs);
    state.SetIterationTime(adds);
    double in_calls = 0;
    for (const auto& [what, seconds] : fs.totals) {
      state.counters[what + "_ms"] = seconds * 1000;
      in_calls += seconds;
    }
    state.counters["other_ms"] = (adds - in_calls) * 1000;
  }
}

}  // namespace

BENCHMARK(BM_AddFileVsFloor)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_AddFileBreakdown)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

BENCHMARK_MAIN();
