// Start-up of an installer whose Main.zip holds 3,000 entries and about 25 MB: the payload
// written beside the program and Main.zip extracted without folders, against Info-ZIP
// "unzip -o -j -qq" extracting the same archive, in the same run. The one-second pause
// that start-up makes after extraction is left out (the clock runs ahead).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/host.h"
#include "registry/tree_registry.h"
#include "shell/payload.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "zip/zip_archive.h"

namespace {

constexpr int kEntries = 3000;

class NoProcess : public dfm::Process {
 public:
  dfm::Result<std::string> ExecutablePath() override { return std::string(); }
};

// Entries of a mod: an incompressible part (like a JPEG texture) and a repetitive part
// (like a script or an uncompressed picture).
dfm::Bytes MakeMainZip() {
  std::mt19937 random(6);
  dfm::ZipWriter writer;
  for (int i = 0; i < kEntries; ++i) {
    dfm::Bytes data(8600 + 4096);
    for (std::size_t k = 0; k < 8600; ++k) data[k] = static_cast<unsigned char>(random());
    for (std::size_t k = 8600; k < data.size(); ++k)
      data[k] = static_cast<unsigned char>("pack "[k % 5]);
    (void)writer.Add("Textures/t" + std::to_string(i) + ".pcx", std::move(data));
  }
  return *writer.Finish();
}

struct Fixture {
  dfm::testing::TempDir dir;
  std::unique_ptr<dfm::FileSystem> fs = dfm::MakeHostFileSystem();
  std::uint64_t zip_size = 0;

  Fixture() {
    std::filesystem::create_directories(dir.path() / "installer");
    dfm::Bytes zip = MakeMainZip();
    zip_size = zip.size();
    (void)dfm::WriteWholeFile(*fs, dir / "Main.zip", zip);
    (void)dfm::WriteInstaller(*fs, dir / "installer/Setup.exe", dfm::Bytes(64 * 1024, 0),
                              dfm::Bytes(dfm::kLibrarySlotsSize, 0), zip);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// The folder for a run: the same one each time when overwriting, else a folder never used
// before. Fresh folders are removed only at the end, so no run creates its files right
// after thousands were deleted, which slows the file system's allocation down.
std::string RunFolder(Fixture& f, const std::string& tool, bool overwrite) {
  static int runs = 0;
  std::string name = tool;
  name += overwrite ? std::string("-same") : "-" + std::to_string(++runs);
  std::filesystem::create_directories(f.dir.path() / name);
  return f.dir.str() + name + "/";
}

// RunFolder, made outside the timing.
std::string NextFolder(benchmark::State& state, Fixture& f, const std::string& tool,
                       bool overwrite) {
  state.PauseTiming();
  std::string folder = RunFolder(f, tool, overwrite);
  state.ResumeTiming();
  return folder;
}

// state.range(0): 1 extracts into a folder that already holds every file, 0 into a new one.
void BM_UnpackPayload(benchmark::State& state) {
  Fixture& f = Shared();
  const bool overwrite = state.range(0) == 1;
  const auto cwd = std::filesystem::current_path();
  dfm::testing::RecordingDialogs dialogs;
  dfm::testing::CountingPump pump;
  dfm::testing::FixedClock clock;
  clock.step = 1.0;
  NoProcess process;
  dfm::TreeRegistry registry({}, {});
  dfm::Platform platform{*f.fs, dialogs, pump, clock, process, registry};
  const std::string installer = f.dir / "installer/Setup.exe";
  if (overwrite) dfm::UnpackPayload(platform, RunFolder(f, "dfm", true), installer);
  for (auto _ : state) {
    dfm::UnpackPayload(platform, NextFolder(state, f, "dfm", overwrite), installer);
  }
  std::filesystem::current_path(cwd);
  if (!dialogs.boxes.empty()) state.SkipWithError(dialogs.boxes[0].text.c_str());
  state.counters["zip_MB"] = static_cast<double>(f.zip_size) / 1e6;
}

// CPU seconds of the finished child processes (unzip and its shell).
double ChildCpuSeconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_InfoZipUnzip(benchmark::State& state) {
  Fixture& f = Shared();
  const bool overwrite = state.range(0) == 1;
  auto command = [&](const std::string& folder) {
    return "unzip -o -j -qq '" + (f.dir / "Main.zip") + "' -d '" + folder + "'";
  };
  if (overwrite && std::system(command(RunFolder(f, "unzip", true)).c_str()) != 0)
    state.SkipWithError("unzip failed");
  const double cpu_before = ChildCpuSeconds();
  for (auto _ : state) {
    if (std::system(command(NextFolder(state, f, "unzip", overwrite)).c_str()) != 0)
      state.SkipWithError("unzip failed");
  }
  state.counters["unzip_cpu_ms"] = benchmark::Counter((ChildCpuSeconds() - cpu_before) * 1e3 /
                                                      static_cast<double>(state.iterations()));
}

// Into a new folder, and over the files of the previous run; five runs each.
void Cases(benchmark::internal::Benchmark* b) {
  b->ArgName("overwrite")
      ->Arg(0)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(5);
}

BENCHMARK(BM_UnpackPayload)->Apply(Cases);
BENCHMARK(BM_InfoZipUnzip)->Apply(Cases);

}  // namespace

BENCHMARK_MAIN();
