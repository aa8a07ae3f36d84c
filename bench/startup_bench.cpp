// Start-up of an installer whose Main.zip holds 3,000 entries and about 25 MB: the payload
// written beside the program and Main.zip extracted without folders, against Info-ZIP
// "unzip -o -j -qq" extracting the same archive, in the same run. The one-second pause
// that start-up makes after extraction is left out (the clock runs ahead).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/host.h"
#include "platform/tree_registry.h"
#include "platform/zip_archive.h"
#include "shell/payload.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

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
    std::filesystem::create_directories(dir.path() / "unzip");
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

// Empties `folder` but for the files named in `keep`, outside the timing.
void Empty(benchmark::State& state, const std::filesystem::path& folder,
           const std::vector<std::string>& keep) {
  state.PauseTiming();
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (std::find(keep.begin(), keep.end(), e.path().filename()) == keep.end())
      std::filesystem::remove_all(e.path());
  }
  state.ResumeTiming();
}

// state.range(0): 1 extracts into a folder that already holds every file, 0 into one
// that holds none of them.
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
  const std::string folder = f.dir.str() + "installer/";
  dfm::UnpackPayload(platform, folder, folder + "Setup.exe");
  for (auto _ : state) {
    if (!overwrite) Empty(state, f.dir.path() / "installer", {"Setup.exe"});
    dfm::UnpackPayload(platform, folder, folder + "Setup.exe");
  }
  std::filesystem::current_path(cwd);
  if (!dialogs.boxes.empty()) state.SkipWithError(dialogs.boxes[0].text.c_str());
  state.counters["zip_MB"] = static_cast<double>(f.zip_size) / 1e6;
}

void BM_InfoZipUnzip(benchmark::State& state) {
  Fixture& f = Shared();
  const bool overwrite = state.range(0) == 1;
  const std::string command =
      "unzip -o -j -qq '" + (f.dir / "Main.zip") + "' -d '" + (f.dir / "unzip") + "'";
  if (std::system(command.c_str()) != 0) state.SkipWithError("unzip failed");
  for (auto _ : state) {
    if (!overwrite) Empty(state, f.dir.path() / "unzip", {});
    if (std::system(command.c_str()) != 0) state.SkipWithError("unzip failed");
  }
}

// Into an empty folder, and over the files of the previous run; five runs each.
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
