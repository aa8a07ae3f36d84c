// Image conversion benchmarks: JPEG to TGA, detail maps, PCX encoding, all on
// 1024 x 1024 pictures. `image_bench --write-jpeg FILE` writes the benchmark's JPEG, so
// that bench/jpeg_vs_djpeg.sh can time the reference decoder on the same file;
// `--write-random-tga FILE` the TGA of random pixels that bench/detailmap_run.sh maps.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "image/detail_map.h"
#include "image/jpeg.h"
#include "image/pcx.h"
#include "image/tga.h"
#include "platform/host.h"
#include "support/detail_map_reference.h"
#include "support/fakes.h"
#include "support/jpeg_samples.h"
#include "support/memory_file_system.h"
#include "support/temp_dir.h"

namespace dfm {
namespace {

constexpr int kSide = 1024;
constexpr std::int64_t kPixels = std::int64_t{kSide} * kSide;

const Bytes& SampleJpeg() {
  static const Bytes jpeg = testing::SampleJpeg(kSide, kSide, TJSAMP_420);
  return jpeg;
}

// The decoded sample picture, as ConvertJpgToTga stores it.
PixelGrid SamplePixels() {
  testing::MemoryFileSystem fs;
  testing::RecordingDialogs dialogs;
  fs.Put("in.jpg", SampleJpeg());
  (void)ConvertJpgToTga(fs, dialogs, "in.jpg", "in.tga");
  return *ReadTgaPixels(fs, "in.tga");
}

PixelGrid RandomPixels() {
  PixelGrid g(kSide, kSide);
  std::mt19937 rng(42);
  for (auto& b : g.bytes()) b = static_cast<unsigned char>(rng());
  return g;
}

void BM_ConvertJpgToTgaFiles(benchmark::State& state) {
  testing::TempDir dir;
  auto fs = MakeHostFileSystem();
  testing::RecordingDialogs dialogs;
  if (!WriteWholeFile(*fs, dir / "in.jpg", SampleJpeg())) state.SkipWithError("no temp folder");
  for (auto _ : state) {
    if (!ConvertJpgToTga(*fs, dialogs, dir / "in.jpg", dir / "out.tga"))
      state.SkipWithError("conversion failed");
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_ConvertJpgToTgaFiles)->Unit(benchmark::kMillisecond);

void BM_ReadJpeg(benchmark::State& state) {
  testing::MemoryFileSystem fs;
  testing::RecordingDialogs dialogs;
  fs.Put("in.jpg", SampleJpeg());
  for (auto _ : state) {
    DibSection dib;
    if (!*ReadJpeg(fs, dialogs, dib, "in.jpg")) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(dib.DIBSectionBitsPtr());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_ReadJpeg)->Unit(benchmark::kMillisecond);

// Classification only; checked once against the per-pixel reference before timing.
void BuildCodes(benchmark::State& state, const PixelGrid& pixels) {
  if (!(BuildDetailCodes(pixels) == testing::ReferenceDetailCodes(pixels)))
    state.SkipWithError("differs from the per-pixel reference");
  for (auto _ : state) {
    ByteGrid codes = BuildDetailCodes(pixels);
    benchmark::DoNotOptimize(codes.cells().data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_BuildDetailCodesPicture(benchmark::State& state) {
  BuildCodes(state, SamplePixels());
}
BENCHMARK(BM_BuildDetailCodesPicture)->Unit(benchmark::kMillisecond);

void BM_BuildDetailCodesRandom(benchmark::State& state) {
  BuildCodes(state, RandomPixels());
}
BENCHMARK(BM_BuildDetailCodesRandom)->Unit(benchmark::kMillisecond);

void BM_BuildDetailCodesReference(benchmark::State& state) {
  const PixelGrid pixels = RandomPixels();
  for (auto _ : state) {
    ByteGrid codes = testing::ReferenceDetailCodes(pixels);
    benchmark::DoNotOptimize(codes.cells().data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_BuildDetailCodesReference)->Unit(benchmark::kMillisecond);

// The whole operation: read the TGA, classify, write the PCX (in memory).
void BM_CreateDetailMap(benchmark::State& state) {
  testing::MemoryFileSystem fs;
  testing::RecordingDialogs dialogs;
  fs.Put("in.jpg", SampleJpeg());
  (void)ConvertJpgToTga(fs, dialogs, "in.jpg", "in.tga");
  for (auto _ : state) {
    if (!CreateDetailMap(fs, "in.tga", "out.pcx")) state.SkipWithError("detail map failed");
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_CreateDetailMap)->Unit(benchmark::kMillisecond);

void WriteGrid(benchmark::State& state, const ByteGrid& grid) {
  testing::MemoryFileSystem fs;
  for (auto _ : state) {
    if (!WritePcx(fs, "out.pcx", grid)) state.SkipWithError("write failed");
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
  state.counters["file_bytes"] = static_cast<double>(fs.Get("out.pcx")->size());
}

// The detail map of the sample picture: long runs, as real maps have.
void BM_WritePcxDetailMap(benchmark::State& state) {
  WriteGrid(state, BuildDetailCodes(SamplePixels()));
}
BENCHMARK(BM_WritePcxDetailMap)->Unit(benchmark::kMillisecond);

// Random codes: runs of one, the encoder's worst case.
void BM_WritePcxRandom(benchmark::State& state) {
  ByteGrid grid(kSide, kSide);
  std::mt19937 rng(7);
  for (int y = 0; y < kSide; ++y)
    for (auto& b : grid.Row(y)) b = static_cast<unsigned char>(rng());
  WriteGrid(state, grid);
}
BENCHMARK(BM_WritePcxRandom)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dfm

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-jpeg") == 0) {
    auto fs = dfm::MakeHostFileSystem();
    return dfm::WriteWholeFile(*fs, argv[2], dfm::SampleJpeg()) ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "--write-random-tga") == 0) {
    auto fs = dfm::MakeHostFileSystem();
    const dfm::PixelGrid pixels = dfm::RandomPixels();
    return dfm::WriteTga(*fs, argv[2], pixels.bytes(), dfm::kSide, dfm::kSide) ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
