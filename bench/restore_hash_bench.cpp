// The hashing of restore points, each current function against the one it replaced, in one
// run (cases interleaved at random, medians of the repetitions):
//   BM_AfterState/<fn>  the after-state fingerprint of a 160 MB file the install wrote whole
//                       (xxh3: XXH3-64; lanes: the four-lane "x4:" function before it);
//   BM_Journal/<check>  a journal of 20,000 records (a path, an offset and 36 bytes, as an
//                       add to an archive writes) encoded, then decoded and checked
//                       (crc32: zlib's CRC-32; fnv1a: FNV-1a 32 before it).
// The file lies in memory, so both fingerprints pay the same copies and only the hash
// differs.
//
//   cmake --preset demo -DDFM_BUILD_BENCH=ON && cmake --build build/demo -j2 --target
//   restore_hash_bench
//   build/demo/bench/restore_hash_bench --benchmark_enable_random_interleaving=true \
//     --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "restore/after_state.h"
#include "restore/journal.h"
#include "support/memory_file_system.h"

namespace {

using namespace dfm;

void BM_AfterState(benchmark::State& state, const char* like) {
  static testing::MemoryFileSystem* fs = [] {
    auto* mem = new testing::MemoryFileSystem;
    Bytes bytes(std::size_t{160} << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);
    mem->Put("G/Dflw.pff", std::move(bytes));
    return mem;
  }();
  for (auto _ : state) {
    auto after = AfterState(*fs, "G/Dflw.pff", true, {}, like);
    if (!after) std::abort();
    benchmark::DoNotOptimize(after->digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (160 << 20));
}
BENCHMARK_CAPTURE(BM_AfterState, xxh3, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AfterState, lanes, "x4:")->Unit(benchmark::kMillisecond);

void BM_Journal(benchmark::State& state, RecordCheck check) {
  JournalRecord r{RecordKind::kRange, {"G\\Kyv_DF3_Location\\Dflw.pff"}, {0}, Bytes(36, 'r')};
  for (auto _ : state) {
    Bytes journal;
    for (std::uint64_t i = 0; i < 20000; ++i) {
      r.numbers[0] = i * 36;
      const Bytes one = EncodeRecord(r, check);
      journal.insert(journal.end(), one.begin(), one.end());
    }
    auto read = DecodeRecords(journal, check);
    if (!read || read->records.size() != 20000) std::abort();
    benchmark::DoNotOptimize(read->valid_bytes);
  }
}
BENCHMARK_CAPTURE(BM_Journal, crc32, RecordCheck::kCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Journal, fnv1a, RecordCheck::kFnv1a)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
