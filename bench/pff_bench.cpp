// 5,000 adds of files of 1-64 KB into an archive of 20,000 records (36-byte records, one
// in ten dead space), through the open-archive table on the host file system, against
// the floor: what an add cannot do without, with plain system calls. For each add the
// floor opens the source, reads its bytes with one pread and closes it (an add must read
// them, and a source file cannot be read without opening it), then makes the add's
// writes (its data, its directory with the trailer, and its header, in the add's order,
// at the same offsets and of the same lengths) with pwrite on an archive kept open. The
// floor's archive ends up byte for byte the same as the adds'; the benchmark checks it.
// Each run starts from a fresh copy of the archive.
//
//   cmake --preset release && cmake --build --preset release -j2 --target pff_bench
//   build/release/bench/pff_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
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

// "f12.pcx" and the like.
std::string NumberedName(const char* prefix, int n) {
  std::string name = prefix;
  name += std::to_string(n);
  name += ".pcx";
  return name;
}

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
  std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
};

// One add as the floor makes it: read the source, then write its data, its directory
// (the first `directory_size` bytes of the final image: the same length at the same
// offset, and every byte of it that survives is the final image's) and its header.
struct FloorAdd {
  std::string source;
  std::size_t size = 0;
  std::uint64_t data_offset = 0;
  std::uint64_t directory_offset = 0;
  std::size_t directory_size = 0;
  bool directory_first = false;  // the add's order when the directory moves up
  std::array<unsigned char, kPffHeaderSize> header{};
};

