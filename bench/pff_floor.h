// What the PFF and install-run benchmarks share: the benchmark archive, and the floor of
// a series of adds (the same writes, each add's data, directory with trailer and header,
// at the same offsets, with plain pwrite calls on a file kept open, every byte in memory).
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "pff/pff_archive.h"
#include "platform/host.h"
#include "support/pff_bytes.h"

namespace dfm::bench {

// "f12.pcx" and the like.
inline std::string NumberedName(const char* prefix, int n) {
  std::string name = prefix;
  name += std::to_string(n);
  name += ".pcx";
  return name;
}

// An archive of `records` records of `stride` bytes: one in ten dead space, the others
// named f<i>.pcx, 512 to 4,096 bytes of data each.
inline std::string BenchmarkArchive(std::mt19937& rng, int records, int stride) {
  std::uniform_int_distribution<int> size(512, 4096);
  std::string data, directory;
  for (int i = 0; i < records; ++i) {
    const int n = size(rng);
    const bool dead = i % 10 == 5;
    const std::string name = dead ? "<DEAD SPACE>" : NumberedName("f", i);
    directory += testing::PffRecordBytes(dead ? 1 : 0, static_cast<std::int32_t>(20 + data.size()),
                                         n, 1000, name, static_cast<std::size_t>(stride), "SUM!");
    data.append(static_cast<std::size_t>(n), static_cast<char>('a' + i % 26));
  }
  return testing::PffHeaderBytes(records, stride, static_cast<std::int32_t>(20 + data.size())) +
         data + directory;
}

// One file to add: its name in the archive and its bytes (kept by the caller).
struct FloorSource {
  std::string name;
  const unsigned char* data;
  std::size_t size;
};

class PffFloor {
 public:
  // Plans the writes of adding `sources`, in order, to the archive at `archive`.
  PffFloor(const std::string& archive, const std::vector<FloorSource>& sources) {
    auto fs = MakeHostFileSystem();
    auto directory = ReadPffArchive(*fs, archive);
    if (!directory) std::abort();
    std::vector<std::pair<std::uint64_t, std::size_t>> dir_writes;
    std::size_t largest = 0;
    for (const FloorSource& source : sources) {
      PffEntry e;
      e.data_size = static_cast<std::int32_t>(source.size);
      e.name = MakePffName(source.name);
      auto placed = directory->Place(e);
      if (!placed) std::abort();
      adds_.push_back(
          {{static_cast<std::uint64_t>(placed->data_offset), source.size, source.data}});
      dir_writes.emplace_back(directory->header().directory_offset, directory->image().size());
      largest = std::max(largest, directory->image().size());
    }
    directory_ = directory->image();
    directory_.resize(largest);
    for (std::size_t i = 0; i < adds_.size(); ++i) {
      adds_[i].push_back({dir_writes[i].first, dir_writes[i].second, directory_.data()});
      adds_[i].push_back({0, kPffHeaderSize, header_});
    }
  }
  PffFloor(const PffFloor&) = delete;
  PffFloor& operator=(const PffFloor&) = delete;

  // Makes the writes on the archive at `path` (a fresh copy); returns seconds.
  double Run(const std::string& path) const {
    const int fd = ::open(path.c_str(), O_RDWR);
    const auto start = std::chrono::steady_clock::now();
    for (const auto& add : adds_) {
      for (const Write& w : add) {
        if (::pwrite(fd, w.bytes, w.size, static_cast<off_t>(w.offset)) !=
            static_cast<ssize_t>(w.size)) {
          std::abort();
        }
      }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ::close(fd);
    return took.count();
  }

 private:
  struct Write {
    std::uint64_t offset;
    std::size_t size;
    const unsigned char* bytes;
  };
  std::vector<std::vector<Write>> adds_;  // per add: data, directory, header
  Bytes directory_;                       // the largest directory image
  unsigned char header_[kPffHeaderSize] = {};
};

}  // namespace dfm::bench
