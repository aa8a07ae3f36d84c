// 5,000 adds of files of 1-64 KB into an archive of 20,000 records (36-byte records, one
// in ten dead space), through the open-archive table on the host file system, against
// the floor: the same writes (each add's data, directory with trailer, and header, at
// the same offsets and of the same lengths) made with plain pwrite calls on a file kept
// open, with every byte already in memory. Each iteration starts from a fresh copy of the
// archive. The `vs_floor` counter of the add benchmark is its time over the floor's.
//
//   cmake --preset release && cmake --build --preset release -j2 --target pff_bench
//   build/release/bench/pff_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "pff/mod_kyv_pff.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "support/pff_bytes.h"
#include "support/temp_dir.h"

namespace {

using namespace dfm;
using dfm::testing::PffHeaderBytes;
using dfm::testing::PffRecordBytes;
using dfm::testing::TempDir;

constexpr int kRecords = 20000;
constexpr int kAdds = 5000;
constexpr int kNames = 1000;  // each added 5 times with different sizes
constexpr int kStride = 36;

class CountingDialogs final : public Dialogs {
 public:
  int boxes = 0;
  MsgAnswer MessageBox(const std::string& text, const std::string&, MsgButtons,
                       MsgIcon) override {
    if (boxes++ == 0) std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
    return MsgAnswer::kOk;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
};

struct Write {
  std::uint64_t offset;
  std::size_t size;
  const unsigned char* bytes;
};

struct Fixture {
  TempDir dir;
  std::string pristine = dir / "pristine.pff";
  std::string work = dir / "work.pff";
  std::vector<std::string> sources;           // in add order
  std::vector<Bytes> source_bytes;            // the same, in memory, for the floor
  std::vector<std::vector<Write>> floor_adds; // per add: data, directory, header
  Bytes directory_bytes;                      // the largest directory image, for the floor
  unsigned char header[kPffHeaderSize] = {};

  Fixture() {
    std::mt19937 rng(20261206);
    BuildArchive(rng);
    BuildSources(rng);
    PlanFloor();
  }

  void BuildArchive(std::mt19937& rng) {
    std::uniform_int_distribution<int> size(512, 4096);
    std::string data, records;
    for (int i = 0; i < kRecords; ++i) {
      const int n = size(rng);
      const bool dead = i % 10 == 5;
      const std::string name = dead ? "<DEAD SPACE>" : "f" + std::to_string(i) + ".pcx";
      records += PffRecordBytes(dead ? 1 : 0, static_cast<std::int32_t>(20 + data.size()), n,
                                1000, name, kStride, "SUM!");
      data.append(static_cast<std::size_t>(n), static_cast<char>('a' + i % 26));
    }
    dir.Write("pristine.pff",
              PffHeaderBytes(kRecords, kStride, static_cast<std::int32_t>(20 + data.size())) +
                  data + records);
  }

  // Names: half replace files of the archive, half are new. Round r adds every name once.
  void BuildSources(std::mt19937& rng) {
    std::uniform_int_distribution<int> size(1024, 65536);
    for (int round = 0; round < kAdds / kNames; ++round) {
      for (int j = 0; j < kNames; ++j) {
        const std::string name = j % 2 ? "new" + std::to_string(j) + ".pcx"
                                       : "f" + std::to_string(j * 17 % kRecords) + ".pcx";
        const std::string rel = "src/" + std::to_string(round) + "/" + name;
        std::string bytes(static_cast<std::size_t>(size(rng)), static_cast<char>('A' + j % 26));
        dir.Write(rel, bytes);
        sources.push_back(dir / rel);
        source_bytes.emplace_back(bytes.begin(), bytes.end());
      }
    }
  }

  void PlanFloor() {
    auto fs = MakeHostFileSystem();
    auto directory = ReadPffArchive(*fs, pristine);
    if (!directory) std::abort();
    std::vector<std::pair<std::uint64_t, std::size_t>> dir_writes;
    std::size_t largest = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      PffEntry e;
      e.data_size = static_cast<std::int32_t>(source_bytes[i].size());
      e.name = MakePffName(std::filesystem::path(sources[i]).filename().string());
      auto placed = directory->Place(e);
      if (!placed) std::abort();
      const Bytes& data = source_bytes[i];
      floor_adds.push_back({{static_cast<std::uint64_t>(placed->data_offset), data.size(),
                             data.data()}});
      dir_writes.emplace_back(directory->header().directory_offset, directory->image().size());
      largest = std::max(largest, directory->image().size());
    }
    directory_bytes = directory->image();
    directory_bytes.resize(largest);
    for (std::size_t i = 0; i < floor_adds.size(); ++i) {
      floor_adds[i].push_back({dir_writes[i].first, dir_writes[i].second, directory_bytes.data()});
      floor_adds[i].push_back({0, kPffHeaderSize, header});
    }
  }

  void FreshCopy() const {
    std::filesystem::copy_file(pristine, work, std::filesystem::copy_options::overwrite_existing);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

double floor_seconds = 0;

void BM_FloorPlainWrites(benchmark::State& state) {
  Fixture& f = TheFixture();
  for (auto _ : state) {
    f.FreshCopy();
    const int fd = ::open(f.work.c_str(), O_RDWR);
    const auto start = std::chrono::steady_clock::now();
    for (const auto& add : f.floor_adds) {
      for (const Write& w : add) {
        if (::pwrite(fd, w.bytes, w.size, static_cast<off_t>(w.offset)) !=
            static_cast<ssize_t>(w.size)) {
          state.SkipWithError("pwrite failed");
        }
      }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ::close(fd);
    state.SetIterationTime(took.count());
    floor_seconds = took.count();
  }
}

void BM_AddFile(benchmark::State& state) {
  Fixture& f = TheFixture();
  auto fs = MakeHostFileSystem();
  CountingDialogs dialogs;
  NullEventPump pump;
  double seconds = 0;
  for (auto _ : state) {
    f.FreshCopy();
    PffArchiveTable table(*fs, dialogs, pump);
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& source : f.sources) {
      const int handle = table.OpenFile(f.work);
      pump.ProcessPendingEvents();
      (void)table.AddFile(handle, source);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    seconds = took.count();
  }
  if (dialogs.boxes != 0) state.SkipWithError("an add failed");
  state.counters["vs_floor"] = floor_seconds > 0 ? seconds / floor_seconds : 0;
}

}  // namespace

BENCHMARK(BM_FloorPlainWrites)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_AddFile)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

BENCHMARK_MAIN();
