// What the PFF and install-run benchmarks share: the benchmark archive, and the floor of
// a series of adds: each add's data, directory with trailer and header written in the
// add's order, at the same offsets and of the same lengths, with plain pwrite calls on
// the archive kept open. A source given by its file is read for each add (open, pread,
// close), as an add must; one given by its bytes is written from memory.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "pff/pff_archive.h"
#include "pff/pff_install.h"
#include "platform/event_pump.h"
#include "platform/host.h"
#include "support/fakes.h"
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

// One file to add: its name in the archive and its bytes (kept by the caller). With a
// `path`, the floor reads the bytes from that file at each run instead, and plans the
// record GetFileHeader makes for it (the file's name, length and time), so that the
// floor's archive ends up byte for byte as the adds' does.
struct FloorSource {
  std::string name{};
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  std::string path{};
};

class PffFloor {
 public:
  // Plans the writes of adding `sources`, in order, to the archive at `archive`.
  PffFloor(const std::string& archive, const std::vector<FloorSource>& sources) {
    auto fs = MakeHostFileSystem();
    testing::RecordingDialogs dialogs;
    NullEventPump pump;
    PffArchiveTable table(*fs, dialogs, pump);
    auto directory = ReadPffArchive(*fs, archive);
    if (!directory) std::abort();
    for (const FloorSource& source : sources) {
      PffEntry e;
      e.data_size = static_cast<std::int32_t>(source.size);
      e.name = MakePffName(source.name);
      if (!source.path.empty()) {
        auto header = table.GetFileHeader(source.path);
        if (!header) std::abort();
        e = *header;
        largest_read_ = std::max(largest_read_, static_cast<std::size_t>(e.data_size));
      }
      auto placed = directory->Place(e);
      if (!placed) std::abort();
      adds_.push_back({source.path, source.data, static_cast<std::size_t>(e.data_size),
                       static_cast<std::uint64_t>(placed->data_offset),
                       static_cast<std::uint64_t>(directory->header().directory_offset),
                       directory->image().size(), placed->kind == PffPlacement::Kind::kAppended,
                       EncodePffHeader(directory->header())});
    }
    // Each add's directory write takes the first bytes of the final (largest) image:
    // the same length at the same offset, and every byte of it that survives is the
    // final image's.
    directory_ = directory->image();
  }
  PffFloor(const PffFloor&) = delete;
  PffFloor& operator=(const PffFloor&) = delete;

  // Makes the adds on the archive at `path` (a fresh copy); returns seconds.
  double Run(const std::string& path) const {
    std::vector<unsigned char> buffer(largest_read_);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) std::abort();
    const auto start = std::chrono::steady_clock::now();
    for (const Add& add : adds_) {
      const unsigned char* data = add.data;
      if (!add.path.empty()) {
        Read(add.path, buffer.data(), add.size);
        data = buffer.data();
      }
      if (add.directory_first) Write(fd, directory_.data(), add.directory_size, add.directory_at);
      Write(fd, data, add.size, add.data_at);
      if (!add.directory_first) Write(fd, directory_.data(), add.directory_size, add.directory_at);
      Write(fd, add.header.data(), add.header.size(), 0);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ::close(fd);
    return took.count();
  }

 private:
  struct Add {
    std::string path;  // empty: the data is in memory
    const unsigned char* data;
    std::size_t size;
    std::uint64_t data_at;
    std::uint64_t directory_at;
    std::size_t directory_size;
    bool directory_first;  // the add's order when the directory moves up
    std::array<unsigned char, kPffHeaderSize> header;
  };

  static void Read(const std::string& path, unsigned char* out, std::size_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::pread(fd, out, size, 0) != static_cast<ssize_t>(size)) std::abort();
    ::close(fd);
  }
  static void Write(int fd, const unsigned char* bytes, std::size_t size, std::uint64_t at) {
    if (size == 0) return;
    if (::pwrite(fd, bytes, size, static_cast<off_t>(at)) != static_cast<ssize_t>(size)) {
      std::abort();
    }
  }

  std::vector<Add> adds_;
  Bytes directory_;  // the final directory image, the largest
  std::size_t largest_read_ = 0;
};

}  // namespace dfm::bench