struct Fixture {
  TempDir dir;
  std::string pristine = dir / "pristine.pff";
  std::string work = dir / "work.pff";
  std::string floor_work = dir / "floor.pff";
  std::vector<std::string> sources;  // in add order
  std::vector<FloorAdd> floor_adds;
  Bytes directory_bytes;  // the final directory image, the largest
  std::size_t largest_source = 0;

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
      const std::string name = dead ? "<DEAD SPACE>" : NumberedName("f", i);
      records += PffRecordBytes(dead ? 1 : 0, static_cast<std::int32_t>(20 + data.size()), n, 1000,
                                name, kStride, "SUM!");
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
        const std::string name =
            j % 2 ? NumberedName("new", j) : NumberedName("f", j * 17 % kRecords);
        std::string rel = "src/";
        rel += std::to_string(round);
        rel += "/" + name;
        std::string bytes(static_cast<std::size_t>(size(rng)), static_cast<char>('A' + j % 26));
        dir.Write(rel, bytes);
        sources.push_back(dir / rel);
        largest_source = std::max(largest_source, bytes.size());
      }
    }
  }

  // Places every add in a copy of the directory, with the records GetFileHeader makes,
  // so that the floor writes what the adds write.
  void PlanFloor() {
    auto fs = MakeHostFileSystem();
    CountingDialogs dialogs;
    NullEventPump pump;
    PffArchiveTable table(*fs, dialogs, pump);
    auto directory = ReadPffArchive(*fs, pristine);
    if (!directory) std::abort();
    for (const std::string& source : sources) {
      auto entry = table.GetFileHeader(source);
      if (!entry) std::abort();
      auto placed = directory->Place(*entry);
      if (!placed) std::abort();
      floor_adds.push_back({source, static_cast<std::size_t>(entry->data_size),
                            static_cast<std::uint64_t>(placed->data_offset),
                            static_cast<std::uint64_t>(directory->header().directory_offset),
                            directory->image().size(),
                            placed->kind == PffPlacement::Kind::kAppended,
                            EncodePffHeader(directory->header())});
    }
    directory_bytes = directory->image();
  }

  static void FreshCopy(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

void PwriteAll(int fd, const void* bytes, std::size_t size, std::uint64_t offset) {
  if (::pwrite(fd, bytes, size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size)) {
    std::abort();
  }
}

// The floor: per add, open + pread + close of the source, then the add's writes with
// pwrite on an archive kept open. Returns seconds.
double RunFloor(const Fixture& f) {
  Fixture::FreshCopy(f.pristine, f.floor_work);
  std::vector<unsigned char> buffer(f.largest_source);
  const int fd = ::open(f.floor_work.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) std::abort();
  const auto start = std::chrono::steady_clock::now();
  for (const FloorAdd& add : f.floor_adds) {
    const int source = ::open(add.source.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0 ||
        ::pread(source, buffer.data(), add.size, 0) != static_cast<ssize_t>(add.size)) {
      std::abort();
    }
    ::close(source);
    if (add.directory_first) {
      PwriteAll(fd, f.directory_bytes.data(), add.directory_size, add.directory_offset);
    }
    PwriteAll(fd, buffer.data(), add.size, add.data_offset);
    if (!add.directory_first) {
      PwriteAll(fd, f.directory_bytes.data(), add.directory_size, add.directory_offset);
    }
    PwriteAll(fd, add.header.data(), add.header.size(), 0);
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  ::close(fd);
  return took.count();
}

// The real thing: OpenFile, a yield and AddFile per source, as the pack command does.
double RunAdds(const Fixture& f, FileSystem& fs, Dialogs& dialogs) {
  Fixture::FreshCopy(f.pristine, f.work);
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

// Wall time spent inside each kind of file-system call, for BM_AddFileBreakdown.
class TimingFileSystem final : public FileSystem {
 public:
  using Totals = std::map<std::string, double>;
  explicit TimingFileSystem(FileSystem& inner) : inner_(inner) {}
  Totals totals;

  template <class F>
  auto Time(const char* what, F&& f) {
    const auto start = std::chrono::steady_clock::now();
    auto result = f();
    totals[what] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
  }

  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    auto file = Time("open", [&] { return inner_.Open(path, mode); });
    if (!file) return file.failure();
    return std::unique_ptr<File>(std::make_unique<TimingFile>(*this, std::move(*file)));
  }
  Result<std::uint64_t> FileLength(const std::string& p) override {
    return Time("stat_length", [&] { return inner_.FileLength(p); });
  }
  Result<LocalDateTime> ModifiedTime(const std::string& p) override {
    return Time("stat_time", [&] { return inner_.ModifiedTime(p); });
  }
  Result<FileStat> Stat(const std::string& p) override {
    return Time("stat", [&] { return inner_.Stat(p); });
  }
  Result<bool> IsDirectory(const std::string& p) override { return inner_.IsDirectory(p); }
  Status CopyFile(const std::string& a, const std::string& b) override {
    return inner_.CopyFile(a, b);
  }
  Status Rename(const std::string& a, const std::string& b) override { return inner_.Rename(a, b); }
  Status RemoveFile(const std::string& p) override { return inner_.RemoveFile(p); }
  Status MakeDirectory(const std::string& p) override { return inner_.MakeDirectory(p); }
  Result<std::vector<DirEntry>> ListDirectory(const std::string& p) override {
    return inner_.ListDirectory(p);
  }
  Result<std::string> CurrentDirectory() override { return inner_.CurrentDirectory(); }
  Status SetCurrentDirectory(const std::string& p) override {
    return inner_.SetCurrentDirectory(p);
  }

 private:
  class TimingFile final : public File {
   public:
    TimingFile(TimingFileSystem& fs, std::unique_ptr<File> inner)
        : fs_(fs), inner_(std::move(inner)) {}
    Status ReadAt(std::uint64_t o, void* p, std::size_t n) override {
      return fs_.Time("read", [&] { return inner_->ReadAt(o, p, n); });
    }
    Status WriteAt(std::uint64_t o, const void* p, std::size_t n) override {
      return fs_.Time("write", [&] { return inner_->WriteAt(o, p, n); });
    }
    Result<std::uint64_t> Size() override {
      return fs_.Time("size", [&] { return inner_->Size(); });
    }
    Status Close() override {
      return fs_.Time("close", [&] { return inner_->Close(); });
    }

   private:
    TimingFileSystem& fs_;
    std::unique_ptr<File> inner_;
  };
  FileSystem& inner_;
};

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
