#include "pff/pff_entries.h"

#include <algorithm>

namespace dfm {

Status WritePffAdd(FileSystem& fs, const std::string& path, const PffDirectory& dir,
                   const PffPlacement& placement, const unsigned char* data, std::size_t size,
                   std::uint64_t known_end) {
  auto file = fs.Open(path, OpenMode::kUpdate);
  if (!file) return file.failure();
  File& archive = **file;
  auto length = archive.Size();
  if (!length) return length.failure();
  if (*length < known_end) {
    return Status::Fail(err::kPathFileAccessError,
                        "Path/File access error: " + path + " is " + std::to_string(*length) +
                            " bytes long, shorter than when it was read");
  }
  auto write_data = [&]() -> Status {
    if (size == 0) return {};
    return archive.WriteAt(static_cast<std::uint64_t>(placement.data_offset), data, size);
  };
  auto write_directory = [&]() -> Status {
    return archive.WriteAt(static_cast<std::uint64_t>(dir.header().directory_offset),
                           dir.image().data(), dir.image().size());
  };
  const bool directory_moved = placement.kind == PffPlacement::Kind::kAppended;
  Status first = directory_moved ? write_directory() : write_data();
  if (!first) return first;
  Status second = directory_moved ? write_data() : write_directory();
  if (!second) return second;
  const auto header = EncodePffHeader(dir.header());
  if (auto st = archive.WriteAt(0, header.data(), header.size()); !st) return st;
  return archive.Close();
}

Status AddPffEntry(FileSystem& fs, const std::string& path, PffDirectory& dir,
                   const PffEntry& entry, const Bytes& data) {
  const std::uint64_t known_end = dir.records_end();
  PffEntry incoming = entry;
  incoming.data_size = static_cast<std::int32_t>(data.size());
  auto placement = dir.Place(incoming);
  if (!placement) return placement.failure();
  Status st = WritePffAdd(fs, path, dir, *placement, data.data(), data.size(), known_end);
  if (!st) dir.Revert(*placement);
  return st;
}

Status RemovePffEntry(FileSystem& fs, const std::string& path, PffDirectory& dir,
                      std::size_t index) {
  auto file = fs.Open(path, OpenMode::kUpdate);
  if (!file) return file.failure();
  dir.MarkDead(index);
  const std::uint64_t at = static_cast<std::uint64_t>(dir.header().directory_offset) +
                           std::uint64_t{index} * dir.stride();
  if (auto st = (*file)->WriteAt(at, dir.image().data() + index * dir.stride(), kPffFieldBytes);
      !st)
    return st;
  return (*file)->Close();
}

Result<Bytes> ReadPffData(FileSystem& fs, const std::string& path, const PffEntry& entry) {
  Bytes out(static_cast<std::size_t>(std::max(entry.data_size, 0)));
  if (out.empty()) return out;
  auto file = fs.Open(path, OpenMode::kRead);
  if (!file) return file.failure();
  if (auto st =
          (*file)->ReadAt(static_cast<std::uint64_t>(entry.data_offset), out.data(), out.size());
      !st)
    return st.failure();
  return out;
}

}  // namespace dfm
